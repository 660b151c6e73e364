// ijelvl.cpp - level shift of greyscale samples (minus 128) into coefficient
// blocks, for whole 8 x 8 squares and for partial ones at the image edge.
#include "ijint.h"

extern "C" IjStatus ippiLevelShiftSub128_8x8_8u16s_C1(const uint8_t *src, int32_t step,
                                                      int16_t *block) {
  for (int row = 0; row < 8; ++row, src += step, block += 8)
    for (int x = 0; x < 8; ++x) block[x] = int16_t(src[x] - 128);
  return IJ_STS_OK;
}

extern "C" IjStatus ippiLevelShiftSub128_8x8_8u16s_C1R(const uint8_t *src, int32_t step,
                                                       int16_t *block, int32_t width,
                                                       int32_t height) {
  if (!src || !block || width < 1 || height < 1) return IJ_STS_ARG;
  if (width > 8) width = 8;
  if (height > 8) height = 8;
  for (int row = 0; row < 8; ++row) {
    int16_t *out = block + row * 8;
    if (row >= height) {
      memcpy(out, block + (height - 1) * 8, 8 * sizeof(int16_t));
      continue;
    }
    const uint8_t *in = src + ptrdiff_t(row) * step;
    for (int x = 0; x < 8; ++x) out[x] = int16_t(in[x < width ? x : width - 1] - 128);
  }
  return IJ_STS_OK;
}

extern "C" IjStatus ijSub128_8x8_8u16s_C1(const uint8_t *src, int32_t step,
                                          int16_t *const *blocks) {
  return ippiLevelShiftSub128_8x8_8u16s_C1(src, step, blocks[0]);
}
