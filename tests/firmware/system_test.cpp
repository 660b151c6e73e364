// Clock, dates, system values, normal mode and the firmware objects that
// plug-ins find by name.
#include <dlfcn.h>
#include <string.h>

#include "testdisk.h"

namespace {

using System = SimTest;

TEST_F(System, ModifiedJulianDates) {
  EXPECT_EQ(55974, TAP_MakeMjd(2012, 2, 17));
  EXPECT_EQ(51544, TAP_MakeMjd(2000, 1, 1));
  EXPECT_EQ(51603, TAP_MakeMjd(2000, 2, 29));
  EXPECT_EQ(0, TAP_MakeMjd(2012, 13, 1));
  EXPECT_EQ(0, TAP_MakeMjd(2012, 2, 0));
  word y;
  byte m, d, wd;
  TAP_ExtractMjd(55974, &y, &m, &d, &wd);
  EXPECT_EQ(2012, y);
  EXPECT_EQ(2, m);
  EXPECT_EQ(17, d);
  EXPECT_EQ(4, wd); // a Friday, counting from Monday = 0
  TAP_ExtractMjd(51603, &y, &m, &d, nullptr);
  EXPECT_EQ(2000, y);
  EXPECT_EQ(2, m);
  EXPECT_EQ(29, d);
  TAP_ExtractMjd(0, &y, &m, &d, &wd);
  EXPECT_EQ(1858, y);
  EXPECT_EQ(11, m);
  EXPECT_EQ(17, d);
  EXPECT_EQ(2, wd); // Wednesday
}

TEST_F(System, FixedClockAdvancesWithIdleEvents) {
  word mjd;
  byte h, mi, s;
  TAP_GetTime(&mjd, &h, &mi, &s);
  EXPECT_EQ(55974, mjd);
  EXPECT_EQ(9, h);
  EXPECT_EQ(5, mi);
  EXPECT_EQ(30, s);
  EXPECT_EQ(0u, TAP_GetTick());
  for (int i = 0; i < 300; ++i) Sim_DeliverEvent(EVT_IDLE, 0, 0);
  EXPECT_EQ(3000u, TAP_GetTick());
  TAP_Sleep(3000); // across midnight is no concern, across the minute is
  TAP_GetTime(&mjd, &h, &mi, &s);
  EXPECT_EQ(6, mi);
  EXPECT_EQ(30, s);

  ASSERT_EQ(1, Sim_SetClock("2012-12-31 23:59:59"));
  TAP_Sleep(100);
  TAP_GetTime(&mjd, &h, &mi, &s);
  EXPECT_EQ(TAP_MakeMjd(2013, 1, 1), mjd);
  EXPECT_EQ(0, h);
  EXPECT_EQ(0, mi);
  EXPECT_EQ(0, s);

  EXPECT_EQ(0, Sim_SetClock("2012-02-30 10:00:00"));
  EXPECT_EQ(0, Sim_SetClock("2012-02-17 24:00:00"));
  EXPECT_EQ(0, Sim_SetClock("2012-02-17"));
  EXPECT_EQ(0, Sim_SetClock("2012-02-17 09:05:30 extra"));
  EXPECT_EQ(0, Sim_SetClock(nullptr));

  // The date is a 16-bit MJD: 2038-04-22 is its last day; later times would
  // wrap round to 1858.
  ASSERT_EQ(1, Sim_SetClock("2038-04-22 23:59:59"));
  TAP_GetTime(&mjd, &h, &mi, &s);
  EXPECT_EQ(0xFFFF, mjd);
  EXPECT_EQ(59, s);
  EXPECT_EQ(0, Sim_SetClock("2038-04-23 00:00:00"));
  EXPECT_EQ(0, Sim_SetClock("2100-12-31 12:00:00"));
  EXPECT_EQ(1, Sim_SetClock("1900-01-01 00:00:00"));
  EXPECT_EQ(0, Sim_SetClock("1899-12-31 23:59:59"));
}

TEST_F(System, SystemValues) {
  EXPECT_EQ(1u, TAP_GetSystemVar(SYSVAR_OsdLan));
  Sim_SetLanguage(LAN_German);
  EXPECT_EQ(2u, TAP_GetSystemVar(SYSVAR_OsdLan));
  EXPECT_EQ(0u, TAP_GetSystemVar(99));
  Sim_SetSystemId(456);
  EXPECT_EQ(456u, TAP_GetSystemId());
  Sim_SetVersion(0x1205);
  EXPECT_EQ(0x1205u, TAP_GetVersion());
  char text[64];
  EXPECT_EQ(11, TAP_SPrint(text, "%s %04X", "System", 0xAB));
  EXPECT_STREQ("System 00AB", text);
}

TEST_F(System, NormalModeAndItsFirmwareRoutine) {
  dword state = 7, sub = 7;
  EXPECT_EQ(1, Sim_NormalMode());
  TAP_GetState(&state, &sub);
  EXPECT_EQ(0u, state);
  EXPECT_EQ(31u, sub);
  TAP_ExitNormal();
  TAP_GetState(&state, &sub);
  EXPECT_NE(31u, sub);
  EXPECT_EQ(0, Sim_NormalMode());
  TAP_EnterNormal();
  EXPECT_EQ(1, Sim_NormalMode());
  EXPECT_EQ(1u, Sim_EnterNormalCalls());

  // The toolkit reaches these by name through the dynamic linker.
  void *self = dlopen(nullptr, RTLD_LAZY | RTLD_GLOBAL);
  ASSERT_NE(nullptr, self);
  auto enterNormal =
      reinterpret_cast<void (*)(unsigned char)>(dlsym(self, "_Z16Appl_EnterNormalh"));
  ASSERT_NE(nullptr, enterNormal);
  EXPECT_NE(nullptr, dlsym(self, "_osdInfo"));
  EXPECT_NE(nullptr, dlsym(self, "_tapTask"));
  EXPECT_NE(nullptr, dlsym(self, "_curTapTask"));
  TAP_ExitNormal();
  enterNormal(0);
  EXPECT_EQ(1, Sim_NormalMode());
  EXPECT_EQ(1u, Sim_EnterNormalCalls()); // the banner-less way is not TAP_EnterNormal
  dlclose(self);
}

TEST(SimInit, DiskFolderIsCreatedWithProgramFiles) {
  std::string base = MakeTempDir();
  ASSERT_FALSE(base.empty());
  std::string disk = base + "/new/disk";
  ASSERT_EQ(1, Sim_Init(disk.c_str()));
  EXPECT_TRUE(HostExists(disk + "/ProgramFiles"));
  EXPECT_EQ(1, TAP_Hdd_ChangeDir("/ProgramFiles"));
  Sim_Shutdown();
  // A file where the disk folder should be is refused.
  ASSERT_TRUE(WriteHostFile(base + "/file", "x"));
  EXPECT_EQ(0, Sim_Init((base + "/file").c_str()));
  EXPECT_EQ(0, Sim_Init(""));
  Sim_Shutdown();
  RemoveTree(base);
}

} // namespace
