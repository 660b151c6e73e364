// logo_bmp.cpp - uncompressed 24-bit bottom-up bitmaps into the logo image.
// Minimal on purpose: the header is taken to describe such a bitmap with its
// pixels at byte 54, and every pixel is opaque.
#include <string.h>

#include "Velumo.h"
#include "logo.h"

static byte head[14];
static byte info[40];

static uint32_t Little32(const byte *b) {
  return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

int32_t LoadBMP(const char *name) {
  WriteDebugLog("> Loading BMP logo\n");
  if (!name) {
    WriteDebugLog("< Loading BMP logo (FALSE1)\n");
    return 0;
  }
  TYPE_File *f = TAP_Hdd_Fopen(name);
  if (!f) {
    WriteDebugLog("< Loading BMP logo (FALSE2)\n");
    return 0;
  }
  memset(head, 0, sizeof head);
  memset(info, 0, sizeof info);
  TAP_Hdd_Fread(head, sizeof head, 1, f);
  TAP_Hdd_Fread(info, sizeof info, 1, f);
  logoW = Little32(info + 4);
  logoH = Little32(info + 8);
  // A top-down bitmap's negative height reads as a huge one; like every
  // picture too large for the 32-bit sizes or for the receiver's memory, it
  // is refused before anything is allocated.
  const uint64_t rowSize = (uint64_t(logoW) * 3 + 3) / 4 * 4;
  const uint64_t pixels = uint64_t(logoW) * logoH;
  if (pixels == 0 || pixels > kLogoMaxSourcePixels ||
      !(logoLarge32 = static_cast<uint32_t *>(TAP_MemAlloc(dword(pixels * 4))))) {
    TAP_Hdd_Fclose(f);
    WriteDebugLog("< Loading BMP logo (FALSE3)\n");
    return 0;
  }
  const dword rowBytes = dword(rowSize * logoH);
  byte *rows = static_cast<byte *>(TAP_MemAlloc(rowBytes));
  if (!rows) {
    TAP_Hdd_Fclose(f);
    TAP_MemFree(logoLarge32);
    logoLarge32 = nullptr;
    WriteDebugLog("< Loading BMP logo (FALSE4)\n");
    return 0;
  }
  // A file shorter than its header says leaves black rows, not whatever the
  // heap held before.
  TAP_MemSet(rows, 0, rowBytes);
  TAP_Hdd_Fread(rows, dword(rowSize), logoH, f);
  WriteDebugLog("logoW %2d, logoH %2d\n", int(logoW), int(logoH));
  TAP_Hdd_Fclose(f);

  size_t index = 0;
  for (uint32_t y = 0; y < logoH; ++y) {
    const size_t target = size_t(logoH - 1 - y) * logoW;
    for (uint32_t x = 0; x < logoW; ++x) {
      const byte b = rows[index], g = rows[index + 1], r = rows[index + 2];
      const uint32_t color = 0xFF000000u | uint32_t(r) << 16 | uint32_t(g) << 8 | b;
      if (index < 60) {
        // The pixel's place in the logo image, which is not filled yet.
        const size_t at = target + x;
        const uint32_t shown = at < kLogoMaxW * kLogoMaxH ? logoData32[at] : 0;
        WriteDebugLog("index %2d, x %2d, y %2d, R %02X, G %02X, B %02X, color 0x%08X, logoData32 "
                      "0x%08X\n",
                      int(index), int(x), int(y), r, g, b, unsigned(color), unsigned(shown));
      }
      TAP_MemCpy(&logoLarge32[target + x], &color, 4);
      index += 3;
    }
    index = (index + 3) / 4 * 4;
  }
  TAP_MemFree(rows);
  TakeLargeLogo();
  WriteDebugLog("< Loading BMP logo (TRUE)\n");
  return 1;
}
