// ijehufbs.cpp - the bit writer with byte stuffing, and the Huffman coding of
// one block of a baseline scan.
//
// On x86-64 processors a faster coder of the same bytes takes the MCUs of
// both vector paths: a 64-bit bit buffer, byte stuffing found with a word
// test, and the non-zero coefficients found with vector compares and visited
// by bit scans.
#include "ijint.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

extern "C" IjStatus _IppWriteStreamBits(uint32_t value, int32_t count, uint8_t *buffer,
                                        int32_t *position) {
  if (count <= 0) return IJ_STS_OK;
  ij::BitSink sink(buffer, *position);
  if (count > 32) count = 32;
  if (count > 16) { // the sink takes at most 24 bits at a time
    sink.Put(value >> 16, count - 16);
    count = 16;
  }
  sink.Put(value, count);
  *position = sink.Finish(buffer);
  return IJ_STS_OK;
}

namespace {

// Appends the size category of v's magnitude and v's low bits (v - 1 for
// negatives: the one's complement form the decoder expects).
inline void PutValue(ij::BitSink &sink, const IjHuffEncTable *t, int32_t v, unsigned runShift) {
  const uint32_t m = uint32_t(v < 0 ? -v : v);
  const int s = ij::Category(m);
  sink.PutCode(t, (runShift + unsigned(s)) & 0xFF);
  if (s) sink.Put(uint32_t(v < 0 ? v - 1 : v), s);
}

} // namespace

extern "C" IjStatus ippiEncodeHuffman_Direct_JPEG_16s1u(const int16_t *block, uint8_t *buffer,
                                                        int32_t *position, int16_t *dcPred,
                                                        const IjHuffEncTable *dc,
                                                        const IjHuffEncTable *ac) {
  ij::BitSink sink(buffer, *position);
  const int32_t diff = int16_t(block[0] - *dcPred);
  *dcPred = block[0];
  PutValue(sink, dc, diff, 0);

  unsigned run = 0;
  for (int k = 1; k < 64; ++k) {
    const int32_t v = block[_nIppIZigZagIndex[k]];
    if (v == 0) {
      ++run;
      continue;
    }
    for (; run >= 16; run -= 16) sink.PutCode(ac, 0xF0);
    PutValue(sink, ac, v, run << 4);
    run = 0;
  }
  if (run) sink.PutCode(ac, 0x00);
  *position = sink.Finish(buffer);
  return IJ_STS_OK;
}

#if defined(__x86_64__)

namespace {

// Bit n of the zig-zag mask for bit m of byte b of the natural-order mask:
// the non-zero coefficients are found in natural order with a few vector
// compares and brought into zig-zag order with eight look-ups.
struct ZigZagBits {
  uint64_t bit[8][256];
};

constexpr ZigZagBits MakeZigZagBits() {
  constexpr uint8_t kZigZag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                   12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                   35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                   58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};
  ZigZagBits z{};
  int position[64] = {};
  for (int k = 0; k < 64; ++k) position[kZigZag[k]] = k;
  for (int b = 0; b < 8; ++b)
    for (int v = 0; v < 256; ++v) {
      uint64_t m = 0;
      for (int i = 0; i < 8; ++i)
        if (v & (1 << i)) m |= uint64_t(1) << position[b * 8 + i];
      z.bit[b][v] = m;
    }
  return z;
}

constexpr ZigZagBits kZigZagBits = MakeZigZagBits();

} // namespace

namespace sse2 {
namespace {
#include "ijsimdhuf.h"
} // namespace
} // namespace sse2

IJ_AVX2_BEGIN
namespace avx2 {
namespace {
#include "ijsimdhuf.h"
} // namespace
} // namespace avx2
IJ_AVX2_END

namespace ij {
namespace fast {

IjStatus EncodeGray(int16_t *const *blocks, IjStream *stream, IjEncoder *e) {
  return sse2::EncodeMcu<1, false>(blocks, stream, e);
}

IjStatus Encode444(int16_t *const *blocks, IjStream *stream, IjEncoder *e) {
  return sse2::EncodeMcu<1, true>(blocks, stream, e);
}

IjStatus Encode422(int16_t *const *blocks, IjStream *stream, IjEncoder *e) {
  return sse2::EncodeMcu<2, true>(blocks, stream, e);
}

IjStatus Encode411(int16_t *const *blocks, IjStream *stream, IjEncoder *e) {
  return sse2::EncodeMcu<4, true>(blocks, stream, e);
}

void EncodeBlocks(const int16_t *first, int32_t count, uint8_t *buffer, int32_t *position,
                  int16_t *dcPred, const IjHuffEncTable *dc, const IjHuffEncTable *ac) {
  sse2::EncodeBlocks(first, count, buffer, position, dcPred, dc, ac);
}

} // namespace fast
} // namespace ij

IJ_AVX2_BEGIN
namespace ij {
namespace fast {

IjStatus EncodeGrayAvx2(int16_t *const *blocks, IjStream *stream, IjEncoder *e) {
  return avx2::EncodeMcu<1, false>(blocks, stream, e);
}

IjStatus Encode444Avx2(int16_t *const *blocks, IjStream *stream, IjEncoder *e) {
  return avx2::EncodeMcu<1, true>(blocks, stream, e);
}

IjStatus Encode422Avx2(int16_t *const *blocks, IjStream *stream, IjEncoder *e) {
  return avx2::EncodeMcu<2, true>(blocks, stream, e);
}

IjStatus Encode411Avx2(int16_t *const *blocks, IjStream *stream, IjEncoder *e) {
  return avx2::EncodeMcu<4, true>(blocks, stream, e);
}

void EncodeBlocksAvx2(const int16_t *first, int32_t count, uint8_t *buffer, int32_t *position,
                      int16_t *dcPred, const IjHuffEncTable *dc, const IjHuffEncTable *ac) {
  avx2::EncodeBlocks(first, count, buffer, position, dcPred, dc, ac);
}

} // namespace fast
} // namespace ij
IJ_AVX2_END

#endif
