// The plug-in's life cycle and key dispatch, driven through the firmware
// stand-in exactly as tapsim drives it.
#include <string.h>
#include <sys/stat.h>

#include "firmware_dat.h"
#include "plugin_fixture.h"
#include "tklib.h"

extern "C" dword _tapTask[];

namespace {

class Lifecycle : public PluginTest {
protected:
  void SetUp() override {
    PluginTest::SetUp();
    Start();
  }
  uint32_t Shown(int x, int y) { return Sim_ShownPlane()[y * OSD_WIDTH + x]; }
};

TEST_F(Lifecycle, StartCoversTheScreenAndOpensTheList) {
  EXPECT_EQ(1, Sim_PluginRunning(slot_));
  EXPECT_EQ(MS_Filelist, myState);
  EXPECT_NE(0, rgn);
  EXPECT_GE(Sim_RegionCount(), 2); // the plug-in's own and the list's
  EXPECT_EQ(0xFF101010u, Shown(0, 0));
  EXPECT_EQ(0xFF101010u, Shown(719, 575));
  EXPECT_EQ(0, lang);
  EXPECT_TRUE(HostExists(Host("/ProgramFiles/Settings/Velumo/Velumo.log")));
}

TEST_F(Lifecycle, ExitKeyEndsWithNormalViewing) {
  EXPECT_EQ(0u, Key(RKEY_Stop));
  EXPECT_EQ(0, Sim_PluginRunning(slot_));
  EXPECT_EQ(MS_Inactive, myState);
  // One from the list closing its window, one from the plug-in itself.
  EXPECT_EQ(2u, Sim_EnterNormalCalls());
  EXPECT_EQ(0, Sim_RegionCount());
  EXPECT_EQ(0u, Shown(0, 0)); // cleared before the region went away
  EXPECT_EQ(0u, Shown(719, 575));
  EXPECT_EQ(0u, Sim_HeapBlocks(slot_));
  // Nothing reaches an ended plug-in.
  const dword events = Sim_PluginEvents(slot_);
  EXPECT_EQ(dword(RKEY_Ok), Key(RKEY_Ok));
  EXPECT_EQ(events, Sim_PluginEvents(slot_));
}

TEST_F(Lifecycle, StopRequestEndsWithoutNormalViewing) {
  Sim_DeliverEvent(EVT_STOP, 0, 0);
  EXPECT_EQ(0, Sim_PluginRunning(slot_));
  // Only the list's window hands the screen back; the plug-in does not.
  EXPECT_EQ(1u, Sim_EnterNormalCalls());
  EXPECT_EQ(0, Sim_RegionCount());
  EXPECT_EQ(0u, Shown(360, 288));
}

TEST_F(Lifecycle, StopRequestEndsTheRenameState) {
  ChangeState(MS_Rename);
  Sim_DeliverEvent(EVT_STOP, 0, 0);
  EXPECT_EQ(0, Sim_PluginRunning(slot_));
  EXPECT_EQ(MS_Inactive, myState);
  EXPECT_EQ(1u, Sim_EnterNormalCalls()); // the list's window only
}

TEST_F(Lifecycle, ExitKeyZeroLeavesOnlyTheStopRequest) {
  exitkey = 0;
  EXPECT_EQ(dword(RKEY_Stop), Key(RKEY_Stop)); // back to the firmware, unchanged
  EXPECT_EQ(1, Sim_PluginRunning(slot_));
  // Not even a key event that carries the table's code 0 of "NoKey".
  Key(0);
  EXPECT_EQ(1, Sim_PluginRunning(slot_));
  EXPECT_EQ(MS_Filelist, myState);
  Sim_DeliverEvent(EVT_STOP, 0, 0);
  EXPECT_EQ(0, Sim_PluginRunning(slot_));
}

TEST_F(Lifecycle, UnhandledKeysGoBackToTheFirmwareUnchanged) {
  exitkey = 40;
  for (dword key : {dword(RKEY_Mute), dword(0x1004A)}) EXPECT_EQ(key, Key(key));
  // Other events in the list are not the plug-in's either.
  EXPECT_EQ(1, Sim_PluginRunning(slot_));
  EXPECT_EQ(MS_Filelist, myState);
  // White opens the rename keyboard on a logo and goes on to the firmware
  // as well.
  ASSERT_EQ(0, mkdir(Host("/Logos").c_str(), 0755));
  ASSERT_TRUE(WriteHostFile(Host("/Logos/a.png"), "x"));
  strcpy(currentDir, "/Logos");
  iSelection = itSelection = 0;
  ShowFilelistMenu(currentDir, LOGO_FILTER);
  EXPECT_EQ(0u, Key(RKEY_Down));
  ASSERT_STREQ("a.png", OSDMenuItemGetCurrentName());
  EXPECT_EQ(dword(RKEY_White), Key(RKEY_White));
  EXPECT_EQ(MS_Rename, myState);
}

TEST_F(Lifecycle, DetailViewTogglesItsOptions) {
  ChangeState(MS_LogoDetail);
  bgcolor = 0xFF123456;
  EXPECT_EQ(0u, Key(RKEY_NewF1));
  EXPECT_EQ(0xFF101010u, bgcolor); // another colour becomes the dark grey first
  EXPECT_EQ(0u, Key(RKEY_NewF1));
  EXPECT_EQ(0u, bgcolor);
  EXPECT_EQ(0u, Key(RKEY_NewF1));
  EXPECT_EQ(0xFF101010u, bgcolor);

  showerror = 0;
  showtrans = 1;
  EXPECT_EQ(0u, Key(RKEY_F2));
  EXPECT_EQ(1, showerror);
  EXPECT_EQ(0u, Key(RKEY_F3));
  EXPECT_EQ(0, showtrans);
  EXPECT_EQ(0u, Key(RKEY_F4));
  EXPECT_EQ(0, dump); // the drawing took the dump request

  EXPECT_EQ(dword(RKEY_White), Key(RKEY_White));
  EXPECT_EQ(MS_LogoDetail, myState);
  EXPECT_EQ(0u, Key(RKEY_Exit));
  EXPECT_EQ(MS_Filelist, myState);
}

TEST_F(Lifecycle, ExitKeyOnAStateKeyEndsInsteadOfActing) {
  exitkey = 22; // RKEY_Ok
  ChangeState(MS_LogoDetail);
  EXPECT_EQ(0u, Key(RKEY_Ok));
  EXPECT_EQ(0, Sim_PluginRunning(slot_));
  EXPECT_EQ(2u, Sim_EnterNormalCalls());
  exitkey = 40;
}

TEST_F(Lifecycle, ClosingTheKeyboardRenamesTheFile) {
  ASSERT_TRUE(WriteHostFile(Host("/ProgramFiles/old.png"), "logo"));
  strcpy(currentDir, "/ProgramFiles");
  strcpy(logofile, "old.png");
  strcpy(Text, "new.png");
  ASSERT_TRUE(OSDMenuKeyboard_Setup("", Text, 100));
  ChangeState(MS_Rename);
  EXPECT_EQ(0u, Sim_DeliverEvent(EVT_KEYBOARD, 13, 0)); // Enter saves
  EXPECT_EQ(MS_Filelist, myState);
  EXPECT_FALSE(HostExists(Host("/ProgramFiles/old.png")));
  std::string bytes;
  ASSERT_TRUE(ReadHostFile(Host("/ProgramFiles/new.png"), bytes));
  EXPECT_EQ("logo", bytes);
}

TEST_F(Lifecycle, GermanWhenTheFirmwareSpeaksGerman) {
  Sim_DeliverEvent(EVT_STOP, 0, 0);
  Sim_SetLanguage(LAN_German);
  char err[256] = "";
  const int again = Sim_AttachPlugin("Velumo2.so", __TAP_Init_, err, sizeof err);
  ASSERT_GE(again, 0) << err;
  EXPECT_EQ(2, lang);
  Sim_DeliverEvent(EVT_STOP, 0, 0);
}

} // namespace

