// bmp2jpg.cpp - a loaded bitmap through the encoder's public calls into a
// JPEG file: the stream is assembled in memory and written with one write.
#include "bmp2jpg.h"

#include "ijenc.h"

inline namespace DIB_BUILD {

namespace {

// The rows the record describes must lie inside its buffer.
bool Consistent(const DibImage *dib) {
  if (!dib->pixels || dib->width <= 0 || dib->height <= 0 || dib->stride <= 0 ||
      dib->bitsPerPixel <= 0 || dib->imageSize <= 0)
    return false;
  const uint64_t rowBytes = (uint64_t(dib->width) * uint32_t(dib->bitsPerPixel) + 7) / 8;
  return uint64_t(dib->stride) >= rowBytes &&
         uint64_t(dib->stride) * uint32_t(dib->height) <= uint32_t(dib->imageSize);
}

// Everything the conversion holds, released on every way out.
struct Buffers {
  uint8_t *stream = nullptr;
  void *work = nullptr;
  ~Buffers() {
    if (stream) dibio::Free(stream);
    if (work) dibio::Free(work);
  }
};

} // namespace

int32_t BMPtoJPEG(int32_t quality, int32_t restartInterval, int32_t mode, int32_t sampling,
                  const DibImage *dib, DibFile *file) {
  if (!dib || !file || !Consistent(dib)) return 0;
  if (!dibio::SeekStart(file, 0)) return 0;
  IjEncoder encoder;
  IjStream stream;
  dibio::Zero(&encoder, sizeof encoder);
  dibio::Zero(&stream, sizeof stream);
  IjImageSpec image = {dib->width,
                       dib->height,
                       dib->bitsPerSample,
                       dib->bitsPerPixel,
                       dib->channels,
                       dib->colorFormat,
                       sampling,
                       0,
                       72,
                       72};

  // The coded stream is bounded by the buffer: when noise at a high quality
  // needs more than the bitmap's own size, the encoder stops with a full
  // stream and the conversion fails instead of writing past the end.
  const uint32_t capacity =
      uint32_t(dib->imageSize) < kMinStreamBytes ? kMinStreamBytes : uint32_t(dib->imageSize);
  Buffers held;
  held.stream = static_cast<uint8_t *>(dibio::Alloc(capacity));
  if (!held.stream) return 0;
  stream.capacity = int32_t(capacity);
  stream.buffer = held.stream;

  if (ijxCompressInit(quality, restartInterval, mode & 0xFF, &image, nullptr, nullptr, &stream,
                      &encoder) < 0)
    return 0;
  int32_t length = 0;
  if (ijxGetCompBufLen(&length, &encoder) < 0 || length <= 0) return 0;
  held.work = dibio::Alloc(uint32_t(length));
  if (!held.work || ijxCompBufInit(held.work, length, &encoder) < 0) return 0;

  // The file holds the bottom row first: start at the last stored row and
  // step backwards through memory.
  const uint8_t *source = dib->pixels + size_t(dib->stride) * size_t(dib->height - 1);
  const int32_t step = -dib->stride;
  if (ijxCompress(&source, &step, &stream, &encoder) < 0) return 0;
  if (ijxCompress(nullptr, nullptr, &stream, &encoder) < 0) return 0;
  const uint32_t bytes = (uint32_t(stream.position) + 7) / 8;
  return dibio::Write(held.stream, bytes, file) == bytes ? 1 : 0;
}

} // namespace DIB_BUILD
