// BMP files for the bitmap front end's tests, put together byte by byte.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

namespace bt {

struct Bmp {
  int32_t width = 60, height = 40;
  uint16_t bitsPerPixel = 24;
  uint32_t compression = 0;
  bool sizeFromArea = true; // the image size field as stride x height
  uint32_t sizeField = 0;   // else this
  std::vector<uint32_t> masks;
  std::string palette; // between the header (and masks) and the pixels
  std::string pixels;  // empty: a pattern of the right size
  uint32_t headerSize = 40;
};

uint32_t Stride(int32_t width, int bitsPerPixel);
// Rows of the pattern differ from each other and from their neighbours;
// padding bytes are padByte.
std::string Pattern(int32_t width, int32_t height, int bitsPerPixel, uint8_t padByte = 0);
std::string Build(const Bmp &b);
// Little-endian field of a built file.
uint32_t Field(const std::string &file, size_t offset, int bytes);
std::string Le(uint32_t value, int bytes);

// The cases every build of the reader must agree on.
struct ReadCase {
  const char *name;
  std::string file;
  int32_t result;
  int32_t colorFormat; // when read
};
std::vector<ReadCase> ReadCases();

} // namespace bt
