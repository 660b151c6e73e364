// The bitmap front end in the plug-in's build: BMP files read and written
// through the firmware's calls, BMPtoJPEG, the plug-in's bmptojpg with its
// results and traces, the BMP+JPEG export, and the BMP Suite.
#include <dirent.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Velumo.h"
#include "bmp2jpg.h"
#include "bmp_files.h"
#include "jpeg_support.h"
#include "logo.h"
#include "needs.h"
#include "testdisk.h"

namespace {

using bt::Bmp;
using bt::Build;
using bt::Le;

class DibTap : public SimTest {
protected:
  void SetUp() override {
    SimTest::SetUp();
    ASSERT_EQ(1, TAP_Hdd_Create("/d", ATTR_FOLDER));
    ASSERT_EQ(1, TAP_Hdd_ChangeDir("/d"));
  }
  void TearDown() override {
    Sim_FailAllocNth(0);
    Sim_FailWriteAfter(-1);
    ExpectNothingHeld();
    SimTest::TearDown();
  }
  void Put(const std::string &name, const std::string &bytes) {
    ASSERT_TRUE(WriteHostFile(Host("/d/" + name), bytes));
  }
  std::string Get(const std::string &name) {
    std::string s;
    EXPECT_TRUE(ReadHostFile(Host("/d/" + name), s)) << name;
    return s;
  }
  bool Exists(const std::string &name) { return HostExists(Host("/d/" + name)); }
  // Reads a file put on the disk; the record is left for the caller.
  int32_t Read(const std::string &bytes, DibImage *dib, dword *endPosition = nullptr) {
    WriteHostFile(Host("/d/in.bmp"), bytes);
    TYPE_File *f = TAP_Hdd_Fopen("in.bmp");
    if (!f) return -1;
    memset(dib, 0, sizeof *dib);
    const int32_t rc = ReadDIBFile(dib, f);
    if (endPosition) *endPosition = TAP_Hdd_Ftell(f);
    TAP_Hdd_Fclose(f);
    return rc;
  }
  // Converts an already read bitmap into out.jpg; the file's bytes in jpeg.
  int32_t Convert(int q, int restart, int mode, int sampling, const DibImage &dib,
                  std::vector<uint8_t> *jpeg = nullptr) {
    if (!TAP_Hdd_Create("out.jpg", ATTR_NORMAL)) return -1;
    TYPE_File *f = TAP_Hdd_Fopen("out.jpg");
    if (!f) return -1;
    const int32_t rc = BMPtoJPEG(q, restart, mode, sampling, &dib, f);
    TAP_Hdd_Fclose(f);
    if (jpeg) {
      const std::string s = Get("out.jpg");
      jpeg->assign(s.begin(), s.end());
    }
    return rc;
  }
  std::string Terminal() const { return Sim_TerminalText(); }
  // What the firmware's trace (TAP_Print) shows while one call runs.
  template <typename Call> std::string Traced(Call call) {
    ::testing::internal::CaptureStderr();
    call();
    return ::testing::internal::GetCapturedStderr();
  }
};

// The bitmap as the encoder tests' helper takes it: top row first, no padding.
jt::Picture TopFirst(const DibImage &dib) {
  jt::Picture p;
  p.width = dib.width;
  p.height = dib.height;
  p.channels = dib.channels;
  for (int32_t y = dib.height - 1; y >= 0; --y) {
    const uint8_t *row = dib.pixels + size_t(y) * size_t(dib.stride);
    p.pixels.insert(p.pixels.end(), row, row + dib.width * dib.channels);
  }
  return p;
}

// ---- reading ----------------------------------------------------------------

TEST_F(DibTap, EveryCaseIsTakenOrRefusedBeforeAnyAllocation) {
  for (const bt::ReadCase &c : bt::ReadCases()) {
    SCOPED_TRACE(c.name);
    DibImage dib;
    dword end = 0;
    const dword allocs = Sim_AllocCount();
    ASSERT_EQ(c.result, Read(c.file, &dib, &end));
    if (c.result == 1) {
      EXPECT_EQ(c.colorFormat, dib.colorFormat);
      EXPECT_EQ(8, dib.bitsPerSample);
      const uint32_t offset = bt::Field(c.file, 10, 4);
      ASSERT_NE(nullptr, dib.pixels);
      EXPECT_EQ(c.file.substr(offset, size_t(dib.imageSize)),
                std::string(reinterpret_cast<char *>(dib.pixels), size_t(dib.imageSize)));
      EXPECT_EQ(dword(c.file.size()), end); // left at the end of the file
    } else {
      // A refused header never costs a pixel buffer, however large it claims.
      EXPECT_EQ(allocs, Sim_AllocCount());
    }
    DestoryDIB(&dib);
    const DibImage zero = {};
    EXPECT_EQ(0, memcmp(&zero, &dib, sizeof dib));
  }
}

TEST_F(DibTap, FieldsOfTheRecord) {
  DibImage dib;
  ASSERT_EQ(1, Read(Build(Bmp()), &dib));
  EXPECT_EQ(60, dib.width);
  EXPECT_EQ(40, dib.height);
  EXPECT_EQ(180, dib.stride);
  EXPECT_EQ(24, dib.bitsPerPixel);
  EXPECT_EQ(3, dib.channels);
  EXPECT_EQ(7200, dib.imageSize);
  DestoryDIB(&dib);

  Bmp wide;
  wide.width = 61;
  ASSERT_EQ(1, Read(Build(wide), &dib));
  EXPECT_EQ(184, dib.stride); // 183 bytes of pixels, one of padding
  EXPECT_EQ(184 * 40, dib.imageSize);
  DestoryDIB(&dib);

  Bmp grey;
  grey.bitsPerPixel = 8;
  grey.width = 5;
  grey.height = 3;
  grey.palette = std::string(1024, '\x7F');
  ASSERT_EQ(1, Read(Build(grey), &dib));
  EXPECT_EQ(8, dib.stride);
  EXPECT_EQ(1, dib.channels);
  EXPECT_EQ(1, dib.colorFormat);
  EXPECT_EQ(bt::Pattern(5, 3, 8), std::string(reinterpret_cast<char *>(dib.pixels), 24));
  DestoryDIB(&dib);

  Bmp rgb16;
  rgb16.bitsPerPixel = 16;
  rgb16.width = 3;
  rgb16.compression = 3;
  rgb16.masks = {0xF800, 0x07E0, 0x001F};
  ASSERT_EQ(1, Read(Build(rgb16), &dib));
  EXPECT_EQ(8, dib.stride);
  EXPECT_EQ(3, dib.channels);
  EXPECT_EQ(16, dib.bitsPerPixel);
  DestoryDIB(&dib);
}

TEST_F(DibTap, EveryShortHeaderIsRefused) {
  Bmp b;
  b.bitsPerPixel = 16;
  b.compression = 3;
  b.masks = {0x7C00, 0x03E0, 0x001F};
  const std::string file = Build(b);
  for (size_t n = 0; n < 66; ++n) {
    DibImage dib;
    EXPECT_EQ(0, Read(file.substr(0, n), &dib)) << n;
    EXPECT_EQ(nullptr, dib.pixels) << n;
  }
}

TEST_F(DibTap, NoMemoryForThePixels) {
  DibImage dib;
  Sim_FailAllocNth(1);
  EXPECT_EQ(0, Read(Build(Bmp()), &dib));
  DestoryDIB(&dib);
}

// ---- writing ----------------------------------------------------------------

class DibWrite : public DibTap {
protected:
  // Writes a record with the given pixels to out.bmp; the result of the call.
  int32_t Write(int32_t width, int32_t height, int32_t bpp, int32_t format, std::string pixels) {
    DibImage dib = {};
    dib.width = width;
    dib.height = height;
    dib.bitsPerPixel = bpp;
    dib.stride = int32_t(bt::Stride(width, bpp));
    dib.imageSize = int32_t(pixels.size());
    dib.colorFormat = format;
    dib.pixels = reinterpret_cast<uint8_t *>(pixels.empty() ? nullptr : &pixels[0]);
    if (!TAP_Hdd_Create("out.bmp", ATTR_NORMAL)) return -1;
    TYPE_File *f = TAP_Hdd_Fopen("out.bmp");
    if (!f) return -1;
    const int32_t rc = WriteDIBFile(&dib, f);
    TAP_Hdd_Fclose(f);
    return rc;
  }
};

TEST_F(DibWrite, TwentyFourBitHeaderByteByByte) {
  const std::string pixels = "ABCDEFgh"
                             "IJKLMNij";
  ASSERT_EQ(1, Write(2, 2, 24, 2, pixels));
  const std::string expected = std::string("BM\x46\0\0\0\0\0\0\0\x36\0\0\0", 14) +
                               std::string("\x28\0\0\0\x02\0\0\0\x02\0\0\0\x01\0\x18\0"
                                           "\0\0\0\0\x10\0\0\0\x48\0\0\0\x48\0\0\0"
                                           "\0\0\0\0\0\0\0\0",
                                           40) +
                               pixels;
  EXPECT_EQ(expected, Get("out.bmp"));
}

TEST_F(DibWrite, SixteenBitFormatsCarryTheirMasks) {
  const std::string pixels(8, '\x55');
  ASSERT_EQ(1, Write(3, 1, 16, 8, pixels));
  std::string f = Get("out.bmp");
  ASSERT_EQ(74u, f.size());
  EXPECT_EQ(74u, bt::Field(f, 2, 4));
  EXPECT_EQ(66u, bt::Field(f, 10, 4));
  EXPECT_EQ(3u, bt::Field(f, 30, 4));
  EXPECT_EQ(Le(0x7C00, 4) + Le(0x03E0, 4) + Le(0x001F, 4), f.substr(54, 12));
  EXPECT_EQ(pixels, f.substr(66));

  ASSERT_EQ(1, Write(3, 1, 16, 16, pixels));
  f = Get("out.bmp");
  EXPECT_EQ(Le(0xF800, 4) + Le(0x07E0, 4) + Le(0x001F, 4), f.substr(54, 12));

  // Greyscale gets neither masks nor a colour table.
  ASSERT_EQ(1, Write(4, 2, 8, 1, "abcdefgh"));
  f = Get("out.bmp");
  EXPECT_EQ(62u, f.size());
  EXPECT_EQ(54u, bt::Field(f, 10, 4));
  EXPECT_EQ(0u, bt::Field(f, 30, 4));
}

TEST_F(DibWrite, WhatIsWrittenReadsBack) {
  Bmp b;
  b.width = 61;
  Put("a.bmp", Build(b));
  DibImage dib;
  ASSERT_EQ(1, Read(Build(b), &dib));
  const std::string pixels(reinterpret_cast<char *>(dib.pixels), size_t(dib.imageSize));
  ASSERT_EQ(1, Write(dib.width, dib.height, 24, 2, pixels));
  DibImage back;
  ASSERT_EQ(1, Read(Get("out.bmp"), &back));
  EXPECT_EQ(0, memcmp(&dib, &back, offsetof(DibImage, pixels)));
  EXPECT_EQ(0, memcmp(dib.pixels, back.pixels, size_t(dib.imageSize)));
  DestoryDIB(&dib);
  DestoryDIB(&back);
}

TEST_F(DibWrite, ShortWritesAndBadRecordsFail) {
  const std::string pixels(16, 'p');
  for (long long budget : {0LL, 1LL, 2LL, 9LL, 30LL, 53LL, 54LL, 69LL}) {
    Sim_FailWriteAfter(budget);
    EXPECT_EQ(0, Write(2, 2, 24, 2, pixels)) << budget;
  }
  Sim_FailWriteAfter(-1);
  EXPECT_EQ(0, Write(2, 2, 24, 2, std::string(15, 'p'))); // size short of the rows
  EXPECT_EQ(0, Write(2, 2, 24, 2, std::string(17, 'p')));
  EXPECT_EQ(0, Write(2, 0, 24, 2, pixels));
  EXPECT_EQ(0, Write(2, 2, 24, 2, ""));
  EXPECT_EQ("", Get("out.bmp"));
}

// ---- BMPtoJPEG --------------------------------------------------------------

TEST_F(DibTap, SixtyByFortyAtQuality100And411) {
  DibImage dib;
  ASSERT_EQ(1, Read(Build(Bmp()), &dib));
  std::vector<uint8_t> jpeg;
  ASSERT_EQ(1, Convert(100, 0, 1, 2, dib, &jpeg));
  // Exactly the stream of the encoder fed top row first.
  jt::Settings s;
  s.quality = 100;
  s.sampling = IJ_SAMPLING_411;
  const jt::Encoded direct = jt::Encode(TopFirst(dib), s);
  ASSERT_EQ(2, direct.finish);
  EXPECT_EQ(direct.bytes, jpeg);

  const std::vector<jt::Segment> segs = jt::Segments(jpeg);
  const jt::Segment *sof = jt::Find(segs, 0xC0);
  ASSERT_NE(nullptr, sof);
  EXPECT_EQ(0x22, sof->bytes[11]); // Y 2 x 2
  EXPECT_EQ(nullptr, jt::Find(segs, 0xDD));
  const jt::Segment *dqt = jt::Find(segs, 0xDB);
  ASSERT_NE(nullptr, dqt);
  for (size_t i = 5; i < 69; ++i) EXPECT_EQ(1, dqt->bytes[i]) << i;
  const jt::Decoded d = jt::Decode(jpeg);
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_EQ(60, d.width);
  EXPECT_EQ(40, d.height);
  DestoryDIB(&dib);
}

TEST_F(DibTap, TheLastStoredRowIsTheTopOfThePicture) {
  Bmp b;
  b.width = 32;
  b.height = 32;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x)
      b.pixels += y >= 24 ? std::string("\0\0\xFF", 3) : std::string("\xFF\0\0", 3);
  DibImage dib;
  ASSERT_EQ(1, Read(Build(b), &dib));
  std::vector<uint8_t> jpeg;
  ASSERT_EQ(1, Convert(100, 0, 1, 2, dib, &jpeg));
  const jt::Decoded d = jt::Decode(jpeg);
  ASSERT_TRUE(d.ok) << d.error;
  // B, G, R of the top-left and bottom-left pixels.
  EXPECT_LT(d.pixels[0], 30);
  EXPECT_GT(d.pixels[2], 225);
  const size_t bottom = size_t(31 * 32 * 3);
  EXPECT_GT(d.pixels[bottom], 225);
  EXPECT_LT(d.pixels[bottom + 2], 30);
  DestoryDIB(&dib);
}

