// The Huffman block decoders on arbitrary entropy-coded data followed by EOI,
// with the default tables: every decoder must give a documented status, never
// read past the data (the buffer is exactly data + EOI, so the sanitizer
// builds see any overrun) and never write outside the block.  Restart
// markers in the data are handled as a caller would: clear and go on.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <memory>

#include "ijenc.h"

namespace {

constexpr int16_t kGuard = 0x5A5A;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 4 || size > (1u << 20)) return 0;
  static IjDecoderTables tables;
  static bool ready = false;
  if (!ready) {
    if (ijBuildDefaultDecodeTables(&tables) != 0) abort();
    ready = true;
  }
  const int mode = data[0] % 6;
  const int table = data[0] / 6 % 2 ? 1 : 0;
  const int32_t ss = 1 + data[1] % 63;
  const int32_t se = ss + data[2] % (64 - ss);
  const int32_t al = data[3] % 14;
  data += 4;
  size -= 4;

  const size_t n = size + 2;
  std::unique_ptr<uint8_t[]> buf(new uint8_t[n]);
  memcpy(buf.get(), data, size);
  buf[size] = 0xFF;
  buf[size + 1] = 0xD9;

  const IjHuffDecTable *dc = tables.dcTable[table], *ac = tables.acTable[table];
  int16_t area[64 + 16];
  for (int16_t &v : area) v = kGuard;
  int16_t *block = area + 8;
  memset(block, 0, 64 * sizeof *block);
  int32_t pos = 0, marker = 0, bits = 0, eobRun = 0;
  uint32_t acc = 0;
  int16_t pred = 0;
  const size_t limit = 8 * n + 64; // every call either reads or ends a run
  for (size_t i = 0; i < limit; ++i) {
    IjStatus st;
    switch (mode) {
    case 0:
      st = ippiDecodeHuffman_Direct_JPEG_1u16s(buf.get(), &pos, block, &pred, &marker, &acc, &bits,
                                               dc, ac);
      break;
    case 1:
      st = ippiDecodeHuffman_Direct_JPEG_DCFirst_1u16s(buf.get(), &pos, block, &pred, &marker, &acc,
                                                       &bits, al, dc);
      break;
    case 2:
      st = ippiDecodeHuffman_Direct_JPEG_DCRefine_1u16s(buf.get(), &pos, block, &marker, &acc,
                                                        &bits, al);
      break;
    case 3:
      st = ippiDecodeHuffman_Direct_JPEG_ACFirst_1u16s(buf.get(), &pos, block, &eobRun, &marker,
                                                       &acc, &bits, ss, se, al, ac);
      break;
    default:
      st = ippiDecodeHuffman_Direct_JPEG_ACRefine_1u16s(buf.get(), &pos, block, &eobRun, &marker,
                                                        &acc, &bits, ss, se, al, ac);
      break;
    }
    for (int k = 0; k < 8; ++k)
      if (area[k] != kGuard || area[72 + k] != kGuard) abort();
    if (st != IJ_STS_OK && st != IJ_STS_MODE) abort();
    if (pos < 0 || size_t(pos) > 8 * n || pos % 8 || bits < 0 || bits > 32) abort();
    if (marker != 0 && (marker < 0x01 || marker > 0xFE)) abort();
    if (st == IJ_STS_MODE) break; // a caller gives up on the scan
    if (marker == 0 || bits > 0 || eobRun > 0) continue;
    if (marker == 0xD9) {
      if (buf[size_t(pos) / 8 - 1] != 0xD9) abort(); // stopped right after the marker
      break;
    }
    if ((marker & 0xF8) != 0xD0) break; // some other marker ends the data
    marker = 0;
    pred = 0;
  }
  return 0;
}
