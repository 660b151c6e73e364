// The gate for what a test needs: on CI a missing need fails the test.
#include <stdlib.h>

#include <gtest/gtest-spi.h>

#include <string>

#include "needs.h"

namespace {

void NeedsMissingData() {
  SKIP_OR_FAIL_ON_CI("no such data");
}

// CI as the test run found it, back after each test.
class Needs : public ::testing::Test {
protected:
  void SetUp() override {
    const char *ci = getenv("CI");
    had_ = ci != nullptr;
    if (ci) saved_ = ci;
  }
  void TearDown() override {
    if (had_)
      setenv("CI", saved_.c_str(), 1);
    else
      unsetenv("CI");
  }
  bool had_ = false;
  std::string saved_;
};

TEST_F(Needs, OnlyCiTrueIsCi) {
  unsetenv("CI");
  EXPECT_FALSE(OnCi());
  setenv("CI", "false", 1);
  EXPECT_FALSE(OnCi());
  setenv("CI", "", 1);
  EXPECT_FALSE(OnCi());
  setenv("CI", "true", 1);
  EXPECT_TRUE(OnCi());
}

TEST_F(Needs, AMissingNeedFailsOnCi) {
  setenv("CI", "true", 1);
  EXPECT_FATAL_FAILURE(NeedsMissingData(), "no such data (CI=true: the CI machine must have it)");
}

} // namespace
