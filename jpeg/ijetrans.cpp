// ijetrans.cpp - the transform step of one MCU: every block of it through the
// DCT with quantisation, luma blocks with the luma table, chroma blocks with
// the chroma table.
//
// On x86-64 processors the same transforms run on vectors: SSE2 one block at
// a time, AVX2 two (chosen at set-up), with the same results; the DCT they
// share is ijsimd.h, included once for each instruction set.
#include "ijint.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

extern "C" IjStatus ijTransformFwd_MCU_16s_C1_I(int16_t *const *blocks,
                                                const uint16_t *const *recip) {
  return ippiDCTQuantFwd_JPEG_16s_I(blocks[0], recip[0]);
}

namespace {

IjStatus Colour(int16_t *const *blocks, const uint16_t *const *recip, int32_t lumaBlocks) {
  ippiDCTQuantFwd_Blocks_JPEG_16s_I(blocks[0], lumaBlocks, recip[0]);
  ippiDCTQuantFwd_JPEG_16s_I(blocks[1], recip[1]);
  return ippiDCTQuantFwd_JPEG_16s_I(blocks[2], recip[2]);
}

} // namespace

extern "C" IjStatus ijTransformFwd444_MCU_16s_C3_I(int16_t *const *blocks,
                                                   const uint16_t *const *recip) {
  return Colour(blocks, recip, 1);
}

extern "C" IjStatus ijTransformFwd422_MCU_16s_C3_I(int16_t *const *blocks,
                                                   const uint16_t *const *recip) {
  return Colour(blocks, recip, 2);
}

extern "C" IjStatus ijTransformFwd411_MCU_16s_C3_I(int16_t *const *blocks,
                                                   const uint16_t *const *recip) {
  return Colour(blocks, recip, 4);
}

#if defined(__x86_64__)

namespace sse2 {
namespace {

// ---- SSE2 vector operations for ijsimd.h ----------------------------------

typedef __m128i V;

inline V Add16(V a, V b) {
  return _mm_add_epi16(a, b);
}
inline V Sub16(V a, V b) {
  return _mm_sub_epi16(a, b);
}
inline V Add32(V a, V b) {
  return _mm_add_epi32(a, b);
}
inline V Sub32(V a, V b) {
  return _mm_sub_epi32(a, b);
}
inline V Unpacklo16(V a, V b) {
  return _mm_unpacklo_epi16(a, b);
}
inline V Unpackhi16(V a, V b) {
  return _mm_unpackhi_epi16(a, b);
}
inline V Unpacklo32(V a, V b) {
  return _mm_unpacklo_epi32(a, b);
}
inline V Unpackhi32(V a, V b) {
  return _mm_unpackhi_epi32(a, b);
}
inline V Unpacklo64(V a, V b) {
  return _mm_unpacklo_epi64(a, b);
}
inline V Unpackhi64(V a, V b) {
  return _mm_unpackhi_epi64(a, b);
}
inline V Madd(V a, V b) {
  return _mm_madd_epi16(a, b);
}
inline V Srai12(V a) {
  return _mm_srai_epi32(a, 12);
}
inline V Packs32(V a, V b) {
  return _mm_packs_epi32(a, b);
}
inline V Set16(int16_t v) {
  return _mm_set1_epi16(v);
}
inline V Set32(int lo, int hi) {
  return _mm_set1_epi32(int32_t(uint32_t(uint16_t(lo)) | uint32_t(uint16_t(hi)) << 16));
}

// (x * 2896 + 2048) >> 12 on 32-bit products.
inline V MulC4(V x) {
  const V k = Set32(2896, 2048), one = Set16(1);
  return Packs32(Srai12(Madd(Unpacklo16(x, one), k)), Srai12(Madd(Unpackhi16(x, one), k)));
}

// (y * r + 0x4000) >> 15 with r unsigned: the 32-bit product from its
// halves (the signed high half corrected for r >= 0x8000), then the rounding
// carry out of the low half: 0, 1 or 2 units of 2^15.
inline V Quant(V y, V r) {
  const V lo = _mm_mullo_epi16(y, r);
  const V hi = _mm_add_epi16(_mm_mulhi_epi16(y, r), _mm_and_si128(y, _mm_srai_epi16(r, 15)));
  const V carry = _mm_srli_epi16(_mm_add_epi16(_mm_srli_epi16(lo, 14), Set16(1)), 1);
  return _mm_add_epi16(_mm_add_epi16(hi, hi), carry);
}

#include "ijsimd.h"

inline V Load(const void *p) {
  return _mm_loadu_si128(static_cast<const V *>(p));
}

void PrepareRecip(const uint16_t *recip, V rt[8]) {
  for (int j = 0; j < 8; ++j) rt[j] = Load(recip + 8 * j);
  Transpose8(rt);
}

void Block(int16_t *block, const V rt[8]) {
  V r[8];
  for (int i = 0; i < 8; ++i) r[i] = Load(block + 8 * i);
  DctQuantRows(r, rt);
  for (int i = 0; i < 8; ++i) _mm_storeu_si128(reinterpret_cast<V *>(block + 8 * i), r[i]);
}

template <int LumaBlocks>
IjStatus TransformColour(int16_t *const *blocks, const uint16_t *const *recip) {
  V luma[8], chroma[8];
  PrepareRecip(recip[0], luma);
  PrepareRecip(recip[1], chroma);
  for (int i = 0; i < LumaBlocks; ++i) Block(blocks[0] + 64 * i, luma);
  Block(blocks[1], chroma);
  if (recip[2] != recip[1]) PrepareRecip(recip[2], chroma);
  Block(blocks[2], chroma);
  return IJ_STS_OK;
}
} // namespace
} // namespace sse2

