// The menu model: levels, items and their storage, legend buttons, sorting,
// the memo view and the getters.
#include <string.h>

#include <string>

#include "menu_support.h"

namespace {

using Model = MenuTest;

MenuLevel &Level() {
  return Menu[CurrentMenuLevel];
}

std::vector<std::string> Names() {
  std::vector<std::string> v;
  for (int i = 0; i < OSDMenuItemGetNrOfItems(); ++i) v.push_back(OSDMenuItemGetName(i));
  return v;
}

void AddNames(std::initializer_list<const char *> names) {
  for (const char *n : names) ASSERT_TRUE(OSDMenuItemAdd(n, n, nullptr, nullptr, true, false, 0));
}

TEST_F(Model, InitializeSetsUpAnEmptyLevel) {
  const std::string longTitle(300, 'T');
  MenuCursorType = 2;
  CallbackProcedure = [](uint32_t, word) {};
  ButtonColor = 0xFF123456;
  ASSERT_TRUE(OSDMenuInitialize(true, false, true, false, longTitle.c_str(), "right"));
  const MenuLevel &l = Level();
  EXPECT_EQ(1u, l.SpareFlag);
  EXPECT_EQ(0u, l.ValueColumn);
  EXPECT_EQ(1u, l.Numbered);
  EXPECT_EQ(0u, l.WrapAround);
  EXPECT_EQ(350u, l.ValueColumnX);
  EXPECT_EQ(30, l.ItemCapacity);
  EXPECT_EQ(0, l.ItemCount);
  EXPECT_EQ(0, l.SelectedIndex);
  EXPECT_EQ(0u, l.ButtonCount);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(55u, l.ButtonLineX[i]);
  EXPECT_EQ(255u, strlen(l.TitleLeft));
  EXPECT_STREQ("right", l.TitleRight);
  EXPECT_EQ(&Calibri_20_FontData, l.TitleFont);
  EXPECT_EQ(&Calibri_16_FontData, l.TitleRightFont);
  EXPECT_EQ(&Calibri_14_FontData, l.NameFont);
  EXPECT_EQ(&Calibri_12_FontData, l.ButtonFont);
  EXPECT_EQ(&Calibri_14_FontData, l.MemoFont);
  EXPECT_EQ(nullptr, l.Logo);
  EXPECT_EQ(0u, l.MemoMode);
  EXPECT_EQ(0u, MenuCursorType);
  EXPECT_EQ(nullptr, CallbackProcedure);
  EXPECT_EQ(0xFFE6E6FAu, ButtonColor);
  // Nothing is marked for drawing yet: the first update paints everything.
  EXPECT_EQ(0u, TitleDirty | ListDirty | ButtonsDirty | LogoDirty | OSDDirty);
  EXPECT_EQ(1u, Sim_HeapBlocksTotal());

  ASSERT_TRUE(OSDMenuInitialize(false, false, false, false, nullptr, nullptr));
  EXPECT_STREQ("", Level().TitleLeft);
  EXPECT_EQ(1u, Sim_HeapBlocksTotal()); // the old storage was given back
}

TEST_F(Model, InitializeDeletesTheMenuRegion) {
  BuildFileList(3);
  OSDMenuSaveMyRegion(7);
  OSDMenuUpdate(true);
  ASSERT_NE(0, OSDRgn);
  EXPECT_EQ(2, Sim_RegionCount()); // the menu and its cursor tile
  OSDMenuInitialize(false, false, false, false, "x", nullptr);
  EXPECT_EQ(0, OSDRgn);
  EXPECT_EQ(0, MyOSDRgn);
  EXPECT_EQ(1, Sim_RegionCount());
}

TEST_F(Model, InitializeWithoutMemoryLeavesAUsableLevel) {
  Sim_FailAllocNth(1);
  EXPECT_FALSE(OSDMenuInitialize(true, true, true, true, "Velumo V1.0", nullptr));
  EXPECT_EQ(nullptr, Level().Items);
  EXPECT_EQ(0, Level().ItemCapacity);
  EXPECT_STREQ("Velumo V1.0", Level().TitleLeft);
  EXPECT_EQ(&Calibri_14_FontData, Level().NameFont);
  EXPECT_EQ(nullptr, OSDMenuItemGetCurrentName());
  // The first item brings the storage.
  EXPECT_TRUE(OSDMenuItemAdd("first", nullptr, nullptr, nullptr, true, false, 1));
  EXPECT_EQ(30, Level().ItemCapacity);
  EXPECT_STREQ("first", OSDMenuItemGetCurrentName());
}

TEST_F(Model, ItemsAndTheirStorage) {
  OSDMenuInitialize(false, true, false, false, nullptr, nullptr);
  ListDirty = 0;
  EXPECT_FALSE(OSDMenuItemAdd("", "v", nullptr, nullptr, true, false, 1));
  EXPECT_FALSE(OSDMenuItemAdd(nullptr, "v", nullptr, nullptr, true, false, 1));
  EXPECT_EQ(0, OSDMenuItemGetNrOfItems());
  EXPECT_EQ(0u, ListDirty);

  const std::string longName(200, 'n');
  ASSERT_TRUE(OSDMenuItemAdd(longName.c_str(), longName.c_str(), &_Button_ok_Gd, &_Button_red_Gd,
                             false, false, 0xFFFFFFFF));
  EXPECT_EQ(1u, ListDirty);
  const MenuItem &item = Level().Items[0];
  EXPECT_EQ(127u, strlen(item.Name));
  EXPECT_EQ(127u, strlen(item.Value));
  EXPECT_EQ(&_Button_ok_Gd, item.NameIcon);
  EXPECT_EQ(&_Button_red_Gd, item.ValueIcon);
  EXPECT_EQ(0u, item.Selectable);
  EXPECT_EQ(0xFFFFFFFFu, item.TextColour);
  EXPECT_EQ(0u, item.ColourSwatch);
  EXPECT_EQ(0u, Level().ArrowItems);
  ASSERT_TRUE(OSDMenuItemAdd("b", nullptr, nullptr, nullptr, true, true, 7));
  EXPECT_STREQ("", OSDMenuItemGetValue(1));
  EXPECT_EQ(1u, Level().ArrowItems);
  EXPECT_EQ(7u, OSDMenuItemGetID(1));

  // Getters outside the list.
  EXPECT_EQ(nullptr, OSDMenuItemGetName(2));
  EXPECT_EQ(nullptr, OSDMenuItemGetName(-1));
  EXPECT_EQ(nullptr, OSDMenuItemGetValue(2));
  EXPECT_EQ(0u, OSDMenuItemGetID(-1));

  // Past 30 items the storage grows by 30 and keeps what it held.
  for (int i = 2; i < 30; ++i) {
    char n[8];
    snprintf(n, sizeof n, "%d", i);
    ASSERT_TRUE(OSDMenuItemAdd(n, "", nullptr, nullptr, true, false, uint32_t(i)));
  }
  EXPECT_EQ(30, Level().ItemCapacity);
  const MenuItem *before = Level().Items;
  std::vector<MenuItem> copy(before, before + 30);
  ASSERT_TRUE(OSDMenuItemAdd("30", "", nullptr, nullptr, true, false, 30));
  EXPECT_EQ(60, Level().ItemCapacity);
  EXPECT_EQ(31, OSDMenuItemGetNrOfItems());
  EXPECT_EQ(0, memcmp(copy.data(), Level().Items, 30 * sizeof(MenuItem)));
  EXPECT_EQ(1u, Sim_HeapBlocksTotal());

  // Clearing keeps storage and cursor.
  Level().SelectedIndex = 12;
  Level().TopIndex = 5;
  OSDMenuItemsClear();
  EXPECT_EQ(0, OSDMenuItemGetNrOfItems());
  EXPECT_EQ(60, Level().ItemCapacity);
  EXPECT_EQ(12, OSDMenuGetCurrentItem());
  EXPECT_EQ(5, OSDMenuItemGetTopIndex());
}

TEST_F(Model, GrowingWithoutMemoryKeepsTheItems) {
  OSDMenuInitialize(false, false, false, false, nullptr, nullptr);
  for (int i = 0; i < 30; ++i)
    ASSERT_TRUE(OSDMenuItemAdd("x", nullptr, nullptr, nullptr, true, false, 1));
  Sim_FailAllocNth(1);
  EXPECT_FALSE(OSDMenuItemAdd("31st", nullptr, nullptr, nullptr, true, false, 1));
  EXPECT_EQ(30, OSDMenuItemGetNrOfItems());
  EXPECT_EQ(30, Level().ItemCapacity);
  EXPECT_STREQ("x", OSDMenuItemGetName(29));
  EXPECT_TRUE(OSDMenuItemAdd("31st", nullptr, nullptr, nullptr, true, false, 1));
  EXPECT_STREQ("31st", OSDMenuItemGetName(30));
}

TEST_F(Model, LegendButtons) {
  OSDMenuInitialize(false, false, false, false, nullptr, nullptr);
  ButtonsDirty = 0;
  ButtonColor = 0xFF00FF00;
  EXPECT_TRUE(OSDMenuButtonAdd(1, 39, nullptr, "name ! "));
  EXPECT_TRUE(OSDMenuButtonAdd(1, 31, nullptr, "view "));
  EXPECT_TRUE(OSDMenuButtonAdd(3, 2, nullptr, ""));
  EXPECT_TRUE(OSDMenuButtonAdd(2, 57, &_InfoBox_Gd, "own"));
  EXPECT_EQ(1u, ButtonsDirty);
  const MenuLevel &l = Level();
  ASSERT_EQ(4u, l.ButtonCount);
  EXPECT_EQ(55u, l.Buttons[0].X);
  EXPECT_EQ(487u, l.Buttons[0].Y);
  EXPECT_EQ(&_Button_red_Gd, l.Buttons[0].Icon);
  EXPECT_EQ(0xFF00FF00u, l.Buttons[0].Colour);
  const dword nameW = FM_GetStringWidth("name ! ", &Calibri_12_FontData);
  EXPECT_EQ(55u + 18 + nameW + 8, l.Buttons[1].X);
  EXPECT_EQ(&_Button_ok_Gd, l.Buttons[1].Icon);
  EXPECT_EQ(55u + 18 + nameW + 8 + 40 + FM_GetStringWidth("view ", &Calibri_12_FontData) + 8,
            l.ButtonLineX[1]);
  EXPECT_EQ(535u, l.Buttons[2].Y);
  EXPECT_EQ(55u + 18 + 8, l.ButtonLineX[3]); // an empty text: key symbol only
  EXPECT_EQ(511u, l.Buttons[3].Y);
  EXPECT_EQ(&_InfoBox_Gd, l.Buttons[3].Icon);

  // Refused: lines outside 1..3, icons that name nothing, no text.
  EXPECT_FALSE(OSDMenuButtonAdd(0, 39, nullptr, "x"));
  EXPECT_FALSE(OSDMenuButtonAdd(4, 39, nullptr, "x"));
  EXPECT_FALSE(OSDMenuButtonAdd(1, 0, nullptr, "x"));
  EXPECT_FALSE(OSDMenuButtonAdd(1, 58, nullptr, "x"));
  EXPECT_FALSE(OSDMenuButtonAdd(1, 57, nullptr, "x"));
  EXPECT_FALSE(OSDMenuButtonAdd(1, 39, nullptr, nullptr));
  EXPECT_EQ(4u, l.ButtonCount);

  // The level holds 20; the 21st is refused and nothing beyond is touched.
  while (l.ButtonCount < 20) ASSERT_TRUE(OSDMenuButtonAdd(2, 14, nullptr, "b"));
  const uint32_t lineX = l.ButtonLineX[2];
  EXPECT_FALSE(OSDMenuButtonAdd(2, 14, nullptr, "21st"));
  EXPECT_EQ(20u, l.ButtonCount);
  EXPECT_EQ(lineX, l.ButtonLineX[2]);
  EXPECT_STREQ("", l.TitleLeft);

  OSDMenuButtonsClear();
  EXPECT_EQ(0u, l.ButtonCount);
  EXPECT_EQ(55u, l.ButtonLineX[1]);
  EXPECT_EQ(55u, l.ButtonLineX[2]);
  EXPECT_EQ(0xFFE6E6FAu, ButtonColor);
}

TEST_F(Model, IconTable) {
  EXPECT_EQ(nullptr, OSDMenuGetIconPointer(0, &_InfoBox_Gd));
  EXPECT_EQ(&_Button_0_Gd, OSDMenuGetIconPointer(1, nullptr));
  EXPECT_EQ(&_Button_9_Gd, OSDMenuGetIconPointer(10, nullptr));
  EXPECT_EQ(&_Button_ar_Gd, OSDMenuGetIconPointer(11, nullptr));
  EXPECT_EQ(&_Button_blue_Gd, OSDMenuGetIconPointer(14, nullptr));
  EXPECT_EQ(&_Button_exit_Gd, OSDMenuGetIconPointer(17, nullptr));
  EXPECT_EQ(&_Button_green_Gd, OSDMenuGetIconPointer(21, nullptr));
  EXPECT_EQ(&_Button_ok_Gd, OSDMenuGetIconPointer(31, nullptr));
  EXPECT_EQ(&_Button_red_Gd, OSDMenuGetIconPointer(39, nullptr));
  EXPECT_EQ(&_Button_stop_Gd, OSDMenuGetIconPointer(46, nullptr));
  EXPECT_EQ(&_Button_white_Gd, OSDMenuGetIconPointer(54, nullptr));
  EXPECT_EQ(&_Button_yellow_Gd, OSDMenuGetIconPointer(55, nullptr));
  EXPECT_EQ(&_Button_nouse_Gd, OSDMenuGetIconPointer(56, nullptr));
  EXPECT_EQ(&_InfoBox_Gd, OSDMenuGetIconPointer(57, &_InfoBox_Gd));
  EXPECT_EQ(nullptr, OSDMenuGetIconPointer(58, &_InfoBox_Gd));
  EXPECT_EQ(nullptr, OSDMenuGetIconPointer(-1, &_InfoBox_Gd));
  // Every key symbol is a distinct, small, drawable record.
  for (int i = 1; i <= 56; ++i) {
    const GraphicDescriptor *g = OSDMenuGetIconPointer(i, nullptr);
    ASSERT_NE(nullptr, g) << i;
    for (int j = 1; j < i; ++j) EXPECT_NE(g, OSDMenuGetIconPointer(j, nullptr)) << i << " " << j;
    EXPECT_LE(g->height, 20) << i;
    EXPECT_LE(g->width, 60) << i;
    const word rgn = TAP_Osd_Create(0, 0, 64, 24, 0, OSD_Flag_MemRgn);
    EXPECT_EQ(0, TAP_Osd_PutGd(rgn, 0, 0, g, 1)) << i;
    TAP_Osd_Delete(rgn);
  }
}

TEST_F(Model, GraphicSizes) {
  struct {
    const GraphicDescriptor &gd;
    int w, h;
  } const sizes[] = {
      {_Button_red_Gd, 18, 18},
      {_Button_ok_Gd, 40, 20},
      {_SelectionBar_Blue_100x34_Gd, 100, 34},
      {_SelectionBar_Blue_100x34Dark_Gd, 100, 34},
      {_ScrollBarVisible_Gd, 16, 368},
      {_ScrollBarInvisible_Gd, 16, 368},
      {_ScrollBarKnob_Gd, 14, 20},
      {_pfeil_l_Gd, 10, 15},
      {_pfeil_r_Gd, 10, 15},
      {_pfeil_l_bright_Gd, 10, 15},
      {_pfeil_r_bright_Gd, 10, 15},
      {_InfoBox_Gd, 380, 190},
      {_MessageBoxSelectedButtonBackground_Gd, 100, 25},
      {_ColorPicker_Gd, 360, 155},
      {_ColorPicker_ValueBackroundSelected_Gd, 60, 17},
      {_TextCursor14_Gd, 6, 16},
  };
  for (const auto &s : sizes) {
    EXPECT_EQ(s.w, s.gd.width);
    EXPECT_EQ(s.h, s.gd.height);
    EXPECT_EQ(uint32_t(s.w * s.h * 4), s.gd.size);
    EXPECT_EQ(GD_COMPRESS_DEFLATE, s.gd.compressed);
    const word rgn = TAP_Osd_Create(0, 0, dword(s.w), dword(s.h), 0, OSD_Flag_MemRgn);
    EXPECT_EQ(0, TAP_Osd_PutGd(rgn, 0, 0, &s.gd, 0));
    TAP_Osd_Delete(rgn);
  }
  // Tiles and bars are opaque: they are copied, not blended.
  for (const GraphicDescriptor *g :
       {&_SelectionBar_Blue_100x34_Gd, &_ScrollBarVisible_Gd, &_ScrollBarKnob_Gd, &_InfoBox_Gd}) {
    const Block b = GraphicOver(*g, 0, false);
    for (uint32_t p : b.px) ASSERT_EQ(0xFFu, p >> 24);
  }
}

TEST_F(Model, SortByName) {
  OSDMenuInitialize(false, true, false, false, nullptr, nullptr);
  AddNames({"pear", "Apple", "fig"});
  Level().SelectedIndex = 2;
  Level().TopIndex = 1;
  ListDirty = 0;
  OSDMenuItemSortNameColumn(true, false);
  EXPECT_EQ((std::vector<std::string>{"Apple", "fig", "pear"}), Names());
  EXPECT_EQ(1u, ListDirty);
  EXPECT_EQ(2, OSDMenuGetCurrentItem()); // the cursor stays on its row
  EXPECT_EQ(1, OSDMenuItemGetTopIndex());
  EXPECT_STREQ("pear", OSDMenuItemGetCurrentName());
  OSDMenuItemSortNameColumn(true, true);
  EXPECT_EQ((std::vector<std::string>{"Apple", "fig", "pear"}), Names());
  OSDMenuItemSortNameColumn(false, false);
  EXPECT_EQ((std::vector<std::string>{"pear", "fig", "Apple"}), Names());

  OSDMenuItemsClear();
  AddNames({"apple", "Pear"});
  OSDMenuItemSortNameColumn(true, true); // upper case first
  EXPECT_EQ((std::vector<std::string>{"Pear", "apple"}), Names());
  OSDMenuItemSortNameColumn(true, false);
  EXPECT_EQ((std::vector<std::string>{"apple", "Pear"}), Names());

  // Leading control bytes and bytes from 0x80 on do not count.
  OSDMenuItemsClear();
  AddNames({"\x01zeta", "beta",
            "\xE4\x85"
            "alpha",
            "\x05gamma"});
  OSDMenuItemSortNameColumn(true, false);
  EXPECT_EQ((std::vector<std::string>{"\xE4\x85"
                                      "alpha",
                                      "beta", "\x05gamma", "\x01zeta"}),
            Names());
  // The value column by the same rule.
  OSDMenuItemSortValueColumn(false, false);
  EXPECT_EQ((std::vector<std::string>{"\x01zeta", "\x05gamma", "beta",
                                      "\xE4\x85"
                                      "alpha"}),
            Names());

  // Latin-1 letters sort with their base letter, also as the first letter;
  // a leading format byte still does not count.
  OSDMenuItemsClear();
  AddNames({"Zebra", "\xC4rzte TV", "Oma", "Arte", "\xD6ko", "Bayern", "M\xFCller", "Mz",
            "\x86\xE9t\xE9", "Ende"});
  OSDMenuItemSortNameColumn(true, false);
  EXPECT_EQ((std::vector<std::string>{"Arte", "\xC4rzte TV", "Bayern", "Ende", "\x86\xE9t\xE9",
                                      "M\xFCller", "Mz", "\xD6ko", "Oma", "Zebra"}),
            Names());

  // One item or none: nothing to do.
  OSDMenuItemsClear();
  AddNames({"solo"});
  OSDMenuItemSortNameColumn(true, false);
  EXPECT_EQ((std::vector<std::string>{"solo"}), Names());
}

TEST_F(Model, SortByIDExchangesWholeRecords) {
  OSDMenuInitialize(false, true, false, false, nullptr, nullptr);
  OSDMenuItemAdd("a", "va", nullptr, nullptr, true, false, 1);
  OSDMenuItemAdd("b", "vb", nullptr, nullptr, false, true, 1);
  OSDMenuItemAdd("c", "vc", &_Button_ok_Gd, nullptr, true, false, 0);
  // Item 0 is compared with 1 (equal) and 2 (swapped), then 1 with 2: equal
  // keys end up in an order a stable sort would not give.
  OSDMenuItemSortID(true);
  EXPECT_EQ((std::vector<std::string>{"c", "b", "a"}), Names());
  EXPECT_STREQ("vc", OSDMenuItemGetValue(0));
  EXPECT_EQ(&_Button_ok_Gd, Level().Items[0].NameIcon);
  EXPECT_EQ(0u, Level().Items[1].Selectable);
  EXPECT_EQ(1u, Level().Items[1].ValueArrows);

  OSDMenuItemsClear();
  OSDMenuItemAdd("mid", nullptr, nullptr, nullptr, true, false, 0x7FFFFFFF);
  OSDMenuItemAdd("max", nullptr, nullptr, nullptr, true, false, 0xFFFFFFFF);
  OSDMenuItemAdd("zero", nullptr, nullptr, nullptr, true, false, 0);
  OSDMenuItemSortID(false);
  EXPECT_EQ((std::vector<std::string>{"max", "mid", "zero"}), Names());
  OSDMenuItemSortID(true);
  EXPECT_EQ((std::vector<std::string>{"zero", "mid", "max"}), Names());
}

TEST_F(Model, LevelsPushAndPop) {
  OSDMenuInitialize(false, false, false, false, "level 0", nullptr);
  OSDMenuItemAdd("keep", nullptr, nullptr, nullptr, true, false, 0);
  int pushed = 0;
  for (int i = 0; i < 5; ++i) pushed += OSDMenuPush();
  EXPECT_EQ(4, pushed);
  EXPECT_EQ(4u, CurrentMenuLevel);
  // A bare pushed level: no storage, no fonts, until it is set up.
  EXPECT_EQ(nullptr, Level().Items);
  EXPECT_EQ(0, Level().ItemCapacity);
  EXPECT_EQ(nullptr, Level().NameFont);
  EXPECT_TRUE(OSDMenuItemAdd("top", nullptr, nullptr, nullptr, true, false, 0));
  EXPECT_EQ(30, Level().ItemCapacity);
  EXPECT_EQ(2u, Sim_HeapBlocksTotal());
  EXPECT_TRUE(OSDMenuPop()); // gives back the level's storage
  EXPECT_EQ(1u, Sim_HeapBlocksTotal());
  while (OSDMenuPop()) {
  }
  EXPECT_EQ(0u, CurrentMenuLevel);
  EXPECT_FALSE(OSDMenuPop());
  EXPECT_STREQ("keep", OSDMenuItemGetName(0));
  EXPECT_STREQ("level 0", Level().TitleLeft);
}

TEST_F(Model, TitleRightAndDestroy) {
  OSDMenuInitialize(false, false, false, false, "t", "r");
  TitleDirty = 0;
  OSDMenuModifyTitleRight(nullptr);
  EXPECT_STREQ("r", Level().TitleRight);
  EXPECT_EQ(0u, TitleDirty);
  OSDMenuModifyTitleRight(std::string(400, 'x').c_str());
  EXPECT_EQ(255u, strlen(Level().TitleRight));
  EXPECT_EQ(1u, TitleDirty);

  OSDMenuItemAdd("i", nullptr, nullptr, nullptr, true, false, 0);
  CallbackProcedure = [](uint32_t, word) {};
  OSDMenuDestroyNoOSDUpdate();
  EXPECT_EQ(0u, Sim_HeapBlocksTotal());
  EXPECT_EQ(0, OSDMenuItemGetNrOfItems());
  EXPECT_EQ(nullptr, OSDMenuItemGetName(0));
  EXPECT_EQ(nullptr, CallbackProcedure);
}

// ---- memo ------------------------------------------------------------------------

TEST_F(Model, MemoLinesAndBlankLines) {
  ASSERT_TRUE(OSDMemoInitialize(true, "Info", nullptr, "first\nsecond"));
  EXPECT_EQ(1u, Level().MemoMode);
  EXPECT_EQ(1u, Level().WrapAround);
  EXPECT_EQ(0u, Level().ValueColumn);
  EXPECT_EQ((std::vector<std::string>{"first", "second"}), Names());
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(1u, Level().Items[i].Selectable);
    EXPECT_EQ(0u, OSDMenuItemGetID(i));
  }

