// ReadDIBFile on arbitrary files (jpgcmd's build, over a memory stream).  A
// bitmap it takes must describe a buffer that holds all its rows; that
// bitmap then goes through BMPtoJPEG, which must not read outside it.
#define DIB_STDIO 1

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include "bmp2jpg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  FILE *in = fmemopen(const_cast<uint8_t *>(data), size, "rb");
  if (!in) abort();
  DibImage dib = {};
  const int32_t rc = ReadDIBFile(&dib, in);
  fclose(in);
  if (rc == 1) {
    const uint64_t rowBits = uint64_t(dib.width) * uint32_t(dib.bitsPerPixel);
    if (!dib.pixels || dib.width <= 0 || dib.height <= 0 ||
        int64_t(dib.stride) != int64_t((rowBits + 31) / 32 * 4) ||
        int64_t(dib.imageSize) != int64_t(dib.stride) * dib.height ||
        uint64_t(dib.imageSize) > size)
      abort();
    static FILE *sink = fopen("/dev/null", "wb");
    if (!sink) abort();
    BMPtoJPEG(75, 1, 1, dib.width % 3, &dib, sink);
  } else if (rc != 0) {
    abort();
  }
  DestoryDIB(&dib);
  return 0;
}
