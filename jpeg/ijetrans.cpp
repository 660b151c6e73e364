// ijetrans.cpp - the transform step of one MCU: every block of it through the
// DCT with quantisation, luma blocks with the luma table, chroma blocks with
// the chroma table.
#include "ijint.h"

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
