// tklib.cpp - the library's version marker, the network-terminal echo, the
// warning allocation and 24-bit BMP files.
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "tklib.h"

// Kept in the plug-in file even though nothing reads it: it tells which
// library a plug-in was built with.
__attribute__((used, retain)) const char *__tklib_version__ = "__TKLIB_VERSION_TMS__ 2012-02-17";

void PrintNet(const char *Text) {
  if (!Text) return;
  char device[16];
  for (int n = 0; n < 20; ++n) {
    snprintf(device, sizeof device, "/dev/pts/%d", n);
    const int fd = open(device, O_RDWR);
    if (fd < 0) continue;
    const ssize_t written = write(fd, Text, strlen(Text) + 1);
    (void)written; // an echo that does not get through is simply lost
    close(fd);
    return;
  }
}

void *TAP_MemAlloc_Chk(const char *Caller, dword Size) {
  void *p = TAP_MemAlloc(Size);
  if (!p) {
    char text[160];
    snprintf(text, sizeof text,
             "TAP_MemAlloc_Chk Warning: TAP_MemAlloc(%d) returned NULL pointer @ %s\n", int(Size),
             Caller ? Caller : "");
    PrintNet(text);
  }
  return p;
}

static void Put16(byte *p, uint32_t v) {
  p[0] = byte(v);
  p[1] = byte(v >> 8);
}
static void Put32(byte *p, uint32_t v) {
  Put16(p, v);
  Put16(p + 2, v >> 16);
}

// Bytes of one BMP row: three a pixel, padded to a multiple of four.  0 when
// the picture is empty or too large for the file's 32-bit sizes.
static uint32_t RowSize(int Width, int Height) {
  if (Width <= 0 || Height <= 0) return 0;
  const uint64_t row = (uint64_t(Width) * 3 + 3) / 4 * 4;
  if (row * uint64_t(Height) + 54 > 0xFFFFFFFFull) return 0;
  return uint32_t(row);
}

bool BMP_WriteHeader(TYPE_File *File, int Width, int Height) {
  const uint32_t row = RowSize(Width, Height);
  if (!File || !row) return false;
  byte h[54] = {'B', 'M'};
  const uint32_t image = row * uint32_t(Height);
  Put32(h + 2, image + 54);
  Put32(h + 10, 54);
  Put32(h + 14, 40);
  Put32(h + 18, uint32_t(Width));
  Put32(h + 22, uint32_t(Height));
  Put16(h + 26, 1);
  Put16(h + 28, 24);
  Put32(h + 34, image);
  return TAP_Hdd_Fwrite(h, sizeof h, 1, File) == 1;
}

// A failed write is reported as a failure: a caller must not log a file as
// saved that is not all there.
bool SaveBitmap(const char *FileName, int Width, int Height, const byte *Pixels) {
  if (!FileName || !Pixels) return false;
  const uint32_t row = RowSize(Width, Height);
  if (!row) return false;
  TAP_Hdd_Create(FileName, ATTR_NORMAL);
  TYPE_File *f = TAP_Hdd_Fopen(FileName);
  if (!f) return false;
  bool ok = BMP_WriteHeader(f, Width, Height);
  for (int y = 0; ok && y < Height; ++y)
    ok = TAP_Hdd_Fwrite(Pixels + size_t(y) * row, row, 1, f) == 1;
  TAP_Hdd_Fclose(f);
  return ok;
}
