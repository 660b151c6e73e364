// logo_png.cpp - PNG logos through the plug-in's PNG codec, and JPEG logos
// through the firmware's decoder after a look at the picture's size.
#include <string.h>

#include "Velumo.h"
#include "logo.h"
#include "pngcodec.h"

int32_t LoadPNG(const char *name) {
  WriteDebugLog("> Loading PNG logo\n");
  if (!name || !*name) {
    WriteDebugLog("< Loading PNG logo (ERROR2)\n");
    return 0;
  }
  png_image png;
  memset(&png, 0, sizeof png);
  if (png_open_file_read(&png, name) < 0) {
    png_close_file(&png);
    WriteDebugLog("< Loading PNG logo (ERROR1)\n");
    return 0;
  }
  logoW = png.width;
  logoH = png.height;
  // The codec refused anything above its bound when it read the header.
  logoLarge32 = static_cast<uint32_t *>(TAP_MemAlloc(png.width * png.height * 4));
  if (!logoLarge32) {
    png_close_file(&png);
    WriteDebugLog("< Loading PNG logo (ERROR3)\n");
    return 0;
  }
  auto fail = [&](const char *line, byte *pixels) {
    if (pixels) TAP_MemFree(pixels);
    png_close_file(&png);
    TAP_MemFree(logoLarge32);
    logoLarge32 = nullptr;
    WriteDebugLog("%s", line);
    return 0;
  };
  if (png.depth < 8) return fail("< Loading PNG logo (ERROR4)\n", nullptr);
  byte *pixels = static_cast<byte *>(TAP_MemAlloc(png.width * png.height * png.bpp));
  if (!pixels) return fail("< Loading PNG logo (ERROR5)\n", nullptr);
  if (png_get_data(&png, pixels) < 0) return fail("< Loading PNG logo (ERROR6)\n", pixels);
  png_close_file(&png);
  const bool wide = png.depth == 16;
  const uint32_t count = png.width * png.height;
  if (png.color_type == 6 && !wide) {
    // R, G, B, A bytes, the kind of nearly every logo set: taken apart in
    // one plain loop rather than a call a pixel.
    const byte *from = pixels;
    uint32_t *to = logoLarge32;
    for (uint32_t i = 0; i < count; ++i, from += 4)
      to[i] = uint32_t(from[3]) << 24 | uint32_t(from[0]) << 16 | uint32_t(from[1]) << 8 | from[2];
  } else {
    for (uint32_t i = 0; i < count; ++i)
      logoLarge32[i] = png_pixel_argb(pixels + size_t(i) * png.bpp, png.color_type, wide);
  }
  TAP_MemFree(pixels);
  TakeLargeLogo();
  WriteDebugLog("< Loading PNG logo (DONE)\n");
  return 1;
}

int32_t LoadJPG(const char *dir, const char *name) {
  WriteLog("= Loaded channel logofile %s/%s\n", dir, name);
  TAP_Hdd_ChangeDir(dir);
  logoW = logoH = 0;
  // An unopenable file has no size from the probe and is never decoded.
  TYPE_File *f = TAP_Hdd_Fopen(name);
  if (!f) {
    WriteDebugLog("< Loading channel logo (FALSE4)\n");
    return 0;
  }
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
  if (!logoJpgData) {
    WriteDebugLog("< Loading channel logo (FALSE5)\n");
    return 0;
  }
  TAP_MemCpy(logoData32, logoJpgData, logoW * logoH * 4);
  TAP_MemFree(logoJpgData);
  logoJpgData = nullptr;
  WriteDebugLog("< Loading channel logo (TRUE1)\n");
  return 1;
}
