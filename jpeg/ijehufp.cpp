// ijehufp.cpp - the Huffman coding primitives of progressive scans: DC first
// and refinement passes, AC first and refinement passes over a band of frequencies
// with end-of-band runs, and the flush of a pending run at the end of a scan.
#include "ijint.h"

namespace {

constexpr int32_t kMaxEobRun = 32767;
constexpr int32_t kCorrectionBits = 1024;
// Flushing above this leaves room for one more block's correction bits.
constexpr int32_t kMaxPendingBits = kCorrectionBits - 64 + 1;

bool BadBand(int32_t ss, int32_t se, int32_t al) {
  return ss < 1 || se > 63 || ss > se || al < 0 || al > 13;
}

void PutEobRun(ij::BitSink &sink, int32_t run, const IjHuffEncTable *ac) {
  const int s = ij::EobCategory(uint32_t(run));
  sink.PutCode(ac, unsigned(s) << 4);
  if (s) sink.Put(uint32_t(run), s);
}

void PutBits(ij::BitSink &sink, const uint8_t *bits, int32_t count) {
  for (int32_t i = 0; i < count; ++i) sink.Put(bits[i], 1);
}

// The refinement scratch: coefficient magnitudes, then the correction bits
// held back for the blocks of the pending end-of-band run.
struct Scratch {
  int16_t *magnitude; // 256 entries
  uint8_t *bits;      // kCorrectionBits entries
};

Scratch Layout(uint8_t *scratch) {
  uint8_t *p =
      reinterpret_cast<uint8_t *>((reinterpret_cast<uintptr_t>(scratch) + 31) & ~uintptr_t(31));
  return {reinterpret_cast<int16_t *>(p), p + 256 * sizeof(int16_t)};
}

// Writes a pending run with the correction bits of its blocks.
void FlushRun(ij::BitSink &sink, int32_t *eobRun, const uint8_t *bits, int32_t *pending,
              const IjHuffEncTable *ac) {
  if (*eobRun <= 0) return;
  PutEobRun(sink, *eobRun, ac);
  *eobRun = 0;
  PutBits(sink, bits, *pending);
  *pending = 0;
}

} // namespace

extern "C" IjStatus _EncodeEOBRUN(int32_t eobRun, uint8_t *buffer, int32_t *position,
                                  const IjHuffEncTable *acTable) {
  if (eobRun <= 0) return IJ_STS_OK;
  if (eobRun > kMaxEobRun) return IJ_STS_ARG;
  ij::BitSink sink(buffer, *position);
  PutEobRun(sink, eobRun, acTable);
  *position = sink.Finish(buffer);
  return IJ_STS_OK;
}

extern "C" IjStatus _AppendBits(const uint8_t *bits, int32_t count, uint8_t *buffer,
                                int32_t *position) {
  if (count <= 0) return IJ_STS_OK;
  ij::BitSink sink(buffer, *position);
  PutBits(sink, bits, count);
  *position = sink.Finish(buffer);
  return IJ_STS_OK;
}

extern "C" IjStatus ippiEncodeHuffman_Direct_JPEG_DCFirst_16s1u(const int16_t *block,
                                                                uint8_t *buffer, int32_t *position,
                                                                int16_t *dcPred, int32_t al,
                                                                const IjHuffEncTable *dc) {
  if (al < 0 || al > 13) return IJ_STS_ARG;
  ij::BitSink sink(buffer, *position);
  const int16_t value = int16_t(block[0] >> al);
  const int32_t diff = int16_t(value - *dcPred);
  *dcPred = value;
  const int s = ij::Category(uint32_t(diff < 0 ? -diff : diff));
  sink.PutCode(dc, unsigned(s));
  if (s) sink.Put(uint32_t(diff < 0 ? diff - 1 : diff), s);
  *position = sink.Finish(buffer);
  return IJ_STS_OK;
}

extern "C" IjStatus ippiEncodeHuffman_Direct_JPEG_DCRefine_16s1u(const int16_t *block,
                                                                 uint8_t *buffer, int32_t *position,
                                                                 int32_t al) {
  if (al < 0 || al > 13) return IJ_STS_ARG;
  ij::BitSink sink(buffer, *position);
  sink.Put(uint32_t(block[0] >> al) & 1, 1);
  *position = sink.Finish(buffer);
  return IJ_STS_OK;
}

