// dib.cpp - reading a BMP file into a DibImage and writing one back.  The
// header is taken field by field in file order; anything we could not hand
// to the encoder as it stands is refused before the pixels are touched.
#include "dib.h"

#include "ijenc.h"

inline namespace DIB_BUILD {

namespace {

constexpr uint32_t kInfoHeaderSize = 40;
// The record's sizes are signed 32-bit words.
constexpr uint64_t kMaxImageSize = 0x7FFFFFFF;

bool Get(DibFile *f, uint32_t bytes, uint32_t *value) {
  uint8_t b[4] = {0, 0, 0, 0};
  if (dibio::Read(b, bytes, f) != bytes) return false;
  *value = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
  return true;
}

bool Put(DibFile *f, uint32_t bytes, uint32_t value) {
  const uint8_t b[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16),
                        uint8_t(value >> 24)};
  return dibio::Write(b, bytes, f) == bytes;
}

// Bytes of one row, padded to whole 32-bit words.
uint64_t Stride(uint64_t width, uint64_t bitsPerPixel) {
  return ((width * bitsPerPixel + 31) & ~uint64_t(31)) / 8;
}

// The colour format of a 16-bit bitmap by its masks; 0 when neither layout.
int32_t SixteenBitFormat(uint32_t red, uint32_t green, uint32_t blue) {
  if (red == 0x001F || green == 0x03E0 || blue == 0x7C00) return IJ_FMT_RGB555;
  if (green == 0x07E0 || blue == 0xF800) return IJ_FMT_RGB565;
  return 0;
}

} // namespace

int32_t ReadDIBHeader(DibImage *dib, DibFile *file, uint32_t *pixelOffset) {
  if (!dib || !file || !pixelOffset) return 0;
  uint8_t magic[2];
  uint32_t fileSize, reserved, offset, headerSize, width, height, planes, bpp;
  if (dibio::Read(magic, 2, file) != 2 || magic[0] != 'B' || magic[1] != 'M') return 0;
  if (!Get(file, 4, &fileSize) || !Get(file, 4, &reserved) || !Get(file, 4, &offset)) return 0;
  if (!Get(file, 4, &headerSize) || !Get(file, 4, &width) || !Get(file, 4, &height)) return 0;
  if (headerSize == 0 || width == 0 || height == 0) return 0;
  if (!Get(file, 2, &planes) || !Get(file, 2, &bpp)) return 0;
  // Top-down bitmaps (negative height) and negative widths would give
  // negative sizes; sizes beyond the record's words are no bitmap we take.
  if (int32_t(width) < 0 || int32_t(height) < 0) return 0;
  const uint64_t stride = Stride(width, bpp);
  const uint64_t imageSize = stride * height;
  if (imageSize == 0 || imageSize > kMaxImageSize) return 0;
  dib->width = int32_t(width);
  dib->height = int32_t(height);
  dib->stride = int32_t(stride);
  dib->bitsPerPixel = int32_t(bpp);
  dib->imageSize = int32_t(imageSize);

  uint32_t compression, sizeField, unused;
  if (!Get(file, 4, &compression) || (compression != 0 && compression != 3)) return 0;
  // The pixels are read by the area the rows take.  Some writers count
  // padding after the last row in the size field, so a larger field is
  // fine; a smaller one contradicts the header.
  if (!Get(file, 4, &sizeField) || sizeField == 0 || sizeField < imageSize) return 0;
  for (int i = 0; i < 4; ++i)
    if (!Get(file, 4, &unused)) return 0;

  switch (bpp) {
  case 8:
    dib->channels = 1;
    dib->colorFormat = IJ_FMT_GRAY;
    break;
  case 24:
    dib->channels = 3;
    dib->colorFormat = IJ_FMT_BGR;
    break;
  case 16:
    dib->channels = 3;
    if (compression == 3) {
      uint32_t red, green, blue;
      if (!Get(file, 4, &red) || !Get(file, 4, &green) || !Get(file, 4, &blue)) return 0;
      dib->colorFormat = SixteenBitFormat(red, green, blue);
    }
    break;
  default:
    return 0;
  }
  dib->bitsPerSample = 8;

  // A file too short for its pixels is refused before the buffer is taken,
  // so that a damaged header cannot make us ask for gigabytes.
  if (!dibio::SeekEnd(file)) return 0;
  const int64_t length = dibio::Tell(file);
  if (length < 0 || uint64_t(offset) + imageSize > uint64_t(length)) return 0;
  *pixelOffset = offset;
  return 1;
}

