// Drawing the menu on the OSD plane of the firmware stand-in: layout and
// colours, cursor bar styles, scroll bar, numbering, legend, memo, and the
// message box, info box and colour picker windows.
#include <string.h>

#include <string>

#include "menu_support.h"

namespace {

constexpr uint32_t kBack = 0xFF101010, kList = 0xFF1E1E1E;

using Draw = MenuTest;

MenuLevel &Level() {
  return Menu[CurrentMenuLevel];
}

int RowY(int r) {
  return 95 + 37 * r;
}

// What a graphic looks like at (x, y) of the plane.
void ExpectGraphicAt(const GraphicDescriptor &gd, int x, int y, uint32_t under, bool sprite) {
  EXPECT_EQ(GraphicOver(gd, under, sprite), DrawnBlock(x, y, gd.width, gd.height))
      << "at " << x << "," << y;
}

TEST_F(Draw, FileListLayout) {
  BuildFileList(25);
  OSDMenuModifyTitleRight("5/25");
  OSDMenuSelectItem(4);
  EXPECT_EQ(1, Sim_NormalMode()); // the firmware has the screen until the first update
  const dword syncs = Sim_SyncCount();
  OSDMenuUpdate(false);
  EXPECT_EQ(syncs + 1, Sim_SyncCount());
  EXPECT_EQ(0, Sim_NormalMode());
  EXPECT_NE(0, OSDRgn);
  EXPECT_EQ(DrawnBlock(0, 0, 720, 576), ShownBlock(0, 0, 720, 576));

  // Background and the rule above the legend.
  for (auto [x, y] : {std::pair{0, 0}, {719, 575}, {30, 300}, {700, 300}, {360, 20}})
    EXPECT_EQ(kBack, Drawn(x, y)) << x << "," << y;
  EXPECT_EQ(0xFF808080u, Drawn(50, 479));
  EXPECT_EQ(0xFF808080u, Drawn(663, 480));
  EXPECT_EQ(kBack, Drawn(49, 479));
  EXPECT_EQ(kBack, Drawn(664, 479));
  EXPECT_EQ(kBack, Drawn(300, 481));

  // List area, rows and separators (row 4 holds the cursor).
  EXPECT_EQ(kList, Drawn(60, 96));
  EXPECT_EQ(kList, Drawn(659, 462));
  EXPECT_EQ(kBack, Drawn(660, 200));
  EXPECT_EQ(kBack, Drawn(59, 200));
  for (int r : {0, 3, 5, 9}) {
    EXPECT_EQ(kBack, Drawn(60, RowY(r) + 35)) << r;
    EXPECT_EQ(kBack, Drawn(659, RowY(r) + 36)) << r;
    EXPECT_EQ(kList, Drawn(650, RowY(r) + 34)) << r;
  }
  const Block tile = GraphicOver(_SelectionBar_Blue_100x34_Gd, 0, false);
  EXPECT_EQ(tile.At(0, 0), Drawn(60, RowY(4)));
  EXPECT_EQ(tile.At(99, 33), Drawn(659, RowY(4) + 33));
  EXPECT_EQ(kList, Drawn(300, RowY(4) + 35)); // no separator under the cursor

  // Texts: numbers at 71, names at 101, values at 395, all at row + 6.
  const FontData &f14 = Calibri_14_FontData;
  EXPECT_EQ(TextOver("01", f14, 0xFFFFFFFF, kList, 29, 23), DrawnBlock(71, RowY(0) + 6, 29, 23));
  EXPECT_EQ(TextOver("Logo 00.png", f14, 0xFFFFFFFF, kList, 200, 23),
            DrawnBlock(101, RowY(0) + 6, 200, 23));
  EXPECT_EQ(TextOver("12-02-04, 09:03, 1003 byte", f14, 0xFFFFFFFF, kList, 250, 23),
            DrawnBlock(395, RowY(3) + 6, 250, 23));
  EXPECT_EQ(TextOver("07", f14, 0xFFFFFFFF, kList, 29, 23), DrawnBlock(71, RowY(6) + 6, 29, 23));

  // Title, left at (53, 37) and right-aligned up to 658.
  EXPECT_EQ(TextOver("Velumo V1.0", Calibri_20_FontData, 0xFFE6E6FA, kBack, 300, 33),
            DrawnBlock(53, 37, 300, 33));
  const int right = LastInk(400, 719, 49, 49 + 26, kBack);
  const int w = int(FM_GetStringWidth("5/25", &Calibri_16_FontData));
  EXPECT_EQ(TextOver("5/25", Calibri_16_FontData, 0xFF666666, kBack, w, 26),
            DrawnBlock(658 - w, 49, w, 26));
  EXPECT_LT(right, 658);
  EXPECT_GT(right, 650);

  // Legend: key symbols as sprites, texts 2 pixels after them.
  ExpectGraphicAt(_Button_exit_Gd, 55, 487, kBack, true);
  const int dirW = int(OSDMenuGetW("Dir. up ", 12));
  EXPECT_EQ(TextOver("Dir. up ", Calibri_12_FontData, 0xFFE6E6FA, kBack, dirW, 19),
            DrawnBlock(55 + _Button_exit_Gd.width + 2, 487, dirW, 19));
  const int okX = 55 + _Button_exit_Gd.width + int(OSDMenuGetW("Dir. up ", 12)) + 8;
  ExpectGraphicAt(_Button_ok_Gd, okX, 487, kBack, true);
  ExpectGraphicAt(_Button_jumpstart_Gd, 55, 511, kBack, true);
  ExpectGraphicAt(_Button_1_Gd, 55, 535, kBack, true);

  // Scroll bar: visible from 11 items, knob for item 4 of 25.
  const int knob = 108 + 4 * 321 / 24;
  const Block bar = GraphicOver(_ScrollBarVisible_Gd, 0, false);
  EXPECT_EQ(bar.Crop(0, 0, 16, knob - 95), DrawnBlock(662, 95, 16, knob - 95));
  ExpectGraphicAt(_ScrollBarKnob_Gd, 663, knob, kBack, false);
}

TEST_F(Draw, NoSyncAndRepaint) {
  BuildFileList(3);
  const dword syncs = Sim_SyncCount();
  OSDMenuUpdate(true);
  EXPECT_EQ(syncs, Sim_SyncCount());
  EXPECT_NE(DrawnBlock(0, 0, 720, 576), ShownBlock(0, 0, 720, 576));
  // Every later update repaints every section, background first.
  TAP_Osd_FillBox(OSDRgn, 0, 0, 720, 576, 0xFFFF0000);
  OSDMenuUpdate(false);
  EXPECT_EQ(kBack, Shown(5, 5));
  EXPECT_EQ(kList, Shown(650, RowY(5) + 10));
  EXPECT_NE(0xFFFF0000u, Shown(60, 487 + 5));
}

TEST_F(Draw, CursorBarStyles) {
  BuildFileList(1);
  OSDMenuUpdate(true);
  const Block light = GraphicOver(_SelectionBar_Blue_100x34_Gd, 0, false);
  const Block dark = GraphicOver(_SelectionBar_Blue_100x34Dark_Gd, 0, false);
  const uint32_t sentinel = 0xFF00FF00;
  auto clear = [&] { TAP_Osd_FillBox(OSDRgn, 0, 0, 720, 60, sentinel); };

  // 600 pixels: six whole tiles.
  clear();
  OSDMenuDrawCursor(10, 10, 600);
  for (int x = 0; x < 600; ++x)
    for (int y = 0; y < 34; ++y) ASSERT_EQ(light.At(x % 100, y), Drawn(10 + x, 10 + y)) << x;
  EXPECT_EQ(sentinel, Drawn(610, 10));
  EXPECT_EQ(sentinel, Drawn(9, 10));
  EXPECT_EQ(sentinel, Drawn(10, 44));

  // 250 pixels: two tiles and a 50-pixel strip.
  clear();
  OSDMenuDrawCursor(20, 5, 250);
  for (int x = 0; x < 250; ++x)
    for (int y = 0; y < 34; ++y) ASSERT_EQ(light.At(x % 100, y), Drawn(20 + x, 5 + y)) << x;
  EXPECT_EQ(sentinel, Drawn(270, 5));

  // Style 1: the dark tile leaves a 2-pixel light edge on either side.
  MenuCursorType = 1;
  clear();
  OSDMenuDrawCursor(10, 10, 250);
  for (int y = 0; y < 34; ++y) {
    for (int x : {0, 1}) EXPECT_EQ(light.At(x, y), Drawn(10 + x, 10 + y));
    for (int x : {248, 249}) EXPECT_EQ(light.At(x % 100, y), Drawn(10 + x, 10 + y));
    for (int x = 2; x < 248; ++x) ASSERT_EQ(dark.At((x - 2) % 100, y), Drawn(10 + x, 10 + y));
  }
  // Style 2: a frame of 2-pixel bars.
  MenuCursorType = 2;
  clear();
  OSDMenuDrawCursor(10, 10, 250);
  for (auto [x, y] : {std::pair{10, 10},
                      {11, 11},
                      {259, 43},
                      {258, 42},
                      {100, 11},
                      {100, 42},
                      {10, 30},
                      {259, 30}})
    EXPECT_EQ(0xFF5ACDECu, Drawn(x, y)) << x << "," << y;
  for (auto [x, y] : {std::pair{12, 12}, {257, 41}, {100, 20}, {260, 10}, {10, 44}})
    EXPECT_EQ(sentinel, Drawn(x, y)) << x << "," << y;

  // One memory-only tile region serves all of it.
  EXPECT_EQ(2, Sim_RegionCount());
  OSDMenuDestroy();
  EXPECT_EQ(0, Sim_RegionCount());
}

TEST_F(Draw, ScrollBarKnob) {
  BuildFileList(10);
  OSDMenuUpdate(true);
  ExpectGraphicAt(_ScrollBarInvisible_Gd, 662, 95, kBack, false);

  OSDMenuItemAdd("eleventh", nullptr, nullptr, nullptr, true, false, 0);
  OSDMenuUpdate(true);
  ExpectGraphicAt(_ScrollBarKnob_Gd, 663, 108, kBack, false);
  EXPECT_EQ(GraphicOver(_ScrollBarVisible_Gd, 0, false).At(1, 150 - 95), Drawn(663, 150));
  OSDMenuSelectItem(10);
  OSDMenuUpdate(true);
  ExpectGraphicAt(_ScrollBarKnob_Gd, 663, 429, kBack, false);
  EXPECT_EQ(GraphicOver(_ScrollBarVisible_Gd, 0, false).At(1, 108 - 95), Drawn(663, 108));
}

TEST_F(Draw, NumberColumnWidensFrom100) {
  OSDMenuInitialize(false, false, true, false, "t", nullptr);
  for (int i = 0; i < 1005; ++i) OSDMenuItemAdd("H", nullptr, nullptr, nullptr, true, false, 0);
  OSDMenuSelectItem(98);
  OSDMenuSelectTopItem(98);
  OSDMenuUpdate(true);
  // Row 0 is item 99, row 1 item 100 (cursor on row 0).
  const int y0 = RowY(1) + 6, y1 = y0 + 22;
  EXPECT_EQ(TextOver("100", Calibri_14_FontData, 0xFFFFFFFF, kList, 39, 23),
            DrawnBlock(71, y0, 39, 23));
  const int hAt100 = FirstInk(111, 200, y0, y1, kList);
  EXPECT_GE(hAt100, 111);
  EXPECT_LE(hAt100, 113);
  OSDMenuSelectItem(97);
  OSDMenuSelectTopItem(97);
  OSDMenuUpdate(true);
  const int hAt99 = FirstInk(101, 200, y0, y1, kList); // row 1 now shows 99
  EXPECT_EQ(hAt100 - 10, hAt99);

  OSDMenuSelectItem(999);
  OSDMenuSelectTopItem(999);
  OSDMenuUpdate(true);
  EXPECT_EQ(hAt100 + 10, FirstInk(121, 200, y0, y1, kList)); // item 1001
  EXPECT_EQ(TextOver("1001", Calibri_14_FontData, 0xFFFFFFFF, kList, 49, 23),
            DrawnBlock(71, y0, 49, 23));
}

TEST_F(Draw, NamesStayInTheirColumnAndDisabledItemsAreGrey) {
  OSDMenuInitialize(false, true, false, false, "t", nullptr);
  const std::string longName(100, 'W');
  OSDMenuItemAdd("cursor", nullptr, nullptr, nullptr, true, false, 0);
  OSDMenuItemAdd(longName.c_str(), "value", nullptr, nullptr, true, false, 0);
  OSDMenuItemAdd("Disabled", "v", nullptr, nullptr, false, false, 0);
  OSDMenuItemAdd("Red", "v", nullptr, nullptr, true, false, 0);
  Level().Items[2].TextColour = 0xFFFF0000;
  Level().Items[3].TextColour = 0xFFFF0000;
  OSDMenuUpdate(true);

  const int y0 = RowY(1) + 6, y1 = y0 + 22;
  EXPECT_EQ(-1, FirstInk(350, 394, y0, y1, kList)); // nothing between name and value
  const int last = LastInk(76, 349, y0, y1, kList);
  EXPECT_GT(last, 330);
  // The longest run of W that leaves room for the dots before 350.
  std::string fitted;
  while (76 + FM_GetStringWidth((fitted + "W...").c_str(), &Calibri_14_FontData) <= 350)
    fitted += "W";
  fitted += "...";
  EXPECT_EQ(TextOver(fitted.c_str(), Calibri_14_FontData, 0xFFFFFFFF, kList, 274, 23),
            DrawnBlock(76, y0, 274, 23));

  auto count = [](int row, uint32_t colour) {
    int n = 0;
    for (int y = RowY(row) + 6; y < RowY(row) + 29; ++y)
      for (int x = 76; x < 645; ++x) n += Drawn(x, y) == colour;
    return n;
  };
  EXPECT_GT(count(2, 0xFF80808C), 20);
  EXPECT_EQ(0, count(2, 0xFFFF0000));
  EXPECT_GT(count(3, 0xFFFF0000), 20);
}

TEST_F(Draw, IconsSwatchesAndValueArrows) {
  OSDMenuInitialize(false, true, false, false, "t", nullptr);
  OSDMenuItemAdd("arrows", "val", nullptr, nullptr, true, true, 0);
  OSDMenuItemAdd("swatch", "val", nullptr, nullptr, true, false, 0);
  OSDMenuItemAdd("icon", "val", &_Button_ok_Gd, &_Button_red_Gd, true, false, 0);
  Level().Items[1].ColourSwatch = 0x00336699; // drawn fully opaque
  OSDMenuUpdate(true);

  // Name icon at the column start, centred on the row; names after the
  // widest icon + 8; values after the value column (swatch: 50) + 8 + 45.
  ExpectGraphicAt(_Button_ok_Gd, 76, RowY(2) + 17 - 10, kList, true);
  EXPECT_EQ(TextOver("icon", Calibri_14_FontData, 0xFFFFFFFF, kList, 40, 23),
            DrawnBlock(76 + 48, RowY(2) + 6, 40, 23));
  EXPECT_EQ(TextOver("val", Calibri_14_FontData, 0xFFFFFFFF, kList, 30, 23),
            DrawnBlock(350 + 58 + 45, RowY(2) + 6, 30, 23));
  ExpectGraphicAt(_Button_red_Gd, 395, RowY(2) + 17 - 9, kList, true);

  EXPECT_EQ(0xFFC0C0C0u, Drawn(395, RowY(1) + 9));
  EXPECT_EQ(0xFFC0C0C0u, Drawn(444, RowY(1) + 26));
  EXPECT_EQ(0xFF336699u, Drawn(396, RowY(1) + 10));
  EXPECT_EQ(0xFF336699u, Drawn(443, RowY(1) + 25));
  EXPECT_EQ(kList, Drawn(445, RowY(1) + 20));

  // Arrows around the value on the cursor row, bright over other cursors.
  Block over = DrawnBlock(370, RowY(0) + 10, 10, 15);
  EXPECT_NE(over, DrawnBlock(370, RowY(1) + 10, 10, 15));
  for (const auto *g : {&_pfeil_l_Gd, &_pfeil_r_Gd}) {
    const int x = g == &_pfeil_l_Gd ? 370 : 640;
    const Block drawn = DrawnBlock(x, RowY(0) + 10, 10, 15);
    const Block arrow = GraphicOver(*g, 0, false);
    for (int i = 0; i < 150; ++i)
      if (arrow.px[size_t(i)] >> 24 == 255) {
        EXPECT_EQ(arrow.px[size_t(i)], drawn.px[size_t(i)]);
      }
  }
  MenuCursorType = 2;
  OSDMenuUpdate(true);
  ExpectGraphicAt(_pfeil_l_bright_Gd, 370, RowY(0) + 10, kList, true);
  ExpectGraphicAt(_pfeil_r_bright_Gd, 640, RowY(0) + 10, kList, true);
  OSDMenuSelectItem(1);
  OSDMenuUpdate(true);
  EXPECT_EQ(-1, FirstInk(370, 380, RowY(0) + 10, RowY(0) + 24, kList));
}

TEST_F(Draw, MemoView) {
  std::string text;
  for (int i = 0; i < 20; ++i) text += "Line " + std::to_string(i) + "\n";
  OSDMemoInitialize(false, "Info", nullptr, text.c_str());
  OSDMenuSelectItem(3);
  OSDMenuUpdate(true);
  EXPECT_EQ(3, OSDMenuItemGetTopIndex()); // the cursor line is the first shown
  for (int i : {0, 14}) {
    const std::string line = "Line " + std::to_string(3 + i);
    EXPECT_EQ(TextOver(line.c_str(), Calibri_14_FontData, 0xFFFFFFFF, kList, 100, 23),
              DrawnBlock(76, 104 + 24 * i, 100, 23));
  }
  ExpectGraphicAt(_ScrollBarKnob_Gd, 663, 108 + 3 * 321 / 19, kBack, false);
  OSDMenuSelectItem(10); // lines 10..19 fill the first ten places
  OSDMenuUpdate(true);
  EXPECT_NE(-1, FirstInk(60, 659, 104 + 24 * 9, 104 + 24 * 9 + 22, kList));
  EXPECT_EQ(-1, FirstInk(60, 659, 104 + 24 * 10, 462, kList));
}

TEST_F(Draw, CallbacksAndLogo) {
  static std::vector<uint32_t> sections;
  sections.clear();
  BuildFileList(2);
  Level().Logo = &_Button_red_Gd;
  Level().LogoX = 600;
  Level().LogoY = 20;
  CallbackProcedure = [](uint32_t section, word rgn) {
    EXPECT_EQ(OSDRgn, rgn);
    sections.push_back(section);
  };
  OSDMenuUpdate(true);
  EXPECT_EQ((std::vector<uint32_t>{0, 3, 2, 1}), sections);
  ExpectGraphicAt(_Button_red_Gd, 600, 20, 0, false);
}

TEST_F(Draw, DestroyHandsTheScreenBack) {
  BuildFileList(2);
  OSDMenuUpdate(false);
  const dword calls = Sim_EnterNormalCalls(), syncs = Sim_SyncCount();
  OSDMenuDestroyNoOSDUpdate();
  EXPECT_EQ(calls, Sim_EnterNormalCalls());
  EXPECT_EQ(syncs, Sim_SyncCount());
  EXPECT_EQ(0, OSDRgn);

  BuildFileList(2);
  OSDMenuUpdate(false);
  OSDMenuInfoBoxShow("busy", "wait", 1000);
  OSDMenuDestroy(); // a box is still open: the screen stays taken
  EXPECT_EQ(calls, Sim_EnterNormalCalls());
  EXPECT_EQ(0, Sim_NormalMode());
  OSDMenuInfoBoxDestroy();
  EXPECT_EQ(calls + 1, Sim_EnterNormalCalls());
  EXPECT_EQ(1, Sim_NormalMode());
}

TEST_F(Draw, TextWrappers) {
  EXPECT_EQ(FM_GetStringWidth("abc", &Calibri_10_FontData), OSDMenuGetW("abc", 10));
  EXPECT_EQ(FM_GetStringWidth("abc", &Calibri_20_FontData), OSDMenuGetW("abc", 20));
  EXPECT_EQ(0u, OSDMenuGetW("abc", 18));
  const word rgn = TAP_Osd_Create(0, 0, 200, 40, 0, 0);
  OSDMenuPutS(rgn, 10, 13, 190, "Text", 0xFFFFFFFF, 0, 16, TRUNC_CUT, ALIGN_LEFT);
  EXPECT_EQ(TextOver("Text", Calibri_16_FontData, 0xFFFFFFFF, 0, 60, 26),
            DrawnBlock(10, 10, 60, 26)); // three pixels higher
  TAP_Osd_FillBox(rgn, 0, 0, 200, 40, 0);
  OSDMenuPutS(rgn, 10, 13, 190, "Text", 0xFFFFFFFF, 0, 18, TRUNC_CUT, ALIGN_LEFT);
  EXPECT_EQ(-1, FirstInk(0, 199, 0, 39, 0));
  TAP_Osd_Delete(rgn);
}

// ---- message box -------------------------------------------------------------------

constexpr int kBoxX = (720 - 380) / 2, kBoxY = (576 - 190) / 2;

TEST_F(Draw, MessageBoxLayoutAndRestore) {
  BuildFileList(12);
  OSDMenuUpdate(false);
  const Block menu = DrawnBlock(0, 0, 720, 576);

  OSDMenuMessageBoxInitialize("Delete?", "Really delete it?");
  ASSERT_TRUE(OSDMenuMessageBoxButtonAdd("Yes"));
  ASSERT_TRUE(OSDMenuMessageBoxButtonAdd("No"));
  OSDMenuMessageBoxShow();
  ASSERT_NE(0, MessageBoxOSDRgn);
  EXPECT_EQ(DrawnBlock(0, 0, 720, 576), ShownBlock(0, 0, 720, 576));

  // Buttons centred at 126 and 252 of the box: the first highlighted.
  const GraphicDescriptor &hi = _MessageBoxSelectedButtonBackground_Gd;
  const Block sel = GraphicOver(hi, 0, false);
  EXPECT_EQ(sel.At(0, 0), Drawn(kBoxX + 76, kBoxY + 120));
  EXPECT_EQ(sel.At(99, 24), Drawn(kBoxX + 175, kBoxY + 144));
  EXPECT_EQ(0xFF242424u, Drawn(kBoxX + 202, kBoxY + 120));
  EXPECT_EQ(0xFF242424u, Drawn(kBoxX + 301, kBoxY + 144));
  EXPECT_NE(0xFF242424u, Drawn(kBoxX + 302, kBoxY + 130));
  EXPECT_NE(0xFF242424u, Drawn(kBoxX + 201, kBoxY + 130));
  // Button text centred within the button, 3 pixels above y 124.
  const int noW = int(OSDMenuGetW("No", 14));
  EXPECT_EQ(TextOver("No", Calibri_14_FontData, 0xFFE6E6FA, 0xFF242424, noW, 23),
            DrawnBlock(kBoxX + 202 + (100 - noW) / 2, kBoxY + 121, noW, 23));

  // One line of text at y 67 (drawn from 64), centred across the box.
  const Block body = GraphicOver(_InfoBox_Gd, 0, false);
  const uint32_t bodyColour = body.At(190, 60);
  const int textW = int(OSDMenuGetW("Really delete it?", 14));
  EXPECT_EQ(TextOver("Really delete it?", Calibri_14_FontData, 0xFFC0C0C0, bodyColour, textW, 23),
            DrawnBlock(kBoxX + (379 - textW) / 2, kBoxY + 64, textW, 23));

  // Right moves the highlight and redraws; closing gives the menu back.
  word ev = EVT_KEY;
  dword key = RKEY_Right, p2 = 0;
  EXPECT_TRUE(OSDMenuEvent(&ev, &key, &p2));
  EXPECT_EQ(0u, key);
  EXPECT_EQ(1, MessageBox.MessageBoxSelected);
  EXPECT_EQ(sel.At(0, 0), Drawn(kBoxX + 202, kBoxY + 120));
  EXPECT_EQ(0xFF242424u, Drawn(kBoxX + 76, kBoxY + 120));
  key = RKEY_Right; // already the last
  OSDMenuEvent(&ev, &key, &p2);
  EXPECT_EQ(1, MessageBox.MessageBoxSelected);
  key = RKEY_Ok;
  const dword calls = Sim_EnterNormalCalls();
  EXPECT_TRUE(OSDMenuEvent(&ev, &key, &p2));
  EXPECT_EQ(0, MessageBoxOSDRgn);
  EXPECT_EQ(1u, OSDMenuMessageBoxLastButton());
  EXPECT_EQ(menu, DrawnBlock(0, 0, 720, 576));
  EXPECT_EQ(menu, ShownBlock(0, 0, 720, 576));
  EXPECT_EQ(calls, Sim_EnterNormalCalls()); // the menu is still open
  EXPECT_EQ(nullptr, InfoBoxSaveArea);
}

TEST_F(Draw, MessageBoxTextLinesAndExit) {
  OSDMenuMessageBoxInitialize("Title", "one\ntwo\rthree");
  OSDMenuMessageBoxButtonAdd("OK");
  OSDMenuMessageBoxShow();
  const uint32_t bodyColour = GraphicOver(_InfoBox_Gd, 0, false).At(190, 60);
  int y = 47 - 3;
  for (const char *line : {"one", "two", "three"}) {
    const int w = int(OSDMenuGetW(line, 14));
    EXPECT_EQ(TextOver(line, Calibri_14_FontData, 0xFFC0C0C0, bodyColour, w, 23),
              DrawnBlock(kBoxX + (379 - w) / 2, kBoxY + y, w, 23))
        << line;
    y += 20;
  }
  // Exit answers -1; with nothing beneath, the box leaves no trace.
  word ev = EVT_KEY;
  dword key = RKEY_Exit;
  const dword calls = Sim_EnterNormalCalls();
  EXPECT_TRUE(OSDMenuEvent(&ev, &key, nullptr));
  EXPECT_EQ(0xFFFFFFFFu, OSDMenuMessageBoxLastButton());
  EXPECT_EQ(calls + 1, Sim_EnterNormalCalls());
  EXPECT_EQ(Block(DrawnBlock(0, 0, 720, 576)).px, std::vector<uint32_t>(720 * 576, 0));
}

TEST_F(Draw, MessageBoxOverACallersRegion) {
  const word mine = TAP_Osd_Create(100, 100, 520, 376, 0, 0);
  for (dword y = 0; y < 376; y += 4) TAP_Osd_FillBox(mine, 0, y, 520, 2, 0xFF405060 + y);
  const Block before = DrawnBlock(0, 0, 720, 576);
  OSDMenuSaveMyRegion(mine);
  OSDMenuMessageBoxInitialize("Mine", "text");
  OSDMenuMessageBoxButtonAdd("A");
  OSDMenuMessageBoxButtonAdd("B");
  OSDMenuMessageBoxButtonAdd("C");
  OSDMenuMessageBoxButtonSelect(2);
  OSDMenuMessageBoxDoNotEnterNormalMode(true);
  OSDMenuMessageBoxShow();
  EXPECT_NE(before, DrawnBlock(0, 0, 720, 576));
  word ev = EVT_KEY;
  dword key = RKEY_Left, p2 = 0;
  OSDMenuEvent(&ev, &key, &p2);
  EXPECT_EQ(1u, OSDMenuMessageBoxLastButton());
  const dword calls = Sim_EnterNormalCalls();
  key = RKEY_Ok;
  OSDMenuEvent(&ev, &key, &p2);
  EXPECT_EQ(calls, Sim_EnterNormalCalls()); // the caller keeps the screen
  EXPECT_EQ(before, DrawnBlock(0, 0, 720, 576));
  EXPECT_EQ(0, MyOSDRgn);
  TAP_Osd_Delete(mine);
}

TEST_F(Draw, MessageBoxWithoutMemoryForTheArea) {
  BuildFileList(3);
  OSDMenuUpdate(false);
  OSDMenuMessageBoxInitialize("T", "x");
  OSDMenuMessageBoxShow(); // no buttons: nothing
  EXPECT_EQ(0, MessageBoxOSDRgn);
  OSDMenuMessageBoxButtonAdd("1");
  for (int i = 2; i <= 6; ++i) OSDMenuMessageBoxButtonAdd("n");
  EXPECT_EQ(5u, MessageBox.MessageBoxButtonCount);
  Sim_FailAllocAbove(1000); // the area beneath cannot be saved
  OSDMenuMessageBoxShow();
  Sim_FailAllocAbove(0);
  ASSERT_NE(0, MessageBoxOSDRgn);
  EXPECT_EQ(nullptr, InfoBoxSaveArea);
  OSDMenuMessageBoxDestroy();
  EXPECT_EQ(0u, Drawn(kBoxX + 10, kBoxY + 10)); // cleared, not left standing
  EXPECT_EQ(kList, Drawn(kBoxX - 1, kBoxY + 100));
}

// ---- info box and colour picker ----------------------------------------------------

TEST_F(Draw, InfoBoxClosesOnExitOrTimeOut) {
  BuildFileList(3);
  OSDMenuUpdate(false);
  const Block menu = DrawnBlock(0, 0, 720, 576);
  OSDMenuInfoBoxShow("Info", "Saved", 100);
  ASSERT_NE(0, InfoBoxOSDRgn);
  const Block box = GraphicOver(_InfoBox_Gd, 0, false);
  EXPECT_EQ(box.At(0, 0), Drawn(kBoxX, kBoxY));
  EXPECT_EQ(box.At(379, 189), Drawn(kBoxX + 379, kBoxY + 189));

  word ev = EVT_KEY;
  dword key = RKEY_Down, p2 = 0;
  EXPECT_TRUE(OSDMenuEvent(&ev, &key, &p2)); // swallowed, the menu does not move
  EXPECT_EQ(0u, key);
  EXPECT_EQ(0, OSDMenuGetCurrentItem());
  ev = EVT_IDLE;
  key = 0;
  TAP_Sleep(100);
  EXPECT_FALSE(OSDMenuEvent(&ev, &key, &p2));
  EXPECT_NE(0, InfoBoxOSDRgn); // the tick has reached the time-out, not passed it
  TAP_Sleep(1);
  EXPECT_FALSE(OSDMenuEvent(nullptr, &key, &p2));
  EXPECT_EQ(0, InfoBoxOSDRgn);
  EXPECT_EQ(menu, DrawnBlock(0, 0, 720, 576));

  OSDMenuInfoBoxShow("Info", "Saved", 0xFFFFFFFF);
  ev = EVT_IDLE;
  TAP_Sleep(5000);
  OSDMenuEvent(&ev, &key, &p2);
  EXPECT_NE(0, InfoBoxOSDRgn); // a time-out beyond the counter never passes
  ev = 0x0FFD;
  key = 'x';
  EXPECT_FALSE(OSDMenuEvent(&ev, &key, &p2));
  EXPECT_EQ(dword('x'), key);
  ev = EVT_KEY;
  key = RKEY_Exit;
  EXPECT_TRUE(OSDMenuEvent(&ev, &key, &p2));
  EXPECT_EQ(0, InfoBoxOSDRgn);
  EXPECT_EQ(menu, DrawnBlock(0, 0, 720, 576));
}

TEST_F(Draw, OneSaveAreaForAllBoxes) {
  BuildFileList(3);
  OSDMenuUpdate(false);
  const Block menu = DrawnBlock(0, 0, 720, 576);
  OSDMenuInfoBoxShow("Info", "one", 100);
  OSDMenuMessageBoxInitialize("Q", "two");
  OSDMenuMessageBoxButtonAdd("OK");
  OSDMenuMessageBoxShow(); // closes the info box first
  EXPECT_EQ(0, InfoBoxOSDRgn);
  OSDMenuColorPickerShow("Colour", 0xFF000000);
  EXPECT_EQ(0, MessageBoxOSDRgn);
  OSDMenuColorPickerDestroy();
  EXPECT_EQ(menu, DrawnBlock(0, 0, 720, 576));
}

TEST_F(Draw, ColourPicker) {
  BuildFileList(3);
  OSDMenuUpdate(false);
  const Block menu = DrawnBlock(0, 0, 720, 576);
  OSDMenuColorPickerShow("Colour", 0x00804020);
  const int px = (720 - 360) / 2, py = (576 - 155) / 2;
  ASSERT_NE(0, ColorPickerOSDRgn);
  // Marks at value + 8, preview box in the colour, made opaque.
  const Block mark = GraphicOver(_ColorPicker_CursorDeselected_Gd, 0, false);
  auto markAt = [&](int x, int y) {
    const Block b = DrawnBlock(px + x, py + y, mark.w, mark.h);
    for (size_t i = 0; i < b.px.size(); ++i)
      if (mark.px[i] >> 24 == 255 && b.px[i] != mark.px[i]) return false;
    return true;
  };
  EXPECT_TRUE(markAt(0x80 + 8, 56));
  EXPECT_TRUE(markAt(0x40 + 8, 78));
  EXPECT_TRUE(markAt(0x20 + 8, 100));
  EXPECT_EQ(0xFF804020u, Drawn(px + 240, py + 125));
  EXPECT_EQ(0xFFC0C0C0u, Drawn(px + 211, py + 116));
  const Block value = GraphicOver(_ColorPicker_ValueBackroundSelected_Gd, 0, false);
  EXPECT_EQ(value.At(0, 0), Drawn(px + 280, py + 44));
  EXPECT_EQ(value.At(59, 16), Drawn(px + 339, py + 60));
  EXPECT_EQ(0xFF282828u, Drawn(px + 281, py + 67)); // green's value box, not selected

  word ev = EVT_KEY;
  dword key = RKEY_Right, p2 = 0;
  EXPECT_TRUE(OSDMenuEvent(&ev, &key, &p2));
  EXPECT_EQ(0x00814020u, OSDMenuColorPickerColor());
  EXPECT_TRUE(markAt(0x81 + 8, 56));
  // The old mark is gone where the new one does not cover it.
  const Block none = GraphicOver(_ColorPicker_CursorNone_Gd, 0, false);
  EXPECT_EQ(none.At(0, 3), Drawn(px + 0x80 + 8, py + 56 + 3));

  key = RKEY_F4; // blue
  OSDMenuEvent(&ev, &key, &p2);
  EXPECT_EQ(2u, CurrentColorSelected);
  EXPECT_EQ(value.At(0, 0), Drawn(px + 280, py + 88));
  EXPECT_EQ(0xFF282828u, Drawn(px + 280, py + 44)); // red is no longer selected
  key = RKEY_Down;                                  // 0x20 - 10
  OSDMenuEvent(&ev, &key, &p2);
  key = RKEY_Down;
  OSDMenuEvent(&ev, &key, &p2);
  key = RKEY_Down;
  OSDMenuEvent(&ev, &key, &p2);
  EXPECT_EQ(0x00814002u, OSDMenuColorPickerColor());
  key = RKEY_Down; // limited to 0
  OSDMenuEvent(&ev, &key, &p2);
  EXPECT_EQ(0x00814000u, OSDMenuColorPickerColor());
  key = RKEY_Left; // ignored at 0
  OSDMenuEvent(&ev, &key, &p2);
  EXPECT_EQ(0x00814000u, OSDMenuColorPickerColor());
  key = RKEY_F2;
  OSDMenuEvent(&ev, &key, &p2);
  for (int i = 0; i < 20; ++i) {
    key = RKEY_Up;
    OSDMenuEvent(&ev, &key, &p2);
  }
  EXPECT_EQ(0x0081FF00u, OSDMenuColorPickerColor());
  EXPECT_EQ(0xFF81FF00u, Drawn(px + 240, py + 125));

  key = RKEY_Exit; // back to the colour it started with
  EXPECT_TRUE(OSDMenuEvent(&ev, &key, &p2));
  EXPECT_EQ(0x00804020u, OSDMenuColorPickerColor());
  EXPECT_EQ(0, ColorPickerOSDRgn);
  EXPECT_EQ(menu, DrawnBlock(0, 0, 720, 576));

  OSDMenuColorPickerShow("Colour", 0x00FFFFFF);
  key = RKEY_Right; // ignored at 255
  OSDMenuEvent(&ev, &key, &p2);
  key = RKEY_NewF1;
  OSDMenuEvent(&ev, &key, &p2);
  key = RKEY_Down;
  OSDMenuEvent(&ev, &key, &p2);
  key = RKEY_Ok;
  OSDMenuEvent(&ev, &key, &p2);
  EXPECT_EQ(0x00F5FFFFu, OSDMenuColorPickerColor());
  EXPECT_EQ(0, ColorPickerOSDRgn);
}

} // namespace
