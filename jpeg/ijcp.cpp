// ijcp.cpp - rectangle copies, and the copies with edge expansion that fill a
// whole MCU from the pixels present at the right and bottom image edges by
// repeating the last pixel of each row and the last row.
#include "ijint.h"

namespace {

template <int Bytes>
IjStatus CopyExpand(const uint8_t *src, int32_t srcStep, int32_t cols, int32_t rows, uint8_t *dst,
                    int32_t dstStep, int32_t fullCols, int32_t fullRows) {
  if (!src || !dst || cols < 1 || rows < 1 || cols > fullCols || rows > fullRows) return IJ_STS_ARG;
  const size_t rowBytes = size_t(fullCols) * Bytes;
  for (int32_t r = 0; r < fullRows; ++r) {
    uint8_t *out = dst + ptrdiff_t(r) * dstStep;
    if (r >= rows) {
      memcpy(out, dst + ptrdiff_t(rows - 1) * dstStep, rowBytes);
      continue;
    }
    const uint8_t *in = src + ptrdiff_t(r) * srcStep;
    memcpy(out, in, size_t(cols) * Bytes);
    const uint8_t *last = in + ptrdiff_t(cols - 1) * Bytes;
    for (int32_t c = cols; c < fullCols; ++c) memcpy(out + ptrdiff_t(c) * Bytes, last, Bytes);
  }
  return IJ_STS_OK;
}

IjStatus Copy(const uint8_t *src, int32_t srcStep, uint8_t *dst, int32_t dstStep, size_t rowBytes,
              int32_t height) {
  if (!src || !dst) return IJ_STS_ARG;
  for (int32_t r = 0; r < height; ++r)
    memcpy(dst + ptrdiff_t(r) * dstStep, src + ptrdiff_t(r) * srcStep, rowBytes);
  return IJ_STS_OK;
}

} // namespace

extern "C" IjStatus ijxCopyExpand_8u_C1(const uint8_t *src, int32_t srcStep, int32_t cols,
                                        int32_t rows, uint8_t *dst, int32_t dstStep,
                                        int32_t fullCols, int32_t fullRows) {
  return CopyExpand<1>(src, srcStep, cols, rows, dst, dstStep, fullCols, fullRows);
}

extern "C" IjStatus ijxCopyExpand_16u_C1(const uint8_t *src, int32_t srcStep, int32_t cols,
                                         int32_t rows, uint8_t *dst, int32_t dstStep,
                                         int32_t fullCols, int32_t fullRows) {
  return CopyExpand<2>(src, srcStep, cols, rows, dst, dstStep, fullCols, fullRows);
}

extern "C" IjStatus ijxCopyExpand_8u_C3(const uint8_t *src, int32_t srcStep, int32_t cols,
                                        int32_t rows, uint8_t *dst, int32_t dstStep,
                                        int32_t fullCols, int32_t fullRows) {
  return CopyExpand<3>(src, srcStep, cols, rows, dst, dstStep, fullCols, fullRows);
}

extern "C" IjStatus ijxCopy_8u_C1R(const uint8_t *src, int32_t srcStep, uint8_t *dst,
                                   int32_t dstStep, int32_t width, int32_t height) {
  if (width < 0) return IJ_STS_ARG;
  return Copy(src, srcStep, dst, dstStep, size_t(width), height);
}

// 16-bit rows start on even addresses, so odd steps are rounded down.
extern "C" IjStatus ijxCopy_16u_C1R(const uint8_t *src, int32_t srcStep, uint8_t *dst,
                                    int32_t dstStep, int32_t width, int32_t height) {
  if (width < 0) return IJ_STS_ARG;
  return Copy(src, srcStep & ~1, dst, dstStep & ~1, size_t(width) * 2, height);
}

extern "C" IjStatus ijxCopy_8u_C3R(const uint8_t *src, int32_t srcStep, uint8_t *dst,
                                   int32_t dstStep, int32_t width, int32_t height) {
  if (width < 0) return IJ_STS_ARG;
  return Copy(src, srcStep, dst, dstStep, size_t(width) * 3, height);
}

extern "C" IjStatus ijxCopy_8u_C4R(const uint8_t *src, int32_t srcStep, uint8_t *dst,
                                   int32_t dstStep, int32_t width, int32_t height) {
  if (width < 0) return IJ_STS_ARG;
  return Copy(src, srcStep, dst, dstStep, size_t(width) * 4, height);
}
