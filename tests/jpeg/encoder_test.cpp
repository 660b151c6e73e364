// The encoder through its public calls: stream layout, status codes, edge
// expansion, restart markers, the bound on the stream buffer, motion
// streams, and libjpeg-turbo decoding what we write.
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ijenc.h"
#include "jpeg_support.h"

namespace {

using jt::Bytes;
using jt::Encode;
using jt::Picture;
using jt::Segments;
using jt::Settings;

std::vector<int> Markers(const std::vector<jt::Segment> &segs) {
  std::vector<int> m;
  for (const jt::Segment &s : segs) m.push_back(s.marker);
  return m;
}

// The entropy-coded data: from after SOS up to EOI.
std::vector<uint8_t> ScanData(const std::vector<uint8_t> &jpeg) {
  const std::vector<jt::Segment> segs = Segments(jpeg);
  const jt::Segment *sos = jt::Find(segs, 0xDA);
  if (!sos || jpeg.size() < 2) return {};
  return std::vector<uint8_t>(jpeg.begin() + long(sos->offset + sos->length), jpeg.end() - 2);
}

TEST(Layout, Greyscale60x40AtQuality75) {
  Settings s;
  s.quality = 75;
  const jt::Encoded e = Encode(jt::Synthetic(60, 40, 1), s);
  ASSERT_EQ(0, e.init);
  ASSERT_EQ(2, e.compress);
  ASSERT_EQ(2, e.finish);
  const std::vector<jt::Segment> segs = Segments(e.bytes);
  EXPECT_EQ((std::vector<int>{0xD8, 0xE0, 0xDB, 0xC4, 0xC4, 0xC0, 0xDA, 0xD9}), Markers(segs));

  EXPECT_EQ(Bytes({0xFF, 0xD8}), segs[0].bytes);
  EXPECT_EQ(Bytes({0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 2, 0, 0, 72, 0, 72, 0, 0}),
            segs[1].bytes);
  // Annex K luminance at quality 75, zig-zag order.
  EXPECT_EQ(Bytes({0xFF, 0xDB, 0,  67, 0,  8,  6,  6,  7,  6,  5,  8,  7,  7,  7,  9,  9,  8,
                   10,   12,   20, 13, 12, 11, 11, 12, 25, 18, 19, 15, 20, 29, 26, 31, 30, 29,
                   26,   28,   28, 32, 36, 46, 39, 32, 34, 44, 35, 28, 28, 40, 55, 41, 44, 48,
                   49,   52,   52, 52, 31, 39, 57, 61, 56, 50, 60, 46, 51, 52, 50}),
            segs[2].bytes);
  ASSERT_EQ(33u, segs[3].bytes.size()); // DHT DC 0: 12 values
  EXPECT_EQ(0x00, segs[3].bytes[4]);
  ASSERT_EQ(183u, segs[4].bytes.size()); // DHT AC 0: 162 values
  EXPECT_EQ(0x10, segs[4].bytes[4]);
  EXPECT_EQ(Bytes({0xFF, 0xC0, 0, 11, 8, 0, 40, 0, 60, 1, 1, 0x11, 0}), segs[5].bytes);
  EXPECT_EQ(Bytes({0xFF, 0xDA, 0, 8, 1, 1, 0x00, 0, 63, 0}), segs[6].bytes);
  EXPECT_EQ(e.bytes.size() - 2, segs.back().offset);
}

TEST(Layout, ColourSamplingBytesAndTables) {
  const int expectY[3] = {0x11, 0x21, 0x22};
  for (int sampling = 0; sampling < 3; ++sampling) {
    Settings s;
    s.sampling = sampling;
    const jt::Encoded e = Encode(jt::Synthetic(40, 24, 3), s);
    ASSERT_EQ(2, e.finish) << sampling;
    const std::vector<jt::Segment> segs = Segments(e.bytes);
    EXPECT_EQ((std::vector<int>{0xD8, 0xE0, 0xDB, 0xDB, 0xC4, 0xC4, 0xC4, 0xC4, 0xC0, 0xDA, 0xD9}),
              Markers(segs));
    EXPECT_EQ(0x00, segs[2].bytes[4]);
    EXPECT_EQ(0x01, segs[3].bytes[4]);
    EXPECT_EQ(9, segs[3].bytes[5]);    // chroma 17 at quality 75
    EXPECT_EQ(0x00, segs[4].bytes[4]); // DC 0, AC 0, DC 1, AC 1
    EXPECT_EQ(0x10, segs[5].bytes[4]);
    EXPECT_EQ(0x01, segs[6].bytes[4]);
    EXPECT_EQ(0x11, segs[7].bytes[4]);
    EXPECT_EQ(Bytes({0xFF, 0xC0, 0, 17, 8, 0, 24, 0, 40, 3, 1, expectY[sampling], 0, 2, 0x11, 1, 3,
                     0x11, 1}),
              segs[8].bytes);
    EXPECT_EQ(Bytes({0xFF, 0xDA, 0, 12, 3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0}), segs[9].bytes);
  }
}

TEST(Layout, RestartIntervalAndDensity) {
  const Picture pic = jt::Synthetic(24, 8, 1);
  Settings s;
  s.densityUnit = 0x101;
  s.xDensity = 300;
  s.yDensity = 0x12345;
  jt::Encoded e = Encode(pic, s);
  std::vector<jt::Segment> segs = Segments(e.bytes);
  EXPECT_EQ(nullptr, jt::Find(segs, 0xDD));
  EXPECT_EQ(nullptr, jt::Find(segs, 0xD0));
  EXPECT_EQ(Bytes({0x01, 0x01, 0x2C, 0x23, 0x45}),
            std::vector<uint8_t>(segs[1].bytes.begin() + 11, segs[1].bytes.begin() + 16));

  s.restart = 5;
  segs = Segments(Encode(pic, s).bytes);
  ASSERT_NE(nullptr, jt::Find(segs, 0xDD));
  EXPECT_EQ(Bytes({0xFF, 0xDD, 0, 4, 0, 5}), jt::Find(segs, 0xDD)->bytes);
  EXPECT_EQ(0xDD, segs[2].marker); // after APP0, before DQT

  s.restart = -1; // taken as 128
  segs = Segments(Encode(pic, s).bytes);
  EXPECT_EQ(Bytes({0xFF, 0xDD, 0, 4, 0, 128}), jt::Find(segs, 0xDD)->bytes);

  s.restart = 70000; // more than DRI can say: the largest it can
  segs = Segments(Encode(pic, s).bytes);
  EXPECT_EQ(Bytes({0xFF, 0xDD, 0, 4, 0xFF, 0xFF}), jt::Find(segs, 0xDD)->bytes);
}

TEST(Restart, Interval2Over4McusEndsWithRst1BeforeEoi) {
  // A uniform picture: every MCU has the same DC, so the predictor restart
  // makes the two intervals code identically.
  const Picture pic = jt::Uniform(32, 8, 1, 200, 0, 0);
  Settings s;
  s.restart = 2;
  const jt::Encoded e = Encode(pic, s);
  ASSERT_EQ(2, e.finish);
  const std::vector<jt::Segment> segs = Segments(e.bytes);
  const std::vector<int> m = Markers(segs);
  ASSERT_EQ((std::vector<int>{0xD8, 0xE0, 0xDD, 0xDB, 0xC4, 0xC4, 0xC0, 0xDA, 0xD0, 0xD1, 0xD9}),
            m);
  const size_t data = segs[7].offset + segs[7].length;
  const std::vector<uint8_t> first(e.bytes.begin() + long(data),
                                   e.bytes.begin() + long(segs[8].offset));
  const std::vector<uint8_t> second(e.bytes.begin() + long(segs[8].offset + 2),
                                    e.bytes.begin() + long(segs[9].offset));
  EXPECT_FALSE(first.empty());
  EXPECT_EQ(first, second);
  EXPECT_EQ(segs[9].offset + 2, segs[10].offset); // nothing between RST1 and EOI
  const jt::Decoded d = jt::Decode(e.bytes);
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_GT(jt::Psnr(pic.pixels, d.pixels), 45);
}

TEST(Restart, MarkersCountModuloEight) {
  Settings s;
  s.restart = 1;
  s.sampling = IJ_SAMPLING_422;
  const jt::Encoded e = Encode(jt::Synthetic(16 * 10, 8, 3), s); // 10 MCUs
  const std::vector<jt::Segment> segs = Segments(e.bytes);
  std::vector<int> rst;
  for (const jt::Segment &g : segs)
    if (g.marker >= 0xD0 && g.marker <= 0xD7) rst.push_back(g.marker - 0xD0);
  EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 0, 1}), rst);
  EXPECT_TRUE(jt::Decode(e.bytes).ok);
}

