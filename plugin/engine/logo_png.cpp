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
  auto fail = [&](LogoLoadLine line, byte *own) {
    if (own) TAP_MemFree(own);
    png_close_file(&png);
    TAP_MemFree(logoLarge32);
    logoLarge32 = nullptr;
    return LogLoad(line);
  };
  const uint32_t count = png.width * png.height;
  // A pixel of up to four bytes is decoded into the tail of the picture's
  // own buffer and widened into its word front to back: word i ends before
  // the bytes of pixel i + 1 begin, so nothing is overwritten unread, and a
  // 512 x 512 palette picture needs no second buffer.  Only 16-bit colour
  // takes one of its own.
  byte *own = nullptr, *pixels;
  if (png.bpp > 4) {
    own = pixels = static_cast<byte *>(TAP_MemAlloc(count * png.bpp));
    if (!own) return fail(kPngNoRowMemory, nullptr);
  } else {
    pixels = reinterpret_cast<byte *>(logoLarge32) + size_t(count) * (4 - png.bpp);
  }
  if (png_get_data(&png, pixels) < 0) return fail(kPngBadData, own);
  png_close_file(&png);
  logoPng = LogoPngKind{png.color_type, png.depth, png.interlace};
  const byte *from = pixels;
  uint32_t *to = logoLarge32;
  if (png.color_type == 6 && png.depth == 8) {
    // R, G, B, A bytes, the kind of nearly every logo set: taken apart in
    // one plain loop rather than a call a pixel.
    for (uint32_t i = 0; i < count; ++i, from += 4)
      to[i] = uint32_t(from[3]) << 24 | uint32_t(from[0]) << 16 | uint32_t(from[1]) << 8 | from[2];
  } else if (png.color_type == 3) {
    for (uint32_t i = 0; i < count; ++i) to[i] = png.palette[from[i]];
  } else {
    for (uint32_t i = 0; i < count; ++i, from += png.bpp) to[i] = png_image_pixel(&png, from);
  }
  if (own) TAP_MemFree(own);
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
