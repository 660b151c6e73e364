// bmp2jpg.cpp - a bitmap, loaded or still in its file, through the encoder
// into a JPEG file: the stream is assembled in memory and written with one
// write.
#include "bmp2jpg.h"

#include "ijenc.h"

inline namespace DIB_BUILD {

namespace {

// The rows the record describes fit its size, with or without pixels.
bool Shaped(const DibImage *dib) {
  if (dib->width <= 0 || dib->height <= 0 || dib->stride <= 0 || dib->bitsPerPixel <= 0 ||
      dib->imageSize <= 0)
    return false;
  const uint64_t rowBytes = (uint64_t(dib->width) * uint32_t(dib->bitsPerPixel) + 7) / 8;
  return uint64_t(dib->stride) >= rowBytes &&
         uint64_t(dib->stride) * uint32_t(dib->height) <= uint32_t(dib->imageSize);
}

// Bytes the whole stream may need.  Noise at quality 100 codes to several
// times the pixel area, so the bound is the worst case of every block of
// every MCU, with room per MCU for a restart marker and its padding byte
// (stuffed), and kMinStreamBytes for the marker segments.  Beyond what the
// stream's bit position can address the encoder's own limit applies; it
// stops with a full stream rather than write past the buffer.
uint32_t StreamBound(const DibImage *dib, int32_t sampling) {
  uint64_t mcuWidth = 8, mcuHeight = 8, blocks = 1;
  if (dib->colorFormat != IJ_FMT_GRAY) {
    if (sampling == IJ_SAMPLING_422) {
      mcuWidth = 16;
      blocks = 4;
    } else if (sampling == IJ_SAMPLING_411) {
      mcuWidth = mcuHeight = 16;
      blocks = 6;
    } else {
      blocks = 3;
    }
  }
  const uint64_t mcus = (uint64_t(uint32_t(dib->width)) + mcuWidth - 1) / mcuWidth *
                        ((uint64_t(uint32_t(dib->height)) + mcuHeight - 1) / mcuHeight);
  const uint64_t bytes = kMinStreamBytes + mcus * (blocks * IJ_MAX_BLOCK_BYTES + 4);
  return bytes > IJ_MAX_STREAM_BYTES ? uint32_t(IJ_MAX_STREAM_BYTES) : uint32_t(bytes);
}

#ifdef DIB_STDIO
constexpr int64_t kThreadPixels = 512 * 512;
#endif

// One conversion: the encoder, and its stream and work buffers, released
// on every way out.
struct Job {
  IjEncoder encoder;
  IjStream stream;
  uint8_t *streamBytes = nullptr;
  void *work = nullptr;
  ~Job() {
    if (streamBytes) dibio::Free(streamBytes);
    if (work) dibio::Free(work);
  }
};

// Sets the encoder up for the bitmap; false when it refused the bitmap or
// the settings, or memory was short.
bool Prepare(int32_t quality, int32_t restartInterval, int32_t mode, int32_t sampling,
             const DibImage *dib, Job *job) {
  dibio::Zero(&job->encoder, sizeof job->encoder);
  dibio::Zero(&job->stream, sizeof job->stream);
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
  const uint32_t capacity = StreamBound(dib, sampling);
  job->streamBytes = static_cast<uint8_t *>(dibio::Alloc(capacity));
  if (!job->streamBytes) return false;
  job->stream.capacity = int32_t(capacity);
  job->stream.buffer = job->streamBytes;
  if (ijxCompressInit(quality, restartInterval, mode & 0xFF, &image, nullptr, nullptr, &job->stream,
                      &job->encoder) < 0)
    return false;
  int32_t length = 0;
  if (ijxGetCompBufLen(&length, &job->encoder) < 0 || length <= 0) return false;
  job->work = dibio::Alloc(uint32_t(length));
  return job->work && ijxCompBufInit(job->work, length, &job->encoder) >= 0;
}

// Ends the stream and writes it all to the file from offset 0; 1 or 0.
int32_t Finish(Job *job, DibFile *file) {
  if (ijxCompress(nullptr, nullptr, &job->stream, &job->encoder) < 0) return 0;
  const uint32_t bytes = (uint32_t(job->stream.position) + 7) / 8;
  return dibio::Write(job->streamBytes, bytes, file) == bytes ? 1 : 0;
}

#ifdef DIB_STDIO
// Large pictures on every core; a small one is not worth the threads.
int32_t ThreadsFor(const DibImage *dib) {
  return int64_t(dib->width) * dib->height >= kThreadPixels ? EncodeThreads() : 0;
}
#endif

} // namespace

int32_t BMPtoJPEG(int32_t quality, int32_t restartInterval, int32_t mode, int32_t sampling,
                  const DibImage *dib, DibFile *file) {
  if (!dib || !file || !dib->pixels || !Shaped(dib)) return 0;
  if (!dibio::SeekStart(file, 0)) return 0;
  Job job;
  if (!Prepare(quality, restartInterval, mode, sampling, dib, &job)) return 0;
  // The file holds the bottom row first: start at the last stored row and
  // step backwards through memory.
  const uint8_t *source = dib->pixels + size_t(dib->stride) * size_t(dib->height - 1);
  const int32_t step = -dib->stride;
#ifdef DIB_STDIO
  if (CompressOnThreads(source, step, &job.stream, &job.encoder, ThreadsFor(dib)) < 0) return 0;
#else
  if (ijxCompress(&source, &step, &job.stream, &job.encoder) < 0) return 0;
#endif
  return Finish(&job, file);
}

#ifdef DIB_STDIO
int32_t BMPFileToJPEG(int32_t quality, int32_t restartInterval, int32_t mode, int32_t sampling,
                      const DibImage *dib, DibFile *source, uint32_t pixelOffset, DibFile *file) {
  if (!dib || !source || !file || !Shaped(dib)) return 0;
  if (!dibio::SeekStart(file, 0)) return 0;
  Job job;
  if (!Prepare(quality, restartInterval, mode, sampling, dib, &job)) return 0;
  const IjStatus st = CompressFileOnThreads(fileno(source), pixelOffset, dib->stride, dib->height,
                                            &job.stream, &job.encoder, ThreadsFor(dib));
  if (st == kRowsUnreadable) return -1;
  if (st < 0) return 0;
  return Finish(&job, file);
}
#endif

} // namespace DIB_BUILD
