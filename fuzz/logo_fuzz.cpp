// The logo loaders on arbitrary files: raw logos of both pixel sizes and
// BMP files.  Whatever the bytes, a load ends with the image within 60 x 40
// (a refused file leaves the picture before), nothing allocated and no file
// left open.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "Velumo.h"
#include "fuzz_disk.h"
#include "tapsim.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1) return 0;
  // The first byte picks the reader, the rest is the file.
  static const char *const kNames[] = {"f.qtl", "f.qtl32", "f.bmp"};
  const char *name = kNames[data[0] % 3];
  PutOnDisk(std::string("/ProgramFiles/") + name, data + 1, size - 1);
  // Loaded or refused, the image never claims more pixels than it holds.
  LoadChannelLogo("/ProgramFiles", name);
  if (logoW > 60 || logoH > 40) abort();
  if (logoLarge32 || Sim_HeapBlocksTotal() != 0 || Sim_OpenFileCount() != 0) abort();
  return 0;
}
