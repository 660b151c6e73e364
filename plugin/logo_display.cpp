// logo_display.cpp - the logo beside the file list (1:1), and the detail
// view: four magnifications over the test background, the text block and
// legend, marking of transparent and near-black pixels, the pixel dump.
#include <stdio.h>
#include <string.h>

#include <iterator>

#include "Velumo.h"
#include "tklib.h"

static bool FromRawFile() {
  const LogoFormat *format = LogoFormatOf(logoExt);
  return !format || format->kind == kLogoRaw16 || format->kind == kLogoRaw32;
}

// The logo pixel's channels, with a bitmap's near black lifted to (8, 8, 8):
// a BMP has no transparency, so its black is meant.
static void Channels(uint32_t pixel, uint32_t &a, uint32_t &r, uint32_t &g, uint32_t &b) {
  a = pixel >> 24;
  r = pixel >> 16 & 0xFF;
  g = pixel >> 8 & 0xFF;
  b = pixel & 0xFF;
  if (strcmp(logoExt, ".bmp") == 0 && r < 8 && g < 8 && b < 8) r = g = b = 8;
}

static uint32_t Colour(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
  return LogoAlphaBlendRGB(a, 0xFF000000u | r << 16 | g << 8 | b, bgcolor);
}

// One logo pixel magnified: the detail view's blocks all lie on the screen,
// so one box gives the very pixels that one call per pixel would.
static void Block(word region, int x, int y, int size, uint32_t colour) {
  TAP_Osd_FillBox(region, dword(x), dword(y), dword(size), dword(size), colour);
}

static void AddLegend() {
  static const struct {
    dword line, icon;
    const char *german, *english;
  } kLegend[] = {
      {1, 39, "Hintergrund ", "background "},
      {1, 21, "Fehler ", "errors "},
      {1, 55, "Transparenz ", "transparency "},
      {1, 14, "Daten-Dump ", "dump data "},
      {2, 31, "", ""},
      {2, 29, "", ""},
      {2, 17,
       "zur\xFC"
       "ck ",
       "back "},
      {2, 46, "beenden ", "exit "},
      {3, 41, "", ""},
      {3, 25, "vorheriges Logo ", "previous logo "},
      {3, 19, "", ""},
      {3, 24,
       "n\xE4"
       "chstes Logo ",
       "next logo "},
  };
  for (const auto &b : kLegend)
    OSDMenuButtonAdd(b.line, b.icon, nullptr, Lang(b.german, b.english));
}

// A PNG is named by what its header says it holds, "PNG 8-bit palette":
// the same extension covers pictures of 1 to 64 bits a pixel.
static void PngKindName(char *text, size_t size) {
  static const char *const kKinds[][2] = {
      {"Graustufen", "greyscale"},
      {nullptr, nullptr},
      {"RGB", "RGB"},
      {"Palette", "palette"},
      {"Graustufen+Alpha", "greyscale+alpha"},
      {nullptr, nullptr},
      {"RGBA", "RGBA"},
  };
  const uint8_t type = logoPng.colorType;
  const char *kind =
      type < std::size(kKinds) && kKinds[type][0] ? Lang(kKinds[type][0], kKinds[type][1]) : "?";
  snprintf(text, size, Lang("PNG %d-Bit %s%s", "PNG %d-bit %s%s"), int(logoPng.depth), kind,
           logoPng.interlace ? Lang(" mit Zeilensprung", " interlaced") : "");
}

