// logo_raw.cpp - the receiver's raw logo formats in both directions: a
// big-endian width and height, then 16-bit (.qtl, .qsl, .ibl, .bll) or
// 32-bit ARGB (their "32" variants) pixels, top row first.
#include "logo.h"
#include "logo_host.h"
#include "logo_internal.h"
#include "tklib.h"

// The channel scale is 8.2258, not 255/31: the brightest value is 254.
static const double kChannelScale = 8.2258;

uint32_t Logo16To32(uint16_t pixel) {
  const uint32_t alpha = (pixel & 0x8000) ? 0xFF : 0;
  const uint32_t r = uint32_t((pixel >> 10 & 0x1F) * kChannelScale);
  const uint32_t g = uint32_t((pixel >> 5 & 0x1F) * kChannelScale);
  const uint32_t b = uint32_t((pixel & 0x1F) * kChannelScale);
  return alpha << 24 | r << 16 | g << 8 | b;
}

uint16_t Logo32To16(uint32_t pixel) {
  const uint32_t r = uint32_t((pixel >> 16 & 0xFF) / kChannelScale);
  const uint32_t g = uint32_t((pixel >> 8 & 0xFF) / kChannelScale);
  const uint32_t b = uint32_t((pixel & 0xFF) / kChannelScale);
  // Only a fully opaque pixel keeps the flag, and the format's one black is
  // transparent.
  uint32_t opaque = (pixel >> 24) == 0xFF ? 1 : 0;
  if (r == 0 && g == 0 && b == 0) opaque = 0;
  return uint16_t(opaque << 15 | r << 10 | g << 5 | b);
}

static uint32_t BigEndian32(const byte *b) {
  return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
}

int32_t LoadRawLogo(const char *dir, const char *name) {
  TAP_Hdd_ChangeDir(dir);
  TYPE_File *f = TAP_Hdd_Fopen(name);
  if (!f) return LogLoad(kLoadRawNoFile);
  WriteLog("= Loaded channel logofile %s/%s\n", dir, name);
  byte size[4] = {0, 0, 0, 0};
  TAP_Hdd_Fread(size, 4, 1, f);
  logoW = BigEndian32(size);
  TAP_Hdd_Fread(size, 4, 1, f);
  logoH = BigEndian32(size);
  // An empty picture, or one larger than any logo could be, is refused before
  // anything is allocated (its size might not even fit 32 bits).
  const uint64_t pixels = uint64_t(logoW) * logoH;
  if (pixels == 0 || pixels > kLogoMaxSourcePixels ||
      !(logoLarge32 = static_cast<uint32_t *>(TAP_MemAlloc(dword(pixels * 4))))) {
    TAP_Hdd_Fclose(f);
    return LogLoad(kLoadRawRefused);
  }
  const bool wide = StringEndsWith(logoExt, "32");
  const dword bytes = wide ? 4 : 2;
  // The pixel buffer is kept from one read to the next: a file shorter than
  // its header repeats the last pixel it delivered.  Once a read brings
  // nothing, no later one will, so the rest is filled without asking again.
  byte p[4] = {0, 0, 0, 0};
  bool more = true;
  for (uint64_t i = 0; i < pixels; ++i) {
    if (more) more = TAP_Hdd_Fread(p, bytes, 1, f) == 1;
    logoLarge32[i] = wide ? BigEndian32(p) : Logo16To32(uint16_t(p[0] << 8 | p[1]));
  }
  TAP_Hdd_Fclose(f);
  TakeLargeLogo();
  return LogLoad(kLoadRawDone, 1);
}

bool WriteRawLogo(TYPE_File *file, const char *ext) {
  if (!file || logoW > kLogoMaxW || logoH > kLogoMaxH) return false;
  const bool wide = ext && StringEndsWith(ext, "32");
  byte size[8] = {byte(logoW >> 24), byte(logoW >> 16), byte(logoW >> 8), byte(logoW),
                  byte(logoH >> 24), byte(logoH >> 16), byte(logoH >> 8), byte(logoH)};
  bool ok = TAP_Hdd_Fwrite(size, 4, 1, file) == 1;
  ok = TAP_Hdd_Fwrite(size + 4, 4, 1, file) == 1 && ok;
  const dword rowBytes = logoW * (wide ? 4 : 2);
  for (uint32_t y = 0; y < logoH && logoW; ++y) {
    byte *out = reinterpret_cast<byte *>(buf);
    for (uint32_t x = 0; x < logoW; ++x) {
      const uint32_t pixel = logoData32[y * logoW + x];
      if (wide) {
        *out++ = byte(pixel >> 24);
        *out++ = byte(pixel >> 16);
        *out++ = byte(pixel >> 8);
        *out++ = byte(pixel);
      } else {
        const uint16_t word16 = Logo32To16(pixel);
        *out++ = byte(word16 >> 8);
        *out++ = byte(word16);
      }
    }
    ok = TAP_Hdd_Fwrite(buf, rowBytes, 1, file) == 1 && ok;
  }
  return ok;
}

// The target's own extension says which of the two it is.
int32_t WriteRawTarget(const char *dir, const char *first, const char *) {
  char temporary[TAP_MAX_FILENAME];
  if (!TAP_Hdd_ChangeDir(dir) || !TemporaryName(dir, first, temporary)) return kConvertWriteFailed;
  bool written = false;
  if (TAP_Hdd_Create(temporary, ATTR_NORMAL)) {
    if (TYPE_File *f = TAP_Hdd_Fopen(temporary)) {
      written = WriteRawLogo(f, first);
      TAP_Hdd_Fclose(f);
    }
  }
  if (!written) Discard(dir, temporary);
  if (!written || !Replace(dir, temporary, first)) {
    WriteLog("= Saving channel logofile %s/%s failed\n", dir, first);
    return kConvertWriteFailed;
  }
  WriteLog("= Saved channel logofile %s/%s\n", dir, first);
  return kConvertOk;
}
