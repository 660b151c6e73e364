// The PNG reader through its file and memory routes, the PNG logo import
// (which decodes into its own picture's buffer), and the JPEG size probe of
// the logo import, on arbitrary bytes: no crash, no read past the input,
// nothing left allocated or open.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include <zlib.h>

#include "Velumo.h"
#include "pngcodec.h"
#include "fuzz_disk.h"
#include "tapsim.h"

namespace {

void Decode(png_image &png, int opened) {
  if (opened == PNG_R_OK) {
    std::vector<byte> out(size_t(png.width) * png.height * png.bpp);
    if (png_get_data(&png, out.data()) == PNG_R_OK) {
      // Every pixel of every kind: without an alpha channel or tRNS, none is
      // transparent.
      const bool opaque = png.color_type != 3 && png.color_type != 4 && png.color_type != 6;
      for (size_t i = 0; i < out.size(); i += png.bpp)
        if (png_image_pixel(&png, &out[i]) >> 24 != 255 && opaque && !png.has_key) abort();
    }
  }
  png_close_file(&png);
}

// Gives every chunk its right CRC, so that mutated image data get past the
// checksums into zlib, the filters, the passes and the palette.
void MendCrcs(std::vector<uint8_t> &f) {
  for (size_t at = 8; at + 12 <= f.size();) {
    const uint32_t length = get_ul(&f[at]);
    if (length > f.size() - at - 12) break;
    set_ul(&f[at + 8 + length], uint32_t(crc32(0, &f[at + 4], length + 4)));
    at += 12 + length;
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1) return 0;
  // The low bits pick the route; the top bit mends the CRCs first.
  const uint8_t route = data[0] % 4;
  // An exact-size copy, so that a read past the end is caught.
  std::vector<uint8_t> copy(data + 1, data + size);
  if (data[0] & 0x80) MendCrcs(copy);
  png_image png;
  memset(&png, 0, sizeof png);
  if (route == 1) {
    Decode(png, png_open_mem_read(&png, copy.data(), uint32_t(copy.size())));
  } else {
    const char *name = route == 2 ? "f.jpg" : "f.png";
    PutOnDisk(std::string("/ProgramFiles/") + name, copy.data(), copy.size());
    if (route == 0) {
      TAP_Hdd_ChangeDir("/ProgramFiles");
      Decode(png, png_open_file_read(&png, name));
    } else if (LoadChannelLogo("/ProgramFiles", name) && (logoW > 60 || logoH > 40)) {
      abort();
    }
    if (logoLarge32) abort();
  }
  if (Sim_HeapBlocksTotal() != 0 || Sim_OpenFileCount() != 0) abort();
  return 0;
}
