// osd_jpeg.cpp - the firmware's JPEG decoder: a picture file in, a block of
// exactly the requested number of ARGB pixels out.
//
// Decoding is libjpeg-turbo's; for pictures much larger than asked for, its
// DCT scaling (1/2, 1/4, 1/8) first decodes at the smallest size that is
// still at least the requested one.  The result is then resampled with an
// area average: each output pixel is the mean of the source area it covers,
// source pixels weighted by how much of them lies inside (enlarging thus
// repeats pixels, blending only at the seams).  The arithmetic is exact
// integer arithmetic rounded to nearest, so every CPU gives the same pixels.
//
// Anything libjpeg reports, warnings included (data cut short, corrupt
// entropy data), makes the call fail: the caller gets null and nothing is
// left allocated, rather than a picture with a grey remainder.
#include <setjmp.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

// jpeglib.h relies on stdio.h and stddef.h coming first.
#include <jpeglib.h>

#include "sim.h"

namespace {

// Decompression bombs: a header can claim 65535 x 65535 pixels from a few
// bytes, and a progressive file can hold thousands of scans.
constexpr JDIMENSION kMaxSourceSide = 8192;
constexpr dword kMaxTargetSide = 8192;
constexpr int kMaxScans = 500;
constexpr long kMaxDecoderMemory = 128L * 1024 * 1024;

struct ErrorMgr {
  jpeg_error_mgr pub;
  jmp_buf jump;
};

void OnError(j_common_ptr c) {
  longjmp(reinterpret_cast<ErrorMgr *>(c->err)->jump, 1);
}

void OnMessage(j_common_ptr c, int level) {
  if (level < 0) longjmp(reinterpret_cast<ErrorMgr *>(c->err)->jump, 1);
}

void OnProgress(j_common_ptr c) {
  if (c->is_decompressor && reinterpret_cast<j_decompress_ptr>(c)->input_scan_number > kMaxScans)
    longjmp(reinterpret_cast<ErrorMgr *>(c->err)->jump, 1);
}

// One decode.  Everything that needs releasing lives here, in the caller's
// frame, so that a longjmp out of libjpeg loses nothing.
struct Job {
  FILE *file = nullptr;
  jpeg_decompress_struct cinfo;
  bool created = false;
  ErrorMgr err;
  jpeg_progress_mgr progress;
  JSAMPLE *scan = nullptr;  // one decoded line
  uint32_t *span = nullptr; // per output column: first source column, count
  uint32_t *weight = nullptr;
  uint32_t *hsum = nullptr; // one source line resampled across, 3 channels
  uint64_t *acc = nullptr;  // the output line being gathered, 3 channels
  uint32_t *out = nullptr;  // the result, from the plug-in heap
};

void Release(Job &j, bool keepResult) {
  if (j.created) jpeg_destroy_decompress(&j.cinfo);
  if (j.file) fclose(j.file);
  free(j.scan);
  free(j.span);
  free(j.weight);
  free(j.hsum);
  free(j.acc);
  if (!keepResult && j.out) TAP_MemFree(j.out);
}

// Red, green and blue of pixel x of a decoded line.
void Rgb(const Job &j, JDIMENSION x, unsigned rgb[3]) {
  const JSAMPLE *p = j.scan + size_t(x) * j.cinfo.output_components;
  switch (j.cinfo.out_color_space) {
  case JCS_GRAYSCALE:
    rgb[0] = rgb[1] = rgb[2] = p[0];
    break;
  case JCS_CMYK: {
    // Adobe's files store the inks inverted (255 = no ink), others plainly.
    const bool inverted = j.cinfo.saw_Adobe_marker;
    const unsigned k = inverted ? p[3] : 255u - p[3];
    for (int c = 0; c < 3; ++c) {
      const unsigned v = inverted ? p[c] : 255u - p[c];
      rgb[c] = (v * k + 127) / 255;
    }
    break;
  }
  default:
    rgb[0] = p[0];
    rgb[1] = p[1];
    rgb[2] = p[2];
    break;
  }
}

// Weights of the area average along one axis: output pixel o covers source
// interval [o * src, (o + 1) * src) and source pixel i [i * dst, (i + 1) *
// dst), both in units of 1/dst source pixels; the overlaps of each output
// pixel add up to src.
bool AxisWeights(Job &j, uint32_t src, uint32_t dst) {
  j.span = static_cast<uint32_t *>(malloc(sizeof(uint32_t) * 2 * dst));
  j.weight = static_cast<uint32_t *>(malloc(sizeof(uint32_t) * (size_t(src) + dst)));
  if (!j.span || !j.weight) return false;
  size_t n = 0;
  for (uint32_t o = 0; o < dst; ++o) {
    const uint64_t lo = uint64_t(o) * src, hi = lo + src;
    const uint32_t first = uint32_t(lo / dst), last = uint32_t((hi - 1) / dst);
    j.span[2 * o] = first;
    j.span[2 * o + 1] = last - first + 1;
    for (uint32_t i = first; i <= last; ++i) {
      const uint64_t a = std::max<uint64_t>(lo, uint64_t(i) * dst);
      const uint64_t b = std::min<uint64_t>(hi, uint64_t(i + 1) * dst);
      j.weight[n++] = uint32_t(b - a);
    }
  }
  return true;
}

bool Decode(Job &j, const char *hostPath, dword width, dword height) {
  j.file = fopen(hostPath, "rb");
  if (!j.file) return false;
  j.cinfo.err = jpeg_std_error(&j.err.pub);
  j.err.pub.error_exit = OnError;
  j.err.pub.emit_message = OnMessage;
  if (setjmp(j.err.jump)) return false;
  jpeg_create_decompress(&j.cinfo);
  j.created = true;
  j.cinfo.mem->max_memory_to_use = kMaxDecoderMemory;
  j.progress.progress_monitor = OnProgress;
  j.cinfo.progress = &j.progress;
  jpeg_stdio_src(&j.cinfo, j.file);
  jpeg_read_header(&j.cinfo, TRUE);
  if (j.cinfo.image_width > kMaxSourceSide || j.cinfo.image_height > kMaxSourceSide) return false;

  switch (j.cinfo.jpeg_color_space) {
  case JCS_GRAYSCALE:
    j.cinfo.out_color_space = JCS_GRAYSCALE;
    break;
  case JCS_CMYK:
  case JCS_YCCK:
    j.cinfo.out_color_space = JCS_CMYK;
    break;
  default:
    j.cinfo.out_color_space = JCS_RGB;
    break;
  }
  // The strongest DCT reduction that still leaves at least the target size.
  j.cinfo.scale_num = 1;
  for (unsigned denom = 8; denom >= 1; denom /= 2) {
    j.cinfo.scale_denom = denom;
    jpeg_calc_output_dimensions(&j.cinfo);
    if (denom == 1 || (j.cinfo.output_width >= width && j.cinfo.output_height >= height)) break;
  }
  const uint32_t sw = j.cinfo.output_width, sh = j.cinfo.output_height;
  const uint32_t dw = uint32_t(width), dh = uint32_t(height);
  if (sw == 0 || sh == 0) return false;

  j.scan = static_cast<JSAMPLE *>(malloc(size_t(sw) * j.cinfo.output_components));
  j.hsum = static_cast<uint32_t *>(malloc(sizeof(uint32_t) * 3 * dw));
  j.acc = static_cast<uint64_t *>(calloc(size_t(3) * dw, sizeof(uint64_t)));
  if (!j.scan || !j.hsum || !j.acc || !AxisWeights(j, sw, dw)) return false;
  j.out = static_cast<uint32_t *>(TAP_MemAlloc(width * height * 4));
  if (!j.out) return false;

  jpeg_start_decompress(&j.cinfo);
  const uint64_t area = uint64_t(sw) * sh;
  uint32_t oy = 0;
  while (j.cinfo.output_scanline < sh) {
    const uint32_t sy = j.cinfo.output_scanline;
    JSAMPROW rows[1] = {j.scan};
    if (jpeg_read_scanlines(&j.cinfo, rows, 1) != 1) return false;
    // Across: weights of each output column add up to sw.
    const uint32_t *w = j.weight;
    for (uint32_t ox = 0; ox < dw; ++ox) {
      uint32_t sum[3] = {0, 0, 0};
      const uint32_t first = j.span[2 * ox], count = j.span[2 * ox + 1];
      for (uint32_t k = 0; k < count; ++k, ++w) {
        unsigned rgb[3];
        Rgb(j, first + k, rgb);
        for (int c = 0; c < 3; ++c) sum[c] += *w * rgb[c];
      }
      for (int c = 0; c < 3; ++c) j.hsum[3 * ox + c] = sum[c];
    }
    // Down: this line covers [sy * dh, (sy + 1) * dh); hand its share to
    // each output line it overlaps and finish the ones it completes.
    const uint64_t lo = uint64_t(sy) * dh, hi = lo + dh;
    while (oy < dh) {
      const uint64_t olo = uint64_t(oy) * sh, ohi = olo + sh;
      const uint64_t share = std::min(hi, ohi) - std::max(lo, olo);
      for (size_t i = 0; i < size_t(3) * dw; ++i) j.acc[i] += share * j.hsum[i];
      if (ohi > hi) break;
      uint32_t *dst = j.out + size_t(oy) * dw;
      for (uint32_t ox = 0; ox < dw; ++ox) {
        uint32_t px = 0xFF000000u;
        for (int c = 0; c < 3; ++c)
          px |= uint32_t((j.acc[3 * ox + c] + area / 2) / area) << (16 - 8 * c);
        dst[ox] = px;
      }
      memset(j.acc, 0, sizeof(uint64_t) * 3 * dw);
      ++oy;
    }
  }
  jpeg_finish_decompress(&j.cinfo);
  return oy == dh;
}

} // namespace

// name is relative to the calling plug-in's current directory.  Returns a
// block of width x height pixels 0xFFRRGGBB, rows from the top, from the
// plug-in heap (released with TAP_MemFree); null when the file is missing or
// not a sound JPEG, the picture or the requested size exceeds 8192 a side, or
// memory runs out.  flags are not used.
extern "C" uint32_t *TAP_Osd_DecompressJpeg(const char *name, dword width, dword height,
                                            dword flags) {
  (void)flags;
  if (!name || !*name || width == 0 || height == 0) return nullptr;
  if (width > kMaxTargetSide || height > kMaxTargetSide) return nullptr;
  std::string diskPath, hostPath;
  if (!sim::ResolveDiskPath(sim::CurrentTask().cwd, name, diskPath) ||
      !sim::HostPathOf(diskPath, hostPath))
    return nullptr;
  Job job;
  const bool ok = Decode(job, hostPath.c_str(), width, height);
  Release(job, ok);
  return ok ? job.out : nullptr;
}
