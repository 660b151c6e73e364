// logo_formats.cpp - the table of logo formats and conversion targets, and
// the look-ups into it.
#include "logo_formats.h"

#include <string.h>

#include "logo.h"
#include "tklib.h"

constexpr LogoFormat kLogoFormats[kLogoFormatCount] = {
    {".qtl32", kLogoRaw32, 32, "32-bit raw logo", LoadRawLogo},
    {".qsl32", kLogoRaw32, 32, "32-bit raw logo", LoadRawLogo},
    {".ibl32", kLogoRaw32, 32, "32-bit raw logo", LoadRawLogo},
    {".bll32", kLogoRaw32, 32, "32-bit raw logo", LoadRawLogo},
    {".qtl", kLogoRaw16, 16, "16-bit raw logo", LoadRawLogo},
    {".qsl", kLogoRaw16, 16, "16-bit raw logo", LoadRawLogo},
    {".ibl", kLogoRaw16, 16, "16-bit raw logo", LoadRawLogo},
    {".bll", kLogoRaw16, 16, "16-bit raw logo", LoadRawLogo},
    {".jpg", kLogoJpg, 24, "JPEG", LoadJPG},
    {".png", kLogoPng, 32, "PNG", LoadPngLogo},
    {".bmp", kLogoBmp, 24, "BMP", LoadBmpLogo},
};
static_assert(kLogoFormats[kLogoFormatCount - 1].ext, "a row of the formats is missing");

constexpr LogoTarget kLogoTargets[kLogoTargetCount] = {
    {"bll", RKEY_1, 2, "bll", false, nullptr, 0, 0, kWriteRaw, "BLL ", "Speichere als BLL ...",
     "Saving as BLL ..."},
    {"bll32", RKEY_2, 3, "bll32", false, nullptr, 0, 0, kWriteRaw, "BLL32 ",
     "Speichere als BLL32 ...", "Saving as BLL32 ..."},
    {"png", RKEY_3, 4, "png", false, nullptr, 0, 0, kWritePng, "PNG ", "Speichere als PNG ...",
     "Saving as PNG ..."},
    {"bmp", RKEY_4, 5, "bmp", false, nullptr, 0, 0, kWriteBmp, "BMP ", "Speichere als BMP ...",
     "Saving as BMP ..."},
    {"bmpjpg", RKEY_5, 6, "bmp", false, "jpg", 0, 0, kWriteBmpJpg, "BMP+JPG ",
     "Speichere als BMP+JPG ...", "Saving as BMP+JPG ..."},
    {"qtl", RKEY_6, 7, "qtl", true, nullptr, 54, 34, kWriteRaw, "54x34 ",
     "Speichere als 54x34 (QTL) ...", "Saving as 54x34 (QTL) ..."},
    {"qsl", RKEY_7, 8, "qsl", true, nullptr, 36, 22, kWriteRaw, "36x22 ",
     "Speichere als 36x22 (QSL) ...", "Saving as 36x22 (QSL) ..."},
    {"ibl", RKEY_8, 9, "ibl", true, nullptr, 50, 30, kWriteRaw, "50x30 ",
     "Speichere als 50x30 (IBL) ...", "Saving as 50x30 (IBL) ..."},
};

const LogoFormat *LogoFormatOf(const char *name) {
  if (!name) return nullptr;
  for (const LogoFormat &f : kLogoFormats)
    if (StringEndsWith(name, f.ext)) return &f;
  return nullptr;
}

// Built on first use: a plain buffer, so that nothing runs before the
// firmware has started the plug-in.
static char filter[kLogoFormatCount * 8];

const char *LogoFilter() {
  if (!filter[0]) {
    for (const LogoFormat &f : kLogoFormats) {
      if (filter[0]) strcat(filter, "|");
      strcat(filter, f.ext);
    }
  }
  return filter;
}

static_assert(kLogoTargets[kLogoTargetCount - 1].ext, "a row of the targets is missing");

int32_t LogoTargetOfKey(dword key) {
  for (uint32_t i = 0; i < kLogoTargetCount; ++i)
    if (kLogoTargets[i].key == key) return int32_t(i);
  return -1;
}

int32_t LogoTargetNamed(const char *name) {
  for (uint32_t i = 0; name && i < kLogoTargetCount; ++i)
    if (strcmp(kLogoTargets[i].name, name) == 0) return int32_t(i);
  return -1;
}
