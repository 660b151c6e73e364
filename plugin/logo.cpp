// logo.cpp - the logo image, LoadChannelLogo with its choice of reader, and
// the raw logo format in both directions.
#include "logo.h"

#include <string.h>

#include "Velumo.h"
#include "logo_formats.h"
#include "tklib.h"

uint32_t logoW = 0, logoH = 0;
uint32_t logoData32[kLogoMaxW * kLogoMaxH];
char logoExt[7];
uint32_t *logoLarge32 = nullptr;
uint32_t *logoJpgData = nullptr;
uint32_t logoWnew = 0, logoHnew = 0;

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

void TakeLargeLogo() {
  if (logoW <= kLogoMaxW && logoH <= kLogoMaxH) {
    TAP_MemCpy(logoData32, logoLarge32, logoW * logoH * 4);
  } else {
    logoWnew = kLogoMaxW;
    logoHnew = kLogoMaxH;
    Resize(logoLarge32, int32_t(logoW), int32_t(logoH), logoData32, &logoWnew, &logoHnew, 1);
    logoW = logoWnew;
    logoH = logoHnew;
  }
  TAP_MemFree(logoLarge32);
  logoLarge32 = nullptr;
}

static uint32_t BigEndian32(const byte *b) {
  return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
}

int32_t LoadRawLogo(const char *dir, const char *name) {
  TAP_Hdd_ChangeDir(dir);
  TYPE_File *f = TAP_Hdd_Fopen(name);
  if (!f) {
    WriteDebugLog("< Loading channel logo (FALSE3)\n");
    return 0;
  }
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
    WriteDebugLog("< Loading cannel logo (FALSE2)\n");
    return 0;
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
  WriteDebugLog("< Loading channel logo (TRUE2)\n");
  return 1;
}

// The bitmap and PNG readers take the name in the current directory.
static void LoadInDir(const char *dir, const char *name, const char *line) {
  WriteLog("= Loaded channel logofile %s/%s\n", dir, name);
  TAP_Hdd_ChangeDir(dir);
  WriteDebugLog("%s", line);
}

int32_t LoadBmpLogo(const char *dir, const char *name) {
  LoadInDir(dir, name, "< Loading channel logo (?1)\n");
  return LoadBMP(name);
}

int32_t LoadPngLogo(const char *dir, const char *name) {
  LoadInDir(dir, name, "< Loading channel logo (?2)\n");
  return LoadPNG(name);
}

static int32_t Load(const char *dir, const char *name) {
  WriteDebugLog("> Loading channel logo\n");
  TAP_MemSet(logoData32, 0, sizeof logoData32);
  // The name must fit the loader's 128-byte copy.
  char file[128];
  if (!dir || !name || strlen(name) >= sizeof file) {
    WriteDebugLog("< Loading channel logo (FALSE1)\n");
    return 0;
  }
  strcpy(file, name);
  const LogoFormat *format = LogoFormatOf(file);
  if (!format) {
    // Not a logo file: nothing is read, whatever its bytes are.
    logoExt[0] = '\0';
    WriteDebugLog("< Loading channel logo (FALSE1)\n");
    return 0;
  }
  strcpy(logoExt, format->ext);
  return format->load(dir, file);
}

// A failed load leaves the picture that was there: what shows or saves the
// image next must never walk the size of a refused header over pixels that
// are not there.
static uint32_t keptData32[kLogoMaxW * kLogoMaxH];

int32_t LoadChannelLogo(const char *dir, const char *name) {
  const uint32_t keptW = logoW, keptH = logoH;
  char keptExt[sizeof logoExt];
  TAP_MemCpy(keptExt, logoExt, sizeof keptExt);
  TAP_MemCpy(keptData32, logoData32, sizeof keptData32);
  const int32_t loaded = Load(dir, name);
  if (!loaded) {
    logoW = keptW;
    logoH = keptH;
    TAP_MemCpy(logoExt, keptExt, sizeof keptExt);
    TAP_MemCpy(logoData32, keptData32, sizeof keptData32);
  }
  return loaded;
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
