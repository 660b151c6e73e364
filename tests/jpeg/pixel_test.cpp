// The pixel stages: colour conversion, level shift, the DCT with
// quantisation, and the quantisation tables.
#include <math.h>
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include <vector>

#include <jpeglib.h>

#include <gtest/gtest.h>

#include "ijenc.h"

namespace {

struct Mcu {
  alignas(32) int16_t y[4 * 64];
  alignas(32) int16_t cb[64];
  alignas(32) int16_t cr[64];
  int16_t *blocks[3] = {y, cb, cr};
};

std::vector<uint8_t> Bgr(int w, int h, uint8_t b, uint8_t g, uint8_t r) {
  std::vector<uint8_t> v(size_t(w) * h * 3);
  for (size_t i = 0; i < v.size(); i += 3) {
    v[i] = b;
    v[i + 1] = g;
    v[i + 2] = r;
  }
  return v;
}

void Paint(std::vector<uint8_t> &px, int step, int x0, int y0, int w, int h, uint8_t b, uint8_t g,
           uint8_t r) {
  for (int y = y0; y < y0 + h; ++y)
    for (int x = x0; x < x0 + w; ++x) {
      px[size_t(y) * step + 3 * x] = b;
      px[size_t(y) * step + 3 * x + 1] = g;
      px[size_t(y) * step + 3 * x + 2] = r;
    }
}

int CountNot(const int16_t *p, int n, int value) {
  int c = 0;
  for (int i = 0; i < n; ++i) c += p[i] != value;
  return c;
}

TEST(ColourConversion, WhiteAndMidGreyInEverySampling) {
  for (int white = 0; white < 2; ++white) {
    const uint8_t v = white ? 255 : 128;
    const int16_t expectY = white ? 127 : 0;
    const std::vector<uint8_t> px = Bgr(16, 16, v, v, v);
    Mcu m;
    ASSERT_EQ(0, ippiBGRToYCbCr444LS_MCU_8u16s_C3P3(px.data(), 48, m.blocks));
    EXPECT_EQ(0, CountNot(m.y, 64, expectY));
    EXPECT_EQ(0, CountNot(m.cb, 64, 0));
    EXPECT_EQ(0, CountNot(m.cr, 64, 0));
    ASSERT_EQ(0, ippiBGRToYCbCr422LS_MCU_8u16s_C3P3(px.data(), 48, m.blocks));
    EXPECT_EQ(0, CountNot(m.y, 128, expectY));
    EXPECT_EQ(0, CountNot(m.cb, 64, 0));
    EXPECT_EQ(0, CountNot(m.cr, 64, 0));
    ASSERT_EQ(0, ippiBGRToYCbCr411LS_MCU_8u16s_C3P3(px.data(), 48, m.blocks));
    EXPECT_EQ(0, CountNot(m.y, 256, expectY));
    EXPECT_EQ(0, CountNot(m.cb, 64, 0));
    EXPECT_EQ(0, CountNot(m.cr, 64, 0));
  }
}

TEST(ColourConversion, PrimariesRoundToNearestAndShiftByLevel) {
  // Y = round(0.299 R + 0.587 G + 0.114 B) - 128; chroma rounded, centred on 0.
  struct Case {
    uint8_t b, g, r;
    int16_t y, cb, cr;
  } cases[] = {
      {0, 0, 255, -52, -43, 128}, // red: Cr is 127.5, rounded up
      {0, 255, 0, 22, -84, -107}, // green
      {255, 0, 0, -99, 128, -21}, // blue
      {0, 0, 0, -128, 0, 0},      // black
  };
  for (const Case &c : cases) {
    const std::vector<uint8_t> px = Bgr(8, 8, c.b, c.g, c.r);
    Mcu m;
    ippiBGRToYCbCr444LS_MCU_8u16s_C3P3(px.data(), 24, m.blocks);
    SCOPED_TRACE(testing::Message() << int(c.b) << "," << int(c.g) << "," << int(c.r));
    EXPECT_EQ(0, CountNot(m.y, 64, c.y));
    EXPECT_EQ(0, CountNot(m.cb, 64, c.cb));
    EXPECT_EQ(0, CountNot(m.cr, 64, c.cr));
  }
}

TEST(ColourConversion, SubsampledChromaAveragesAndLandsInItsQuarter) {
  // 4:2:2: left half blue, right half red; Cb columns 0-3 from the left
  // pixels, 4-7 from the right ones.
  std::vector<uint8_t> px = Bgr(16, 8, 255, 0, 0);
  Paint(px, 48, 8, 0, 8, 8, 0, 0, 255);
  Mcu m;
  ippiBGRToYCbCr422LS_MCU_8u16s_C3P3(px.data(), 48, m.blocks);
  for (int i = 0; i < 64; ++i) {
    const bool left = i % 8 < 4;
    ASSERT_EQ(left ? 128 : -43, m.cb[i]) << i;
    ASSERT_EQ(left ? -21 : 128, m.cr[i]) << i;
  }
  EXPECT_EQ(0, CountNot(m.y, 64, -99));
  EXPECT_EQ(0, CountNot(m.y + 64, 64, -52));

  // A pair of one blue and one black pixel: Cb = (512 x 255 + 1024) >> 11.
  std::vector<uint8_t> pairs = Bgr(16, 8, 0, 0, 0);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; x += 2) pairs[size_t(y) * 48 + 3 * x] = 255;
  ippiBGRToYCbCr422LS_MCU_8u16s_C3P3(pairs.data(), 48, m.blocks);
  EXPECT_EQ(0, CountNot(m.cb, 64, 64));