// An image and the same image widened and heightened to whole MCUs by
// repeating its last column and row code to the same data.
TEST(EdgeExpansion, PartialMcusRepeatTheLastPixelAndRow) {
  struct Case {
    int channels, sampling, w, h, mcuW, mcuH;
  } cases[] = {{1, 0, 61, 37, 8, 8},   {3, 0, 61, 37, 8, 8}, {3, 1, 61, 37, 16, 8},
               {3, 2, 60, 40, 16, 16}, {3, 2, 1, 1, 16, 16}, {1, 2, 17, 9, 8, 8}};
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.channels << " " << c.sampling << " " << c.w << "x" << c.h);
    const Picture pic = jt::Synthetic(c.w, c.h, c.channels, 9);
    Picture big;
    big.channels = c.channels;
    big.width = (c.w + c.mcuW - 1) / c.mcuW * c.mcuW;
    big.height = (c.h + c.mcuH - 1) / c.mcuH * c.mcuH;
    big.pixels.resize(size_t(big.width) * big.height * c.channels);
    for (int y = 0; y < big.height; ++y)
      for (int x = 0; x < big.width; ++x)
        memcpy(
            &big.pixels[(size_t(y) * big.width + x) * c.channels],
            &pic.pixels[(size_t(std::min(y, c.h - 1)) * c.w + std::min(x, c.w - 1)) * c.channels],
            size_t(c.channels));
    Settings s;
    s.sampling = c.sampling;
    const jt::Encoded small = Encode(pic, s), whole = Encode(big, s);
    ASSERT_EQ(2, small.finish);
    ASSERT_EQ(2, whole.finish);
    EXPECT_EQ(ScanData(whole.bytes), ScanData(small.bytes));
    EXPECT_FALSE(ScanData(small.bytes).empty());
  }
}

