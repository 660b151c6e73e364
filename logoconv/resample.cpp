// resample.cpp - one resampling step from the source at full resolution to
// the target's size.  Lanczos-3, widened by the reduction factor so that it
// filters out what the smaller grid cannot hold (thin strokes and text would
// alias otherwise), on colour premultiplied by alpha so that the colour of
// transparent pixels never bleeds into the edges.
#include <math.h>
#include <string.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <vector>

#include "picture.h"

namespace logoconv {
namespace {

double Lanczos3(double x) {
  x = fabs(x);
  if (x < 1e-9) return 1;
  if (x >= 3) return 0;
  // sin(3y) = 3 sin(y) - 4 sin(y)^3: one sine a tap.
  const double y = M_PI * x / 3, s = sin(y);
  return s * s * (3 - 4 * s * s) / (3 * y * y);
}

// The source pixels each output pixel of one axis takes, and their weights.
typedef float V4 __attribute__((vector_size(16)));

struct Taps {
  std::vector<uint32_t> first, count;
  std::vector<V4> weight; // count[i] of them for output i, in order, each in all four lanes
  std::vector<size_t> at; // where output i's weights start
};

Taps Weights(uint32_t in, uint32_t out) {
  Taps t;
  const double scale = double(out) / in;
  const double widen = scale < 1 ? 1 / scale : 1, support = 3 * widen;
  for (uint32_t i = 0; i < out; ++i) {
    const double centre = (i + 0.5) / scale;
    // Taps beyond the picture are left out and the rest weighted up, rather
    // than the edge pixel repeated.
    const long lo = std::max(0L, long(floor(centre - support + 0.5)));
    const long hi = std::min(long(in), long(ceil(centre + support - 0.5)));
    std::vector<double> w;
    double sum = 0;
    for (long j = lo; j < hi; ++j) {
      w.push_back(Lanczos3((j + 0.5 - centre) / widen));
      sum += w.back();
    }
    if (w.empty() || fabs(sum) < 1e-12) { // cannot happen for support >= 3; kept safe
      const long j = std::min(long(in) - 1, std::max(0L, long(centre)));
      t.first.push_back(uint32_t(j));
      t.count.push_back(1);
      t.at.push_back(t.weight.size());
      t.weight.push_back(V4{1, 1, 1, 1});
      continue;
    }
    t.first.push_back(uint32_t(lo));
    t.count.push_back(uint32_t(w.size()));
    t.at.push_back(t.weight.size());
    for (double v : w) {
      const float f = float(v / sum);
      t.weight.push_back(V4{f, f, f, f});
    }
  }
  return t;
}

Taps MakeTaps(uint32_t in, uint32_t out) {
  // Logos of a set mostly share their sizes: the last taps made are kept.
  static uint32_t lastIn[2], lastOut[2];
  static Taps last[2];
  for (int i = 0; i < 2; ++i)
    if (lastIn[i] == in && lastOut[i] == out) return last[i];
  Taps t = Weights(in, out);
  last[1] = std::move(last[0]);
  lastIn[1] = lastIn[0], lastOut[1] = lastOut[0];
  last[0] = t;
  lastIn[0] = in, lastOut[0] = out;
  return t;
}

// Two sums, so that one addition need not wait for the other.
V4 Dot(const V4 *w, const V4 *in, uint32_t n, size_t step) {
  V4 a = {0, 0, 0, 0}, b = {0, 0, 0, 0};
  uint32_t k = 0;
  for (; k + 1 < n; k += 2) {
    a += w[k] * in[k * step];
    b += w[k + 1] * in[(k + 1) * step];
  }
  if (k < n) a += w[k] * in[k * step];
  return a + b;
}

#ifndef __SSE2__
// A row of straight 8-bit pixels as premultiplied vectors.
void Premultiply(const uint8_t *src, uint32_t n, V4 *out) {
  for (uint32_t i = 0; i < n; ++i, src += 4) {
    const uint8_t a = src[3];
    if (a == 0) {
      out[i] = V4{0, 0, 0, 0};
      continue;
    }
#ifdef __SSE2__
    uint32_t word;
    memcpy(&word, src, 4);
    const __m128i zero = _mm_setzero_si128();
    const __m128i bytes = _mm_cvtsi32_si128(int(word));
    const __m128 v = _mm_cvtepi32_ps(_mm_unpacklo_epi16(_mm_unpacklo_epi8(bytes, zero), zero));
#else
    const V4 v = {float(src[0]), float(src[1]), float(src[2]), float(a)};
#endif
    if (a == 255) {
      out[i] = v;
      continue;
    }
    const float f = a * (1.0f / 255);
    out[i] = v * V4{f, f, f, 1};
  }
}
#endif

#ifdef __SSE2__
// The pass across the rows, which takes every source pixel some six times,
// in 16-bit fixed point: one multiply-add instruction does two taps of all
// four channels.  Colour is premultiplied to 15 bits (c x a / 2, alpha as
// a x 255 / 2) and weights are 14-bit, so no sum can overflow 32 bits.

// Eight 16-bit lanes, held in vectors.
struct Lanes {
  __m128i v;
};

// A row as pairs of pixels, channel by channel: r0 r1 g0 g1 b0 b1 a0 a1.
void PremultiplyPairs(const uint8_t *src, uint32_t n, Lanes *pairs) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i colour = _mm_set_epi16(0, -1, -1, -1, 0, -1, -1, -1);
  const __m128i opaque = _mm_set_epi16(255, 0, 0, 0, 255, 0, 0, 0);
  for (uint32_t i = 0; i < n; i += 2, src += 8) {
    __m128i v;
    if (i + 1 < n) {
      v = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(src));
    } else {
      uint32_t last;
      memcpy(&last, src, 4);
      v = _mm_cvtsi32_si128(int(last));
    }
    v = _mm_unpacklo_epi8(v, zero);
    __m128i by = _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0xFF), 0xFF);
    by = _mm_or_si128(_mm_and_si128(by, colour), opaque);
    const __m128i p = _mm_srli_epi16(_mm_mullo_epi16(v, by), 1);
    pairs[i / 2].v = _mm_unpacklo_epi16(p, _mm_srli_si128(p, 8));
  }
  pairs[(n + 1) / 2].v = zero; // read by the last pair of taps, with weight 0
}

