// The screen of the firmware stand-in: regions on the shared plane, drawing,
// graphic records, text, sync and screenshots.
#include <dlfcn.h>
#include <png.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "testdisk.h"

namespace {

constexpr uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF;
constexpr uint32_t kWhite = 0xFFFFFFFF, kGrey = 0xFF404040;
constexpr dword kHuge = ~dword(0);

uint32_t Drawn(int x, int y) {
  return Sim_DrawPlane()[y * OSD_WIDTH + x];
}
uint32_t Shown(int x, int y) {
  return Sim_ShownPlane()[y * OSD_WIDTH + x];
}

// Number of plane pixels of the given colour inside a screen box.
int CountIn(int x, int y, int w, int h, uint32_t color) {
  int n = 0;
  for (int r = y; r < y + h; ++r)
    for (int c = x; c < x + w; ++c) n += Drawn(c, r) == color;
  return n;
}

// A graphic record built the way our generators build them: ARGB words, each
// stored little-endian, deflated with zlib.
struct Gd {
  std::vector<unsigned char> z;
  GraphicDescriptor d{};
};

std::vector<unsigned char> LeBytes(const std::vector<uint32_t> &px) {
  std::vector<unsigned char> b;
  for (uint32_t p : px)
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(p >> (8 * i)));
  return b;
}

std::vector<unsigned char> Deflate(const std::vector<unsigned char> &raw) {
  uLongf n = compressBound(raw.size());
  std::vector<unsigned char> z(n);
  EXPECT_EQ(Z_OK, compress(z.data(), &n, raw.data(), raw.size()));
  z.resize(n);
  return z;
}

Gd MakeGd(int w, int h, const std::vector<uint32_t> &px) {
  Gd g;
  g.z = Deflate(LeBytes(px));
  g.d.version = GD_VERSION;
  g.d.psize = GD_PSIZE_ARGB;
  g.d.compressed = GD_COMPRESS_DEFLATE;
  g.d.data = g.z.data();
  g.d.size = uint32_t(w * h * 4);
  g.d.width = word(w);
  g.d.height = word(h);
  return g;
}

class OsdTest : public SimTest {
protected:
  // A full-screen region painted grey, so that untouched pixels show.
  word Backdrop() {
    word bg = TAP_Osd_Create(0, 0, OSD_WIDTH, OSD_HEIGHT, 0, 0);
    EXPECT_NE(0, bg);
    EXPECT_EQ(0, TAP_Osd_FillBox(bg, 0, 0, OSD_WIDTH, OSD_HEIGHT, kGrey));
    return bg;
  }
};

// ---- regions ------------------------------------------------------------

TEST_F(OsdTest, RegionRecordsAreFoundByNameAndKeptInStep) {
  // The toolkit finds the region table by symbol name, as on the receiver.
  auto *info = static_cast<const unsigned char *>(dlsym(RTLD_DEFAULT, "_osdInfo"));
  ASSERT_NE(nullptr, info);
  auto u16 = [&](int rgn, int off) {
    uint16_t v;
    memcpy(&v, info + rgn * 16 + off, 2);
    return v;
  };
  auto u32 = [&](int rgn, int off) {
    uint32_t v;
    memcpy(&v, info + rgn * 16 + off, 4);
    return v;
  };

  word a = TAP_Osd_Create(100, 50, 200, 120, 0, 0);
  word m = TAP_Osd_Create(7, 9, 34, 100, 0, OSD_Flag_MemRgn);
  ASSERT_EQ(1, a);
  ASSERT_EQ(2, m);
  EXPECT_EQ(2, Sim_RegionCount());
  EXPECT_EQ(100, u16(a, 0));
  EXPECT_EQ(50, u16(a, 2));
  EXPECT_EQ(200, u16(a, 4));
  EXPECT_EQ(120, u16(a, 6));
  EXPECT_EQ(0u, u32(a, 8));
  EXPECT_EQ(1u, u32(a, 12));
  EXPECT_EQ(34, u16(m, 4));
  EXPECT_EQ(uint32_t(OSD_Flag_MemRgn), u32(m, 8));

  EXPECT_EQ(0, TAP_Osd_Delete(a));
  EXPECT_EQ(0u, u32(a, 12));
  EXPECT_EQ(0, u16(a, 4));
  EXPECT_EQ(1, Sim_RegionCount());
  // The freed handle is handed out again.
  EXPECT_EQ(a, TAP_Osd_Create(0, 0, 10, 10, 0, 0));
}

TEST_F(OsdTest, CreateRefusesBoxesOffTheScreenAndRunsOutOfHandles) {
  EXPECT_EQ(0, TAP_Osd_Create(0, 0, 0, 10, 0, 0));
  EXPECT_EQ(0, TAP_Osd_Create(0, 0, 10, 0, 0, 0));
  EXPECT_EQ(0, TAP_Osd_Create(700, 0, 21, 10, 0, 0));
  EXPECT_EQ(0, TAP_Osd_Create(0, 570, 10, 7, 0, 0));
  EXPECT_EQ(0, TAP_Osd_Create(0, 0, 721, 576, 0, 0));
  // x + w wraps around to a small number.
  EXPECT_EQ(0, TAP_Osd_Create(kHuge, 0, 2, 10, 0, 0));
  EXPECT_EQ(0, TAP_Osd_Create(0, 10, 10, kHuge - 5, 0, 0));
  EXPECT_EQ(0, TAP_Osd_Create(0, 0, 100000, 10, 0, OSD_Flag_MemRgn));
  EXPECT_EQ(0, Sim_RegionCount());

  // Exactly the screen fits.
  EXPECT_NE(0, TAP_Osd_Create(0, 0, OSD_WIDTH, OSD_HEIGHT, 0, 0));
  EXPECT_NE(0, TAP_Osd_Create(719, 575, 1, 1, 0, 0));
  // Handles run from 1 to 63.
  for (int i = 3; i <= 63; ++i) EXPECT_EQ(i, TAP_Osd_Create(0, 0, 4, 4, 0, OSD_Flag_MemRgn));
  EXPECT_EQ(0, TAP_Osd_Create(0, 0, 4, 4, 0, 0));
  EXPECT_EQ(63, Sim_RegionCount());
}