TEST_F(DibTap, PaddingNeverReachesTheEncoder) {
  std::vector<uint8_t> jpeg[2];
  const uint8_t pad[2] = {0x00, 0xEE};
  for (int i = 0; i < 2; ++i) {
    Bmp b;
    b.width = 61;
    b.pixels = bt::Pattern(61, 40, 24, pad[i]);
    DibImage dib;
    ASSERT_EQ(1, Read(Build(b), &dib));
    ASSERT_EQ(1, Convert(100, 0, 1, 2, dib, &jpeg[i]));
    DestoryDIB(&dib);
  }
  EXPECT_EQ(jpeg[0], jpeg[1]);
  const jt::Decoded d = jt::Decode(jpeg[0]);
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_EQ(61, d.width);
}

TEST_F(DibTap, EightBitsAreGreyFromTheIndices) {
  Bmp b;
  b.bitsPerPixel = 8;
  b.width = 16;
  b.height = 16;
  for (int i = 0; i < 256; ++i) b.palette += Le(0x00FF0000, 4); // every entry red
  for (int i = 0; i < 256; ++i) b.pixels += char(i);
  DibImage dib;
  ASSERT_EQ(1, Read(Build(b), &dib));
  std::vector<uint8_t> jpeg;
  ASSERT_EQ(1, Convert(100, 0, 1, 2, dib, &jpeg));
  const jt::Decoded d = jt::Decode(jpeg);
  ASSERT_TRUE(d.ok) << d.error;
  ASSERT_EQ(1, d.components);
  const jt::Picture p = TopFirst(dib);
  for (size_t i = 0; i < p.pixels.size(); ++i)
    EXPECT_NEAR(int(p.pixels[i]), int(d.pixels[i]), 3) << i;
  DestoryDIB(&dib);
}