TEST(Encoding, BottomUpMemoryGivesTheSameStream) {
  Settings s;
  s.sampling = IJ_SAMPLING_411;
  const Picture pic = jt::Synthetic(45, 29, 3, 5);
  const jt::Encoded down = Encode(pic, s), up = Encode(pic, s, 0, true);
  ASSERT_EQ(2, up.finish);
  EXPECT_EQ(down.bytes, up.bytes);
}

TEST(Encoding, ModeFourIsTakenAsBaseline) {
  Settings s;
  s.mode = 4;
  const jt::Encoded e = Encode(jt::Synthetic(16, 16, 3), s);
  ASSERT_EQ(2, e.finish);
  const std::vector<jt::Segment> segs = Segments(e.bytes);
  EXPECT_NE(nullptr, jt::Find(segs, 0xC0));
  EXPECT_EQ(nullptr, jt::Find(segs, 0xC2));
  s.mode = 1;
  EXPECT_EQ(Encode(jt::Synthetic(16, 16, 3), s).bytes, e.bytes);
  s.mode = 0; // 0 becomes 1 as well
  EXPECT_EQ(Encode(jt::Synthetic(16, 16, 3), s).bytes, e.bytes);
}

TEST(Encoding, GreyscaleIgnoresTheSampling) {
  Settings s;
  const Picture pic = jt::Synthetic(20, 20, 1);
  const jt::Encoded plain = Encode(pic, s);
  s.sampling = 3;
  const jt::Encoded odd = Encode(pic, s);
  ASSERT_EQ(2, odd.finish);
  EXPECT_EQ(plain.bytes, odd.bytes);
}