TEST_F(OsdTest, BadHandlesAreRefusedByEveryCall) {
  word live = TAP_Osd_Create(0, 0, 20, 20, 0, 0);
  word gone = TAP_Osd_Create(20, 0, 20, 20, 0, 0);
  ASSERT_EQ(0, TAP_Osd_Delete(gone));
  Gd g = MakeGd(1, 1, {kRed});
  for (word bad : {word(0), gone, word(64), word(0xFFFF)}) {
    SCOPED_TRACE(bad);
    EXPECT_NE(0, TAP_Osd_Delete(bad));
    EXPECT_NE(0, TAP_Osd_FillBox(bad, 0, 0, 5, 5, kRed));
    EXPECT_NE(0, TAP_Osd_DrawRectangle(bad, 0, 0, 5, 5, 1, kRed));
    EXPECT_NE(0, TAP_Osd_Draw3dBoxFill(bad, 0, 0, 5, 5, kRed, kRed, kRed));
    EXPECT_NE(0, TAP_Osd_PutPixel(bad, 0, 0, kRed));
    EXPECT_NE(0, TAP_Osd_PutGd(bad, 0, 0, &g.d, 0));
    EXPECT_NE(0, TAP_Osd_PutString(bad, 0, 0, 100, "x", kRed, kRed, 0, 0, 0));
    EXPECT_NE(0, TAP_Osd_Copy(bad, live, 0, 0, 5, 5, 0, 0, 0));
    EXPECT_NE(0, TAP_Osd_Copy(live, bad, 0, 0, 5, 5, 0, 0, 0));
    EXPECT_EQ(nullptr, TAP_Osd_SaveBox(bad, 0, 0, 5, 5));
    uint32_t block[25] = {};
    TAP_Osd_RestoreBox(bad, 0, 0, 5, 5, block);
  }
  // Nothing reached the plane (the two regions were cleared to 0).
  EXPECT_EQ(20 * 40, CountIn(0, 0, 40, 20, 0));
  EXPECT_EQ(1, Sim_RegionCount());
}

TEST_F(OsdTest, CreateClearsItsRectangleAndDeleteLeavesThePixels) {
  Backdrop();
  word r = TAP_Osd_Create(100, 200, 30, 20, 0, 0);
  ASSERT_NE(0, r);
  EXPECT_EQ(30 * 20, CountIn(100, 200, 30, 20, 0));
  // The edges just outside keep the backdrop.
  for (int i = 0; i < 30; ++i) {
    EXPECT_EQ(kGrey, Drawn(100 + i, 199));
    EXPECT_EQ(kGrey, Drawn(100 + i, 220));
  }
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(kGrey, Drawn(99, 200 + i));
    EXPECT_EQ(kGrey, Drawn(130, 200 + i));
  }

  ASSERT_EQ(0, TAP_Osd_FillBox(r, 0, 0, 30, 20, kRed));
  ASSERT_EQ(0, TAP_Osd_Delete(r));
  EXPECT_EQ(30 * 20, CountIn(100, 200, 30, 20, kRed));
}

TEST_F(OsdTest, MemoryRegionsAreNeverShown) {
  Backdrop();
  word m = TAP_Osd_Create(0, 0, OSD_WIDTH, OSD_HEIGHT, 0, OSD_Flag_MemRgn);
  ASSERT_NE(0, m);
  // Creating it did not clear the plane, drawing into it does not touch it.
  EXPECT_EQ(OSD_WIDTH * OSD_HEIGHT, CountIn(0, 0, OSD_WIDTH, OSD_HEIGHT, kGrey));
  EXPECT_EQ(0, TAP_Osd_FillBox(m, 0, 0, OSD_WIDTH, OSD_HEIGHT, kRed));
  EXPECT_EQ(0, TAP_Osd_PutPixel(m, 5, 5, kBlue));
  TAP_Osd_Sync();
  EXPECT_EQ(kGrey, Drawn(5, 5));
  EXPECT_EQ(kGrey, Shown(5, 5));
  // Its buffer starts out cleared and holds what was drawn.
  word m2 = TAP_Osd_Create(0, 0, 3, 1, 0, OSD_Flag_MemRgn);
  uint32_t *px = static_cast<uint32_t *>(TAP_Osd_SaveBox(m2, 0, 0, 3, 1));
  ASSERT_NE(nullptr, px);
  EXPECT_EQ(0u, px[0] | px[1] | px[2]);
  TAP_MemFree(px);
  px = static_cast<uint32_t *>(TAP_Osd_SaveBox(m, 4, 5, 2, 1));
  ASSERT_NE(nullptr, px);
  EXPECT_EQ(kRed, px[0]);
  EXPECT_EQ(kBlue, px[1]);
  TAP_MemFree(px);
}

// ---- drawing ------------------------------------------------------------

