// logo_formats.h - the one table of the logo formats the engine reads and
// of the targets it converts them into.  The file list's filter and legend,
// the number keys, the detail view, the export and logoconv all read it: a
// new format or target is one row here.
#ifndef LOGO_FORMATS_H
#define LOGO_FORMATS_H

#include <stdint.h>

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

// The order is the one the suffixes are tested in (and the filter's).  A
// new row also counts here; the table's definition checks that every row
// is filled.
constexpr int kLogoFormatCount = 11;
extern const LogoFormat kLogoFormats[kLogoFormatCount];

// The format whose extension name ends in, or null.
const LogoFormat *LogoFormatOf(const char *name);
// The formats' extensions joined by '|': the file list's directory filter.
const char *LogoFilter();

enum LogoWriter : uint8_t { kWriteRaw, kWritePng, kWriteBmp, kWriteBmpJpg };

struct LogoTarget {
  const char *name; // logoconv's name of the target
  dword key;        // the number key that converts to it on the file list
  dword icon;       // its legend's key symbol
  const char *ext;  // output extension, without the dot
  // With "32" appended when the source holds more than 16 bits a pixel.
  bool widen;
  const char *second; // extension of a second file written after the first
  uint32_t w, h;      // resampled to this size first; 0 = the size loaded
  LogoWriter writer;
  const char *legend;           // legend text, the same in both languages
  const char *german, *english; // status line while it is saved
};

// The index is the target number SaveChannelLogo takes.  A new row also
// counts here.
constexpr uint32_t kLogoTargetCount = 8;
extern const LogoTarget kLogoTargets[kLogoTargetCount];

// The target of a number key, or -1.
int32_t LogoTargetOfKey(dword key);
// The target logoconv calls name, or -1.
int32_t LogoTargetNamed(const char *name);

#endif
