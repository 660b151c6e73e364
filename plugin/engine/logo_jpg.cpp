// logo_jpg.cpp - JPEG logos, read through the firmware's decoder after a
// look at the picture's size.
#include "logo.h"
#include "logo_host.h"
#include "logo_internal.h"

int32_t LoadJPG(const char *dir, const char *name) {
  ReadInDir(dir, name);
  logoW = logoH = 0;
  // An unopenable file has no size from the probe and is never decoded.
  TYPE_File *f = TAP_Hdd_Fopen(name);
  if (!f) return LogLoad(kLoadJpgNoFile);
  byte probe[1024];
  const dword got = TAP_Hdd_Fread(probe, 1, sizeof probe, f);
  TAP_Hdd_Fclose(f);
  // A start-of-frame marker counts only with its size bytes among those read.
  for (dword i = 0; i + 8 < got; ++i) {
    if (probe[i] != 0xFF || (probe[i + 1] != 0xC0 && probe[i + 1] != 0xC2)) continue;
    logoH = uint32_t(probe[i + 5]) * 256 + probe[i + 6];
    logoW = uint32_t(probe[i + 7]) * 256 + probe[i + 8];
    WriteDebugLog("JPEG-Datei %s, Breite %d, Hoehe %d\n", name, int(logoW), int(logoH));
    if (logoW > kLogoMaxW || logoH > kLogoMaxH) {
      logoW = kLogoMaxW;
      logoH = kLogoMaxH;
    }
    break;
  }
  if (logoW == 0) {
    logoW = kLogoMaxW;
    logoH = 38;
    WriteDebugLog("JPEG-Datei %s, Aufloesung nicht gefunden\n", name);
  }
  // A frame of width but no height decodes nothing.
  logoJpgData = logoH ? TAP_Osd_DecompressJpeg(name, logoW, logoH, 0) : nullptr;
  if (!logoJpgData) return LogLoad(kLoadJpgFailed);
  TAP_MemCpy(logoData32, logoJpgData, logoW * logoH * 4);
  TAP_MemFree(logoJpgData);
  logoJpgData = nullptr;
  return LogLoad(kLoadJpgDone, 1);
}
