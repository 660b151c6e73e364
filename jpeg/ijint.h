// ijint.h - what the encoder's units share among themselves: the bit sink the
// block coders write through, size categories, stream bounds and the guard
// that keeps the entropy coder inside the stream buffer.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "ijenc.h"

namespace ij {

constexpr int32_t kMaxMcuBlocks = 6;

// Bytes of room from the current byte on that one MCU may need: its blocks,
// the partial byte it starts in and the zero byte the writer leaves after.
constexpr uint32_t kMaxMcuBytes = kMaxMcuBlocks * IJ_MAX_BLOCK_BYTES + 2;

inline int Category(uint32_t magnitude) {
  return magnitude < 256 ? _csizetable[magnitude] : _csizetable[(magnitude >> 8) & 0xFF] + 8;
}

inline int EobCategory(uint32_t run) {
  return run < 256 ? _eobsizetable[run] : _eobsizetable[(run >> 8) & 0x1FF] + 8;
}

// The usable bytes of a stream: a negative capacity holds nothing, and the
// bit position must stay a positive 32-bit count.
inline uint32_t StreamLimit(const IjStream *s) {
  if (s->capacity <= 0) return 0;
  return s->capacity > IJ_MAX_STREAM_BYTES ? uint32_t(IJ_MAX_STREAM_BYTES) : uint32_t(s->capacity);
}

// Writes bits most significant first straight into the buffer, stuffing a
// zero byte after every 0xFF.  Only the bits of the byte being filled are
// held back; Finish() stores them with the rest of that byte cleared, which
// also clears the byte after a completed one.
struct BitSink {
  uint8_t *p;
  uint32_t acc;
  int n;

  BitSink(uint8_t *buffer, int32_t position)
      : p(buffer + (uint32_t(position) >> 3)), acc(0), n(position & 7) {
    if (n) acc = uint32_t(*p) >> (8 - n);
  }

  // count <= 24
  void Put(uint32_t value, int count) {
    acc = (acc << count) | (value & ((1u << count) - 1));
    n += count;
    while (n >= 8) {
      n -= 8;
      const uint8_t b = uint8_t(acc >> n);
      *p++ = b;
      if (b == 0xFF) *p++ = 0;
    }
  }

  void PutCode(const IjHuffEncTable *t, unsigned symbol) {
    Put(t->code[symbol], t->length[symbol]);
  }

