// The table's promise: a new target is one row and its writer, a new format
// one row and its loader.  This build of the engine has one of each more
// (test_rows.h) and no plug-in around it: the look-ups, the file list's
// filter, the names and whole conversions take them up with nothing else
// changed.
#include <stdarg.h>
#include <stdio.h>
#include <sys/stat.h>

#include <string>

#include "logo_formats.h"
#include "logo_host.h"
#include "rawlogo.h"
#include "testdisk.h"

namespace {

std::string logged;
std::string written; // what the test writer was handed

} // namespace

// The engine's host is this test: it keeps the log lines.
void WriteLog(const char *format, ...) {
  char line[512];
  va_list args;
  va_start(args, format);
  vsnprintf(line, sizeof line, format, args);
  va_end(args);
  logged += line;
}
void WriteDebugLog(const char *, ...) {}

int32_t WriteTestTarget(const char *dir, const char *first, const char *second) {
  written = std::string(dir) + "|" + first + "|" + second;
  return WriteRawTarget(dir, first, second);
}

// A 3 x 2 logo whatever the file holds.
int32_t LoadTestLogo(const char *, const char *) {
  logoW = 3;
  logoH = 2;
  for (uint32_t i = 0; i < 6; ++i) logoData32[i] = 0xFF000000u | i * 0x101010u;
  return 1;
}

namespace {

constexpr uint32_t kTest = kLogoTargetCount - 1;

TEST(TableRows, ANewRowIsFoundByEveryLookUp) {
  ASSERT_EQ(9u, kLogoTargetCount);
  ASSERT_EQ(12u, kLogoFormatCount);
  EXPECT_EQ(int32_t(kTest), LogoTargetNamed("tst"));
  EXPECT_EQ(int32_t(kTest), LogoTargetOfKey(RKEY_0));
  EXPECT_STREQ(".qtl32|.qsl32|.ibl32|.bll32|.qtl|.qsl|.ibl|.bll|.jpg|.png|.bmp|.tst", LogoFilter());
  ASSERT_NE(nullptr, LogoFormatOf("a.tst"));
  EXPECT_EQ(LoadTestLogo, LogoFormatOf("a.tst")->load);
  // The default stays the BMP target, wherever the new row went.
  EXPECT_STREQ("bmp", kLogoTargets[kLogoTargetDefault].name);
  char first[128], second[128];
  ASSERT_TRUE(ConversionTargets(kTest, "a.png", first, second));
  EXPECT_STREQ("a.tst32", first);
  ASSERT_TRUE(ConversionTargets(kTest, "a.tst", first, second));
  EXPECT_STREQ("a.tst", first);
}

class RowsTest : public SimTest {
protected:
  void SetUp() override {
    SimTest::SetUp();
    mkdir(Host("/in").c_str(), 0755);
    logged.clear();
    written.clear();
  }
};

TEST_F(RowsTest, TheNewTargetConvertsThroughItsWriterAtItsSize) {
  ASSERT_TRUE(WriteHostFile(Host("/in/a.bll32"), Raw32(2, 1, {0xFF102030, 0xFF405060})));
  ASSERT_EQ(kConvertOk, ConvertLogo(kTest, "/in", "a.bll32", "/in", false));
  EXPECT_EQ("/in|a.tst32|", written);
  std::string out;
  ASSERT_TRUE(ReadHostFile(Host("/in/a.tst32"), out));
  ASSERT_EQ(8u + 12 * 8 * 4, out.size());
  EXPECT_EQ(Be32(12) + Be32(8), out.substr(0, 8));
  EXPECT_EQ(Be32(0xFF102030), out.substr(8, 4));
  EXPECT_NE(std::string::npos, logged.find("= Saved channel logofile /in/a.tst32\n"));
}

TEST_F(RowsTest, TheNewFormatLoadsThroughItsLoaderAndIsNeverItsOwnTarget) {
  ASSERT_TRUE(WriteHostFile(Host("/in/b.tst"), "anything"));
  ASSERT_EQ(1, LoadChannelLogo("/in", "b.tst"));
  EXPECT_STREQ(".tst", logoExt);
  EXPECT_EQ(3u, logoW);
  // Eight bits a pixel: the fixed-size target keeps its own extension, which
  // is the source's.
  EXPECT_EQ(kConvertIntoSource, ConvertLogo(kTest, "/in", "b.tst", "/in", false));
  EXPECT_EQ("", written);
  EXPECT_EQ("= Not converting /in/b.tst into itself\n", logged);
  ASSERT_EQ(kConvertOk, ConvertLogo(0, "/in", "b.tst", "/in", false));
  std::string out;
  ASSERT_TRUE(ReadHostFile(Host("/in/b.bll"), out));
  EXPECT_EQ(Be32(3) + Be32(2), out.substr(0, 8));
}

} // namespace
