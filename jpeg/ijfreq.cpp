// ijfreq.cpp - symbol frequencies of a baseline block: the counts behind an
// optimal Huffman table, symbol for symbol what the baseline coder writes.
#include "ijint.h"

extern "C" IjStatus ippiGetHuffmanFREQ_JPEG_16s(const int16_t *block, int32_t *dcFreq,
                                                int32_t *acFreq, int16_t *dcPred) {
  if (!block || !dcFreq || !acFreq || !dcPred) return IJ_STS_ARG;
  const int32_t diff = int16_t(block[0] - *dcPred);
  *dcPred = block[0];
  ij::Count(dcFreq, unsigned(ij::Category(uint32_t(diff < 0 ? -diff : diff))));

  unsigned run = 0;
  for (int k = 1; k < 64; ++k) {
    const int32_t v = block[_nIppIZigZagIndex[k]];
    if (v == 0) {
      ++run;
      continue;
    }
    for (; run >= 16; run -= 16) ij::Count(acFreq, 0xF0);
    const unsigned s = unsigned(ij::Category(uint32_t(v < 0 ? -v : v)));
    ij::Count(acFreq, ((run << 4) + s) & 0xFF);
    run = 0;
  }
  if (run) ij::Count(acFreq, 0x00);
  return IJ_STS_OK;
}