TEST_F(DibTap, SixteenBitBitmapsLoadButAreNotEncoded) {
  for (uint32_t green : {0x03E0u, 0x07E0u}) {
    Bmp b;
    b.bitsPerPixel = 16;
    b.compression = 3;
    b.masks = {green == 0x03E0u ? 0x7C00u : 0xF800u, green, 0x001F};
    DibImage dib;
    ASSERT_EQ(1, Read(Build(b), &dib));
    std::vector<uint8_t> jpeg;
    EXPECT_EQ(0, Convert(100, 0, 1, 2, dib, &jpeg));
    EXPECT_TRUE(jpeg.empty());
    DestoryDIB(&dib);
  }
}

// Noise at quality 100 codes to several times the bitmap's own size; the
// stream buffer must take it in every sampling, with restart markers too,
// and in pictures that end in partial MCUs.
TEST_F(DibTap, NoiseAtQualityHundredFitsItsStream) {
  struct Case {
    int32_t width, height;
    uint16_t bitsPerPixel;
    int32_t sampling, restart;
  } const cases[] = {{256, 256, 24, IJ_SAMPLING_444, 0}, {256, 256, 24, IJ_SAMPLING_422, 0},
                     {256, 256, 24, IJ_SAMPLING_411, 0}, {61, 37, 24, IJ_SAMPLING_444, 1},
                     {61, 37, 24, IJ_SAMPLING_411, 1},   {256, 256, 8, IJ_SAMPLING_411, 0},
                     {61, 37, 8, IJ_SAMPLING_444, 1}};
  for (const Case &c : cases) {
    SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << "x" << c.bitsPerPixel
                                      << " sampling " << c.sampling << " restart " << c.restart);
    Bmp b;
    b.width = c.width;
    b.height = c.height;
    b.bitsPerPixel = c.bitsPerPixel;
    uint32_t seed = 12345;
    for (uint32_t i = 0; i < bt::Stride(c.width, c.bitsPerPixel) * uint32_t(c.height); ++i) {
      seed = seed * 1103515245u + 12345u;
      b.pixels += char(seed >> 16);
    }
    DibImage dib;
    ASSERT_EQ(1, Read(Build(b), &dib));
    jt::Settings s;
    s.quality = 100;
    s.sampling = c.sampling;
    s.restart = c.restart;
    const jt::Encoded unbounded = jt::Encode(TopFirst(dib), s, 16 << 20);
    ASSERT_EQ(2, unbounded.finish);
    // Without subsampling the stream outgrows the pixel area.
    if (c.bitsPerPixel == 8 || c.sampling == IJ_SAMPLING_444) {
      EXPECT_GT(unbounded.bytes.size(), size_t(dib.imageSize));
    }
    std::vector<uint8_t> jpeg;
    EXPECT_EQ(1, Convert(100, c.restart, 1, c.sampling, dib, &jpeg));
    EXPECT_EQ(unbounded.bytes, jpeg);
    EXPECT_TRUE(jt::Decode(jpeg).ok);
    DestoryDIB(&dib);
  }
}

