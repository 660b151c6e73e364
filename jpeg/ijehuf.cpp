// ijehuf.cpp - Huffman coding of the MCUs of a baseline scan: building the
// encode tables (and their DHT segments), coding each MCU's blocks in order
// with their component's tables and DC predictor, and restart markers.
#include "ijint.h"

extern "C" IjStatus ijBuildEncodeHuffTable(int32_t id, int32_t tableClass, const uint8_t *custom,
                                           IjStream *stream, IjEncoder *encoder) {
  if (!stream || !encoder) return IJ_STS_ARG;
  id = id < 0 ? 0 : id > 1 ? 1 : id;
  tableClass = tableClass ? 1 : 0;
  static const uint8_t *const kCounts[2][2] = {{_DefLumDCHuffBits, _DefChromDCHuffBits},
                                               {_DefLumACHuffBits, _DefChromACHuffBits}};
  static const uint8_t *const kValues[2][2] = {{_DefLumDCHuffValues, _DefChromDCHuffValues},
                                               {_DefLumACHuffValues, _DefChromACHuffValues}};
  const uint8_t *counts = custom ? custom : kCounts[tableClass][id];
  const uint8_t *values = custom ? custom + 16 : kValues[tableClass][id];
  int n = 0;
  for (int i = 0; i < 16; ++i) n += counts[i];
  if (n > 256) return IJ_STS_ARG;

  IjHuffTableDef &desc = encoder->huffDef[tableClass][id];
  memcpy(desc.counts, counts, 16);
  memcpy(desc.values, values, size_t(n));
  const IjStatus st =
      ippiEncodeHuffmanTableInit_JPEG_8u(desc.counts, desc.values, &encoder->huff[tableClass][id]);
  if (st != IJ_STS_OK) return st;
  return ijWrite_DHT(id, tableClass, desc.counts, desc.values, stream);
}

extern "C" IjStatus ijBuildScanHuffTables_BLS(IjStream *stream, IjEncoder *encoder) {
  if (!stream || !encoder) return IJ_STS_ARG;
  const int tables = encoder->image.components >= 2 ? 2 : 1;
  for (int id = 0; id < tables; ++id)
    for (int cls = 0; cls < 2; ++cls) {
      const IjStatus st = ijBuildEncodeHuffTable(id, cls, nullptr, stream, encoder);
      if (st != IJ_STS_OK) return st;
    }
  for (int c = 0; c < 3; ++c) {
    const int id = c == 0 ? 0 : 1;
    encoder->dcTable[c] = &encoder->huff[0][id];
    encoder->acTable[c] = &encoder->huff[1][id];
  }
  return IJ_STS_OK;
}

extern "C" IjStatus ijAdjustRestartIntervalFwd(IjStream *stream, IjEncoder *encoder) {
  for (int16_t &p : encoder->dcPred) p = 0;
  const IjStatus st = ijWrite_RST(encoder->restartIndex, stream);
  if (st != IJ_STS_OK) return st;
  encoder->mcusToRestart = encoder->restartInterval;
  encoder->restartIndex = (encoder->restartIndex + 1) & 7;
  return IJ_STS_OK;
}

namespace ij {

// The test comes after every MCU, the image's last included, so an image
// whose MCU count is a multiple of the interval ends with a marker.
IjStatus AfterMcu(IjStream *stream, IjEncoder *encoder) {
  ++encoder->mcusCoded;
  if (encoder->restartInterval > 0 && encoder->mcusToRestart-- == 1)
    return ijAdjustRestartIntervalFwd(stream, encoder);
  return IJ_STS_OK;
}

} // namespace ij

namespace {

// One MCU: the luma blocks (left to right, top to bottom) with predictor 0
// and tables 0, then Cb and Cr with predictors 1 and 2 and tables 1.
template <int LumaBlocks, bool Colour>
IjStatus EncodeMcu(int16_t *const *blocks, IjStream *stream, IjEncoder *e) {
  const IjStatus st = ij::GuardedCode(
      stream, ij::RoomForBlocks(LumaBlocks + (Colour ? 2 : 0)), [&](uint8_t *buf, int32_t *pos) {
        for (int i = 0; i < LumaBlocks; ++i)
          ippiEncodeHuffman_Direct_JPEG_16s1u(blocks[0] + 64 * i, buf, pos, &e->dcPred[0],
                                              e->dcTable[0], e->acTable[0]);
        if (Colour)
          for (int c = 1; c <= 2; ++c)
            ippiEncodeHuffman_Direct_JPEG_16s1u(blocks[c], buf, pos, &e->dcPred[c], e->dcTable[c],
                                                e->acTable[c]);
      });
  if (st != IJ_STS_OK) return st;
  return ij::AfterMcu(stream, e);
}

} // namespace

extern "C" IjStatus ijHuffmanEncode_Gray_BLS(int16_t *const *blocks, IjStream *stream,
                                             IjEncoder *encoder) {
  return EncodeMcu<1, false>(blocks, stream, encoder);
}

extern "C" IjStatus ijHuffmanEncode_444_BLS(int16_t *const *blocks, IjStream *stream,
                                            IjEncoder *encoder) {
  return EncodeMcu<1, true>(blocks, stream, encoder);
}

extern "C" IjStatus ijHuffmanEncode_422_BLS(int16_t *const *blocks, IjStream *stream,
                                            IjEncoder *encoder) {
  return EncodeMcu<2, true>(blocks, stream, encoder);
}

extern "C" IjStatus ijHuffmanEncode_411_BLS(int16_t *const *blocks, IjStream *stream,
                                            IjEncoder *encoder) {
  return EncodeMcu<4, true>(blocks, stream, encoder);
}
