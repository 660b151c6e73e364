// Helpers of the encoder tests: encoding a picture through the public calls,
// decoding with libjpeg-turbo, comparing pictures, walking marker segments.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "ijenc.h"

namespace jt {

// A small deterministic generator (xorshift32) for random test cases.
struct Rng {
  uint32_t s;
  uint32_t Next() {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
  }
  int In(int lo, int hi) { return lo + int(Next() % uint32_t(hi - lo + 1)); }
};

struct Picture {
  int width = 0, height = 0, channels = 0; // channels 1 (grey) or 3 (B, G, R)
  std::vector<uint8_t> pixels;             // top row first, no row padding
  int Step() const { return width * channels; }
};

// A deterministic picture with smooth areas, edges and some noise.
Picture Synthetic(int width, int height, int channels, uint32_t seed = 1);
Picture Uniform(int width, int height, int channels, uint8_t b, uint8_t g, uint8_t r);

struct Settings {
  int quality = 75;
  int restart = 0;
  int mode = 1;
  int sampling = IJ_SAMPLING_444;
  int densityUnit = 0, xDensity = 72, yDensity = 72;
};

struct Encoded {
  IjStatus init = 0, compress = 0, finish = 0;
  std::vector<uint8_t> bytes; // (position + 7) / 8 bytes of the stream
};

// Encodes top row first (bottomUp: from memory holding the rows the other
// way round, with a negative step) into a stream of the given capacity.
Encoded Encode(const Picture &pic, const Settings &s, int capacity = 0, bool bottomUp = false);

struct Decoded {
  bool ok = false;
  std::string error;
  int width = 0, height = 0, components = 0;
  bool progressive = false;
  std::vector<uint8_t> pixels; // grey, or B, G, R
};

Decoded Decode(const std::vector<uint8_t> &jpeg, bool toGrey = false);

// Quantised coefficients per component in natural order, block by block,
// as libjpeg-turbo reads them from a stream.
struct Coefficients {
  bool ok = false;
  std::string error;
  std::vector<std::vector<int16_t>> component;
  std::vector<int> blocksWide, blocksHigh;
};
Coefficients ReadCoefficients(const std::vector<uint8_t> &jpeg);

double Psnr(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b);

struct Segment {
  int marker;    // the byte after 0xFF
  size_t offset; // of the 0xFF
  size_t length; // whole segment including marker; 2 for markers without length
  std::vector<uint8_t> bytes;
};

// The marker segments up to SOS, then SOS, the RSTn markers met in the
// entropy-coded data and EOI.
std::vector<Segment> Segments(const std::vector<uint8_t> &jpeg);
const Segment *Find(const std::vector<Segment> &segs, int marker, int nth = 0);

std::vector<uint8_t> Bytes(std::initializer_list<int> list);

// The bits of the entropy-coded data in buf[0 .. position) as '0'/'1', with
// the stuffed zero byte after every 0xFF left out.
std::string Bits(const uint8_t *buf, int32_t position);

} // namespace jt
