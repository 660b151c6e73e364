// Repainting after a cursor move: the cheap repaint must leave exactly the
// pixels a full update gives, on every kind of move and every kind of row,
// and must fall back to a full update whenever what it drew last is stale.
#include <string.h>

#include <random>
#include <string>

#include "menu_support.h"

namespace {

using Cursor = MenuTest;

MenuLevel &Level() {
  return Menu[CurrentMenuLevel];
}

// The screen a full update gives for the menu as it stands now; the plane
// is left as it was.
Block FullPaint() {
  const Block before = DrawnBlock(0, 0, 720, 576);
  ++MenuChanges; // what was drawn last no longer counts
  OSDMenuUpdate(true);
  Block full = DrawnBlock(0, 0, 720, 576);
  uint32_t *plane = const_cast<uint32_t *>(Sim_DrawPlane());
  memcpy(plane, before.px.data(), before.px.size() * sizeof(uint32_t));
  return full;
}

// The first differing pixel, for a readable failure.
std::string FirstDifference(const Block &a, const Block &b) {
  for (int y = 0; y < a.h; ++y)
    for (int x = 0; x < a.w; ++x)
      if (a.At(x, y) != b.At(x, y)) return std::to_string(x) + "," + std::to_string(y);
  return "none";
}

TEST_F(Cursor, EveryMoveLeavesTheScreenOfAFullUpdate) {
  // Rows of every kind: numbers of one to four digits, icons, a colour
  // swatch, a disabled item, names and values too long for their columns.
  OSDMenuInitialize(true, true, true, false, "Velumo V1.0", "1/1200");
  for (int i = 0; i < 1200; ++i) {
    std::string name = "Logo " + std::to_string(i) + ".png";
    if (i % 7 == 3) name += std::string(150, 'W');
    const GraphicDescriptor *icon = i % 11 == 5 ? &_Button_red_Gd : nullptr;
    ASSERT_TRUE(OSDMenuItemAdd(name.c_str(), i % 5 == 0 ? "" : "12-02-17, 09:05, 1234 byte", icon,
                               i % 13 == 2 ? &_Button_ok_Gd : nullptr, i % 17 != 9, false,
                               uint32_t(i)));
  }
  Level().Items[40].ColourSwatch = 0x00FF8000;
  OSDMenuButtonAdd(1, 17, nullptr, "Dir. up ");
  OSDMenuButtonAdd(3, 46, nullptr, "exit ");
  OSDMenuUpdate(false);

  std::mt19937 random(20121217);
  const dword keys[] = {RKEY_Up,   RKEY_Down,   RKEY_Left,  RKEY_Right,
                        RKEY_ChUp, RKEY_ChDown, RKEY_VolUp, RKEY_VolDown};
  for (int step = 0; step < 200; ++step) {
    // Mostly single steps, now and then a page or a jump across the list.
    const int pick = int(random() % 12);
    if (pick < 8) {
      ASSERT_TRUE(OSDMenuCursorKey(keys[pick]));
    } else if (pick < 11) {
      ASSERT_TRUE(OSDMenuCursorKey(pick == 8 ? RKEY_Down : RKEY_Up));
    } else {
      OSDMenuSelectItem(int(random() % 1200));
    }
    const std::string title = std::to_string(Level().SelectedIndex + 1) + "/1200";
    OSDMenuModifyTitleRight(title.c_str());
    // Something of the caller's own above the list goes, as with a full update.
    TAP_Osd_FillBox(OSDRgn, 395, 34, 60, 40, 0xFFABCDEF);
    const dword syncs = Sim_SyncCount();
    OSDMenuUpdateCursor(false);
    ASSERT_EQ(syncs + 1, Sim_SyncCount());
    const Block cheap = DrawnBlock(0, 0, 720, 576);
    const Block full = FullPaint();
    ASSERT_EQ(full, cheap) << "step " << step << ", cursor " << Level().SelectedIndex
                           << ", first difference at " << FirstDifference(full, cheap);
    // The full paint counts as drawn from here on; the next move starts
    // from the cheap one's screen, which is the same.
  }
}

// A change the cheap repaint cannot see (rows, buttons, the level, the
// cursor style, another window) makes it paint everything.
TEST_F(Cursor, AnythingButTheCursorChangedPaintsEverything) {
  BuildFileList(30);
  OSDMenuUpdate(false);
  struct Change {
    const char *what;
    void (*apply)();
  };
  const Change changes[] = {
      {"item added", [] { OSDMenuItemAdd("New.png", "x", nullptr, nullptr, true, false, 99); }},
      {"sorted", [] { OSDMenuItemSortNameColumn(false, false); }},
      {"button added", [] { OSDMenuButtonAdd(2, 19, nullptr, "Jump "); }},
      {"buttons cleared", [] { OSDMenuButtonsClear(); }},
      {"cursor style", [] { MenuCursorType = 2; }},
  };
  for (const Change &change : changes) {
    OSDMenuUpdate(false);
    // Scribbles over the legend and the list: only a full paint removes them.
    TAP_Osd_FillBox(OSDRgn, 0, 100, 720, 470, 0xFF00FF00);
    change.apply();
    ASSERT_TRUE(OSDMenuCursorKey(RKEY_Down));
    OSDMenuUpdateCursor(true);
    const Block cheap = DrawnBlock(0, 0, 720, 576);
    EXPECT_EQ(FullPaint(), cheap) << change.what;
    EXPECT_NE(0xFF00FF00u, Drawn(30, 520)) << change.what;
  }
  // Without a change the scribbles outside the moved rows stay: proof that
  // the cheap path is taken at all.
  OSDMenuUpdate(false);
  TAP_Osd_FillBox(OSDRgn, 0, 520, 10, 10, 0xFF00FF00);
  ASSERT_TRUE(OSDMenuCursorKey(RKEY_Down));
  OSDMenuUpdateCursor(true);
  EXPECT_EQ(0xFF00FF00u, Drawn(5, 525));
}

TEST_F(Cursor, KeysThatAreNoCursorMoveAndOtherWindows) {
  BuildFileList(30);
  EXPECT_FALSE(OSDMenuCursorKey(RKEY_Down)); // nothing shown yet
  OSDMenuUpdate(false);
  EXPECT_FALSE(OSDMenuCursorKey(RKEY_Ok));
  EXPECT_FALSE(OSDMenuCursorKey(RKEY_NewF1));
  EXPECT_EQ(0, OSDMenuGetCurrentItem());
  EXPECT_TRUE(OSDMenuCursorKey(RKEY_Down));
  EXPECT_EQ(1, OSDMenuGetCurrentItem());
  EXPECT_TRUE(OSDMenuCursorKey(RKEY_VolDown));
  EXPECT_EQ(9, OSDMenuGetCurrentItem()); // to the bottom row of the page
  // The info box has the keys while it is open.
  OSDMenuInfoBoxShow("Info", "text", 0);
  EXPECT_FALSE(OSDMenuCursorKey(RKEY_Down));
  EXPECT_EQ(9, OSDMenuGetCurrentItem());
  OSDMenuInfoBoxDestroy();
  EXPECT_TRUE(OSDMenuCursorKey(RKEY_Up));
  EXPECT_EQ(8, OSDMenuGetCurrentItem());
}

} // namespace
