// logo_formats.h - the one table of the logo formats the engine reads and
// of the targets it converts them into.  The file list's filter and legend,
// the number keys, the detail view, the export and logoconv all read it: a
// new format is one row here with its loader, a new target one row with
// its writer.
#ifndef LOGO_FORMATS_H
#define LOGO_FORMATS_H

#include <stdint.h>

#include <iterator>

#include "logo.h"
#include "tap.h"

enum LogoKind : uint8_t { kLogoRaw16, kLogoRaw32, kLogoPng, kLogoBmp, kLogoJpg };

struct LogoFormat {
  const char *ext; // with its dot, as the file list's filter has it: ".qtl32"
  LogoKind kind;
  uint8_t bits; // colour depth a pixel of the file holds
  const char *description;
  // Reads the file name in the folder dir into the logo image; 1 on success.
  int32_t (*load)(const char *dir, const char *name);
};

// The order is the one the suffixes are tested in (and the filter's).
inline constexpr LogoFormat kLogoFormats[] = {
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
#ifdef VELUMO_TEST_ROWS
    VELUMO_TEST_FORMAT,
#endif
};
constexpr uint32_t kLogoFormatCount = uint32_t(std::size(kLogoFormats));

struct LogoTarget {
  const char *name; // logoconv's name of the target
  dword key;        // the number key that converts to it on the file list
  dword icon;       // its legend's key symbol
  const char *ext;  // output extension, without the dot
  // With "32" appended when the source holds more than 16 bits a pixel.
  bool widen;
  const char *second; // extension of a second file written after the first
  uint32_t w, h;      // resampled to this size first; 0 = the size loaded
  // Writes the logo image as the target's file (and its second).
  int32_t (*write)(const char *dir, const char *first, const char *second);
  const char *legend;           // legend text, the same in both languages
  const char *german, *english; // status line while it is saved
};

// The index is the target number SaveChannelLogo takes.
inline constexpr LogoTarget kLogoTargets[] = {
    {"bll", RKEY_1, 2, "bll", false, nullptr, 0, 0, WriteRawTarget, "BLL ", "Speichere als BLL ...",
     "Saving as BLL ..."},
    {"bll32", RKEY_2, 3, "bll32", false, nullptr, 0, 0, WriteRawTarget, "BLL32 ",
     "Speichere als BLL32 ...", "Saving as BLL32 ..."},
    {"png", RKEY_3, 4, "png", false, nullptr, 0, 0, WritePngTarget, "PNG ", "Speichere als PNG ...",
     "Saving as PNG ..."},
    {"bmp", RKEY_4, 5, "bmp", false, nullptr, 0, 0, WriteBmpTarget, "BMP ", "Speichere als BMP ...",
     "Saving as BMP ..."},
    {"bmpjpg", RKEY_5, 6, "bmp", false, "jpg", 0, 0, WriteBmpJpgTarget, "BMP+JPG ",
     "Speichere als BMP+JPG ...", "Saving as BMP+JPG ..."},
    {"qtl", RKEY_6, 7, "qtl", true, nullptr, 54, 34, WriteRawTarget, "54x34 ",
     "Speichere als 54x34 (QTL) ...", "Saving as 54x34 (QTL) ..."},
    {"qsl", RKEY_7, 8, "qsl", true, nullptr, 36, 22, WriteRawTarget, "36x22 ",
     "Speichere als 36x22 (QSL) ...", "Saving as 36x22 (QSL) ..."},
    {"ibl", RKEY_8, 9, "ibl", true, nullptr, 50, 30, WriteRawTarget, "50x30 ",
     "Speichere als 50x30 (IBL) ...", "Saving as 50x30 (IBL) ..."},
#ifdef VELUMO_TEST_ROWS
    VELUMO_TEST_TARGET,
#endif
};
constexpr uint32_t kLogoTargetCount = uint32_t(std::size(kLogoTargets));

namespace logo_table {
constexpr size_t Length(const char *s) {
  size_t n = 0;
  while (s && s[n]) ++n;
  return n;
}
constexpr bool Same(const char *a, const char *b) {
  while (*a && *a == *b) ++a, ++b;
  return *a == *b;
}
constexpr uint32_t Named(const char *name) {
  for (uint32_t i = 0; i < kLogoTargetCount; ++i)
    if (Same(kLogoTargets[i].name, name)) return i;
  return kLogoTargetCount;
}
} // namespace logo_table

// A target number out of range converts to this one.
constexpr uint32_t kLogoTargetDefault = logo_table::Named("bmp");
static_assert(kLogoTargetDefault < kLogoTargetCount, "the default target is in the table");

// The buffers the extensions are copied into: logoExt, the file list's
// filter, and the target's extension with "32".
constexpr size_t kLogoExtRoom = sizeof logoExt;
constexpr size_t kTargetExtRoom = 8;
constexpr size_t LogoFilterLength() {
  size_t n = 0;
  for (const LogoFormat &f : kLogoFormats) n += logo_table::Length(f.ext) + 1;
  return n;
}
constexpr bool ExtensionsFit() {
  for (const LogoFormat &f : kLogoFormats)
    if (f.ext[0] != '.' || logo_table::Length(f.ext) >= kLogoExtRoom) return false;
  for (const LogoTarget &t : kLogoTargets)
    if (logo_table::Length(t.ext) + (t.widen ? 2 : 0) >= kTargetExtRoom ||
        logo_table::Length(t.second) >= kTargetExtRoom)
      return false;
  return true;
}
static_assert(ExtensionsFit(), "every extension fits the buffers it is copied into");

// The format whose extension name ends in, or null.
const LogoFormat *LogoFormatOf(const char *name);
// The formats' extensions joined by '|': the file list's directory filter.
const char *LogoFilter();

// The target of a number key, or -1.
int32_t LogoTargetOfKey(dword key);
// The target logoconv calls name, or -1.
int32_t LogoTargetNamed(const char *name);

#endif