TEST_F(OsdTest, DrawingIsClippedToTheRegion) {
  Backdrop();
  word r = TAP_Osd_Create(100, 50, 40, 30, 0, 0);
  ASSERT_EQ(0, TAP_Osd_FillBox(r, 30, 20, 100, 100, kRed));
  EXPECT_EQ(10 * 10, CountIn(130, 70, 10, 10, kRed));
  EXPECT_EQ(10 * 10, CountIn(0, 0, OSD_WIDTH, OSD_HEIGHT, kRed));
  EXPECT_EQ(kGrey, Drawn(140, 70));
  EXPECT_EQ(kGrey, Drawn(130, 80));
  EXPECT_EQ(0u, Drawn(129, 69));

  // Sizes that would wrap a 32- or 64-bit sum are cut at the region's edge.
  ASSERT_EQ(0, TAP_Osd_FillBox(r, 39, 29, kHuge, kHuge, kBlue));
  EXPECT_EQ(kBlue, Drawn(139, 79));
  EXPECT_EQ(1, CountIn(0, 0, OSD_WIDTH, OSD_HEIGHT, kBlue));

  // An origin outside the region (a negative one arrives as a huge number)
  // is an error and draws nothing.
  EXPECT_NE(0, TAP_Osd_FillBox(r, 40, 0, 5, 5, kGreen));
  EXPECT_NE(0, TAP_Osd_FillBox(r, 0, 30, 5, 5, kGreen));
  EXPECT_NE(0, TAP_Osd_FillBox(r, kHuge, 0, 5, 5, kGreen));
  EXPECT_NE(0, TAP_Osd_PutPixel(r, 40, 0, kGreen));
  EXPECT_NE(0, TAP_Osd_PutPixel(r, 0, kHuge, kGreen));
  EXPECT_NE(0, TAP_Osd_DrawRectangle(r, 40, 0, 5, 5, 1, kGreen));
  EXPECT_NE(0, TAP_Osd_Draw3dBoxFill(r, 0, 30, 5, 5, kGreen, kGreen, kGreen));
  EXPECT_EQ(0, CountIn(0, 0, OSD_WIDTH, OSD_HEIGHT, kGreen));

  // The corners of the region are reachable.
  EXPECT_EQ(0, TAP_Osd_PutPixel(r, 0, 0, kGreen));
  EXPECT_EQ(0, TAP_Osd_PutPixel(r, 39, 29, kGreen));
  EXPECT_EQ(kGreen, Drawn(100, 50));
  EXPECT_EQ(kGreen, Drawn(139, 79));
}

TEST_F(OsdTest, WhatIsDrawnLastWinsWhereRegionsOverlap) {
  word menu = TAP_Osd_Create(0, 0, 400, 300, 0, 0);
  ASSERT_EQ(0, TAP_Osd_FillBox(menu, 0, 0, 400, 300, kBlue));
  // A region created on top clears its part; drawing into either one writes
  // the same plane.
  word status = TAP_Osd_Create(300, 250, 200, 50, 0, 0);
  EXPECT_EQ(0u, Drawn(350, 260));
  ASSERT_EQ(0, TAP_Osd_FillBox(status, 0, 0, 200, 50, kRed));
  EXPECT_EQ(kRed, Drawn(350, 260));
  ASSERT_EQ(0, TAP_Osd_FillBox(menu, 340, 255, 20, 10, kGreen));
  EXPECT_EQ(kGreen, Drawn(350, 260));
  EXPECT_EQ(kRed, Drawn(339, 255));
  EXPECT_EQ(kRed, Drawn(450, 260)); // beyond the menu region
  ASSERT_EQ(0, TAP_Osd_PutPixel(status, 50, 10, kWhite));
  EXPECT_EQ(kWhite, Drawn(350, 260));
}

TEST_F(OsdTest, RectangleBorderLiesInsideTheBox) {
  word r = TAP_Osd_Create(0, 0, 50, 50, 0, 0);
  // A 10 x 8 box with a 2-pixel border leaves a 6 x 4 hole.
  ASSERT_EQ(0, TAP_Osd_DrawRectangle(r, 5, 5, 10, 8, 2, kRed));
  EXPECT_EQ(10 * 8 - 6 * 4, CountIn(0, 0, 50, 50, kRed));
  EXPECT_EQ(6 * 4, CountIn(7, 7, 6, 4, 0));
  EXPECT_EQ(kRed, Drawn(5, 5));
  EXPECT_EQ(kRed, Drawn(14, 12));
  EXPECT_EQ(kRed, Drawn(6, 12));
  EXPECT_EQ(0u, Drawn(15, 5));
  EXPECT_EQ(0u, Drawn(5, 13));

  // Thickness 0 draws nothing; a border of half the box or more fills it.
  ASSERT_EQ(0, TAP_Osd_DrawRectangle(r, 20, 20, 10, 10, 0, kBlue));
  EXPECT_EQ(0, CountIn(0, 0, 50, 50, kBlue));
  ASSERT_EQ(0, TAP_Osd_DrawRectangle(r, 20, 20, 10, 6, 3, kBlue));
  EXPECT_EQ(60, CountIn(0, 0, 50, 50, kBlue));
  // A huge thickness or box is cut at the region's edge.
  ASSERT_EQ(0, TAP_Osd_DrawRectangle(r, 45, 45, kHuge, kHuge, kHuge, kGreen));
  EXPECT_EQ(25, CountIn(0, 0, 50, 50, kGreen));
  // A border cut by the region: only its top and left sides are visible.
  ASSERT_EQ(0, TAP_Osd_FillBox(r, 0, 0, 50, 50, 0));
  ASSERT_EQ(0, TAP_Osd_DrawRectangle(r, 40, 40, 20, 20, 1, kWhite));
  EXPECT_EQ(10 + 9, CountIn(0, 0, 50, 50, kWhite));
}

TEST_F(OsdTest, ThreeDBoxHasLitTopLeftAndShadedBottomRight) {
  word r = TAP_Osd_Create(0, 0, 50, 50, 0, 0);
  const uint32_t c1 = 0xFFEEEEEE, c2 = 0xFF222222, fc = 0xFF777777;
  ASSERT_EQ(0, TAP_Osd_Draw3dBoxFill(r, 10, 10, 6, 5, c1, c2, fc));
  const char *expect[] = {"111112", //
                          "1ffff2", //
                          "1ffff2", //
                          "1ffff2", //
                          "222222"};
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) {
      const char e = expect[y][x];
      EXPECT_EQ(e == '1' ? c1 : e == '2' ? c2 : fc, Drawn(10 + x, 10 + y)) << x << "," << y;
    }
  EXPECT_EQ(30, CountIn(9, 9, 8, 7, c1) + CountIn(9, 9, 8, 7, c2) + CountIn(9, 9, 8, 7, fc));
  // A single pixel box is shaded; width 0 draws nothing.
  ASSERT_EQ(0, TAP_Osd_Draw3dBoxFill(r, 30, 30, 1, 1, c1, c2, fc));
  EXPECT_EQ(c2, Drawn(30, 30));
  ASSERT_EQ(0, TAP_Osd_Draw3dBoxFill(r, 40, 40, 0, 5, c1, c2, fc));
  EXPECT_EQ(0, CountIn(40, 40, 5, 5, fc) + CountIn(40, 40, 5, 5, c1) + CountIn(40, 40, 5, 5, c2));
}

