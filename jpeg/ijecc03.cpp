// ijecc03.cpp - BGR to level-shifted YCbCr for one MCU: 4:4:4, 4:2:2 (chroma
// averaged over horizontal pairs) and 4:1:1 (over 2 x 2 squares).
//
// Fixed-point weights scaled by 1024 (they sum to 1024 for Y).  Y subtracts
// 127.5 x 1024 before the shift: that rounds to nearest and removes the level
// offset of 128 at once; the chroma terms carry half a unit of rounding and
// come out centred on 0.  Shifts of negative values are arithmetic.
//
// On x86-64 processors with AVX2 the same conversions run on 16 pixels at a
// time (chosen at set-up); they give the same values.
#include "ijint.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

inline int16_t Luma(int b, int g, int r) {
  return int16_t((306 * r + 601 * g + 117 * b - 130560) >> 10);
}

// b, g, r are sums over 2^shift pixels.
template <int Shift> inline int16_t Cb(int b, int g, int r) {
  return int16_t((512 * b - 173 * r - 339 * g + (512 << Shift)) >> (10 + Shift));
}

template <int Shift> inline int16_t Cr(int b, int g, int r) {
  return int16_t((512 * r - 429 * g - 83 * b + (512 << Shift)) >> (10 + Shift));
}

// Luma of an 8 x 8 square of pixels into one block.
inline void LumaBlock(const uint8_t *src, int32_t step, int16_t *y) {
  for (int row = 0; row < 8; ++row, src += step, y += 8)
    for (int x = 0; x < 8; ++x) y[x] = Luma(src[3 * x], src[3 * x + 1], src[3 * x + 2]);
}

} // namespace

extern "C" IjStatus ippiBGRToYCbCr444LS_MCU_8u16s_C3P3(const uint8_t *src, int32_t step,
                                                       int16_t *const *blocks) {
  int16_t *y = blocks[0], *cb = blocks[1], *cr = blocks[2];
  for (int row = 0; row < 8; ++row, src += step) {
    for (int x = 0; x < 8; ++x) {
      const int b = src[3 * x], g = src[3 * x + 1], r = src[3 * x + 2];
      y[row * 8 + x] = Luma(b, g, r);
      cb[row * 8 + x] = Cb<0>(b, g, r);
      cr[row * 8 + x] = Cr<0>(b, g, r);
    }
  }
  return IJ_STS_OK;
}

extern "C" IjStatus ippiBGRToYCbCr422LS_MCU_8u16s_C3P3(const uint8_t *src, int32_t step,
                                                       int16_t *const *blocks) {
  int16_t *y = blocks[0], *cb = blocks[1], *cr = blocks[2];
  LumaBlock(src, step, y);
  LumaBlock(src + 24, step, y + 64);
  for (int row = 0; row < 8; ++row, src += step) {
    for (int x = 0; x < 8; ++x) {
      const uint8_t *p = src + 6 * x;
      const int b = p[0] + p[3], g = p[1] + p[4], r = p[2] + p[5];
      cb[row * 8 + x] = Cb<1>(b, g, r);
      cr[row * 8 + x] = Cr<1>(b, g, r);
    }
  }
  return IJ_STS_OK;
}

extern "C" IjStatus ippiBGRToYCbCr411LS_MCU_8u16s_C3P3(const uint8_t *src, int32_t step,
                                                       int16_t *const *blocks) {
  int16_t *y = blocks[0], *cb = blocks[1], *cr = blocks[2];
  const ptrdiff_t down = ptrdiff_t(step) * 8;
  LumaBlock(src, step, y);
  LumaBlock(src + 24, step, y + 64);
  LumaBlock(src + down, step, y + 128);
  LumaBlock(src + down + 24, step, y + 192);
  for (int row = 0; row < 8; ++row, src += 2 * ptrdiff_t(step)) {
    const uint8_t *lower = src + step;
    for (int x = 0; x < 8; ++x) {
      const uint8_t *p = src + 6 * x, *q = lower + 6 * x;
      const int b = p[0] + p[3] + q[0] + q[3];
      const int g = p[1] + p[4] + q[1] + q[4];
      const int r = p[2] + p[5] + q[2] + q[5];
      cb[row * 8 + x] = Cb<2>(b, g, r);
      cr[row * 8 + x] = Cr<2>(b, g, r);
    }
  }
  return IJ_STS_OK;
}

#if defined(__x86_64__)

IJ_AVX2_BEGIN