// Oracle: libjpeg-turbo decodes every stream to the right size, close to
// the source.  PSNR (dB) over all channels of the B, G, R (or grey) samples.
TEST(Oracle, LibjpegDecodesEverySamplingSizeQualityAndInterval) {
  struct Size {
    int w, h;
  } sizes[] = {{1, 1}, {8, 8}, {17, 9}, {61, 37}, {60, 40}, {16, 16}, {33, 65}, {130, 7}};
  // Bounds per quality, about 1 dB below the lowest we measure over these
  // pictures; chroma subsampling loses colour detail, so its bounds are lower.
  struct Quality {
    int q;
    double grey, c444, c422, c411;
  } qualities[] = {{10, 27, 25.5, 24, 21.5},
                   {50, 33, 30, 28.5, 27},
                   {90, 36, 34, 30.5, 29},
                   {100, 54, 47.5, 33, 30.5}};
  int decoded = 0;
  for (const Quality &q : qualities)
    for (const Size &z : sizes)
      for (int channels : {1, 3})
        for (int sampling = 0; sampling < (channels == 3 ? 3 : 1); ++sampling)
          for (int restart : {0, 3}) {
            SCOPED_TRACE(testing::Message() << "q" << q.q << " " << z.w << "x" << z.h << " ch"
                                            << channels << " s" << sampling << " r" << restart);
            const Picture pic = jt::Synthetic(z.w, z.h, channels, uint32_t(z.w * 31 + z.h));
            Settings s;
            s.quality = q.q;
            s.sampling = sampling;
            s.restart = restart;
            const jt::Encoded e = Encode(pic, s);
            ASSERT_EQ(0, e.init);
            ASSERT_EQ(2, e.compress);
            ASSERT_EQ(2, e.finish);
            const jt::Decoded d = jt::Decode(e.bytes);
            ASSERT_TRUE(d.ok) << d.error;
            EXPECT_EQ(z.w, d.width);
            EXPECT_EQ(z.h, d.height);
            EXPECT_EQ(channels, d.components);
            const double bound = channels == 1   ? q.grey
                                 : sampling == 0 ? q.c444
                                 : sampling == 1 ? q.c422
                                                 : q.c411;
            // A picture of a pixel or a few has no detail to lose.
            if (z.w * z.h >= 64) {
              EXPECT_GE(jt::Psnr(pic.pixels, d.pixels), bound);
            }
            ++decoded;
          }
  EXPECT_EQ(4 * 8 * 4 * 2, decoded);
}

TEST(Oracle, UniformColoursSurviveExactly) {
  // Flat colours code to DC only; at quality 100 they come back within 1.
  for (int sampling = 0; sampling < 3; ++sampling) {
    const Picture pic = jt::Uniform(23, 19, 3, 30, 140, 250);
    Settings s;
    s.quality = 100;
    s.sampling = sampling;
    const jt::Decoded d = jt::Decode(Encode(pic, s).bytes);
    ASSERT_TRUE(d.ok) << d.error;
    for (size_t i = 0; i < d.pixels.size(); ++i)
      ASSERT_NEAR(pic.pixels[i], d.pixels[i], 1) << sampling << " " << i;
  }
}

IjImageSpec Desc(int w, int h, int format, int sampling = 0) {
  IjImageSpec desc = {w, h, 8, format == IJ_FMT_GRAY ? 8 : 24, 0, format, sampling, 0, 72, 72};
  return desc;
}

struct Rig {
  std::vector<uint8_t> buf;
  IjStream stream = {};
  IjEncoder enc;
  explicit Rig(int capacity = 65536) : buf(size_t(capacity) + 32, 0xA5) {
    stream.capacity = capacity;
    stream.buffer = buf.data();
    memset(&enc, 0, sizeof enc);
  }
  IjStatus Init(const IjImageSpec &desc, int mode = 1, int quality = 75, int restart = 0,
                const IjStreamParams *sp = nullptr) {
    return ijxCompressInit(quality, restart, mode, &desc, nullptr, sp, &stream, &enc);
  }
};

TEST(Status, RefusedImageDescriptions) {
  {
    Rig s;
    IjImageSpec desc = Desc(8, 8, IJ_FMT_GRAY);
    desc.bitsPerSample = 12;
    EXPECT_EQ(IJ_STS_PRECISION, s.Init(desc));
  }
  for (int format : {0, IJ_FMT_RGB555, IJ_FMT_RGB565}) {
    Rig s;
    EXPECT_EQ(IJ_STS_FORMAT, s.Init(Desc(8, 8, format))) << format;
  }
  for (int sampling : {3, -1}) {
    Rig s;
    EXPECT_EQ(IJ_STS_FORMAT, s.Init(Desc(8, 8, IJ_FMT_BGR, sampling))) << sampling;
  }
  { // bits per pixel that would make the scan walk off the rows
    Rig s;
    IjImageSpec desc = Desc(8, 8, IJ_FMT_GRAY);
    desc.bitsPerPixel = 24;
    EXPECT_EQ(IJ_STS_FORMAT, s.Init(desc));
    desc = Desc(8, 8, IJ_FMT_BGR);
    desc.bitsPerPixel = 32;
    EXPECT_EQ(IJ_STS_FORMAT, s.Init(desc));
  }
  for (int side : {0, -8, 65536}) { // SOF holds 1 ... 65535
    Rig s;
    EXPECT_EQ(IJ_STS_FORMAT, s.Init(Desc(side, 8, IJ_FMT_GRAY))) << side;
    EXPECT_EQ(IJ_STS_FORMAT, s.Init(Desc(8, side, IJ_FMT_GRAY))) << side;
  }
  {
    Rig s;
    EXPECT_EQ(0, s.Init(Desc(65535, 1, IJ_FMT_GRAY)));
  }
  { // colour format 3 has the BGR bit
    Rig s;
    EXPECT_EQ(0, s.Init(Desc(8, 8, 3)));
  }
}

