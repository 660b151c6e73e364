// jpgcmd's encoding in runs on several threads against the encoder on one:
// the same status and the same bytes for any number of threads, picture,
// sampling and restart interval, with the lines in memory or read from the
// bitmap's file, also when the stream runs full on the way.
#define DIB_STDIO 1

#include <stdint.h>
#include <string.h>
#include <unistd.h>

#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "bmp2jpg.h"
#include "jpeg_support.h"

namespace {

struct Outcome {
  IjStatus compress = 0, finish = 0;
  std::vector<uint8_t> bytes;
};

// Where the encoder takes the picture from.
enum class From { kAlone, kMemory, kFile };

// The picture as a bottom-up bitmap's rows behind a header, in a temporary
// file; the rows are padded to whole words.
struct BitmapFile {
  FILE *file = nullptr;
  int32_t stride = 0;
  static constexpr int64_t kOffset = 54;
  explicit BitmapFile(const jt::Picture &pic) {
    stride = (pic.Step() + 3) & ~3;
    std::vector<uint8_t> bytes(size_t(kOffset) + size_t(stride) * size_t(pic.height), 0x5A);
    for (int y = 0; y < pic.height; ++y)
      memcpy(&bytes[size_t(kOffset) + size_t(pic.height - 1 - y) * size_t(stride)],
             &pic.pixels[size_t(y) * size_t(pic.Step())], size_t(pic.Step()));
    file = tmpfile();
    if (file && (fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || fflush(file))) {
      fclose(file);
      file = nullptr;
    }
  }
  ~BitmapFile() {
    if (file) fclose(file);
  }
};

Outcome EncodeWith(From from, int threads, const jt::Picture &pic, const jt::Settings &s,
                   int capacity, FILE *file = nullptr) {
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
  std::unique_ptr<BitmapFile> bitmap;
  switch (from) {
  case From::kAlone:
    r.compress = ijxCompress(&src, &step, &stream, &enc);
    break;
  case From::kMemory:
    r.compress = CompressOnThreads(src, step, &stream, &enc, threads);
    break;
  case From::kFile:
    if (!file) {
      bitmap.reset(new BitmapFile(pic));
      file = bitmap->file;
    }
    EXPECT_NE(nullptr, file);
    r.compress = CompressFileOnThreads(file ? fileno(file) : -1, BitmapFile::kOffset,
                                       (pic.Step() + 3) & ~3, pic.height, &stream, &enc, threads);
    break;
  }
  r.finish = ijxCompress(nullptr, nullptr, &stream, &enc);
  r.bytes.assign(buffer.begin(), buffer.begin() + (stream.position + 7) / 8);
  for (size_t i = size_t(capacity); i < buffer.size(); ++i)
    EXPECT_EQ(0xA5, buffer[i]) << "written past the stream's capacity";
  return r;
}

void ExpectSame(const Outcome &want, const Outcome &got) {
  EXPECT_EQ(want.compress, got.compress);
  EXPECT_EQ(want.finish, got.finish);
  EXPECT_EQ(want.bytes, got.bytes);
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
        // None, every MCU, and intervals that end inside MCU rows.
        s.restart = int(seed % 5) == 4 ? 1 : int(seed % 5) * 3;
        const int capacity = int(pic.pixels.size()) * 4 + 4096;
        const Outcome want = EncodeWith(From::kAlone, 0, pic, s, capacity);
        ASSERT_EQ(2, want.compress);
        ASSERT_EQ(2, want.finish);
        for (From from : {From::kMemory, From::kFile})
          for (int threads : {0, 1, 2, 3, 7}) {
            SCOPED_TRACE(testing::Message()
                         << size[0] << "x" << size[1] << "x" << channels << " s" << sampling << " i"
                         << s.restart << " threads " << threads
                         << (from == From::kFile ? " from the file" : ""));
            ExpectSame(want, EncodeWith(from, threads, pic, s, capacity));
          }
      }
}

// Runs cut at every restart interval from one MCU to past the whole scan,
// and at MCU rows without one, on up to 16 threads.
TEST(Threads, RunsSplicedAtEveryIntervalAndOffset) {
  const jt::Picture pic = jt::Synthetic(150, 70, 3, 41);
  for (int sampling = 0; sampling < 3; ++sampling)
    for (int restart = 0; restart <= 60; restart += restart < 12 ? 1 : 16) {
      jt::Settings s;
      s.sampling = sampling;
      s.restart = restart;
      s.quality = 20 + restart;
      const int capacity = int(pic.pixels.size()) * 4 + 4096;
      const Outcome want = EncodeWith(From::kAlone, 0, pic, s, capacity);
      for (int threads : {2, 5, 16}) {
        SCOPED_TRACE(testing::Message()
                     << "s" << sampling << " i" << restart << " threads " << threads);
        ExpectSame(want, EncodeWith(From::kMemory, threads, pic, s, capacity));
      }
    }
}