TEST_F(DibTap, ConversionFailuresHoldNothing) {
  DibImage dib;
  ASSERT_EQ(1, Read(Build(Bmp()), &dib));
  for (dword nth : {1u, 2u}) {
    Sim_FailAllocNth(nth);
    std::vector<uint8_t> jpeg;
    EXPECT_EQ(0, Convert(100, 0, 1, 2, dib, &jpeg)) << nth;
    EXPECT_EQ(1u, Sim_HeapBlocksTotal()); // only the bitmap's pixels
  }
  Sim_FailAllocNth(0);
  Sim_FailWriteAfter(100);
  EXPECT_EQ(0, Convert(100, 0, 1, 2, dib, nullptr));
  Sim_FailWriteAfter(-1);
  // Settings the encoder refuses.
  EXPECT_EQ(0, Convert(100, 0, 1, 3, dib, nullptr));
  EXPECT_EQ(0, Convert(100, 0, 2, 2, dib, nullptr));
  // A record whose rows would lie outside its buffer is not read from.
  DibImage bad = dib;
  bad.height = 41;
  EXPECT_EQ(0, Convert(100, 0, 1, 2, bad, nullptr));
  bad = dib;
  bad.stride = 179;
  EXPECT_EQ(0, Convert(100, 0, 1, 2, bad, nullptr));
  EXPECT_EQ(1u, Sim_HeapBlocksTotal());
  DestoryDIB(&dib);
}

