// The PNG reader through its file and memory routes, and the JPEG size probe
// of the logo import, on arbitrary bytes: no crash, no read past the input,
// nothing left allocated or open.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "Velumo.h"
#include "pngcodec.h"
#include "fuzz_disk.h"
#include "tapsim.h"

namespace {

void Decode(png_image &png, int opened) {
  if (opened == PNG_R_OK) {
    std::vector<byte> out(size_t(png.width) * png.height * png.bpp);
    png_get_data(&png, out.data());
  }
  png_close_file(&png);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1) return 0;
  const uint8_t route = data[0] % 3;
  ++data;
  --size;
  png_image png;
  memset(&png, 0, sizeof png);
  if (route == 1) {
    // An exact-size copy, so that a read past the end is caught.
    std::vector<uint8_t> copy(data, data + size);
    Decode(png, png_open_mem_read(&png, copy.data(), uint32_t(copy.size())));
  } else {
    const char *name = route == 0 ? "f.png" : "f.jpg";
    PutOnDisk(std::string("/ProgramFiles/") + name, data, size);
    if (route == 0) {
      TAP_Hdd_ChangeDir("/ProgramFiles");
      Decode(png, png_open_file_read(&png, name));
    } else if (LoadChannelLogo("/ProgramFiles", name) && (logoW > 60 || logoH > 40)) {
      abort();
    }
  }
  if (Sim_HeapBlocksTotal() != 0 || Sim_OpenFileCount() != 0) abort();
  return 0;
}
