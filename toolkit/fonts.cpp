// fonts.cpp - anti-aliased text from the compiled-in bitmap fonts: measuring,
// fitting a text into a span, aligning it and blending its glyphs onto the
// OSD.
#include <string.h>

#include "tklib.h"

AlphaLUTEntry AlphaLUT[256];

// The renderer's work buffer holds 255 characters; "..." may be added to a
// text that was cut to fit, so the buffer has room for it beyond that.
constexpr size_t kWorkChars = 255;
constexpr size_t kWorkSize = kWorkChars + 1 + 3;

bool FM_isValidCharacter(byte Character) {
  return (Character >= 32 && Character <= 126) || Character >= 160;
}

byte FM_CharToIndex(byte Character) {
  if (Character >= 32 && Character <= 126) return byte(Character - 32);
  if (Character >= 160) return byte(Character - 65);
  return 0;
}

static bool Usable(const char *Text, const FontData *Font) {
  return Text && *Text && Font && Font->Bitmap;
}

static dword CharWidth(byte c, const FontData *Font) {
  return FM_isValidCharacter(c) ? Font->Glyph[FM_CharToIndex(c)].Width : 0;
}

dword FM_GetStringWidth(const char *Text, const FontData *Font) {
  if (!Usable(Text, Font)) return 0;
  dword width = 0;
  for (const byte *p = reinterpret_cast<const byte *>(Text); *p; ++p) width += CharWidth(*p, Font);
  return width;
}

dword FM_GetStringHeight(const char *Text, const FontData *Font) {
  if (!Usable(Text, Font)) return 0;
  dword height = 0;
  for (const byte *p = reinterpret_cast<const byte *>(Text); *p; ++p) {
    if (!FM_isValidCharacter(*p)) continue;
    const dword h = Font->Glyph[FM_CharToIndex(*p)].Height;
    if (h > height) height = h;
  }
  return height;
}

byte FM_AlphaBlend(byte Alpha, byte Fore, byte Back, float Factor) {
  if (Alpha == 0) return Back;
  if (Alpha == 255) return Fore;
  const dword v = (dword(255 - Alpha) * Back + dword(Alpha) * Fore) >> 8;
  const float scaled = float(v) * Factor;
  if (scaled <= 0) return 0;
  return scaled >= 255 ? 255 : byte(scaled);
}

dword FM_AlphaBlendRGB(byte Alpha, dword ForeRGB, dword BackRGB, float Factor) {
  dword result = 0;
  for (int shift = 0; shift <= 16; shift += 8)
    result |= dword(FM_AlphaBlend(Alpha, byte(ForeRGB >> shift), byte(BackRGB >> shift), Factor))
              << shift;
  return result;
}

void FM_InitAlphaLUT(dword Colour, dword BackColour, float Factor) {
  for (int a = 0; a < 255; ++a) {
    const dword rgb = FM_AlphaBlendRGB(byte(a), Colour, BackColour, Factor);
    AlphaLUT[a].r = byte(rgb >> 16);
    AlphaLUT[a].g = byte(rgb >> 8);
    AlphaLUT[a].b = byte(rgb);
  }
}

// The firmware's region table: one 16-byte record a handle, x, y, width and
// height as 16-bit numbers first.
dword GetOSDRegionWidth(word Region) {
  const byte *table = static_cast<const byte *>(FIS_vOsdMap());
  if (!table) return 0;
  uint16_t width;
  memcpy(&width, table + size_t(Region) * 16 + 4, sizeof width);
  return width;
}

// Cuts Text until Right (its right end) lies at or before MaxX: from the end
// or from the start.  Bytes without a glyph take no room and are dropped on
// the way.  False when nothing is left.
static bool CutEnd(char *Text, dword &Right, dword MaxX, const FontData *Font) {
  size_t length = strlen(Text);
  while (Right > MaxX) {
    if (length == 0) return false;
    Right -= CharWidth(byte(Text[--length]), Font);
    Text[length] = '\0';
  }
  return length > 0;
}

