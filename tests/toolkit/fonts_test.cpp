// Bitmap fonts and the anti-aliased text renderer: font data, character
// rules, blending, fitting a text into its span, alignment, and what reaches
// the screen.
#include <string.h>

#include <string>

#include "menu_support.h"

namespace {

struct FontCase {
  const FontData *font;
  const char *name;
  uint32_t height, blank, a, widest;
};

const FontCase kFonts[] = {
    {&Calibri_10_FontData, "10", 15, 3, 8, 12}, // "A" one pixel wider than 7
    {&Calibri_12_FontData, "12", 19, 4, 9, 14},   {&Calibri_14_FontData, "14", 23, 4, 11, 17},
    {&Calibri_16_FontData, "16", 26, 5, 12, 19},  {&Calibri_18_FontData, "18", 29, 5, 14, 21},
    {&Calibri_20_FontData, "20", 33, 6, 16, 24},  {&Calibri_20B_FontData, "20B", 33, 6, 16, 24},
    {&Calibri_FontData, "plug-in", 19, 4, 9, 14},
};

uint32_t Width(const FontData &f, byte c) {
  return f.Glyph[FM_CharToIndex(c)].Width;
}

TEST(FontData, HeightsWidthsAndLayout) {
  for (const FontCase &c : kFonts) {
    SCOPED_TRACE(c.name);
    const FontData &f = *c.font;
    ASSERT_NE(nullptr, f.Bitmap);
    EXPECT_EQ(c.blank, Width(f, ' '));
    EXPECT_EQ(c.a, Width(f, 'A'));
    uint32_t widest = 0, offset = 0;
    for (int i = 0; i < kFontGlyphs; ++i) {
      const FontGlyph &g = f.Glyph[i];
      EXPECT_EQ(c.height, g.Height) << "glyph " << i;
      EXPECT_EQ(offset, g.Offset) << "glyph " << i; // images follow one another
      EXPECT_GT(g.Width, 0u) << "glyph " << i;
      offset += g.Width * g.Height;
      if (g.Width > widest) widest = g.Width;
    }
    EXPECT_EQ(c.widest, widest);
    EXPECT_EQ(c.height, FM_GetStringHeight("Ag", &f));
  }
  // Glyphs carry ink where letters are and none in the blank.
  const FontGlyph &blank = Calibri_14_FontData.Glyph[0];
  for (uint32_t i = 0; i < blank.Width * blank.Height; ++i)
    EXPECT_EQ(0, Calibri_14_FontData.Bitmap[blank.Offset + i]);
  const FontGlyph &a = Calibri_14_FontData.Glyph[FM_CharToIndex('A')];
  int covered = 0;
  for (uint32_t i = 0; i < a.Width * a.Height; ++i)
    covered += Calibri_14_FontData.Bitmap[a.Offset + i] == 255;
  EXPECT_GT(covered, 10);
}

TEST(FontData, PlugInRecordDrawsFromTheSize12Bitmap) {
  // A record of its own, but no second copy of the images: the same bitmap
  // and the same glyph table give the same pixels for every character.
  EXPECT_NE(&Calibri_12_FontData, &Calibri_FontData);
  EXPECT_EQ(Calibri_12_Bitmap, Calibri_12_FontData.Bitmap);
  EXPECT_EQ(Calibri_12_Bitmap, Calibri_FontData.Bitmap);
  EXPECT_EQ(
      0, memcmp(Calibri_FontData.Glyph, Calibri_12_FontData.Glyph, sizeof Calibri_FontData.Glyph));
}

TEST(FontData, CharacterRules) {
  EXPECT_FALSE(FM_isValidCharacter(0x1F));
  EXPECT_TRUE(FM_isValidCharacter(0x20));
  EXPECT_TRUE(FM_isValidCharacter(0x7E));
  for (int c = 0x7F; c <= 0x9F; ++c) EXPECT_FALSE(FM_isValidCharacter(byte(c))) << c;
  EXPECT_TRUE(FM_isValidCharacter(0xA0));
  EXPECT_TRUE(FM_isValidCharacter(0xFF));
  EXPECT_EQ(0, FM_CharToIndex(' '));
  EXPECT_EQ(94, FM_CharToIndex('~'));
  EXPECT_EQ(95, FM_CharToIndex(0xA0));
  EXPECT_EQ(163, FM_CharToIndex(0xE4)); // ä
  EXPECT_EQ(190, FM_CharToIndex(0xFF));
  EXPECT_EQ(0, FM_CharToIndex(0x85));
  EXPECT_EQ(0, FM_CharToIndex(0x0A));
}

TEST(FontData, MeasuringSkipsBytesWithoutGlyph) {
  const FontData &f = Calibri_14_FontData;
  const dword ab = Width(f, 'A') + Width(f, 'B');
  EXPECT_EQ(ab, FM_GetStringWidth("AB", &f));
  EXPECT_EQ(ab, FM_GetStringWidth("\x01"
                                  "A\x7F\x85\x9F"
                                  "B\n",
                                  &f));
  EXPECT_EQ(Width(f, 0xE4) + Width(f, 'A'), FM_GetStringWidth("\xE4"
                                                              "A",
                                                              &f));
  EXPECT_EQ(0u, FM_GetStringWidth("", &f));
  EXPECT_EQ(0u, FM_GetStringWidth(nullptr, &f));
  EXPECT_EQ(0u, FM_GetStringWidth("AB", nullptr));
  FontData noBitmap = f;
  noBitmap.Bitmap = nullptr;
  EXPECT_EQ(0u, FM_GetStringWidth("AB", &noBitmap));
  EXPECT_EQ(0u, FM_GetStringHeight("\x85\x90", &f)); // no valid character
  EXPECT_EQ(23u, FM_GetStringHeight("\x85x", &f));
}

TEST(Blending, ChannelsAndTable) {
  EXPECT_EQ(100, FM_AlphaBlend(0, 200, 100, 1.0f));
  EXPECT_EQ(200, FM_AlphaBlend(255, 200, 100, 0.5f)); // full coverage ignores the factor
  // (127 * 100 + 128 * 200) / 256 = 149.6, truncated.
  EXPECT_EQ(149, FM_AlphaBlend(128, 200, 100, 1.0f));
  EXPECT_EQ(74, FM_AlphaBlend(128, 200, 100, 0.5f));
  EXPECT_EQ(255, FM_AlphaBlend(128, 200, 100, 2.0f)); // limited
  EXPECT_EQ(0, FM_AlphaBlend(1, 0, 0, 1.0f));
  EXPECT_EQ(0x00959832u, FM_AlphaBlendRGB(128, 0xFFC8FF64, 0x80643200, 1.0f));
  // Alpha byte of the result is always 0; channels do not bleed into each other.
  EXPECT_EQ(0x00FFFFFFu, FM_AlphaBlendRGB(255, 0xFFFFFFFF, 0, 1.0f));

  FM_InitAlphaLUT(0xFFFFFFFF, 0xFF000000, 1.0f);
  EXPECT_EQ(0, AlphaLUT[0].r);
  EXPECT_EQ(127, AlphaLUT[128].g); // 128 * 255 / 256
  EXPECT_EQ(253, AlphaLUT[254].b);
  FM_InitAlphaLUT(0xFF0000FF, 0xFF00FF00, 1.0f);
  EXPECT_EQ(0, AlphaLUT[100].r);
  EXPECT_EQ(154, AlphaLUT[100].g); // 155 * 255 / 256 = 154.4
  EXPECT_EQ(99, AlphaLUT[100].b);
}

// Text on a region of its own, so that positions are known exactly.
class Render : public MenuTest {
protected:
  void SetUp() override {
    MenuTest::SetUp();
    rgn_ = TAP_Osd_Create(0, 0, 400, 60, 0, 0);
    ASSERT_NE(0, rgn_);
    TAP_Osd_FillBox(rgn_, 0, 0, 400, 60, kBack);
  }
  void TearDown() override {
    TAP_Osd_Delete(rgn_);
    MenuTest::TearDown();
  }
  // The text as drawn left-aligned without any fitting, for comparison.
  Block Expected(const char *text, int x, int w) {
    const word scratch = TAP_Osd_Create(0, 0, 400, 60, 0, OSD_Flag_MemRgn);
    TAP_Osd_FillBox(scratch, 0, 0, 400, 60, kBack);
    FM_PutString(scratch, dword(x), 5, 399, text, kInk, 0, &Calibri_14_FontData, TRUNC_CUT,
                 ALIGN_LEFT);
    uint32_t *p = static_cast<uint32_t *>(TAP_Osd_SaveBox(scratch, 0, 5, dword(w), 24));
    Block b;
    b.w = w;
    b.h = 24;
    b.px.assign(p, p + size_t(w) * 24);
    TAP_MemFree(p);
    TAP_Osd_Delete(scratch);
    return b;
  }
  void Draw(const char *text, dword x, dword maxX, byte mode, byte align, uint32_t back = 0) {
    FM_PutString(rgn_, x, 5, maxX, text, kInk, back, &Calibri_14_FontData, mode, align);
  }
  static constexpr uint32_t kBack = 0xFF203040, kInk = 0xFFF0E0D0;
  word rgn_ = 0;
};

TEST_F(Render, GlyphPixelsOverSolidAndOverScreen) {
  const FontGlyph &g = Calibri_14_FontData.Glyph[FM_CharToIndex('A')];
  const byte *cover = Calibri_14_FontData.Bitmap + g.Offset;
  Draw("A", 10, 100, TRUNC_CUT, ALIGN_LEFT); // blended onto the screen
  int partial = 0;
  for (uint32_t i = 0; i < g.Height; ++i)
    for (uint32_t j = 0; j < g.Width; ++j) {
      const byte a = cover[i * g.Width + j];
      const uint32_t px = Drawn(int(10 + j), int(5 + i));
      if (a == 0)
        EXPECT_EQ(kBack, px);
      else if (a == 255)
        EXPECT_EQ(kInk, px);
      else {
        ++partial;
        const uint32_t want = 0xFF000000u | uint32_t(FM_AlphaBlendRGB(a, kInk, kBack, 1.0f));
        EXPECT_EQ(want, px) << i << "," << j;
      }
    }
  EXPECT_GT(partial, 5); // anti-aliased edges

  // Over a solid background: the span is filled first, edges from the table.
  Draw("A", 10, 100, TRUNC_CUT, ALIGN_LEFT, 0xFF000080);
  for (uint32_t i = 0; i < g.Height; ++i)
    for (uint32_t j = 0; j < g.Width; ++j) {
      const byte a = cover[i * g.Width + j];
      const uint32_t want = a == 0     ? 0xFF000080u
                            : a == 255 ? kInk
                                       : 0xFF000000u | FM_AlphaBlendRGB(a, kInk, 0xFF000080, 1.0f);
      EXPECT_EQ(want, Drawn(int(10 + j), int(5 + i)));
    }
  EXPECT_EQ(0xFF000080u, Drawn(99, 5));      // the whole span X..MaxX-1
  EXPECT_EQ(0xFF000080u, Drawn(99, 5 + 23)); // height + 1 rows
  EXPECT_EQ(kBack, Drawn(100, 5));           // not MaxX itself
  EXPECT_EQ(kBack, Drawn(50, 5 + 24));       // nor below
  EXPECT_EQ(kBack, Drawn(9, 10));            // nor left of X
}

TEST_F(Render, TransparentBackgroundLeavesTheScreen) {
  // A striped screen: every pixel the glyphs do not cover stays as it was.
  for (dword x = 0; x < 400; x += 2) TAP_Osd_FillBox(rgn_, x, 0, 1, 60, 0xFF00FF00);
  const Block before = DrawnBlock(0, 0, 400, 60);
  Draw("Wall of text", 20, 300, TRUNC_CUT, ALIGN_LEFT);
  const Block after = DrawnBlock(0, 0, 400, 60);
  int changed = 0;
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 400; ++x) {
      if (before.At(x, y) == after.At(x, y)) continue;
      ++changed;
      EXPECT_TRUE(x >= 20 &&
                  x < 20 + int(FM_GetStringWidth("Wall of text", &Calibri_14_FontData)) && y >= 5 &&
                  y < 5 + 23)
          << x << "," << y;
    }
  EXPECT_GT(changed, 50);
}

