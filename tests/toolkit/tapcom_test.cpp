// Loaded plug-ins found by their files' identifiers, events delivered to
// them, and the request channel between plug-ins, over the firmware's table.
#include <string.h>

#include "elf_builder.h"
#include "testdisk.h"
#include "tklib.h"

// This program opens channels as the plug-in with this identifier.
extern "C" const uint32_t __tap_ud__ = 0x00DDBA11;
extern "C" uint32_t _curTapTask;

namespace {

// Plug-ins linked into the test: each records what reaches it.
struct Probe {
  int events = 0;
  word event = 0;
  dword param1 = 0, param2 = 0;
  uint32_t taskIndex = 99;
  dword result = 1;
};
Probe probes[2];

template <int N> dword ProbeHandler(word event, dword param1, dword param2) {
  if (event == EVT_STOP) {
    TAP_Exit();
    return 0;
  }
  Probe &p = probes[N];
  ++p.events;
  p.event = event;
  p.param1 = param1;
  p.param2 = param2;
  p.taskIndex = _curTapTask;
  return p.result;
}
int ProbeMain() {
  return 1;
}
template <int N> int ProbeInit(TYPE_TapEntry *entry) {
  entry->Main = ProbeMain;
  entry->EventHandler = ProbeHandler<N>;
  return 0;
}

class Plugins : public SimTest {
protected:
  void SetUp() override {
    SimTest::SetUp();
    TAPDirStackDepth = -1;
    probes[0] = probes[1] = Probe();
  }
  void TearDown() override {
    EXPECT_EQ(0u, Sim_HeapBlocksTotal());
    EXPECT_EQ(-1, TAPDirStackDepth);
    SimTest::TearDown();
  }
  int Companion() {
    char err[256] = "";
    const int slot = Sim_LoadPlugin(COMPANION_SO, err, sizeof err);
    EXPECT_GE(slot, 0) << err;
    return slot;
  }
  // A probe whose file on the disk carries the identifier.
  template <int N> int AttachProbe(const char *name, const std::string &id) {
    EXPECT_TRUE(WriteHostFile(Host(std::string("/ProgramFiles/") + name),
                              BuildElf(false, PluginSections(id, "")).bytes));
    char err[256] = "";
    const int slot = Sim_AttachPlugin(name, ProbeInit<N>, err, sizeof err);
    EXPECT_GE(slot, 0) << err;
    return slot;
  }
  std::string Requests() {
    std::string text;
    ReadHostFile(Host("/ProgramFiles/Companion.txt"), text);
    return text;
  }
};

TEST_F(Plugins, FoundByIdentifier) {
  EXPECT_EQ(-1, HDD_TAP_GetIndexByID(0x8E0A4230));
  EXPECT_FALSE(HDD_TAP_isRunning(0x8E0A4230));
  EXPECT_EQ(0, HDD_TAP_GetIndexByID(0)); // the first entry without an identifier

  ASSERT_EQ(0, Companion());
  ASSERT_EQ(1, AttachProbe<0>("probe.tap", std::string("\x01\x00\x34\x12", 4)));
  EXPECT_EQ(0x8E0A4230u, HDD_TAP_GetIDByIndex(0));
  EXPECT_EQ(0x12340001u, HDD_TAP_GetIDByIndex(1));
  EXPECT_EQ(0u, HDD_TAP_GetIDByIndex(2));
  EXPECT_EQ(0u, HDD_TAP_GetIDByIndex(-1));
  EXPECT_EQ(0u, HDD_TAP_GetIDByIndex(16));
  EXPECT_EQ(1, HDD_TAP_GetIndexByID(0x12340001));
  EXPECT_EQ(2, HDD_TAP_GetIndexByID(0));
  EXPECT_TRUE(HDD_TAP_isRunning(0x8E0A4230));

  char path[kTAPPathSize];
  const dword *table = FIS_vTAPTable();
  ASSERT_TRUE(HDD_GetAbsolutePathByTypeFile(reinterpret_cast<const void *>(table[2]), path));
  EXPECT_STREQ("/mnt/hd/ProgramFiles/Companion.so", path);
  EXPECT_FALSE(HDD_GetAbsolutePathByTypeFile(nullptr, path));
  EXPECT_STREQ("", path);

  // A plug-in that has ended is no longer found.
  ASSERT_EQ(0u, Sim_DeliverEvent(EVT_STOP, 0, 0));
  EXPECT_FALSE(HDD_TAP_isRunning(0x8E0A4230));
  EXPECT_EQ(0u, HDD_TAP_GetIDByIndex(1));
}

TEST_F(Plugins, EventsRunWithTheTaskIndexSwitched) {
  ASSERT_EQ(0, AttachProbe<0>("a.tap", "AAAA"));
  ASSERT_EQ(1, AttachProbe<1>("b.tap", "BBBB"));
  _curTapTask = 0; // probe 0 sends
  probes[1].result = 0x77;
  EXPECT_EQ(0x77u, HDD_TAP_SendEvent(0x42424242, true, 0x1234, 11, 22));
  EXPECT_EQ(0, probes[0].events);
  EXPECT_EQ(1, probes[1].events);
  EXPECT_EQ(0x1234, probes[1].event);
  EXPECT_EQ(11u, probes[1].param1);
  EXPECT_EQ(22u, probes[1].param2);
  EXPECT_EQ(1u, probes[1].taskIndex);
  EXPECT_EQ(0u, _curTapTask);                                  // restored
  EXPECT_EQ(0u, HDD_TAP_SendEvent(0x43434343, true, 1, 0, 0)); // nobody has it
  EXPECT_EQ(1, probes[1].events);

  // To everybody: each in turn, unless one returns 0 and that may stop it.
  probes[0].result = 0;
  EXPECT_EQ(0x77u, HDD_TAP_SendEvent(0, false, 2, 3, 4));
  EXPECT_EQ(1, probes[0].events);
  EXPECT_EQ(0u, probes[0].taskIndex);
  EXPECT_EQ(2, probes[1].events);
  EXPECT_EQ(0u, HDD_TAP_SendEvent(0, true, 2, 3, 4));
  EXPECT_EQ(2, probes[0].events);
  EXPECT_EQ(2, probes[1].events);
  EXPECT_EQ(0u, _curTapTask);
}

TEST_F(Plugins, ChannelToAPluginThatIsNotLoaded) {
  ASSERT_EQ(0, AttachProbe<0>("a.tap", "AAAA"));
  auto *channel = static_cast<TYPE_TAPCOM *>(TAPCOM_OpenChannel(0x8E0A4230, 1, 5, 6));
  ASSERT_NE(nullptr, channel);
  EXPECT_TRUE(isValidChannel(channel));
  EXPECT_EQ(0x14011965u, channel->Magic);
  EXPECT_EQ(14u, channel->Version);
  EXPECT_EQ(0x00DDBA11u, channel->FromID);
  EXPECT_EQ(0x8E0A4230u, channel->ToID);
  EXPECT_EQ(1u, channel->Status);
  EXPECT_EQ(1u, channel->ServiceID);
  EXPECT_EQ(5u, channel->Param1);
  EXPECT_EQ(6u, channel->Param2);
  EXPECT_EQ(0u, channel->Reserved1 | channel->Reserved2[0] | channel->Reserved2[1]);
  EXPECT_EQ(0, probes[0].events); // nothing sent
  EXPECT_EQ(1u, Sim_HeapBlocksTotal());
  TAPCOM_CloseChannel(channel);
  EXPECT_EQ(0u, Sim_HeapBlocksTotal());
}

TEST_F(Plugins, ChannelDeliveredAndClosedOnlyByItsOpener) {
  ASSERT_EQ(0, AttachProbe<0>("a.tap", "AAAA"));
  ASSERT_EQ(1, Companion());
  TAPCOM_Channel channel = TAPCOM_OpenChannel(0x8E0A4230, 2, 7, 8);
  ASSERT_NE(nullptr, channel);
  EXPECT_EQ(0u, static_cast<TYPE_TAPCOM *>(channel)->Status);
  EXPECT_EQ("from 00DDBA11 to 8E0A4230 service 2 params 7 8 status 0\n", Requests());
  EXPECT_EQ(0, probes[0].events); // only the addressed plug-in
  TAPCOM_CloseChannel(channel);
  EXPECT_EQ(0u, Sim_HeapBlocksTotal());

  // To everybody: the probe gets the channel as the first parameter.
  channel = TAPCOM_OpenChannel(0, 3, 0, 0);
  EXPECT_EQ(EVT_TAPCOM, probes[0].event);
  EXPECT_EQ(dword(channel), probes[0].param1);
  TAPCOM_CloseChannel(channel);

  // Another plug-in's record is left alone.
  channel = TAPCOM_OpenChannel(0x8E0A4230, 1, 0, 0);
  static_cast<TYPE_TAPCOM *>(channel)->FromID = 0x8E0A4230;
  TAPCOM_CloseChannel(channel);
  EXPECT_TRUE(isValidChannel(channel));
  EXPECT_EQ(1u, Sim_HeapBlocksTotal());
  TAP_MemFree(channel);

  TYPE_TAPCOM fake = {};
  EXPECT_FALSE(isValidChannel(&fake));
  EXPECT_FALSE(isValidChannel(nullptr));
  TAPCOM_CloseChannel(&fake); // not a channel: nothing happens
  TAPCOM_CloseChannel(nullptr);
}

TEST_F(Plugins, ChannelWithoutMemory) {
  ASSERT_EQ(0, Companion());
  Sim_FailAllocNth(1);
  EXPECT_EQ(nullptr, TAPCOM_OpenChannel(0x8E0A4230, 1, 0, 0));
  Sim_FailAllocNth(0);
  EXPECT_EQ("", Requests());
  EXPECT_NE(nullptr, strstr(Sim_TerminalText(), "TAP_MemAlloc_Chk Warning: TAP_MemAlloc("))
      << Sim_TerminalText();
  EXPECT_NE(nullptr, strstr(Sim_TerminalText(), "@ TAPCOM_OpenChannel"));
}

} // namespace