  // 4:1:1: only the top-left 8 x 8 quadrant blue.
  std::vector<uint8_t> quad = Bgr(16, 16, 0, 0, 0);
  Paint(quad, 48, 0, 0, 8, 8, 255, 0, 0);
  ippiBGRToYCbCr411LS_MCU_8u16s_C3P3(quad.data(), 48, m.blocks);
  EXPECT_EQ(0, CountNot(m.y, 64, -99));
  EXPECT_EQ(0, CountNot(m.y + 64, 192, -128));
  for (int i = 0; i < 64; ++i) ASSERT_EQ(i / 8 < 4 && i % 8 < 4 ? 128 : 0, m.cb[i]) << i;

  // A 2 x 2 square with one blue pixel: (512 x 255 + 2048) >> 12 = 32.
  std::vector<uint8_t> sparse = Bgr(16, 16, 0, 0, 0);
  for (int y = 0; y < 16; y += 2)
    for (int x = 0; x < 16; x += 2) sparse[size_t(y) * 48 + 3 * x] = 255;
  ippiBGRToYCbCr411LS_MCU_8u16s_C3P3(sparse.data(), 48, m.blocks);
  EXPECT_EQ(0, CountNot(m.cb, 64, 32));
}

TEST(ColourConversion, BottomUpStepsReadRowsUpwards) {
  // Rows stored bottom row first, read with a negative step: the top row of
  // the block must come from the end of memory.
  std::vector<uint8_t> px = Bgr(8, 8, 0, 0, 0);
  Paint(px, 24, 0, 7, 8, 1, 255, 255, 255); // last row in memory white
  Mcu m;
  ippiBGRToYCbCr444LS_MCU_8u16s_C3P3(px.data() + 7 * 24, -24, m.blocks);
  EXPECT_EQ(0, CountNot(m.y, 8, 127));
  EXPECT_EQ(0, CountNot(m.y + 8, 56, -128));
}