TEST_F(Render, FittingIntoTheSpan) {
  const FontData &f = Calibri_14_FontData;
  const char *text = "ABCDEFGHIJ";
  // Room for "ABCD..." but not for "ABCDE...".
  const dword span = FM_GetStringWidth("ABCD...", &f);
  ASSERT_GT(FM_GetStringWidth("ABCDE...", &f), span + 1);

  Draw(text, 10, 10 + span, TRUNC_DOTS_END, ALIGN_LEFT);
  EXPECT_EQ(Expected("ABCD...", 10, 300), DrawnBlock(0, 5, 300, 24));
  EXPECT_LT(LastInk(0, 399, 5, 28, kBack), int(10 + span)); // dots included, before MaxX

  TAP_Osd_FillBox(rgn_, 0, 0, 400, 60, kBack);
  Draw(text, 10, 10 + FM_GetStringWidth("...GHIJ", &f), TRUNC_DOTS_START, ALIGN_LEFT);
  EXPECT_EQ(Expected("...GHIJ", 10, 300), DrawnBlock(0, 5, 300, 24));

  TAP_Osd_FillBox(rgn_, 0, 0, 400, 60, kBack);
  Draw(text, 10, 10 + FM_GetStringWidth("ABCDEF", &f), TRUNC_CUT, ALIGN_LEFT);
  EXPECT_EQ(Expected("ABCDEF", 10, 300), DrawnBlock(0, 5, 300, 24));

  // Bytes without a glyph at the end do not stop the shortening.
  TAP_Osd_FillBox(rgn_, 0, 0, 400, 60, kBack);
  Draw("ABCDEFGHIJ\x85\x01", 10, 10 + span, TRUNC_DOTS_END, ALIGN_LEFT);
  EXPECT_EQ(Expected("ABCD...", 10, 300), DrawnBlock(0, 5, 300, 24));

  // Too narrow for even the dots, an unknown mode, an empty span: nothing.
  TAP_Osd_FillBox(rgn_, 0, 0, 400, 60, kBack);
  const Block blank = DrawnBlock(0, 0, 400, 60);
  Draw(text, 10, 10 + FM_GetStringWidth("...", &f) - 1, TRUNC_DOTS_END, ALIGN_LEFT);
  Draw(text, 10, 10 + FM_GetStringWidth("...", &f) - 1, TRUNC_DOTS_START, ALIGN_LEFT);
  Draw(text, 10, 20, 3, ALIGN_LEFT);
  Draw(text, 10, 10, TRUNC_CUT, ALIGN_LEFT);
  Draw(text, 10, 5, TRUNC_CUT, ALIGN_LEFT);
  Draw("", 10, 300, TRUNC_CUT, ALIGN_LEFT);
  Draw(nullptr, 10, 300, TRUNC_CUT, ALIGN_LEFT);
  FM_PutString(rgn_, 10, 5, 300, text, kInk, 0, nullptr, TRUNC_CUT, ALIGN_LEFT);
  EXPECT_EQ(blank, DrawnBlock(0, 0, 400, 60));
  // An unknown mode still draws a text that fits.
  Draw("AB", 10, 300, 3, ALIGN_LEFT);
  EXPECT_EQ(Expected("AB", 10, 300), DrawnBlock(0, 5, 300, 24));
}