struct FixedTaps {
  static constexpr int kOne = 1 << 14;
  std::vector<uint32_t> firstPair, pairCount;
  std::vector<size_t> at;
  std::vector<Lanes> weight; // w(2k) w(2k+1) in each of the four pairs of lanes

  explicit FixedTaps(const Taps &t) {
    for (size_t o = 0; o < t.first.size(); ++o) {
      // Pairs start at an even pixel: an odd first tap gets a zero before it.
      const uint32_t skew = t.first[o] & 1, n = t.count[o] + skew;
      std::vector<int> w(n + (n & 1), 0);
      int sum = 0, largest = 0;
      for (uint32_t k = 0; k < t.count[o]; ++k) {
        int &v = w[skew + k];
        v = int(lrintf(t.weight[t.at[o] + k][0] * kOne));
        sum += v;
        if (v > w[size_t(largest)]) largest = int(skew + k);
      }
      // Rounded weights still add up to one: a flat area stays flat.
      w[size_t(largest)] += kOne - sum;
      firstPair.push_back(t.first[o] / 2);
      pairCount.push_back(uint32_t(w.size() / 2));
      at.push_back(weight.size());
      for (size_t k = 0; k < w.size(); k += 2) {
        const short a = short(w[k]), b = short(w[k + 1]);
        weight.push_back({_mm_set_epi16(b, a, b, a, b, a, b, a)});
      }
    }
  }

  void Across(const Lanes *pairs, V4 *out) const {
    // Back to the float pass's units: colour x alpha / 255, alpha 0..255.
    const V4 scale = V4{1, 1, 1, 1} * (2.0f / (255.0f * kOne));
    for (size_t o = 0; o < firstPair.size(); ++o) {
      const Lanes *d = pairs + firstPair[o], *w = &weight[at[o]];
      __m128i a = _mm_setzero_si128(), b = _mm_setzero_si128();
      uint32_t k = 0;
      for (; k + 3 < pairCount[o]; k += 4) {
        a = _mm_add_epi32(a, _mm_add_epi32(_mm_madd_epi16(d[k].v, w[k].v),
                                           _mm_madd_epi16(d[k + 1].v, w[k + 1].v)));
        b = _mm_add_epi32(b, _mm_add_epi32(_mm_madd_epi16(d[k + 2].v, w[k + 2].v),
                                           _mm_madd_epi16(d[k + 3].v, w[k + 3].v)));
      }
      for (; k < pairCount[o]; ++k) a = _mm_add_epi32(a, _mm_madd_epi16(d[k].v, w[k].v));
      out[o] = V4(_mm_cvtepi32_ps(_mm_add_epi32(a, b))) * scale;
    }
  }
};
#endif

