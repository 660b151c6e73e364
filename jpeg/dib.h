// dib.h - Windows bitmap (DIB) files read into memory and written back.
//
// One source, two builds: the plug-in's goes through the firmware's file and
// heap calls; with DIB_STDIO defined (jpgcmd) it goes through stdio and
// malloc.  Each build has its own inline namespace, so a program may hold
// both without their functions clashing.
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef DIB_STDIO
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
typedef FILE DibFile;
#define DIB_BUILD dib_stdio
#else
#include "tap.h"
typedef TYPE_File DibFile;
#define DIB_BUILD dib_tap
#endif

// A bitmap as held in memory: rows exactly as the file stores them, bottom
// row first, each stride bytes long.
struct DibImage {
  int32_t width;
  int32_t height;
  int32_t stride; // ((width x bits per pixel + 31) & ~31) / 8
  int32_t bitsPerSample;
  int32_t bitsPerPixel; // 8, 16 or 24
  int32_t channels;     // 1 for 8 bits per pixel, else 3
  int32_t colorFormat;  // the IJ_FMT_ values: 1 grey, 2 BGR, 8 5-5-5, 16 5-6-5
  int32_t imageSize;    // stride x height
  uint8_t *pixels;      // imageSize bytes from the heap of the build
};

inline namespace DIB_BUILD {

// 1 when the file, open for reading at its start, held a bitmap we can take;
// else 0.  The pixel buffer may be held even after a failure: the caller
// always ends with DestoryDIB.
int32_t ReadDIBFile(DibImage *dib, DibFile *file);
// The same without the pixels: every field but pixels, and where in the file
// the pixels start (the file is long enough for them).  1 or 0.
int32_t ReadDIBHeader(DibImage *dib, DibFile *file, uint32_t *pixelOffset);
// 1 when the whole bitmap went into the file, open for writing at its start.
int32_t WriteDIBFile(const DibImage *dib, DibFile *file);
// Frees the pixels and zeroes the record.
void DestoryDIB(DibImage *dib);

// The few file and heap calls both builds need, with one meaning each.
namespace dibio {
#ifdef DIB_STDIO
inline void *Alloc(uint32_t n) {
  return malloc(n);
}
inline void Free(void *p) {
  free(p);
}
inline void Zero(void *p, uint32_t n) {
  memset(p, 0, n);
}
inline uint32_t Read(void *buf, uint32_t n, DibFile *f) {
  return uint32_t(fread(buf, 1, n, f));
}
inline uint32_t Write(const void *buf, uint32_t n, DibFile *f) {
  return uint32_t(fwrite(buf, 1, n, f));
}
// False when the position cannot be reached.
inline bool SeekStart(DibFile *f, uint32_t pos) {
  return fseek(f, long(pos), SEEK_SET) == 0;
}
inline bool SeekEnd(DibFile *f) {
  return fseek(f, 0, SEEK_END) == 0;
}
// The position, or -1.
inline int64_t Tell(DibFile *f) {
  return int64_t(ftell(f));
}
#else
inline void *Alloc(uint32_t n) {
  return TAP_MemAlloc(n);
}
inline void Free(void *p) {
  TAP_MemFree(p);
}
inline void Zero(void *p, uint32_t n) {
  TAP_MemSet(p, 0, n);
}
inline uint32_t Read(void *buf, uint32_t n, DibFile *f) {
  return uint32_t(TAP_Hdd_Fread(buf, 1, n, f));
}
inline uint32_t Write(const void *buf, uint32_t n, DibFile *f) {
  return uint32_t(TAP_Hdd_Fwrite(buf, 1, n, f));
}
inline bool SeekStart(DibFile *f, uint32_t pos) {
  return TAP_Hdd_Fseek(f, long(pos), SEEK_START) == dword(pos);
}
inline bool SeekEnd(DibFile *f) {
  return TAP_Hdd_Fseek(f, 0, SEEK_ENDING) != dword(-1);
}
inline int64_t Tell(DibFile *f) {
  return int64_t(uint32_t(TAP_Hdd_Ftell(f)));
}
#endif
} // namespace dibio

} // namespace DIB_BUILD

// The receiver's callers see the record as nine 32-bit words.
static_assert(sizeof(void *) != 4 || sizeof(DibImage) == 9 * 4, "DibImage is nine words");
