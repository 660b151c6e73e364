// ijedcqm.cpp - the forward DCT with quantisation over runs of consecutive
// blocks, as the MCU transforms use it for the two or four luma blocks.
#include "ijint.h"

extern "C" IjStatus ippiDCTQuantFwd_Blocks_JPEG_16s_I(int16_t *first, int32_t count,
                                                      const uint16_t *recip) {
  for (int32_t i = 0; i < count; ++i, first += 64) ij::DctQuant(first, first, recip);
  return IJ_STS_OK;
}

extern "C" IjStatus ippiDCTQuantFwd_Blocks_JPEG_16s(const int16_t *src, int16_t *dst, int32_t count,
                                                    const uint16_t *recip) {
  for (int32_t i = 0; i < count; ++i, src += 64, dst += 64) ij::DctQuant(src, dst, recip);
  return IJ_STS_OK;
}