// ---- bmptojpg ---------------------------------------------------------------

TEST_F(DibTap, BmptojpgConvertsBesideTheBitmap) {
  const std::string bmp = Build(Bmp());
  Put("a.bmp", bmp);
  int rc = 1;
  EXPECT_EQ("", Traced([&] { rc = bmptojpg("a.bmp", "a.jpg"); }));
  ASSERT_EQ(0, rc);
  EXPECT_EQ(bmp, Get("a.bmp"));
  const std::string s = Get("a.jpg");
  const std::vector<uint8_t> jpeg(s.begin(), s.end());
  DibImage dib;
  ASSERT_EQ(1, Read(bmp, &dib));
  jt::Settings settings;
  settings.quality = 100;
  settings.sampling = IJ_SAMPLING_411;
  EXPECT_EQ(jt::Encode(TopFirst(dib), settings).bytes, jpeg);
  DestoryDIB(&dib);
}

TEST_F(DibTap, BmptojpgResults) {
  // Missing source: nothing is created.
  EXPECT_EQ(-5, bmptojpg("none.bmp", "none.jpg"));
  EXPECT_FALSE(Exists("none.jpg"));

  const std::string bmp = Build(Bmp());
  Put("a.bmp", bmp);
  EXPECT_EQ(-4, bmptojpg("a.bmp", "/no/such/folder/a.jpg"));
  // Converting a file into itself would empty it before it is read.
  EXPECT_EQ(-4, bmptojpg("a.bmp", "a.bmp"));
  EXPECT_EQ(bmp, Get("a.bmp"));

  Bmp b32;
  b32.bitsPerPixel = 32;
  Put("b.bmp", Build(b32));
  int rc = 0;
  EXPECT_EQ("b.bmp: Read error.\n", Traced([&] { rc = bmptojpg("b.bmp", "b.jpg"); }));
  EXPECT_EQ(-1, rc);
  EXPECT_FALSE(Exists("b.jpg"));

  Bmp b16;
  b16.bitsPerPixel = 16;
  b16.compression = 3;
  b16.masks = {0x7C00, 0x03E0, 0x001F};
  Put("c.bmp", Build(b16));
  EXPECT_EQ("c.jpg Write error.\n", Traced([&] { rc = bmptojpg("c.bmp", "c.jpg"); }));
  EXPECT_EQ(-2, rc);
  EXPECT_FALSE(Exists("c.jpg"));

  // A disk that fills up mid-stream leaves no partial JPEG behind.
  Put("d.jpg", "old");
  Sim_FailWriteAfter(500);
  EXPECT_EQ(-2, bmptojpg("a.bmp", "d.jpg"));
  Sim_FailWriteAfter(-1);
  EXPECT_FALSE(Exists("d.jpg"));
}

