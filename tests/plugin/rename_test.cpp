// Renaming a logo through the on-screen keyboard, driven by keys through the
// firmware stand-in: the typed name is applied and listed, names that would
// lose or replace a file are refused in both languages, and the plug-in ends
// cleanly with the keyboard open.  The companion plug-in hears the requests.
#include <string.h>
#include <sys/stat.h>

#include "plugin_fixture.h"
#include "tklib.h"

namespace {

class Rename : public PluginTest {
protected:
  void SetUp() override {
    PluginTest::SetUp();
    MakeLogoFolders();
    ASSERT_TRUE(WriteHostFile(Host("/Logos/a.png"), "first"));
    ASSERT_TRUE(WriteHostFile(Host("/Logos/b.png"), "second"));
  }
  void Start(dword language = 1) {
    Sim_SetLanguage(language);
    PluginTest::Start("Path01=/Logos\r\n");
    char err[256] = "";
    companion_ = Sim_LoadPlugin(COMPANION_SO, err, sizeof err);
    ASSERT_GE(companion_, 0) << err;
  }
  void TearDown() override {
    Stop();
    ExpectNothingHeld();
    EXPECT_EQ(0, Sim_RegionCount());
    SimTest::TearDown();
  }
  void Type(const char *text) {
    for (const char *p = text; *p; ++p) Sim_DeliverEvent(EVT_KEYBOARD, byte(*p), 0);
  }
  // Only a file entry is renamed: the cursor goes there first.
  void CursorOn(const char *name) {
    for (int i = 0; i < OSDMenuItemGetNrOfItems() && strcmp(OSDMenuItemGetCurrentName(), name); ++i)
      Key(RKEY_Down);
    ASSERT_STREQ(name, OSDMenuItemGetCurrentName());
  }
  void OpenOn(const char *name) {
    CursorOn(name);
    // The White key opens the keyboard and goes on to the firmware as well.
    EXPECT_EQ(dword(RKEY_White), Key(RKEY_White));
    ASSERT_EQ(MS_Rename, myState);
    Sim_DeliverEvent(EVT_IDLE, 0, 0);
    ASSERT_NE(0, OSDMenuKeyboard_rgn);
  }
  std::string Log() {
    std::string log;
    ReadHostFile(Host("/ProgramFiles/Settings/Velumo/Velumo.log"), log);
    return log;
  }
  std::string File(const char *path) {
    std::string bytes;
    return ReadHostFile(Host(path), bytes) ? bytes : "<none>";
  }
  bool Listed(const char *name) {
    for (int i = 0; i < OSDMenuItemGetNrOfItems(); ++i)
      if (strcmp(OSDMenuItemGetName(i), name) == 0) return true;
    return false;
  }
  std::string Requests() {
    std::string text;
    ReadHostFile(Host("/ProgramFiles/Companion.txt"), text);
    return text;
  }
  int companion_ = -1;
};

TEST_F(Rename, TypedNameIsAppliedAndListed) {
  Start();
  OpenOn("a.png");
  EXPECT_STREQ("Renaming a.png", OSDMenuKeyboard_Title);
  EXPECT_EQ(9u, OSDMenuKeyboard_NrButtons);
  EXPECT_STREQ("Delete filename ", OSDMenuKeyboard_Buttons[7].Text);
  EXPECT_EQ(14u, OSDMenuKeyboard_Buttons[7].IconIndex);
  EXPECT_EQ("from 81AFFE27 to 8E0A4230 service 1 params 0 0 status 0\n", Requests());
  // Keys go to the keyboard, not to the list or the firmware.
  EXPECT_EQ(0u, Key(RKEY_F4));
  Type("logo.png");
  EXPECT_EQ(0u, Key(RKEY_Exit)); // saves
  EXPECT_EQ(MS_Filelist, myState);
  EXPECT_EQ(0, OSDMenuKeyboard_rgn);
  EXPECT_EQ("first", File("/Logos/logo.png"));
  EXPECT_EQ("<none>", File("/Logos/a.png"));
  EXPECT_TRUE(Listed("logo.png"));
  EXPECT_FALSE(Listed("a.png"));
  EXPECT_NE(std::string::npos, Log().find("Renaming <a.png> to <logo.png>\n"));
  EXPECT_NE(std::string::npos, Log().find("MS_Rename\n"));
  EXPECT_EQ("from 81AFFE27 to 8E0A4230 service 1 params 0 0 status 0\n"
            "from 81AFFE27 to 8E0A4230 service 2 params 0 0 status 0\n",
            Requests());
}

TEST_F(Rename, CancelledKeepsTheName) {
  Start();
  OpenOn("b.png");
  Type("xyz");
  Sim_DeliverEvent(EVT_KEYBOARD, 27, 0); // Escape
  EXPECT_EQ(MS_Filelist, myState);
  EXPECT_EQ("second", File("/Logos/b.png"));
  EXPECT_TRUE(Listed("b.png"));
  EXPECT_EQ(std::string::npos, Log().find("Not renaming"));
}

TEST_F(Rename, NamesThatWouldLoseOrReplaceAFileAreRefused) {
  struct Case {
    const char *typed, *english, *german, *log;
  } cases[] = {
      {"", "Invalid name - not renamed", "Ung\xFCltiger Name - nicht umbenannt",
       "= Not renaming <a.png>: <> is no file name\n"},
      {"../a.png", "Invalid name - not renamed", "Ung\xFCltiger Name - nicht umbenannt",
       "= Not renaming <a.png>: <../a.png> is no file name\n"},
      {"..", "Invalid name - not renamed", "Ung\xFCltiger Name - nicht umbenannt",
       "= Not renaming <a.png>: <..> is no file name\n"},
      {"b.png", "b.png already exists - not renamed", "b.png existiert bereits - nicht umbenannt",
       "= Not renaming <a.png>: <b.png> already exists\n"},
  };
  for (dword language : {1, 2}) {
    Start(language);
    for (const Case &c : cases) {
      SCOPED_TRACE(c.typed);
      OpenOn("a.png");
      Key(RKEY_F4);
      Type(c.typed);
      Key(RKEY_Exit);
      EXPECT_EQ(MS_Filelist, myState);
      EXPECT_STREQ(language == 2 ? c.german : c.english, buf);
      EXPECT_NE(std::string::npos, Log().find(c.log));
      EXPECT_EQ("first", File("/Logos/a.png"));
      EXPECT_EQ("second", File("/Logos/b.png"));
      EXPECT_EQ("<none>", File("/a.png"));
      EXPECT_TRUE(Listed("a.png"));
    }
    EXPECT_EQ(std::string::npos, Log().find("Renaming <"));
    Sim_DeliverEvent(EVT_STOP, 0, 0);
    SimTest::TearDown();
    SimTest::SetUp();
    SetUp();
  }
}

TEST_F(Rename, UnchangedNameIsRenamedToItself) {
  Start();
  OpenOn("a.png");
  Key(RKEY_Exit);
  EXPECT_NE(std::string::npos, Log().find("Renaming <a.png> to <a.png>\n"));
  EXPECT_EQ("first", File("/Logos/a.png"));
}

TEST_F(Rename, StopWithTheKeyboardOpen) {
  Start();
  OpenOn("a.png");
  Type("q");
  Sim_DeliverEvent(EVT_STOP, 0, 0);
  EXPECT_FALSE(Sim_PluginRunning(slot_));
  EXPECT_EQ(nullptr, OSDMenuKeyboard_StringVarOrig);
  EXPECT_EQ("first", File("/Logos/a.png"));
  EXPECT_NE(std::string::npos, Requests().find("service 2"));
  // Stopped before the keyboard was ever shown.
  SimTest::TearDown();
  SimTest::SetUp();
  SetUp();
  Start();
  CursorOn("a.png");
  EXPECT_EQ(dword(RKEY_White), Key(RKEY_White));
  Sim_DeliverEvent(EVT_STOP, 0, 0);
  EXPECT_EQ(nullptr, OSDMenuKeyboard_StringVarOrig);
}

TEST_F(Rename, WithoutMemoryOrWithTooLongANameTheListStays) {
  Start(2);
  CursorOn("a.png");
  Sim_FailAllocNth(1);
  EXPECT_EQ(dword(RKEY_White), Key(RKEY_White));
  Sim_FailAllocNth(0);
  EXPECT_EQ(MS_Filelist, myState);
  EXPECT_STREQ("Kein Speicher f\xFCr die Tastatur", buf);
  EXPECT_NE(std::string::npos, Log().find("= Not renaming <a.png>: no memory for the keyboard\n"));
  EXPECT_EQ(0u, Key(RKEY_Down)); // the list still takes keys
  Sim_DeliverEvent(EVT_STOP, 0, 0);

  SimTest::TearDown();
  SimTest::SetUp();
  SetUp();
  const std::string longName = std::string(101, 'n') + ".png";
  ASSERT_TRUE(WriteHostFile(Host("/Logos/" + longName), "long"));
  Start();
  for (int i = 0; i < 4 && OSDMenuItemGetCurrentName() != longName; ++i) Key(RKEY_Down);
  ASSERT_EQ(longName, OSDMenuItemGetCurrentName());
  Key(RKEY_White);
  EXPECT_EQ(MS_Filelist, myState);
  EXPECT_STREQ("Name too long to rename", buf);
}

} // namespace
