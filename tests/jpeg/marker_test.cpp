// The marker writer, byte for byte, and the stream functions under it.
#include <string.h>

#include <vector>

#include <gtest/gtest.h>

#include "ijenc.h"
#include "jpeg_support.h"

namespace {

using jt::Bytes;

struct Sink {
  std::vector<uint8_t> buf;
  IjStream s = {};
  explicit Sink(int capacity = 1024) : buf(size_t(capacity) + 16, 0xA5) {
    s.capacity = capacity;
    s.buffer = buf.data();
  }
  std::vector<uint8_t> Written() const {
    return std::vector<uint8_t>(buf.begin(), buf.begin() + (s.position + 7) / 8);
  }
};

std::vector<uint8_t> Ascii(const char *t) {
  return std::vector<uint8_t>(t, t + strlen(t));
}

std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> all;
  for (const auto &p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

TEST(Markers, SimpleSegments) {
  Sink k;
  ASSERT_EQ(0, ijWrite_Marker(0xD8, &k.s));
  ASSERT_EQ(0, ijWrite_DRI(300, &k.s));
  ASSERT_EQ(0, ijWrite_RST(9, &k.s)); // index taken modulo 8
  ASSERT_EQ(0, ijWrite_APP14(100, 0x8000, 0, 1, &k.s));
  ASSERT_EQ(0, ijWrite_Marker(0xD9, &k.s));
  EXPECT_EQ(Cat({Bytes({0xFF, 0xD8}), Bytes({0xFF, 0xDD, 0, 4, 0x01, 0x2C}), Bytes({0xFF, 0xD1}),
                 Bytes({0xFF, 0xEE, 0, 14}), Ascii("Adobe"), Bytes({0, 100, 0x80, 0, 0, 0, 1}),
                 Bytes({0xFF, 0xD9})}),
            k.Written());
}

TEST(Markers, App0Segments) {
  Sink k;
  ASSERT_EQ(0, ijWrite_APP0_JFIF(0x101, 300, 72, 0x0102, &k, &k.s)); // thumbnail ignored
  EXPECT_EQ(Cat({Bytes({0xFF, 0xE0, 0, 16}), Ascii("JFIF"),
                 Bytes({0, 1, 2, 0x01, 0x01, 0x2C, 0, 72, 0, 0})}),
            k.Written());

  Sink x;
  int32_t thumb[4] = {7, 8, 9, 10};
  ASSERT_EQ(0, ijWrite_APP0_JFXX(thumb, &x.s));
  EXPECT_EQ(Cat({Bytes({0xFF, 0xE0, 0, 8}), Ascii("JFXX"), Bytes({0, 0})}), x.Written());
  EXPECT_EQ(7, thumb[0]);
  EXPECT_EQ(0, thumb[1]);
  EXPECT_EQ(0, thumb[2]);
  EXPECT_EQ(10, thumb[3]);

  Sink m;
  IjImageSpec desc = {0x1234, 0x0567, 8, 24, 3, IJ_FMT_BGR, 0, 0, 72, 72};
  IjMotionParams mp = {{0x01020304, 0x1FF, 0x05060708, 0x090A0B0C, 0x0D0E0F10, 0x31112}};
  IjStreamParams sp = {{0x200, 0x12345, 0x6789, 0x0A0B0C0D}};
  ASSERT_EQ(0, ijWrite_APP0_IJXM(0x201, &desc, &mp, &sp, &m.s));
  const std::vector<uint8_t> ijxm = m.Written();
  ASSERT_EQ(45u, ijxm.size());
  EXPECT_EQ(
      Cat({Bytes({0xFF, 0xE0, 0, 43}), Ascii("IJXM"),
           Bytes({0,    0,    0,    0x02, 0x01, 3,    0x12, 0x34, 0x05, 0x67, 0x23, 0x45, 0x67,
                  0x89, 0x0A, 0x0B, 0x0C, 0x0D, 0x01, 0x02, 0x03, 0x04, 0xFF, 0x05, 0x06, 0x07,
                  0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11, 0x12})}),
      ijxm);
}

TEST(Markers, Comment) {
  Sink k;
  ASSERT_EQ(0, ijWrite_COM("hi", 0, &k.s)); // length 0: nothing, success
  ASSERT_EQ(0, ijWrite_COM(nullptr, 5, &k.s));
  EXPECT_EQ(0, k.s.position);
  ASSERT_EQ(0, ijWrite_COM("hi!", 2, &k.s));
  EXPECT_EQ(Cat({Bytes({0xFF, 0xFE, 0, 4}), Ascii("hi")}), k.Written());

  // The 16-bit length field cannot hold more; writing it would corrupt the
  // stream.
  std::vector<char> big(65534, 'x');
  Sink b(70000);
  EXPECT_EQ(IJ_STS_ARG, ijWrite_COM(big.data(), 65534, &b.s));
  EXPECT_EQ(0, ijWrite_COM(big.data(), 65533, &b.s));
  EXPECT_EQ((65533 + 4) * 8, b.s.position);
  EXPECT_EQ(0xFF, b.buf[2]); // length 65535
  EXPECT_EQ(0xFF, b.buf[3]);

  // A comment that does not fit leaves no half segment behind.
  Sink t(10);
  EXPECT_EQ(IJ_STS_STREAM_FULL, ijWrite_COM("abcdefg", 7, &t.s));
  EXPECT_EQ(0, t.s.position);
  EXPECT_EQ(0xA5, t.buf[0]);
}

TEST(Markers, QuantisationTables) {
  uint16_t table[64];
  for (int i = 0; i < 64; ++i) table[i] = uint16_t(i);
  Sink k;
  ASSERT_EQ(0, ijWrite_DQT(17, 8, table, &k.s)); // id modulo 16
  std::vector<uint8_t> expect = Bytes({0xFF, 0xDB, 0, 67, 1});
  for (int i = 0; i < 64; ++i) expect.push_back(_nIppIZigZagIndex[i]);
  EXPECT_EQ(expect, k.Written());
  EXPECT_EQ(Bytes({0, 1, 8, 16, 9, 2}),
            std::vector<uint8_t>(expect.begin() + 5, expect.begin() + 11));

  for (int i = 0; i < 64; ++i) table[i] = uint16_t(i * 300);
  Sink w;
  ASSERT_EQ(0, ijWrite_DQT(2, 16, table, &w.s));
  const std::vector<uint8_t> wide = w.Written();
  ASSERT_EQ(133u, wide.size());
  EXPECT_EQ(Bytes({0xFF, 0xDB, 0, 131, 0x12, 0, 0, 0x01, 0x2C, 0x09, 0x60}),
            std::vector<uint8_t>(wide.begin(), wide.begin() + 11)); // 0, 300, 2400
  EXPECT_EQ(0x49, wide[131]);                                       // 63 x 300 = 0x49D4
  EXPECT_EQ(0xD4, wide[132]);

  Sink none;
  EXPECT_EQ(0, ijWrite_DQT(0, 12, table, &none.s));
  EXPECT_EQ(0, none.s.position);
}

TEST(Markers, HuffmanTables) {
  Sink k;
  ASSERT_EQ(0, ijWrite_DHT(0, 0, _DefLumDCHuffBits, _DefLumDCHuffValues, &k.s));
  std::vector<uint8_t> expect = Bytes({0xFF, 0xC4, 0, 31, 0x00});
  expect.insert(expect.end(), _DefLumDCHuffBits, _DefLumDCHuffBits + 16);
  expect.insert(expect.end(), _DefLumDCHuffValues, _DefLumDCHuffValues + 12);
  EXPECT_EQ(expect, k.Written());

  Sink a;
  ASSERT_EQ(0, ijWrite_DHT(1, 1, _DefChromACHuffBits, _DefChromACHuffValues, &a.s));
  const std::vector<uint8_t> ac = a.Written();
  ASSERT_EQ(162u + 21u, ac.size());
  EXPECT_EQ(Bytes({0xFF, 0xC4, 0, 181, 0x11}), std::vector<uint8_t>(ac.begin(), ac.begin() + 5));
  EXPECT_EQ(0xFA, ac.back());
}

TEST(Markers, FrameAndScanHeaders) {
  IjFrameSpec frame = {0xC0, 12, 40, 60, 3};
  IjComponentSpec comps[3] = {{0, 2, 2, 4, 0, 0, 0}, {1, 1, 1, 1, 1, 1, 1}, {2, 1, 1, 1, 1, 1, 1}};
  Sink k;
  ASSERT_EQ(0, ijWrite_SOF(&frame, comps, &k.s)); // precision always 8
  EXPECT_EQ(Bytes({0xFF, 0xC0, 0, 17, 8, 0, 40, 0, 60, 3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1}),
            k.Written());

  IjScanSpec scan = {0, 63, 0, 0, 3, {&comps[0], &comps[1], &comps[2], nullptr}};
  Sink s;
  ASSERT_EQ(0, ijWrite_SOS(&scan, &s.s));
  EXPECT_EQ(Bytes({0xFF, 0xDA, 0, 12, 3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0}), s.Written());

  IjScanSpec refine = {1, 5, 1, 2, 1, {&comps[1], nullptr, nullptr, nullptr}};
  Sink r;
  ASSERT_EQ(0, ijWrite_SOS(&refine, &r.s));
  EXPECT_EQ(Bytes({0xFF, 0xDA, 0, 8, 1, 2, 0x11, 1, 5, 0x12}), r.Written());

  IjScanSpec broken = {0, 63, 0, 0, 2, {&comps[0], nullptr, nullptr, nullptr}};
  EXPECT_EQ(IJ_STS_ARG, ijWrite_SOS(&broken, &r.s));
}

TEST(Markers, MotionSegments) {
  Sink k;
  const uint8_t wave[3] = {9, 8, 7};
  ASSERT_EQ(0, ijxAddWaveStream(wave, 3, &k.s));
  IjTimeStamp t = {0, 0x01020304, {0xA, 0xB, 0xC, 0xD, 0xE, 0xF}};
  ASSERT_EQ(0, ijxAddTimeStamp(&t, &k.s));
  t.flags = 1;
  ASSERT_EQ(0, ijxAddTimeStamp(&t, &k.s));
  t.flags = 2;
  ASSERT_EQ(0, ijxAddTimeStamp(&t, &k.s));
  t.flags = 3;
  ASSERT_EQ(0, ijxAddTimeStamp(&t, &k.s));
  EXPECT_EQ(Bytes({0xFF, 0xA2, 0, 5,  9,   8,   7,                                        // wave
                   0xFF, 0xA3, 0, 2,                                                      // nothing
                   0xFF, 0xA3, 0, 6,  1,   2,   3,   4,                                   // time
                   0xFF, 0xA3, 0, 8,  0xA, 0xB, 0xC, 0xD, 0xE, 0xF,                       // data
                   0xFF, 0xA3, 0, 12, 1,   2,   3,   4,   0xA, 0xB, 0xC, 0xD, 0xE, 0xF}), // both
            k.Written());
  std::vector<uint8_t> big(65534);
  Sink b(70000);
  EXPECT_EQ(IJ_STS_ARG, ijxAddWaveStream(big.data(), 65534, &b.s));
  EXPECT_EQ(IJ_STS_ARG, ijxAddWaveStream(nullptr, 3, &b.s));
  EXPECT_EQ(0, b.s.position);
}

TEST(Markers, SegmentsStartAtAByteBoundaryAfterZeroPadding) {
  Sink k;
  k.buf[0] = 0xFF;
  k.s.position = 3; // 111 written, then garbage
  ASSERT_EQ(0, ijWrite_Marker(0xD9, &k.s));
  EXPECT_EQ(Bytes({0xE0, 0xFF, 0xD9}), k.Written());
  EXPECT_EQ(24, k.s.position);
}

TEST(Markers, ASegmentThatDoesNotFitIsNotWritten) {
  uint16_t table[64] = {};
  Sink k(68); // DQT needs 69
  EXPECT_EQ(IJ_STS_STREAM_FULL, ijWrite_DQT(0, 8, table, &k.s));
  EXPECT_EQ(0, k.s.position);
  EXPECT_EQ(0xA5, k.buf[0]);
  Sink e(69);
  EXPECT_EQ(0, ijWrite_DQT(0, 8, table, &e.s));
  EXPECT_EQ(69 * 8, e.s.position);
  EXPECT_EQ(0xA5, e.buf[69]);

  // Partial byte plus a marker: the padding needs its own byte.
  Sink p(2);
  p.s.position = 1;
  p.buf[0] = 0x80;
  EXPECT_EQ(IJ_STS_STREAM_FULL, ijWrite_Marker(0xD9, &p.s));
  EXPECT_EQ(1, p.s.position);
  EXPECT_EQ(0x80, p.buf[0]);
}

TEST(Stream, WriteAdjustAndRead) {
  Sink k(8);
  const uint8_t three[3] = {1, 2, 3};
  ASSERT_EQ(0, ijWriteStreamBytes(three, 3, &k.s));
  EXPECT_EQ(24, k.s.position);
  k.s.position = 26;
  k.buf[3] = 0xFF;
  ASSERT_EQ(0, ijAdjustStream(&k.s));
  EXPECT_EQ(32, k.s.position);
  EXPECT_EQ(0xC0, k.buf[3]);
  ASSERT_EQ(0, ijAdjustStream(&k.s)); // on a boundary: unchanged
  EXPECT_EQ(32, k.s.position);
  EXPECT_EQ(IJ_STS_STREAM_FULL, ijWriteStreamBytes(three, 5, &k.s));
  ASSERT_EQ(0, ijWriteStreamBytes(three, 3, &k.s));
  EXPECT_EQ(56, k.s.position);
  EXPECT_EQ(IJ_STS_ARG, ijWriteStreamBytes(three, -1, &k.s));
  EXPECT_EQ(IJ_STS_ARG, ijWriteStreamBytes(nullptr, 1, &k.s));

  k.s.position = 3; // reads start at the next byte boundary
  uint8_t got[2];
  ASSERT_EQ(0, ijReadStreamBytes(got, 2, &k.s));
  EXPECT_EQ(2, got[0]);
  EXPECT_EQ(3, got[1]);
  EXPECT_EQ(24, k.s.position);
  uint8_t many[8];
  EXPECT_EQ(IJ_STS_STREAM_FULL, ijReadStreamBytes(many, 6, &k.s));
  EXPECT_EQ(24, k.s.position);

  // Capacity and position out of range are refused, never used.
  Sink n(8);
  n.s.capacity = -5;
  EXPECT_EQ(IJ_STS_STREAM_FULL, ijWriteStreamBytes(three, 1, &n.s));
  n.s.capacity = 8;
  n.s.position = -16;
  EXPECT_EQ(IJ_STS_STREAM_FULL, ijWriteStreamBytes(three, 1, &n.s));
  EXPECT_EQ(IJ_STS_STREAM_FULL, ijAdjustStream(&n.s));
  n.s.position = 9 * 8;
  EXPECT_EQ(IJ_STS_STREAM_FULL, ijWriteStreamBytes(three, 0, &n.s));
  for (size_t i = 0; i < n.buf.size(); ++i) EXPECT_EQ(0xA5, n.buf[i]) << i;
}

} // namespace
