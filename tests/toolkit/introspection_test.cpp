// Firmware objects found by name, the receiver-model file, the way back to
// normal viewing, the network-terminal echo and the warning allocation.
#include "firmware_dat.h"
#include "testdisk.h"
#include "tklib.h"

extern "C" uint32_t _curTapTask;

namespace {

class Introspection : public SimTest {
protected:
  void SetUp() override {
    SimTest::SetUp();
    TAPDirStackDepth = -1;
    ReleaseFirmwareDat();
  }
  void TearDown() override {
    ReleaseFirmwareDat();
    EXPECT_EQ(0u, Sim_HeapBlocksTotal());
    SimTest::TearDown();
  }
};

TEST_F(Introspection, SymbolsOfTheRunningFirmware) {
  EXPECT_NE(nullptr, TryResolve("_osdInfo"));
  EXPECT_EQ(nullptr, TryResolve("_noSuchFirmwareObject"));
  EXPECT_EQ(TryResolve("_tapTask"), FIS_vTAPTable());
  EXPECT_EQ(static_cast<void *>(&_curTapTask), FIS_vCurTapTask());
  EXPECT_NE(nullptr, FIS_vOsdMap());
  EXPECT_NE(nullptr, FIS_fwAppl_EnterNormal());
  EXPECT_TRUE(InitTAPex());
  EXPECT_TRUE(LibInitialized);
  Sim_SetSystemId(0x12345);
  EXPECT_EQ(0x2345, GetSysID()); // limited to 16 bits
}

TEST_F(Introspection, EnterNormalWithoutTheBanner) {
  TAP_ExitNormal();
  TAP_EnterNormalNoInfo();
  EXPECT_EQ(1, Sim_NormalMode());
  EXPECT_EQ(0u, Sim_EnterNormalCalls()); // the firmware's own routine, not TAP_EnterNormal
}

TEST_F(Introspection, ModelFile) {
  const uint32_t *header = nullptr;
  const unsigned char *records = nullptr, *tail = nullptr;
  EXPECT_FALSE(LoadFirmwareDat(&header, &records, &tail)); // none on the disk

  ASSERT_TRUE(WriteHostFile(Host("/ProgramFiles/FirmwareTMS.dat"),
                            FirmwareDat({{1, 1}, {2, 2}}, 0x87654321)));
  EXPECT_FALSE(LoadFirmwareDat(&header, &records, &tail)); // wrong magic: not kept
  EXPECT_EQ(0u, Sim_HeapBlocksTotal());
  ASSERT_TRUE(
      WriteHostFile(Host("/ProgramFiles/FirmwareTMS.dat"), FirmwareDat({{1, 1}}, 0x12345678, 5)));
  EXPECT_FALSE(LoadFirmwareDat(nullptr, nullptr, nullptr)); // word 2 not 0
  // A file too short for the records it announces is never read past its end.
  std::string cut = FirmwareDat({{1, 1}, {2, 2}});
  cut.resize(20 + 348 + 100);
  ASSERT_TRUE(WriteHostFile(Host("/ProgramFiles/FirmwareTMS.dat"), cut));
  EXPECT_FALSE(LoadFirmwareDat(&header, &records, &tail));
  ASSERT_TRUE(WriteHostFile(Host("/ProgramFiles/FirmwareTMS.dat"), "short"));
  EXPECT_FALSE(LoadFirmwareDat(&header, &records, &tail));
  EXPECT_EQ(0u, Sim_HeapBlocksTotal());

  // The next call tries again and keeps what it finds.
  const std::string good = FirmwareDat({{1, 1}, {22010, 2}});
  ASSERT_TRUE(WriteHostFile(Host("/ProgramFiles/Settings.dat"), "")); // nothing to do with it
  ASSERT_TRUE(WriteHostFile(Host("/ProgramFiles/FirmwareTMS.dat"), good));
  ASSERT_EQ(1, TAP_Hdd_ChangeDir("/"));
  ASSERT_TRUE(LoadFirmwareDat(&header, &records, &tail));
  EXPECT_EQ(0x12345678u, header[0]);
  EXPECT_EQ(reinterpret_cast<const unsigned char *>(header) + 20, records);
  EXPECT_EQ(records + 2 * 348, tail);
  EXPECT_EQ(22010, records[348] | records[349] << 8);
  EXPECT_EQ(1u, Sim_HeapBlocksTotal());
  char dir[kDirStackEntry];
  HDD_TAP_GetCurrentDir(dir);
  EXPECT_STREQ("/", dir); // the search went back where it started
  EXPECT_EQ(-1, TAPDirStackDepth);
  // Kept: a changed file is not read again.
  ASSERT_EQ(1, TAP_Hdd_Delete("/ProgramFiles/FirmwareTMS.dat"));
  EXPECT_TRUE(LoadFirmwareDat(nullptr, &records, nullptr));
}

TEST_F(Introspection, EchoAndWarningAllocation) {
  PrintNet("one ");
  PrintNet("two\n");
  EXPECT_STREQ("one two\n", Sim_TerminalText());
  void *p = TAP_MemAlloc_Chk("here", 16);
  EXPECT_NE(nullptr, p);
  TAP_MemFree(p);
  EXPECT_STREQ("one two\n", Sim_TerminalText());
  Sim_FailAllocAbove(100);
  EXPECT_EQ(nullptr, TAP_MemAlloc_Chk("LoadFirmwareDat", 4096));
  EXPECT_STREQ("one two\nTAP_MemAlloc_Chk Warning: TAP_MemAlloc(4096) returned NULL pointer @ "
               "LoadFirmwareDat\n",
               Sim_TerminalText());
}

} // namespace