// ---- saving, restoring and copying --------------------------------------

TEST_F(OsdTest, SaveBoxAndRestoreBoxGiveBackTheSamePixels) {
  word r = TAP_Osd_Create(200, 100, 64, 48, 0, 0);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) TAP_Osd_PutPixel(r, x, y, 0xFF000000u | (y << 8) | x);

  auto *box = static_cast<uint32_t *>(TAP_Osd_SaveBox(r, 10, 20, 5, 3));
  ASSERT_NE(nullptr, box);
  EXPECT_EQ(1u, Sim_HeapBlocksTotal());
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(0xFF000000u | ((20 + y) << 8) | (10 + x), box[y * 5 + x]);

  ASSERT_EQ(0, TAP_Osd_FillBox(r, 0, 0, 64, 48, kRed));
  TAP_Osd_RestoreBox(r, 10, 20, 5, 3, box);
  EXPECT_EQ(64 * 48 - 15, CountIn(200, 100, 64, 48, kRed));
  EXPECT_EQ(0xFF00140Au, Drawn(210, 120));
  EXPECT_EQ(0xFF00160Eu, Drawn(214, 122));

  // Put back elsewhere, the block is cut at the region's edge row by row.
  TAP_Osd_RestoreBox(r, 62, 46, 5, 3, box);
  EXPECT_EQ(0xFF00140Au, Drawn(262, 146));
  EXPECT_EQ(0xFF00140Bu, Drawn(263, 146));
  EXPECT_EQ(0xFF00150Au, Drawn(262, 147));
  EXPECT_EQ(0, CountIn(264, 100, 10, 60, 0xFF00140Cu));
  EXPECT_EQ(1, TAP_MemFree(box));
  EXPECT_EQ(0u, Sim_HeapBlocksTotal());

  // A box reaching beyond the region, or empty, gives nothing.
  EXPECT_EQ(nullptr, TAP_Osd_SaveBox(r, 60, 0, 5, 1));
  EXPECT_EQ(nullptr, TAP_Osd_SaveBox(r, 0, 46, 1, 3));
  EXPECT_EQ(nullptr, TAP_Osd_SaveBox(r, 0, 0, 0, 3));
  EXPECT_EQ(nullptr, TAP_Osd_SaveBox(r, 1, 1, kHuge, kHuge));
  EXPECT_EQ(nullptr, TAP_Osd_SaveBox(r, 64, 0, 1, 1));
  box = static_cast<uint32_t *>(TAP_Osd_SaveBox(r, 0, 0, 64, 48));
  ASSERT_NE(nullptr, box);
  TAP_MemFree(box);
  // A failed allocation gives null and leaves nothing held.
  Sim_FailAllocNth(1);
  EXPECT_EQ(nullptr, TAP_Osd_SaveBox(r, 0, 0, 4, 4));
  EXPECT_EQ(0u, Sim_HeapBlocksTotal());
  // Restoring nothing, or a size no block can have, draws nothing.
  TAP_Osd_RestoreBox(r, 0, 0, 4, 4, nullptr);
  uint32_t one = kBlue;
  TAP_Osd_RestoreBox(r, 0, 0, kHuge, kHuge, &one);
  EXPECT_EQ(0, CountIn(0, 0, OSD_WIDTH, OSD_HEIGHT, kBlue));
}

TEST_F(OsdTest, CopyHandlesOverlapInEveryDirection) {
  word r = TAP_Osd_Create(0, 0, 20, 20, 0, 0);
  auto paintRow = [&] {
    for (int x = 0; x < 20; ++x) TAP_Osd_PutPixel(r, x, 0, uint32_t(x));
  };
  // Rightwards by 3: the source is read before it is overwritten.
  paintRow();
  ASSERT_EQ(0, TAP_Osd_Copy(r, r, 0, 0, 10, 1, 3, 0, 0));
  const uint32_t right[] = {0, 1, 2, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 13};
  for (int x = 0; x < 14; ++x) EXPECT_EQ(right[x], Drawn(x, 0)) << x;
  // Leftwards by 3.
  paintRow();
  ASSERT_EQ(0, TAP_Osd_Copy(r, r, 3, 0, 10, 1, 0, 0, 0));
  const uint32_t left[] = {3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 10, 11, 12, 13};
  for (int x = 0; x < 14; ++x) EXPECT_EQ(left[x], Drawn(x, 0)) << x;
  // Down and up through a column.
  for (int y = 0; y < 20; ++y) TAP_Osd_PutPixel(r, 19, y, uint32_t(100 + y));
  ASSERT_EQ(0, TAP_Osd_Copy(r, r, 19, 0, 1, 5, 19, 2, 0));
  const uint32_t down[] = {100, 101, 100, 101, 102, 103, 104, 107};
  for (int y = 0; y < 8; ++y) EXPECT_EQ(down[y], Drawn(19, y)) << y;
  ASSERT_EQ(0, TAP_Osd_Copy(r, r, 19, 2, 1, 5, 19, 0, 0));
  const uint32_t up[] = {100, 101, 102, 103, 104, 103, 104, 107};
  for (int y = 0; y < 8; ++y) EXPECT_EQ(up[y], Drawn(19, y)) << y;
}

