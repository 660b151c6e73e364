// logo_result.cpp - the table of conversion results and the debug lines
// loads end with.
#include "logo_result.h"

#include <iterator>

#include "logo_host.h"

constexpr LogoResultText kLogoResults[] = {
    {kConvertOk, 0, nullptr, nullptr, nullptr, nullptr},
    {kConvertIntoSource, 0, "= Not converting %s/%s into itself\n",
     "Ziel w\xE4re die Quelldatei selbst - nicht gespeichert",
     "The target would be the source file itself - not saved", nullptr},
    {kConvertNameTooLong, 0, "= Not converting %s/%s: target name too long\n",
     "Zielname zu lang - nicht gespeichert", "Target name too long - not saved",
     "the target's name would be longer than 127 characters"},
    {kConvertNotAFile, 0, "= Not converting %s/%s: %s is no plain file\n",
     "Ziel ist keine normale Datei - nicht gespeichert", "Target is not a plain file - not saved",
     "a folder, link or other non-plain file holds the target's name"},
    // logoconv says more of a load that failed: it looks at the file again.
    {kConvertLoadFailed, 0, nullptr, nullptr, nullptr, "conversion failed"},
    {kConvertEmpty, 0, "= Not converting %s/%s: empty logo\n", "Leeres Logo - nicht gespeichert",
     "Empty logo - not saved", "no rows or columns left at the logo's size"},
    {kConvertNoMemory, 0, nullptr, nullptr, nullptr, "out of memory"},
    {kConvertWriteFailed, 0, nullptr, nullptr, nullptr, "the target could not be written"},
    {kConvertPathTooLong, 0, nullptr, nullptr, nullptr,
     "the target's folder path is too long (at most about 500 characters)"},
    {kConvertWorkerDied, 0, nullptr, nullptr, nullptr, "the worker converting it ended abnormally"},
    {kJpegUnreadable, -1, nullptr, nullptr, nullptr, "the target could not be written"},
    {kJpegFailed, -2, nullptr, nullptr, nullptr, "the target could not be written"},
    {kJpegNoTarget, -4, nullptr, nullptr, nullptr, "the target could not be written"},
    {kJpegNoSource, -5, nullptr, nullptr, nullptr, "the target could not be written"},
    {kJpegNotReplaced, -4, nullptr, nullptr, nullptr, "the target could not be written"},
};
static_assert(std::size(kLogoResults) == kLogoResultCount, "a result has no row");

static constexpr bool InOrder() {
  for (int32_t i = 0; i < kLogoResultCount; ++i)
    if (kLogoResults[i].code != i) return false;
  return true;
}
static_assert(InOrder(), "every result's row is at its code");

const LogoResultText &LogoResultOf(int32_t code) {
  return kLogoResults[code >= 0 && code < kLogoResultCount ? code : kConvertWriteFailed];
}

int32_t LogResult(LogoResult code, const char *dir, const char *name, const char *file) {
  // The rows' lines take the folder and name, and the file where they say it.
  if (const char *line = kLogoResults[code].log) WriteLog(line, dir, name, file);
  return code;
}

const char *const kLogoLoadLines[] = {
    "< Loading channel logo (FALSE1)\n", "< Loading channel logo (FALSE3)\n",
    "< Loading cannel logo (FALSE2)\n",  "< Loading channel logo (TRUE2)\n",
    "< Loading channel logo (?1)\n",     "< Loading channel logo (?2)\n",
    "< Loading channel logo (FALSE4)\n", "< Loading channel logo (FALSE5)\n",
    "< Loading channel logo (TRUE1)\n",  "< Loading PNG logo (ERROR2)\n",
    "< Loading PNG logo (ERROR1)\n",     "< Loading PNG logo (ERROR3)\n",
    "< Loading PNG logo (ERROR5)\n",     "< Loading PNG logo (ERROR6)\n",
    "< Loading PNG logo (DONE)\n",       "< Loading BMP logo (FALSE1)\n",
    "< Loading BMP logo (FALSE2)\n",     "< Loading BMP logo (FALSE3)\n",
    "< Loading BMP logo (FALSE4)\n",     "< Loading BMP logo (TRUE)\n",
};
static_assert(std::size(kLogoLoadLines) == kLogoLoadLineCount, "a load line is missing");

int32_t LogLoad(LogoLoadLine line, int32_t ok) {
  WriteDebugLog("%s", kLogoLoadLines[line]);
  return ok;
}