TEST_F(Render, Alignment) {
  const dword w = FM_GetStringWidth("Mitte", &Calibri_14_FontData);
  Draw("Mitte", 100, 300, TRUNC_CUT, ALIGN_RIGHT);
  EXPECT_EQ(Expected("Mitte", int(300 - w), 400), DrawnBlock(0, 5, 400, 24));

  TAP_Osd_FillBox(rgn_, 0, 0, 400, 60, kBack);
  Draw("Mitte", 100, 300, TRUNC_CUT, ALIGN_CENTER);
  EXPECT_EQ(Expected("Mitte", int(100 + (200 - w) / 2), 400), DrawnBlock(0, 5, 400, 24));

  // A limit beyond the region is pulled back to its last column.
  TAP_Osd_FillBox(rgn_, 0, 0, 400, 60, kBack);
  Draw("Mitte", 100, 5000, TRUNC_CUT, ALIGN_RIGHT);
  EXPECT_EQ(Expected("Mitte", int(399 - w), 400), DrawnBlock(0, 5, 400, 24));
  EXPECT_EQ(400u, GetOSDRegionWidth(rgn_));
}

TEST_F(Render, LongTextsAreCutSafely) {
  std::string huge(2000, 'i');
  huge += "END";
  Draw(huge.c_str(), 0, 399, TRUNC_DOTS_END, ALIGN_LEFT);
  // The renderer works on the first 255 characters only.
  const Block cut = DrawnBlock(0, 5, 400, 24);
  TAP_Osd_FillBox(rgn_, 0, 0, 400, 60, kBack);
  Draw(huge.substr(0, 255).c_str(), 0, 399, TRUNC_DOTS_END, ALIGN_LEFT);
  EXPECT_EQ(DrawnBlock(0, 5, 400, 24), cut);
  EXPECT_NE(-1, LastInk(0, 399, 5, 28, kBack));

  // A 255-character text one pixel too wide loses one wide letter and gains
  // "...": 257 characters, more than the text itself may have.
  const FontData &f = Calibri_10_FontData;
  const std::string full(255, 'W');
  const dword ww = FM_GetStringWidth("W", &f), w = 255 * ww, dots = FM_GetStringWidth("...", &f);
  ASSERT_GE(ww, dots + 1);
  const word wide = TAP_Osd_Create(0, 0, 4000, 20, 0, OSD_Flag_MemRgn);
  const word ref = TAP_Osd_Create(0, 0, 200, 20, 0, OSD_Flag_MemRgn);
  auto row = [](word rgn, dword x, dword n) {
    uint32_t *p = static_cast<uint32_t *>(TAP_Osd_SaveBox(rgn, x, 0, n, 16));
    std::vector<uint32_t> v(p, p + n * 16);
    TAP_MemFree(p);
    return v;
  };
  FM_PutString(wide, 0, 0, w - 1, full.c_str(), kInk, 0, &f, TRUNC_DOTS_END, ALIGN_LEFT);
  FM_PutString(ref, 0, 0, 199, "W...", kInk, 0, &f, TRUNC_CUT, ALIGN_LEFT);
  EXPECT_EQ(row(ref, 0, ww + dots), row(wide, 253 * ww, ww + dots));
  EXPECT_EQ(std::vector<uint32_t>(16, 0), row(wide, 254 * ww + dots, 1));

  TAP_Osd_FillBox(wide, 0, 0, 4000, 20, 0);
  TAP_Osd_FillBox(ref, 0, 0, 200, 20, 0);
  FM_PutString(wide, 0, 0, w - 1, full.c_str(), kInk, 0, &f, TRUNC_DOTS_START, ALIGN_LEFT);
  FM_PutString(ref, 0, 0, 199, "...W", kInk, 0, &f, TRUNC_CUT, ALIGN_LEFT);
  EXPECT_EQ(row(ref, 0, ww + dots), row(wide, 0, ww + dots));
  EXPECT_NE(std::vector<uint32_t>(16 * ww, 0), row(wide, dots + 253 * ww, ww)); // last W
  TAP_Osd_Delete(wide);
  TAP_Osd_Delete(ref);
}

