// ijdcqt.cpp - quantisation tables: the quality factor, scaling of the base
// tables, the reciprocal tables the forward transform multiplies by, the
// inverse tables of decoding, and the encoder's DQT set-up.
#include "ijint.h"

extern "C" IjStatus ippiDCTQuantFwdTableInit_JPEG_16u(const uint16_t *quant, uint16_t *recip) {
  if (!quant || !recip) return IJ_STS_ARG;
  for (int i = 0; i < 64; ++i)
    if (quant[i] == 0) return IJ_STS_ARG; // would divide by zero
  // Stored transposed: the column pass of the transform reads row j for
  // column j of the block.
  for (int i = 0; i < 8; ++i)
    for (int j = 0; j < 8; ++j) {
      const uint32_t q = quant[i * 8 + j];
      recip[j * 8 + i] = uint16_t((uint32_t(_DCTCoeff[i * 8 + j]) + q / 2) / q);
    }
  return IJ_STS_OK;
}

extern "C" IjStatus ippiDCTQuantInvTableInit_JPEG_16u32s(const uint16_t *quant, int32_t *inverse) {
  if (!quant || !inverse) return IJ_STS_ARG;
  for (int i = 0; i < 64; ++i) inverse[i] = int32_t((int64_t(quant[i]) * _DCTCoeff[i] + 4) >> 3);
  return IJ_STS_OK;
}

extern "C" IjStatus ijCalcQuantQualityFactor(int32_t quality) {
  if (quality < 1) quality = 1;
  if (quality > 100) quality = 100;
  const int32_t scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
  return scale * 128 / 100;
}

extern "C" IjStatus ijBuildEnQuantTable(int32_t factor, int32_t sixteenBit, const int16_t *base,
                                        uint16_t *table) {
  if (!base || !table) return IJ_STS_ARG;
  const int32_t top = sixteenBit ? 4095 : 255;
  for (int i = 0; i < 64; ++i) {
    int64_t v = (int64_t(base[i]) * factor + 64) >> 7;
    if (v < 1) v = 1;
    if (v > top) v = top;
    table[i] = uint16_t(v);
  }
  return IJ_STS_OK;
}

extern "C" IjStatus ijBuildEncodeQuantTables(int32_t count, const int16_t *custom, IjStream *stream,
                                             IjEncoder *encoder) {
  if (!stream || !encoder) return IJ_STS_ARG;
  const int tables = count >= 2 ? 2 : 1;
  for (int t = 0; t < tables; ++t) {
    const int16_t *base = custom ? custom + 64 * t : t ? _DefChromQuantTable : _DefLumQuantTable;
    ijBuildEnQuantTable(encoder->qualityFactor, 0, base, encoder->quant[t]);
    IjStatus st = ippiDCTQuantFwdTableInit_JPEG_16u(encoder->quant[t], encoder->recip[t]);
    if (st == IJ_STS_OK) st = ijWrite_DQT(t, encoder->precision, encoder->quant[t], stream);
    if (st != IJ_STS_OK) return st;
  }
  return IJ_STS_OK;
}