TEST_F(DibTap, BmptojpgWithoutMemory) {
  Put("a.bmp", Build(Bmp()));
  // The pixels, the stream buffer, the work buffer.
  const int expected[] = {-1, -2, -2};
  for (dword nth = 1; nth <= 3; ++nth) {
    Sim_FailAllocNth(nth);
    EXPECT_EQ(expected[nth - 1], bmptojpg("a.bmp", "a.jpg")) << nth;
    EXPECT_FALSE(Exists("a.jpg")) << nth;
    EXPECT_EQ(0u, Sim_HeapBlocksTotal()) << nth;
  }
  Sim_FailAllocNth(4);
  EXPECT_EQ(0, bmptojpg("a.bmp", "a.jpg"));
}

// ---- the BMP+JPEG export ------------------------------------------------------

TEST_F(DibTap, ExportTargetFourLeavesBitmapAndJpeg) {
  ASSERT_EQ(1, TAP_Hdd_Create("/ProgramFiles/Settings", ATTR_FOLDER));
  ASSERT_EQ(1, TAP_Hdd_Create("/ProgramFiles/Settings/Velumo", ATTR_FOLDER));
  // A 60 x 40 32-bit raw logo: width, height big-endian, then A R G B.
  std::string raw = std::string("\0\0\0\x3C\0\0\0\x28", 8);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 60; ++x)
      raw += std::string{'\xFF', char(x * 4), char(y * 6), char(255 - x * 4)};
  Put("logo.bll32", raw);
  ASSERT_EQ(1, LoadChannelLogo("/d", "logo.bll32"));
  SaveChannelLogo(4, "/d", "logo.bll32");
  ASSERT_TRUE(Exists("logo.bmp"));
  ASSERT_TRUE(Exists("logo.jpg"));
  EXPECT_NE(std::string::npos, Terminal().find("= Saved channel logofile /d/logo.jpg RC 0\n"));
  const std::string s = Get("logo.jpg");
  const jt::Decoded d = jt::Decode(std::vector<uint8_t>(s.begin(), s.end()));
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_EQ(60, d.width);
  EXPECT_EQ(40, d.height);
  // Top-left logo pixel: red 0, green 0, blue 255 (B, G, R in the picture).
  EXPECT_GT(d.pixels[0], 200);
  EXPECT_LT(d.pixels[2], 60);
}

