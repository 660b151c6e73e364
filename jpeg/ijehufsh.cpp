// ijehufsh.cpp - Huffman table definitions (counts per code length and the
// values): the encode table (code and length per symbol) from a definition,
// and an optimal definition from symbol frequencies.
#include "ijint.h"

extern "C" IjStatus ippiEncodeHuffmanTableInit_JPEG_8u(const uint8_t *counts, const uint8_t *values,
                                                       IjHuffEncTable *table) {
  if (!counts || !values || !table) return IJ_STS_ARG;
  memset(table, 0, sizeof *table);
  // Codes in order of length, counting up and shifting left at each new
  // length.  A definition whose codes overflow their length is no prefix
  // code; refuse it rather than emit codes a decoder cannot tell apart.
  uint32_t code = 0;
  int k = 0;
  for (int len = 1; len <= 16; ++len, code <<= 1) {
    for (int i = 0; i < counts[len - 1]; ++i, ++code, ++k) {
      if (k >= 256 || code >= (1u << len)) return IJ_STS_ARG;
      table->length[values[k]] = uint8_t(len);
      table->code[values[k]] = uint16_t(code);
    }
  }
  return IJ_STS_OK;
}

// The procedure of Annex K.2 of the JPEG standard: merge the two least
// frequent entries (the larger symbol on ties) with a reserved symbol 256 of
// frequency 1 among them, so that no code of all ones results; then limit the
// code lengths to 16 bits and drop the reserved code.
extern "C" IjStatus ippiHuffmanTableSpecInit_JPEG_8u(const int32_t *freqIn, int32_t *codesize,
                                                     int32_t *others, int32_t *bitsOut,
                                                     uint8_t *counts, uint8_t *values) {
  if (!freqIn || !codesize || !others || !bitsOut || !counts || !values) return IJ_STS_ARG;
  // Merged frequencies grow beyond 32 bits for large counts; the caller's
  // array stays as it was.
  int64_t freq[257];
  for (int i = 0; i < 256; ++i) freq[i] = freqIn[i] > 0 ? freqIn[i] : 0;
  freq[256] = 1;
  for (int i = 0; i < 257; ++i) {
    codesize[i] = 0;
    others[i] = -1;
  }
  for (;;) {
    int c1 = -1, c2 = -1;
    for (int i = 0; i < 257; ++i)
      if (freq[i] && (c1 < 0 || freq[i] <= freq[c1])) c1 = i;
    for (int i = 0; i < 257; ++i)
      if (freq[i] && i != c1 && (c2 < 0 || freq[i] <= freq[c2])) c2 = i;
    if (c2 < 0) break;
    freq[c1] += freq[c2];
    freq[c2] = 0;
    for (++codesize[c1]; others[c1] >= 0; ++codesize[c1]) c1 = others[c1];
    others[c1] = c2;
    for (++codesize[c2]; others[c2] >= 0; ++codesize[c2]) c2 = others[c2];
  }
  // A degenerate tree can be up to 256 deep, so count lengths in full before
  // moving the long codes up.
  int32_t bits[258] = {};
  int longest = 0;
  for (int i = 0; i < 257; ++i) {
    if (codesize[i] == 0) continue;
    ++bits[codesize[i]];
    if (codesize[i] > longest) longest = codesize[i];
  }
  for (int i = longest; i > 16; --i) {
    while (bits[i] > 0) {
      int j = i - 2;
      while (bits[j] == 0) --j;
      bits[i] -= 2;
      ++bits[i - 1];
      bits[j + 1] += 2;
      --bits[j];
    }
  }
  int i = 16;
  while (i > 0 && bits[i] == 0) --i;
  if (i > 0) --bits[i]; // the reserved code
  for (int k = 0; k < 33; ++k) bitsOut[k] = bits[k];
  for (int k = 0; k < 16; ++k) counts[k] = uint8_t(bits[k + 1]);
  int n = 0;
  for (int len = 1; len <= longest; ++len)
    for (int s = 0; s < 256; ++s)
      if (codesize[s] == len) values[n++] = uint8_t(s);
  return IJ_STS_OK;
}
