// png_own.cpp - PNG sources through the plug-in's own codec, apart from
// decode.cpp: the codec's record and libpng's share the name png_image.
#include <string.h>

#include <vector>

#include "picture.h"
#include "pngcodec.h"

namespace logoconv {

// The plug-in's own PNG codec undoes the row filters with SIMD where libpng
// has plain C, which makes it the faster reader of the two for logos
// (bench/logoconv/quality.sh).  What it does not take, libpng reads.
bool ReadPngOwn(const std::vector<uint8_t> &bytes, Picture &pic) {
  png_image png;
  memset(&png, 0, sizeof png);
  bool ok = bytes.size() <= 0xFFFFFFFFu &&
            png_open_mem_read(&png, bytes.data(), uint32_t(bytes.size())) == PNG_R_OK;
  std::vector<uint8_t, Uninitialised<uint8_t>> samples;
  if (ok) {
    samples.resize(size_t(png.width) * png.height * png.bpp);
    ok = png_get_data(&png, samples.data()) == PNG_R_OK;
  }
  png_close_file(&png);
  if (!ok) return false;
  pic.w = png.width;
  pic.h = png.height;
  pic.rgba.resize(size_t(pic.w) * pic.h * 4);
  const uint8_t *from = samples.data();
  uint8_t *to = pic.rgba.data();
  const size_t count = size_t(pic.w) * pic.h;
  if (png.color_type == 6 && png.depth == 8) {
    memcpy(to, from, count * 4);
    return true;
  }
  const auto put = [](uint8_t *to, uint32_t v) {
    to[0] = uint8_t(v >> 16), to[1] = uint8_t(v >> 8), to[2] = uint8_t(v), to[3] = uint8_t(v >> 24);
  };
  // Palettes, the usual kind of a downloaded logo set, by their own table.
  if (png.color_type == 3) {
    for (size_t i = 0; i < count; ++i, to += 4) put(to, png.palette[from[i]]);
    return true;
  }
  // The other 8-bit kinds by hand as well; a tRNS colour key makes its
  // colour transparent, as png_image_pixel does for the rest.
  const bool key = png.has_key;
  if (png.depth == 8 && png.color_type == 0) {
    for (size_t i = 0; i < count; ++i, to += 4) {
      const uint8_t g = from[i];
      to[0] = to[1] = to[2] = g;
      to[3] = key && g == png.key[0] ? 0 : 255;
    }
  } else if (png.depth == 8 && png.color_type == 4) {
    for (size_t i = 0; i < count; ++i, from += 2, to += 4)
      to[0] = to[1] = to[2] = from[0], to[3] = from[1];
  } else if (png.depth == 8 && png.color_type == 2) {
    for (size_t i = 0; i < count; ++i, from += 3, to += 4) {
      to[0] = from[0], to[1] = from[1], to[2] = from[2];
      to[3] =
          key && from[0] == png.key[0] && from[1] == png.key[1] && from[2] == png.key[2] ? 0 : 255;
    }
  } else {
    for (size_t i = 0; i < count; ++i, from += png.bpp, to += 4)
      put(to, png_image_pixel(&png, from));
  }
  return true;
}

} // namespace logoconv