TEST(LevelShift, WholeAndPartialBlocks) {
  uint8_t src[8 * 10];
  for (int i = 0; i < 80; ++i) src[i] = uint8_t(i * 3);
  int16_t block[64];
  ASSERT_EQ(0, ippiLevelShiftSub128_8x8_8u16s_C1(src, 10, block));
  EXPECT_EQ(-128, block[0]);
  EXPECT_EQ(3 * 10 - 128, block[8]); // row 1 starts at byte 10
  EXPECT_EQ(3 * 11 - 128, block[9]);
  EXPECT_EQ(3 * 77 - 128, block[63]);

  // 3 x 2 present: the last value of each row repeats across, the last row down.
  ASSERT_EQ(0, ippiLevelShiftSub128_8x8_8u16s_C1R(src, 10, block, 3, 2));
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const int sy = y < 2 ? y : 1, sx = x < 3 ? x : 2;
      ASSERT_EQ(src[sy * 10 + sx] - 128, block[y * 8 + x]) << y << "," << x;
    }
  EXPECT_EQ(IJ_STS_ARG, ippiLevelShiftSub128_8x8_8u16s_C1R(src, 10, block, 0, 2));

  int16_t *blocks[3] = {block, nullptr, nullptr};
  memset(src, 200, sizeof src);
  ASSERT_EQ(0, ijSub128_8x8_8u16s_C1(src, 8, blocks));
  EXPECT_EQ(72, block[0]);
  EXPECT_EQ(72, block[63]);
}

std::vector<uint16_t> Ones() {
  return std::vector<uint16_t>(64, 1);
}

std::vector<uint16_t> Recip(const std::vector<uint16_t> &q) {
  std::vector<uint16_t> r(64);
  EXPECT_EQ(0, ippiDCTQuantFwdTableInit_JPEG_16u(q.data(), r.data()));
  return r;
}

// The JPEG forward DCT in double precision (natural order).
void ReferenceDct(const int16_t *x, double *out) {
  for (int u = 0; u < 8; ++u)
    for (int v = 0; v < 8; ++v) {
      double s = 0;
      for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 8; ++j)
          s += x[i * 8 + j] * cos((2 * i + 1) * u * M_PI / 16) * cos((2 * j + 1) * v * M_PI / 16);
      out[u * 8 + v] = s * (u ? 0.5 : 0.5 * M_SQRT1_2) * (v ? 0.5 : 0.5 * M_SQRT1_2);
    }
}

TEST(Dct, WhiteBlockAtQualityHundredGivesDc1016) {
  const std::vector<uint16_t> r = Recip(Ones());
  int16_t block[64];
  for (int16_t &v : block) v = 127;
  ASSERT_EQ(0, ippiDCTQuantFwd_JPEG_16s_I(block, r.data()));
  EXPECT_EQ(1016, block[0]);
  EXPECT_EQ(0, CountNot(block + 1, 63, 0));

  for (int16_t &v : block) v = 0; // mid grey after the level shift
  ippiDCTQuantFwd_JPEG_16s_I(block, r.data());
  EXPECT_EQ(0, CountNot(block, 64, 0));
}

TEST(Dct, CloseToTheExactTransformOnNoise) {
  const std::vector<uint16_t> r = Recip(Ones());
  uint32_t seed = 7;
  int worst = 0;
  for (int n = 0; n < 200; ++n) {
    int16_t block[64], out[64];
    for (int16_t &v : block) {
      seed = seed * 1103515245u + 12345u;
      v = int16_t(int((seed >> 16) & 255) - 128);
    }
    double ref[64];
    ReferenceDct(block, ref);
    ASSERT_EQ(0, ippiDCTQuantFwd_JPEG_16s(block, out, r.data()));
    for (int i = 0; i < 64; ++i) {
      const int err = int(fabs(out[i] - ref[i]) + 0.5);
      if (err > worst) worst = err;
    }
  }
  // 12-bit constants and 16-bit intermediates cost at most a couple of units.
  EXPECT_LE(worst, 2);
}