TEST_F(Render, NothingDrawnWithoutTheScreenBuffer) {
  Sim_FailAllocNth(1); // the read of the text's box
  Draw("Lost", 10, 300, TRUNC_CUT, ALIGN_LEFT);
  EXPECT_EQ(-1, LastInk(0, 399, 0, 59, kBack));
  // With a background the span is filled before; the glyphs are not drawn.
  Sim_FailAllocNth(1);
  Draw("Lost", 10, 300, TRUNC_CUT, ALIGN_LEFT, 0xFF000080);
  for (int x = 10; x < 300; ++x) ASSERT_EQ(0xFF000080u, Drawn(x, 12)) << x;
  // A box reaching below the region: the firmware gives no buffer either.
  TAP_Osd_FillBox(rgn_, 0, 0, 400, 60, kBack);
  FM_PutString(rgn_, 10, 50, 300, "Low", kInk, 0, &Calibri_14_FontData, TRUNC_CUT, ALIGN_LEFT);
  EXPECT_EQ(-1, LastInk(0, 399, 0, 59, kBack));
}

TEST_F(Render, RegionWidthFromTheFirmwareTable) {
  const word small = TAP_Osd_Create(100, 100, 37, 20, 0, 0);
  EXPECT_EQ(37u, GetOSDRegionWidth(small));
  TAP_Osd_Delete(small);
  EXPECT_EQ(0u, GetOSDRegionWidth(small));
}

} // namespace