extern "C" IjStatus ippiEncodeHuffman_Direct_JPEG_ACFirst_16s1u(const int16_t *block,
                                                                uint8_t *buffer, int32_t *position,
                                                                int32_t *eobRun, int32_t ss,
                                                                int32_t se, int32_t al,
                                                                const IjHuffEncTable *ac) {
  if (BadBand(ss, se, al) || *eobRun < 0 || *eobRun >= kMaxEobRun) return IJ_STS_ARG;
  ij::BitSink sink(buffer, *position);
  unsigned run = 0;
  for (int k = ss; k <= se; ++k) {
    const int32_t v = block[_nIppIZigZagIndex[k]];
    const uint32_t m = uint32_t(v < 0 ? -v : v) >> al;
    if (m == 0) {
      ++run;
      continue;
    }
    if (*eobRun > 0) {
      PutEobRun(sink, *eobRun, ac);
      *eobRun = 0;
    }
    for (; run >= 16; run -= 16) sink.PutCode(ac, 0xF0);
    const int s = ij::Category(m);
    sink.PutCode(ac, ((run << 4) + unsigned(s)) & 0xFF);
    sink.Put(v < 0 ? ~m : m, s);
    run = 0;
  }
  if (run > 0 && ++*eobRun == kMaxEobRun) {
    PutEobRun(sink, *eobRun, ac);
    *eobRun = 0;
  }
  *position = sink.Finish(buffer);
  return IJ_STS_OK;
}

extern "C" IjStatus ippiEncodeHuffman_Direct_JPEG_ACRefine_16s1u(
    const int16_t *block, uint8_t *buffer, int32_t *position, int32_t *eobRun, uint8_t *scratch,
    int32_t *pending, int32_t ss, int32_t se, int32_t al, const IjHuffEncTable *ac) {
  if (BadBand(ss, se, al) || !scratch || *eobRun < 0 || *eobRun >= kMaxEobRun || *pending < 0 ||
      *pending > kMaxPendingBits)
    return IJ_STS_ARG;
  const Scratch sc = Layout(scratch);
  int last = 0; // the last position that becomes significant in this pass
  for (int k = ss; k <= se; ++k) {
    const int32_t v = block[_nIppIZigZagIndex[k]];
    sc.magnitude[k] = int16_t(uint32_t(v < 0 ? -v : v) >> al);
    if (sc.magnitude[k] == 1) last = k;
  }

  ij::BitSink sink(buffer, *position);
  unsigned run = 0;
  uint8_t *held = sc.bits + *pending; // this block's correction bits
  int32_t heldCount = 0;
  for (int k = ss; k <= se; ++k) {
    const int m = sc.magnitude[k];
    if (m == 0) {
      ++run;
      continue;
    }
    // A run of 16 is coded only when a newly significant coefficient
    // follows; otherwise the end-of-band run covers it.
    while (run >= 16 && k <= last) {
      FlushRun(sink, eobRun, sc.bits, pending, ac);
      sink.PutCode(ac, 0xF0);
      run -= 16;
      PutBits(sink, held, heldCount);
      held = sc.bits;
      heldCount = 0;
    }
    if (m > 1) {
      held[heldCount++] = uint8_t(m & 1);
      continue;
    }
    FlushRun(sink, eobRun, sc.bits, pending, ac);
    sink.PutCode(ac, (run << 4) + 1);
    sink.Put(block[_nIppIZigZagIndex[k]] < 0 ? 0 : 1, 1);
    PutBits(sink, held, heldCount);
    held = sc.bits;
    heldCount = 0;
    run = 0;
  }
  if (run > 0 || heldCount > 0) {
    ++*eobRun;
    *pending += heldCount;
    if (*eobRun == kMaxEobRun || *pending > kMaxPendingBits)
      FlushRun(sink, eobRun, sc.bits, pending, ac);
  }
  *position = sink.Finish(buffer);
  return IJ_STS_OK;
}

extern "C" IjStatus ippiEncodeHuffman_Direct_JPEG_ACFinal(int32_t *eobRun, uint8_t *scratch,
                                                          int32_t *pending, uint8_t *buffer,
                                                          int32_t *position,
                                                          const IjHuffEncTable *ac) {
  if (!scratch || *eobRun < 0 || *eobRun > kMaxEobRun || *pending < 0 || *pending > kCorrectionBits)
    return IJ_STS_ARG;
  ij::BitSink sink(buffer, *position);
  FlushRun(sink, eobRun, Layout(scratch).bits, pending, ac);
  *position = sink.Finish(buffer);
  return IJ_STS_OK;
}