namespace {

typedef __m128i V1;
typedef __m256i V2;

struct Const32 {
  int32_t v;
  operator V1() const { return _mm_set1_epi32(v); }
  operator V2() const { return _mm256_set1_epi32(v); }
};
inline Const32 Set32(int lo, int hi) {
  return {int32_t(uint32_t(uint16_t(lo)) | uint32_t(uint16_t(hi)) << 16)};
}

#include "ijavx2io.h"

// ---- Colour conversion -------------------------------------------------------

// B, G and R of eight pixels (24 bytes at p) in the low half and of eight
// at q in the high half, as 16-bit lanes.  Only the 24 bytes are read.
struct Planes {
  V2 b, g, r;
};

inline Planes Deinterleave(const uint8_t *p, const uint8_t *q) {
  const V2 head = Load2(p, q); // bytes 0 ... 15
  const V2 tail = _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadl_epi64(reinterpret_cast<const V1 *>(p + 16))),
      _mm_loadl_epi64(reinterpret_cast<const V1 *>(q + 16)), 1); // bytes 16 ... 23
  const int8_t z = -128;
  const V2 bHead = _mm256_setr_epi8(0, z, 3, z, 6, z, 9, z, 12, z, 15, z, z, z, z, z, 0, z, 3, z, 6,
                                    z, 9, z, 12, z, 15, z, z, z, z, z);
  const V2 bTail = _mm256_setr_epi8(z, z, z, z, z, z, z, z, z, z, z, z, 2, z, 5, z, z, z, z, z, z,
                                    z, z, z, z, z, z, z, 2, z, 5, z);
  const V2 gHead = _mm256_setr_epi8(1, z, 4, z, 7, z, 10, z, 13, z, z, z, z, z, z, z, 1, z, 4, z, 7,
                                    z, 10, z, 13, z, z, z, z, z, z, z);
  const V2 gTail = _mm256_setr_epi8(z, z, z, z, z, z, z, z, z, z, 0, z, 3, z, 6, z, z, z, z, z, z,
                                    z, z, z, z, z, 0, z, 3, z, 6, z);
  const V2 rHead = _mm256_setr_epi8(2, z, 5, z, 8, z, 11, z, 14, z, z, z, z, z, z, z, 2, z, 5, z, 8,
                                    z, 11, z, 14, z, z, z, z, z, z, z);
  const V2 rTail = _mm256_setr_epi8(z, z, z, z, z, z, z, z, z, z, 1, z, 4, z, 7, z, z, z, z, z, z,
                                    z, z, z, z, z, 1, z, 4, z, 7, z);
  Planes s;
  s.b = _mm256_or_si256(_mm256_shuffle_epi8(head, bHead), _mm256_shuffle_epi8(tail, bTail));
  s.g = _mm256_or_si256(_mm256_shuffle_epi8(head, gHead), _mm256_shuffle_epi8(tail, gTail));
  s.r = _mm256_or_si256(_mm256_shuffle_epi8(head, rHead), _mm256_shuffle_epi8(tail, rTail));
  return s;
}

// a * x + b * y + c * z + d over 16-bit lanes, in 32 bits, then >> Shift;
// the pairs go through madd, the constant rides on z's partner lane.
template <int Shift>
inline V2 Combine(V2 x, V2 y, V2 z, int16_t a, int16_t b, int16_t c, int16_t d) {
  const V2 one = _mm256_set1_epi16(1);
  const V2 kxy = Set32(a, b), kz = Set32(c, d);
  const V2 lo = _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(x, y), kxy),
                                 _mm256_madd_epi16(_mm256_unpacklo_epi16(z, one), kz));
  const V2 hi = _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(x, y), kxy),
                                 _mm256_madd_epi16(_mm256_unpackhi_epi16(z, one), kz));
  return _mm256_packs_epi32(_mm256_srai_epi32(lo, Shift), _mm256_srai_epi32(hi, Shift));
}

// Y = (306 R + 601 G + 117 B - 130560) >> 10, from the same pairs (R, G)
// and (B, 1) as the chroma below: -130560 is -32768 on the 1 lane and the
// rest added in 32 bits.
inline V2 Luma(const Planes &s) {
  const V2 one = _mm256_set1_epi16(1), rest = _mm256_set1_epi32(-130560 + 32768);
  const V2 krg = Set32(306, 601), kb = Set32(117, -32768);
  const V2 lo = _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(s.r, s.g), krg),
                                 _mm256_madd_epi16(_mm256_unpacklo_epi16(s.b, one), kb));
  const V2 hi = _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(s.r, s.g), krg),
                                 _mm256_madd_epi16(_mm256_unpackhi_epi16(s.b, one), kb));
  return _mm256_packs_epi32(_mm256_srai_epi32(_mm256_add_epi32(lo, rest), 10),
                            _mm256_srai_epi32(_mm256_add_epi32(hi, rest), 10));
}

