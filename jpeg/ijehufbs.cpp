// ijehufbs.cpp - the bit writer with byte stuffing, and the Huffman coding of
// one block of a baseline scan.
#include "ijint.h"

extern "C" IjStatus _IppWriteStreamBits(uint32_t value, int32_t count, uint8_t *buffer,
                                        int32_t *position) {
  if (count <= 0) return IJ_STS_OK;
  ij::BitSink sink(buffer, *position);
  if (count > 32) count = 32;
  if (count > 16) { // the sink takes at most 24 bits at a time
    sink.Put(value >> 16, count - 16);
    count = 16;
  }
  sink.Put(value, count);
  *position = sink.Finish(buffer);
  return IJ_STS_OK;
}

namespace {

// Appends the size category of v's magnitude and v's low bits (v - 1 for
// negatives: the one's complement form the decoder expects).
inline void PutValue(ij::BitSink &sink, const IjHuffEncTable *t, int32_t v, unsigned runShift) {
  const uint32_t m = uint32_t(v < 0 ? -v : v);
  const int s = ij::Category(m);
  sink.PutCode(t, (runShift + unsigned(s)) & 0xFF);
  if (s) sink.Put(uint32_t(v < 0 ? v - 1 : v), s);
}

} // namespace

extern "C" IjStatus ippiEncodeHuffman_Direct_JPEG_16s1u(const int16_t *block, uint8_t *buffer,
                                                        int32_t *position, int16_t *dcPred,
                                                        const IjHuffEncTable *dc,
                                                        const IjHuffEncTable *ac) {
  ij::BitSink sink(buffer, *position);
  const int32_t diff = int16_t(block[0] - *dcPred);
  *dcPred = block[0];
  PutValue(sink, dc, diff, 0);

  unsigned run = 0;
  for (int k = 1; k < 64; ++k) {
    const int32_t v = block[_nIppIZigZagIndex[k]];
    if (v == 0) {
      ++run;
      continue;
    }
    for (; run >= 16; run -= 16) sink.PutCode(ac, 0xF0);
    PutValue(sink, ac, v, run << 4);
    run = 0;
  }
  if (run) sink.PutCode(ac, 0x00);
  *position = sink.Finish(buffer);
  return IJ_STS_OK;
}