TEST(Status, ModesAndBufferSchemes) {
  for (int mode : {2, 3, 0x100 | 2, 0x200 | 0x100}) {
    Rig s;
    EXPECT_EQ(IJ_STS_FORMAT, s.Init(Desc(8, 8, IJ_FMT_GRAY), mode)) << mode;
  }
  { // a mode argument of 513 keeps the mode field at 1: ordinary stream
    Rig s;
    EXPECT_EQ(0, s.Init(Desc(8, 8, IJ_FMT_GRAY), 513));
    EXPECT_EQ(1, s.enc.mode);
    EXPECT_EQ(0, s.enc.mcu.oneAtATime);
  }
  { // stream parameters that make an unknown mode field
    Rig s;
    IjStreamParams sp = {{0x800, 0, 0, 0}};
    EXPECT_EQ(IJ_STS_MODE, s.Init(Desc(8, 8, IJ_FMT_GRAY), 1, 75, 0, &sp));
  }
}

TEST(Status, NullArgumentsAndSmallBuffers) {
  Rig s;
  IjImageSpec desc = Desc(20, 20, IJ_FMT_BGR, IJ_SAMPLING_411);
  EXPECT_EQ(IJ_STS_ARG, ijxCompressInit(75, 0, 1, nullptr, nullptr, nullptr, &s.stream, &s.enc));
  EXPECT_EQ(IJ_STS_ARG, ijxCompressInit(75, 0, 1, &desc, nullptr, nullptr, nullptr, &s.enc));
  EXPECT_EQ(IJ_STS_ARG, ijxCompressInit(75, 0, 1, &desc, nullptr, nullptr, &s.stream, nullptr));
  IjStream noBuffer = {100, 0, {0, 0, 0}, nullptr};
  EXPECT_EQ(IJ_STS_ARG, ijxCompressInit(75, 0, 1, &desc, nullptr, nullptr, &noBuffer, &s.enc));

  ASSERT_EQ(0, s.Init(desc));
  int32_t len = -1;
  EXPECT_EQ(IJ_STS_ARG, ijxGetCompBufLen(nullptr, &s.enc));
  EXPECT_EQ(IJ_STS_ARG, ijxGetCompBufLen(&len, nullptr));
  ASSERT_EQ(0, ijxGetCompBufLen(&len, &s.enc));
  // One 4:1:1 MCU of coefficients (6 blocks) and one MCU of edge pixels,
  // each with room to align.
  EXPECT_EQ(6 * 128 + 31 + 16 * 48 + 31, len);

  std::vector<uint8_t> work(static_cast<size_t>(len));
  const uint8_t *src = work.data();
  int32_t step = 60;
  // Compressing before the work buffer is laid out would use null pointers.
  EXPECT_EQ(IJ_STS_ARG, ijxCompress(&src, &step, &s.stream, &s.enc));
  EXPECT_EQ(IJ_STS_ARG, ijxCompBufInit(work.data(), len - 1, &s.enc));
  EXPECT_EQ(IJ_STS_ARG, ijxCompBufInit(nullptr, len, &s.enc));
  ASSERT_EQ(0, ijxCompBufInit(work.data(), len, &s.enc));
  EXPECT_EQ(IJ_STS_ARG, ijxCompress(&src, nullptr, &s.stream, &s.enc));
  EXPECT_EQ(IJ_STS_ARG, ijxCompress(nullptr, &step, &s.stream, &s.enc));
  EXPECT_EQ(IJ_STS_ARG, ijxCompress(&src, &step, nullptr, &s.enc));
  EXPECT_EQ(IJ_STS_ARG, ijxIsInMotionEncoding(nullptr));

  Rig z;
  EXPECT_EQ(IJ_STS_MODE, ijxCompBufInit(work.data(), len, &z.enc)); // never set up
}