  OSDMemoInitialize(false, "Info", nullptr, "a\n\nb\n");
  EXPECT_EQ((std::vector<std::string>{"a", " ", "b"}), Names());
  OSDMemoInitialize(false, "Info", nullptr,
                    "a\x8A"
                    "b\x8D\x8A"
                    "c\r\nd");
  EXPECT_EQ((std::vector<std::string>{"a", "b", "c", "d"}), Names());
  OSDMemoInitialize(false, "Info", nullptr, "\n");
  EXPECT_EQ((std::vector<std::string>{" "}), Names());
  OSDMemoInitialize(false, "Info", nullptr, nullptr);
  EXPECT_EQ(0, OSDMenuItemGetNrOfItems());
  EXPECT_EQ(1u, Level().MemoMode);
  EXPECT_EQ(1u, Sim_HeapBlocksTotal()); // the private copy is gone
}

TEST_F(Model, MemoBreaksLinesBefore551Pixels) {
  std::string text;
  for (int i = 0; i < 40; ++i) text += (i ? " " : "") + std::string("Wort") + std::to_string(i);
  ASSERT_TRUE(OSDMemoInitialize(false, nullptr, nullptr, text.c_str()));
  // Each line is the longest run of whole words narrower than 551 pixels.
  std::vector<std::string> want;
  std::string line;
  for (int i = 0; i < 40; ++i) {
    const std::string word = "Wort" + std::to_string(i);
    const std::string longer = line.empty() ? word : line + " " + word;
    if (!line.empty() && FM_GetStringWidth(longer.c_str(), &Calibri_14_FontData) >= 551) {
      want.push_back(line);
      line = word;
    } else {
      line = longer;
    }
  }
  want.push_back(line);
  ASSERT_GE(want.size(), 3u);
  EXPECT_EQ(want, Names());
  for (const std::string &l : Names())
    EXPECT_LT(FM_GetStringWidth(l.c_str(), &Calibri_14_FontData), 551u);

  // A word wider than a line stands alone, cut to what an item holds.
  const std::string giant(300, 'm');
  OSDMemoInitialize(false, nullptr, nullptr, ("ab " + giant + " cd").c_str());
  EXPECT_EQ((std::vector<std::string>{"ab", giant.substr(0, 127), "cd"}), Names());
}

