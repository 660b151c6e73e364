// ijesdatm.cpp - moving the coefficient pointers on after each MCU: a no-op
// when one MCU's blocks are reused (scheme 0), a step to the next MCU's slot
// when a motion frame keeps all of them (scheme 1).
#include "ijint.h"

namespace {

IjStatus Advance(IjEncoder *e, int components) {
  if (e->buffers.scheme != 1) return IJ_STS_OK;
  for (int c = 0; c < components; ++c) e->buffers.coeff[c] += e->mcu.coeffStep;
  e->coefficients = e->buffers.coeff[0];
  return IJ_STS_OK;
}

} // namespace

extern "C" IjStatus ijAdjustMCUBufferFwd_1(IjEncoder *encoder) {
  return Advance(encoder, 1);
}

extern "C" IjStatus ijAdjustMCUBufferFwd_3(IjEncoder *encoder) {
  return Advance(encoder, 3);
}
