// The firmware's JPEG decoder (TAP_Osd_DecompressJpeg) on arbitrary files,
// at a logo's size: it must give a block or null, never crash, and leave
// nothing allocated once the caller frees its result.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "tapsim.h"

namespace {

const std::string &Disk() {
  static const std::string disk = [] {
    char tmpl[] = "/tmp/velumo-fuzz-XXXXXX";
    const char *dir = mkdtemp(tmpl);
    if (!dir || !Sim_Init(dir)) abort();
    return std::string(dir);
  }();
  return disk;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string path = Disk() + "/ProgramFiles/in.jpg";
  FILE *f = fopen(path.c_str(), "wb");
  if (!f) abort();
  fwrite(data, 1, size, f);
  fclose(f);
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
