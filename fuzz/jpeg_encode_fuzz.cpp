// The JPEG encoder on random small images with random settings into stream
// buffers of random size: it must give a documented status, never touch a
// byte past the buffers it was given, report -6 exactly when the stream
// does not fit, and write streams that libjpeg-turbo decodes.  The
// processor's best code path runs first, then the portable code, which must
// give the same status and the same bytes.
#include <setjmp.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

// jpeglib.h relies on stdio.h and stddef.h coming first.
#include <jpeglib.h>

#include "ijenc.h"
#include "ijint.h"

namespace {

constexpr size_t kGuard = 64;
constexpr uint8_t kFill = 0xA5;

struct Params {
  IjImageSpec image;
  int quality, restart, mode;
  bool bottomUp;
  IjStreamParams streamParams;
  bool withStreamParams;
};

// A buffer with a guard zone after it that must stay untouched (the
// sanitizer builds see any overrun themselves; the others check the guard).
struct Guarded {
  std::vector<uint8_t> mem;
  size_t size;
  explicit Guarded(size_t n) : mem(n + kGuard, kFill), size(n) {}
  uint8_t *data() { return mem.data(); }
  void Check() const {
    for (size_t i = size; i < mem.size(); ++i)
      if (mem[i] != kFill) abort();
  }
};

struct Result {
  IjStatus status; // of the first failing call, or of the finish
  std::vector<uint8_t> bytes;
};

Result Run(const Params &p, const std::vector<uint8_t> &pixels, int32_t capacity) {
  Result r = {0, {}};
  Guarded out(size_t(capacity > 0 ? capacity : 0));
  IjStream stream = {capacity, 0, {0, 0, 0}, out.data()};
  IjEncoder enc;
  memset(&enc, 0, sizeof enc);
  r.status = ijxCompressInit(p.quality, p.restart, p.mode, &p.image, nullptr,
                             p.withStreamParams ? &p.streamParams : nullptr, &stream, &enc);
  if (r.status == 0) {
    int32_t len = -1;
    if (ijxGetCompBufLen(&len, &enc) != 0 || len < 0) abort();
    Guarded work(static_cast<size_t>(len));
    r.status = ijxCompBufInit(work.data(), len, &enc);
    if (r.status == 0) {
      const int32_t rowBytes = p.image.width * p.image.bitsPerPixel / 8;
      const uint8_t *src = pixels.data();
      int32_t step = rowBytes;
      if (p.bottomUp) {
        src += size_t(p.image.height - 1) * size_t(rowBytes);
        step = -rowBytes;
      }
      r.status = ijxCompress(&src, &step, &stream, &enc);
      if (r.status == 1) { // a motion stream: one more frame where it takes one
        const IjStatus next = ijxCompress(&src, &step, &stream, &enc);
        if (next != IJ_STS_MODE) r.status = next;
      }
      if (r.status > 0) r.status = ijxCompress(nullptr, nullptr, &stream, &enc);
    }
    work.Check();
  }
  out.Check();
  if (stream.position < 0 || int64_t(stream.position) > int64_t(capacity) * 8) abort();
  switch (r.status) {
  case 1:
  case 2:
  case IJ_STS_MODE:
  case IJ_STS_ARG:
  case IJ_STS_STREAM_FULL:
  case IJ_STS_PRECISION:
  case IJ_STS_FORMAT:
    break;
  default:
    abort();
  }
  r.bytes.assign(out.data(), out.data() + (stream.position + 7) / 8);
  return r;
}

struct ErrorMgr {
  jpeg_error_mgr pub;
  jmp_buf jump;
};

void OnError(j_common_ptr c) {
  longjmp(reinterpret_cast<ErrorMgr *>(c->err)->jump, 1);
}

void OnMessage(j_common_ptr c, int level) {
  if (level < 0) OnError(c);
}

// Whether libjpeg-turbo decodes the stream, without a warning, to the size.
bool Decodes(const std::vector<uint8_t> &jpeg, int width, int height) {
  jpeg_decompress_struct cinfo;
  ErrorMgr err;
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = OnError;
  err.pub.emit_message = OnMessage;
  std::vector<uint8_t> row;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, jpeg.data(), (unsigned long)jpeg.size());
  jpeg_read_header(&cinfo, TRUE);
  jpeg_start_decompress(&cinfo);
  const bool sized = int(cinfo.output_width) == width && int(cinfo.output_height) == height;
  row.resize(size_t(cinfo.output_width) * size_t(cinfo.output_components));
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW r = row.data();
    jpeg_read_scanlines(&cinfo, &r, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return sized;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 10) return 0;
  Params p;
  memset(&p, 0, sizeof p);
  const uint8_t flags = data[9];
  p.image.width = 1 + data[0] % 48;
  p.image.height = 1 + data[1] % 48;
  p.image.bitsPerSample = (flags & 0x80) ? 12 : 8;
  switch (data[2] % 4) {
  case 0:
    p.image.colorFormat = IJ_FMT_GRAY;
    break;
  case 1:
  case 2:
    p.image.colorFormat = IJ_FMT_BGR;
    break;
  default:
    p.image.colorFormat = data[2] >> 2; // anything, mostly refused
  }
  const bool grey = p.image.colorFormat == IJ_FMT_GRAY;
  p.image.bitsPerPixel = (flags & 0x40) ? (grey ? 24 : 8) : (grey ? 8 : 24);
  p.image.sampling = int(data[3] % 5) - 1;
  p.image.densityUnit = 1;
  p.image.xDensity = p.image.yDensity = 72;
  p.quality = int8_t(data[4]);
  p.restart = int8_t(data[5]) % 40;
  // Mostly the modes callers pass (1, and 4 taken as 1), sometimes anything.
  p.mode = data[6] < 200 ? ((data[6] & 1) ? 4 : 1) : data[6] | ((flags & 0x20) ? 0x200 : 0);
  p.bottomUp = flags & 1;
  p.withStreamParams = flags & 2;
  p.streamParams.word[0] = (flags & 4) ? 0x200 : (flags & 8) ? 0x100 : 0;
  const int32_t capacity = int32_t(((data[7] << 8) | data[8]) % 12000);

