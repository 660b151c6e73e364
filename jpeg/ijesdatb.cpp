// ijesdatb.cpp - the scan loop of a baseline scan: MCU by MCU, left to right
// and top to bottom, straight from the source image; only MCUs that reach
// past the right or bottom edge go through the edge buffer first.  The same
// loop split into MCU rows, for callers that transform rows side by side or
// code runs of MCUs apart; and the splicing of such runs, copied where the
// stream's position is on a byte boundary, else taken apart into their bits,
// shifted and stuffed again.
#include "ijint.h"

extern "C" IjStatus ijEncodeScanData_Baseline(const uint8_t *src, int32_t step, IjStream *stream,
                                              IjEncoder *e) {
  const IjMcuInfo &m = e->mcu;
  const IjFunctions &fn = e->fn;
  const int32_t bpp = e->image.bitsPerPixel / 8;
  const int32_t startBits = stream->position;
  const int32_t rowsTotal = m.rows + (m.bottomRemainder != 0);
  const int32_t colsTotal = m.columns + (m.rightRemainder != 0);
  const ptrdiff_t mcuDown = ptrdiff_t(step) * m.height;
  const ptrdiff_t mcuAcross = ptrdiff_t(m.width) * bpp;

  e->source = src;
  for (int32_t row = 0; row < rowsTotal; ++row) {
    const bool bottom = row == m.rows;
    const int32_t rowsPresent = bottom ? m.bottomRemainder : m.height;
    for (int32_t col = 0; col < colsTotal; ++col) {
      const uint8_t *p = e->source + col * mcuAcross;
      int32_t pStep = step;
      if (bottom || col == m.columns) {
        const int32_t colsPresent = col == m.columns ? m.rightRemainder : m.width;
        fn.copyExpand(p, step, colsPresent, rowsPresent, e->buffers.edge, m.lineBytes, m.width,
                      m.height);
        p = e->buffers.edge;
        pStep = m.lineBytes;
      }
      fn.convert(p, pStep, e->buffers.coeff);
      fn.transform(e->buffers.coeff, e->recipTable);
      const IjStatus st = fn.encodeMcu(e->buffers.coeff, stream, e);
      if (st != IJ_STS_OK) return st;
      fn.advanceMcu(e);
    }
    if (!bottom) e->source += mcuDown;
  }
  e->bitsSpent += stream->position - startBits;
  return IJ_STS_OK;
}

namespace {

// The block pointers of the MCU whose coefficients start at base: luma
// blocks, then Cb and Cr, as the work buffer lays them out.
void McuBlocks(const IjEncoder *e, int16_t *base, int16_t *blocks[3]) {
  blocks[0] = base;
  blocks[1] = base + e->mcu.lumaCoeffs;
  blocks[2] = base + e->mcu.lumaCoeffs + e->mcu.chromaCoeffs;
}

// Eight bytes as one word, the first the most significant.
inline uint64_t LoadBig(const uint8_t *p) {
  uint64_t w;
  memcpy(&w, p, 8);
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  w = __builtin_bswap64(w);
#endif
  return w;
}

inline void StoreBig(uint8_t *p, uint64_t w) {
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  w = __builtin_bswap64(w);
#endif
  memcpy(p, &w, 8);
}

// Some byte of w is 0xFF exactly when some byte of ~w is zero.
inline bool HasFF(uint64_t w) {
  return ((~w - 0x0101010101010101ull) & w & 0x8080808080808080ull) != 0;
}

// Appends the data behind the k bits the byte at the position already
// holds: its stuffing zeros are dropped, and the shifted bytes stuffed anew.
bool Shifted(IjStream *s, const uint8_t *data, uint32_t bytes, int tail, uint32_t limit) {
  const uint32_t start = uint32_t(s->position) >> 3;
  const int k = s->position & 7; // 1 ... 7
  const uint64_t low = (uint64_t(1) << k) - 1;
  uint8_t *out = s->buffer + start;
  uint8_t *const end = s->buffer + limit;
  uint64_t carry = s->buffer[start] >> (8 - k); // the bits already in place
  auto put = [&](uint8_t b) {
    *out++ = b;
    if (b == 0xFF) *out++ = 0;
  };
  const uint8_t *in = data;
  const uint8_t *const inEnd = data + bytes;
  while (in < inEnd) {
    // Eight bytes at a time while none of them is 0xFF (nor a stuffed zero
    // behind one, which always comes with its 0xFF).
    if (inEnd - in >= 8 && end - out >= 16) {
      const uint64_t w = LoadBig(in);
      if (!HasFF(w)) {
        const uint64_t o = carry << (64 - k) | w >> k;
        carry = w & low;
        in += 8;
        if (!HasFF(o)) {
          StoreBig(out, o);
          out += 8;
        } else {
          for (int shift = 56; shift >= 0; shift -= 8) put(uint8_t(o >> shift));
        }
        continue;
      }
    }
    const uint8_t b = *in++;
    if (b == 0xFF) { // its stuffed zero goes; anything else would be a marker
      if (in == inEnd || *in != 0) return false;
      ++in;
    }
    if (end - out < 2) return false;
    put(uint8_t(carry << (8 - k) | b >> k));
    carry = b & low;
  }
  uint32_t acc = uint32_t(carry);
  int n = k;
  if (tail > 0) {
    acc = acc << tail | uint32_t(data[bytes] >> (8 - tail));
    n += tail;
  }
  if (n >= 8) {
    n -= 8;
    if (end - out < 2) return false;
    put(uint8_t(acc >> n));
  }
  if (out < end) {
    // The bits left, the rest of their byte cleared as the coder leaves it.
    *out = uint8_t(acc << (8 - n));
  } else if (n > 0) {
    return false;
  }
  s->position = int32_t(uint32_t(out - s->buffer) * 8 + uint32_t(n));
  return true;
}

} // namespace