TEST(Status, WorkBufferLayoutIsAlignedAndInside) {
  for (int misalign = 0; misalign < 32; misalign += 5) {
    Rig s;
    ASSERT_EQ(0, s.Init(Desc(20, 20, IJ_FMT_BGR, IJ_SAMPLING_411)));
    int32_t len = 0;
    ijxGetCompBufLen(&len, &s.enc);
    std::vector<uint8_t> work(size_t(len) + 64);
    uint8_t *start = work.data() + misalign;
    ASSERT_EQ(0, ijxCompBufInit(start, len, &s.enc));
    const IjBufferInfo &b = s.enc.buffers;
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(b.coeff[0]) % 32);
    EXPECT_EQ(reinterpret_cast<uint8_t *>(b.coeff[0]) + 4 * 128,
              reinterpret_cast<uint8_t *>(b.coeff[1]));
    EXPECT_EQ(reinterpret_cast<uint8_t *>(b.coeff[1]) + 128,
              reinterpret_cast<uint8_t *>(b.coeff[2]));
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(b.edge) % 32);
    EXPECT_GE(b.edge, reinterpret_cast<uint8_t *>(b.coeff[2]) + 128);
    EXPECT_LE(b.edge + 16 * 48, start + len);
  }
  Rig whole;
  ASSERT_EQ(0, whole.Init(Desc(16, 8, IJ_FMT_GRAY)));
  int32_t len = 0;
  ijxGetCompBufLen(&len, &whole.enc);
  EXPECT_EQ(128 + 31, len); // no partial MCU, no edge buffer
}

TEST(Status, StreamTooSmallForTheHead) {
  for (int cap : {0, 1, 10, 100, 300}) {
    Rig s(cap);
    EXPECT_EQ(IJ_STS_STREAM_FULL, s.Init(Desc(16, 16, IJ_FMT_BGR))) << cap;
    for (int i = cap; i < cap + 32; ++i) ASSERT_EQ(0xA5, s.buf[size_t(i)]) << cap;
    EXPECT_EQ(0, s.enc.initialised);
  }
}

TEST(Status, FinishingWithoutAFrame) {
  Rig zeroed;
  EXPECT_EQ(IJ_STS_MODE, ijxCompress(nullptr, nullptr, &zeroed.stream, &zeroed.enc));
  EXPECT_EQ(0, zeroed.stream.position);

  // Set up but no image encoded: the head and tables alone are no picture.
  Rig s;
  ASSERT_EQ(0, s.Init(Desc(8, 8, IJ_FMT_GRAY)));
  const int32_t head = s.stream.position;
  EXPECT_EQ(IJ_STS_MODE, ijxCompress(nullptr, nullptr, &s.stream, &s.enc));
  EXPECT_EQ(head, s.stream.position);
}

TEST(Status, OneImagePerStreamAndNoSuccessAfterAFailure) {
  const Picture pic = jt::Synthetic(16, 16, 1);
  Rig s;
  ASSERT_EQ(0, s.Init(Desc(16, 16, IJ_FMT_GRAY)));
  int32_t len = 0;
  ijxGetCompBufLen(&len, &s.enc);
  std::vector<uint8_t> work(static_cast<size_t>(len));
  ASSERT_EQ(0, ijxCompBufInit(work.data(), len, &s.enc));
  const uint8_t *src = pic.pixels.data();
  int32_t step = 16;
  ASSERT_EQ(2, ijxCompress(&src, &step, &s.stream, &s.enc));
  const int32_t after = s.stream.position;
  // A second scan of the same components would make the stream undecodable.
  EXPECT_EQ(IJ_STS_MODE, ijxCompress(&src, &step, &s.stream, &s.enc));
  EXPECT_EQ(after, s.stream.position);
  EXPECT_EQ(2, ijxCompress(nullptr, nullptr, &s.stream, &s.enc));

  // The stream fills up during the scan: finishing afterwards fails too.
  Rig f(500);
  ASSERT_EQ(0, f.Init(Desc(16, 16, IJ_FMT_GRAY), 1, 100));
  ijxGetCompBufLen(&len, &f.enc);
  work.assign(size_t(len), 0);
  ASSERT_EQ(0, ijxCompBufInit(work.data(), len, &f.enc));
  const Picture noise = jt::Synthetic(16, 16, 1, 77);
  src = noise.pixels.data();
  f.stream.capacity = f.stream.position / 8 + 20;
  EXPECT_EQ(IJ_STS_STREAM_FULL, ijxCompress(&src, &step, &f.stream, &f.enc));
  EXPECT_EQ(IJ_STS_MODE, ijxCompress(nullptr, nullptr, &f.stream, &f.enc));
}

