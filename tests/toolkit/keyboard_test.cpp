// The on-screen keyboard driven event by event: focus movement over the
// whole grid, editing with remote keys and keyboard characters, the length
// limit, saving and cancelling, the character sets, scrolling, the window's
// pixels, the companion's requests and the heap.
#include <string.h>

#include "testdisk.h"
#include "tklib.h"

namespace {

constexpr int kWinX = 138, kWinY = 96;

class Keyboard : public SimTest {
protected:
  void SetUp() override {
    SimTest::SetUp();
    KeyPadMode = 0;
  }
  void TearDown() override {
    OSDMenuKeyboard_Finish();
    EXPECT_EQ(0u, Sim_HeapBlocksTotal());
    EXPECT_EQ(0, Sim_RegionCount());
    SimTest::TearDown();
  }
  void Open(const char *text, dword max = 100) {
    strcpy(text_, text);
    ASSERT_TRUE(OSDMenuKeyboard_Setup("Title", text_, max));
    Idle();
  }
  int Idle() {
    word event = EVT_IDLE;
    dword p1 = 0, p2 = 0;
    return OSDMenuKeyboard_EventHandler(&event, &p1, &p2);
  }
  int Key(dword code) {
    word event = EVT_KEY;
    dword p1 = code, p2 = 0;
    const int closed = OSDMenuKeyboard_EventHandler(&event, &p1, &p2);
    EXPECT_EQ(0u, p1) << "key 0x" << std::hex << code << " not consumed";
    return closed;
  }
  int Char(dword code) {
    word event = EVT_KEYBOARD;
    dword p1 = code, p2 = 0;
    const int closed = OSDMenuKeyboard_EventHandler(&event, &p1, &p2);
    EXPECT_EQ(code, p1); // characters are left as they came
    return closed;
  }
  void Type(const char *text) {
    for (const char *p = text; *p; ++p) Char(byte(*p));
  }
  std::string Work() { return OSDMenuKeyboard_StringVar ? OSDMenuKeyboard_StringVar : "<closed>"; }
  uint32_t Pixel(int x, int y) { return Sim_ShownPlane()[(kWinY + y) * OSD_WIDTH + kWinX + x]; }
  int Count(int x, int y, int w, int h, uint32_t colour) {
    int n = 0;
    for (int j = y; j < y + h; ++j)
      for (int i = x; i < x + w; ++i) n += Pixel(i, j) == colour;
    return n;
  }
  char text_[128];
};

TEST_F(Keyboard, FocusMovesOverTheWholeGrid) {
  // Expected neighbours of every key: left, right, up, down.
  static const int kMoves[29][4] = {
      {7, 1, 24, 8},    {0, 2, 25, 9},    {1, 3, 26, 10},   {2, 4, 26, 11},   {3, 5, 27, 12},
      {4, 6, 27, 13},   {5, 7, 28, 14},   {6, 0, 28, 15},   {15, 9, 0, 16},   {8, 10, 1, 17},
      {9, 11, 2, 18},   {10, 12, 3, 19},  {11, 13, 4, 20},  {12, 14, 5, 21},  {13, 15, 6, 22},
      {14, 8, 7, 23},   {23, 17, 8, 24},  {16, 18, 9, 25},  {17, 19, 10, 26}, {18, 20, 11, 26},
      {19, 21, 12, 27}, {20, 22, 13, 27}, {21, 23, 14, 28}, {22, 16, 15, 28}, {28, 25, 16, 0},
      {24, 26, 17, 1},  {25, 27, 18, 2},  {26, 28, 20, 4},  {27, 24, 22, 6}};
  static const dword kKeys[4][2] = {{RKEY_Left, RKEY_VolDown},
                                    {RKEY_Right, RKEY_VolUp},
                                    {RKEY_Up, RKEY_ChDown},
                                    {RKEY_Down, RKEY_ChUp}};
  Open("");
  EXPECT_EQ(0, KeyPadPosition);
  for (int from = 0; from < 29; ++from)
    for (int d = 0; d < 4; ++d)
      for (dword key : kKeys[d]) {
        KeyPadPosition = from;
        EXPECT_EQ(0, Key(key));
        EXPECT_EQ(kMoves[from][d], KeyPadPosition)
            << "from " << from << " key 0x" << std::hex << key;
      }
}

TEST_F(Keyboard, EditingWithRemoteKeys) {
  Open("abc");
  EXPECT_EQ(3, OSDMenuKeyboard_CursorPosition);
  Key(RKEY_Rewind);
  EXPECT_EQ("ab", Work());
  EXPECT_EQ(2, OSDMenuKeyboard_CursorPosition);
  Key(RKEY_Forward); // at the end: nothing
  EXPECT_EQ("ab", Work());
  KeyPadPosition = 27; // Backspace
  Key(RKEY_Ok);
  EXPECT_EQ("a", Work());
  EXPECT_EQ(1, OSDMenuKeyboard_CursorPosition);
  KeyPadPosition = 3; // "d"
  Key(RKEY_Ok);
  KeyPadPosition = 26; // Space
  Key(RKEY_Ok);
  EXPECT_EQ("ad ", Work());
  Key(RKEY_Prev);
  Key(RKEY_Prev);
  EXPECT_EQ(1, OSDMenuKeyboard_CursorPosition);
  Key(RKEY_Forward);
  EXPECT_EQ("a ", Work());
  KeyPadPosition = 25; // "z", inserted at the cursor
  Key(RKEY_Ok);
  EXPECT_EQ("az ", Work());
  EXPECT_EQ(2, OSDMenuKeyboard_CursorPosition);
  Key(RKEY_Next);
  Key(RKEY_Next); // beyond the end: stays
  EXPECT_EQ(3, OSDMenuKeyboard_CursorPosition);
  Key(RKEY_Prev);
  Key(RKEY_Prev);
  Key(RKEY_Prev);
  Key(RKEY_Prev);
  EXPECT_EQ(0, OSDMenuKeyboard_CursorPosition);
  Key(RKEY_Rewind); // at the start: nothing
  EXPECT_EQ("az ", Work());
  Key(RKEY_Slow);
  EXPECT_EQ(3, OSDMenuKeyboard_CursorPosition);
  Key(RKEY_Mute); // not a keyboard key: consumed, nothing else
  EXPECT_EQ("az ", Work());
  Key(RKEY_F4);
  EXPECT_EQ("", Work());
  EXPECT_EQ(0, OSDMenuKeyboard_CursorPosition);
  EXPECT_STREQ("abc", text_); // the caller's text only changes on saving
  Key(RKEY_Recall);
  EXPECT_EQ("abc", Work());
  EXPECT_EQ(3, OSDMenuKeyboard_CursorPosition);
}

TEST_F(Keyboard, MaximumLength) {
  strcpy(text_, "abcdefgh");
  ASSERT_TRUE(OSDMenuKeyboard_Setup("", text_, 4)); // longer than allowed: cut
  EXPECT_EQ("abcd", Work());
  Idle();
  EXPECT_EQ(4, OSDMenuKeyboard_CursorPosition);
  KeyPadPosition = 0;
  Key(RKEY_Ok);
  KeyPadPosition = 26;
  Key(RKEY_Ok);
  Char('x');
  Key(RKEY_F3);
  EXPECT_EQ("abcd", Work());
  Key(RKEY_Rewind);
  Char('x');
  Char('y');
  EXPECT_EQ("abcx", Work());
  Key(RKEY_F4);
  Key(RKEY_Recall); // the starting text, again at most 4
  EXPECT_EQ("abcd", Work());
  EXPECT_EQ(1, Key(RKEY_Exit));
  EXPECT_STREQ("abcd", text_);
}

TEST_F(Keyboard, YellowPutsStarsAround) {
  Open("abc");
  Key(RKEY_Prev);
  Key(RKEY_F3);
  EXPECT_EQ("*abc*", Work());
  EXPECT_EQ(2, OSDMenuKeyboard_CursorPosition); // not moved
  Key(RKEY_F3);
  EXPECT_EQ("*abc*", Work());
  OSDMenuKeyboard_Finish();

  Open("*abc");
  Key(RKEY_F3);
  EXPECT_EQ("*abc*", Work());
  OSDMenuKeyboard_Finish();
  Open("");
  Key(RKEY_F3);
  EXPECT_EQ("*", Work());
  OSDMenuKeyboard_Finish();
  Open("abc", 4); // room for one star only: the front one
  Key(RKEY_F3);
  EXPECT_EQ("*abc", Work());
}

TEST_F(Keyboard, CharacterSets) {
  static const char *const kSets[7] = {
      "abcdefghijklmnopqrstuvwxyz",
      "ABCDEFGHIJKLMNOPQRSTUVWXYZ",
      "0123456789\xE4\xC4\xF6\xD6\xFC\xDC\xDF,;.:-_=?+",
      "\xC0\xE0\xC1\xE1\xC2\xE2\xC3\xE3\xC5\xE5\xC6\xE6\xC7\xE7\xC8\xE8\xC9\xE9\xCA\xEA\xCB\xEB"
      "\xD0\xF0  ",
      "\xCC\xEC\xCD\xED\xCE\xEE\xCF\xEF\xD1\xF1\xD2\xF2\xD3\xF3\xD4\xF4\xD5\xF5\xD8\xF8\xD9\xF9"
      "\xDA\xFA\xDB\xFB",
      "\xDD\xFD\xDE\xFE\xB5                     ",
      "!\"\xA7$%&/()[]{}<>$%&/*#|^~\xB0'"};
  Open("");
  for (int set = 0; set < 7; ++set) {
    ASSERT_EQ(set, KeyPadMode);
    std::string typed;
    for (int key = 0; key < 26; ++key) {
      KeyPadPosition = key;
      Key(RKEY_Ok);
    }
    EXPECT_EQ(std::string(kSets[set]), Work()) << "set " << set;
    Key(RKEY_F4);
    Key(set % 2 ? RKEY_Info : RKEY_Play);
  }
  EXPECT_EQ(0, KeyPadMode); // after set 6 back to 0
  for (const char *c : {"$", "%", "&", "/"}) {
    int n = 0;
    for (int key = 0; key < 26; ++key) n += strcmp(Keypad[6][key], c) == 0;
    EXPECT_EQ(2, n) << c;
  }
  // The set is kept for the next use of the keyboard.
  Key(RKEY_Info);
  Key(RKEY_Info);
  OSDMenuKeyboard_Finish();
  Open("");
  EXPECT_EQ(2, KeyPadMode);
}

TEST_F(Keyboard, AttachedKeyboard) {
  Open("ab");
  Type("cd");
  Char(160);
  Char(255);
  Char(31); // control characters, 127..159 and beyond 255 are ignored
  Char(128);
  Char(159);
  Char(256);
  Char(294);
  EXPECT_EQ("abcd\xA0\xFF", Work());
  Char(292); // start
  EXPECT_EQ(0, OSDMenuKeyboard_CursorPosition);
  Char(295); // right
  Char(127); // delete right
  EXPECT_EQ("acd\xA0\xFF", Work());
  Char(291); // end
  Char(293); // left
  Char(8);   // delete left
  EXPECT_EQ("acd\xFF", Work());
  EXPECT_EQ(3, OSDMenuKeyboard_CursorPosition);
  Char(371);
  EXPECT_EQ("", Work());
  Type("new");
  EXPECT_EQ(1, Char(13));
  EXPECT_STREQ("new", text_);
  EXPECT_EQ(nullptr, OSDMenuKeyboard_StringVarOrig);

  for (dword save : {369u}) {
    Open("x");
    Type("y");
    EXPECT_EQ(1, Char(save));
    EXPECT_STREQ("xy", text_);
  }
  for (dword cancel : {27u, 368u}) {
    Open("x");
    Type("z");
    EXPECT_EQ(1, Char(cancel));
    EXPECT_STREQ("x", text_);
  }
}

TEST_F(Keyboard, ClosingSavesOrDiscards) {
  Open("abc");
  Type("d");
  EXPECT_EQ(1, Key(RKEY_Exit)); // Exit keeps the edit
  EXPECT_STREQ("abcd", text_);
  EXPECT_EQ(0, Sim_RegionCount());
  Open("abc");
  Type("d");
  KeyPadPosition = 28;
  EXPECT_EQ(1, Key(RKEY_Ok));
  EXPECT_STREQ("abcd", text_);
  Open("abc");
  Type("d");
  EXPECT_EQ(1, Char(27)); // Escape drops it
  EXPECT_STREQ("abc", text_);

  // Closed, the handler touches nothing.
  word event = EVT_KEY;
  dword p1 = RKEY_Ok, p2 = 0;
  EXPECT_EQ(0, OSDMenuKeyboard_EventHandler(&event, &p1, &p2));
  EXPECT_EQ(dword(RKEY_Ok), p1);
}

TEST_F(Keyboard, LongTextScrolls) {
  std::string wide(100, 'W');
  Open(wide.c_str());
  const int start = OSDMenuKeyboard_TextStartPosition;
  ASSERT_GT(start, 0);
  // As few hidden as possible, and the part up to the cursor fits.
  auto width = [&](int from) {
    return FM_GetStringWidth(wide.substr(size_t(from)).c_str(), &Calibri_14_FontData) + 6;
  };
  EXPECT_LT(width(start), 400u);
  EXPECT_GE(width(start - 1), 400u);
  // A "..." in front: label-coloured pixels left of where the text starts.
  const int dots = int(FM_GetStringWidth("...", &Calibri_14_FontData));
  EXPECT_GT(Count(6, 282, dots, 20, 0xFFE8E8E8), 0);
  // Back at the start nothing is hidden.
  Char(292);
  EXPECT_EQ(0, OSDMenuKeyboard_TextStartPosition);
  EXPECT_EQ(0, Count(6, 282, 4, 20, 0xFFE8E8E8)); // the cursor, not text, comes first
}

TEST_F(Keyboard, WindowPixels) {
  Open("abc");
  ASSERT_EQ(1, Sim_RegionCount());
  // Outside the window the screen is untouched.
  EXPECT_EQ(0u, Sim_ShownPlane()[(kWinY - 1) * OSD_WIDTH + kWinX]);
  EXPECT_EQ(0u, Sim_ShownPlane()[(kWinY + 383) * OSD_WIDTH + kWinX]);
  EXPECT_EQ(0u, Sim_ShownPlane()[kWinY * OSD_WIDTH + kWinX + 444]);
  // Title bar, key area, text area and legend boxes.
  EXPECT_EQ(0xFF464646u, Pixel(0, 0));
  EXPECT_EQ(0xFF202020u, Pixel(2, 2));
  EXPECT_EQ(0xFF464646u, Pixel(443, 35));
  EXPECT_EQ(0xFF282828u, Pixel(2, 40));
  EXPECT_EQ(0xFF2D2D2Du, Pixel(4, 280));
  EXPECT_EQ(0xFF2D2D2Du, Pixel(439, 301));
  EXPECT_EQ(0xFF282828u, Pixel(3, 280));
  EXPECT_EQ(0xFF282828u, Pixel(440, 302));
  EXPECT_EQ(0xFF464646u, Pixel(0, 306));
  EXPECT_EQ(0xFF464646u, Pixel(443, 382));
  EXPECT_GT(Count(0, 0, 444, 36, 0xFFE89211), 20); // the title
  // Key 0 has the focus: dark/light edges, two fills, dark label.
  EXPECT_EQ(0xFF464646u, Pixel(22, 56));
  EXPECT_EQ(0xFF808080u, Pixel(71, 105));
  EXPECT_EQ(0xFFFFAF0Eu, Pixel(23, 57));
  EXPECT_EQ(0xFFFFAF0Eu, Pixel(23, 81));
  EXPECT_EQ(0xFFFF901Bu, Pixel(24, 81));
  EXPECT_EQ(0xFFFF901Bu, Pixel(69, 103));
  EXPECT_EQ(0xFFFFAF0Eu, Pixel(70, 103));
  EXPECT_EQ(0xFFFFAF0Eu, Pixel(30, 104));
  EXPECT_EQ(0xFFFFAF0Eu, Pixel(30, 80));
  EXPECT_GT(Count(22, 56, 50, 50, 0xFF080808), 0);
  // Key 1 and the wide keys without focus.
  EXPECT_EQ(0xFF808080u, Pixel(72, 56));
  EXPECT_EQ(0xFF464646u, Pixel(121, 105));
  EXPECT_EQ(0xFF282828u, Pixel(74, 58));
  EXPECT_GT(Count(72, 56, 50, 50, 0xFFE8E8E8), 0);
  EXPECT_EQ(0xFF808080u, Pixel(122, 206)); // Space
  EXPECT_EQ(0xFF464646u, Pixel(221, 255));
  EXPECT_EQ(0xFF808080u, Pixel(322, 206)); // OK
  EXPECT_EQ(0xFF464646u, Pixel(421, 255));
  EXPECT_EQ(0xFF282828u, Pixel(10, 100)); // between the window edge and the keys

  // The focus moves to OK: the colours swap.
  Key(RKEY_Up);
  Key(RKEY_Left);
  ASSERT_EQ(28, KeyPadPosition);
  EXPECT_EQ(0xFF808080u, Pixel(22, 56));
  EXPECT_EQ(0xFF282828u, Pixel(23, 81));
  EXPECT_EQ(0xFF464646u, Pixel(322, 206));
  EXPECT_EQ(0xFFFF901Bu, Pixel(324, 231));
  EXPECT_EQ(0xFFFF901Bu, Pixel(419, 253));
  EXPECT_EQ(0xFFFFAF0Eu, Pixel(420, 253));
  EXPECT_EQ(0xFFFFAF0Eu, Pixel(419, 254));
  EXPECT_GT(Count(322, 206, 100, 50, 0xFF080808), 0);
}

TEST_F(Keyboard, Legend) {
  strcpy(text_, "abc");
  ASSERT_TRUE(OSDMenuKeyboard_Setup("T", text_, 100));
  for (int i = 0; i < 22; ++i)
    OSDMenuKeyboard_LegendButton(1 + i % 4, 31, "A text of more than nineteen");
  EXPECT_EQ(20u, OSDMenuKeyboard_NrButtons);
  EXPECT_STREQ("A text of more than", OSDMenuKeyboard_Buttons[0].Text);
  OSDMenuKeyboard_Finish();

  ASSERT_TRUE(OSDMenuKeyboard_Setup("T", text_, 100));
  EXPECT_EQ(0u, OSDMenuKeyboard_NrButtons); // a new set-up has no legend
  OSDMenuKeyboard_LegendButton(1, 31, "Ok");
  OSDMenuKeyboard_LegendButton(1, 99, "no such icon");
  OSDMenuKeyboard_LegendButton(1, 34, "");
  OSDMenuKeyboard_LegendButton(4, 34, "line 4");
  Idle();
  const uint32_t ok = _Button_ok_Gd.width, play = _Button_play_Gd.width;
  const dword text = FM_GetStringWidth("Ok", &Calibri_12_FontData);
  EXPECT_EQ(10 + ok + text + 6 + play + 6, OSDMenuKeyboard_ButtonsX[0]);
  EXPECT_EQ(10u, OSDMenuKeyboard_ButtonsX[1]);
  EXPECT_GT(Count(int(10 + ok + 2), 312, int(text), 16, 0xFFE6E6FA), 0);
  EXPECT_EQ(0, Count(0, 360, 444, 20, 0xFFE6E6FA)); // nothing on line 3
}

TEST_F(Keyboard, NormalViewingAndTheCompanion) {
  char err[256] = "";
  ASSERT_EQ(0, Sim_LoadPlugin(COMPANION_SO, err, sizeof err)) << err;
  ASSERT_EQ(1, Sim_NormalMode());
  strcpy(text_, "abc");
  ASSERT_TRUE(OSDMenuKeyboard_Setup("T", text_, 100));
  std::string requests;
  EXPECT_FALSE(ReadHostFile(Host("/ProgramFiles/Companion.txt"), requests)); // nothing yet
  Idle();
  EXPECT_EQ(0, Sim_NormalMode());
  ASSERT_TRUE(ReadHostFile(Host("/ProgramFiles/Companion.txt"), requests));
  EXPECT_EQ("from 00DDBA11 to 8E0A4230 service 1 params 0 0 status 0\n", requests);
  Key(RKEY_Exit);
  EXPECT_EQ(1, Sim_NormalMode()); // back, without the information banner
  EXPECT_EQ(0u, Sim_EnterNormalCalls());
  ASSERT_TRUE(ReadHostFile(Host("/ProgramFiles/Companion.txt"), requests));
  EXPECT_EQ("from 00DDBA11 to 8E0A4230 service 1 params 0 0 status 0\n"
            "from 00DDBA11 to 8E0A4230 service 2 params 0 0 status 0\n",
            requests);

  // Opened over a plug-in's own screen, it leaves the firmware there.
  TAP_ExitNormal();
  Open("x");
  Key(RKEY_Exit);
  EXPECT_EQ(0, Sim_NormalMode());
}

TEST_F(Keyboard, HeapAndEarlyEnd) {
  strcpy(text_, "abc");
  for (dword nth : {1, 2}) {
    Sim_FailAllocNth(nth);
    EXPECT_FALSE(OSDMenuKeyboard_Setup("T", text_, 100));
    Sim_FailAllocNth(0);
    EXPECT_EQ(0u, Sim_HeapBlocksTotal());
    EXPECT_EQ(0, Idle()); // no keyboard
    EXPECT_EQ(0, Sim_RegionCount());
  }
  // Ended before the first event: the copies go all the same.
  ASSERT_TRUE(OSDMenuKeyboard_Setup("T", text_, 100));
  EXPECT_EQ(2u, Sim_HeapBlocksTotal());
  OSDMenuKeyboard_Finish();
  EXPECT_EQ(0u, Sim_HeapBlocksTotal());
  EXPECT_EQ(nullptr, OSDMenuKeyboard_StringVarOrig);
  // A second set-up replaces the first without leaving it behind.
  ASSERT_TRUE(OSDMenuKeyboard_Setup("T", text_, 100));
  Idle();
  ASSERT_TRUE(OSDMenuKeyboard_Setup("T", text_, 100));
  EXPECT_EQ(2u, Sim_HeapBlocksTotal());
  EXPECT_EQ(0, Sim_RegionCount());
}

} // namespace