  int32_t Finish(const uint8_t *buffer) {
    *p = uint8_t(acc << (8 - n));
    return int32_t((p - buffer) * 8 + n);
  }
};

#ifdef IJENC_UNCHECKED_STREAM
// Benchmark builds only: measures what the bound check below costs.
constexpr bool kCheckStream = false;
#else
constexpr bool kCheckStream = true;
#endif

// Runs an entropy coder that cannot check bounds itself.  With room for the
// worst case it writes straight into the stream; near the end it codes into
// a scratch buffer and copies only what fits, so nothing is ever written past
// the capacity.  code(buffer, &position) touches at most maxBytes bytes from
// the byte the position is in (maxBytes <= kMaxMcuBytes).
template <typename Code> inline IjStatus GuardedCode(IjStream *s, uint32_t maxBytes, Code code) {
  const uint32_t limit = StreamLimit(s);
  const uint32_t pos = uint32_t(s->position);
  const uint32_t byte = pos >> 3;
  if (!kCheckStream || (byte < limit && limit - byte >= maxBytes)) {
    int32_t p = s->position;
    code(s->buffer, &p);
    s->position = p;
    return IJ_STS_OK;
  }
  if (pos > limit * 8u) return IJ_STS_STREAM_FULL; // negative or beyond the end
  alignas(8) uint8_t scratch[kMaxMcuBytes + 8];
  int32_t local = int32_t(pos & 7);
  scratch[0] = local ? s->buffer[byte] : 0;
  code(scratch, &local);
  const uint32_t used = (uint32_t(local) + 7) >> 3;
  const uint32_t room = limit - byte;
  if (used > room) return IJ_STS_STREAM_FULL;
  // The coder also cleared the byte after its last complete one; keep that
  // when it still lies inside the buffer.
  const uint32_t touched = (uint32_t(local) >> 3) + 1;
  memcpy(s->buffer + byte, scratch, touched < room ? touched : room);
  s->position = int32_t(byte * 8 + uint32_t(local));
  return IJ_STS_OK;
}

// Room one block needs from the current byte: see IJ_MAX_BLOCK_BYTES.
inline uint32_t RoomForBlocks(int32_t blocks) {
  return uint32_t(blocks) * IJ_MAX_BLOCK_BYTES + 1;
}

// Functions between IJ_AVX2_BEGIN and IJ_AVX2_END are compiled for AVX2 and
// called only when the processor has it; the rest of a unit stays plain.
#if defined(__clang__)
#define IJ_AVX2_BEGIN                                                                              \
  _Pragma("clang attribute push(__attribute__((target(\"avx2\"))), apply_to = function)")
#define IJ_AVX2_END _Pragma("clang attribute pop")
#else
#define IJ_AVX2_BEGIN _Pragma("GCC push_options") _Pragma("GCC target(\"avx2\")")
#define IJ_AVX2_END _Pragma("GCC pop_options")
#endif

// Shared between units only: kept out of the symbols a plug-in exports.
#define IJ_INTERNAL __attribute__((visibility("hidden")))

// The forward DCT with quantisation of one block (src may equal dst).
IJ_INTERNAL void DctQuant(const int16_t *src, int16_t *dst, const uint16_t *recip);

// Restart bookkeeping after every MCU (also the last of the image).
IJ_INTERNAL IjStatus AfterMcu(IjStream *stream, IjEncoder *encoder);

// A baseline image MCU row by MCU row, for callers that run the pixel stages
// of several rows at once (jpgcmd's threads); the library itself starts no
// thread.  RowsBegin checks and writes what ijxCompress writes before the
// scan data (IJ_STS_MODE for an encoder this cannot drive: a motion stream,
// a second image); TransformRow converts and transforms one MCU row into
// RowCoeffs coefficients, from RowLines source lines that start at line, the
// top one, step bytes apart.  It may run on any thread, for different rows
// at once, as long as each call has its own coefficients and edge bytes (MCU
// height x MCU line bytes).  CodeRow codes a transformed row and has to take
// the rows in order; RowsEnd returns what ijxCompress would.  The stream is
// byte for byte the one ijxCompress writes for the same lines.
IJ_INTERNAL IjStatus RowsBegin(IjStream *stream, IjEncoder *e);
IJ_INTERNAL int32_t McuRows(const IjEncoder *e);
IJ_INTERNAL int32_t RowLines(const IjEncoder *e, int32_t row);
IJ_INTERNAL size_t RowCoeffs(const IjEncoder *e);
IJ_INTERNAL size_t EdgeBytes(const IjEncoder *e);
IJ_INTERNAL void TransformRow(const IjEncoder *e, int32_t row, const uint8_t *line, int32_t step,
                              int16_t *coeff, uint8_t *edge);
IJ_INTERNAL IjStatus CodeRow(const int16_t *coeff, IjStream *stream, IjEncoder *e);
IJ_INTERNAL int32_t McuColumns(const IjEncoder *e);
// Codes only the MCUs first ... end - 1 of a transformed row.
IJ_INTERNAL IjStatus CodeMcus(const int16_t *coeff, int32_t first, int32_t end, IjStream *stream,
                              IjEncoder *e);

// A scan coded in runs of MCUs on several threads at once: a copy of the
// encoder after RowsBegin, put by SegmentState where the scan stands before
// MCU firstMcu, codes a run into a stream of its own (from bit 0); the runs
// are then spliced in order with AppendCoded into the stream that coding all
// MCUs in one go leaves.  Without a restart interval, `before` holds the
// coefficients of MCU firstMcu - 1 (the DC predictors start from them);
// with one, a run has to start at a multiple of the interval, right after
// its marker, and `before` is not read.
IJ_INTERNAL void SegmentState(IjEncoder *e, int32_t firstMcu, const int16_t *before);
// Appends the first `bits` bits of coded data (stuffed, as the coder writes
// it from bit 0) at the stream's position.  Where that position lies inside
// a byte, the data is shifted and stuffed anew, so it must hold no marker
// then.  False, with the position unchanged, when the stream has no room
// for it or a marker stands in the way; the bytes from the position on may
// have changed then.
IJ_INTERNAL bool AppendCoded(IjStream *stream, const uint8_t *data, int32_t bits);
IJ_INTERNAL IjStatus RowsEnd(int64_t startBits, IjStream *stream, IjEncoder *e);

// The implementations of the pixel stages and the entropy coder that an
// encoder set up with ijxCompressInit uses.  The portable code is the
// reference and the only one on other processors; the vector paths give the
// same bytes.
enum CodePath : int32_t { kPathPortable = 0, kPathSse2 = 1, kPathAvx2 = 2 };

// The best path this processor runs.
IJ_INTERNAL int32_t BestCodePath();
// Caps the path of encoders set up from now on (tests compare the paths and
// force the portable one with kPathPortable); a negative cap lifts it.  Not
// meant to change while another thread sets up an encoder.
IJ_INTERNAL void LimitCodePath(int32_t path);
// The path ijxCompressInit takes: the best one within the cap.
IJ_INTERNAL int32_t ActiveCodePath();

#if defined(__x86_64__)
// Vector versions of the MCU steps, with the signatures of the portable ones,
// each in the unit of its portable step (ijecc03, ijetrans, ijehufbs).
namespace fast {
IJ_INTERNAL IjStatus EncodeGray(int16_t *const *blocks, IjStream *stream, IjEncoder *e);
IJ_INTERNAL IjStatus Encode444(int16_t *const *blocks, IjStream *stream, IjEncoder *e);
IJ_INTERNAL IjStatus Encode422(int16_t *const *blocks, IjStream *stream, IjEncoder *e);
IJ_INTERNAL IjStatus Encode411(int16_t *const *blocks, IjStream *stream, IjEncoder *e);
// Codes count consecutive blocks of one component as the portable
// ippiEncodeHuffman_Direct_JPEG_16s1u does one after another (for tests).
IJ_INTERNAL void EncodeBlocks(const int16_t *first, int32_t count, uint8_t *buffer,
                              int32_t *position, int16_t *dcPred, const IjHuffEncTable *dc,
                              const IjHuffEncTable *ac);

IJ_INTERNAL IjStatus EncodeGrayAvx2(int16_t *const *blocks, IjStream *stream, IjEncoder *e);
IJ_INTERNAL IjStatus Encode444Avx2(int16_t *const *blocks, IjStream *stream, IjEncoder *e);
IJ_INTERNAL IjStatus Encode422Avx2(int16_t *const *blocks, IjStream *stream, IjEncoder *e);
IJ_INTERNAL IjStatus Encode411Avx2(int16_t *const *blocks, IjStream *stream, IjEncoder *e);
IJ_INTERNAL void EncodeBlocksAvx2(const int16_t *first, int32_t count, uint8_t *buffer,
                                  int32_t *position, int16_t *dcPred, const IjHuffEncTable *dc,
                                  const IjHuffEncTable *ac);

IJ_INTERNAL IjStatus TransformGraySse2(int16_t *const *blocks, const uint16_t *const *recip);
IJ_INTERNAL IjStatus Transform444Sse2(int16_t *const *blocks, const uint16_t *const *recip);
IJ_INTERNAL IjStatus Transform422Sse2(int16_t *const *blocks, const uint16_t *const *recip);
IJ_INTERNAL IjStatus Transform411Sse2(int16_t *const *blocks, const uint16_t *const *recip);

IJ_INTERNAL IjStatus TransformGrayAvx2(int16_t *const *blocks, const uint16_t *const *recip);
IJ_INTERNAL IjStatus Transform444Avx2(int16_t *const *blocks, const uint16_t *const *recip);
IJ_INTERNAL IjStatus Transform422Avx2(int16_t *const *blocks, const uint16_t *const *recip);
IJ_INTERNAL IjStatus Transform411Avx2(int16_t *const *blocks, const uint16_t *const *recip);
IJ_INTERNAL IjStatus Convert444Avx2(const uint8_t *src, int32_t step, int16_t *const *blocks);
IJ_INTERNAL IjStatus Convert422Avx2(const uint8_t *src, int32_t step, int16_t *const *blocks);
IJ_INTERNAL IjStatus Convert411Avx2(const uint8_t *src, int32_t step, int16_t *const *blocks);
IJ_INTERNAL IjStatus ConvertGrayAvx2(const uint8_t *src, int32_t step, int16_t *const *blocks);
} // namespace fast
#endif

} // namespace ij

