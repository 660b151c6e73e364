// Encoding speed of the JPEG encoder against libjpeg-turbo (baseline, same
// quality and sampling, default Huffman tables, integer DCT) on one
// 4000 x 3000 BGR picture, for 4:1:1 and 4:4:4 at quality 50 and 90.
//
// Our figure is the best code path of this processor; the portable code's
// is printed beside it, and a stream that differs between the two stops the
// run.  Built a second time over a library without the stream bound check
// (jpeg_encode_unchecked), it measures what that check costs; both print a
// hash of our stream so that any optimisation can be seen to keep the bytes.
//
// jpeg_encode --bmp FILE writes the picture as a 24-bit BMP instead, for
// timing jpgcmd against cjpeg (bench/jpgcmd_cjpeg.sh).
#include <math.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <algorithm>
#include <vector>

#ifndef IJENC_BENCH_OURS_ONLY
#include <jpeglib.h>
#endif

#include "ijenc.h"
#include "ijint.h"

namespace {

constexpr int kWidth = 4000, kHeight = 3000;
int runs = 3;

// Processor time of this process: on a shared machine the wall clock
// mostly measures the neighbours.
double Now() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Smooth areas, edges, fine texture and sensor-like noise.
std::vector<uint8_t> Picture() {
  std::vector<uint8_t> px(size_t(kWidth) * kHeight * 3);
  uint32_t rnd = 12345;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      for (int c = 0; c < 3; ++c) {
        rnd = rnd * 1664525u + 1013904223u;
        double v = 60 + 120 * (c == 0 ? double(x) / kWidth : c == 1 ? double(y) / kHeight : 0.5);
        v += 40 * sin(x * 0.013 + c) * cos(y * 0.021);
        v += 12 * sin(x * 0.9 + y * 0.7);
        if (((x / 97) + (y / 61)) % 5 == 0) v += 50;
        v += double(rnd >> 28) - 7.5;
        px[(size_t(y) * kWidth + x) * 3 + size_t(c)] = uint8_t(std::clamp(v, 0.0, 255.0));
      }
  return px;
}

uint64_t Fnv(const uint8_t *p, size_t n) {
  uint64_t h = 1469598103934665603ull;
  for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
  return h;
}

// Our encoder, buffers provided outside the timing as a caller would.
size_t Ours(const std::vector<uint8_t> &px, int quality, int sampling, std::vector<uint8_t> &out,
            std::vector<uint8_t> &work) {
  IjImageSpec image = {kWidth, kHeight, 8, 24, 3, IJ_FMT_BGR, sampling, 0, 72, 72};
  IjStream stream = {int32_t(out.size()), 0, {0, 0, 0}, out.data()};
  IjEncoder enc;
  memset(&enc, 0, sizeof enc);
  if (ijxCompressInit(quality, 0, 1, &image, nullptr, nullptr, &stream, &enc) != 0) return 0;
  int32_t len = 0;
  ijxGetCompBufLen(&len, &enc);
  if (work.size() < size_t(len)) work.resize(size_t(len));
  if (ijxCompBufInit(work.data(), len, &enc) != 0) return 0;
  const uint8_t *src = px.data();
  int32_t step = kWidth * 3;
  if (ijxCompress(&src, &step, &stream, &enc) != 2) return 0;
  if (ijxCompress(nullptr, nullptr, &stream, &enc) != 2) return 0;
  return size_t(stream.position + 7) / 8;
}

#ifndef IJENC_BENCH_OURS_ONLY
size_t Libjpeg(const std::vector<uint8_t> &px, int quality, int sampling,
               std::vector<uint8_t> &out) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char *buf = out.data();
  unsigned long size = out.size();
  jpeg_mem_dest(&c, &buf, &size);
  c.image_width = kWidth;
  c.image_height = kHeight;
  c.input_components = 3;
  c.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, quality, TRUE);
  c.dct_method = JDCT_ISLOW;
  c.optimize_coding = FALSE;
  c.comp_info[0].h_samp_factor = c.comp_info[0].v_samp_factor = sampling == 2 ? 2 : 1;
  for (int i = 1; i < 3; ++i) c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(&px[size_t(c.next_scanline) * kWidth * 3]);
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  if (buf != out.data()) { // it had to grow: not expected with this buffer
    free(buf);
    return 0;
  }
  return size;
}
#endif