TEST(Dct, QuantisesWithTheReciprocalOfEachPosition) {
  // A cosine of frequency 1 across plus one down: energy at (0, 1) and (1, 0),
  // 1600 / 4 / sqrt(2) each in the JPEG scaling.
  int16_t block[64];
  for (int i = 0; i < 8; ++i)
    for (int j = 0; j < 8; ++j)
      block[i * 8 + j] =
          int16_t(lround(50 * cos((2 * j + 1) * M_PI / 16) + 50 * cos((2 * i + 1) * M_PI / 16)));
  std::vector<uint16_t> q = Ones();
  int16_t unq[64];
  ippiDCTQuantFwd_JPEG_16s(block, unq, Recip(q).data());
  EXPECT_NEAR(200 * M_SQRT2, unq[1], 2);
  EXPECT_NEAR(200 * M_SQRT2, unq[8], 2);
  q[1] = 10; // row 0, column 1 only
  int16_t quant[64];
  ippiDCTQuantFwd_JPEG_16s(block, quant, Recip(q).data());
  EXPECT_NEAR(unq[1] / 10.0, quant[1], 1);
  EXPECT_EQ(unq[8], quant[8]);
}

TEST(Dct, VariantsAgree) {
  uint8_t px[8 * 8 * 4];
  uint32_t seed = 3;
  for (uint8_t &p : px) {
    seed = seed * 1664525u + 1013904223u;
    p = uint8_t(seed >> 24);
  }
  std::vector<uint16_t> q(64);
  for (int i = 0; i < 64; ++i) q[i] = uint16_t(1 + i % 7);
  const std::vector<uint16_t> r = Recip(q);

  int16_t shifted[4][64], viaLs[4][64], inPlace[4][64], outPlace[4][64];
  for (int b = 0; b < 4; ++b) {
    ippiLevelShiftSub128_8x8_8u16s_C1(px + 8 * b, 32, shifted[b]);
    ippiDCTQuantLSFwd_JPEG_8u16s(px + 8 * b, 32, viaLs[b], r.data());
  }
  memcpy(inPlace, shifted, sizeof shifted);
  ASSERT_EQ(0, ippiDCTQuantFwd_Blocks_JPEG_16s_I(inPlace[0], 4, r.data()));
  ASSERT_EQ(0, ippiDCTQuantFwd_Blocks_JPEG_16s(shifted[0], outPlace[0], 4, r.data()));
  EXPECT_EQ(0, memcmp(viaLs, inPlace, sizeof viaLs));
  EXPECT_EQ(0, memcmp(viaLs, outPlace, sizeof viaLs));
  for (int b = 0; b < 4; ++b) EXPECT_NE(0, CountNot(viaLs[b] + 1, 63, 0)) << b;
}

TEST(Dct, McuTransformsUseTheLumaTableForLumaAndTheChromaTableForChroma) {
  std::vector<uint16_t> lq(64, 1), cq(64, 4);
  const std::vector<uint16_t> lr = Recip(lq), cr = Recip(cq);
  const uint16_t *tables[3] = {lr.data(), cr.data(), cr.data()};
  for (int luma : {1, 2, 4}) {
    Mcu m;
    for (int16_t &v : m.y) v = 127;
    for (int16_t &v : m.cb) v = 127;
    for (int16_t &v : m.cr) v = 127;
    IjStatus st = luma == 1   ? ijTransformFwd444_MCU_16s_C3_I(m.blocks, tables)
                  : luma == 2 ? ijTransformFwd422_MCU_16s_C3_I(m.blocks, tables)
                              : ijTransformFwd411_MCU_16s_C3_I(m.blocks, tables);
    ASSERT_EQ(0, st);
    for (int b = 0; b < luma; ++b) EXPECT_EQ(1016, m.y[64 * b]) << luma << " " << b;
    if (luma < 4) {
      EXPECT_EQ(127, m.y[64 * luma]) << "block past the luma run untouched";
    }
    EXPECT_EQ(254, m.cb[0]);
    EXPECT_EQ(254, m.cr[0]);
  }
  Mcu g;
  for (int16_t &v : g.y) v = 127;
  ASSERT_EQ(0, ijTransformFwd_MCU_16s_C1_I(g.blocks, tables));
  EXPECT_EQ(1016, g.y[0]);
  EXPECT_EQ(127, g.y[64]);
}

