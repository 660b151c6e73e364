// Menu navigation: selectable-entry searches, steps, pages, direct
// selection, the visible page, and the toolkit's event entry.
#include <string>

#include "menu_support.h"

namespace {

MenuLevel &Level() {
  return Menu[CurrentMenuLevel];
}

class Keys : public MenuTest {
protected:
  // A list of n items, drawn once so that keys reach it.
  static void List(int n, bool wrap, std::initializer_list<int> unselectable = {}) {
    OSDMenuInitialize(false, true, false, wrap, "t", nullptr);
    for (int i = 0; i < n; ++i) {
      bool selectable = true;
      for (int u : unselectable) selectable = selectable && u != i;
      OSDMenuItemAdd(std::to_string(i).c_str(), nullptr, nullptr, nullptr, selectable, false, 0);
    }
    OSDMenuUpdate(true);
  }
  // Delivers a key as the plug-in does; the result and what is left of it.
  static bool Key(dword code, dword *left = nullptr) {
    word event = EVT_KEY;
    dword p1 = code, p2 = 0;
    const bool used = OSDMenuEvent(&event, &p1, &p2);
    if (left) *left = p1;
    return used;
  }
  static int Sel() { return OSDMenuGetCurrentItem(); }
  static int Top() { return OSDMenuItemGetTopIndex(); }
};

TEST_F(Keys, PageDownThroughTwentyFiveItems) {
  List(25, false);
  EXPECT_TRUE(Key(RKEY_ChDown));
  EXPECT_EQ(9, Sel());
  EXPECT_EQ(0, Top());
  EXPECT_TRUE(Key(RKEY_ChDown));
  EXPECT_EQ(19, Sel());
  EXPECT_EQ(10, Top()); // the page follows at the draw
  EXPECT_TRUE(Key(RKEY_VolDown));
  EXPECT_EQ(24, Sel());
  EXPECT_EQ(15, Top());
  EXPECT_TRUE(Key(RKEY_ChDown));
  EXPECT_EQ(24, Sel()); // the last item, no wrap-around

  Level().WrapAround = 1;
  EXPECT_TRUE(Key(RKEY_ChDown));
  EXPECT_EQ(0, Sel());
  EXPECT_EQ(0, Top());
}

TEST_F(Keys, PageUp) {
  List(40, false);
  OSDMenuSelectTopItem(10);
  OSDMenuSelectItem(15);
  EXPECT_EQ(10, OSDMenuScrollPageUp()); // to the top row
  EXPECT_EQ(0, OSDMenuScrollPageUp());  // from the top row, a page up
  OSDMenuSelectTopItem(25);
  OSDMenuSelectItem(25);
  EXPECT_EQ(15, OSDMenuScrollPageUp());
  OSDCalcIndices();
  EXPECT_EQ(15, Top());
  OSDMenuSelectItem(0);
  OSDCalcIndices();
  EXPECT_EQ(0, OSDMenuScrollPageUp()); // at the top without wrap-around
  Level().WrapAround = 1;
  EXPECT_EQ(39, OSDMenuScrollPageUp()); // to the last item
  // Wrap-around to the last item that can be selected.
  List(12, true, {11, 10});
  EXPECT_EQ(9, OSDMenuScrollPageUp());
}

TEST_F(Keys, PageDownRules) {
  List(30, false, {19});
  // From the bottom row the cursor goes to the item after top + 18, skipping
  // items that cannot be selected.
  OSDMenuSelectItem(9);
  EXPECT_EQ(20, OSDMenuScrollPageDown());
  // Elsewhere on the page it goes to the bottom row.
  List(30, false, {9});
  OSDMenuSelectItem(3);
  EXPECT_EQ(10, OSDMenuScrollPageDown()); // 9 cannot be selected
  // A short list: page down reaches the last item.
  List(5, false);
  EXPECT_EQ(4, OSDMenuScrollPageDown());
  List(1, false);
  EXPECT_EQ(0, OSDMenuScrollPageDown());
  // Bottom row with fewer than a page below: target is the second-to-last.
  List(15, false);
  OSDMenuSelectItem(9);
  EXPECT_EQ(14, OSDMenuScrollPageDown());
}

TEST_F(Keys, StepsWrapAroundAndSkip) {
  List(5, false, {1, 4});
  EXPECT_EQ(-1, OSDMenuScrollUp()); // at the first item
  EXPECT_EQ(0, Sel());
  ListDirty = 0;
  EXPECT_EQ(2, OSDMenuScrollDown()); // 1 is skipped
  EXPECT_EQ(1u, ListDirty);
  EXPECT_EQ(3, OSDMenuScrollDown());
  EXPECT_EQ(-1, OSDMenuScrollDown()); // 4 cannot be selected: nothing further
  EXPECT_EQ(3, Sel());

  List(5, false);
  OSDMenuSelectItem(4);
  ListDirty = 0;
  EXPECT_EQ(4, OSDMenuScrollDown()); // the last item reports itself
  EXPECT_EQ(1u, ListDirty);

  List(5, true, {0, 4});
  OSDMenuSelectItem(3);
  EXPECT_EQ(1, OSDMenuScrollDown()); // round past 4 and 0
  EXPECT_EQ(3, OSDMenuScrollUp());   // and back
  EXPECT_EQ(2, OSDMenuScrollUp());
  EXPECT_EQ(1, OSDMenuScrollUp());
  EXPECT_EQ(3, OSDMenuScrollUp());
}

TEST_F(Keys, Searches) {
  List(6, false, {0, 5});
  EXPECT_EQ(1, OSDMenuFindNextSelectableEntry(-1));
  EXPECT_EQ(-1, OSDMenuFindNextSelectableEntry(4)); // 5 cannot be selected
  EXPECT_EQ(5, OSDMenuFindNextSelectableEntry(5));  // at the end: unchanged
  EXPECT_EQ(99, OSDMenuFindNextSelectableEntry(99));
  EXPECT_EQ(4, OSDMenuFindPreviousSelectableEntry(5));
  EXPECT_EQ(-1, OSDMenuFindPreviousSelectableEntry(1));
  EXPECT_EQ(-1, OSDMenuFindPreviousSelectableEntry(-3));
  Level().WrapAround = 1;
  EXPECT_EQ(1, OSDMenuFindNextSelectableEntry(4));
  EXPECT_EQ(1, OSDMenuFindNextSelectableEntry(-7)); // far before the start
  EXPECT_EQ(4, OSDMenuFindPreviousSelectableEntry(1));
  EXPECT_EQ(4, OSDMenuFindPreviousSelectableEntry(6));
  EXPECT_EQ(4, OSDMenuFindPreviousSelectableEntry(60)); // far beyond the end

  List(3, true, {0, 1, 2});
  EXPECT_EQ(-1, OSDMenuFindNextSelectableEntry(0));
  EXPECT_EQ(-1, OSDMenuFindPreviousSelectableEntry(2));
  EXPECT_EQ(-1, OSDMenuScrollDown());
  OSDMenuItemsClear();
  EXPECT_EQ(-1, OSDMenuFindNextSelectableEntry(0));
  EXPECT_EQ(-1, OSDMenuScrollPageDown());
  EXPECT_EQ(-1, OSDMenuScrollPageUp());
}

TEST_F(Keys, SelectAndSelectTop) {
  List(20, false, {7});
  ListDirty = 0;
  EXPECT_TRUE(OSDMenuSelectItem(0)); // already there
  EXPECT_EQ(0u, ListDirty);
  EXPECT_FALSE(OSDMenuSelectItem(7));
  EXPECT_EQ(0, Sel());
  EXPECT_TRUE(OSDMenuSelectItem(500));
  EXPECT_EQ(19, Sel());
  EXPECT_EQ(1u, ListDirty);
  EXPECT_TRUE(OSDMenuSelectItem(-4));
  EXPECT_EQ(0, Sel());

  ListDirty = 0;
  EXPECT_TRUE(OSDMenuSelectTopItem(0));
  EXPECT_EQ(0u, ListDirty);
  EXPECT_TRUE(OSDMenuSelectTopItem(99));
  EXPECT_EQ(19, Top());
  EXPECT_EQ(1u, ListDirty);
  EXPECT_TRUE(OSDMenuSelectTopItem(-1));
  EXPECT_EQ(0, Top());

  OSDMenuItemsClear();
  EXPECT_FALSE(OSDMenuSelectItem(0));
  EXPECT_FALSE(OSDMenuSelectTopItem(0));
}

TEST_F(Keys, VisiblePage) {
  List(30, false);
  Level().SelectedIndex = 25;
  OSDCalcIndices();
  EXPECT_EQ(16, Top()); // the least move that shows the cursor
  Level().SelectedIndex = 20;
  OSDCalcIndices();
  EXPECT_EQ(16, Top());
  Level().SelectedIndex = 5;
  OSDCalcIndices();
  EXPECT_EQ(5, Top());
  Level().MemoMode = 1;
  Level().SelectedIndex = 12;
  OSDCalcIndices();
  EXPECT_EQ(12, Top());
}

TEST_F(Keys, MemoPages) {
  std::string text;
  for (int i = 0; i < 40; ++i) text += "line\n";
  OSDMemoInitialize(false, "t", nullptr, text.c_str());
  OSDMenuUpdate(true);
  EXPECT_TRUE(Key(RKEY_Right));
  EXPECT_EQ(9, Top());
  EXPECT_TRUE(Key(RKEY_Right));
  EXPECT_EQ(18, Top());
  EXPECT_TRUE(Key(RKEY_Left));
  EXPECT_EQ(8, Top());
  EXPECT_TRUE(Key(RKEY_Down));
  EXPECT_EQ(9, Top());
}

TEST_F(Keys, MenuEvents) {
  List(25, false);
  const dword syncs = Sim_SyncCount();
  dword left = 1;
  EXPECT_TRUE(Key(RKEY_Down, &left));
  EXPECT_EQ(0u, left);
  EXPECT_EQ(1, Sel());
  EXPECT_EQ(syncs + 1, Sim_SyncCount()); // drawn and shown at once
  EXPECT_TRUE(Key(RKEY_Up));
  EXPECT_EQ(0, Sel());
  EXPECT_TRUE(Key(RKEY_Up)); // nothing found: still consumed
  EXPECT_EQ(0, Sel());
  EXPECT_TRUE(Key(RKEY_Right));
  EXPECT_EQ(9, Sel());
  EXPECT_TRUE(Key(RKEY_ChUp));
  EXPECT_EQ(0, Sel());
  EXPECT_TRUE(Key(RKEY_VolUp));

  EXPECT_FALSE(Key(RKEY_Ok, &left));
  EXPECT_EQ(dword(RKEY_Ok), left);
  EXPECT_FALSE(Key(RKEY_1, &left));
  EXPECT_EQ(dword(RKEY_1), left);
  word idle = EVT_IDLE;
  dword p1 = RKEY_Down;
  EXPECT_FALSE(OSDMenuEvent(&idle, &p1, nullptr));
  EXPECT_EQ(dword(RKEY_Down), p1);
  EXPECT_FALSE(OSDMenuEvent(nullptr, &p1, nullptr));
  word key = EVT_KEY;
  EXPECT_FALSE(OSDMenuEvent(&key, nullptr, nullptr));

  // With value arrows Left and Right belong to the caller.
  OSDMenuItemAdd("arrows", "v", nullptr, nullptr, true, true, 0);
  EXPECT_FALSE(Key(RKEY_Left, &left));
  EXPECT_EQ(dword(RKEY_Left), left);
  EXPECT_FALSE(Key(RKEY_Right, &left));
  EXPECT_EQ(dword(RKEY_Right), left);
  EXPECT_TRUE(Key(RKEY_ChDown));

  // No menu on the screen: nothing is consumed.
  OSDMenuDestroyNoOSDUpdate();
  EXPECT_FALSE(Key(RKEY_Down, &left));
  EXPECT_EQ(dword(RKEY_Down), left);
}

TEST_F(Keys, WindowsComeFirst) {
  List(25, false);
  OSDMenuMessageBoxInitialize("Q", "?");
  OSDMenuMessageBoxButtonAdd("Yes");
  OSDMenuMessageBoxButtonAdd("No");
  OSDMenuMessageBoxShow();
  // An info box in front takes every key; the message box does not move.
  const word info = TAP_Osd_Create(10, 10, 20, 20, 0, 0);
  InfoBoxOSDRgn = info;
  InfoBoxTimeOut = ~dword(0);
  EXPECT_TRUE(Key(RKEY_Right));
  EXPECT_EQ(0, MessageBox.MessageBoxSelected);
  InfoBoxOSDRgn = 0;
  TAP_Osd_Delete(info);

  // Then the message box, before the menu.
  EXPECT_TRUE(Key(RKEY_Down));
  EXPECT_EQ(0, Sel());
  EXPECT_TRUE(Key(RKEY_Right));
  EXPECT_EQ(1, MessageBox.MessageBoxSelected);
  EXPECT_TRUE(Key(RKEY_Left));
  EXPECT_EQ(0, MessageBox.MessageBoxSelected);
  EXPECT_TRUE(Key(RKEY_Left)); // already the first
  EXPECT_EQ(0, MessageBox.MessageBoxSelected);
  word idle = EVT_IDLE;
  dword p1 = 0;
  EXPECT_FALSE(OSDMenuEvent(&idle, &p1, nullptr));
  EXPECT_NE(0, MessageBoxOSDRgn);
  EXPECT_TRUE(Key(RKEY_Exit));
  EXPECT_EQ(0, MessageBoxOSDRgn);
  EXPECT_EQ(0xFFFFFFFFu, OSDMenuMessageBoxLastButton());
  EXPECT_TRUE(Key(RKEY_Down));
  EXPECT_EQ(1, Sel());

  // The colour picker, too, keeps keys from the menu.
  OSDMenuColorPickerShow("C", 0);
  EXPECT_TRUE(Key(RKEY_Down));
  EXPECT_EQ(1, Sel());
  EXPECT_TRUE(Key(RKEY_Ok));
  EXPECT_EQ(0, ColorPickerOSDRgn);
}

} // namespace
