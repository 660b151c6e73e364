// The logo image: the raw logo format in both directions with its 16-bit
// colour conversion, LoadChannelLogo's choice of reader, and the BMP import.
#include <string.h>

#include "Velumo.h"
#include "rawlogo.h"
#include "testdisk.h"
#include "tklib.h"

namespace {

class Logo : public SimTest {
protected:
  void SetUp() override {
    SimTest::SetUp();
    debug = 1; // every exit writes its debug line to the terminal
    MakeLogoFolders();
  }
  void TearDown() override {
    debug = 0;
    EXPECT_EQ(nullptr, logoLarge32);
    ExpectNothingHeld();
    SimTest::TearDown();
  }
  void Put(const std::string &name, const std::string &bytes) {
    ASSERT_TRUE(WriteHostFile(Host("/Logos/" + name), bytes));
  }
  std::string Terminal() const { return Sim_TerminalText(); }
  // The image's pixels; a size beyond the image is a fault in itself.
  std::vector<uint32_t> Pixels() const {
    if (logoW > kLogoMaxW || logoH > kLogoMaxH) {
      ADD_FAILURE() << "logo of " << logoW << "x" << logoH;
      return {};
    }
    return std::vector<uint32_t>(logoData32, logoData32 + logoW * logoH);
  }
};

std::string Raw16(uint32_t w, uint32_t h, const std::vector<uint16_t> &pixels) {
  std::string s = Be32(w) + Be32(h);
  for (uint16_t p : pixels) s += std::string{char(p >> 8), char(p)};
  return s;
}

TEST(LogoPixels, SixteenBitChannelsScaleBy8_2258) {
  const int expected[32] = {0,   8,   16,  24,  32,  41,  49,  57,  65,  74,  82,
                            90,  98,  106, 115, 123, 131, 139, 148, 156, 164, 172,
                            180, 189, 197, 205, 213, 222, 230, 238, 246, 254};
  for (uint32_t n = 0; n < 32; ++n) {
    EXPECT_EQ(uint32_t(expected[n]), Logo16To32(uint16_t(n)) & 0xFF) << n;
    EXPECT_EQ(uint32_t(expected[n]) << 8, Logo16To32(uint16_t(n << 5)) & 0xFF00) << n;
    EXPECT_EQ(uint32_t(expected[n]) << 16, Logo16To32(uint16_t(n << 10)) & 0xFF0000) << n;
  }
  EXPECT_EQ(0xFF000000u, Logo16To32(0x8000)); // opaque black
  EXPECT_EQ(0xFFFEFEFEu, Logo16To32(0xFFFF));
  EXPECT_EQ(0x00FEFEFEu, Logo16To32(0x7FFF)); // transparent, colour kept
}

TEST(LogoPixels, EightBitChannelsBackToFiveBits) {
  // The smallest 8-bit value that gives each 5-bit value.
  const int smallest[32] = {0,   9,   17,  25,  33,  42,  50,  58,  66,  75,  83,
                            91,  99,  107, 116, 124, 132, 140, 149, 157, 165, 173,
                            181, 190, 198, 206, 214, 223, 231, 239, 247, 255};
  for (int n = 0; n < 32; ++n) {
    const uint32_t v = uint32_t(smallest[n]);
    EXPECT_EQ(n, Logo32To16(0xFF000000u | v) & 0x1F) << v;
    EXPECT_EQ(n << 5, Logo32To16(0xFF000000u | v << 8) & 0x3E0) << v;
    EXPECT_EQ(n << 10, Logo32To16(0xFF000000u | v << 16) & 0x7C00) << v;
    if (v) {
      EXPECT_EQ(n - 1, Logo32To16(0xFF000000u | (v - 1)) & 0x1F) << v - 1;
    }
  }
  EXPECT_EQ(0x0000, Logo32To16(0xFF000000)); // the format's only black is transparent
  EXPECT_EQ(0x0000, Logo32To16(0xFF080808));
  EXPECT_EQ(0x7FFF, Logo32To16(0x80FFFFFF)); // partly transparent: no opaque flag
  EXPECT_EQ(0x7FFF, Logo32To16(0xFEFFFFFF));
  EXPECT_EQ(0xFFFF, Logo32To16(0xFFFFFFFF));
  EXPECT_EQ(0xFFFEFEFEu, Logo16To32(Logo32To16(0xFFFFFFFF)));
  EXPECT_EQ(0x8001, Logo32To16(0xFF000009)); // near black that is not black stays opaque
}

TEST_F(Logo, RawLogosOfEveryExtension) {
  const std::vector<uint16_t> px = {0x8000, 0xFFFF, 0x7FFF, 0x801F, 0xFC00, 0x0000};
  const std::vector<uint32_t> expected = {0xFF000000, 0xFFFEFEFE, 0x00FEFEFE,
                                          0xFF0000FE, 0xFFFE0000, 0x00000000};
  for (const char *ext : {".bll", ".qtl", ".qsl", ".ibl"}) {
    Put(std::string("a") + ext, Raw16(3, 2, px));
    logoData32[100] = 0xDEADBEEF;
    ASSERT_EQ(1, LoadChannelLogo("/Logos", (std::string("a") + ext).c_str())) << ext;
    EXPECT_STREQ(ext, logoExt);
    EXPECT_EQ(3u, logoW);
    EXPECT_EQ(2u, logoH);
    EXPECT_EQ(expected, Pixels()) << ext;
    EXPECT_EQ(0u, logoData32[100]); // the whole image is cleared first
  }
  const std::vector<uint32_t> px32 = {0x80112233, 0x00000000, 0xFFFFFFFF, 0x01020304};
  for (const char *ext : {".bll32", ".qtl32", ".qsl32", ".ibl32"}) {
    Put(std::string("b") + ext, Raw32(2, 2, px32));
    ASSERT_EQ(1, LoadChannelLogo("/Logos", (std::string("b") + ext).c_str())) << ext;
    EXPECT_STREQ(ext, logoExt);
    EXPECT_EQ(px32, Pixels()) << ext;
  }
  EXPECT_NE(std::string::npos,
            Terminal().find("Velumo: = Loaded channel logofile /Logos/b.ibl32\n"));
  EXPECT_NE(std::string::npos, Terminal().find("Velumo: < Loading channel logo (TRUE2)\n"));
  char dir[256];
  HDD_TAP_GetCurrentDir(dir);
  EXPECT_STREQ("/Logos", dir);
}

TEST_F(Logo, LargeRawLogosAreReducedWithTheirAspect) {
  struct Case {
    uint32_t w, h, outW, outH;
  } cases[] = {{60, 40, 60, 40},  {61, 40, 60, 39},  {60, 41, 58, 40},
               {120, 80, 60, 40}, {100, 40, 60, 24}, {1, 1, 1, 1}};
  for (const Case &c : cases) {
    std::vector<uint32_t> px(size_t(c.w) * c.h);
    for (size_t i = 0; i < px.size(); ++i) px[i] = 0xFF000000u | uint32_t(i * 2654435761u >> 8);
    Put("big.qtl32", Raw32(c.w, c.h, px));
    ASSERT_EQ(1, LoadChannelLogo("/Logos", "big.qtl32"));
    EXPECT_EQ(c.outW, logoW) << c.w << "x" << c.h;
    EXPECT_EQ(c.outH, logoH) << c.w << "x" << c.h;
    if (c.w <= 60 && c.h <= 40) {
      EXPECT_EQ(px, Pixels()); // copied unchanged
    }
    EXPECT_EQ(px[0], logoData32[0]); // corners sample corners
  }
}

TEST_F(Logo, ShortRawFilesRepeatTheLastPixel) {
  Put("short.bll", Raw16(4, 1, {0x801F}) + "\x7C");
  ASSERT_EQ(1, LoadChannelLogo("/Logos", "short.bll"));
  // The second read brings one byte into the kept buffer, then nothing more.
  EXPECT_EQ((std::vector<uint32_t>{0xFF0000FE, 0x00FE00FE, 0x00FE00FE, 0x00FE00FE}), Pixels());
  Put("empty.bll32", Be32(2) + Be32(1));
  ASSERT_EQ(1, LoadChannelLogo("/Logos", "empty.bll32"));
  EXPECT_EQ((std::vector<uint32_t>{0, 0}), Pixels());
}

TEST_F(Logo, AbsurdHeadersAreRefusedBeforeAnyAllocation) {
  Put("before.qtl32", Raw32(3, 1, {0xFF010203, 0x80405060, 0x00708090}));
  ASSERT_EQ(1, LoadChannelLogo("/Logos", "before.qtl32"));
  const struct {
    uint32_t w, h;
  } headers[] = {{65535, 65535}, {0x10000, 0x10000}, {0x40000000, 4}, {0, 5}, {5, 0}, {4097, 4096}};
  for (const auto &h : headers) {
    Put("huge.qtl", Be32(h.w) + Be32(h.h) + std::string(12, '\x80'));
    const dword allocations = Sim_AllocCount();
    EXPECT_EQ(0, LoadChannelLogo("/Logos", "huge.qtl")) << h.w << "x" << h.h;
    EXPECT_EQ(allocations, Sim_AllocCount()) << h.w << "x" << h.h;
    // The refused header's size never reaches the image: the picture before stays.
    EXPECT_EQ(3u, logoW) << h.w << "x" << h.h;
    EXPECT_EQ(1u, logoH) << h.w << "x" << h.h;
  }
  EXPECT_NE(std::string::npos, Terminal().find("< Loading cannel logo (FALSE2)\n"));
  EXPECT_STREQ(".qtl32", logoExt);
  EXPECT_EQ((std::vector<uint32_t>{0xFF010203, 0x80405060, 0x00708090}), Pixels());
  for (size_t i = 3; i < std::size(logoData32); ++i) ASSERT_EQ(0u, logoData32[i]) << i;
  // The bound itself still loads: 4096 x 4096 from a short file, square.
  Put("bound.qtl", Be32(4096) + Be32(4096));
  EXPECT_EQ(1, LoadChannelLogo("/Logos", "bound.qtl"));
  EXPECT_EQ(40u, logoW);
  EXPECT_EQ(40u, logoH);
}

TEST_F(Logo, FailedLoads) {
  EXPECT_EQ(0, LoadChannelLogo("/Logos", "missing.qtl"));
  EXPECT_NE(std::string::npos, Terminal().find("< Loading channel logo (FALSE3)\n"));
  Put("x.txt", Raw16(1, 1, {0xFFFF}));
  EXPECT_EQ(0, LoadChannelLogo("/Logos", "x.txt")); // no logo suffix: not read as raw
  EXPECT_EQ(0, LoadChannelLogo("/Logos", "x.QTL")); // suffixes are case-sensitive
  const std::string longName = std::string(130, 'n') + ".qtl";
  EXPECT_EQ(0, LoadChannelLogo("/Logos", longName.c_str()));
  EXPECT_EQ(0, LoadChannelLogo("/Logos", nullptr));

  // A logo too large for the image needs a full-size buffer; without it the
  // load fails and the file is closed.
  std::vector<uint32_t> px(61 * 40, 0xFF00FF00);
  Put("large.bll32", Raw32(61, 40, px));
  Sim_FailAllocNth(1);
  EXPECT_EQ(0, LoadChannelLogo("/Logos", "large.bll32"));
}

TEST_F(Logo, WritingRawLogos) {
  logoW = 2;
  logoH = 2;
  const uint32_t image[4] = {0xFF000000, 0x80FFFFFF, 0xFFFFFFFF, 0xFF102030};
  memcpy(logoData32, image, sizeof image);
  ASSERT_EQ(1, TAP_Hdd_Create("/Logos/w.qsl", ATTR_NORMAL));
  ASSERT_EQ(1, TAP_Hdd_Create("/Logos/w.qsl32", ATTR_NORMAL));
  TYPE_File *f16 = TAP_Hdd_Fopen("/Logos/w.qsl");
  TYPE_File *f32 = TAP_Hdd_Fopen("/Logos/w.qsl32");
  EXPECT_TRUE(WriteRawLogo(f16, ".qsl"));
  EXPECT_TRUE(WriteRawLogo(f32, ".qsl32"));
  TAP_Hdd_Fclose(f16);
  TAP_Hdd_Fclose(f32);
  std::string bytes;
  ASSERT_TRUE(ReadHostFile(Host("/Logos/w.qsl"), bytes));
  EXPECT_EQ(Raw16(2, 2, {0x0000, 0x7FFF, 0xFFFF, 0x8465}), bytes);
  ASSERT_TRUE(ReadHostFile(Host("/Logos/w.qsl32"), bytes));
  EXPECT_EQ(Raw32(2, 2, {0xFF000000, 0x80FFFFFF, 0xFFFFFFFF, 0xFF102030}), bytes);

  // A write that falls short is reported.
  TYPE_File *f = TAP_Hdd_Fopen("/Logos/w.qsl");
  Sim_FailWriteAfter(10);
  EXPECT_FALSE(WriteRawLogo(f, ".qsl"));
  Sim_FailWriteAfter(-1);
  logoW = 61;
  EXPECT_FALSE(WriteRawLogo(f, ".qsl")); // wider than the scratch row
  TAP_Hdd_Fclose(f);
  EXPECT_FALSE(WriteRawLogo(nullptr, ".qsl"));
}

std::string Bmp(int32_t w, int32_t h, const std::string &rows) {
  auto le = [](uint32_t v) {
    return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
  };
  std::string s = "BM" + le(uint32_t(54 + rows.size())) + le(0) + le(54);
  s += le(40) + le(uint32_t(w)) + le(uint32_t(h)) + std::string("\x01\0\x18\0", 4) + le(0) +
       le(uint32_t(rows.size())) + le(0) + le(0) + le(0) + le(0);
  return s + rows;
}

TEST_F(Logo, AFailedLoadKeepsThePictureBefore) {
  std::vector<uint32_t> before(60 * 40);
  for (size_t i = 0; i < before.size(); ++i) before[i] = uint32_t(i * 0x9E3779B1u);
  Put("before.bll32", Raw32(60, 40, before));
  // Each fails at another point: refused header, missing file, no logo
  // suffix, a full-size buffer not had, a bitmap too large.
  Put("tall.qtl", Be32(65536) + Be32(65537));
  Put("large.bll32", Raw32(61, 40, std::vector<uint32_t>(61 * 40, 0xFF00FF00)));
  Put("huge.bmp", Bmp(100000, 100000, std::string(64, '\x11')));
  const struct {
    const char *name;
    dword failAlloc;
  } failures[] = {{"tall.qtl", 0},    {"missing.qsl", 0}, {"x.txt", 0},
                  {"large.bll32", 1}, {"huge.bmp", 0},    {"missing.bmp", 0}};
  for (const auto &f : failures) {
    ASSERT_EQ(1, LoadChannelLogo("/Logos", "before.bll32"));
    Sim_FailAllocNth(f.failAlloc);
    EXPECT_EQ(0, LoadChannelLogo("/Logos", f.name)) << f.name;
    Sim_FailAllocNth(0);
    EXPECT_EQ(60u, logoW) << f.name;
    EXPECT_EQ(40u, logoH) << f.name;
    EXPECT_STREQ(".bll32", logoExt) << f.name;
    EXPECT_TRUE(before == Pixels()) << f.name;
  }
}

TEST_F(Logo, BitmapsAreReadBottomUpAndOpaque) {
  // File rows bottom first: [blue, green], [red, white].
  const std::string rows("\xFF\x00\x00\x00\xFF\x00\x00\x00"
                         "\x00\x00\xFF\xFF\xFF\xFF\x00\x00",
                         16);
  Put("two.bmp", Bmp(2, 2, rows));
  ASSERT_EQ(1, LoadChannelLogo("/Logos", "two.bmp"));
  EXPECT_STREQ(".bmp", logoExt);
  EXPECT_EQ((std::vector<uint32_t>{0xFFFF0000, 0xFFFFFFFF, 0xFF0000FF, 0xFF00FF00}), Pixels());
  EXPECT_NE(std::string::npos,
            Terminal().find("index  0, x  0, y  0, R 00, G 00, B FF, color 0xFF0000FF, "
                            "logoData32 0x00000000\n"));

  // Three pixels wide: each 9-byte row is padded to 12.
  std::string padded;
  for (int y = 0; y < 2; ++y)
    padded += std::string{char(y), 1, 2, 3, 4, 5, 6, 7, 8} + std::string("\xEE\xEE\xEE", 3);
  Put("three.bmp", Bmp(3, 2, padded));
  ASSERT_EQ(1, LoadChannelLogo("/Logos", "three.bmp"));
  EXPECT_EQ((std::vector<uint32_t>{0xFF020101, 0xFF050403, 0xFF080706, 0xFF020100, 0xFF050403,
                                   0xFF080706}),
            Pixels());
}

TEST_F(Logo, BitmapSizes) {
  std::string rows(size_t(120 * 3) * 80, '\x40');
  Put("big.bmp", Bmp(120, 80, rows));
  ASSERT_EQ(1, LoadChannelLogo("/Logos", "big.bmp"));
  EXPECT_EQ(60u, logoW);
  EXPECT_EQ(40u, logoH);
  EXPECT_EQ(0xFF404040u, logoData32[2399]);
  rows.assign(size_t(164) * 34, '\x11'); // rows of 162 bytes padded to 164
  Put("mid.bmp", Bmp(54, 34, rows));
  ASSERT_EQ(1, LoadChannelLogo("/Logos", "mid.bmp"));
  EXPECT_EQ(54u, logoW);
  EXPECT_EQ(34u, logoH);
  EXPECT_EQ(0xFF111111u, logoData32[54 * 34 - 1]);
  // Top-down (negative height) reads as a huge height and is refused.
  Put("topdown.bmp", Bmp(2, -2, std::string(16, '\x22')));
  EXPECT_EQ(0, LoadChannelLogo("/Logos", "topdown.bmp"));
  EXPECT_NE(std::string::npos, Terminal().find("< Loading BMP logo (FALSE3)\n"));
  // A file shorter than its header: the missing rows are black.
  Put("short.bmp", Bmp(1, 2, std::string("\x10\x20\x30\x00", 4)));
  ASSERT_EQ(1, LoadChannelLogo("/Logos", "short.bmp"));
  EXPECT_EQ((std::vector<uint32_t>{0xFF000000, 0xFF302010}), Pixels());
}

TEST_F(Logo, BitmapAllocationFailures) {
  Put("two.bmp", Bmp(2, 2, std::string(16, '\x7F')));
  Sim_FailAllocNth(1);
  EXPECT_EQ(0, LoadChannelLogo("/Logos", "two.bmp"));
  EXPECT_NE(std::string::npos, Terminal().find("< Loading BMP logo (FALSE3)\n"));
  Sim_FailAllocNth(2);
  EXPECT_EQ(0, LoadChannelLogo("/Logos", "two.bmp"));
  EXPECT_NE(std::string::npos, Terminal().find("< Loading BMP logo (FALSE4)\n"));
  EXPECT_EQ(nullptr, logoLarge32);
  EXPECT_EQ(0, LoadBMP(nullptr));
  EXPECT_NE(std::string::npos, Terminal().find("< Loading BMP logo (FALSE1)\n"));
  EXPECT_EQ(0, LoadBMP("none.bmp"));
  EXPECT_NE(std::string::npos, Terminal().find("< Loading BMP logo (FALSE2)\n"));
}

} // namespace
