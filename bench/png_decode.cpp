// Decoding speed of the PNG reader against libpng: the same 1920 x 1080
// RGBA file, decoded from memory by both, several rounds each.
#include <stdio.h>
#include <string.h>
#include <time.h>

#include <string>
#include <vector>

#include "oracle.h"
#include "pngcodec.h"

static double Seconds() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

int main() {
  PngSpec s;
  s.width = 1920;
  s.height = 1080;
  s.colorType = 6;
  s.filters = 0xF8; // libpng picks a filter per row, as real files have
  std::vector<uint8_t> pixels(size_t(s.width) * s.height * 4);
  uint32_t x = 1;
  for (size_t i = 0; i < pixels.size(); ++i) {
    x = x * 1103515245u + 12345u;
    pixels[i] = uint8_t(i / 4 % 1920 / 8 + (x >> 29)); // gradients with a little noise
  }
  const std::string file = LibpngWrite(s, pixels);
  const int rounds = 5;
  std::vector<byte> out(pixels.size());
  double ours = 0, theirs = 0;
  for (int r = 0; r < rounds; ++r) {
    double t = Seconds();
    png_image png;
    memset(&png, 0, sizeof png);
    if (png_open_mem_read(&png, file.data(), uint32_t(file.size())) != PNG_R_OK ||
        png_get_data(&png, out.data()) != PNG_R_OK) {
      fprintf(stderr, "png_decode: our reader failed\n");
      return 1;
    }
    ours += Seconds() - t;
    t = Seconds();
    uint32_t w, h;
    int ct, depth;
    bool il;
    std::vector<uint8_t> samples;
    if (!LibpngRead(file, w, h, ct, depth, il, samples) || samples != out) {
      fprintf(stderr, "png_decode: the two decoders disagree\n");
      return 1;
    }
    theirs += Seconds() - t;
  }
  printf("png_decode: %zu bytes, 1920x1080 RGBA, %d rounds\n", file.size(), rounds);
  printf("  ours   %.1f ms per picture\n", ours / rounds * 1000);
  printf("  libpng %.1f ms per picture\n", theirs / rounds * 1000);
  printf("  ratio  %.2f (ours / libpng)\n", ours / theirs);
  return 0;
}