IJ_AVX2_BEGIN

namespace avx2 {
namespace {

// ---- Vector operations for ijsimd.h: one block (128 bits) or two (256) ----

typedef __m128i V1;
typedef __m256i V2;

inline V1 Add16(V1 a, V1 b) {
  return _mm_add_epi16(a, b);
}
inline V1 Sub16(V1 a, V1 b) {
  return _mm_sub_epi16(a, b);
}
inline V1 Add32(V1 a, V1 b) {
  return _mm_add_epi32(a, b);
}
inline V1 Sub32(V1 a, V1 b) {
  return _mm_sub_epi32(a, b);
}
inline V1 Unpacklo16(V1 a, V1 b) {
  return _mm_unpacklo_epi16(a, b);
}
inline V1 Unpackhi16(V1 a, V1 b) {
  return _mm_unpackhi_epi16(a, b);
}
inline V1 Unpacklo32(V1 a, V1 b) {
  return _mm_unpacklo_epi32(a, b);
}
inline V1 Unpackhi32(V1 a, V1 b) {
  return _mm_unpackhi_epi32(a, b);
}
inline V1 Unpacklo64(V1 a, V1 b) {
  return _mm_unpacklo_epi64(a, b);
}
inline V1 Unpackhi64(V1 a, V1 b) {
  return _mm_unpackhi_epi64(a, b);
}
inline V1 Madd(V1 a, V1 b) {
  return _mm_madd_epi16(a, b);
}
inline V1 Srai12(V1 a) {
  return _mm_srai_epi32(a, 12);
}
inline V1 Packs32(V1 a, V1 b) {
  return _mm_packs_epi32(a, b);
}

inline V2 Add16(V2 a, V2 b) {
  return _mm256_add_epi16(a, b);
}
inline V2 Sub16(V2 a, V2 b) {
  return _mm256_sub_epi16(a, b);
}
inline V2 Add32(V2 a, V2 b) {
  return _mm256_add_epi32(a, b);
}
inline V2 Sub32(V2 a, V2 b) {
  return _mm256_sub_epi32(a, b);
}
inline V2 Unpacklo16(V2 a, V2 b) {
  return _mm256_unpacklo_epi16(a, b);
}
inline V2 Unpackhi16(V2 a, V2 b) {
  return _mm256_unpackhi_epi16(a, b);
}
inline V2 Unpacklo32(V2 a, V2 b) {
  return _mm256_unpacklo_epi32(a, b);
}
inline V2 Unpackhi32(V2 a, V2 b) {
  return _mm256_unpackhi_epi32(a, b);
}
inline V2 Unpacklo64(V2 a, V2 b) {
  return _mm256_unpacklo_epi64(a, b);
}
inline V2 Unpackhi64(V2 a, V2 b) {
  return _mm256_unpackhi_epi64(a, b);
}
inline V2 Madd(V2 a, V2 b) {
  return _mm256_madd_epi16(a, b);
}
inline V2 Srai12(V2 a) {
  return _mm256_srai_epi32(a, 12);
}
inline V2 Packs32(V2 a, V2 b) {
  return _mm256_packs_epi32(a, b);
}

// Both widths from one call site: the width follows the other operand.
struct Const16 {
  int16_t v;
  operator V1() const { return _mm_set1_epi16(v); }
  operator V2() const { return _mm256_set1_epi16(v); }
};
struct Const32 {
  int32_t v;
  operator V1() const { return _mm_set1_epi32(v); }
  operator V2() const { return _mm256_set1_epi32(v); }
};
inline Const16 Set16(int16_t v) {
  return {v};
}
inline Const32 Set32(int lo, int hi) {
  return {int32_t(uint32_t(uint16_t(lo)) | uint32_t(uint16_t(hi)) << 16)};
}

// (x * 2896 + 2048) >> 12 is (x * 23168 + 16384) >> 15 exactly: one
// rounding high multiply.
inline V1 MulC4(V1 x) {
  return _mm_mulhrs_epi16(x, _mm_set1_epi16(23168));
}
inline V2 MulC4(V2 x) {
  return _mm256_mulhrs_epi16(x, _mm256_set1_epi16(23168));
}

// (y * r + 0x4000) >> 15 with r unsigned: the rounding high multiply takes r
// as signed, which for r >= 0x8000 is r - 65536 and loses 2y.
inline V1 Quant(V1 y, V1 r) {
  const V1 fix = _mm_and_si128(_mm_add_epi16(y, y), _mm_srai_epi16(r, 15));
  return _mm_add_epi16(_mm_mulhrs_epi16(y, r), fix);
}
inline V2 Quant(V2 y, V2 r) {
  const V2 fix = _mm256_and_si256(_mm256_add_epi16(y, y), _mm256_srai_epi16(r, 15));
  return _mm256_add_epi16(_mm256_mulhrs_epi16(y, r), fix);
}

#include "ijsimd.h"

#include "ijavx2io.h"

// Reciprocals for output row u (lane j = recip[j * 8 + u]) of two tables,
// the first in the low half.
void PrepareRecip(const uint16_t *a, const uint16_t *b, V2 rt[8]) {
  for (int j = 0; j < 8; ++j) rt[j] = Load2(a + 8 * j, b + 8 * j);
  Transpose8(rt);
}

void Pair(int16_t *a, int16_t *b, const V2 rt[8]) {
  V2 r[8];
  for (int i = 0; i < 8; ++i) r[i] = Load2(a + 8 * i, b + 8 * i);
  DctQuantRows(r, rt);
  for (int i = 0; i < 8; ++i) Store2(a + 8 * i, b + 8 * i, r[i]);
}

void Single(int16_t *a, const V1 rt[8]) {
  V1 r[8];
  for (int i = 0; i < 8; ++i) r[i] = Load1(a + 8 * i);
  DctQuantRows(r, rt);
  for (int i = 0; i < 8; ++i) Store1(a + 8 * i, r[i]);
}

void PrepareRecip(const uint16_t *a, V1 rt[8]) {
  for (int j = 0; j < 8; ++j) rt[j] = Load1(a + 8 * j);
  Transpose8(rt);
}
} // namespace
} // namespace avx2