namespace {

// The key translation for the second remote control, hooked in front of the
// plug-in's handler in the firmware's plug-in table.
class SecondRemote : public PluginTest {
protected:
  void Start(uint32_t remoteType) {
    ASSERT_TRUE(WriteHostFile(Host("/ProgramFiles/FirmwareTMS.dat"),
                              FirmwareDat({{1234, 1}, {22010, remoteType}})));
    Sim_SetSystemId(22010);
    RemoteType = 1;
    PluginTest::Start();
  }
  void TearDown() override {
    Stop();
    EXPECT_EQ(0u, Sim_HeapBlocksTotal()); // the model file went back at the end
    RemoteType = 1;
    SimTest::TearDown();
  }
};

TEST_F(SecondRemote, KeysAreExchangedBeforeThePluginSeesThem) {
  Start(2);
  EXPECT_EQ(2, RemoteType);
  EXPECT_NE(dword(&TAP_EventHandler), _tapTask[slot_ * 11 + 5]);
  EXPECT_EQ(dword(&KeyTranslateHook), _tapTask[slot_ * 11 + 5]);
  // Not consumed: the firmware gets the translated code.
  EXPECT_EQ(dword(RKEY_VFormat), Key(RKEY_ChUp));
  EXPECT_EQ(dword(RKEY_Info), Key(RKEY_Info));
  // The remote's "V+" key arrives as the red one: the list sorts by name.
  const int32_t before = sortnameasc;
  EXPECT_EQ(0u, Key(RKEY_VolUp));
  EXPECT_NE(before, sortnameasc);
  // The remote's "V+" key is the red key in the detail view.
  ChangeState(MS_LogoDetail);
  bgcolor = 0xFF101010;
  EXPECT_EQ(0u, Key(RKEY_VolUp));
  EXPECT_EQ(0u, bgcolor);
  // White is not the detail view's (on the list it opens the rename keyboard).
  EXPECT_EQ(dword(RKEY_White), Key(RKEY_Ab));
  EXPECT_EQ(0u, Key(RKEY_Stop)); // the exit key is the same on both
  EXPECT_EQ(0, Sim_PluginRunning(slot_));
}

TEST_F(SecondRemote, TheFirstRemoteNeedsNoTranslation) {
  Start(1);
  EXPECT_EQ(1, RemoteType);
  EXPECT_EQ(dword(RKEY_Ab), Key(RKEY_Ab));
}

TEST_F(SecondRemote, DisablingPutsTheHandlerBack) {
  Start(2);
  EXPECT_FALSE(KeyTranslate(true, TAP_EventHandler)); // already hooked
  EXPECT_TRUE(KeyTranslate(false, nullptr));
  EXPECT_EQ(dword(&TAP_EventHandler), _tapTask[slot_ * 11 + 5]);
  EXPECT_FALSE(KeyTranslate(false, nullptr));
  EXPECT_EQ(dword(RKEY_Ab), Key(RKEY_Ab));
}

} // namespace
