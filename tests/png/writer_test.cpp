// The PNG writer: the exact file layout, libpng reading back what we write,
// and every failure reported rather than written as a broken file.
#include <stdio.h>
#include <string.h>
#include <zlib.h>

#include "needs.h"
#include "oracle.h"
#include "pngcodec.h"
#include "testdisk.h"

namespace {

class Writer : public InProgramFiles {
protected:
  std::string File(const char *name) {
    std::string bytes;
    ReadHostFile(Host(std::string("/ProgramFiles/") + name), bytes);
    return bytes;
  }
};

uint32_t Be(const std::string &s, size_t at) {
  return uint32_t(uint8_t(s[at])) << 24 | uint32_t(uint8_t(s[at + 1])) << 16 |
         uint32_t(uint8_t(s[at + 2])) << 8 | uint8_t(s[at + 3]);
}

TEST_F(Writer, LogoAsTruecolourWithAlpha) {
  std::vector<uint32_t> logo(60 * 40);
  for (size_t i = 0; i < logo.size(); ++i) logo[i] = uint32_t(i * 0x01020305u) | 0x10000000u;
  const std::vector<uint32_t> original = logo;
  ASSERT_EQ(PNG_R_DONE, png_save(60, 40, 8, 4, 6, logo.data(), "logo.png"));
  const std::string f = File("logo.png");
  // Signature, IHDR, one IDAT, IEND.
  EXPECT_EQ(std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16), f.substr(0, 16));
  EXPECT_EQ(60u, Be(f, 16));
  EXPECT_EQ(40u, Be(f, 20));
  EXPECT_EQ(std::string("\x08\x06\0\0\0", 5), f.substr(24, 5));
  EXPECT_EQ(uint32_t(crc32(0, reinterpret_cast<const Bytef *>(f.data() + 12), 17)), Be(f, 29));
  const uint32_t n = Be(f, 33);
  EXPECT_EQ("IDAT", f.substr(37, 4));
  EXPECT_EQ(uint32_t(crc32(0, reinterpret_cast<const Bytef *>(f.data() + 37), n + 4)),
            Be(f, 41 + n));
  EXPECT_EQ(std::string("\0\0\0\0IEND\xAE\x42\x60\x82", 12), f.substr(45 + n));
  EXPECT_EQ(57u + n, f.size());
  // Every row has filter type 0.
  std::vector<uint8_t> filtered(60 * 4 * 40 + 40);
  uLongf len = filtered.size();
  ASSERT_EQ(Z_OK,
            uncompress(filtered.data(), &len, reinterpret_cast<const Bytef *>(f.data() + 41), n));
  ASSERT_EQ(filtered.size(), len);
  for (int y = 0; y < 40; ++y) EXPECT_EQ(0, filtered[size_t(y) * 241]) << y;
  // libpng reads the logo's colours back as R, G, B, A.
  uint32_t w, h;
  int ct, depth;
  bool il;
  std::vector<uint8_t> samples;
  ASSERT_TRUE(LibpngRead(f, w, h, ct, depth, il, samples));
  for (size_t i = 0; i < original.size(); ++i) {
    const uint32_t p = original[i];
    ASSERT_EQ(uint8_t(p >> 16), samples[i * 4]) << i;
    ASSERT_EQ(uint8_t(p >> 8), samples[i * 4 + 1]) << i;
    ASSERT_EQ(uint8_t(p), samples[i * 4 + 2]) << i;
    ASSERT_EQ(uint8_t(p >> 24), samples[i * 4 + 3]) << i;
    // The caller's words now hold red and blue exchanged.
    ASSERT_EQ((p & 0xFF00FF00u) | (p >> 16 & 0xFF) | (p & 0xFF) << 16, logo[i]) << i;
  }
}

TEST_F(Writer, OtherKindsTakeTheirBytesAsTheyStand) {
  struct Case {
    int type, depth, bpp;
  } cases[] = {{0, 8, 1}, {0, 16, 2}, {2, 8, 3}, {2, 16, 6}, {4, 8, 2}, {4, 16, 4}, {6, 16, 8}};
  for (const Case &c : cases) {
    std::vector<uint8_t> data(size_t(7) * 5 * c.bpp);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 13 + 1);
    const std::vector<uint8_t> original = data;
    ASSERT_EQ(PNG_R_DONE,
              png_save(7, 5, int8_t(c.depth), 0, uint8_t(c.type), data.data(), "k.png"));
    uint32_t w, h;
    int ct, depth;
    bool il;
    std::vector<uint8_t> samples;
    ASSERT_TRUE(LibpngRead(File("k.png"), w, h, ct, depth, il, samples)) << c.type;
    EXPECT_EQ(original, samples) << c.type << "/" << c.depth; // big-endian samples untouched
    EXPECT_EQ(original, data);
  }
}

