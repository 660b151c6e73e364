// Writes the large PNG logos the receiver bench previews, from generated
// pixels, with libpng: a 512 x 512 palette picture (256 colours, partly
// transparent through tRNS) and the same size as interlaced 8-bit RGBA.
//
// usage: benchpng FOLDER  (writes palette-512.png and interlaced-512.png)
#include <png.h>
#include <stdio.h>

#include <string>
#include <vector>

namespace {

constexpr int kSize = 512;

// A logo's shape: a disc with a soft edge on a transparent ground, a
// diagonal gradient inside it and a ring across it.
int Index(int x, int y) {
  const int dx = x - kSize / 2, dy = y - kSize / 2, r2 = dx * dx + dy * dy;
  const int outer = (kSize / 2 - 8) * (kSize / 2 - 8);
  if (r2 >= outer) return 0;
  if (r2 >= outer - 16 * kSize) return 1 + (outer - r2) / kSize; // the edge: 1 .. 15
  if (r2 > 100 * 100 && r2 < 120 * 120) return 255;
  return 16 + (x + y) * 238 / (2 * kSize);
}

void Palette(png_color *colour, png_byte *alpha) {
  for (int i = 0; i < 256; ++i) {
    colour[i] = png_color{png_byte(i), png_byte(64 + i / 2), png_byte(255 - i)};
    alpha[i] = png_byte(i < 16 ? i * 17 : 255);
  }
}

bool Write(const std::string &path, bool palette) {
  FILE *f = fopen(path.c_str(), "wb");
  if (!f) return false;
  png_structp p = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(p);
  if (setjmp(png_jmpbuf(p))) {
    png_destroy_write_struct(&p, &info);
    fclose(f);
    return false;
  }
  png_init_io(p, f);
  png_set_IHDR(p, info, kSize, kSize, 8, palette ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGBA,
               palette ? PNG_INTERLACE_NONE : PNG_INTERLACE_ADAM7, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_color colour[256];
  png_byte alpha[256];
  Palette(colour, alpha);
  if (palette) {
    png_set_PLTE(p, info, colour, 256);
    png_set_tRNS(p, info, alpha, 16, nullptr);
  }
  png_write_info(p, info);
  const int channels = palette ? 1 : 4;
  std::vector<png_byte> pixels(size_t(kSize) * kSize * channels);
  std::vector<png_bytep> rows(kSize);
  for (int y = 0; y < kSize; ++y) {
    rows[size_t(y)] = &pixels[size_t(y) * kSize * channels];
    for (int x = 0; x < kSize; ++x) {
      const int i = Index(x, y);
      png_byte *px = rows[size_t(y)] + x * channels;
      if (palette) {
        px[0] = png_byte(i);
      } else {
        px[0] = colour[i].red;
        px[1] = png_byte(colour[i].green + (x & 15)); // a little texture: truecolour's own
        px[2] = colour[i].blue;
        px[3] = alpha[i];
      }
    }
  }
  png_write_image(p, rows.data());
  png_write_end(p, nullptr);
  png_destroy_write_struct(&p, &info);
  return fclose(f) == 0;
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: benchpng FOLDER\n");
    return 2;
  }
  const std::string dir = argv[1];
  if (!Write(dir + "/palette-512.png", true) || !Write(dir + "/interlaced-512.png", false)) {
    fprintf(stderr, "benchpng: cannot write into %s\n", dir.c_str());
    return 1;
  }
  return 0;
}
