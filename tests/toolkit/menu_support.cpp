#include "menu_support.h"

#include <string.h>

void PrintTo(const Block &b, std::ostream *os) {
  *os << b.w << "x" << b.h << " block";
  for (size_t i = 0; i < b.px.size() && i < 4; ++i) *os << " " << std::hex << b.px[i] << std::dec;
  if (b.px.size() > 4) *os << " ...";
}

static Block FromPlane(const uint32_t *plane, int x, int y, int w, int h) {
  Block b;
  b.w = w;
  b.h = h;
  for (int r = 0; r < h; ++r)
    for (int c = 0; c < w; ++c) b.px.push_back(plane[size_t(y + r) * OSD_WIDTH + size_t(x + c)]);
  return b;
}

Block DrawnBlock(int x, int y, int w, int h) {
  return FromPlane(Sim_DrawPlane(), x, y, w, h);
}
Block ShownBlock(int x, int y, int w, int h) {
  return FromPlane(Sim_ShownPlane(), x, y, w, h);
}
uint32_t Drawn(int x, int y) {
  return Sim_DrawPlane()[size_t(y) * OSD_WIDTH + size_t(x)];
}
uint32_t Shown(int x, int y) {
  return Sim_ShownPlane()[size_t(y) * OSD_WIDTH + size_t(x)];
}

// Off-screen work areas, so that nothing of this reaches the plane.
static Block Capture(word rgn, int w, int h) {
  Block b;
  b.w = w;
  b.h = h;
  uint32_t *saved = static_cast<uint32_t *>(TAP_Osd_SaveBox(rgn, 0, 0, dword(w), dword(h)));
  if (saved) {
    b.px.assign(saved, saved + size_t(w) * size_t(h));
    TAP_MemFree(saved);
  }
  TAP_Osd_Delete(rgn);
  return b;
}

Block GraphicOver(const GraphicDescriptor &gd, uint32_t back, bool sprite) {
  const word rgn = TAP_Osd_Create(0, 0, gd.width, gd.height, 0, OSD_Flag_MemRgn);
  TAP_Osd_FillBox(rgn, 0, 0, gd.width, gd.height, back);
  TAP_Osd_PutGd(rgn, 0, 0, &gd, sprite ? 1 : 0);
  return Capture(rgn, gd.width, gd.height);
}

Block TextOver(const char *text, const FontData &font, uint32_t colour, uint32_t back, int w,
               int h) {
  // The renderer works on a box one pixel wider and taller than the text.
  const word rgn = TAP_Osd_Create(0, 0, dword(w + 1), dword(h + 1), 0, OSD_Flag_MemRgn);
  TAP_Osd_FillBox(rgn, 0, 0, dword(w + 1), dword(h + 1), back);
  FM_PutStringAA(rgn, 0, 0, dword(w), text, colour, 0, &font, TRUNC_CUT, ALIGN_LEFT, 1.0f);
  return Capture(rgn, w, h);
}

static bool ColumnInked(int x, int y0, int y1, uint32_t back) {
  for (int y = y0; y <= y1; ++y)
    if (Drawn(x, y) != back) return true;
  return false;
}

int FirstInk(int x0, int x1, int y0, int y1, uint32_t back) {
  for (int x = x0; x <= x1; ++x)
    if (ColumnInked(x, y0, y1, back)) return x;
  return -1;
}

int LastInk(int x0, int x1, int y0, int y1, uint32_t back) {
  for (int x = x1; x >= x0; --x)
    if (ColumnInked(x, y0, y1, back)) return x;
  return -1;
}

void MenuTest::SetUp() {
  SimTest::SetUp();
  // The toolkit's globals outlive a firmware reset; start from nothing.
  memset(Menu, 0, sizeof Menu);
  CurrentMenuLevel = 0;
  OSDRgn = MyOSDRgn = 0;
  TitleDirty = ListDirty = ButtonsDirty = LogoDirty = OSDDirty = 0;
  ButtonColor = 0xFFE6E6FA;
  MenuCursorType = 0;
  CallbackProcedure = nullptr;
  memset(&MessageBox, 0, sizeof MessageBox);
  MessageBoxNoNormalMode = 0;
  MessageBoxOSDRgn = InfoBoxOSDRgn = ColorPickerOSDRgn = ProgressBarOSDRgn = 0;
  InfoBoxSaveArea = nullptr;
}

void MenuTest::TearDown() {
  Sim_FailAllocNth(0);
  Sim_FailAllocAbove(0);
  OSDMenuInfoBoxDestroyNoOSDUpdate();
  OSDMenuMessageBoxDestroyNoOSDUpdate();
  OSDMenuColorPickerDestroy();
  while (OSDMenuPop()) {
  }
  OSDMenuDestroyNoOSDUpdate();
  EXPECT_EQ(0u, Sim_HeapBlocksTotal());
  EXPECT_EQ(0, Sim_RegionCount());
  SimTest::TearDown();
}

void MenuTest::BuildFileList(int items) {
  OSDMenuInitialize(true, true, true, true, "Velumo V1.0", nullptr);
  for (int i = 0; i < items; ++i) {
    char name[32], value[48];
    snprintf(name, sizeof name, "Logo %02d.png", i);
    snprintf(value, sizeof value, "12-02-%02d, 09:%02d, %d byte", i % 28 + 1, i % 60, 1000 + i);
    OSDMenuItemAdd(name, value, nullptr, nullptr, true, false, uint32_t(i));
  }
  OSDMenuButtonAdd(1, 17, nullptr, "Dir. up ");
  OSDMenuButtonAdd(1, 31, nullptr, "view ");
  OSDMenuButtonAdd(1, 39, nullptr, "name ! ");
  OSDMenuButtonAdd(2, 25, nullptr, "");
  OSDMenuButtonAdd(2, 24, nullptr, "[ 1/ 1] /Logos");
  OSDMenuButtonAdd(3, 2, nullptr, "BLL ");
  OSDMenuButtonAdd(3, 46, nullptr, "exit ");
}
