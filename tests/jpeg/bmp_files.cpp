#include "bmp_files.h"

namespace bt {

std::string Le(uint32_t value, int bytes) {
  std::string s;
  for (int i = 0; i < bytes; ++i) s += char(value >> (8 * i));
  return s;
}

uint32_t Field(const std::string &file, size_t offset, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | uint8_t(file.at(offset + size_t(i)));
  return v;
}

uint32_t Stride(int32_t width, int bitsPerPixel) {
  return uint32_t(((uint64_t(uint32_t(width)) * uint32_t(bitsPerPixel) + 31) & ~uint64_t(31)) / 8);
}

std::string Pattern(int32_t width, int32_t height, int bitsPerPixel, uint8_t padByte) {
  const uint32_t stride = Stride(width, bitsPerPixel);
  const uint32_t used = uint32_t(width) * uint32_t(bitsPerPixel) / 8;
  std::string s;
  for (int32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < stride; ++x)
      s += x < used ? char((x * 5 + uint32_t(y) * 11 + (x % 3) * 70) & 0xFF) : char(padByte);
  return s;
}

std::string Build(const Bmp &b) {
  const uint32_t area = Stride(b.width, b.bitsPerPixel) * uint32_t(b.height);
  const std::string pixels =
      b.pixels.empty() && b.height > 0 ? Pattern(b.width, b.height, b.bitsPerPixel) : b.pixels;
  std::string info = Le(b.headerSize, 4) + Le(uint32_t(b.width), 4) + Le(uint32_t(b.height), 4) +
                     Le(1, 2) + Le(b.bitsPerPixel, 2) + Le(b.compression, 4) +
                     Le(b.sizeFromArea ? area : b.sizeField, 4) + Le(2835, 4) + Le(2835, 4) +
                     Le(0, 4) + Le(0, 4);
  for (uint32_t m : b.masks) info += Le(m, 4);
  const uint32_t offset = uint32_t(14 + info.size() + b.palette.size());
  const uint32_t size = offset + uint32_t(pixels.size());
  return "BM" + Le(size, 4) + Le(0, 4) + Le(offset, 4) + info + b.palette + pixels;
}

namespace {

Bmp With(void (*change)(Bmp &)) {
  Bmp b;
  change(b);
  return b;
}

} // namespace

std::vector<ReadCase> ReadCases() {
  std::vector<ReadCase> c;
  c.push_back({"24-bit", Build(Bmp()), 1, 2});
  c.push_back({"61 wide", Build(With([](Bmp &b) { b.width = 61; })), 1, 2});
  c.push_back({"8-bit with palette", Build(With([](Bmp &b) {
                 b.bitsPerPixel = 8;
                 for (int i = 0; i < 256; ++i) b.palette += Le(0x00FF0000u | uint32_t(i), 4);
               })),
               1, 1});
  c.push_back({"5-5-5 masks", Build(With([](Bmp &b) {
                 b.bitsPerPixel = 16;
                 b.compression = 3;
                 b.masks = {0x7C00, 0x03E0, 0x001F};
               })),
               1, 8});
  c.push_back({"5-6-5 masks", Build(With([](Bmp &b) {
                 b.bitsPerPixel = 16;
                 b.compression = 3;
                 b.masks = {0xF800, 0x07E0, 0x001F};
               })),
               1, 16});
  c.push_back({"16-bit other masks", Build(With([](Bmp &b) {
                 b.bitsPerPixel = 16;
                 b.compression = 3;
                 b.masks = {0x0F00, 0x00F0, 0x000F};
               })),
               1, 0});
  // Without masks nothing says which 16-bit layout it is.
  c.push_back({"16-bit without masks", Build(With([](Bmp &b) { b.bitsPerPixel = 16; })), 1, 0});
  c.push_back({"32-bit", Build(With([](Bmp &b) { b.bitsPerPixel = 32; })), 0, 0});
  c.push_back({"1-bit", Build(With([](Bmp &b) { b.bitsPerPixel = 1; })), 0, 0});
  c.push_back({"run-length", Build(With([](Bmp &b) {
                 b.bitsPerPixel = 8;
                 b.compression = 1;
               })),
               0, 0});
  c.push_back({"compression 2", Build(With([](Bmp &b) { b.compression = 2; })), 0, 0});
  c.push_back({"image size 0", Build(With([](Bmp &b) {
                 b.sizeFromArea = false;
                 b.sizeField = 0;
               })),
               0, 0});
  // Writers that pad the pixel area at its end count the padding in.
  c.push_back({"image size beyond the area", Build(With([](Bmp &b) {
                 b.sizeFromArea = false;
                 b.sizeField = 7202;
                 b.pixels = Pattern(60, 40, 24) + std::string(2, '\0');
               })),
               1, 2});
  c.push_back({"image size beyond the file", Build(With([](Bmp &b) {
                 b.sizeFromArea = false;
                 b.sizeField = 0xFFFFFFFF;
               })),
               1, 2});
  c.push_back({"image size short of the area", Build(With([](Bmp &b) {
                 b.sizeFromArea = false;
                 b.sizeField = 7199;
               })),
               0, 0});
  c.push_back({"header size 0", Build(With([](Bmp &b) { b.headerSize = 0; })), 0, 0});
  c.push_back({"width 0", Build(With([](Bmp &b) { b.width = 0; })), 0, 0});
  c.push_back({"height 0", Build(With([](Bmp &b) { b.height = 0; })), 0, 0});
  c.push_back({"top-down", Build(With([](Bmp &b) {
                 b.height = -40;
                 b.pixels = Pattern(60, 40, 24);
               })),
               0, 0});
  c.push_back({"negative width", Build(With([](Bmp &b) {
                 b.width = -60;
                 b.pixels = Pattern(60, 40, 24);
               })),
               0, 0});
  // 0x55555556 x 24 bits is exactly 2^35 + 16 bits: wraps to 2 bytes a row
  // in 32-bit arithmetic.
  c.push_back({"stride overflows", Build(With([](Bmp &b) {
                 b.width = 0x55555556;
                 b.height = 1;
                 b.sizeFromArea = false;
                 b.sizeField = 4;
                 b.pixels = "abcd";
               })),
               0, 0});
  // 196608 bytes a row x 65537 rows wraps to 196608 bytes in 32 bits; the
  // file holds that many, so only the size itself can refuse it.
  c.push_back({"area overflows", Build(With([](Bmp &b) {
                 b.width = 65536;
                 b.height = 65537;
                 b.pixels = std::string(196608, 'x');
               })),
               0, 0});
  std::string shortFile = Build(Bmp());
  shortFile.resize(shortFile.size() - 1);
  c.push_back({"one pixel byte missing", shortFile, 0, 0});
  std::string notBm = Build(Bmp());
  notBm[1] = 'A';
  c.push_back({"BA", notBm, 0, 0});
  std::string farOffset = Build(Bmp());
  farOffset.replace(10, 4, Le(55, 4)); // the pixels would run one byte past the end
  c.push_back({"pixel offset too far", farOffset, 0, 0});
  return c;
}

} // namespace bt
