// libpng and libjpeg as outside oracles for the codec tests.  Kept apart
// from the codec's own header: both name a type png_image.
#ifndef PNG_ORACLE_H
#define PNG_ORACLE_H

#include <stdint.h>

#include <string>
#include <vector>

struct PngSpec {
  uint32_t width = 1, height = 1;
  int colorType = 0; // 0, 2, 3, 4, 6
  int depth = 8;
  bool interlace = false;
  int filters = 0x08;     // libpng's filter mask (0x08 = none ... 0xF8 = all)
  size_t idatSize = 8192; // smaller splits the image data over more IDAT chunks
  bool textBefore = false, textAfter = false;
  // Colour type 3: the palette as 0xAARRGGBB, alpha below 255 going into
  // tRNS; empty: (i, 255 - i, 7) for every index the depth has.
  std::vector<uint32_t> palette;
  // A tRNS colour key: grey, or red, green, blue, at the file's depth.
  std::vector<uint16_t> key;
};

// Writes a PNG with libpng from samples as libpng takes them (16-bit samples
// big-endian).  Returns the file's bytes.
std::string LibpngWrite(const PngSpec &shape, const std::vector<uint8_t> &samples);
// A plain PNG of w x h pixels of that colour type and depth.
std::string LibpngImage(uint32_t w, uint32_t h, int colorType, int depth,
                        const std::vector<uint8_t> &samples);
// An 8-bit RGBA PNG of w x h pixels, four samples a pixel.
inline std::string LibpngRgba(uint32_t w, uint32_t h, const std::vector<uint8_t> &rgba) {
  return LibpngImage(w, h, 6, 8, rgba);
}

// Decodes with libpng without any transformation: rows of samples as stored
// (16-bit big-endian).  False when libpng refuses the file.
bool LibpngRead(const std::string &file, uint32_t &w, uint32_t &h, int &colorType, int &depth,
                bool &interlaced, std::vector<uint8_t> &samples);

// Decodes with libpng into 0xAARRGGBB a pixel: palette and tRNS expanded
// (png_set_expand, png_set_tRNS_to_alpha), grey made RGB, 16-bit samples
// reduced to their high byte, alpha 255 where the file has none.
bool LibpngReadArgb(const std::string &file, uint32_t &w, uint32_t &h, std::vector<uint32_t> &argb);

// A baseline JPEG from libjpeg: RGB, with an optional comment segment of the
// given bytes before the frame header.
std::string LibjpegWrite(uint32_t w, uint32_t h, const std::string &comment = "");

#endif
