// ijdhuf.cpp - decoding one block of a baseline scan, and the decoder's
// default tables: inverse quantisation and Huffman decode tables per
// component slot.
#include "ijint.h"

extern "C" IjStatus ijBuildDecodeQuantTables(int32_t count, IjDecoderTables *decoder) {
  if (!decoder) return IJ_STS_ARG;
  const int tables = count >= 2 ? 2 : 1;
  for (int t = 0; t < tables; ++t) {
    const int16_t *base = t ? _DefChromQuantTable : _DefLumQuantTable;
    uint16_t quant[64];
    for (int i = 0; i < 64; ++i) quant[i] = uint16_t(base[i]);
    const IjStatus st = ippiDCTQuantInvTableInit_JPEG_16u32s(quant, decoder->quantInvTable[t]);
    if (st != IJ_STS_OK) return st;
  }
  return IJ_STS_OK;
}

extern "C" IjStatus ijBuildDefaultDecodeTables(IjDecoderTables *decoder) {
  if (!decoder) return IJ_STS_ARG;
  const IjStatus st = ijBuildDecodeQuantTables(2, decoder);
  if (st != IJ_STS_OK) return st;
  static const uint8_t *const kCounts[2][2] = {{_DefLumDCHuffBits, _DefChromDCHuffBits},
                                               {_DefLumACHuffBits, _DefChromACHuffBits}};
  static const uint8_t *const kValues[2][2] = {{_DefLumDCHuffValues, _DefChromDCHuffValues},
                                               {_DefLumACHuffValues, _DefChromACHuffValues}};
  for (int cls = 0; cls < 2; ++cls)
    for (int id = 0; id < 2; ++id) {
      const IjStatus s = ippiDecodeHuffmanTableInit_JPEG_8u(kCounts[cls][id], kValues[cls][id],
                                                            &decoder->huff[cls][id]);
      if (s != IJ_STS_OK) return s;
    }
  // Slots 0 and 3 luminance, 1 and 2 chrominance.
  for (int c = 0; c < 4; ++c) {
    const int id = c == 1 || c == 2 ? 1 : 0;
    decoder->quantInv[c] = decoder->quantInvTable[id];
    decoder->dcTable[c] = &decoder->huff[0][id];
    decoder->acTable[c] = &decoder->huff[1][id];
  }
  return IJ_STS_OK;
}

extern "C" IjStatus ippiDecodeHuffman_Direct_JPEG_1u16s(const uint8_t *buffer, int32_t *position,
                                                        int16_t *block, int16_t *dcPred,
                                                        int32_t *marker, uint32_t *acc,
                                                        int32_t *bits, const IjHuffDecTable *dc,
                                                        const IjHuffDecTable *ac) {
  ij::ReaderState rs;
  if (!block || !dcPred || !dc || !ac || !rs.Load(buffer, position, marker, acc, bits))
    return IJ_STS_ARG;
  IjBitReader &r = rs.r;
  memset(block, 0, 64 * sizeof *block);

  const int32_t s = _IppHuffDecode(dc, &r);
  if (s == IJ_HUFF_END_OF_DATA) {
    r.bits = 0;
    return rs.Store(IJ_STS_OK);
  }
  // Categories above 15 have no sign offset and would take more bits than
  // the accumulator holds.
  if (s < 0 || s > 15) return rs.Store(IJ_STS_MODE);
  int32_t diff = 0;
  if (s && !ij::Receive(r, s, &diff)) return rs.Store(IJ_STS_MODE);
  *dcPred = int16_t(*dcPred + diff);
  block[0] = *dcPred;

  for (int k = 1; k < 64;) {
    const int32_t sym = _IppHuffDecode(ac, &r);
    if (sym == IJ_HUFF_END_OF_DATA) {
      r.bits = 0;
      break;
    }
    if (sym < 0) return rs.Store(IJ_STS_MODE);
    const int run = sym >> 4, size = sym & 15;
    if (size == 0) {
      if (run != 15) break; // end of block
      k += 16;
      continue;
    }
    k += run;
    if (k > 63) return rs.Store(IJ_STS_MODE); // would land outside the block
    int32_t v;
    if (!ij::Receive(r, size, &v)) return rs.Store(IJ_STS_MODE);
    block[_nIppIZigZagIndex[k++]] = int16_t(v);
  }
  return rs.Store(IJ_STS_OK);
}