static void Detail(word region, int X, int Y) {
  ChangeState(MS_LogoDetail);
  const int W = int(logoW), H = int(logoH);
  if (X == 0) {
    X = FromRawFile() ? 664 : 700;
    Y = 478;
  }
  const LogoFormat *format = LogoFormatOf(logoExt);
  if (format && format->kind == kLogoPng && logoPng.depth) {
    PngKindName(buf, sizeof buf);
  } else {
    strcpy(buf, logoExt[0] == '.' ? logoExt + 1 : logoExt);
    UpperCase(buf);
  }
  const int depth = format ? format->bits : 16;
  static char textBuffer[1024];
  snprintf(textBuffer, sizeof textBuffer,
           Lang("Verz.: %s\nDatei: %s\nAufl.: %2dx%2d\nTyp: %s, Farben: %d Bit\n",
                "Dir.: %s\nFile: %s\nRes.: %2dx%2d\nType: %s, Colors: %d bit\n"),
           currentDir, logofile, W, H, buf, depth);
  OSDMemoInitialize(false, PROGRAM_NAME, nullptr, textBuffer);
  AddLegend();
  OSDMenuUpdate(true);
  if (FromRawFile() || strcmp(logoExt, ".bmp") == 0)
    TAP_Osd_FillBox(region, 50, 200, 614, 279, bgcolor);
  else
    TAP_Osd_FillBox(region, 20, 200, 680, 279, bgcolor);

  static char entry[80];
  static char line[2000];
  for (int r = 0; r < H; ++r) {
    if (dump) strcpy(line, "\n");
    for (int c = 0; c < W; ++c) {
      uint32_t a, red, g, b;
      Channels(logoData32[r * W + c], a, red, g, b);
      uint32_t colour = Colour(a, red, g, b);
      if (dump) {
        snprintf(entry, sizeof entry, "index %6d, x %2d, y %2d, a %3d, r %3d, g %3d, b %3d\n",
                 r * W + c, c, r, int(a), int(red), int(g), int(b));
        strncat(line, entry, sizeof line - strlen(line) - 1);
        if ((c + 1) % 25 == 0) {
          WriteLog("%s", line);
          strcpy(line, "\n");
        }
      }
      if (showerror && a == 255 && red < 8 && g < 8 && b < 8) colour = 0xFFFF00FF;
      if (showtrans && a != 255) colour = 0xFF008080;
      TAP_Osd_PutPixel(region, dword(X - 8 * W - 2 + c), dword(Y - 7 * H - 2 + r), colour);
      Block(region, X - 9 * W - 2 + 2 * c, Y - 6 * H - 1 + 2 * r, 2, colour);
      Block(region, X - 11 * W - 2 + 4 * c, Y - 4 * H + 4 * r, 4, colour);
      Block(region, X - 7 * W - 1 + 7 * c, Y - 7 * H + 7 * r, 7, colour);
    }
    if (dump && strlen(line) > 2) WriteLog("%s", line);
  }
  // The frames lie outside the pixel areas: drawn once, after the pixels.
  const uint32_t frame = 0xFF00FFFF;
  TAP_Osd_DrawRectangle(region, dword(X - 7 * W - 2), dword(Y - 7 * H - 1), dword(7 * W + 2),
                        dword(7 * H + 2), 1, frame);
  TAP_Osd_DrawRectangle(region, dword(X - 8 * W - 3), dword(Y - 7 * H - 3), dword(W + 2),
                        dword(H + 2), 1, frame);
  TAP_Osd_DrawRectangle(region, dword(X - 9 * W - 3), dword(Y - 6 * H - 2), dword(2 * W + 2),
                        dword(2 * H + 2), 1, frame);
  TAP_Osd_DrawRectangle(region, dword(X - 11 * W - 3), dword(Y - 4 * H - 1), dword(4 * W + 2),
                        dword(4 * H + 2), 1, frame);
  dump = 0;
  WriteDebugLog("= Showed channel logofile\n");
}

void DrawLogoPreview(word region, int32_t x, int32_t y) {
  WriteDebugLog("> Showing channel logo\n");
  for (uint32_t r = 0; r < logoH; ++r)
    for (uint32_t c = 0; c < logoW; ++c) {
      uint32_t a, red, g, b;
      Channels(logoData32[r * logoW + c], a, red, g, b);
      TAP_Osd_PutPixel(region, dword(x) + c, dword(y) + r, Colour(a, red, g, b));
    }
}

void ShowChannelLogo(word region, int32_t x, int32_t y, int32_t detail) {
  if (detail) {
    WriteDebugLog("> Showing channel logo\n");
    Detail(region, x, y);
  } else {
    DrawLogoPreview(region, x, y);
  }
  TAP_Osd_Sync();
  if (detail) WriteDebugLog("< Showing channel logo\n");
}