uint8_t Byte(float v) {
  return v <= 0 ? 0 : v >= 255 ? 255 : uint8_t(v + 0.5f);
}

} // namespace

Area Opaque(const Picture &p) {
  uint32_t x0 = p.w, y0 = p.h, x1 = 0, y1 = 0;
  for (uint32_t y = 0; y < p.h; ++y) {
    const uint8_t *row = &p.rgba[size_t(y) * p.w * 4];
    for (uint32_t x = 0; x < p.w; ++x)
      if (row[x * 4 + 3]) {
        x0 = std::min(x0, x);
        x1 = std::max(x1, x + 1);
        y0 = std::min(y0, y);
        y1 = y + 1;
      }
  }
  if (x1 == 0) return {0, 0, p.w, p.h};
  return {x0, y0, x1 - x0, y1 - y0};
}

void FitInto(double w, double h, uint32_t boxW, uint32_t boxH, uint32_t &fw, uint32_t &fh) {
  fw = boxW;
  fh = boxH;
  if (w * boxH >= h * boxW)
    fh = uint32_t(std::min(double(boxH), floor(h * boxW / w + 0.5)));
  else
    fw = uint32_t(std::min(double(boxW), floor(w * boxH / h + 0.5)));
  if (fw == 0) fw = 1;
  if (fh == 0) fh = 1;
}

void Resample(const Picture &p, const Area &from, uint32_t dw, uint32_t dh, uint32_t cw,
              uint32_t ch, uint32_t x, uint32_t y, uint32_t *canvas) {
  memset(canvas, 0, size_t(cw) * ch * 4);
  const Taps tx = MakeTaps(from.w, dw), ty = MakeTaps(from.h, dh);
  // Across first, only the rows some output row takes, premultiplied as
  // they are read; a pixel's four channels are one vector.
  const uint32_t rowFirst = ty.first[0], rowEnd = ty.first[dh - 1] + ty.count[dh - 1];
  std::vector<V4> across(size_t(rowEnd - rowFirst) * dw);
#ifdef __SSE2__
  const FixedTaps fx(tx);
  std::vector<Lanes> pairs(from.w / 2 + 2);
  for (uint32_t r = rowFirst; r < rowEnd; ++r) {
    PremultiplyPairs(&p.rgba[(size_t(from.y + r) * p.w + from.x) * 4], from.w, pairs.data());
    fx.Across(pairs.data(), &across[size_t(r - rowFirst) * dw]);
  }
#else
  std::vector<V4> line(from.w);
  for (uint32_t r = rowFirst; r < rowEnd; ++r) {
    const uint8_t *src = &p.rgba[(size_t(from.y + r) * p.w + from.x) * 4];
    Premultiply(src, from.w, line.data());
    V4 *out = &across[size_t(r - rowFirst) * dw];
    for (uint32_t o = 0; o < dw; ++o)
      out[o] = Dot(&tx.weight[tx.at[o]], &line[tx.first[o]], tx.count[o], 1);
  }
#endif
  for (uint32_t o = 0; o < dh; ++o) {
    const V4 *w = &ty.weight[ty.at[o]];
    uint32_t *to = canvas + size_t(y + o) * cw + x;
    const V4 *rows = &across[size_t(ty.first[o] - rowFirst) * dw];
    for (uint32_t c = 0; c < dw; ++c) {
      const V4 sum = Dot(w, rows + c, ty.count[o], dw);
      const uint8_t a = Byte(sum[3]);
      if (a == 0) continue; // transparent black
      // Back to straight colour; the filter's lobes may overshoot, hence
      // the clamps in Byte.
      const float un = 255.0f / sum[3];
      to[c] = uint32_t(a) << 24 | uint32_t(Byte(sum[0] * un)) << 16 |
              uint32_t(Byte(sum[1] * un)) << 8 | Byte(sum[2] * un);
    }
  }
}

} // namespace logoconv