TEST(QuantTables, ReciprocalsAreRoundedAndTransposed) {
  std::vector<uint16_t> q(64, 1);
  q[0] = 16;
  q[1] = 7; // row 0, column 1
  q[8] = 5; // row 1, column 0
  q[63] = 3;
  const std::vector<uint16_t> r = Recip(q);
  EXPECT_EQ((4096 + 8) / 16, r[0]);
  EXPECT_EQ((2953 + 3) / 7, r[8]); // (0, 1) stored at [1 x 8 + 0]
  EXPECT_EQ((2953 + 2) / 5, r[1]);
  EXPECT_EQ((53809 + 1) / 3, r[63]);
  EXPECT_EQ(4096, Recip(Ones())[0]);

  q[20] = 0; // would be a division by zero
  std::vector<uint16_t> out(64, 0xBEEF);
  EXPECT_EQ(IJ_STS_ARG, ippiDCTQuantFwdTableInit_JPEG_16u(q.data(), out.data()));
  EXPECT_EQ(0xBEEF, out[0]);

  std::vector<int32_t> inv(64);
  ASSERT_EQ(0, ippiDCTQuantInvTableInit_JPEG_16u32s(Ones().data(), inv.data()));
  EXPECT_EQ((4096 + 4) >> 3, inv[0]);
  EXPECT_EQ((53809 + 4) >> 3, inv[63]);
}

TEST(QuantTables, QualityFactor) {
  EXPECT_EQ(6400, ijCalcQuantQualityFactor(1));
  EXPECT_EQ(6400, ijCalcQuantQualityFactor(0));
  EXPECT_EQ(6400, ijCalcQuantQualityFactor(-20));
  EXPECT_EQ(256, ijCalcQuantQualityFactor(25));
  EXPECT_EQ(130, ijCalcQuantQualityFactor(49)); // 5000 / 49 = 102 -> 130
  EXPECT_EQ(128, ijCalcQuantQualityFactor(50));
  EXPECT_EQ(64, ijCalcQuantQualityFactor(75));
  EXPECT_EQ(25, ijCalcQuantQualityFactor(90)); // 20 x 128 / 100, truncated
  EXPECT_EQ(0, ijCalcQuantQualityFactor(100));
  EXPECT_EQ(0, ijCalcQuantQualityFactor(150));
}

// libjpeg-turbo's own scaled tables (forced to 8 bits) for a quality.
void LibjpegTables(int quality, unsigned *lum, unsigned *chrom) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  c.in_color_space = JCS_RGB;
  c.input_components = 3;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, quality, TRUE);
  for (int i = 0; i < 64; ++i) {
    lum[i] = c.quant_tbl_ptrs[0]->quantval[i];
    chrom[i] = c.quant_tbl_ptrs[1]->quantval[i];
  }
  jpeg_destroy_compress(&c);
}

