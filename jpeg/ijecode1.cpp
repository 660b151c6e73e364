// ijecode1.cpp - the encoder's geometry and memory: MCU bookkeeping for an
// image, the size of the work buffer the caller provides, and its layout
// (32-byte aligned coefficient blocks, then the edge buffer).
#include "ijint.h"

namespace {

uint8_t *Align32(void *p) {
  return reinterpret_cast<uint8_t *>((reinterpret_cast<uintptr_t>(p) + 31) & ~uintptr_t(31));
}

// Coefficient bytes of one MCU.
int64_t McuBytes(const IjMcuInfo &m) {
  return int64_t(m.blocks) * 64 * sizeof(int16_t);
}

} // namespace

extern "C" IjStatus ijInitMCU(IjMcuInfo *info, int32_t width, int32_t height, int32_t mcuWidth,
                              int32_t mcuHeight, int32_t lineBytes, int32_t blocks,
                              int32_t sampling, int32_t oneAtATime) {
  if (!info || width < 1 || height < 1 || mcuWidth < 1 || mcuHeight < 1 || blocks < 1)
    return IJ_STS_ARG;
  info->width = mcuWidth;
  info->height = mcuHeight;
  info->rightRemainder = width % mcuWidth;
  info->bottomRemainder = height % mcuHeight;
  info->lineBytes = lineBytes;
  info->columns = width / mcuWidth;
  info->rows = height / mcuHeight;
  info->total =
      (info->columns + (info->rightRemainder != 0)) * (info->rows + (info->bottomRemainder != 0));
  info->blocks = blocks;
  // Luma blocks: H x V of Y; one block of each chroma component.
  const int32_t luma = blocks == 1 ? 1 : sampling == 2 ? 4 : sampling == 1 ? 2 : 1;
  const int32_t chroma = 1;
  info->coeffStep = 64 * blocks;
  info->lumaCoeffs = 64 * luma;
  info->chromaCoeffs = 64 * chroma;
  info->blockOffset[0] = 0;
  info->blockOffset[1] = luma;
  info->blockOffset[2] = chroma;
  info->oneAtATime = oneAtATime ? 1 : 0;
  return IJ_STS_OK;
}

extern "C" IjStatus ijCalcEncBufferSize(IjEncoder *e) {
  if (!e) return IJ_STS_ARG;
  const IjMcuInfo &m = e->mcu;
  int64_t coeff;
  switch (e->mode) {
  case 1:
  case 257:
    e->buffers.scheme = 0;
    coeff = McuBytes(m) + 31;
    break;
  case 513:
  case 1025: // motion streams keep the coefficients of a whole frame
    e->buffers.scheme = 1;
    coeff = (int64_t(m.total) + 1) * McuBytes(m) + 31;
    break;
  default:
    return IJ_STS_MODE;
  }
  const bool partial = m.rightRemainder != 0 || m.bottomRemainder != 0;
  const int64_t edge = partial ? int64_t(m.height) * m.lineBytes + 31 : 0;
  // A size the caller cannot even be told is a size the encoder cannot use.
  if (coeff + edge > INT32_MAX) return IJ_STS_FORMAT;
  e->buffers.coeffBytes = int32_t(coeff);
  e->buffers.edgeBytes = int32_t(edge);
  e->buffers.required = int32_t(coeff + edge);
  return IJ_STS_OK;
}

extern "C" IjStatus ijInitBuffers(void *buffer, int32_t length, IjEncoder *e) {
  if (!buffer || !e) return IJ_STS_ARG;
  IjBufferInfo &b = e->buffers;
  if (b.scheme != 0 && b.scheme != 1) return IJ_STS_MODE;
  if (length < b.required) return IJ_STS_ARG;
  const IjMcuInfo &m = e->mcu;
  uint8_t *start = Align32(buffer);
  const int32_t luma = m.lumaCoeffs / 64;
  const int32_t before[3] = {0, luma, luma + m.chromaCoeffs / 64};
  const int components = e->image.components;
  for (int c = 0; c < 4; ++c)
    b.coeff[c] = b.coeffReset[c] =
        c < components ? reinterpret_cast<int16_t *>(start + 128 * before[c]) : nullptr;
  const int64_t area = b.scheme == 0 ? McuBytes(m) : (int64_t(m.total) + 1) * McuBytes(m);
  b.edge = b.edgeBytes ? Align32(start + area) : nullptr;
  e->coefficients = b.coeff[0];
  b.ready = 1;
  return IJ_STS_OK;
}

extern "C" IjStatus ijResetBuffers(IjEncoder *e) {
  if (!e) return IJ_STS_ARG;
  for (int c = 0; c < 4; ++c) e->buffers.coeff[c] = e->buffers.coeffReset[c];
  e->coefficients = e->buffers.coeff[0];
  return IJ_STS_OK;
}
