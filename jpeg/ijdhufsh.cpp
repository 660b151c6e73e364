// ijdhufsh.cpp - what every Huffman decoder shares: the decode table with its
// 8-bit lookahead, the bit reader's refill over fill bytes and markers, symbol
// decoding for short and long codes, and the sign offsets of received values.
#include "ijint.h"

extern "C" const int32_t _nLowestCoef[16] = {
    0, -1, -3, -7, -15, -31, -63, -127, -255, -511, -1023, -2047, -4095, -8191, -16383, -32767,
};

extern "C" IjStatus ippiDecodeHuffmanTableInit_JPEG_8u(const uint8_t *counts, const uint8_t *values,
                                                       IjHuffDecTable *table) {
  if (!counts || !values || !table) return IJ_STS_ARG;
  memset(table, 0, sizeof *table);
  // The codes as the encoder assigns them.  Counts whose codes overflow
  // their length, or more than 256 values, would send the decoder outside
  // its tables; a 16-bit code of all ones could not be told from a length
  // without codes.
  uint32_t code = 0;
  int k = 0;
  for (int len = 1; len <= 16; ++len, code <<= 1) {
    const int n = counts[len - 1];
    table->firstCode[len - 1] = uint16_t(code);
    table->valueIndex[len - 1] = uint16_t(k);
    table->lastCode[len - 1] = 0xFFFF;
    if (n == 0) continue;
    if (k + n > 256 || code + uint32_t(n) > (1u << len) ||
        (len == 16 && code + uint32_t(n) == 0x10000))
      return IJ_STS_ARG;
    for (int i = 0; i < n; ++i, ++k, ++code) {
      table->values[k] = values[k];
      if (len <= 8) {
        const uint32_t first = code << (8 - len);
        for (uint32_t j = 0; j < (1u << (8 - len)); ++j)
          table->lookahead[first + j] = values[k] | uint32_t(len) << 16;
      }
    }
    table->lastCode[len - 1] = uint16_t(code - 1);
  }
  table->lastCode[16] = 0xFFFF;
  return IJ_STS_OK;
}

extern "C" int32_t _IppPrefetchBits(IjBitReader *reader) {
  if (!reader || !reader->buffer || reader->bits < 0 || reader->bits > 32) return 0;
  return ij::Refill(*reader);
}

extern "C" int32_t _IppDecodeLongBits(int32_t length, const IjHuffDecTable *t, IjBitReader *r) {
  if (length < 1 || length > 16 || r->bits < 0 || r->bits > 32) return IJ_HUFF_BAD_CODE;
  // Canonical codes: a code of length l lies between the first and the last
  // code of l, the prefix of a longer one above the last.
  int l = length;
  for (;; ++l) {
    if (l > 16) return IJ_HUFF_BAD_CODE;
    if (r->bits < l && ij::Refill(*r) < l) return IJ_HUFF_END_OF_DATA;
    const uint32_t code = (r->acc >> (r->bits - l)) & ((1u << l) - 1);
    const uint32_t last = t->lastCode[l - 1];
    if (last == 0xFFFF || code > last) continue;
    r->bits -= l;
    return t->values[(t->valueIndex[l - 1] + code - t->firstCode[l - 1]) & 0xFF];
  }
}

extern "C" int32_t _IppHuffDecode(const IjHuffDecTable *t, IjBitReader *r) {
  if (r->bits < 0 || r->bits > 32) return IJ_HUFF_BAD_CODE;
  if (r->bits < 8) ij::Refill(*r);
  if (r->bits <= 0) return IJ_HUFF_END_OF_DATA;
  // Fewer than 8 bits only before a marker: look them up left-aligned.
  const uint32_t index =
      r->bits >= 8 ? (r->acc >> (r->bits - 8)) & 0xFF : (r->acc << (8 - r->bits)) & 0xFF;
  const uint32_t e = t->lookahead[index];
  if (e == 0) return _IppDecodeLongBits(9, t, r);
  const int len = int(e >> 16);
  // A short code reaching into the missing bits was cut off by the marker.
  if (len > r->bits) return IJ_HUFF_END_OF_DATA;
  r->bits -= len;
  return int32_t(e & 0xFFFF);
}
