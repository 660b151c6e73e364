// The table of formats and targets as its readers see it, and ConvertLogo:
// the fitted canvas byte for byte, writing into another folder, and every
// result code with what it leaves on the disk.
#include <dirent.h>
#include <string.h>
#include <sys/stat.h>

#include <algorithm>

#include "Velumo.h"
#include "logo_formats.h"
#include "rawlogo.h"
#include "testdisk.h"

namespace {

uint32_t Word(const std::string &s, size_t at) {
  return uint32_t(uint8_t(s[at])) << 24 | uint32_t(uint8_t(s[at + 1])) << 16 |
         uint32_t(uint8_t(s[at + 2])) << 8 | uint8_t(s[at + 3]);
}

// Every pixel opaque and different from its neighbours.
std::string Raw32(uint32_t w, uint32_t h) {
  std::vector<uint32_t> px(size_t(w) * h);
  for (uint32_t i = 0; i < w * h; ++i) px[i] = 0xFF000000u | (i * 0x0A0B0Du & 0xFFFFFF);
  return ::Raw32(w, h, px);
}

TEST(LogoTable, TheFileListFilterIsTheFormatsInTheirOrder) {
  EXPECT_STREQ(".qtl32|.qsl32|.ibl32|.bll32|.qtl|.qsl|.ibl|.bll|.jpg|.png|.bmp", LogoFilter());
  ASSERT_NE(nullptr, LogoFormatOf("a.qtl32"));
  EXPECT_EQ(kLogoRaw32, LogoFormatOf("a.qtl32")->kind);
  EXPECT_EQ(kLogoRaw16, LogoFormatOf("a.qtl")->kind);
  EXPECT_EQ(24, LogoFormatOf("a.bmp")->bits);
  EXPECT_EQ(nullptr, LogoFormatOf("a.PNG")); // the firmware's search is case-sensitive
  EXPECT_EQ(nullptr, LogoFormatOf("a.png.txt"));
  EXPECT_EQ(nullptr, LogoFormatOf("qtl32"));
}

TEST(LogoTable, KeysAndNamesFindTheirTargets) {
  for (uint32_t i = 0; i < kLogoTargetCount; ++i) {
    EXPECT_EQ(int32_t(i), LogoTargetOfKey(kLogoTargets[i].key));
    EXPECT_EQ(int32_t(i), LogoTargetNamed(kLogoTargets[i].name));
  }
  // The number keys convert in the order of the rows.
  for (int32_t i = 0; i < 8; ++i) EXPECT_EQ(i, LogoTargetOfKey(RKEY_1 + dword(i)));
  EXPECT_EQ(-1, LogoTargetOfKey(RKEY_0));
  EXPECT_EQ(-1, LogoTargetOfKey(RKEY_9));
  EXPECT_EQ(-1, LogoTargetNamed("QTL"));
  EXPECT_EQ(-1, LogoTargetNamed(nullptr));
}

TEST(LogoTable, TargetNamesFollowTheSourcesDepth) {
  char first[128], second[128];
  const struct {
    uint32_t target;
    const char *source, *first, *second;
  } cases[] = {
      {6, "a.qsl", "a.qsl", ""},
      {6, "a.png", "a.qsl32", ""},
      {5, "a.jpg", "a.qtl32", ""},
      {7, "a.bll32", "a.ibl32", ""},
      {0, "a.png", "a.bll", ""},
      {1, "a.qtl", "a.bll32", ""},
      {4, "Sport-1.png", "Sport-1.bmp", "Sport-1.jpg"},
      {99, "a.qtl", "a.bmp", ""},  // any other number is the BMP target
      {5, "a.svg", "a.qtl32", ""}, // logoconv's drawings are 32-bit sources
  };
  for (const auto &c : cases) {
    ASSERT_TRUE(ConversionTargets(c.target, c.source, first, second)) << c.source;
    EXPECT_STREQ(c.first, first) << c.target << " " << c.source;
    EXPECT_STREQ(c.second, second) << c.target << " " << c.source;
  }
}

// What the status line, the log and logoconv say of each result.
TEST(LogoResults, EveryStatusTextInBothLanguagesAndEveryFailureWithItsReason) {
  for (int32_t code = 0; code < kLogoResultCount; ++code) {
    const LogoResultText &r = LogoResultOf(code);
    EXPECT_EQ(code, r.code);
    EXPECT_EQ(r.german == nullptr, r.english == nullptr) << code;
    EXPECT_EQ(code == kConvertOk || code == kConvertIntoSource, r.reason == nullptr) << code;
    if (r.log) {
      EXPECT_EQ(0, strncmp(r.log, "= Not converting %s/%s", 22)) << code;
    }
  }
  EXPECT_EQ(kConvertWriteFailed, LogoResultOf(-1).code);
  EXPECT_EQ(kConvertWriteFailed, LogoResultOf(kLogoResultCount).code);
}

class ConvertLogoTest : public SimTest {
protected:
  void SetUp() override {
    SimTest::SetUp();
    MakeFolders({"/in", "/out"});
  }
  void TearDown() override {
    Sim_FailAllocAbove(0);
    Sim_FailWriteAfter(-1);
    ExpectNothingHeld();
    SimTest::TearDown();
  }
  std::string File(const std::string &path) { return DiskFile(path); }
};

TEST_F(ConvertLogoTest, FitCentresALandscapeLogoBetweenTransparentRows) {
  const std::string source = Raw32(60, 30);
  ASSERT_TRUE(WriteHostFile(Host("/in/wide.bll32"), source));
  ASSERT_EQ(kConvertOk, ConvertLogo(5, "/in", "wide.bll32", "/in", true));
  const std::string out = File("/in/wide.qtl32");
  ASSERT_EQ(8u + 54 * 34 * 4, out.size());
  EXPECT_EQ(54u, Word(out, 0));
  EXPECT_EQ(34u, Word(out, 4));
  // 60 x 30 fills the width: 54 x 27, three rows above and four below.
  auto pixel = [&](uint32_t x, uint32_t y) { return Word(out, 8 + (y * 54 + x) * 4); };
  for (uint32_t y : {0u, 1u, 2u, 30u, 31u, 32u, 33u})
    for (uint32_t x = 0; x < 54; ++x) ASSERT_EQ(0u, pixel(x, y)) << x << "," << y;
  for (uint32_t y = 3; y < 30; ++y)
    for (uint32_t x = 0; x < 54; ++x) ASSERT_EQ(0xFFu, pixel(x, y) >> 24) << x << "," << y;
  // Corner to corner: the picture's corners are the source's.
  EXPECT_EQ(Word(source, 8), pixel(0, 3));
  EXPECT_EQ(Word(source, 8 + (29 * 60 + 59) * 4), pixel(53, 29));
}

TEST_F(ConvertLogoTest, FitKeepsAPortraitLogoUpright) {
  const std::string source = Raw32(20, 40);
  ASSERT_TRUE(WriteHostFile(Host("/in/tall.bll32"), source));
  ASSERT_EQ(kConvertOk, ConvertLogo(7, "/in", "tall.bll32", "/out", true));
  const std::string out = File("/out/tall.ibl32");
  ASSERT_EQ(8u + 50 * 30 * 4, out.size());
  // 20 x 40 fills the height: 15 x 30, seventeen columns left, eighteen right.
  auto pixel = [&](uint32_t x, uint32_t y) { return Word(out, 8 + (y * 50 + x) * 4); };
  for (uint32_t y = 0; y < 30; ++y)
    for (uint32_t x = 0; x < 50; ++x)
      ASSERT_EQ(x >= 17 && x < 32 ? 0xFFu : 0u, pixel(x, y) >> 24) << x << "," << y;
  EXPECT_EQ(Word(source, 8), pixel(17, 0));
  EXPECT_EQ(Word(source, 8 + (39 * 20 + 19) * 4), pixel(31, 29));
  EXPECT_EQ(std::vector<std::string>{"tall.bll32"}, HostNames(Host("/in")));
}

TEST_F(ConvertLogoTest, FitLeavesTargetsOfTheLoadedSizeAlone) {
  ASSERT_TRUE(WriteHostFile(Host("/in/a.qtl32"), Raw32(33, 21)));
  ASSERT_EQ(kConvertOk, ConvertLogo(1, "/in", "a.qtl32", "/out", true));
  ASSERT_EQ(kConvertOk, ConvertLogo(1, "/in", "a.qtl32", "/in", false));
  EXPECT_EQ(File("/in/a.bll32"), File("/out/a.bll32"));
  EXPECT_EQ(Raw32(33, 21), File("/out/a.bll32"));
}

TEST_F(ConvertLogoTest, EveryFailureSaysWhyAndLeavesNothingBehind) {
  const std::string source = Raw32(60, 30);
  ASSERT_TRUE(WriteHostFile(Host("/in/a.bll32"), source));
  EXPECT_EQ(kConvertLoadFailed, ConvertLogo(0, "/in", "missing.bll32", "/in", false));
  EXPECT_EQ(kConvertIntoSource, ConvertLogo(1, "/in", "a.bll32", "/in", false));
  EXPECT_EQ(source, File("/in/a.bll32"));
  mkdir(Host("/in/a.png").c_str(), 0755);
  EXPECT_EQ(kConvertNotAFile, ConvertLogo(2, "/in", "a.bll32", "/in", false));
  rmdir(Host("/in/a.png").c_str());
  const std::string longName = std::string(122, 'n') + ".qtl";
  ASSERT_TRUE(WriteHostFile(Host("/in/" + longName), Raw32(2, 2)));
  EXPECT_EQ(kConvertNameTooLong, ConvertLogo(1, "/in", longName.c_str(), "/in", false));
  remove(Host("/in/" + longName).c_str());
  ASSERT_TRUE(WriteHostFile(Host("/in/thin.bll32"), Raw32(1000, 10)));
  EXPECT_EQ(kConvertEmpty, ConvertLogo(0, "/in", "thin.bll32", "/in", false));
  remove(Host("/in/thin.bll32").c_str());
  // The loader's 60 x 30 buffer fits, the 54 x 34 canvas does not.
  Sim_FailAllocAbove(60 * 30 * 4);
  EXPECT_EQ(kConvertNoMemory, ConvertLogo(5, "/in", "a.bll32", "/in", false));
  EXPECT_EQ(kConvertNoMemory, ConvertLogo(5, "/in", "a.bll32", "/in", true));
  Sim_FailAllocAbove(0);
  for (uint32_t target : {0u, 2u, 3u, 4u, 6u}) {
    Sim_FailWriteAfter(20);
    EXPECT_EQ(kConvertWriteFailed, ConvertLogo(target, "/in", "a.bll32", "/in", false)) << target;
    Sim_FailWriteAfter(-1);
  }
  EXPECT_EQ(std::vector<std::string>{"a.bll32"}, HostNames(Host("/in")));
  EXPECT_EQ(source, File("/in/a.bll32"));
}

} // namespace