static bool CutStart(char *Text, dword &Right, dword MaxX, const FontData *Font) {
  size_t start = 0;
  const size_t length = strlen(Text);
  while (Right > MaxX) {
    if (start == length) return false;
    Right -= CharWidth(byte(Text[start++]), Font);
  }
  if (start == length) return false;
  DeleteAt(Text, 0, int(start));
  return true;
}

void FM_PutStringAA(word Region, dword X, dword Y, dword MaxX, const char *Text, dword Colour,
                    dword BackColour, const FontData *Font, byte TruncateMode, byte Align,
                    float Factor) {
  if (!Usable(Text, Font) || MaxX <= X) return;
  const dword regionWidth = GetOSDRegionWidth(Region);
  if (regionWidth && regionWidth <= MaxX) MaxX = regionWidth - 1;
  if (MaxX <= X) return;

  char text[kWorkSize];
  strncpy(text, Text, kWorkChars);
  text[kWorkChars] = '\0';

  dword right = X + FM_GetStringWidth(text, Font);
  if (right > MaxX) {
    const dword dots = FM_GetStringWidth("...", Font);
    switch (TruncateMode) {
    case TRUNC_CUT:
      if (!CutEnd(text, right, MaxX, Font)) return;
      break;
    case TRUNC_DOTS_END:
      right += dots;
      if (!CutEnd(text, right, MaxX, Font)) return;
      strcat(text, "...");
      break;
    case TRUNC_DOTS_START:
      right += dots;
      if (!CutStart(text, right, MaxX, Font)) return;
      InsertAt(text, 0, "...");
      break;
    default:
      return;
    }
  }

  const dword height = FM_GetStringHeight(text, Font);
  const dword width = right - X;
  dword startX = X;
  if (Align == ALIGN_CENTER)
    startX = X + (MaxX - right) / 2;
  else if (Align == ALIGN_RIGHT)
    startX = MaxX - width;

  const bool solid = (BackColour >> 24) != 0;
  if (solid) {
    TAP_Osd_FillBox(Region, X, Y, MaxX - X, height + 1, BackColour);
    FM_InitAlphaLUT(Colour, BackColour, Factor);
  }

  // One read and one write of the OSD for the whole string.
  const dword boxW = width + 1, boxH = height + 1;
  uint32_t *box = static_cast<uint32_t *>(TAP_Osd_SaveBox(Region, startX, Y, boxW, boxH));
  if (!box) return;

  const uint32_t alpha = uint32_t(Colour) & 0xFF000000u;
  byte lastCover = 0;
  uint32_t lastScreen = 0, lastResult = 0;
  bool cached = false;
  dword pen = 0;
  for (const byte *p = reinterpret_cast<const byte *>(text); *p; ++p) {
    if (!FM_isValidCharacter(*p)) continue;
    const FontGlyph &g = Font->Glyph[FM_CharToIndex(*p)];
    const byte *image = Font->Bitmap + g.Offset;
    for (dword i = 0; i < g.Height && i < height; ++i) {
      uint32_t *row = box + size_t(i) * boxW + pen;
      for (dword j = 0; j < g.Width; ++j) {
        const byte a = image[i * g.Width + j];
        if (a == 0) continue;
        uint32_t &px = row[j];
        if (a == 255) {
          px = uint32_t(Colour);
        } else if (solid) {
          px = alpha | uint32_t(AlphaLUT[a].r) << 16 | uint32_t(AlphaLUT[a].g) << 8 | AlphaLUT[a].b;
        } else if (cached && a == lastCover && px == lastScreen) {
          px = lastResult;
        } else {
          lastCover = a;
          lastScreen = px;
          lastResult = alpha | uint32_t(FM_AlphaBlendRGB(a, Colour, px, Factor));
          cached = true;
          px = lastResult;
        }
      }
    }
    pen += g.Width;
  }
  TAP_Osd_RestoreBox(Region, startX, Y, boxW, boxH, box);
  TAP_MemFree(box);
}

void FM_PutString(word Region, dword X, dword Y, dword MaxX, const char *Text, dword Colour,
                  dword BackColour, const FontData *Font, byte TruncateMode, byte Align) {
  FM_PutStringAA(Region, X, Y, MaxX, Text, Colour, BackColour, Font, TruncateMode, Align, 1.0f);
}