TEST_F(Model, MemoWithoutMemory) {
  Sim_FailAllocNth(1); // the private copy of the text
  EXPECT_FALSE(OSDMemoInitialize(false, nullptr, nullptr, "text"));
  EXPECT_EQ(0, OSDMenuItemGetNrOfItems());
  EXPECT_EQ(1u, Level().MemoMode);
  Sim_FailAllocNth(2); // the level's storage: the first line tries again
  EXPECT_TRUE(OSDMemoInitialize(false, nullptr, nullptr, "text"));
  EXPECT_EQ((std::vector<std::string>{"text"}), Names());
  Sim_FailAllocNth(2);
  Sim_FailAllocAbove(1000); // and fails again
  EXPECT_FALSE(OSDMemoInitialize(false, nullptr, nullptr, "text"));
  EXPECT_EQ(0, OSDMenuItemGetNrOfItems());
}

// Texts handed in may live in the very storage the call replaces.
TEST_F(Model, TextsFromTheLevelItself) {
  OSDMenuInitialize(false, false, false, false, "Title", "Right");
  OSDMenuItemAdd("first line\nsecond line", nullptr, nullptr, nullptr, true, false, 0);
  ASSERT_TRUE(
      OSDMemoInitialize(false, Level().TitleLeft, Level().TitleRight, OSDMenuItemGetName(0)));
  EXPECT_EQ((std::vector<std::string>{"first line", "second line"}), Names());
  EXPECT_STREQ("Title", Level().TitleLeft);
  EXPECT_STREQ("Right", Level().TitleRight);
  OSDMenuModifyTitleRight(Level().TitleRight);
  EXPECT_STREQ("Right", Level().TitleRight);

  OSDMenuInitialize(false, true, false, false, nullptr, nullptr);
  for (int i = 0; i < 30; ++i) OSDMenuItemAdd("item", "value", nullptr, nullptr, true, false, 0);
  ASSERT_TRUE(OSDMenuItemAdd(OSDMenuItemGetName(0), OSDMenuItemGetValue(0), nullptr, nullptr, true,
                             false, 0)); // the storage grows under them
  EXPECT_STREQ("item", OSDMenuItemGetName(30));
  EXPECT_STREQ("value", OSDMenuItemGetValue(30));
}

} // namespace
