// ijecc03.cpp - BGR to level-shifted YCbCr for one MCU: 4:4:4, 4:2:2 (chroma
// averaged over horizontal pairs) and 4:1:1 (over 2 x 2 squares).
//
// Fixed-point weights scaled by 1024 (they sum to 1024 for Y).  Y subtracts
// 127.5 x 1024 before the shift: that rounds to nearest and removes the level
// offset of 128 at once; the chroma terms carry half a unit of rounding and
// come out centred on 0.  Shifts of negative values are arithmetic.
#include "ijint.h"

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