// Chroma of sums over 2^Shift pixels: Cb = (512 B - 173 R - 339 G + 512 <<
// Shift) >> (10 + Shift), Cr = (512 R - 429 G - 83 B + 512 << Shift) >> ...
// Both (and the luma) take the pairs (R, G) and (B, 1), built once.
template <int Shift> inline V2 Cb(V2 b, V2 g, V2 r) {
  return Combine<10 + Shift>(r, g, b, -173, -339, 512, int16_t(512 << Shift));
}
template <int Shift> inline V2 Cr(V2 b, V2 g, V2 r) {
  return Combine<10 + Shift>(r, g, b, 512, -429, -83, int16_t(512 << Shift));
}

// Sums of horizontal pairs: lanes 0 ... 3 of each half from its eight pixels,
// lanes 4 ... 7 zero; as 16-bit lanes.
inline V2 PairSums(V2 v) {
  const V2 sums = _mm256_madd_epi16(v, _mm256_set1_epi16(1)); // 32-bit
  return _mm256_packs_epi32(sums, _mm256_setzero_si256());
}

// The four chroma values of each half (lanes 0 ... 3) into one row of eight:
// the low half's in columns 0 ... 3, the high half's in 4 ... 7.
inline V1 ChromaRow(V2 v) {
  return _mm_unpacklo_epi64(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
}

} // namespace

namespace ij {
namespace fast {

IjStatus Convert444Avx2(const uint8_t *src, int32_t step, int16_t *const *blocks) {
  int16_t *y = blocks[0], *cb = blocks[1], *cr = blocks[2];
  for (int row = 0; row < 8; row += 2, src += 2 * ptrdiff_t(step)) {
    const Planes s = Deinterleave(src, src + step);
    Store2(y + 8 * row, y + 8 * row + 8, Luma(s));
    Store2(cb + 8 * row, cb + 8 * row + 8, Cb<0>(s.b, s.g, s.r));
    Store2(cr + 8 * row, cr + 8 * row + 8, Cr<0>(s.b, s.g, s.r));
  }
  return IJ_STS_OK;
}

IjStatus Convert422Avx2(const uint8_t *src, int32_t step, int16_t *const *blocks) {
  int16_t *y = blocks[0], *cb = blocks[1], *cr = blocks[2];
  for (int row = 0; row < 8; ++row, src += step) {
    const Planes s = Deinterleave(src, src + 24);
    Store2(y + 8 * row, y + 64 + 8 * row, Luma(s));
    const V2 b = PairSums(s.b), g = PairSums(s.g), r = PairSums(s.r);
    Store1(cb + 8 * row, ChromaRow(Cb<1>(b, g, r)));
    Store1(cr + 8 * row, ChromaRow(Cr<1>(b, g, r)));
  }
  return IJ_STS_OK;
}

IjStatus Convert411Avx2(const uint8_t *src, int32_t step, int16_t *const *blocks) {
  int16_t *y = blocks[0], *cb = blocks[1], *cr = blocks[2];
  for (int row = 0; row < 8; ++row, src += 2 * ptrdiff_t(step)) {
    // Image rows 2 row and 2 row + 1: luma of quadrants 0/1 (top) or 2/3.
    int16_t *yq = y + (row < 4 ? 0 : 128) + 16 * (row & 3);
    const Planes upper = Deinterleave(src, src + 24);
    const Planes lower = Deinterleave(src + step, src + step + 24);
    Store2(yq, yq + 64, Luma(upper));
    Store2(yq + 8, yq + 72, Luma(lower));
    const V2 b = PairSums(_mm256_add_epi16(upper.b, lower.b));
    const V2 g = PairSums(_mm256_add_epi16(upper.g, lower.g));
    const V2 r = PairSums(_mm256_add_epi16(upper.r, lower.r));
    Store1(cb + 8 * row, ChromaRow(Cb<2>(b, g, r)));
    Store1(cr + 8 * row, ChromaRow(Cr<2>(b, g, r)));
  }
  return IJ_STS_OK;
}

IjStatus ConvertGrayAvx2(const uint8_t *src, int32_t step, int16_t *const *blocks) {
  int16_t *y = blocks[0];
  const V2 bias = _mm256_set1_epi16(128);
  for (int row = 0; row < 8; row += 2, src += 2 * ptrdiff_t(step)) {
    const V1 a = _mm_loadl_epi64(reinterpret_cast<const V1 *>(src));
    const V1 b = _mm_loadl_epi64(reinterpret_cast<const V1 *>(src + step));
    const V2 v = _mm256_cvtepu8_epi16(_mm_unpacklo_epi64(a, b));
    _mm256_storeu_si256(reinterpret_cast<V2 *>(y + 8 * row), _mm256_sub_epi16(v, bias));
  }
  return IJ_STS_OK;
}

} // namespace fast
} // namespace ij

IJ_AVX2_END

#endif
