// logo_formats.cpp - the look-ups into the table of logo formats and
// conversion targets.
#include "logo_formats.h"

#include <string.h>

#include "tklib.h"

const LogoFormat *LogoFormatOf(const char *name) {
  if (!name) return nullptr;
  for (const LogoFormat &f : kLogoFormats)
    if (StringEndsWith(name, f.ext)) return &f;
  return nullptr;
}

// Built on first use: a plain buffer, so that nothing runs before the
// firmware has started the plug-in.
static char filter[LogoFilterLength()];

const char *LogoFilter() {
  if (!filter[0]) {
    for (const LogoFormat &f : kLogoFormats) {
      if (filter[0]) strcat(filter, "|");
      strcat(filter, f.ext);
    }
  }
  return filter;
}

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
