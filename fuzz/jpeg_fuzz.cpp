// The firmware's JPEG decoder (TAP_Osd_DecompressJpeg) on arbitrary files,
// at a logo's size: it must give a block or null, never crash, and leave
// nothing allocated once the caller frees its result.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "fuzz_disk.h"
#include "tapsim.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  PutOnDisk("/ProgramFiles/in.jpg", data, size);
  if (!TAP_Hdd_ChangeDir("/ProgramFiles")) abort();
  uint32_t *pixels = TAP_Osd_DecompressJpeg("in.jpg", 60, 40, 0);
  if (pixels) {
    volatile uint32_t sum = 0;
    for (int i = 0; i < 60 * 40; ++i) sum = sum + pixels[i]; // every pixel is there
    TAP_MemFree(pixels);
  }
  if (Sim_HeapBlocksTotal() != 0) abort();
  return 0;
}
