// Helpers of the decoder tests: coefficient blocks to test with, libjpeg-turbo
// writing streams from coefficients (its own entropy coder and, optimising,
// its own frequency counts), and a walk over a greyscale stream's scans that
// decodes them with the library's block decoders.
#pragma once

#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

#include "ijenc.h"

namespace jd {

// 64 coefficients per block, natural order.
using Blocks = std::vector<int16_t>;

enum class Kind { Sparse, Dense, Extreme, Mixed };

// Blocks of quantised coefficients whose DC differences stay within +-2047
// and AC values within +-1023 (what 8-bit samples produce). Extreme blocks
// reach those limits, including DC jumps of exactly +-2047.
Blocks MakeBlocks(Kind kind, int count, uint32_t seed);

// Blocks that look like a transformed picture (smooth, with zero tails).
Blocks PictureBlocks(int blocksWide, int blocksHigh, uint32_t seed);

struct WriteOptions {
  bool progressive = false;
  bool optimize = false;
  int restart = 0; // in blocks (MCUs)
};

// A greyscale stream of the given blocks, written by libjpeg-turbo.
std::vector<uint8_t> LibjpegWrite(const Blocks &blocks, int blocksWide, int blocksHigh,
                                  const WriteOptions &o);

struct Scan {
  int ss = 0, se = 0, ah = 0, al = 0;
  size_t data = 0;       // offset of the entropy-coded data
  IjHuffTableDef dc, ac; // the definitions the scan uses
  bool hasDc = false, hasAc = false;
};

struct Stream {
  bool ok = false;
  std::string error;
  int restart = 0;
  int blocksWide = 0, blocksHigh = 0;
  std::vector<Scan> scans;
};

// Markers of a one-component stream: frame size, DRI, DHT and every SOS.
Stream Walk(const std::vector<uint8_t> &jpeg);

// Decodes every scan of the stream with the library's decoders into blocks
// (zeroed first).  error names the first failure.
struct Decoded {
  bool ok = false;
  std::string error;
  Blocks blocks;
};
Decoded DecodeScans(const std::vector<uint8_t> &jpeg, const Stream &s);

// Baseline blocks coded with the encoder's block primitive, a restart marker
// after every interval, EOI at the end.
std::vector<uint8_t> EncodeBaseline(const Blocks &blocks, const IjHuffEncTable &dc,
                                    const IjHuffEncTable &ac, int restart);

struct ScanParams {
  int ss, se, ah, al;
};

// A progressive greyscale stream of the blocks written with the encoder's
// progressive primitives; each scan gets its own DHT from the callbacks.
using TableFor = std::function<IjHuffTableDef(size_t scan)>;
std::vector<uint8_t> EncodeProgressive(const Blocks &blocks, int blocksWide, int blocksHigh,
                                       const std::vector<ScanParams> &scans, const TableFor &dc,
                                       const TableFor &ac);

IjHuffEncTable EncTable(const IjHuffTableDef &d);
IjHuffDecTable DecTable(const IjHuffTableDef &d);
IjHuffTableDef Def(const uint8_t *counts, const uint8_t *values);

} // namespace jd
