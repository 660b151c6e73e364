// jpgcmd's encoding on worker threads against the encoder on one: the same
// status and the same bytes for any number of threads, picture, sampling
// and restart interval, also when the stream runs full on the way.
#define DIB_STDIO 1

#include <stdint.h>
#include <string.h>

#include <vector>

#include <gtest/gtest.h>

#include "bmp2jpg.h"
#include "jpeg_support.h"

namespace {

struct Outcome {
  IjStatus compress = 0, finish = 0;
  std::vector<uint8_t> bytes;
};

// threads < 0: the plain ijxCompress.
Outcome EncodeWith(int threads, const jt::Picture &pic, const jt::Settings &s, int capacity) {
  Outcome r;
  IjImageSpec desc = {pic.width,
                      pic.height,
                      8,
                      8 * pic.channels,
                      pic.channels,
                      pic.channels == 1 ? IJ_FMT_GRAY : IJ_FMT_BGR,
                      s.sampling,
                      0,
                      72,
                      72};
  std::vector<uint8_t> buffer(size_t(capacity) + 16, 0xA5);
  IjStream stream = {capacity, 0, {0, 0, 0}, buffer.data()};
  IjEncoder enc;
  memset(&enc, 0, sizeof enc);
  EXPECT_EQ(0, ijxCompressInit(s.quality, s.restart, 1, &desc, nullptr, nullptr, &stream, &enc));
  int32_t len = 0;
  ijxGetCompBufLen(&len, &enc);
  std::vector<uint8_t> work(static_cast<size_t>(len));
  EXPECT_EQ(0, ijxCompBufInit(work.data(), len, &enc));
  const uint8_t *src = pic.pixels.data();
  int32_t step = pic.Step();
  r.compress = threads < 0 ? ijxCompress(&src, &step, &stream, &enc)
                           : CompressOnThreads(src, step, &stream, &enc, threads);
  r.finish = ijxCompress(nullptr, nullptr, &stream, &enc);
  r.bytes.assign(buffer.begin(), buffer.begin() + (stream.position + 7) / 8);
  for (size_t i = size_t(capacity); i < buffer.size(); ++i)
    EXPECT_EQ(0xA5, buffer[i]) << "written past the stream's capacity";
  return r;
}

TEST(Threads, SameStreamAsOneThread) {
  uint32_t seed = 1;
  const int sizes[][2] = {{1, 1}, {17, 33}, {64, 64}, {100, 9}, {333, 47}, {640, 120}};
  for (const auto &size : sizes)
    for (int channels : {1, 3})
      for (int sampling = 0; sampling < 3; ++sampling) {
        const jt::Picture pic = jt::Synthetic(size[0], size[1], channels, ++seed);
        jt::Settings s;
        s.quality = int(seed * 37 % 100) + 1;
        s.sampling = sampling;
        s.restart = int(seed % 4) * 3; // none, 3, 6 or 9 MCUs
        const int capacity = int(pic.pixels.size()) * 4 + 4096;
        const Outcome want = EncodeWith(-1, pic, s, capacity);
        ASSERT_EQ(2, want.compress);
        ASSERT_EQ(2, want.finish);
        for (int threads : {0, 1, 2, 3, 7}) {
          SCOPED_TRACE(testing::Message() << size[0] << "x" << size[1] << "x" << channels << " s"
                                          << sampling << " threads " << threads);
          const Outcome got = EncodeWith(threads, pic, s, capacity);
          EXPECT_EQ(want.compress, got.compress);
          EXPECT_EQ(want.finish, got.finish);
          EXPECT_EQ(want.bytes, got.bytes);
        }
      }
}

// A stream too small stops with -6 where the single thread stops, the
// workers are let go, and finishing fails as it does there.
TEST(Threads, FullStreamFailsAsOnOneThread) {
  const jt::Picture pic = jt::Synthetic(300, 200, 3, 9);
  jt::Settings s;
  s.quality = 95;
  s.sampling = IJ_SAMPLING_411;
  for (int capacity : {700, 5000, 20000}) {
    const Outcome want = EncodeWith(-1, pic, s, capacity);
    ASSERT_EQ(IJ_STS_STREAM_FULL, want.compress);
    for (int threads : {1, 2, 4}) {
      const Outcome got = EncodeWith(threads, pic, s, capacity);
      EXPECT_EQ(want.compress, got.compress) << capacity << " " << threads;
      EXPECT_EQ(want.finish, got.finish) << capacity << " " << threads;
      EXPECT_EQ(want.bytes, got.bytes) << capacity << " " << threads;
    }
  }
}

// BMPtoJPEG takes the threads for a large bitmap; its file is the stream of
// the single-threaded encoder.
TEST(Threads, LargeBitmapConvertsToTheSingleThreadStream) {
  const jt::Picture pic = jt::Synthetic(700, 400, 3, 5);
  DibImage dib;
  memset(&dib, 0, sizeof dib);
  dib.width = pic.width;
  dib.height = pic.height;
  dib.stride = (pic.width * 3 + 3) & ~3;
  dib.bitsPerSample = 8;
  dib.bitsPerPixel = 24;
  dib.channels = 3;
  dib.colorFormat = IJ_FMT_BGR;
  dib.imageSize = dib.stride * dib.height;
  std::vector<uint8_t> rows(size_t(dib.imageSize));
  for (int y = 0; y < pic.height; ++y) // bottom row first
    memcpy(&rows[size_t(pic.height - 1 - y) * size_t(dib.stride)],
           &pic.pixels[size_t(y) * size_t(pic.Step())], size_t(pic.Step()));
  dib.pixels = rows.data();
  FILE *f = tmpfile();
  ASSERT_NE(nullptr, f);
  ASSERT_EQ(1, BMPtoJPEG(80, 5, 1, IJ_SAMPLING_422, &dib, f));
  std::vector<uint8_t> file(size_t(ftell(f)));
  ASSERT_EQ(0, fseek(f, 0, SEEK_SET));
  ASSERT_EQ(file.size(), fread(file.data(), 1, file.size(), f));
  fclose(f);
  jt::Settings s;
  s.quality = 80;
  s.restart = 5;
  s.sampling = IJ_SAMPLING_422;
  const Outcome want = EncodeWith(-1, pic, s, int(pic.pixels.size()) * 2);
  ASSERT_EQ(2, want.finish);
  EXPECT_EQ(want.bytes, file);
}

} // namespace