template <typename F> double Best(F encode) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) {
    const double t0 = Now();
    if (encode() == 0) return 0;
    best = std::min(best, Now() - t0);
  }
  return best;
}

// The picture as a bottom-up 24-bit BMP file.
int WriteBmp(const std::vector<uint8_t> &px, const char *name) {
  const uint32_t image = uint32_t(kWidth) * kHeight * 3; // rows need no padding
  uint8_t h[54] = {'B', 'M'};
  auto put = [&h](int at, uint32_t v) {
    for (int i = 0; i < 4; ++i) h[at + i] = uint8_t(v >> (8 * i));
  };
  put(2, 54 + image);
  put(10, 54);
  put(14, 40);
  put(18, kWidth);
  put(22, kHeight);
  h[26] = 1;
  h[28] = 24;
  put(34, image);
  put(38, 2835);
  put(42, 2835);
  FILE *f = fopen(name, "wb");
  if (!f) return 1;
  bool ok = fwrite(h, 1, sizeof h, f) == sizeof h;
  for (int y = kHeight - 1; y >= 0 && ok; --y)
    ok = fwrite(&px[size_t(y) * kWidth * 3], 1, size_t(kWidth) * 3, f) == size_t(kWidth) * 3;
  return fclose(f) == 0 && ok ? 0 : 1;
}

} // namespace

// Optional argument: runs per figure (default 3), or --bmp FILE.
int main(int argc, char **argv) {
  if (argc > 2 && strcmp(argv[1], "--bmp") == 0) return WriteBmp(Picture(), argv[2]);
  if (argc > 1) runs = std::max(1, atoi(argv[1]));
  const std::vector<uint8_t> px = Picture();
  std::vector<uint8_t> out(px.size() + (1 << 20)), work, theirs(px.size() + (1 << 20));
  const double mp = double(kWidth) * kHeight / 1e6;
#ifdef IJENC_UNCHECKED_STREAM
  printf("our encoder WITHOUT the stream bound check\n");
#endif
  static const char *const kPaths[] = {"portable", "SSE2", "AVX2"};
  printf("%d x %d BGR, best of %d runs, processor time, our path: %s\n", kWidth, kHeight, runs,
         kPaths[ij::ActiveCodePath()]);
  for (int sampling : {IJ_SAMPLING_411, IJ_SAMPLING_444})
    for (int quality : {50, 90}) {
      size_t ourSize = 0;
      const double tOurs = Best([&] { return ourSize = Ours(px, quality, sampling, out, work); });
      if (tOurs == 0) {
        printf("our encoder failed\n");
        return 1;
      }
      const uint64_t hash = Fnv(out.data(), ourSize);
      ij::LimitCodePath(ij::kPathPortable);
      size_t portableSize = 0;
      const double tPortable =
          Best([&] { return portableSize = Ours(px, quality, sampling, out, work); });
      ij::LimitCodePath(-1);
      if (tPortable == 0 || portableSize != ourSize || Fnv(out.data(), portableSize) != hash) {
        printf("the portable code wrote another stream\n");
        return 1;
      }
      printf("%s q%-3d ours %7.1f MP/s (portable %6.1f)  %8zu bytes  hash %016llx",
             sampling ? "4:1:1" : "4:4:4", quality, mp / tOurs, mp / tPortable, ourSize,
             (unsigned long long)hash);
#ifndef IJENC_BENCH_OURS_ONLY
      size_t theirSize = 0;
      const double tTheirs =
          Best([&] { return theirSize = Libjpeg(px, quality, sampling, theirs); });
      if (tTheirs == 0) {
        printf("\nlibjpeg-turbo failed\n");
        return 1;
      }
      printf(" | libjpeg-turbo %7.1f MP/s  %8zu bytes | ours/theirs %.2f", mp / tTheirs, theirSize,
             tTheirs / tOurs);
#endif
      printf("\n");
    }
  return 0;
}