  // The image the description promises, filled from the rest of the input.
  const size_t bytesPerPixel = size_t(p.image.bitsPerPixel / 8 > 0 ? p.image.bitsPerPixel / 8 : 1);
  std::vector<uint8_t> pixels(size_t(p.image.width) * size_t(p.image.height) * bytesPerPixel);
  const uint8_t *rest = data + 10;
  const size_t restSize = size - 10;
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = restSize ? rest[i % restSize] : 0;

  const Result r = Run(p, pixels, capacity);
  if (ij::BestCodePath() != ij::kPathPortable) {
    ij::LimitCodePath(ij::kPathPortable);
    const Result portable = Run(p, pixels, capacity);
    ij::LimitCodePath(-1);
    if (portable.status != r.status || portable.bytes != r.bytes) abort();
  }
  const bool motion = p.withStreamParams && p.streamParams.word[0];
  if (r.status == 2 || r.status == IJ_STS_STREAM_FULL) {
    // The same with ample room: -6 only when the stream really is larger,
    // and a stream that fit is the same stream.
    const Result roomy = Run(p, pixels, int32_t(pixels.size() * 4 + 8192));
    if (roomy.status != 2) abort();
    if (r.status == IJ_STS_STREAM_FULL && roomy.bytes.size() <= size_t(capacity)) abort();
    if (r.status == 2 && roomy.bytes != r.bytes) abort();
  }
  if (r.status == 2 && !motion) {
    if (r.bytes.size() < 4 || r.bytes[0] != 0xFF || r.bytes[1] != 0xD8 ||
        r.bytes[r.bytes.size() - 2] != 0xFF || r.bytes.back() != 0xD9)
      abort();
    if (!Decodes(r.bytes, p.image.width, p.image.height)) abort();
  }
  return 0;
}
