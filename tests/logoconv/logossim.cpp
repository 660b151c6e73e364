// logossim - how alike two logos of the same size look, as the receiver's
// screen would show them: both composited over its dark test background
// (#101010) and compared by SSIM on luma (Wang et al.: a Gaussian window of
// sigma 1.5 over 11x11 pixels, K1 = 0.01, K2 = 0.03, L = 255).  Logo-sized
// pictures have few 11x11 windows, so the window shrinks (in steps of two,
// sigma in proportion) until four fit across the shorter side: 7x7 for
// 54x34.  Also says how far apart the two logos' visible boxes (alpha of at
// least 32) lie: the largest difference of a side, in pixels.
//   logossim A B      prints "SSIM BOX", e.g. "0.991204 1"
// A and B are PNGs or raw 32-bit logos (.qtl32: width and height as 32-bit
// big-endian words, then A, R, G, B a pixel).
#include <math.h>
#include <stdint.h>
#include <png.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

namespace {

struct Picture {
  int w = 0, h = 0;
  std::vector<unsigned char> rgba;
};

bool ReadRaw32(FILE *f, Picture &p) {
  unsigned char head[8];
  if (fread(head, 1, 8, f) != 8) return false;
  const uint32_t w = uint32_t(head[0]) << 24 | head[1] << 16 | head[2] << 8 | head[3];
  const uint32_t h = uint32_t(head[4]) << 24 | head[5] << 16 | head[6] << 8 | head[7];
  if (w == 0 || h == 0 || w > 4096 || h > 4096) return false;
  p.w = int(w);
  p.h = int(h);
  p.rgba.resize(size_t(w) * h * 4);
  for (size_t i = 0; i < p.rgba.size(); i += 4) {
    unsigned char argb[4];
    if (fread(argb, 1, 4, f) != 4) return false;
    p.rgba[i] = argb[1];
    p.rgba[i + 1] = argb[2];
    p.rgba[i + 2] = argb[3];
    p.rgba[i + 3] = argb[0];
  }
  return true;
}

bool Read(const char *path, Picture &p) {
  FILE *f = fopen(path, "rb");
  if (!f) return false;
  unsigned char sig[8] = {};
  const bool png = fread(sig, 1, 8, f) == 8 && png_sig_cmp(sig, 0, 8) == 0;
  rewind(f);
  bool ok = false;
  if (!png) {
    ok = ReadRaw32(f, p);
  } else {
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_stdio(&image, f)) {
      image.format = PNG_FORMAT_RGBA;
      p.w = int(image.width);
      p.h = int(image.height);
      p.rgba.resize(PNG_IMAGE_SIZE(image));
      ok = png_image_finish_read(&image, nullptr, p.rgba.data(), 0, nullptr);
    }
    png_image_free(&image);
  }
  fclose(f);
  return ok;
}

// Luma of the picture over the dark background.
std::vector<double> Luma(const Picture &p) {
  std::vector<double> y(size_t(p.w) * p.h);
  for (size_t i = 0; i < y.size(); ++i) {
    const unsigned char *s = &p.rgba[i * 4];
    const double a = s[3] / 255.0;
    auto over = [a](int c) { return c * a + 16 * (1 - a); };
    y[i] = 0.299 * over(s[0]) + 0.587 * over(s[1]) + 0.114 * over(s[2]);
  }
  return y;
}

double Ssim(const Picture &a, const Picture &b) {
  const int w = a.w, h = a.h;
  int n = 11;
  while (n > 3 && n * 4 > std::min(w, h)) n -= 2;
  n = std::min(n, std::min(w, h));
  const double sigma = 1.5 * n / 11;
  std::vector<double> g(size_t(n) * n);
  double sum = 0;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      const double dx = i - (n - 1) / 2.0, dy = j - (n - 1) / 2.0;
      sum += g[size_t(i) * n + j] = exp(-(dx * dx + dy * dy) / (2 * sigma * sigma));
    }
  for (double &v : g) v /= sum;
  const std::vector<double> x = Luma(a), y = Luma(b);
  const double c1 = (0.01 * 255) * (0.01 * 255), c2 = (0.03 * 255) * (0.03 * 255);
  double total = 0;
  for (int top = 0; top + n <= h; ++top)
    for (int left = 0; left + n <= w; ++left) {
      double mx = 0, my = 0, xx = 0, yy = 0, xy = 0;
      for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
          const double k = g[size_t(i) * n + j];
          const size_t at = size_t(top + i) * w + left + j;
          mx += k * x[at];
          my += k * y[at];
          xx += k * x[at] * x[at];
          yy += k * y[at] * y[at];
          xy += k * x[at] * y[at];
        }
      const double vx = xx - mx * mx, vy = yy - my * my, cov = xy - mx * my;
      total += (2 * mx * my + c1) * (2 * cov + c2) / ((mx * mx + my * my + c1) * (vx + vy + c2));
    }
  return total / (double(w - n + 1) * (h - n + 1));
}

// left, top, right, bottom of the visible pixels; none: all -1.
void Box(const Picture &p, int box[4]) {
  box[0] = box[1] = box[2] = box[3] = -1;
  for (int y = 0; y < p.h; ++y)
    for (int x = 0; x < p.w; ++x) {
      if (p.rgba[(size_t(y) * p.w + x) * 4 + 3] < 32) continue;
      if (box[0] < 0) {
        box[0] = box[2] = x;
        box[1] = box[3] = y;
      }
      box[0] = std::min(box[0], x);
      box[2] = std::max(box[2], x);
      box[3] = y;
    }
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: logossim A B (PNG or raw 32-bit logos of the same size)\n");
    return 2;
  }
  Picture a, b;
  for (int i = 1; i <= 2; ++i)
    if (!Read(argv[i], i == 1 ? a : b)) {
      fprintf(stderr, "logossim: %s: not a readable PNG or raw 32-bit logo\n", argv[i]);
      return 1;
    }
  if (a.w != b.w || a.h != b.h) {
    fprintf(stderr, "logossim: %s is %dx%d, %s %dx%d\n", argv[1], a.w, a.h, argv[2], b.w, b.h);
    return 1;
  }
  int ba[4], bb[4], apart = 0;
  Box(a, ba);
  Box(b, bb);
  for (int i = 0; i < 4; ++i) apart = std::max(apart, abs(ba[i] - bb[i]));
  if ((ba[0] < 0) != (bb[0] < 0)) apart = std::max(a.w, a.h);
  printf("%.6f %d\n", Ssim(a, b), apart);
  return 0;
}
