// 24-bit BMP files as the logo export writes them.
#include "testdisk.h"
#include "tklib.h"

namespace {

using Bitmap = SimTest;

TEST_F(Bitmap, HeaderAndPaddedRows) {
  // 2 x 2: rows of 6 bytes padded to 8, bottom row first as given.
  const byte pixels[16] = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
  ASSERT_TRUE(SaveBitmap("b.bmp", 2, 2, pixels));
  std::string bytes;
  ASSERT_TRUE(ReadHostFile(Host("/ProgramFiles/b.bmp"), bytes));
  const std::string expected = std::string("BM\x46\0\0\0\0\0\0\0\x36\0\0\0"
                                           "\x28\0\0\0\x02\0\0\0\x02\0\0\0\x01\0\x18\0"
                                           "\0\0\0\0\x10\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0",
                                           54) +
                               std::string(reinterpret_cast<const char *>(pixels), 16);
  EXPECT_EQ(expected, bytes);
}

TEST_F(Bitmap, WidthsThatNeedNoPadding) {
  std::vector<byte> pixels(4 * 3 * 3, 0x5A);
  ASSERT_TRUE(SaveBitmap("c.bmp", 4, 3, pixels.data()));
  std::string bytes;
  ASSERT_TRUE(ReadHostFile(Host("/ProgramFiles/c.bmp"), bytes));
  ASSERT_EQ(54u + 36u, bytes.size());
  EXPECT_EQ(90, byte(bytes[2]));
}

TEST_F(Bitmap, FailuresAreReported) {
  const byte pixels[64] = {};
  EXPECT_FALSE(SaveBitmap(nullptr, 2, 2, pixels));
  EXPECT_FALSE(SaveBitmap("d.bmp", 2, 2, nullptr));
  EXPECT_FALSE(SaveBitmap("d.bmp", 0, 2, pixels));
  EXPECT_FALSE(SaveBitmap("d.bmp", 2, -1, pixels));
  EXPECT_FALSE(SaveBitmap("d.bmp", 0x7FFFFFFF, 0x7FFFFFFF, pixels)); // beyond 32-bit sizes
  EXPECT_FALSE(SaveBitmap("/no/such/folder/d.bmp", 2, 2, pixels));
  // A file that could not be written in full is not reported as saved.
  Sim_FailWriteAfter(60);
  EXPECT_FALSE(SaveBitmap("e.bmp", 2, 2, pixels));
  Sim_FailWriteAfter(-1);
  EXPECT_FALSE(BMP_WriteHeader(nullptr, 2, 2));
}

} // namespace