TEST_F(Writer, IncompressibleDataFits) {
  std::vector<uint32_t> noise(60 * 40);
  uint32_t x = 12345;
  for (uint32_t &p : noise) p = x = x * 1103515245u + 12345u;
  ASSERT_EQ(PNG_R_DONE, png_save(60, 40, 8, 4, 6, noise.data(), "noise.png"));
  uint32_t w, h;
  int ct, depth;
  bool il;
  std::vector<uint8_t> samples;
  EXPECT_TRUE(LibpngRead(File("noise.png"), w, h, ct, depth, il, samples));
  EXPECT_GT(File("noise.png").size(), 60u * 40 * 4); // larger than the pixels themselves
}

TEST_F(Writer, AnExistingLongerFileLeavesNothingBehind) {
  ASSERT_TRUE(WriteHostFile(Host("/ProgramFiles/old.png"), std::string(100000, 'x')));
  uint32_t px = 0xFF112233;
  ASSERT_EQ(PNG_R_DONE, png_save(1, 1, 8, 4, 6, &px, "old.png"));
  const std::string f = File("old.png");
  EXPECT_EQ("IEND", f.substr(f.size() - 8, 4));
  EXPECT_LT(f.size(), 100u);
}

TEST_F(Writer, Failures) {
  EXPECT_EQ(PNG_R_MEMORY, png_save(1, 1, 8, 4, 6, nullptr, "none.png"));
  EXPECT_FALSE(HostExists(Host("/ProgramFiles/none.png")));
  uint32_t px[4] = {1, 2, 3, 4};
  EXPECT_EQ(PNG_R_FILE, png_save(2, 2, 8, 4, 6, px, "/no/folder/x.png"));
  // A disk that fills up: the result says so and no broken file stays.
  for (long long budget : {0LL, 8LL, 33LL, 45LL, 60LL}) {
    Sim_FailWriteAfter(budget);
    EXPECT_EQ(PNG_R_FILE, png_save(2, 2, 8, 4, 6, px, "full.png")) << budget;
    Sim_FailWriteAfter(-1);
    EXPECT_FALSE(HostExists(Host("/ProgramFiles/full.png"))) << budget;
  }
  // No memory at any step: reported, nothing left behind.
  for (dword nth = 1; nth <= 8; ++nth) {
    Sim_FailAllocNth(nth);
    const int r = png_save(2, 2, 8, 4, 6, px, "mem.png");
    Sim_FailAllocNth(0);
    EXPECT_TRUE(r == PNG_R_DONE || r == PNG_R_MEMORY) << nth << ": " << r;
    EXPECT_EQ(r == PNG_R_DONE, HostExists(Host("/ProgramFiles/mem.png"))) << nth;
  }
  png_image png;
  memset(&png, 0, sizeof png);
  EXPECT_EQ(PNG_R_ARGUMENTS, png_open_write(&png, nullptr, 0));
  EXPECT_EQ(PNG_R_UNSUPPORTED, png_set_data(&png, 2, 2, 8, 5, px)); // no such colour type
  EXPECT_EQ(PNG_R_UNSUPPORTED, png_set_data(&png, 2, 2, 4, 0, px)); // rows are whole bytes
}

TEST_F(Writer, CallbackSink) {
  std::string sink;
  auto write = [](const void *buffer, dword size, dword count, dword handle) -> dword {
    reinterpret_cast<std::string *>(handle)->append(static_cast<const char *>(buffer),
                                                    size_t(size) * count);
    return count;
  };
  png_image png;
  memset(&png, 0, sizeof png);
  ASSERT_EQ(PNG_R_OK, png_open_write(&png, write, dword(&sink)));
  uint8_t grey[6] = {9, 8, 7, 6, 5, 4};
  ASSERT_EQ(PNG_R_OK, png_set_data(&png, 3, 2, 8, 0, grey));
  uint32_t w, h;
  int ct, depth;
  bool il;
  std::vector<uint8_t> samples;
  ASSERT_TRUE(LibpngRead(sink, w, h, ct, depth, il, samples));
  EXPECT_EQ((std::vector<uint8_t>{9, 8, 7, 6, 5, 4}), samples);
}

#if !defined(__mips__)
TEST_F(Writer, PassesPngcheck) {
  if (system("command -v pngcheck >/dev/null 2>&1") != 0) SKIP_OR_FAIL_ON_CI("no pngcheck");
  std::vector<uint32_t> logo(54 * 34, 0x80FF8000);
  ASSERT_EQ(PNG_R_DONE, png_save(54, 34, 8, 4, 6, logo.data(), "check.png"));
  const std::string cmd = "pngcheck -q '" + Host("/ProgramFiles/check.png") + "'";
  EXPECT_EQ(0, system(cmd.c_str()));
}
#endif

} // namespace