int32_t ReadDIBFile(DibImage *dib, DibFile *file) {
  uint32_t offset = 0;
  if (!ReadDIBHeader(dib, file, &offset)) return 0;
  const uint32_t imageSize = uint32_t(dib->imageSize);
  dib->pixels = static_cast<uint8_t *>(dibio::Alloc(imageSize));
  if (!dib->pixels) return 0;
  if (!dibio::SeekStart(file, offset)) return 0;
  const uint32_t got = dibio::Read(dib->pixels, imageSize, file);
  if (!dibio::SeekEnd(file)) return 0;
  return got == imageSize ? 1 : 0;
}

int32_t WriteDIBFile(const DibImage *dib, DibFile *file) {
  if (!dib || !file || !dib->pixels || dib->width <= 0 || dib->height <= 0) return 0;
  // Only a record whose rows fill its buffer exactly makes a file that
  // reads back.
  const uint64_t stride = Stride(uint32_t(dib->width), uint32_t(dib->bitsPerPixel));
  if (dib->bitsPerPixel <= 0 || uint64_t(dib->stride) != stride ||
      uint64_t(dib->imageSize) != stride * uint32_t(dib->height))
    return 0;
  const bool masks = dib->colorFormat == IJ_FMT_RGB555 || dib->colorFormat == IJ_FMT_RGB565;
  if (dibio::Write("BM", 2, file) != 2 || !Put(file, 4, 0)) return 0;
  if (!dibio::SeekStart(file, 10) || !Put(file, 4, 0)) return 0;
  if (!Put(file, 4, kInfoHeaderSize) || !Put(file, 4, uint32_t(dib->width)) ||
      !Put(file, 4, uint32_t(dib->height)) || !Put(file, 2, 1) ||
      !Put(file, 2, uint32_t(dib->bitsPerPixel)) || !Put(file, 4, masks ? 3 : 0) ||
      !Put(file, 4, uint32_t(dib->imageSize)) || !Put(file, 4, 72) || !Put(file, 4, 72) ||
      !Put(file, 4, 0) || !Put(file, 4, 0))
    return 0;
  if (dib->colorFormat == IJ_FMT_RGB555 &&
      (!Put(file, 4, 0x7C00) || !Put(file, 4, 0x03E0) || !Put(file, 4, 0x001F)))
    return 0;
  if (dib->colorFormat == IJ_FMT_RGB565 &&
      (!Put(file, 4, 0xF800) || !Put(file, 4, 0x07E0) || !Put(file, 4, 0x001F)))
    return 0;
  const int64_t offset = dibio::Tell(file);
  if (offset <= 0 || !dibio::SeekStart(file, 10) || !Put(file, 4, uint32_t(offset)) ||
      !dibio::SeekStart(file, uint32_t(offset)))
    return 0;
  const uint32_t size = uint32_t(dib->imageSize);
  if (dibio::Write(dib->pixels, size, file) != size) return 0;
  const int64_t fileSize = dibio::Tell(file);
  if (fileSize <= 0 || !dibio::SeekStart(file, 2) || !Put(file, 4, uint32_t(fileSize)) ||
      !dibio::SeekEnd(file))
    return 0;
  return 1;
}

void DestoryDIB(DibImage *dib) {
  if (!dib) return;
  if (dib->pixels) dibio::Free(dib->pixels);
  dibio::Zero(dib, sizeof *dib);
}

} // namespace DIB_BUILD
