// logo.cpp - the logo image, LoadChannelLogo with its choice of reader, the
// reduction of a large picture into the image, and alpha blending.
#include "logo.h"

#include <string.h>

#include "logo_formats.h"
#include "logo_host.h"
#include "logo_internal.h"

uint32_t logoW = 0, logoH = 0;
uint32_t logoData32[kLogoMaxW * kLogoMaxH];
char logoExt[7];
LogoPngKind logoPng;
uint32_t *logoLarge32 = nullptr;
uint32_t *logoJpgData = nullptr;
uint32_t logoWnew = 0, logoHnew = 0;
char buf[255];

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

void ReadInDir(const char *dir, const char *name) {
  WriteLog("= Loaded channel logofile %s/%s\n", dir, name);
  TAP_Hdd_ChangeDir(dir);
}

static int32_t Load(const char *dir, const char *name) {
  WriteDebugLog("> Loading channel logo\n");
  TAP_MemSet(logoData32, 0, sizeof logoData32);
  logoPng = LogoPngKind{};
  // The name must fit the loader's 128-byte copy.
  char file[128];
  if (!dir || !name || strlen(name) >= sizeof file) return LogLoad(kLoadNoLogoName);
  strcpy(file, name);
  const LogoFormat *format = LogoFormatOf(file);
  if (!format) {
    // Not a logo file: nothing is read, whatever its bytes are.
    logoExt[0] = '\0';
    return LogLoad(kLoadNoLogoName);
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
  const LogoPngKind keptPng = logoPng;
  TAP_MemCpy(keptData32, logoData32, sizeof keptData32);
  const int32_t loaded = Load(dir, name);
  if (!loaded) {
    logoW = keptW;
    logoH = keptH;
    TAP_MemCpy(logoExt, keptExt, sizeof keptExt);
    logoPng = keptPng;
    TAP_MemCpy(logoData32, keptData32, sizeof keptData32);
  }
  return loaded;
}

uint8_t LogoAlphaBlend(uint32_t alpha, uint32_t fg, uint32_t bg) {
  const uint32_t a = alpha & 0xFF, f = fg & 0xFF, b = bg & 0xFF;
  if (a == 0) return uint8_t(b);
  if (a == 255) return uint8_t(f);
  const uint32_t v = ((255 - a) * b + a * f) >> 8;
  return uint8_t(v > 255 ? 255 : v);
}

uint32_t LogoAlphaBlendRGB(uint32_t alpha, uint32_t fg, uint32_t bg) {
  if (bg == 0) return (alpha & 0xFF) << 24 | (fg & 0xFFFFFF);
  return 0xFF000000u | uint32_t(LogoAlphaBlend(alpha, fg >> 16, bg >> 16)) << 16 |
         uint32_t(LogoAlphaBlend(alpha, fg >> 8, bg >> 8)) << 8 | LogoAlphaBlend(alpha, fg, bg);
}