TEST_F(OsdTest, CopyBetweenRegionsIsClippedToBoth) {
  Backdrop();
  word tile = TAP_Osd_Create(0, 0, 10, 4, 0, OSD_Flag_MemRgn);
  ASSERT_EQ(0, TAP_Osd_FillBox(tile, 0, 0, 10, 4, kRed));
  ASSERT_EQ(0, TAP_Osd_FillBox(tile, 9, 0, 1, 4, kBlue));
  word menu = TAP_Osd_Create(300, 300, 25, 10, 0, 0);
  // Memory to screen, side by side as the menu bar does, the last strip cut.
  for (dword x = 0; x < 25; x += 10) ASSERT_EQ(0, TAP_Osd_Copy(tile, menu, 0, 0, 10, 4, x, 3, 0));
  EXPECT_EQ(9 + 9 + 5, CountIn(300, 303, 25, 1, kRed));
  EXPECT_EQ(2, CountIn(300, 303, 25, 1, kBlue));
  EXPECT_EQ(kBlue, Drawn(309, 306));
  EXPECT_EQ(kRed, Drawn(324, 306));
  EXPECT_EQ(kGrey, Drawn(325, 306)); // outside the menu region
  EXPECT_EQ(0u, Drawn(310, 307));

  // A source box beyond the source is cut there; huge sizes too.
  word small = TAP_Osd_Create(0, 0, 3, 3, 0, OSD_Flag_MemRgn);
  ASSERT_EQ(0, TAP_Osd_FillBox(small, 0, 0, 3, 3, kGreen));
  ASSERT_EQ(0, TAP_Osd_Copy(small, menu, 1, 1, kHuge, kHuge, 0, 0, 0));
  EXPECT_EQ(4, CountIn(300, 300, 25, 10, kGreen));
  // Screen to memory works the same way.
  ASSERT_EQ(0, TAP_Osd_Copy(menu, small, 0, 0, 3, 3, 0, 0, 0));
  auto *px = static_cast<uint32_t *>(TAP_Osd_SaveBox(small, 0, 0, 3, 3));
  ASSERT_NE(nullptr, px);
  const uint32_t expect[] = {kGreen, kGreen, 0, kGreen, kGreen, 0, 0, 0, 0};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(expect[i], px[i]) << i;
  TAP_MemFree(px);
  // Origins outside either region are refused.
  EXPECT_NE(0, TAP_Osd_Copy(small, menu, 3, 0, 1, 1, 0, 0, 0));
  EXPECT_NE(0, TAP_Osd_Copy(small, menu, 0, 0, 1, 1, 0, 10, 0));
}

TEST_F(OsdTest, SpriteCopyBlendsByAlpha) {
  word src = TAP_Osd_Create(0, 0, 3, 1, 0, OSD_Flag_MemRgn);
  TAP_Osd_PutPixel(src, 0, 0, 0x00FFFFFF); // transparent: leaves the screen
  TAP_Osd_PutPixel(src, 1, 0, 0x80FF0000); // half red
  TAP_Osd_PutPixel(src, 2, 0, kGreen);
  word dst = TAP_Osd_Create(0, 0, 10, 10, 0, 0);
  TAP_Osd_FillBox(dst, 0, 0, 10, 10, kBlue);
  ASSERT_EQ(0, TAP_Osd_Copy(src, dst, 0, 0, 3, 1, 0, 0, 1));
  EXPECT_EQ(kBlue, Drawn(0, 0));
  // 255 * 128 / 255 = 128 red, 255 * 127 / 255 = 127 blue.
  EXPECT_EQ(0xFF80007Fu, Drawn(1, 0));
  EXPECT_EQ(kGreen, Drawn(2, 0));
  // Without sprite the pixels go in as they are, alpha included.
  ASSERT_EQ(0, TAP_Osd_Copy(src, dst, 0, 0, 3, 1, 0, 1, 0));
  EXPECT_EQ(0x00FFFFFFu, Drawn(0, 1));
  EXPECT_EQ(0x80FF0000u, Drawn(1, 1));
}

// ---- graphic records ----------------------------------------------------

TEST_F(OsdTest, PutGdDecodesLittleEndianArgbWords) {
  word r = TAP_Osd_Create(10, 10, 100, 100, 0, 0);
  // Byte order on the wire is fixed: 0x11223344 is stored 44 33 22 11.
  std::vector<unsigned char> raw = {0x44, 0x33, 0x22, 0x11, 0x04, 0x03, 0x02, 0xFF,
                                    0xFF, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00, 0x00,
                                    0x01, 0x02, 0x03, 0x04, 0xAA, 0xBB, 0xCC, 0xDD};
  std::vector<unsigned char> z = Deflate(raw);
  GraphicDescriptor d{};
  d.version = 1;
  d.psize = 1;
  d.compressed = 2;
  d.data = z.data();
  d.size = 24;
  d.width = 3;
  d.height = 2;
  ASSERT_EQ(0, TAP_Osd_PutGd(r, 5, 7, &d, 0));
  EXPECT_EQ(0x11223344u, Drawn(15, 17));
  EXPECT_EQ(0xFF020304u, Drawn(16, 17));
  EXPECT_EQ(0x800000FFu, Drawn(17, 17));
  EXPECT_EQ(0x00000000u, Drawn(15, 18));
  EXPECT_EQ(0x04030201u, Drawn(16, 18));
  EXPECT_EQ(0xDDCCBBAAu, Drawn(17, 18));
  EXPECT_EQ(0u, Drawn(18, 17));
  EXPECT_EQ(0u, Drawn(15, 19));
}

