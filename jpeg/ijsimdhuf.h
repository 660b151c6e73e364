// ijsimdhuf.h - the fast coder of baseline MCUs (ijehufbs.cpp), included
// once for SSE2 and once compiled for AVX2, so that the AVX2 path runs no
// legacy SSE instruction between its vector steps.  The unit provides
// kZigZagBits and includes <immintrin.h> first.

typedef __m128i V;

inline V Load(const void *p) {
  return _mm_loadu_si128(static_cast<const V *>(p));
}

// ---- Entropy coder ---------------------------------------------------------

// Bits go into a 64-bit buffer and leave it 64 at a time: eight bytes are
// stored at once unless one of them is 0xFF and needs its stuffed zero.  As
// the portable writer, it starts inside the byte the position is in and
// leaves the byte after the last complete one cleared.
struct Sink {
  uint8_t *p;
  uint64_t acc; // the pending bits are the low 64 - room ones
  int room;     // 0 ... 64

  Sink(uint8_t *buffer, int32_t position)
      : p(buffer + (uint32_t(position) >> 3)), acc(0), room(64 - (position & 7)) {
    if (room < 64) acc = uint64_t(*p >> room % 8);
  }

  // value < 2^count, count <= 32
  inline void Put(uint64_t value, int count) {
    room -= count;
    if (room >= 0) {
      acc = (acc << count) | value;
      return;
    }
    // The buffer fills up: its last bits are the top of value.
    const int over = -room;
    Word((acc << (count - over)) | (value >> over));
    acc = value;
    room += 64;
  }

  inline void Word(uint64_t w) {
    // Some byte of w is 0xFF exactly when some byte of ~w is zero.
    if (((~w - 0x0101010101010101ull) & w & 0x8080808080808080ull) == 0) {
      const uint64_t be = __builtin_bswap64(w);
      memcpy(p, &be, 8);
      p += 8;
      return;
    }
    for (int shift = 56; shift >= 0; shift -= 8) {
      const uint8_t b = uint8_t(w >> shift);
      *p++ = b;
      if (b == 0xFF) *p++ = 0;
    }
  }

  int32_t Finish(const uint8_t *buffer) {
    int bits = 64 - room;
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
  for (int b = 0; b < 8; ++b) zz |= ::kZigZagBits.bit[b][(natural >> (8 * b)) & 0xFF];
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

void EncodeBlocks(const int16_t *first, int32_t count, uint8_t *buffer, int32_t *position,
                  int16_t *dcPred, const IjHuffEncTable *dc, const IjHuffEncTable *ac) {
  Sink sink(buffer, *position);
  for (int32_t i = 0; i < count; ++i) EncodeBlock(sink, first + 64 * i, dcPred, dc, ac);
  *position = sink.Finish(buffer);
}