// ---- the BMP Suite ------------------------------------------------------------

TEST_F(DibTap, BmpSuiteConvertsOrIsRefused) {
  const std::string suite = TestDataDir("bmpsuite");
  if (suite.empty()) SKIP_OR_FAIL_ON_CI("no BMP Suite in ../shared/testdata");
  int converted = 0, refused = 0;
  for (const char *sub : {"g", "q", "b"}) {
    DIR *d = opendir((suite + "/" + sub).c_str());
    ASSERT_NE(nullptr, d) << sub;
    std::vector<std::string> names;
    while (dirent *e = readdir(d))
      if (strstr(e->d_name, ".bmp")) names.push_back(e->d_name);
    closedir(d);
    std::sort(names.begin(), names.end());
    for (const std::string &n : names) {
      SCOPED_TRACE(std::string(sub) + "/" + n);
      std::string bytes;
      ASSERT_TRUE(ReadHostFile(suite + "/" + sub + "/" + n, bytes));
      Put("s.bmp", bytes);
      const int rc = bmptojpg("s.bmp", "s.jpg");
      if (rc == 0) {
        const std::string s = Get("s.jpg");
        const jt::Decoded dec = jt::Decode(std::vector<uint8_t>(s.begin(), s.end()));
        EXPECT_TRUE(dec.ok) << dec.error;
        ++converted;
      } else {
        EXPECT_TRUE(rc == -1 || rc == -2) << rc;
        EXPECT_FALSE(Exists("s.jpg"));
        ++refused;
      }
      EXPECT_EQ(0u, Sim_HeapBlocksTotal());
    }
  }
  EXPECT_GT(converted, 0);
  EXPECT_GT(refused, 0);
}

} // namespace