TEST_F(OsdTest, PutGdSpriteBlendsAndPlainWritesAsIs) {
  word r = TAP_Osd_Create(0, 0, 50, 50, 0, 0);
  Gd g = MakeGd(4, 1, {0x00FF0000, 0x80FF0000, kGreen, 0x40000000});
  TAP_Osd_FillBox(r, 0, 0, 50, 50, kBlue);
  ASSERT_EQ(0, TAP_Osd_PutGd(r, 0, 0, &g.d, 1));
  EXPECT_EQ(kBlue, Drawn(0, 0));
  EXPECT_EQ(0xFF80007Fu, Drawn(1, 0));
  EXPECT_EQ(kGreen, Drawn(2, 0));
  // A quarter of black over blue: 255 * 191 / 255 = 191.
  EXPECT_EQ(0xFF0000BFu, Drawn(3, 0));
  ASSERT_EQ(0, TAP_Osd_PutGd(r, 0, 1, &g.d, 0));
  EXPECT_EQ(0x00FF0000u, Drawn(0, 1));
  EXPECT_EQ(0x80FF0000u, Drawn(1, 1));
  EXPECT_EQ(0x40000000u, Drawn(3, 1));
  // Over a transparent pixel a sprite keeps its own colour and alpha.
  TAP_Osd_PutPixel(r, 10, 10, 0);
  Gd half = MakeGd(1, 1, {0x80123456});
  ASSERT_EQ(0, TAP_Osd_PutGd(r, 10, 10, &half.d, 1));
  EXPECT_EQ(0x80123456u, Drawn(10, 10));
}

TEST_F(OsdTest, PutGdIsClippedOnEverySide) {
  Backdrop();
  word r = TAP_Osd_Create(100, 100, 10, 10, 0, 0);
  std::vector<uint32_t> px(4 * 4);
  for (int i = 0; i < 16; ++i) px[i] = 0xFF000000u | uint32_t(i);
  Gd g = MakeGd(4, 4, px);
  ASSERT_EQ(0, TAP_Osd_PutGd(r, -2, -3, &g.d, 0));
  // Visible: columns 2..3 of row 3 at the region's top-left corner.
  EXPECT_EQ(0xFF00000Eu, Drawn(100, 100));
  EXPECT_EQ(0xFF00000Fu, Drawn(101, 100));
  EXPECT_EQ(0u, Drawn(102, 100));
  EXPECT_EQ(0u, Drawn(100, 101));
  ASSERT_EQ(0, TAP_Osd_PutGd(r, 8, 9, &g.d, 0));
  EXPECT_EQ(0xFF000000u, Drawn(108, 109));
  EXPECT_EQ(0xFF000001u, Drawn(109, 109));
  EXPECT_EQ(kGrey, Drawn(110, 109));
  EXPECT_EQ(kGrey, Drawn(108, 110));
  // Wholly outside: nothing drawn, the record is still checked.
  ASSERT_EQ(0, TAP_Osd_PutGd(r, 10, 0, &g.d, 0));
  ASSERT_EQ(0, TAP_Osd_PutGd(r, -4, -4, &g.d, 0));
  EXPECT_EQ(OSD_WIDTH * OSD_HEIGHT - 100, CountIn(0, 0, OSD_WIDTH, OSD_HEIGHT, kGrey));
  g.d.version = 2;
  EXPECT_NE(0, TAP_Osd_PutGd(r, 100, 100, &g.d, 0));
}

TEST_F(OsdTest, PutGdRefusesUnsoundRecordsAndDrawsNothing) {
  word r = TAP_Osd_Create(0, 0, 100, 100, 0, 0);
  TAP_Osd_FillBox(r, 0, 0, 100, 100, kGrey);
  std::vector<uint32_t> px(8 * 8, kRed);
  auto expectRefused = [&](const GraphicDescriptor *d, const char *what) {
    SCOPED_TRACE(what);
    EXPECT_NE(0, TAP_Osd_PutGd(r, 0, 0, d, 0));
    EXPECT_EQ(100 * 100, CountIn(0, 0, 100, 100, kGrey));
  };
  Gd good = MakeGd(8, 8, px);
  expectRefused(nullptr, "no record");
  Gd g = good;
  g.d.version = 0;
  expectRefused(&g.d, "version");
  g = good;
  g.d.psize = 2;
  expectRefused(&g.d, "pixel format");
  g = good;
  g.d.compressed = 1;
  expectRefused(&g.d, "method");
  g = good;
  g.d.size = 8 * 8 * 4 - 4;
  expectRefused(&g.d, "size not width x height x 4");
  g = good;
  g.d.width = 0;
  g.d.size = 0;
  expectRefused(&g.d, "empty");
  g = good;
  g.d.data = nullptr;
  expectRefused(&g.d, "no data");

  // Streams that do not give exactly the record's pixels.
  Gd shortData = MakeGd(8, 8, std::vector<uint32_t>(63, kRed));
  shortData.d.size = 8 * 8 * 4;
  shortData.d.width = 8;
  shortData.d.height = 8;
  expectRefused(&shortData.d, "one pixel short");
  Gd longData = MakeGd(8, 8, std::vector<uint32_t>(65, kRed));
  longData.d.size = 8 * 8 * 4;
  longData.d.width = 8;
  longData.d.height = 8;
  expectRefused(&longData.d, "one pixel over");
  // A broken header, and a stream whose checksum does not match: both fail
  // only at the end or the start, and nothing is drawn in between.
  Gd bad = MakeGd(8, 8, px);
  bad.z[0] ^= 0x0F;
  expectRefused(&bad.d, "zlib header");
  bad = MakeGd(8, 8, px);
  bad.z.back() ^= 0x01;
  bad.d.data = bad.z.data();
  expectRefused(&bad.d, "checksum");

  ASSERT_EQ(0, TAP_Osd_PutGd(r, 0, 0, &good.d, 0));
  EXPECT_EQ(64, CountIn(0, 0, 100, 100, kRed));
}

