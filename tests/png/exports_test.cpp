// The raw and source-array exports, name cleaning, drawing a PNG onto the
// screen with alpha, and the header summary.
#include <string.h>

#include <algorithm>

#include "oracle.h"
#include "pngcodec.h"
#include "testdisk.h"

namespace {

// A palette picture without its palette: refused when its data are read.
std::string NoPalette() {
  std::string f = LibpngImage(1, 1, 3, 8, {0});
  return f.replace(f.find("PLTE"), 4, "pLTx"); // an unknown chunk now, skipped
}

class Exports : public InProgramFiles {
protected:
  void Put(const std::string &name, const std::string &bytes) {
    ASSERT_TRUE(WriteHostFile(Host("/ProgramFiles/" + name), bytes));
  }
  std::string File(const std::string &name) {
    std::string bytes;
    EXPECT_TRUE(ReadHostFile(Host("/ProgramFiles/" + name), bytes)) << name;
    return bytes;
  }
};

TEST_F(Exports, RawExportHoldsTheDecodedBytes) {
  Put("g.png", LibpngImage(2, 1, 0, 16, {0x12, 0x34, 0xAB, 0xCD}));
  ASSERT_TRUE(WriteHostFile(Host("/ProgramFiles/g.pngraw"), std::string(50, 'o')));
  EXPECT_EQ(PNG_R_OK, png_save_raw("g.png"));
  EXPECT_EQ(std::string("\x34\x12\xCD\xAB", 4), File("g.pngraw")); // low byte first, old file gone
  EXPECT_EQ(PNG_R_FILE, png_save_raw("missing.png"));
  Put("bad.png", "not a png at all");
  EXPECT_EQ(PNG_R_HEADER, png_save_raw("bad.png"));
  PngSpec palette; // indices, one a byte
  palette.colorType = 3;
  palette.depth = 4;
  palette.width = 2;
  Put("pal.png", LibpngWrite(palette, {0x3A}));
  EXPECT_EQ(PNG_R_OK, png_save_raw("pal.png"));
  EXPECT_EQ(std::string("\x03\x0A", 2), File("pal.pngraw"));
  Put("odd.png", NoPalette());
  EXPECT_EQ(PNG_R_PALETTE, png_save_raw("odd.png"));
  Sim_FailAllocNth(1);
  EXPECT_EQ(PNG_R_MEMORY, png_save_raw("g.png"));
}

TEST_F(Exports, SourceArrayExport) {
  PngSpec s;
  s.width = 2;
  s.height = 3;
  const std::string png = LibpngWrite(s, {1, 2, 3, 4, 5, 6});
  Put("my logo-1.png", png);
  ASSERT_EQ(PNG_R_OK, png_save_c("my logo-1.png"));
  std::string expected = "byte my_logo_1_pngc[] =\n{\n ";
  size_t i = 0;
  char text[16];
  for (; png.size() - i >= 16; i += 16) {
    for (size_t k = 0; k < 16; ++k) {
      snprintf(text, sizeof text, " 0x%02X,", uint8_t(png[i + k]));
      expected += text;
    }
    expected += "\n ";
  }
  for (; i < png.size(); ++i) {
    snprintf(text, sizeof text, " 0x%02X,", uint8_t(png[i]));
    expected += text;
  }
  expected +=
      "\n};\n//width  2\n//height 3\n//depth  8\n//bytes  " + std::to_string(png.size()) + "\n";
  EXPECT_EQ(expected, File("my_logo_1.pngc"));
  EXPECT_EQ(0u, expected.find("byte my_logo_1_pngc[] =\n{\n  0x89, 0x50, 0x4E, 0x47,"));

  // More than 100 lines: written in batches, the same text.
  PngSpec big;
  big.width = 200;
  big.height = 100;
  big.colorType = 2;
  std::vector<uint8_t> noise(200 * 100 * 3);
  uint32_t x = 7;
  for (uint8_t &b : noise) b = uint8_t((x = x * 1103515245u + 12345u) >> 16);
  const std::string bigPng = LibpngWrite(big, noise);
  ASSERT_GT(bigPng.size(), 16u * 250);
  Put("big.png", bigPng);
  ASSERT_EQ(PNG_R_OK, png_save_c("big.png"));
  const std::string c = File("big.pngc");
  // Two lines of head, one a full row of 16 bytes, six of tail.
  EXPECT_EQ(bigPng.size() / 16, size_t(std::count(c.begin(), c.end(), '\n')) - 8);
  EXPECT_NE(std::string::npos, c.find("//bytes  " + std::to_string(bigPng.size()) + "\n"));

  EXPECT_EQ(PNG_R_FILE, png_save_c("missing.png"));
  // A name longer than the export's name buffer is refused, not overrun.
  const std::string longName = std::string(70, 'l') + ".png";
  Put(longName, png);
  EXPECT_EQ(PNG_R_FILE, png_save_c(longName.c_str()));
  EXPECT_EQ(PNG_R_FILE, png_save_raw(longName.c_str()));
}

TEST(PngNames, UnsafeCharactersBecomeUnderscores) {
  char name[] = "a b!\"#$%&'()*+,-./:;<=>?@[Z]\x05\xE4~";
  png_entfernen(name);
  EXPECT_STREQ("a_b__________+__________@[Z]_\xE4~", name);
}

TEST(PngAlpha, Blending) {
  EXPECT_EQ(0x40, pngAlphaBlend(0, 0xFF, 0x40));
  EXPECT_EQ(0xFF, pngAlphaBlend(255, 0xFF, 0x40));
  EXPECT_EQ((127 * 0x40 + 128 * 0xFF) >> 8, pngAlphaBlend(128, 0xFF, 0x40)); // by 256, not 255
  EXPECT_EQ(0x80123456u, pngAlphaBlendRGB(0x80, 0xFF123456, 0)); // over nothing: own alpha
  EXPECT_EQ(0xFF102030u, pngAlphaBlendRGB(0, 0xFFFFFFFF, 0xFF102030));
  EXPECT_EQ(0xFFABCDEFu, pngAlphaBlendRGB(255, 0xFFABCDEF, 0xFF000001));
}

TEST_F(Exports, DrawingWithAlphaOverTheScreen) {
  const word rgn = TAP_Osd_Create(0, 0, 720, 576, 0, 0);
  TAP_Osd_FillBox(rgn, 0, 0, 720, 576, 0xFF204060);
  PngSpec s;
  s.width = 2;
  s.height = 1;
  s.colorType = 6;
  Put("a.png", LibpngWrite(s, {255, 0, 0, 255, 0, 0, 255, 0}));
  ASSERT_EQ(PNG_R_OK, png_show(rgn, 0, 0, 719, 575, 10, 20, "a.png", nullptr, 0, 0, 0, 0));
  const uint32_t *plane = Sim_DrawPlane();
  EXPECT_EQ(0xFFFF0000u, plane[20 * 720 + 10]);
  EXPECT_EQ(0xFF204060u, plane[20 * 720 + 11]); // alpha 0 keeps the background
  // Centred, with a fixed background colour and a clip at max_x.
  const std::string file = File("a.png");
  ASSERT_EQ(PNG_R_OK, png_show(rgn, 0, 0, 100, 50, -1, -1, nullptr, file.data(),
                               uint32_t(file.size()), -1, 0xFF000000, 0));
  EXPECT_EQ(0xFFFF0000u, plane[25 * 720 + 49]);
  EXPECT_EQ(PNG_R_OK, png_show(rgn, 0, 0, 300, 300, 300, 300, "a.png", nullptr, 0, 0, 0, 0));
  EXPECT_EQ(0xFFFF0000u, plane[300 * 720 + 300]);
  EXPECT_EQ(0xFF204060u, plane[300 * 720 + 301]); // beyond max_x: not drawn

  // A palette with alpha over the screen.
  s.colorType = 3;
  s.palette = {0xFFFF0000, 0x00FFFFFF};
  Put("p.png", LibpngWrite(s, {0, 1}));
  ASSERT_EQ(PNG_R_OK, png_show(rgn, 0, 0, 719, 575, 10, 30, "p.png", nullptr, 0, 0, 0, 0));
  EXPECT_EQ(0xFFFF0000u, plane[30 * 720 + 10]);
  EXPECT_EQ(0xFF204060u, plane[30 * 720 + 11]);

  EXPECT_EQ(-1, png_show(rgn, 0, 0, 719, 575, 0, 0, nullptr, nullptr, 0, 0, 0, 0));
  TAP_Osd_Delete(rgn);
}

TEST_F(Exports, RefusalsAreShownInTheChosenLanguage) {
  const word rgn = TAP_Osd_Create(0, 0, 720, 576, 0, 0);
  Put("odd.png", NoPalette());
  EXPECT_EQ(PNG_R_PALETTE,
            png_show(rgn, 0, 0, 719, 575, 0, 0, "odd.png", nullptr, 0, -1, 0xFF000000, 0));
  EXPECT_EQ(0u, Sim_DrawPlane()[420 * 720 + 60]); // no message without messages
  EXPECT_EQ(PNG_R_PALETTE,
            png_show(rgn, 0, 0, 719, 575, 0, 0, "odd.png", nullptr, 0, -1, 0xFF000000, 1));
  // The message box line at (60, 420) now has its background and white text.
  bool text = false;
  for (int y = 420; y < 440; ++y)
    for (int x = 60; x < 200; ++x) text |= Sim_DrawPlane()[y * 720 + x] == 0xFFFFFFFF;
  EXPECT_TRUE(text);
  EXPECT_EQ(0xFF101010u, Sim_DrawPlane()[420 * 720 + 60]);
  TAP_Osd_Delete(rgn);
}

TEST_F(Exports, HeaderSummaryOnTheConsole) {
  PngSpec s;
  s.width = 3;
  s.height = 2;
  s.colorType = 4;
  Put("s.png", LibpngWrite(s, std::vector<uint8_t>(12, 1)));
  png_image png;
  memset(&png, 0, sizeof png);
  ASSERT_EQ(PNG_R_OK, png_open_file_read(&png, "s.png"));
  png_close_file(&png);
  const word rgn = TAP_Osd_Create(0, 0, 720, 576, 0, 0);
  testing::internal::CaptureStderr();
  tapprint = 1;
  png_print_info(&png, rgn, 10, 10, 0);
  png_print_info(&png, rgn, 10, 110, 1);
  tapprint = 0;
  const std::string console = testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos,
            console.find("width:    3, height:    2, depth:    8 Bits, bytes per pixel: 2, raw "
                         "size:     12\ncolor: greyscale with alpha\ncompression: "
                         "inflate/deflate\nfilter: adaptive\ninterlace: no interlace\n"));
  EXPECT_NE(std::string::npos, console.find("Breite:    3, H\xF6he:    2, Farbtiefe:    8 Bits, "
                                            "Byte pro Pixel: 2, Roh-Gr\xF6\xDF"
                                            "e:     12\nFarbe: "
                                            "Graustufen mit Alpha\nKomprimierung: "
                                            "inflate/deflate\nFilter: adaptiv\nInterlace: nein\n"));
  EXPECT_EQ(0xFF101010u, Sim_DrawPlane()[29 * 720 + 10]); // first line at y + 19
  TAP_Osd_Delete(rgn);
}

} // namespace
