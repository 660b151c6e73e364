// ijehufbs.cpp - the bit writer with byte stuffing, and the Huffman coding of
// one block of a baseline scan.
//
// On x86-64 processors a faster coder of the same bytes takes the MCUs of
// both vector paths: a 64-bit bit buffer, byte stuffing found with a word
// test, and the non-zero coefficients found with vector compares and visited
// by bit scans.
#include "ijint.h"

#if defined(__x86_64__)
#include <emmintrin.h>
#endif

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

#if defined(__x86_64__)

namespace {

typedef __m128i V;

inline V Load(const void *p) {
  return _mm_loadu_si128(static_cast<const V *>(p));
}

// ---- Entropy coder ---------------------------------------------------------

// Bits go into a 64-bit buffer and leave it 32 at a time: four bytes are
// stored at once unless one of them is 0xFF and needs its stuffed zero.  As
// the portable writer, it starts inside the byte the position is in and
// leaves the byte after the last complete one cleared.
struct Sink {
  uint8_t *p;
  uint64_t acc; // the pending bits are the low `bits` ones
  int bits;     // always below 32 between calls

  Sink(uint8_t *buffer, int32_t position)
      : p(buffer + (uint32_t(position) >> 3)), acc(0), bits(position & 7) {
    if (bits) acc = uint64_t(*p >> (8 - bits));
  }

  // value < 2^count, count <= 32
  inline void Put(uint32_t value, int count) {
    acc = (acc << count) | value;
    bits += count;
    if (bits >= 32) {
      bits -= 32;
      Word(uint32_t(acc >> bits));
    }
  }

  inline void Word(uint32_t w) {
    // Some byte of w is 0xFF exactly when some byte of ~w is zero.
    if (((~w - 0x01010101u) & w & 0x80808080u) == 0) {
      const uint32_t be = __builtin_bswap32(w);
      memcpy(p, &be, 4);
      p += 4;
      return;
    }
    for (int shift = 24; shift >= 0; shift -= 8) {
      const uint8_t b = uint8_t(w >> shift);
      *p++ = b;
      if (b == 0xFF) *p++ = 0;
    }
  }

  int32_t Finish(const uint8_t *buffer) {
    while (bits >= 8) {
      bits -= 8;
      const uint8_t b = uint8_t(acc >> bits);
      *p++ = b;
      if (b == 0xFF) *p++ = 0;
    }
    *p = uint8_t(acc << (8 - bits));
    return int32_t((p - buffer) * 8 + bits);
  }
};

// Bit n of the zig-zag mask for bit m of byte b of the natural-order mask:
// the non-zero coefficients are found in natural order with a few vector
// compares and brought into zig-zag order with eight look-ups.
struct ZigZagBits {
  uint64_t bit[8][256];
};

constexpr ZigZagBits MakeZigZagBits() {
  constexpr uint8_t kZigZag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                   12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                   35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                   58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};
  ZigZagBits z{};
  int position[64] = {};
  for (int k = 0; k < 64; ++k) position[kZigZag[k]] = k;
  for (int b = 0; b < 8; ++b)
    for (int v = 0; v < 256; ++v) {
      uint64_t m = 0;
      for (int i = 0; i < 8; ++i)
        if (v & (1 << i)) m |= uint64_t(1) << position[b * 8 + i];
      z.bit[b][v] = m;
    }
  return z;
}

constexpr ZigZagBits kZigZagBits = MakeZigZagBits();

inline uint64_t NonZeroZigZag(const int16_t *block) {
  const V zero = _mm_setzero_si128();
  uint64_t natural = 0;
  for (int i = 0; i < 4; ++i) {
    const V a = _mm_cmpeq_epi16(Load(block + 16 * i), zero);
    const V b = _mm_cmpeq_epi16(Load(block + 16 * i + 8), zero);
    natural |= uint64_t(uint32_t(_mm_movemask_epi8(_mm_packs_epi16(a, b)))) << (16 * i);
  }
  natural = ~natural;
  uint64_t zz = 0;
  for (int b = 0; b < 8; ++b) zz |= kZigZagBits.bit[b][(natural >> (8 * b)) & 0xFF];
  return zz;
}