// The record has no compressed length; a sound stream that ends right at the
// end of readable memory must be decoded without a byte read beyond it.
TEST_F(OsdTest, PutGdReadsNoFurtherThanTheStream) {
  const long page = sysconf(_SC_PAGESIZE);
  void *mem =
      mmap(nullptr, size_t(page) * 2, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(MAP_FAILED, mem);
  ASSERT_EQ(0, mprotect(static_cast<char *>(mem) + page, size_t(page), PROT_NONE));
  std::vector<uint32_t> px(32 * 24);
  for (size_t i = 0; i < px.size(); ++i) px[i] = 0xFF000000u | uint32_t(i * 2654435761u >> 8);
  Gd g = MakeGd(32, 24, px);
  ASSERT_LE(g.z.size(), size_t(page));
  unsigned char *at = static_cast<unsigned char *>(mem) + page - g.z.size();
  memcpy(at, g.z.data(), g.z.size());
  g.d.data = at;

  word r = TAP_Osd_Create(0, 0, 32, 24, 0, 0);
  EXPECT_EQ(0, TAP_Osd_PutGd(r, 0, 0, &g.d, 0));
  EXPECT_EQ(px[0], Drawn(0, 0));
  EXPECT_EQ(px[32 * 24 - 1], Drawn(31, 23));
  // A record claiming fewer pixels than its stream holds stops there too.
  g.d.height = 23;
  g.d.size = 32 * 23 * 4;
  EXPECT_NE(0, TAP_Osd_PutGd(r, 0, 0, &g.d, 0));
  munmap(mem, size_t(page) * 2);
}

// ---- text ---------------------------------------------------------------

TEST_F(OsdTest, PutStringFillsCellsAndStopsBeforeMaxX) {
  Backdrop();
  word r = TAP_Osd_Create(100, 100, 200, 40, 0, 0);
  const uint32_t fg = kWhite, bg = 0xFF101010;
  // maxX 115: "A" takes columns 0..7, "B" would reach column 15 and stops.
  ASSERT_EQ(0, TAP_Osd_PutString(r, 0, 0, 15, "AB", fg, bg, 0, 0, 0));
  EXPECT_EQ(0, CountIn(108, 100, 8, 16, bg) + CountIn(108, 100, 8, 16, fg));
  const int inkA = 8 * 16 - CountIn(100, 100, 8, 16, bg);
  EXPECT_GT(inkA, 10);
  EXPECT_GT(CountIn(100, 100, 8, 16, fg), 0);   // full strokes in the text colour
  EXPECT_EQ(0, CountIn(100, 116, 200, 24, bg)); // nothing below the cell
  // With maxX 116 both fit.
  ASSERT_EQ(0, TAP_Osd_PutString(r, 0, 20, 16, "AB", fg, bg, 0, 0, 0));
  EXPECT_LT(CountIn(108, 120, 8, 16, bg), 8 * 16);
  EXPECT_EQ(0, CountIn(116, 120, 8, 16, bg));

  // A blank fills its cell with the background; a maxX beyond the region
  // is cut at its edge (25 cells of 8 pixels).
  ASSERT_EQ(0, TAP_Osd_FillBox(r, 0, 0, 200, 40, 0));
  ASSERT_EQ(0, TAP_Osd_PutString(r, 0, 0, 100000, std::string(30, ' ').c_str(), fg, bg, 0, 0, 0));
  EXPECT_EQ(200 * 16, CountIn(100, 100, 200, 16, bg));
  EXPECT_EQ(kGrey, Drawn(300, 100));
  // Text whose origin is outside the region draws nothing.
  EXPECT_EQ(0, TAP_Osd_PutString(r, 200, 0, 300, "A", fg, kRed, 0, 0, 0));
  EXPECT_EQ(0, TAP_Osd_PutString(r, 5, 5, 4, "A", fg, kRed, 0, 0, 0));
  EXPECT_EQ(0, CountIn(0, 0, OSD_WIDTH, OSD_HEIGHT, kRed));
  EXPECT_NE(0, TAP_Osd_PutString(r, 0, 0, 100, nullptr, fg, bg, 0, 0, 0));
}

TEST_F(OsdTest, PutStringWithoutBackgroundLeavesTheScreenAroundStrokes) {
  word r = TAP_Osd_Create(0, 0, 100, 20, 0, 0);
  TAP_Osd_FillBox(r, 0, 0, 100, 20, kBlue);
  ASSERT_EQ(0, TAP_Osd_PutString(r, 0, 0, 100, "H", kWhite, 0x00FF0000, 0, 0, 0));
  const int blue = CountIn(0, 0, 8, 16, kBlue), white = CountIn(0, 0, 8, 16, kWhite);
  EXPECT_GT(white, 10);
  EXPECT_GT(blue, 60);
  // Edge pixels blend white over blue: equal red and green, full blue.
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 8; ++x) {
      const uint32_t p = Drawn(x, y);
      EXPECT_EQ(0xFFu, p >> 24);
      EXPECT_EQ((p >> 16) & 0xFF, (p >> 8) & 0xFF);
      EXPECT_EQ(0xFFu, p & 0xFF);
    }
  EXPECT_EQ(100 * 20 - 8 * 16, CountIn(0, 0, 100, 20, kBlue) - blue);
}

TEST_F(OsdTest, PutStringSkipsControlsAndKnowsLatin1) {
  word r = TAP_Osd_Create(0, 0, 200, 60, 0, 0);
  const uint32_t fg = kWhite, bg = 0xFF000000;
  auto cells = [&](int y) {
    std::vector<uint32_t> v;
    for (int x = 0; x < 40; ++x)
      for (int row = 0; row < 16; ++row) v.push_back(Drawn(x, y + row));
    return v;
  };
  TAP_Osd_PutString(r, 0, 0, 200, "AB", fg, bg, 0, 0, 0);
  TAP_Osd_PutString(r, 0, 20, 200,
                    "A\x01\n\x7F\x85\x9F"
                    "B",
                    fg, bg, 0, 0, 0);
  EXPECT_EQ(cells(0), cells(20));
  // "\xC4" (A umlaut) is a glyph of its own.
  TAP_Osd_PutString(r, 0, 40, 200,
                    "\xC4"
                    "B",
                    fg, bg, 0, 0, 0);
  EXPECT_NE(cells(0), cells(40));
  EXPECT_LT(CountIn(0, 40, 8, 16, bg), 8 * 16);
}