namespace ij {
namespace fast {

IjStatus TransformGrayAvx2(int16_t *const *blocks, const uint16_t *const *recip) {
  using namespace ::avx2;
  V1 rt[8];
  PrepareRecip(recip[0], rt);
  Single(blocks[0], rt);
  return IJ_STS_OK;
}

IjStatus Transform444Avx2(int16_t *const *blocks, const uint16_t *const *recip) {
  using namespace ::avx2;
  V2 yCb[8];
  PrepareRecip(recip[0], recip[1], yCb);
  Pair(blocks[0], blocks[1], yCb);
  V1 rt[8];
  if (recip[2] == recip[1])
    for (int u = 0; u < 8; ++u) rt[u] = _mm256_extracti128_si256(yCb[u], 1);
  else
    PrepareRecip(recip[2], rt);
  Single(blocks[2], rt);
  return IJ_STS_OK;
}

IjStatus Transform422Avx2(int16_t *const *blocks, const uint16_t *const *recip) {
  using namespace ::avx2;
  V2 luma[8], chroma[8];
  PrepareRecip(recip[0], recip[0], luma);
  PrepareRecip(recip[1], recip[2], chroma);
  Pair(blocks[0], blocks[0] + 64, luma);
  Pair(blocks[1], blocks[2], chroma);
  return IJ_STS_OK;
}

IjStatus Transform411Avx2(int16_t *const *blocks, const uint16_t *const *recip) {
  using namespace ::avx2;
  V2 luma[8], chroma[8];
  PrepareRecip(recip[0], recip[0], luma);
  PrepareRecip(recip[1], recip[2], chroma);
  Pair(blocks[0], blocks[0] + 64, luma);
  Pair(blocks[0] + 128, blocks[0] + 192, luma);
  Pair(blocks[1], blocks[2], chroma);
  return IJ_STS_OK;
}

} // namespace fast
} // namespace ij

IJ_AVX2_END

namespace ij {
namespace fast {

IjStatus TransformGraySse2(int16_t *const *blocks, const uint16_t *const *recip) {
  using namespace ::sse2;
  V rt[8];
  PrepareRecip(recip[0], rt);
  Block(blocks[0], rt);
  return IJ_STS_OK;
}

IjStatus Transform444Sse2(int16_t *const *blocks, const uint16_t *const *recip) {
  using namespace ::sse2;
  return TransformColour<1>(blocks, recip);
}

IjStatus Transform422Sse2(int16_t *const *blocks, const uint16_t *const *recip) {
  using namespace ::sse2;
  return TransformColour<2>(blocks, recip);
}

IjStatus Transform411Sse2(int16_t *const *blocks, const uint16_t *const *recip) {
  using namespace ::sse2;
  return TransformColour<4>(blocks, recip);
}

} // namespace fast
} // namespace ij

#endif
