// logoset - writes a set of transparent channel-logo PNGs for the logoconv
// benchmark: each a rounded badge of its own colours with a text-like band,
// antialiased edges and transparent surroundings, as downloaded logo sets
// are.
//   logoset DIR COUNT [WIDTH HEIGHT]
#include <math.h>
#include <png.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

int main(int argc, char **argv) {
  if (argc != 3 && argc != 5) {
    fprintf(stderr, "usage: logoset DIR COUNT [WIDTH HEIGHT]\n");
    return 2;
  }
  const int count = atoi(argv[2]);
  const int w = argc == 5 ? atoi(argv[3]) : 220, h = argc == 5 ? atoi(argv[4]) : 132;
  if (count < 1 || w < 1 || h < 1 || w > 4096 || h > 4096) {
    fprintf(stderr, "logoset: bad count or size\n");
    return 2;
  }
  std::vector<unsigned char> rgba(size_t(w) * h * 4);
  for (int n = 0; n < count; ++n) {
    const unsigned seed = unsigned(n) * 2654435761u;
    const unsigned char r = seed >> 24, g = seed >> 16, b = seed >> 8;
    const double rx = w * (0.30 + (seed % 17) / 100.0), ry = h * (0.30 + (seed % 13) / 100.0);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        unsigned char *p = &rgba[(size_t(y) * w + x) * 4];
        const double dx = (x - w / 2.0) / rx, dy = (y - h / 2.0) / ry;
        const double d = sqrt(dx * dx + dy * dy);
        const double edge = d < 0.97 ? 1 : d > 1.03 ? 0 : (1.03 - d) / 0.06;
        const bool band = fabs(dy) < 0.2 && ((x / 7 + n) % 3) != 0;
        p[0] = band ? 255 - r : r;
        p[1] = band ? 255 - g : g;
        p[2] = band ? 255 - b : b;
        p[3] = (unsigned char)(edge * 255 + 0.5);
      }
    char path[4096];
    snprintf(path, sizeof path, "%s/logo-%05d.png", argv[1], n);
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = unsigned(w);
    image.height = unsigned(h);
    image.format = PNG_FORMAT_RGBA;
    if (!png_image_write_to_file(&image, path, 0, rgba.data(), 0, nullptr)) {
      fprintf(stderr, "logoset: cannot write %s\n", path);
      return 1;
    }
  }
  return 0;
}
