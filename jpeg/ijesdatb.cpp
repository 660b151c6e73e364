// ijesdatb.cpp - the scan loop of a baseline scan: MCU by MCU, left to right
// and top to bottom, straight from the source image; only MCUs that reach
// past the right or bottom edge go through the edge buffer first.
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
