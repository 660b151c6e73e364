// PNG and JPEG logos into the logo image: the colour mapping of every PNG
// kind, the same logo from every way of storing a picture, and the JPEG size
// probe in front of the firmware's decoder.
#include <string.h>
#include <sys/stat.h>

#include <random>

#include "Velumo.h"
#include "oracle.h"
#include "testdisk.h"
#include "tklib.h"

namespace {

class Import : public SimTest {
protected:
  void SetUp() override {
    SimTest::SetUp();
    debug = 1;
    MakeLogoFolders();
  }
  void TearDown() override {
    debug = 0;
    EXPECT_EQ(nullptr, logoLarge32);
    EXPECT_EQ(nullptr, logoJpgData);
    ExpectNothingHeld();
    SimTest::TearDown();
  }
  void Put(const std::string &name, const std::string &bytes) {
    ASSERT_TRUE(WriteHostFile(Host("/Logos/" + name), bytes));
  }
  bool Logged(const std::string &line) const {
    return std::string(Sim_TerminalText()).find(line) != std::string::npos;
  }
};

std::string Png(int type, int depth, uint32_t w, uint32_t h, const std::vector<uint8_t> &s) {
  return LibpngImage(w, h, type, depth, s);
}

TEST_F(Import, EveryPngKindMapsToArgb) {
  struct Case {
    int type, depth;
    std::vector<uint8_t> samples;
    uint32_t argb;
  } cases[] = {
      {0, 8, {0x80}, 0xFF808080},
      {0, 16, {0x12, 0x34}, 0xFF121212},
      {2, 8, {0x10, 0x20, 0x30}, 0xFF102030},
      {2, 16, {0xAB, 0x00, 0xCD, 0x00, 0xEF, 0x00}, 0xFFABCDEF},
      {4, 8, {0x55, 0x66}, 0x66555555},
      {4, 16, {0x55, 0x01, 0x66, 0x02}, 0x66555555},
      {6, 8, {0x10, 0x20, 0x30, 0x40}, 0x40102030},
      {6, 16, {0x10, 1, 0x20, 2, 0x30, 3, 0x40, 4}, 0x40102030},
      {0, 2, {0x40}, 0xFF555555}, // packed grey scaled to 0..255
      {3, 4, {0x20}, 0xFF02FD07}, // the oracle's palette: (i, 255 - i, 7)
  };
  for (const Case &c : cases) {
    Put("p.png", Png(c.type, c.depth, 1, 1, c.samples));
    ASSERT_EQ(1, LoadChannelLogo("/Logos", "p.png")) << c.type << "/" << c.depth;
    EXPECT_STREQ(".png", logoExt);
    EXPECT_EQ(1u, logoW);
    EXPECT_EQ(c.argb, logoData32[0]) << c.type << "/" << c.depth;
  }
  EXPECT_TRUE(Logged("< Loading PNG logo (DONE)\n"));
}

TEST_F(Import, PngSizes) {
  Put("big.png", Png(6, 8, 120, 80, std::vector<uint8_t>(120 * 80 * 4, 0x7F)));
  ASSERT_EQ(1, LoadChannelLogo("/Logos", "big.png"));
  EXPECT_EQ(60u, logoW);
  EXPECT_EQ(40u, logoH);
  EXPECT_EQ(0x7F7F7F7Fu, logoData32[2399]);
  std::vector<uint8_t> s(60 * 40 * 3);
  for (size_t i = 0; i < s.size(); ++i) s[i] = uint8_t(i);
  Put("fit.png", Png(2, 8, 60, 40, s));
  ASSERT_EQ(1, LoadChannelLogo("/Logos", "fit.png"));
  EXPECT_EQ(60u, logoW);
  EXPECT_EQ(40u, logoH);
  EXPECT_EQ(0xFF000000u | uint32_t(s[2399 * 3]) << 16 | uint32_t(s[2399 * 3 + 1]) << 8 |
                s[2399 * 3 + 2],
            logoData32[2399]); // copied unchanged
}

TEST_F(Import, PngFailures) {
  EXPECT_EQ(0, LoadChannelLogo("/Logos", "missing.png"));
  EXPECT_TRUE(Logged("< Loading PNG logo (ERROR1)\n"));
  std::string noPalette = Png(3, 8, 2, 2, {0, 1, 2, 3});
  noPalette.replace(noPalette.find("PLTE"), 4, "pLTx"); // skipped as an unknown chunk
  Put("pal.png", noPalette);
  EXPECT_EQ(0, LoadChannelLogo("/Logos", "pal.png"));
  std::string broken = Png(0, 8, 4, 4, std::vector<uint8_t>(16, 9));
  broken[broken.find("IDAT") + 6] ^= 1;
  Put("broken.png", broken);
  EXPECT_EQ(0, LoadChannelLogo("/Logos", "broken.png"));
  EXPECT_TRUE(Logged("< Loading PNG logo (ERROR6)\n"));
  EXPECT_EQ(0, LoadPNG(""));
  EXPECT_TRUE(Logged("< Loading PNG logo (ERROR2)\n"));
  // Only 16-bit colour needs a buffer beside the picture's own.
  Put("ok.png", Png(6, 16, 4, 4, std::vector<uint8_t>(128, 1)));
  Sim_FailAllocNth(1);
  EXPECT_EQ(0, LoadChannelLogo("/Logos", "ok.png"));
  EXPECT_TRUE(Logged("< Loading PNG logo (ERROR3)\n"));
  Sim_FailAllocNth(2);
  EXPECT_EQ(0, LoadChannelLogo("/Logos", "ok.png"));
  EXPECT_TRUE(Logged("< Loading PNG logo (ERROR5)\n"));
  Put("ok8.png", Png(3, 8, 4, 4, std::vector<uint8_t>(16, 1)));
  for (dword nth = 2; nth <= 8; ++nth) {
    Sim_FailAllocNth(nth);
    LoadChannelLogo("/Logos", "ok.png"); // fails somewhere inside, or not at all
    LoadChannelLogo("/Logos", "ok8.png");
  }
  Sim_FailAllocNth(0);
}

// One picture as palette, packed palette and 16-bit RGBA, plain and
// interlaced: the logo image (reduced from 150 x 97) is the one of the same
// picture as plain 8-bit RGBA.
TEST_F(Import, TheSameLogoWhateverTheKind) {
  const uint32_t w = 150, h = 97;
  std::mt19937 rng(2605);
  std::vector<uint32_t> colours(16);
  for (uint32_t &c : colours) c = rng() | (rng() % 3 ? 0xFF000000 : 0);
  std::vector<uint8_t> index(w * h), rgba, rgba16, packed(75 * h);
  for (size_t i = 0; i < index.size(); ++i) {
    index[i] = uint8_t(i % w < 50 ? 0 : rng() % 16); // flat runs and noise
    packed[i / 2] |= uint8_t(index[i] << (i % 2 ? 0 : 4));
    for (int shift : {16, 8, 0, 24}) {
      rgba.push_back(uint8_t(colours[index[i]] >> shift));
      rgba16.insert(rgba16.end(), {rgba.back(), uint8_t(rng())}); // the low byte: never seen
    }
  }
  Put("rgba.png", Png(6, 8, w, h, rgba));
  ASSERT_EQ(1, LoadChannelLogo("/Logos", "rgba.png"));
  const std::vector<uint32_t> expected(logoData32, logoData32 + logoW * logoH);
  const std::vector<uint8_t> *samples[] = {&rgba, &rgba16, &index, &packed};
  const int kinds[][2] = {{6, 8}, {6, 16}, {3, 8}, {3, 4}};
  for (int k = 0; k < 8; ++k) {
    PngSpec s;
    s.width = w;
    s.height = h;
    s.colorType = kinds[k / 2][0];
    s.depth = kinds[k / 2][1];
    s.interlace = k % 2;
    s.filters = 0xF8;
    if (s.colorType == 3) s.palette = colours;
    Put("p.png", LibpngWrite(s, *samples[k / 2]));
    ASSERT_EQ(1, LoadChannelLogo("/Logos", "p.png")) << k;
    EXPECT_EQ(expected, std::vector<uint32_t>(logoData32, logoData32 + logoW * logoH)) << k;
    EXPECT_TRUE(logoPng.colorType == s.colorType && logoPng.depth == s.depth &&
                logoPng.interlace == k % 2);
  }
}

// A tRNS colour key makes exactly its colour transparent, compared at the
// file's depth; every other pixel is what it was without the key.
TEST_F(Import, ColourKeysMakeTheirColourTransparent) {
  PngSpec s;
  s.width = 3;
  s.key = {0x77};
  Put("g.png", LibpngWrite(s, {0x77, 0x78, 0x76}));
  ASSERT_EQ(1, LoadChannelLogo("/Logos", "g.png"));
  EXPECT_EQ((std::vector<uint32_t>{0x00777777, 0xFF787878, 0xFF767676}),
            std::vector<uint32_t>(logoData32, logoData32 + 3));
  s.colorType = 2;
  s.depth = 16;
  s.key = {0x1234, 0x5678, 0x9ABC}; // the key, a bit off it below, its high bytes alone
  Put("c.png", LibpngWrite(s, {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0x12, 0x34, 0x56, 0x78, 0x9A,
                               0xBD, 0x12, 0, 0x56, 0, 0x9A, 0}));
  ASSERT_EQ(1, LoadChannelLogo("/Logos", "c.png"));
  EXPECT_EQ((std::vector<uint32_t>{0x0012569A, 0xFF12569A, 0xFF12569A}),
            std::vector<uint32_t>(logoData32, logoData32 + 3));
  // The kind stays with the picture a failed load keeps, and goes with a new one.
  EXPECT_EQ(0, LoadChannelLogo("/Logos", "missing.png"));
  EXPECT_EQ(16, logoPng.depth);
  Put("r.bll32", std::string("\0\0\0\x01\0\0\0\x01\xFF\x11\x22\x33", 12));
  ASSERT_EQ(1, LoadChannelLogo("/Logos", "r.bll32"));
  EXPECT_EQ(0, logoPng.depth);
}

// The receiver's goal: a 512 x 512 palette picture costs little more than
// its full-size ARGB words (1 MiB), within the 1.5 MiB the preview may take.
TEST_F(Import, ALargePaletteLogoFitsThePreviewsMemory) {
  PngSpec s;
  s.width = s.height = 512;
  s.colorType = 3;
  std::vector<uint8_t> index(512 * 512);
  std::mt19937 rng(7);
  for (uint8_t &i : index) i = uint8_t(rng()); // noise: no compression to speak of
  Put("big.png", LibpngWrite(s, index));
  Sim_ResetHeapPeak();
  ASSERT_EQ(1, LoadChannelLogo("/Logos", "big.png"));
  EXPECT_LT(Sim_HeapPeak(), 512u * 512 * 4 + 64 * 1024);
}

TEST_F(Import, ACutPngKeepsThePictureBefore) {
  std::vector<uint8_t> samples(100 * 100 * 3);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = uint8_t(i * 7);
  const std::string whole = Png(2, 8, 100, 100, samples);
  Put("cut.png", whole.substr(0, whole.size() / 2));
  Put("before.bll32", std::string("\0\0\0\x02\0\0\0\x01\xFF\x11\x22\x33\x80\x44\x55\x66", 16));
  ASSERT_EQ(1, LoadChannelLogo("/Logos", "before.bll32"));
  EXPECT_EQ(0, LoadChannelLogo("/Logos", "cut.png"));
  EXPECT_TRUE(Logged("< Loading PNG logo (ERROR6)\n"));
  // Not 100 x 100 over the 60 x 40 image.
  EXPECT_EQ(2u, logoW);
  EXPECT_EQ(1u, logoH);
  EXPECT_STREQ(".bll32", logoExt);
  EXPECT_EQ(0xFF112233u, logoData32[0]);
  EXPECT_EQ(0x80445566u, logoData32[1]);
}

TEST_F(Import, JpegSizeFromTheFrameHeader) {
  Put("vga.jpg", LibjpegWrite(640, 480));
  ASSERT_EQ(1, LoadChannelLogo("/Logos", "vga.jpg"));
  EXPECT_STREQ(".jpg", logoExt);
  EXPECT_EQ(60u, logoW); // both sides limited, without regard to the aspect
  EXPECT_EQ(40u, logoH);
  EXPECT_TRUE(Logged("JPEG-Datei vga.jpg, Breite 640, Hoehe 480\n"));
  const uint32_t p = logoData32[0];
  EXPECT_EQ(0xFFu, p >> 24);
  EXPECT_NEAR(200, int(p >> 16 & 0xFF), 6);
  EXPECT_NEAR(100, int(p >> 8 & 0xFF), 6);
  EXPECT_NEAR(50, int(p & 0xFF), 6);
  Put("small.jpg", LibjpegWrite(48, 32));
  ASSERT_EQ(1, LoadChannelLogo("/Logos", "small.jpg"));
  EXPECT_EQ(48u, logoW);
  EXPECT_EQ(32u, logoH);
  EXPECT_TRUE(Logged("< Loading channel logo (TRUE1)\n"));
}

TEST_F(Import, JpegProbeLimits) {
  // The frame header beyond the first kilobyte: decoded at 60 x 38.
  Put("late.jpg", LibjpegWrite(30, 20, std::string(1100, 'c')));
  ASSERT_EQ(1, LoadChannelLogo("/Logos", "late.jpg"));
  EXPECT_EQ(60u, logoW);
  EXPECT_EQ(38u, logoH);
  EXPECT_TRUE(Logged("JPEG-Datei late.jpg, Aufloesung nicht gefunden\n"));
  // A marker whose size bytes end exactly at the probe's last byte counts;
  // one byte later they would lie beyond what was read.
  for (size_t at : {1015u, 1016u}) {
    std::string comment(1100, 'c');
    const std::string head = LibjpegWrite(30, 20, comment);
    const size_t data = head.find(comment); // where the comment's bytes lie in the file
    ASSERT_NE(std::string::npos, data);
    comment.replace(at - data, 9, std::string("\xFF\xC0\x00\x11\x08\x00\x14\x00\x1E", 9));
    Put("edge.jpg", LibjpegWrite(30, 20, comment));
    ASSERT_EQ(1, LoadChannelLogo("/Logos", "edge.jpg")) << at;
    EXPECT_EQ(at == 1015u ? 30u : 60u, logoW) << at;
    EXPECT_EQ(at == 1015u ? 20u : 38u, logoH) << at;
  }
}

TEST_F(Import, JpegFailuresAreNeverReadAsRawLogos) {
  // Not decodable, though its first bytes would make a fine raw header.
  Put("fake.jpg", std::string("\0\0\0\x02\0\0\0\x02\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 16));
  Put("before.png", Png(6, 8, 1, 1, {0x10, 0x20, 0x30, 0x40}));
  ASSERT_EQ(1, LoadChannelLogo("/Logos", "before.png"));
  EXPECT_EQ(0, LoadChannelLogo("/Logos", "fake.jpg"));
  // The size guessed for the decoder is not the image's: the picture before stays.
  EXPECT_EQ(1u, logoW);
  EXPECT_EQ(1u, logoH);
  EXPECT_STREQ(".png", logoExt);
  EXPECT_EQ(0x40102030u, logoData32[0]);
  for (size_t i = 1; i < std::size(logoData32); ++i) ASSERT_EQ(0u, logoData32[i]) << i;
  EXPECT_EQ(0, LoadChannelLogo("/Logos", "missing.jpg"));
  ASSERT_EQ(0, mkdir(Host("/Logos/folder.jpg").c_str(), 0755));
  EXPECT_EQ(0, LoadChannelLogo("/Logos", "folder.jpg"));
  Put("ok.jpg", LibjpegWrite(8, 8));
  Sim_FailAllocAbove(100);
  EXPECT_EQ(0, LoadChannelLogo("/Logos", "ok.jpg"));
  Sim_FailAllocAbove(0);
}

} // namespace