namespace ij {

int32_t McuColumns(const IjEncoder *e) {
  return e->mcu.columns + (e->mcu.rightRemainder != 0);
}

IjStatus RowsBegin(IjStream *stream, IjEncoder *e) {
  if (!stream || !e) return IJ_STS_ARG;
  if (!(e->initialised & 1) || e->fn.compress != ijCompress_BaseLine_L || (e->mode & 0xFF00) ||
      e->buffers.scheme != 0)
    return IJ_STS_MODE;
  if (!e->buffers.ready) return IJ_STS_ARG;
  // The caller hands each row its own lines: no image pointer to keep.
  e->sourceStart = e->source = nullptr;
  e->sourceStep = 0;
  ijInitScanSpecFwd(e);
  ijResetBuffers(e);
  const IjStatus st = ijWrite_SOS(&e->scan, stream);
  if (st != IJ_STS_OK) e->initialised &= ~1;
  return st;
}

int32_t McuRows(const IjEncoder *e) {
  return e->mcu.rows + (e->mcu.bottomRemainder != 0);
}

size_t RowCoeffs(const IjEncoder *e) {
  return size_t(McuColumns(e)) * size_t(e->mcu.coeffStep);
}

size_t EdgeBytes(const IjEncoder *e) {
  return size_t(e->mcu.height) * size_t(e->mcu.lineBytes);
}

int32_t RowLines(const IjEncoder *e, int32_t row) {
  return row == e->mcu.rows ? e->mcu.bottomRemainder : e->mcu.height;
}

void TransformRow(const IjEncoder *e, int32_t row, const uint8_t *line, int32_t step,
                  int16_t *coeff, uint8_t *edge) {
  const IjMcuInfo &m = e->mcu;
  const IjFunctions &fn = e->fn;
  const int32_t bpp = e->image.bitsPerPixel / 8;
  const bool bottom = row == m.rows;
  const int32_t rowsPresent = RowLines(e, row);
  const int32_t cols = McuColumns(e);
  for (int32_t col = 0; col < cols; ++col, coeff += m.coeffStep) {
    const uint8_t *p = line + ptrdiff_t(col) * m.width * bpp;
    int32_t pStep = step;
    if (bottom || col == m.columns) {
      const int32_t colsPresent = col == m.columns ? m.rightRemainder : m.width;
      fn.copyExpand(p, step, colsPresent, rowsPresent, edge, m.lineBytes, m.width, m.height);
      p = edge;
      pStep = m.lineBytes;
    }
    int16_t *blocks[3];
    McuBlocks(e, coeff, blocks);
    fn.convert(p, pStep, blocks);
    fn.transform(blocks, e->recipTable);
  }
}

IjStatus CodeMcus(const int16_t *coeff, int32_t first, int32_t end, IjStream *stream,
                  IjEncoder *e) {
  coeff += size_t(first) * size_t(e->mcu.coeffStep);
  for (int32_t col = first; col < end; ++col, coeff += e->mcu.coeffStep) {
    int16_t *blocks[3];
    McuBlocks(e, const_cast<int16_t *>(coeff), blocks);
    const IjStatus st = e->fn.encodeMcu(blocks, stream, e);
    if (st != IJ_STS_OK) {
      e->initialised &= ~1; // the stream is incomplete: finishing it must fail
      return st;
    }
  }
  return IJ_STS_OK;
}

IjStatus CodeRow(const int16_t *coeff, IjStream *stream, IjEncoder *e) {
  return CodeMcus(coeff, 0, McuColumns(e), stream, e);
}

void SegmentState(IjEncoder *e, int32_t firstMcu, const int16_t *before) {
  e->mcusCoded = firstMcu;
  for (int16_t &p : e->dcPred) p = 0;
  if (e->restartInterval > 0) {
    // Right after the marker that ended the previous interval.
    e->mcusToRestart = e->restartInterval;
    e->restartIndex = (firstMcu / e->restartInterval) & 7;
    return;
  }
  if (firstMcu == 0) return;
  // Each predictor holds the DC of its component's last block.
  int16_t *blocks[3];
  McuBlocks(e, const_cast<int16_t *>(before), blocks);
  e->dcPred[0] = blocks[0][e->mcu.lumaCoeffs - 64];
  if (e->mcu.coeffStep > e->mcu.lumaCoeffs) { // colour: a Cb and a Cr block follow
    e->dcPred[1] = blocks[1][0];
    e->dcPred[2] = blocks[2][0];
  }
}

IjStatus RowsEnd(int64_t startBits, IjStream *stream, IjEncoder *e) {
  e->bitsSpent += stream->position - startBits;
  e->fn.compress = nullptr; // one image per baseline frame, as ijCompress_BaseLine_L
  return 2;
}

bool AppendCoded(IjStream *s, const uint8_t *data, int32_t bits) {
  if (!s || !s->buffer || !data || bits < 0 || s->position < 0) return false;
  const uint32_t limit = StreamLimit(s);
  const uint32_t start = uint32_t(s->position) >> 3;
  if (start >= limit) return bits == 0;
  const uint32_t bytes = uint32_t(bits) >> 3;
  const int tail = bits & 7;
  if (s->position & 7) return Shifted(s, data, bytes, tail, limit);
  const uint32_t room = limit - start;
  const uint32_t used = bytes + (tail ? 1 : 0);
  if (used > room) return false;
  memcpy(s->buffer + start, data, used);
  if (!tail && bytes < room) s->buffer[start + bytes] = 0;
  s->position += bits;
  return true;
}

} // namespace ij
