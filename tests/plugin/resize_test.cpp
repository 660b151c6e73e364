// Resize: the aspect step, the corner-to-corner sampling with accumulated
// positions, and truncation, checked against worked examples and against a
// second, plain implementation of the same arithmetic.
#include <stdint.h>

#include <random>
#include <vector>

#include "Velumo.h"
#include "testdisk.h"

namespace {

struct Size {
  uint32_t w, h;
  bool operator==(const Size &o) const { return w == o.w && h == o.h; }
};

Size Resized(uint32_t srcw, uint32_t srch, uint32_t w, uint32_t h, int keep) {
  std::vector<uint32_t> src(size_t(srcw) * srch, 0xFF808080), dest(size_t(w) * h + 1, 0xABCDEF01);
  Resize(src.data(), int32_t(srcw), int32_t(srch), dest.data(), &w, &h, keep);
  EXPECT_EQ(0xABCDEF01u, dest.back()) << "wrote past the requested size";
  return Size{w, h};
}

TEST(Resize, AspectStep) {
  EXPECT_EQ((Size{60, 40}), Resized(120, 80, 60, 40, 1)); // same ratio
  EXPECT_EQ((Size{60, 24}), Resized(100, 40, 60, 40, 1));
  EXPECT_EQ((Size{40, 40}), Resized(40, 40, 60, 40, 1));  // h = 60 > 40, then w = 40
  EXPECT_EQ((Size{60, 37}), Resized(54, 34, 60, 40, 1));  // 37.78 truncated
  EXPECT_EQ((Size{60, 30}), Resized(30, 60, 60, 40, 1));  // portrait source laid landscape
  EXPECT_EQ((Size{40, 40}), Resized(100, 7, 40, 40, 1));  // square box: unchanged
  EXPECT_EQ((Size{60, 0}), Resized(1000, 10, 60, 40, 1)); // h = 0.6: nothing produced
  EXPECT_EQ((Size{54, 34}), Resized(60, 40, 54, 34, 0));  // no aspect step
}

TEST(Resize, PortraitBoxes) {
  // Portrait box 40 x 60: the source's ratio laid upright.
  EXPECT_EQ((Size{30, 60}), Resized(60, 30, 40, 60, 1));   // w = 60 / 2 = 30
  EXPECT_EQ((Size{40, 44}), Resized(100, 110, 40, 60, 1)); // w = 54.5 > 40, h = 44
  EXPECT_EQ((Size{40, 60}), Resized(40, 60, 40, 60, 1));   // same ratio
}

TEST(Resize, CornersAndMiddle) {
  // 2 x 1 enlarged to 3 x 1: the middle samples halfway, truncated.
  const uint32_t two[2] = {0xFF000000, 0xFFFFFFFF};
  uint32_t out[3], w = 3, h = 1;
  Resize(two, 2, 1, out, &w, &h, 0);
  EXPECT_EQ(0xFF000000u, out[0]);
  EXPECT_EQ(0xFF7F7F7Fu, out[1]);
  EXPECT_EQ(0xFFFFFFFFu, out[2]);

  // 60 x 40 to 54 x 34: the corners sample the corners.
  std::vector<uint32_t> src(60 * 40), dest(54 * 34);
  for (size_t i = 0; i < src.size(); ++i) src[i] = uint32_t(i * 0x9E3779B1u);
  w = 54;
  h = 34;
  Resize(src.data(), 60, 40, dest.data(), &w, &h, 0);
  EXPECT_EQ(src[0], dest[0]);
  EXPECT_EQ(src[59], dest[53]);
  EXPECT_EQ(src[39 * 60], dest[33 * 54]);
  EXPECT_EQ(src[39 * 60 + 59], dest[33 * 54 + 53]);

  // One pixel wide or high: the first column or row.
  uint32_t column[4], cw = 1, ch = 4;
  Resize(src.data(), 60, 40, column, &cw, &ch, 0);
  EXPECT_EQ(src[0], column[0]);
  EXPECT_EQ(src[39 * 60], column[3]);
  uint32_t one, ow = 1, oh = 1;
  Resize(src.data(), 60, 40, &one, &ow, &oh, 0);
  EXPECT_EQ(src[0], one);
}

TEST(Resize, AlphaSpreadsLikeColour) {
  // Transparent everywhere but one opaque white pixel in the middle.
  uint32_t src[9] = {0, 0, 0, 0, 0xFFFFFFFF, 0, 0, 0, 0};
  uint32_t dest[25], w = 5, h = 5;
  Resize(src, 3, 3, dest, &w, &h, 0);
  EXPECT_EQ(0xFFFFFFFFu, dest[12]);
  EXPECT_EQ(0x7F7F7F7Fu, dest[11]); // halfway in x: every channel alike
  EXPECT_EQ(0x3F3F3F3Fu, dest[6]);  // a quarter in both directions
  EXPECT_EQ(0u, dest[0]);
}

// The same arithmetic written out plainly: the reference the engine must
// agree with bit for bit.
void Reference(const std::vector<uint32_t> &src, int sw, int sh, std::vector<uint32_t> &dest,
               int dw, int dh) {
  const double xs = double(sw - 1) / (dw - 1), ys = double(sh - 1) / (dh - 1);
  dest.assign(size_t(dw) * dh, 0);
  double fy = 0;
  for (int j = 0; j < dh; ++j, fy += ys) {
    double fx = 0;
    for (int i = 0; i < dw; ++i, fx += xs) {
      const int ix = int(fx), iy = int(fy);
      const double dx = fx - ix, dy = fy - iy;
      const int ix1 = ix < sw - 1 ? ix + 1 : sw - 1, iy1 = iy < sh - 1 ? iy + 1 : sh - 1;
      uint32_t out = 0;
      for (int c = 0; c < 4; ++c) {
        auto ch = [&](int x, int y) { return double(src[size_t(y) * sw + x] >> (8 * c) & 0xFF); };
        const double v = (ch(ix, iy) * (1 - dx) + ch(ix1, iy) * dx) * (1 - dy) +
                         (ch(ix, iy1) * (1 - dx) + ch(ix1, iy1) * dx) * dy;
        out |= uint32_t(v) << (8 * c);
      }
      dest[size_t(j) * dw + i] = out;
    }
  }
}

TEST(Resize, AgreesWithAPlainImplementation) {
  std::mt19937 rng(20121217);
  for (int round = 0; round < 300; ++round) {
    const int sw = int(rng() % 130) + 1, sh = int(rng() % 90) + 1;
    const int dw = int(rng() % 60) + 1, dh = int(rng() % 40) + 1;
    std::vector<uint32_t> src(size_t(sw) * sh);
    for (uint32_t &p : src) p = rng();
    std::vector<uint32_t> expected, dest(size_t(dw) * dh);
    Reference(src, sw, sh, expected, dw, dh);
    uint32_t w = uint32_t(dw), h = uint32_t(dh);
    Resize(src.data(), sw, sh, dest.data(), &w, &h, 0);
    ASSERT_EQ(expected, dest) << sw << "x" << sh << " -> " << dw << "x" << dh;
  }
}

// The receiver and the desktop must produce the same bytes.  The hash below
// was taken from the desktop build; the receiver build runs the same inputs.
TEST(Resize, SameBitsOnEveryCpu) {
  std::mt19937 rng(4711);
  uint64_t hash = 1469598103934665603ull;
  for (int round = 0; round < 200; ++round) {
    const int sw = int(rng() % 200) + 1, sh = int(rng() % 150) + 1;
    std::vector<uint32_t> src(size_t(sw) * sh);
    for (uint32_t &p : src) p = rng();
    uint32_t w = rng() % 60 + 1, h = rng() % 40 + 1;
    std::vector<uint32_t> dest(size_t(w) * h);
    Resize(src.data(), sw, sh, dest.data(), &w, &h, int(round & 1));
    hash = (hash ^ w) * 1099511628211ull;
    hash = (hash ^ h) * 1099511628211ull;
    for (size_t i = 0; i < size_t(w) * h; ++i) hash = (hash ^ dest[i]) * 1099511628211ull;
  }
  EXPECT_EQ(7103767213772726053ull, hash);
}

} // namespace