TEST(QuantTables, ScaledTablesAtOneFiftySeventyFiveAndHundred) {
  for (int quality : {1, 50, 75, 100}) {
    unsigned lum[64], chrom[64];
    LibjpegTables(quality, lum, chrom);
    uint16_t ours[2][64];
    const int32_t f = ijCalcQuantQualityFactor(quality);
    ASSERT_EQ(0, ijBuildEnQuantTable(f, 0, _DefLumQuantTable, ours[0]));
    ASSERT_EQ(0, ijBuildEnQuantTable(f, 0, _DefChromQuantTable, ours[1]));
    for (int i = 0; i < 64; ++i) {
      ASSERT_EQ(lum[i], ours[0][i]) << "quality " << quality << " luma " << i;
      ASSERT_EQ(chrom[i], ours[1][i]) << "quality " << quality << " chroma " << i;
    }
  }
  // The same facts without the oracle: Annex K at 50, halved (rounded up)
  // at 75, ones at 100, all 255 at 1.
  uint16_t t[64];
  ijBuildEnQuantTable(128, 0, _DefLumQuantTable, t);
  EXPECT_EQ(16, t[0]);
  EXPECT_EQ(99, t[63]);
  ijBuildEnQuantTable(64, 0, _DefLumQuantTable, t);
  EXPECT_EQ(8, t[0]);
  EXPECT_EQ(6, t[1]); // 11 / 2 rounded up
  ijBuildEnQuantTable(64, 0, _DefChromQuantTable, t);
  EXPECT_EQ(9, t[0]);
  EXPECT_EQ(50, t[63]);
  ijBuildEnQuantTable(0, 0, _DefLumQuantTable, t);
  EXPECT_EQ(0, CountNot(reinterpret_cast<int16_t *>(t), 64, 1));
  ijBuildEnQuantTable(6400, 0, _DefChromQuantTable, t);
  EXPECT_EQ(0, CountNot(reinterpret_cast<int16_t *>(t), 64, 255));
  ijBuildEnQuantTable(6400, 1, _DefLumQuantTable, t); // 16-bit limit
  EXPECT_EQ(800, t[0]);
  EXPECT_EQ(4095, t[63]);
}

TEST(ConstantTables, DctScaleFactors) {
  const int32_t firstRow[8] = {4096, 2953, 3135, 3483, 4096, 5213, 7568, 14846};
  for (int v = 0; v < 8; ++v) EXPECT_EQ(firstRow[v], _DCTCoeff[v]);
  EXPECT_EQ(53809, _DCTCoeff[63]);
  for (int u = 0; u < 8; ++u)
    for (int v = 0; v < 8; ++v) {
      const double su = u ? M_SQRT2 * cos(u * M_PI / 16) : 1;
      const double sv = v ? M_SQRT2 * cos(v * M_PI / 16) : 1;
      ASSERT_EQ(lround(32768 / (8 * su * sv)), _DCTCoeff[u * 8 + v]) << u << "," << v;
    }
}

TEST(ConstantTables, ZigZagFollowsTheAntiDiagonals) {
  EXPECT_EQ(_nIppIZigZagIndex, ippiGetZigZagTable());
  int k = 0;
  for (int d = 0; d < 15; ++d) {
    // Even diagonals run up and to the right, odd ones down and to the left.
    for (int i = 0; i <= d; ++i) {
      const int row = d % 2 ? i : d - i, col = d - row;
      if (row > 7 || col > 7) continue;
      ASSERT_EQ(row * 8 + col, _nIppIZigZagIndex[k]) << k;
      ++k;
    }
  }
  EXPECT_EQ(64, k);
}

TEST(ConstantTables, SizeCategories) {
  for (int n = 0; n < 256; ++n) {
    int bits = 0;
    while ((n >> bits) != 0) ++bits;
    ASSERT_EQ(bits, _csizetable[n]) << n;
  }
  for (int n = 0; n < 512; ++n) {
    int log = 0;
    while (n >> (log + 1)) ++log;
    ASSERT_EQ(log, _eobsizetable[n]) << n;
  }
}

TEST(ConstantTables, AnnexKQuantTablesAsLibjpegHasThem) {
  unsigned lum[64], chrom[64];
  LibjpegTables(50, lum, chrom);
  for (int i = 0; i < 64; ++i) {
    EXPECT_EQ(int(lum[i]), _DefLumQuantTable[i]) << i;
    EXPECT_EQ(int(chrom[i]), _DefChromQuantTable[i]) << i;
  }
}

} // namespace
