// ijfreqp.cpp - symbol frequencies of progressive scans: DC first, AC first
// and AC refinement blocks and the run pending at the end of a scan, kept
// with the same run and correction-bit bookkeeping as the progressive coders
// so that the counts match what they write.
#include "ijint.h"

namespace {

constexpr int32_t kMaxEobRun = 32767;
constexpr int32_t kCorrectionBits = 1024;
constexpr int32_t kMaxPendingBits = kCorrectionBits - 64 + 1; // as the refinement coder

void CountRun(int32_t *acFreq, int32_t run) {
  ij::Count(acFreq, unsigned(ij::EobCategory(uint32_t(run))) << 4);
}

// Where the coder would write a pending run and its correction bits.
void FlushRun(int32_t *acFreq, int32_t *eobRun, int32_t *pending) {
  if (*eobRun <= 0) return;
  CountRun(acFreq, *eobRun);
  *eobRun = 0;
  *pending = 0;
}

int16_t *Magnitudes(uint8_t *scratch) {
  return reinterpret_cast<int16_t *>((reinterpret_cast<uintptr_t>(scratch) + 31) & ~uintptr_t(31));
}

} // namespace

extern "C" IjStatus ippiGetHuffmanFREQ_JPEG_DCFirst_16s(const int16_t *block, int32_t *dcFreq,
                                                        int16_t *dcPred, int32_t al) {
  if (!block || !dcFreq || !dcPred || al < 0 || al > 13) return IJ_STS_ARG;
  const int16_t value = int16_t(block[0] >> al);
  const int32_t diff = int16_t(value - *dcPred);
  *dcPred = value;
  ij::Count(dcFreq, unsigned(ij::Category(uint32_t(diff < 0 ? -diff : diff))));
  return IJ_STS_OK;
}

extern "C" IjStatus ippiGetHuffmanFREQ_JPEG_ACFirst_16s(const int16_t *block, int32_t *acFreq,
                                                        int32_t *eobRun, int32_t ss, int32_t se,
                                                        int32_t al) {
  if (!block || !acFreq || !eobRun || ij::BadBand(ss, se, al) || *eobRun < 0 ||
      *eobRun >= kMaxEobRun)
    return IJ_STS_ARG;
  unsigned run = 0;
  for (int k = ss; k <= se; ++k) {
    const int32_t v = block[_nIppIZigZagIndex[k]];
    const uint32_t m = uint32_t(v < 0 ? -v : v) >> al;
    if (m == 0) {
      ++run;
      continue;
    }
    if (*eobRun > 0) {
      CountRun(acFreq, *eobRun);
      *eobRun = 0;
    }
    for (; run >= 16; run -= 16) ij::Count(acFreq, 0xF0);
    ij::Count(acFreq, ((run << 4) + unsigned(ij::Category(m))) & 0xFF);
    run = 0;
  }
  if (run > 0 && ++*eobRun == kMaxEobRun) {
    CountRun(acFreq, *eobRun);
    *eobRun = 0;
  }
  return IJ_STS_OK;
}

extern "C" IjStatus ippiGetHuffmanFREQ_JPEG_ACRefine_16s(const int16_t *block, int32_t *acFreq,
                                                         int32_t *eobRun, uint8_t *scratch,
                                                         int32_t *pending, int32_t ss, int32_t se,
                                                         int32_t al) {
  if (!block || !acFreq || !eobRun || !scratch || !pending || ij::BadBand(ss, se, al) ||
      *eobRun < 0 || *eobRun >= kMaxEobRun || *pending < 0 || *pending > kMaxPendingBits)
    return IJ_STS_ARG;
  int16_t *magnitude = Magnitudes(scratch);
  int last = 0; // the last position that becomes significant in this pass
  for (int k = ss; k <= se; ++k) {
    const int32_t v = block[_nIppIZigZagIndex[k]];
    magnitude[k] = int16_t(uint32_t(v < 0 ? -v : v) >> al);
    if (magnitude[k] == 1) last = k;
  }

  unsigned run = 0;
  int32_t held = 0; // correction bits of this block not yet written
  for (int k = ss; k <= se; ++k) {
    const int m = magnitude[k];
    if (m == 0) {
      ++run;
      continue;
    }
    while (run >= 16 && k <= last) {
      FlushRun(acFreq, eobRun, pending);
      ij::Count(acFreq, 0xF0);
      run -= 16;
      held = 0;
    }
    if (m > 1) {
      ++held;
      continue;
    }
    FlushRun(acFreq, eobRun, pending);
    ij::Count(acFreq, (run << 4) + 1);
    held = 0;
    run = 0;
  }
  if (run > 0 || held > 0) {
    ++*eobRun;
    *pending += held;
    if (*eobRun == kMaxEobRun || *pending > kMaxPendingBits) FlushRun(acFreq, eobRun, pending);
  }
  return IJ_STS_OK;
}

extern "C" IjStatus ippiGetHuffmanFREQ_JPEG_ACFinal(int32_t *eobRun, int32_t *acFreq) {
  if (!eobRun || !acFreq || *eobRun < 0 || *eobRun > kMaxEobRun) return IJ_STS_ARG;
  if (*eobRun > 0) CountRun(acFreq, *eobRun);
  *eobRun = 0;
  return IJ_STS_OK;
}
