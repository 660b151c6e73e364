// The vector paths against the portable code: whole streams of random
// pictures, sizes, samplings, qualities and restart intervals compared byte
// for byte, and each vector step against its portable counterpart on the
// extremes of its input.
#include <stdint.h>
#include <string.h>

#include <vector>

#include <gtest/gtest.h>

#include "ijint.h"
#include "jpeg_support.h"

namespace {

using jt::Rng;

// The paths this processor runs besides the portable one.
std::vector<int32_t> VectorPaths() {
  std::vector<int32_t> paths;
  for (int32_t p = ij::kPathSse2; p <= ij::BestCodePath(); ++p) paths.push_back(p);
  return paths;
}

struct PathGuard {
  ~PathGuard() { ij::LimitCodePath(-1); }
};

jt::Encoded EncodeOn(int32_t path, const jt::Picture &pic, const jt::Settings &s, int capacity,
                     bool bottomUp) {
  ij::LimitCodePath(path);
  jt::Encoded e = jt::Encode(pic, s, capacity, bottomUp);
  ij::LimitCodePath(-1);
  return e;
}

// Random content of a kind: smooth with noise, pure noise (the largest
// coefficients), flat extremes, or stripes of 0 and 255.
jt::Picture RandomPicture(Rng &rng, int width, int height, int channels) {
  const int kind = rng.In(0, 3);
  if (kind == 0) return jt::Synthetic(width, height, channels, rng.Next());
  jt::Picture p = jt::Uniform(width, height, channels, 0, 0, 0);
  for (size_t i = 0; i < p.pixels.size(); ++i) {
    const size_t x = i / size_t(channels) % size_t(width);
    p.pixels[i] = kind == 1   ? uint8_t(rng.Next() >> 24)
                  : kind == 2 ? uint8_t(rng.Next() & 1 ? 255 : 0) * (i % 3 == 0)
                              : uint8_t((x & 1) ? 255 : 0);
  }
  return p;
}

TEST(CodePaths, RandomStreamsAreTheSameBytesOnEveryPath) {
  const std::vector<int32_t> paths = VectorPaths();
  if (paths.empty()) GTEST_SKIP() << "only the portable code on this processor";
  PathGuard guard;
  Rng rng{0x9E3779B9u};
#ifdef VELUMO_SANITIZED
  const int kCases = 60;
#else
  const int kCases = 300;
#endif
  for (int n = 0; n < kCases; ++n) {
    const int channels = rng.In(0, 3) == 0 ? 1 : 3;
    // Mostly small pictures that cut MCUs at every remainder, some wide ones.
    const int width = rng.In(0, 4) == 0 ? rng.In(100, 700) : rng.In(1, 70);
    const int height = rng.In(1, 70);
    const jt::Picture pic = RandomPicture(rng, width, height, channels);
    jt::Settings s;
    s.quality = rng.In(0, 4) == 0 ? 100 : rng.In(1, 100);
    s.sampling = rng.In(0, 2);
    s.restart = rng.In(0, 2) == 0 ? 0 : rng.In(1, 9);
    const bool bottomUp = rng.In(0, 1) == 1;
    // Noise at quality 100 takes several times the pixel bytes.
    const int capacity = int(pic.pixels.size()) * 8 + 65536;
    const jt::Encoded ref = EncodeOn(ij::kPathPortable, pic, s, capacity, bottomUp);
    ASSERT_EQ(2, ref.compress);
    ASSERT_EQ(2, ref.finish);
    for (int32_t path : paths) {
      SCOPED_TRACE(testing::Message()
                   << "case " << n << " path " << path << ": " << width << "x" << height << "x"
                   << channels << " q" << s.quality << " s" << s.sampling << " ri" << s.restart);
      const jt::Encoded got = EncodeOn(path, pic, s, capacity, bottomUp);
      ASSERT_EQ(ref.compress, got.compress);
      ASSERT_EQ(ref.finish, got.finish);
      ASSERT_EQ(ref.bytes, got.bytes);
    }
  }
}

// A stream that runs full stops at the same byte with the same status.
TEST(CodePaths, FullStreamsStopAlike) {
  const std::vector<int32_t> paths = VectorPaths();
  if (paths.empty()) GTEST_SKIP() << "only the portable code on this processor";
  PathGuard guard;
  Rng rng{12345};
  const jt::Picture pic = RandomPicture(rng, 61, 45, 3);
  jt::Settings s;
  s.quality = 97;
  s.sampling = IJ_SAMPLING_411;
  s.restart = 2;
  const int whole = int(EncodeOn(ij::kPathPortable, pic, s, 0, false).bytes.size());
  for (int capacity = 600; capacity < whole + 8; capacity += 97) {
    const jt::Encoded ref = EncodeOn(ij::kPathPortable, pic, s, capacity, false);
    for (int32_t path : paths) {
      const jt::Encoded got = EncodeOn(path, pic, s, capacity, false);
      ASSERT_EQ(ref.compress, got.compress) << capacity;
      ASSERT_EQ(ref.finish, got.finish) << capacity;
      ASSERT_EQ(ref.bytes, got.bytes) << capacity;
    }
  }
}

#if defined(__x86_64__)

// Blocks the coder must get right: all zero, only the last coefficient,
// runs longer than 16, the largest magnitudes (categories 15 and 16) and
// values whose code bytes come out as 0xFF.
std::vector<std::vector<int16_t>> HardBlocks(Rng &rng) {
  std::vector<std::vector<int16_t>> blocks;
  blocks.push_back(std::vector<int16_t>(64, 0));
  std::vector<int16_t> b(64, 0);
  b[63] = 1;
  blocks.push_back(b);
  b.assign(64, 0);
  b[0] = -32768;
  b[_nIppIZigZagIndex[40]] = 32767;
  b[_nIppIZigZagIndex[41]] = -32768;
  blocks.push_back(b);
  b.assign(64, -1);
  blocks.push_back(b);
  b.assign(64, 255);
  blocks.push_back(b);
  for (int n = 0; n < 400; ++n) {
    b.assign(64, 0);
    const int nonZero = rng.In(0, 64);
    for (int i = 0; i < nonZero; ++i) {
      const int k = rng.In(0, 63);
      const int size = rng.In(0, 15);
      b[k] = int16_t(int32_t(rng.Next() & ((1u << size) - 1)) * (rng.Next() & 1 ? 1 : -1));
    }
    blocks.push_back(b);
  }
  return blocks;
}

TEST(CodePaths, BlockCoderWritesTheBitsOfThePortableOne) {
  IjHuffEncTable dc, ac;
  ASSERT_EQ(0, ippiEncodeHuffmanTableInit_JPEG_8u(_DefLumDCHuffBits, _DefLumDCHuffValues, &dc));
  ASSERT_EQ(0, ippiEncodeHuffmanTableInit_JPEG_8u(_DefLumACHuffBits, _DefLumACHuffValues, &ac));
  Rng rng{777};
  const std::vector<std::vector<int16_t>> blocks = HardBlocks(rng);
  // Runs of one to five blocks, starting at every bit of a byte.
  for (size_t first = 0; first < blocks.size(); first += 5) {
    const int count = int(std::min<size_t>(5, blocks.size() - first));
    std::vector<int16_t> run;
    for (int i = 0; i < count; ++i)
      run.insert(run.end(), blocks[first + i].begin(), blocks[first + i].end());
    for (int start = 0; start < 8; ++start) {
      std::vector<uint8_t> want(4096, 0xA5);
      want[0] = 0xB7; // bits already written before the start
      int32_t wantPos = start;
      int16_t wantPred = 5;
      for (int i = 0; i < count; ++i)
        ippiEncodeHuffman_Direct_JPEG_16s1u(&run[64 * size_t(i)], want.data(), &wantPos, &wantPred,
                                            &dc, &ac);
      for (int32_t path : VectorPaths()) {
        std::vector<uint8_t> got(4096, 0xA5);
        got[0] = 0xB7;
        int32_t gotPos = start;
        int16_t gotPred = 5;
        (path == ij::kPathSse2 ? ij::fast::EncodeBlocks : ij::fast::EncodeBlocksAvx2)(
            run.data(), count, got.data(), &gotPos, &gotPred, &dc, &ac);
        ASSERT_EQ(wantPos, gotPos) << first << " " << start << " path " << path;
        ASSERT_EQ(wantPred, gotPred);
        // Everything up to and including the cleared byte after the position.
        const size_t end = size_t(wantPos) / 8 + 1;
        ASSERT_TRUE(std::equal(want.begin(), want.begin() + long(end), got.begin()))
            << first << " " << start << " path " << path;
        ASSERT_EQ(0xA5, got[end]) << "nothing written beyond the byte after the position";
      }
    }
  }
}

// Reciprocal tables of the range the encoder makes, with entries above
// 0x7FFF (quality 100: up to 53809).
void Reciprocals(int quality, int table, uint16_t *recip) {
  uint16_t q[64];
  ijBuildEnQuantTable(ijCalcQuantQualityFactor(quality), 0,
                      table ? _DefChromQuantTable : _DefLumQuantTable, q);
  ASSERT_EQ(0, ippiDCTQuantFwdTableInit_JPEG_16u(q, recip));
}

typedef IjStatus (*Transform)(int16_t *const *, const uint16_t *const *);

TEST(CodePaths, TransformsMatchOnTheExtremesOfTheirInput) {
  const Transform portable[4] = {ijTransformFwd_MCU_16s_C1_I, ijTransformFwd444_MCU_16s_C3_I,
                                 ijTransformFwd422_MCU_16s_C3_I, ijTransformFwd411_MCU_16s_C3_I};
  const Transform sse2[4] = {ij::fast::TransformGraySse2, ij::fast::Transform444Sse2,
                             ij::fast::Transform422Sse2, ij::fast::Transform411Sse2};
  const Transform avx2[4] = {ij::fast::TransformGrayAvx2, ij::fast::Transform444Avx2,
                             ij::fast::Transform422Avx2, ij::fast::Transform411Avx2};
  const int lumaBlocks[4] = {1, 1, 2, 4};
  Rng rng{4242};
  for (int quality : {1, 50, 90, 100}) {
    uint16_t recip[3][64];
    Reciprocals(quality, 0, recip[0]);
    Reciprocals(quality, 1, recip[1]);
    Reciprocals(quality, 1, recip[2]);
    const uint16_t *tables[3] = {recip[0], recip[1], recip[2]};
    for (int layout = 0; layout < 4; ++layout) {
      const int blocks = lumaBlocks[layout] + (layout ? 2 : 0);
      for (int n = 0; n < 60; ++n) {
        // Samples from -128 to 128: the conversion's whole range, as
        // extremes, checkerboards, and noise.
        std::vector<int16_t> in(64 * size_t(blocks));
        const int kind = n % 4;
        for (size_t i = 0; i < in.size(); ++i) {
          const bool odd = ((i % 8) + (i / 8)) & 1;
          in[i] = kind == 0   ? int16_t(n & 4 ? 128 : -128)
                  : kind == 1 ? int16_t(odd ? 128 : -128)
                  : kind == 2 ? int16_t(odd ^ (i % 16 > 7) ? -128 : 128)
                              : int16_t(rng.In(-128, 128));
        }
        std::vector<int16_t> want = in;
        int16_t *wantBlocks[3] = {want.data(), want.data() + 64 * lumaBlocks[layout],
                                  want.data() + 64 * (lumaBlocks[layout] + 1)};
        portable[layout](wantBlocks, tables);
        for (int path : VectorPaths()) {
          std::vector<int16_t> got = in;
          int16_t *gotBlocks[3] = {got.data(), got.data() + 64 * lumaBlocks[layout],
                                   got.data() + 64 * (lumaBlocks[layout] + 1)};
          (path == ij::kPathSse2 ? sse2 : avx2)[layout](gotBlocks, tables);
          ASSERT_EQ(want, got) << "q" << quality << " layout " << layout << " case " << n
                               << " path " << path;
        }
      }
    }
  }
}

TEST(CodePaths, ColourConversionsMatchOnEveryPixelValue) {
  if (ij::BestCodePath() < ij::kPathAvx2) GTEST_SKIP() << "no AVX2 on this processor";
  typedef IjStatus (*Convert)(const uint8_t *, int32_t, int16_t *const *);
  const Convert portable[4] = {ijSub128_8x8_8u16s_C1, ippiBGRToYCbCr444LS_MCU_8u16s_C3P3,
                               ippiBGRToYCbCr422LS_MCU_8u16s_C3P3,
                               ippiBGRToYCbCr411LS_MCU_8u16s_C3P3};
  const Convert avx2[4] = {ij::fast::ConvertGrayAvx2, ij::fast::Convert444Avx2,
                           ij::fast::Convert422Avx2, ij::fast::Convert411Avx2};
  const int width[4] = {8, 8, 16, 16}, height[4] = {8, 8, 8, 16}, bpp[4] = {1, 3, 3, 3};
  const int lumaBlocks[4] = {1, 1, 2, 4};
  Rng rng{99};
  for (int layout = 0; layout < 4; ++layout) {
    // Rows exactly as long as the MCU, so a read past them is a read past
    // the buffer (the sanitizer builds see it); bottom-up as well.
    const int32_t step = width[layout] * bpp[layout];
    for (int n = 0; n < 300; ++n) {
      std::vector<uint8_t> px(size_t(step) * size_t(height[layout]));
      for (size_t i = 0; i < px.size(); ++i)
        px[i] = n < 256 ? uint8_t(n + int(i) * 7) : uint8_t(rng.Next() & 1 ? 255 : 0);
      const bool bottomUp = n & 1;
      const uint8_t *src = bottomUp ? px.data() + px.size() - size_t(step) : px.data();
      const int32_t srcStep = bottomUp ? -step : step;
      const int blocks = lumaBlocks[layout] + (layout ? 2 : 0);
      std::vector<int16_t> want(64 * size_t(blocks), 0x5555), got = want;
      int16_t *wb[3] = {want.data(), want.data() + 64 * lumaBlocks[layout],
                        want.data() + 64 * (lumaBlocks[layout] + 1)};
      int16_t *gb[3] = {got.data(), got.data() + 64 * lumaBlocks[layout],
                        got.data() + 64 * (lumaBlocks[layout] + 1)};
      portable[layout](src, srcStep, wb);
      avx2[layout](src, srcStep, gb);
      ASSERT_EQ(want, got) << "layout " << layout << " case " << n;
    }
  }
}

#endif

} // namespace