// The code of a symbol followed by the s low bits of v (v - 1 for negative
// values), in one call.
inline void PutSymbol(Sink &sink, const IjHuffEncTable *t, unsigned symbol, int32_t v, int s) {
  const uint32_t bits = uint32_t(v + (v >> 31)) & ((1u << s) - 1);
  sink.Put((uint32_t(t->code[symbol]) << s) | bits, t->length[symbol] + s);
}

// Inlined into one loop per MCU, so that the bit buffer stays in registers.
__attribute__((always_inline)) inline void EncodeBlock(Sink &sink, const int16_t *block,
                                                       int16_t *dcPred, const IjHuffEncTable *dc,
                                                       const IjHuffEncTable *ac) {
  const int32_t diff = int16_t(block[0] - *dcPred);
  *dcPred = block[0];
  const int ds = ij::Category(uint32_t(diff < 0 ? -diff : diff));
  PutSymbol(sink, dc, unsigned(ds) & 0xFF, diff, ds);

  uint64_t mask = NonZeroZigZag(block) & ~uint64_t(1);
  int last = 0;
  while (mask) {
    const int k = __builtin_ctzll(mask);
    mask &= mask - 1;
    unsigned run = unsigned(k - last - 1);
    last = k;
    for (; run >= 16; run -= 16) sink.Put(ac->code[0xF0], ac->length[0xF0]);
    const int32_t v = block[_nIppIZigZagIndex[k]];
    const int s = 32 - __builtin_clz(uint32_t(v < 0 ? -v : v)); // v != 0
    PutSymbol(sink, ac, ((run << 4) + unsigned(s)) & 0xFF, v, s);
  }
  if (last != 63) sink.Put(ac->code[0x00], ac->length[0x00]);
}

template <int LumaBlocks, bool Colour>
IjStatus EncodeMcu(int16_t *const *blocks, IjStream *stream, IjEncoder *e) {
  constexpr int kBlocks = LumaBlocks + (Colour ? 2 : 0);
  const IjStatus st =
      ij::GuardedCode(stream, ij::RoomForBlocks(kBlocks), [&](uint8_t *buf, int32_t *pos) {
        Sink sink(buf, *pos);
        for (int i = 0; i < kBlocks; ++i) {
          // The luma blocks lie back to back; each chroma block has its pointer.
          const int c = i < LumaBlocks ? 0 : i - LumaBlocks + 1;
          const int16_t *block = c == 0 ? blocks[0] + 64 * i : blocks[c];
          EncodeBlock(sink, block, &e->dcPred[c], e->dcTable[c], e->acTable[c]);
        }
        *pos = sink.Finish(buf);
      });
  if (st != IJ_STS_OK) return st;
  return ij::AfterMcu(stream, e);
}

} // namespace

namespace ij {
namespace fast {

IjStatus EncodeGray(int16_t *const *blocks, IjStream *stream, IjEncoder *e) {
  return EncodeMcu<1, false>(blocks, stream, e);
}

IjStatus Encode444(int16_t *const *blocks, IjStream *stream, IjEncoder *e) {
  return EncodeMcu<1, true>(blocks, stream, e);
}

IjStatus Encode422(int16_t *const *blocks, IjStream *stream, IjEncoder *e) {
  return EncodeMcu<2, true>(blocks, stream, e);
}

IjStatus Encode411(int16_t *const *blocks, IjStream *stream, IjEncoder *e) {
  return EncodeMcu<4, true>(blocks, stream, e);
}

void EncodeBlocks(const int16_t *first, int32_t count, uint8_t *buffer, int32_t *position,
                  int16_t *dcPred, const IjHuffEncTable *dc, const IjHuffEncTable *ac) {
  Sink sink(buffer, *position);
  for (int32_t i = 0; i < count; ++i) EncodeBlock(sink, first + 64 * i, dcPred, dc, ac);
  *position = sink.Finish(buffer);
}

} // namespace fast
} // namespace ij

#endif
