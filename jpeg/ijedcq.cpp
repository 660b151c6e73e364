// ijedcq.cpp - the forward DCT fused with quantisation for one block: the
// Arai-Agui-Nakajima factorisation with 12-bit constants, quantised in the
// column pass by multiplying with a reciprocal table, so no coefficient is
// ever divided.
#include "ijint.h"

namespace {

constexpr int32_t kC4 = 2896;    // 0.707107 x 4096
constexpr int32_t kC6 = 1567;    // 0.382683
constexpr int32_t kC2mC6 = 2217; // 0.541196
constexpr int32_t kC2pC6 = 5352; // 1.306563
constexpr int32_t kHalf = 2048;

// One 1-D pass over x[0], x[s], ..., x[7s] after the first butterfly (the
// eight sums and differences t); writes the scaled outputs to out[0 ... 7].
inline void Butterfly(int32_t t0, int32_t t1, int32_t t2, int32_t t3, int32_t t4, int32_t t5,
                      int32_t t6, int32_t t7, int32_t *out) {
  const int32_t e10 = t0 + t3, e13 = t0 - t3, e11 = t1 + t2, e12 = t1 - t2;
  out[0] = e10 + e11;
  out[4] = e10 - e11;
  const int32_t z1 = ((e12 + e13) * kC4 + kHalf) >> 12;
  out[2] = e13 + z1;
  out[6] = e13 - z1;

  const int32_t o10 = t4 + t5, o11 = t5 + t6, o12 = t6 + t7;
  const int32_t z5 = (o10 - o12) * kC6;
  const int32_t z2 = o10 * kC2mC6 + z5;
  const int32_t z4 = o12 * kC2pC6 + z5;
  const int32_t z3 = o11 * kC4;
  out[1] = t7 + ((z3 + z4 + kHalf) >> 12);
  out[7] = t7 + ((z3 - z4 + kHalf) >> 12);
  out[5] = t7 - ((z3 - z2 + kHalf) >> 12);
  out[3] = t7 - ((z3 + z2 + kHalf) >> 12);
}

inline void Row(const int16_t *x, int16_t *dst) {
  int32_t o[8];
  Butterfly(x[0] + x[7], x[1] + x[6], x[2] + x[5], x[3] + x[4], x[3] - x[4], x[2] - x[5],
            x[1] - x[6], x[0] - x[7], o);
  for (int i = 0; i < 8; ++i) dst[i] = int16_t(o[i]);
}

// The level shift folded in: every sum of two samples loses 256, the
// differences are unchanged.
inline void RowLS(const uint8_t *x, int16_t *dst) {
  int32_t o[8];
  Butterfly(x[0] + x[7] - 256, x[1] + x[6] - 256, x[2] + x[5] - 256, x[3] + x[4] - 256, x[3] - x[4],
            x[2] - x[5], x[1] - x[6], x[0] - x[7], o);
  for (int i = 0; i < 8; ++i) dst[i] = int16_t(o[i]);
}

// Column j of the block, quantised with reciprocal row j (the table is
// stored transposed for this).
inline void ColumnQuant(const int16_t *src, int16_t *dst, int j, const uint16_t *recip) {
  const int16_t *c = src + j;
  int32_t o[8];
  Butterfly(c[0] + c[56], c[8] + c[48], c[16] + c[40], c[24] + c[32], c[24] - c[32], c[16] - c[40],
            c[8] - c[48], c[0] - c[56], o);
  const uint16_t *r = recip + j * 8;
  for (int i = 0; i < 8; ++i) dst[i * 8 + j] = int16_t((o[i] * int32_t(r[i]) + 0x4000) >> 15);
}

} // namespace

namespace ij {

void DctQuant(const int16_t *src, int16_t *dst, const uint16_t *recip) {
  int16_t tmp[64];
  for (int i = 0; i < 8; ++i) Row(src + i * 8, tmp + i * 8);
  for (int j = 0; j < 8; ++j) ColumnQuant(tmp, dst, j, recip);
}

} // namespace ij

extern "C" IjStatus ippiDCTQuantFwd_JPEG_16s_I(int16_t *block, const uint16_t *recip) {
  ij::DctQuant(block, block, recip);
  return IJ_STS_OK;
}

extern "C" IjStatus ippiDCTQuantFwd_JPEG_16s(const int16_t *src, int16_t *dst,
                                             const uint16_t *recip) {
  ij::DctQuant(src, dst, recip);
  return IJ_STS_OK;
}

extern "C" IjStatus ippiDCTQuantLSFwd_JPEG_8u16s(const uint8_t *src, int32_t step, int16_t *dst,
                                                 const uint16_t *recip) {
  int16_t tmp[64];
  for (int i = 0; i < 8; ++i) RowLS(src + ptrdiff_t(i) * step, tmp + i * 8);
  for (int j = 0; j < 8; ++j) ColumnQuant(tmp, dst, j, recip);
  return IJ_STS_OK;
}
