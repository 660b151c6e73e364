// logo_png.cpp - PNG logos in both directions, through the plug-in's PNG
// codec.
#include <string.h>

#include "logo.h"
#include "logo_host.h"
#include "logo_internal.h"
#include "pngcodec.h"

int32_t LoadPNG(const char *name) {
  WriteDebugLog("> Loading PNG logo\n");
  if (!name || !*name) return LogLoad(kPngNoName);
  png_image png;
  memset(&png, 0, sizeof png);
  if (png_open_file_read(&png, name) < 0) {
    png_close_file(&png);
    return LogLoad(kPngUnreadable);
  }
  logoW = png.width;
  logoH = png.height;
  // The codec refused anything above its bound when it read the header.
  logoLarge32 = static_cast<uint32_t *>(TAP_MemAlloc(png.width * png.height * 4));
  if (!logoLarge32) {
    png_close_file(&png);
    return LogLoad(kPngNoMemory);
  }
  auto fail = [&](LogoLoadLine line, byte *pixels) {
    if (pixels) TAP_MemFree(pixels);
    png_close_file(&png);
    TAP_MemFree(logoLarge32);
    logoLarge32 = nullptr;
    return LogLoad(line);
  };
  if (png.depth < 8) return fail(kPngLowDepth, nullptr);
  byte *pixels = static_cast<byte *>(TAP_MemAlloc(png.width * png.height * png.bpp));
  if (!pixels) return fail(kPngNoRowMemory, nullptr);
  if (png_get_data(&png, pixels) < 0) return fail(kPngBadData, pixels);
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
  return LogLoad(kPngDone, 1);
}

int32_t LoadPngLogo(const char *dir, const char *name) {
  ReadInDir(dir, name);
  LogLoad(kLoadPngChosen);
  return LoadPNG(name);
}

int32_t WritePngTarget(const char *dir, const char *first, const char *) {
  char temporary[TAP_MAX_FILENAME];
  if (!TAP_Hdd_ChangeDir(dir) || !TemporaryName(dir, first, temporary)) return kConvertWriteFailed;
  int rc = png_save(logoW, logoH, 8, 4, 6, logoData32, temporary);
  if (rc != PNG_R_DONE) Discard(dir, temporary);
  if (rc == PNG_R_DONE && !Replace(dir, temporary, first)) rc = PNG_R_FILE;
  WriteLog("= Saved channel logofile %s/%s RC %d\n", dir, first, rc);
  return rc == PNG_R_DONE ? kConvertOk : kConvertWriteFailed;
}
