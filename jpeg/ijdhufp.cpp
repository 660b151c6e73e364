// ijdhufp.cpp - decoding one block of a progressive scan: the DC first and
// refinement passes, and the AC first and refinement passes over a band of
// frequencies with end-of-band runs.
#include "ijint.h"

namespace {

// Values are rebuilt in unsigned arithmetic: a left shift of a negative
// number is undefined, the result is the same on both targets.
inline int16_t Scaled(int32_t v, int32_t al) {
  return int16_t(uint32_t(v) << al);
}

// The run an EOBr symbol starts: 2^r and r further bits.
inline bool EobRun(IjBitReader &r, int run, int32_t *out) {
  uint32_t extra = 0;
  if (run && !ij::GetBits(r, run, &extra)) return false;
  *out = int32_t((1u << run) + extra);
  return true;
}

} // namespace

extern "C" IjStatus ippiDecodeHuffman_Direct_JPEG_DCFirst_1u16s(
    const uint8_t *buffer, int32_t *position, int16_t *block, int16_t *dcPred, int32_t *marker,
    uint32_t *acc, int32_t *bits, int32_t al, const IjHuffDecTable *dc) {
  ij::ReaderState rs;
  if (!block || !dcPred || !dc || al < 0 || al > 13 ||
      !rs.Load(buffer, position, marker, acc, bits))
    return IJ_STS_ARG;
  IjBitReader &r = rs.r;
  const int32_t s = _IppHuffDecode(dc, &r);
  if (s == IJ_HUFF_END_OF_DATA) {
    r.bits = 0;
    return rs.Store(IJ_STS_OK);
  }
  if (s < 0 || s > 15) return rs.Store(IJ_STS_MODE);
  int32_t diff = 0;
  if (s && !ij::Receive(r, s, &diff)) return rs.Store(IJ_STS_MODE);
  *dcPred = int16_t(*dcPred + diff);
  block[0] = Scaled(*dcPred, al);
  return rs.Store(IJ_STS_OK);
}

extern "C" IjStatus ippiDecodeHuffman_Direct_JPEG_DCRefine_1u16s(const uint8_t *buffer,
                                                                 int32_t *position, int16_t *block,
                                                                 int32_t *marker, uint32_t *acc,
                                                                 int32_t *bits, int32_t al) {
  ij::ReaderState rs;
  if (!block || al < 0 || al > 13 || !rs.Load(buffer, position, marker, acc, bits))
    return IJ_STS_ARG;
  uint32_t bit;
  // The bit is all this pass codes for the block: without it the data ended.
  if (!ij::GetBits(rs.r, 1, &bit)) {
    rs.r.bits = 0;
    return rs.Store(IJ_STS_OK);
  }
  if (bit) block[0] = int16_t(block[0] | (1 << al));
  return rs.Store(IJ_STS_OK);
}

extern "C" IjStatus ippiDecodeHuffman_Direct_JPEG_ACFirst_1u16s(
    const uint8_t *buffer, int32_t *position, int16_t *block, int32_t *eobRun, int32_t *marker,
    uint32_t *acc, int32_t *bits, int32_t ss, int32_t se, int32_t al, const IjHuffDecTable *ac) {
  ij::ReaderState rs;
  if (!block || !eobRun || !ac || *eobRun < 0 || ij::BadBand(ss, se, al) ||
      !rs.Load(buffer, position, marker, acc, bits))
    return IJ_STS_ARG;
  if (*eobRun > 0) { // this block lies in a run of empty bands
    --*eobRun;
    return rs.Store(IJ_STS_OK);
  }
  IjBitReader &r = rs.r;
  for (int k = ss; k <= se;) {
    const int32_t sym = _IppHuffDecode(ac, &r);
    if (sym == IJ_HUFF_END_OF_DATA) {
      r.bits = 0;
      break;
    }
    if (sym < 0) return rs.Store(IJ_STS_MODE);
    const int run = sym >> 4, size = sym & 15;
    if (size == 0) {
      if (run == 15) {
        k += 16;
        continue;
      }
      int32_t n;
      if (!EobRun(r, run, &n)) return rs.Store(IJ_STS_MODE);
      *eobRun = n - 1; // this block is the run's first
      break;
    }
    k += run;
    if (k > se) return rs.Store(IJ_STS_MODE); // outside the band
    int32_t v;
    if (!ij::Receive(r, size, &v)) return rs.Store(IJ_STS_MODE);
    block[_nIppIZigZagIndex[k++]] = Scaled(v, al);
  }
  return rs.Store(IJ_STS_OK);
}

namespace {

// One correction bit for an already significant coefficient: if set, and
// the bit is not there yet, the magnitude grows by p1 away from zero.
inline bool Correct(IjBitReader &r, int16_t *c, int32_t p1) {
  uint32_t bit;
  if (!ij::GetBits(r, 1, &bit)) return false;
  if (bit && (*c & p1) == 0) *c = int16_t(*c >= 0 ? *c + p1 : *c - p1);
  return true;
}

} // namespace

extern "C" IjStatus ippiDecodeHuffman_Direct_JPEG_ACRefine_1u16s(
    const uint8_t *buffer, int32_t *position, int16_t *block, int32_t *eobRun, int32_t *marker,
    uint32_t *acc, int32_t *bits, int32_t ss, int32_t se, int32_t al, const IjHuffDecTable *ac) {
  ij::ReaderState rs;
  if (!block || !eobRun || !ac || *eobRun < 0 || ij::BadBand(ss, se, al) ||
      !rs.Load(buffer, position, marker, acc, bits))
    return IJ_STS_ARG;
  IjBitReader &r = rs.r;
  const int32_t p1 = 1 << al;
  int k = ss;
  if (*eobRun == 0) {
    for (; k <= se; ++k) {
      const int32_t sym = _IppHuffDecode(ac, &r);
      if (sym == IJ_HUFF_END_OF_DATA) {
        r.bits = 0;
        return rs.Store(IJ_STS_OK);
      }
      if (sym < 0) return rs.Store(IJ_STS_MODE);
      int run = sym >> 4;
      const int size = sym & 15;
      int16_t fresh = 0; // the newly significant value
      if (size) {
        uint32_t sign;
        if (size != 1 || !ij::GetBits(r, 1, &sign)) return rs.Store(IJ_STS_MODE);
        fresh = int16_t(sign ? p1 : -p1);
      } else if (run != 15) {
        if (!EobRun(r, run, eobRun)) return rs.Store(IJ_STS_MODE);
        break; // the rest of the band takes correction bits below
      }
      // Skip run zero-history coefficients (16 for ZRL), correcting the
      // significant ones on the way; the new value goes to the next zero.
      for (; k <= se; ++k) {
        int16_t *c = &block[_nIppIZigZagIndex[k]];
        if (*c != 0) {
          if (!Correct(r, c, p1)) return rs.Store(IJ_STS_MODE);
        } else if (--run < 0) {
          break;
        }
      }
      if (fresh) {
        if (k > se) return rs.Store(IJ_STS_MODE); // no zero left for it in the band
        block[_nIppIZigZagIndex[k]] = fresh;
      }
    }
  }
  if (*eobRun > 0) {
    for (; k <= se; ++k) {
      int16_t *c = &block[_nIppIZigZagIndex[k]];
      if (*c != 0 && !Correct(r, c, p1)) return rs.Store(IJ_STS_MODE);
    }
    --*eobRun;
  }
  return rs.Store(IJ_STS_OK);
}
