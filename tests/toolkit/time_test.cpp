// The packed local time and the time stamp formats.
#include "testdisk.h"
#include "tklib.h"

namespace {

using Time = SimTest;

constexpr dword kStamp = dword(55974) << 16 | 9 << 8 | 5; // 2012-02-17 09:05

TEST_F(Time, NowPacksTheFirmwareClock) {
  byte seconds = 0;
  EXPECT_EQ(kStamp, Now(&seconds));
  EXPECT_EQ(30, seconds);
  TAP_Sleep(100 * 31);
  EXPECT_EQ(kStamp + 1, Now(nullptr)); // 09:06:01
}

TEST_F(Time, EveryFormat) {
  const char *expected[] = {"",
                            "09:05",
                            "09:05:30",
                            "2012-02-17",
                            "2012-02-17 09:05",
                            "2012-02-17 09:05:30",
                            "20120217_0905",
                            "",
                            ""};
  for (int f = 0; f < 9; ++f) EXPECT_STREQ(expected[f], TimeFormat(kStamp, 30, f)) << f;
  EXPECT_STREQ("", TimeFormat(kStamp, 30, -1));
  // Below MJD 1 there is no date.
  EXPECT_STREQ("0000-00-00 23:59:07", TimeFormat(23 << 8 | 59, 7, 5));
  // One static buffer: each call overwrites the last result.
  char *first = TimeFormat(kStamp, 0, 1);
  TimeFormat(kStamp, 0, 3);
  EXPECT_STREQ("2012-02-17", first);
  // Nonsense fields come out as they are, within the stamp's buffer.
  EXPECT_STREQ("2038-04-22 255:255:255", TimeFormat(0xFFFFFFFF, 255, 5));
}

} // namespace