// Callers on the receiver lay these records out as 32-bit words.
static_assert(sizeof(IjImageSpec) == 10 * 4, "IjImageSpec is ten words");
static_assert(sizeof(IjStream) == (sizeof(void *) == 4 ? 6 * 4 : 32), "IjStream is six words");
static_assert(sizeof(IjMotionParams) == 6 * 4 && sizeof(IjStreamParams) == 4 * 4, "motion records");
static_assert(sizeof(IjComponentSpec) == 7 * 4, "IjComponentSpec is seven words");
static_assert(sizeof(IjHuffEncTable) == 768, "IjHuffEncTable is 768 bytes");

// ---- Reading entropy-coded data (the decoders' units) ----------------------

namespace ij {

// Takes bytes while no marker was met and fewer than 16 bits are valid.  The
// caller's data ends in a marker, so the fill-byte loop always stops.
inline int32_t Refill(IjBitReader &r) {
  while (r.marker == 0 && r.bits < 16) {
    uint32_t b = r.buffer[r.next++];
    if (b == 0xFF) {
      do b = r.buffer[r.next++];
      while (b == 0xFF);
      if (b != 0) {
        r.marker = int32_t(b);
        break;
      }
      b = 0xFF;
    }
    r.acc = (r.acc << 8) | b;
    r.bits += 8;
  }
  return r.bits;
}

// n (1 ... 16) raw bits; false when the data ends first.
inline bool GetBits(IjBitReader &r, int n, uint32_t *v) {
  if (r.bits < n && Refill(r) < n) return false;
  r.bits -= n;
  *v = (r.acc >> r.bits) & ((1u << n) - 1);
  return true;
}

// An s-bit value (s 1 ... 15) with its sign restored.
inline bool Receive(IjBitReader &r, int s, int32_t *v) {
  uint32_t raw;
  if (!GetBits(r, s, &raw)) return false;
  *v = int32_t(raw) + (raw < (1u << (s - 1)) ? _nLowestCoef[s] : 0);
  return true;
}

// The reader state a block decoder gets as separate words: loaded on entry,
// stored back (as a byte position times 8) on return.
struct ReaderState {
  IjBitReader r;
  int32_t *position, *marker, *bits;
  uint32_t *acc;

  bool Load(const uint8_t *buffer, int32_t *pos, int32_t *mk, uint32_t *ac, int32_t *nb) {
    if (!buffer || !pos || !mk || !ac || !nb || *pos < 0 || *nb < 0 || *nb > 32) return false;
    position = pos;
    marker = mk;
    acc = ac;
    bits = nb;
    r = {buffer, *pos >> 3, *ac, *nb, *mk};
    return true;
  }

  IjStatus Store(IjStatus st) {
    *position = int32_t(uint32_t(r.next) << 3);
    *marker = r.marker;
    *acc = r.acc;
    *bits = r.bits;
    return st;
  }
};

inline bool BadBand(int32_t ss, int32_t se, int32_t al) {
  return ss < 1 || se > 63 || ss > se || al < 0 || al > 13;
}

inline void Count(int32_t *freq, unsigned symbol) {
  freq[symbol] = int32_t(uint32_t(freq[symbol]) + 1u); // wraps rather than overflows
}

} // namespace ij

static_assert(sizeof(IjHuffDecTable) == 100 + 1024 + 512, "IjHuffDecTable layout");
