// ReadDIBFile on arbitrary files (jpgcmd's build, over a memory stream).  A
// bitmap it takes must describe a buffer that holds all its rows; that
// bitmap then goes through BMPtoJPEG, which must not read outside it.  The
// same bytes as a real file go the way jpgcmd takes: ReadDIBHeader must
// agree, and BMPFileToJPEG, reading the rows from the file, must write the
// very JPEG of BMPtoJPEG.
#define DIB_STDIO 1

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <vector>

#include "bmp2jpg.h"

namespace {

FILE *Scratch() {
  FILE *f = tmpfile();
  if (!f) abort();
  return f;
}

// The file emptied and positioned at its start.
void Reset(FILE *f) {
  if (fflush(f) != 0 || ftruncate(fileno(f), 0) != 0 || fseek(f, 0, SEEK_SET) != 0) abort();
}

std::vector<uint8_t> Contents(FILE *f) {
  if (fflush(f) != 0 || fseek(f, 0, SEEK_END) != 0) abort();
  std::vector<uint8_t> bytes(size_t(ftell(f)));
  if (fseek(f, 0, SEEK_SET) != 0 || fread(bytes.data(), 1, bytes.size(), f) != bytes.size())
    abort();
  return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  FILE *in = fmemopen(const_cast<uint8_t *>(data), size, "rb");
  if (!in) abort();
  DibImage dib = {};
  const int32_t rc = ReadDIBFile(&dib, in);
  fclose(in);
  if (rc != 0 && rc != 1) abort();

  static FILE *bitmap = Scratch(), *fromMemory = Scratch(), *fromFile = Scratch();
  Reset(bitmap);
  if (fwrite(data, 1, size, bitmap) != size || fflush(bitmap) != 0 ||
      fseek(bitmap, 0, SEEK_SET) != 0)
    abort();
  DibImage head = {};
  uint32_t offset = 0;
  if (ReadDIBHeader(&head, bitmap, &offset) != rc) abort();

  if (rc == 1) {
    const uint64_t rowBits = uint64_t(dib.width) * uint32_t(dib.bitsPerPixel);
    if (!dib.pixels || dib.width <= 0 || dib.height <= 0 ||
        int64_t(dib.stride) != int64_t((rowBits + 31) / 32 * 4) ||
        int64_t(dib.imageSize) != int64_t(dib.stride) * dib.height ||
        uint64_t(dib.imageSize) > size)
      abort();
    if (head.pixels || head.width != dib.width || head.height != dib.height ||
        head.stride != dib.stride || head.colorFormat != dib.colorFormat ||
        uint64_t(offset) + uint32_t(head.imageSize) > size)
      abort();
    const int32_t quality = 75, restart = 1, sampling = dib.width % 3;
    Reset(fromMemory);
    Reset(fromFile);
    const int32_t memoryRc = BMPtoJPEG(quality, restart, 1, sampling, &dib, fromMemory);
    const int32_t fileRc =
        BMPFileToJPEG(quality, restart, 1, sampling, &head, bitmap, offset, fromFile);
    if (memoryRc != fileRc) abort();
    if (memoryRc == 1 && Contents(fromMemory) != Contents(fromFile)) abort();
  }
  DestoryDIB(&dib);
  return 0;
}