// Whatever the capacity, either the exact stream or -6, and never a byte
// written past the capacity.
TEST(StreamBound, EveryCapacityGivesTheStreamOrFull) {
  struct Case {
    int channels, sampling, quality, restart, w, h;
  } cases[] = {{3, 2, 100, 0, 40, 24}, {3, 0, 90, 2, 24, 16}, {1, 0, 100, 1, 16, 16}};
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.channels << " " << c.sampling << " q" << c.quality);
    const Picture pic = jt::Synthetic(c.w, c.h, c.channels, 3);
    Settings s;
    s.quality = c.quality;
    s.sampling = c.sampling;
    s.restart = c.restart;
    const jt::Encoded full = Encode(pic, s);
    ASSERT_EQ(2, full.finish);
    const int needed = int(full.bytes.size());
    for (int cap = 0; cap <= needed + 3; ++cap) {
      Rig k(cap);
      IjImageSpec desc = Desc(c.w, c.h, c.channels == 1 ? IJ_FMT_GRAY : IJ_FMT_BGR, c.sampling);
      IjStatus st = k.Init(desc, 1, c.quality, c.restart);
      if (st == 0) {
        int32_t len = 0;
        ijxGetCompBufLen(&len, &k.enc);
        std::vector<uint8_t> work(static_cast<size_t>(len));
        ijxCompBufInit(work.data(), len, &k.enc);
        const uint8_t *src = pic.pixels.data();
        int32_t step = pic.Step();
        st = ijxCompress(&src, &step, &k.stream, &k.enc);
        if (st == 2) st = ijxCompress(nullptr, nullptr, &k.stream, &k.enc);
      }
      for (size_t i = size_t(cap); i < k.buf.size(); ++i)
        ASSERT_EQ(0xA5, k.buf[i]) << "capacity " << cap << " byte " << i;
      if (cap < needed) {
        ASSERT_EQ(IJ_STS_STREAM_FULL, st) << cap;
      } else {
        ASSERT_EQ(2, st) << cap;
        ASSERT_EQ(needed, (k.stream.position + 7) / 8);
        ASSERT_EQ(0, memcmp(full.bytes.data(), k.buf.data(), size_t(needed))) << cap;
      }
    }
  }
}

TEST(StreamBound, NoiseAtQualityHundredInABitmapSizedBuffer) {
  // The front end gives the stream the size of the bitmap; noise at quality
  // 100 codes larger than that, which must be reported, not overrun.
  Picture pic;
  pic.width = pic.height = 64;
  pic.channels = 3;
  pic.pixels.resize(64 * 64 * 3);
  uint32_t r = 1;
  for (uint8_t &p : pic.pixels) {
    r = r * 1664525u + 1013904223u;
    p = uint8_t(r >> 24);
  }
  Settings s;
  s.quality = 100;
  s.sampling = IJ_SAMPLING_444;
  const jt::Encoded roomy = Encode(pic, s, 64 * 64 * 3 * 4);
  ASSERT_EQ(2, roomy.finish);
  ASSERT_GT(roomy.bytes.size(), pic.pixels.size());
  const jt::Encoded tight = Encode(pic, s, int(pic.pixels.size()));
  EXPECT_EQ(IJ_STS_STREAM_FULL, tight.compress);
}

