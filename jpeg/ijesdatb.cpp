// ijesdatb.cpp - the scan loop of a baseline scan: MCU by MCU, left to right
// and top to bottom, straight from the source image; only MCUs that reach
// past the right or bottom edge go through the edge buffer first.  The same
// loop split into MCU rows, for callers that transform rows side by side.
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

int32_t McuColumns(const IjEncoder *e) {
  return e->mcu.columns + (e->mcu.rightRemainder != 0);
}

} // namespace

namespace ij {

IjStatus RowsBegin(const uint8_t *src, int32_t step, IjStream *stream, IjEncoder *e) {
  if (!src || !stream || !e) return IJ_STS_ARG;
  if (!(e->initialised & 1) || e->fn.compress != ijCompress_BaseLine_L || (e->mode & 0xFF00) ||
      e->buffers.scheme != 0)
    return IJ_STS_MODE;
  if (!e->buffers.ready) return IJ_STS_ARG;
  e->sourceStart = e->source = src;
  e->sourceStep = step;
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

void TransformRow(const IjEncoder *e, int32_t row, int16_t *coeff, uint8_t *edge) {
  const IjMcuInfo &m = e->mcu;
  const IjFunctions &fn = e->fn;
  const int32_t step = e->sourceStep;
  const int32_t bpp = e->image.bitsPerPixel / 8;
  const bool bottom = row == m.rows;
  const int32_t rowsPresent = bottom ? m.bottomRemainder : m.height;
  const uint8_t *line = e->sourceStart + ptrdiff_t(step) * m.height * row;
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

IjStatus CodeRow(const int16_t *coeff, IjStream *stream, IjEncoder *e) {
  const int32_t cols = McuColumns(e);
  for (int32_t col = 0; col < cols; ++col, coeff += e->mcu.coeffStep) {
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

IjStatus RowsEnd(int64_t startBits, IjStream *stream, IjEncoder *e) {
  e->bitsSpent += stream->position - startBits;
  e->fn.compress = nullptr; // one image per baseline frame, as ijCompress_BaseLine_L
  return 2;
}

} // namespace ij