// A stream too small stops with -6 where the single thread stops, and
// finishing fails as it does there.
TEST(Threads, FullStreamFailsAsOnOneThread) {
  const jt::Picture pic = jt::Synthetic(300, 200, 3, 9);
  jt::Settings s;
  s.quality = 95;
  s.sampling = IJ_SAMPLING_411;
  for (int capacity : {700, 5000, 20000}) {
    const Outcome want = EncodeWith(From::kAlone, 0, pic, s, capacity);
    ASSERT_EQ(IJ_STS_STREAM_FULL, want.compress);
    for (From from : {From::kMemory, From::kFile})
      for (int threads : {1, 2, 4}) {
        SCOPED_TRACE(testing::Message() << capacity << " threads " << threads);
        ExpectSame(want, EncodeWith(from, threads, pic, s, capacity));
      }
  }
}

// A file that lost rows after its header was read: the encoding says so,
// on one thread or many, and the stream cannot be finished.  No file at all
// is refused.
TEST(Threads, RowsMissingFromTheFile) {
  const jt::Picture pic = jt::Synthetic(200, 120, 3, 3);
  jt::Settings s;
  const int capacity = int(pic.pixels.size()) * 4 + 4096;
  for (int threads : {0, 1, 2, 4}) {
    for (long keep : {0L, 54L + 600L * 60L, 54L + 600L * 119L}) {
      SCOPED_TRACE(testing::Message() << "threads " << threads << ", " << keep << " bytes");
      BitmapFile bitmap(pic);
      ASSERT_NE(nullptr, bitmap.file);
      ASSERT_EQ(0, ftruncate(fileno(bitmap.file), keep));
      const Outcome got = EncodeWith(From::kFile, threads, pic, s, capacity, bitmap.file);
      EXPECT_EQ(kRowsUnreadable, got.compress);
      EXPECT_GT(0, got.finish);
    }
  }
  IjStream stream = {100, 0, {0, 0, 0}, nullptr};
  IjEncoder enc;
  memset(&enc, 0, sizeof enc);
  EXPECT_EQ(IJ_STS_ARG, CompressFileOnThreads(-1, 0, 600, 120, &stream, &enc, 2));
}

std::vector<uint8_t> Contents(FILE *f) {
  std::vector<uint8_t> bytes;
  if (fseek(f, 0, SEEK_END) != 0) return bytes;
  bytes.resize(size_t(ftell(f)));
  if (fseek(f, 0, SEEK_SET) != 0 || fread(bytes.data(), 1, bytes.size(), f) != bytes.size())
    bytes.clear();
  return bytes;
}

// BMPtoJPEG takes the threads for a large bitmap, and so does BMPFileToJPEG
// reading the rows from the bitmap's file; both files are the stream of the
// single-threaded encoder.  A bitmap file that lost rows is a read failure.
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
  jt::Settings s;
  s.quality = 80;
  s.restart = 5;
  s.sampling = IJ_SAMPLING_422;
  const Outcome want = EncodeWith(From::kAlone, 0, pic, s, int(pic.pixels.size()) * 2);
  ASSERT_EQ(2, want.finish);

  FILE *f = tmpfile();
  ASSERT_NE(nullptr, f);
  ASSERT_EQ(1, BMPtoJPEG(80, 5, 1, IJ_SAMPLING_422, &dib, f));
  EXPECT_EQ(want.bytes, Contents(f));
  fclose(f);

  FILE *bmp = tmpfile();
  ASSERT_NE(nullptr, bmp);
  ASSERT_EQ(1, WriteDIBFile(&dib, bmp));
  ASSERT_EQ(0, fflush(bmp));
  ASSERT_EQ(0, fseek(bmp, 0, SEEK_SET));
  DibImage header;
  memset(&header, 0, sizeof header);
  uint32_t offset = 0;
  ASSERT_EQ(1, ReadDIBHeader(&header, bmp, &offset));
  EXPECT_EQ(nullptr, header.pixels);
  f = tmpfile();
  ASSERT_NE(nullptr, f);
  ASSERT_EQ(1, BMPFileToJPEG(80, 5, 1, IJ_SAMPLING_422, &header, bmp, offset, f));
  EXPECT_EQ(want.bytes, Contents(f));
  fclose(f);

  ASSERT_EQ(0, ftruncate(fileno(bmp), long(offset) + header.imageSize / 2));
  f = tmpfile();
  ASSERT_NE(nullptr, f);
  EXPECT_EQ(-1, BMPFileToJPEG(80, 5, 1, IJ_SAMPLING_422, &header, bmp, offset, f));
  EXPECT_TRUE(Contents(f).empty());
  fclose(f);
  fclose(bmp);
}

} // namespace