TEST(Motion, FirstFrameThenIndividualFrames) {
  const Picture pic = jt::Synthetic(16, 16, 1);
  Rig s;
  IjStreamParams sp = {{0x100, 0, 0, 0}};
  ASSERT_EQ(0, s.Init(Desc(16, 16, IJ_FMT_GRAY), 1, 75, 0, &sp));
  EXPECT_EQ(0x101, s.enc.mode);
  EXPECT_EQ(IJ_STS_MODE, ijxIsInMotionEncoding(&s.enc));
  int32_t len = 0;
  ijxGetCompBufLen(&len, &s.enc);
  EXPECT_EQ(128 + 31, len); // 257: one MCU at a time
  std::vector<uint8_t> work(static_cast<size_t>(len));
  ASSERT_EQ(0, ijxCompBufInit(work.data(), len, &s.enc));
  const uint8_t *src = pic.pixels.data();
  int32_t step = 16;
  ASSERT_EQ(1, ijxCompress(&src, &step, &s.stream, &s.enc));
  EXPECT_EQ(0, ijxIsInMotionEncoding(&s.enc));
  EXPECT_EQ(0x11, s.enc.initialised);
  const size_t firstEnd = size_t(s.stream.position / 8);
  ASSERT_EQ(1, ijxCompress(&src, &step, &s.stream, &s.enc));
  std::vector<uint8_t> bytes(s.buf.begin(), s.buf.begin() + (s.stream.position + 7) / 8);

  const std::vector<jt::Segment> segs = Segments(bytes);
  ASSERT_GE(segs.size(), 3u);
  EXPECT_EQ(0xE0, segs[1].marker);
  EXPECT_EQ(0xE0, segs[2].marker); // IJXM after JFIF
  EXPECT_EQ(45u, segs[2].bytes.size());
  EXPECT_EQ(Bytes({'I', 'J', 'X', 'M', 0, 0, 0, 0x01, 0x01}),
            std::vector<uint8_t>(segs[2].bytes.begin() + 4, segs[2].bytes.begin() + 13));
  EXPECT_EQ(0xFF, bytes[firstEnd - 2]); // the first frame ends with EOI
  EXPECT_EQ(0xD9, bytes[firstEnd - 1]);
  EXPECT_EQ(0xFF, bytes[firstEnd]); // the next starts with FF A1
  EXPECT_EQ(0xA1, bytes[firstEnd + 1]);
  // The first frame is an ordinary JPEG stream.
  const jt::Decoded d =
      jt::Decode(std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(firstEnd)));
  ASSERT_TRUE(d.ok) << d.error;
  // Each frame is coded afresh: the second frame's data equals the first's.
  const jt::Segment *sos = jt::Find(segs, 0xDA);
  ASSERT_NE(nullptr, sos);
  const std::vector<uint8_t> first(bytes.begin() + long(sos->offset + sos->length),
                                   bytes.begin() + long(firstEnd - 2));
  const std::vector<uint8_t> second(bytes.begin() + long(firstEnd + 2), bytes.end());
  EXPECT_EQ(first, second);
}

TEST(Motion, WholeFrameBufferSchemeAndNoFurtherFrames) {
  const Picture pic = jt::Synthetic(20, 20, 3);
  Rig s;
  IjStreamParams sp = {{0x200, 0, 0, 0}};
  ASSERT_EQ(0, s.Init(Desc(20, 20, IJ_FMT_BGR, IJ_SAMPLING_411), 1, 75, 0, &sp));
  int32_t len = 0;
  ijxGetCompBufLen(&len, &s.enc);
  EXPECT_EQ((4 + 1) * 6 * 128 + 31 + 16 * 48 + 31, len);
  std::vector<uint8_t> work(static_cast<size_t>(len));
  ASSERT_EQ(0, ijxCompBufInit(work.data(), len, &s.enc));
  const uint8_t *src = pic.pixels.data();
  int32_t step = pic.Step();
  ASSERT_EQ(1, ijxCompress(&src, &step, &s.stream, &s.enc));
  EXPECT_EQ(IJ_STS_MODE, ijxCompress(&src, &step, &s.stream, &s.enc));
  // The frame's data is the same as with one MCU at a time.
  Rig plain;
  ASSERT_EQ(0, plain.Init(Desc(20, 20, IJ_FMT_BGR, IJ_SAMPLING_411)));
  ijxGetCompBufLen(&len, &plain.enc);
  std::vector<uint8_t> work2(static_cast<size_t>(len));
  ASSERT_EQ(0, ijxCompBufInit(work2.data(), len, &plain.enc));
  ASSERT_EQ(2, ijxCompress(&src, &step, &plain.stream, &plain.enc));
  ASSERT_EQ(2, ijxCompress(nullptr, nullptr, &plain.stream, &plain.enc));
  const std::vector<uint8_t> a(s.buf.begin(), s.buf.begin() + (s.stream.position + 7) / 8);
  const std::vector<uint8_t> b(plain.buf.begin(),
                               plain.buf.begin() + (plain.stream.position + 7) / 8);
  EXPECT_EQ(ScanData(b), ScanData(a));
}

} // namespace