TEST_F(OsdTest, PutStringIsCutAtTheRegionsBottom) {
  Backdrop();
  word r = TAP_Osd_Create(10, 10, 50, 20, 0, 0);
  ASSERT_EQ(0, TAP_Osd_PutString(r, 0, 12, 50, "   ", kWhite, kRed, 0, 0, 0));
  EXPECT_EQ(24 * 8, CountIn(0, 0, OSD_WIDTH, OSD_HEIGHT, kRed));
  EXPECT_EQ(kGrey, Drawn(10, 30));
}

// ---- sync, plane and screenshots ----------------------------------------

TEST_F(OsdTest, SyncShowsThePlane) {
  TYPE_OsdBaseInfo info{};
  ASSERT_EQ(0, TAP_Osd_GetPlaneBaseInfo(&info));
  EXPECT_EQ(Sim_DrawPlane(), info.pixels);
  EXPECT_EQ(dword(OSD_WIDTH), info.width);
  EXPECT_EQ(dword(OSD_HEIGHT), info.height);
  EXPECT_EQ(dword(OSD_WIDTH * 4), info.bytesPerLine);
  EXPECT_NE(0, TAP_Osd_GetPlaneBaseInfo(nullptr));

  word r = TAP_Osd_Create(100, 100, 10, 10, 0, 0);
  TAP_Osd_PutPixel(r, 3, 4, kRed);
  EXPECT_EQ(kRed, info.pixels[104 * OSD_WIDTH + 103]);
  // Nothing is visible before a sync.
  EXPECT_EQ(0u, Sim_SyncCount());
  EXPECT_EQ(0u, Shown(103, 104));
  TAP_Osd_Sync();
  EXPECT_EQ(1u, Sim_SyncCount());
  EXPECT_EQ(kRed, Shown(103, 104));
  // Writes through the plane pointer are drawing too.
  info.pixels[0] = kBlue;
  EXPECT_EQ(kBlue, Drawn(0, 0));
  EXPECT_EQ(0u, Shown(0, 0));
  TAP_Osd_Sync();
  EXPECT_EQ(kBlue, Shown(0, 0));
  EXPECT_EQ(2u, Sim_SyncCount());
  // The plane stays where it is.
  TYPE_OsdBaseInfo again{};
  TAP_Osd_GetPlaneBaseInfo(&again);
  EXPECT_EQ(info.pixels, again.pixels);
}

bool ReadPng(const std::string &path, std::vector<unsigned char> &rgb, png_uint_32 &w,
             png_uint_32 &h) {
  png_image img;
  memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&img, path.c_str())) return false;
  w = img.width;
  h = img.height;
  img.format = PNG_FORMAT_RGB;
  rgb.resize(PNG_IMAGE_SIZE(img));
  return png_image_finish_read(&img, nullptr, rgb.data(), 0, nullptr) != 0;
}

TEST_F(OsdTest, ScreenshotCompositesTheShownPlaneOverACheckerboard) {
  word r = TAP_Osd_Create(0, 0, OSD_WIDTH, OSD_HEIGHT, 0, 0);
  TAP_Osd_PutPixel(r, 20, 20, kRed);
  TAP_Osd_PutPixel(r, 21, 20, 0x80FFFFFF); // half white over light grey
  TAP_Osd_PutPixel(r, 719, 575, kBlue);
  TAP_Osd_Sync();
  TAP_Osd_PutPixel(r, 30, 30, kGreen); // drawn after the sync: not shown

  const std::string path = root_ + "/shot.png";
  ASSERT_EQ(1, Sim_Screenshot(path.c_str()));
  std::vector<unsigned char> rgb;
  png_uint_32 w = 0, h = 0;
  ASSERT_TRUE(ReadPng(path, rgb, w, h));
  ASSERT_EQ(png_uint_32(OSD_WIDTH), w);
  ASSERT_EQ(png_uint_32(OSD_HEIGHT), h);
  auto at = [&](int x, int y) {
    const unsigned char *p = &rgb[(size_t(y) * OSD_WIDTH + x) * 3];
    return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
  };
  EXPECT_EQ(0xFF0000u, at(20, 20));
  // (255 * 128 + 192 * 127) / 255 = 224.1
  EXPECT_EQ(0xE0E0E0u, at(21, 20));
  EXPECT_EQ(0x0000FFu, at(719, 575));
  // The checkerboard: 8-pixel squares, light at the top-left.
  EXPECT_EQ(0xC0C0C0u, at(0, 0));
  EXPECT_EQ(0xC0C0C0u, at(7, 7));
  EXPECT_EQ(0x808080u, at(8, 0));
  EXPECT_EQ(0x808080u, at(7, 8));
  EXPECT_EQ(0xC0C0C0u, at(8, 8));
  EXPECT_EQ(0xC0C0C0u, at(30, 30)); // green came after the sync

  EXPECT_EQ(0, Sim_Screenshot((root_ + "/no/such/folder/shot.png").c_str()));
  EXPECT_EQ(0, Sim_Screenshot(nullptr));
  EXPECT_EQ(0, Sim_Screenshot(""));
}

TEST_F(OsdTest, InitStartsWithAnEmptyScreen) {
  word r = TAP_Osd_Create(0, 0, 10, 10, 0, 0);
  TAP_Osd_FillBox(r, 0, 0, 10, 10, kRed);
  TAP_Osd_Sync();
  ASSERT_EQ(1, Sim_Init(root_.c_str()));
  EXPECT_EQ(0, Sim_RegionCount());
  EXPECT_EQ(0u, Sim_SyncCount());
  EXPECT_EQ(0u, Drawn(0, 0));
  EXPECT_EQ(0u, Shown(0, 0));
  EXPECT_NE(0, TAP_Osd_FillBox(r, 0, 0, 1, 1, kRed));
}

} // namespace
