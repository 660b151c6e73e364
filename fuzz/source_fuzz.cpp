// logoconv's readers on arbitrary bytes, under each of the names that pick a
// reader (the raw logos go by extension), and what is read resampled and
// drawn into a few canvases: no crash, no read past the input, and never a
// transparent pixel with colour (the writers take alpha 0 as black).
#include <stdint.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1) return 0;
  static const char *const kNames[] = {"a.png", "a.qtl", "a.bll32", "a.svg", "a.jpg", "a.bmp"};
  const std::string name = kNames[data[0] % 6];
  const std::vector<uint8_t> bytes(data + 1, data + size);
  logoconv::Source source;
  std::string why;
  if (!logoconv::ReadSourceBytes(bytes, name, source, why)) {
    if (why.empty()) abort(); // every failure has its reason
    return 0;
  }
  static const uint32_t kBoxes[][2] = {{54, 34}, {1, 1}, {60, 3}};
  for (const auto &box : kBoxes) {
    uint32_t fw, fh;
    logoconv::FitInto(source.w, source.h, box[0], box[1], fw, fh);
    if (fw < 1 || fh < 1 || fw > box[0] || fh > box[1]) abort();
    std::vector<uint32_t> canvas(size_t(box[0]) * box[1]);
    const uint32_t x = (box[0] - fw) / 2, y = (box[1] - fh) / 2;
    if (source.svg) {
      if (!logoconv::DrawSvg(*source.svg, box[0], box[1], x, y, fw, fh, canvas.data(), why))
        continue;
    } else {
      // Trimmed, as --trim does, so that both areas are taken.
      logoconv::Resample(source.picture, logoconv::Opaque(source.picture), fw, fh, box[0], box[1],
                         x, y, canvas.data());
    }
    for (uint32_t p : canvas)
      if (p >> 24 == 0 && p != 0) abort();
  }
  return 0;
}
