// logo_bmp.cpp - BMP logos in both directions.  Reading is minimal on
// purpose: the header is taken to describe an uncompressed 24-bit bottom-up
// bitmap with its pixels at byte 54, and every pixel is opaque.  Writing
// puts the logo over black, and BMP+JPEG converts that bitmap on.
#include <string.h>

#include "logo.h"
#include "logo_host.h"
#include "logo_internal.h"
#include "tklib.h"

static byte head[14];
static byte info[40];

static uint32_t Little32(const byte *b) {
  return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

int32_t LoadBMP(const char *name) {
  WriteDebugLog("> Loading BMP logo\n");
  if (!name) return LogLoad(kBmpNoName);
  TYPE_File *f = TAP_Hdd_Fopen(name);
  if (!f) return LogLoad(kBmpNoFile);
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
    return LogLoad(kBmpRefused);
  }
  const dword rowBytes = dword(rowSize * logoH);
  byte *rows = static_cast<byte *>(TAP_MemAlloc(rowBytes));
  if (!rows) {
    TAP_Hdd_Fclose(f);
    TAP_MemFree(logoLarge32);
    logoLarge32 = nullptr;
    return LogLoad(kBmpNoRowMemory);
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
  return LogLoad(kBmpDone, 1);
}

int32_t LoadBmpLogo(const char *dir, const char *name) {
  ReadInDir(dir, name);
  LogLoad(kLoadBmpChosen);
  return LoadBMP(name);
}

// The logo over black, bottom row first, and with jpeg the JPEG made from
// that bitmap beside it.
static int32_t SaveBmp(bool jpeg, const char *dir, const char *bmp, const char *jpg) {
  const uint32_t row = (logoW * 3 + 3) / 4 * 4;
  byte *pixels = static_cast<byte *>(TAP_MemAlloc(row * logoH));
  if (!pixels) return kConvertNoMemory;
  TAP_MemSet(pixels, 0, row * logoH);
  uint32_t index = 0;
  for (uint32_t y = 0; y < logoH; ++y) {
    for (uint32_t x = 0; x < logoW; ++x) {
      const uint32_t word = logoData32[(logoH - 1 - y) * logoW + x];
      const uint32_t c = LogoAlphaBlendRGB(word >> 24, 0xFF000000u | word, 0xFF000000u);
      const byte r = byte(c >> 16), g = byte(c >> 8), b = byte(c);
      if (index < 60)
        WriteDebugLog("index %2d, x %2d, y %2d, R %02X, G %02X, B %02X, logoData32 0x%08X\n",
                      int(index), int(x), int(y), r, g, b, unsigned(word));
      pixels[index++] = b;
      pixels[index++] = g;
      pixels[index++] = r;
    }
    index = (index + 3) / 4 * 4;
  }
  char temporary[TAP_MAX_FILENAME];
  int32_t result = kConvertWriteFailed;
  if (TAP_Hdd_ChangeDir(dir) && TemporaryName(dir, bmp, temporary)) {
    bool saved = SaveBitmap(temporary, int(logoW), int(logoH), pixels);
    if (!saved) Discard(dir, temporary);
    saved = saved && Replace(dir, temporary, bmp);
    WriteLog("= Saved channel logofile %s/%s RC %d\n", dir, bmp, saved ? 1 : 0);
    if (saved) result = kConvertOk;
    if (jpeg && saved) {
      result = kConvertWriteFailed;
      if (TAP_Hdd_ChangeDir(dir) && TemporaryName(dir, jpg, temporary)) {
        int rc = bmptojpg(bmp, temporary);
        if (rc != 0) Discard(dir, temporary);
        if (rc == 0 && !Replace(dir, temporary, jpg)) rc = LogoResultRc(kJpegNotReplaced);
        WriteLog("= Saved channel logofile %s/%s RC %d\n", dir, jpg, rc);
        if (rc == 0) result = kConvertOk;
      }
    }
  }
  TAP_MemFree(pixels);
  return result;
}

// Only the bitmap writers end with this line.
int32_t WriteBmpTarget(const char *dir, const char *first, const char *second) {
  const int32_t result = SaveBmp(false, dir, first, second);
  WriteDebugLog("< Saving channel logo\n");
  return result;
}

int32_t WriteBmpJpgTarget(const char *dir, const char *first, const char *second) {
  const int32_t result = SaveBmp(true, dir, first, second);
  WriteDebugLog("< Saving channel logo\n");
  return result;
}
