// Runs of coded data spliced into a stream: the same bits and bytes as
// writing everything in one go, at every bit offset, with 0xFF bytes that
// need their stuffing moved; and never a byte past the capacity.
#include <stdint.h>
#include <string.h>

#include <vector>

#include <gtest/gtest.h>

#include "ijint.h"
#include "jpeg_support.h"

namespace {

using jt::Rng;

struct Code {
  uint32_t value;
  int count; // 1 ... 24
};

// Codes that are often all ones, so that many bytes come out as 0xFF.
std::vector<Code> RandomCodes(Rng &rng, int n) {
  std::vector<Code> codes;
  for (int i = 0; i < n; ++i) {
    const int count = rng.In(1, 24);
    const uint32_t ones = (1u << count) - 1;
    codes.push_back({rng.In(0, 2) == 0 ? ones : rng.Next() & ones, count});
  }
  return codes;
}

// The codes written from the position on, as the coder writes them.
void Write(IjStream *s, const std::vector<Code> &codes) {
  ij::BitSink sink(s->buffer, s->position);
  for (const Code &c : codes) sink.Put(c.value, c.count);
  s->position = sink.Finish(s->buffer);
}

struct Piece {
  std::vector<uint8_t> bytes;
  int32_t bits = 0;
};

Piece Coded(const std::vector<Code> &codes) {
  Piece p;
  p.bytes.assign(codes.size() * 8 + 16, 0);
  IjStream s = {int32_t(p.bytes.size()), 0, {0, 0, 0}, p.bytes.data()};
  Write(&s, codes);
  p.bits = s.position;
  return p;
}

std::vector<uint8_t> Head(const std::vector<uint8_t> &buffer, int32_t bits) {
  return std::vector<uint8_t>(buffer.begin(), buffer.begin() + (bits + 7) / 8);
}

TEST(Splice, PiecesGiveTheStreamOfOneGo) {
  Rng rng{0x2545F491u};
  for (int trial = 0; trial < 400; ++trial) {
    SCOPED_TRACE(trial);
    const std::vector<Code> prefix = RandomCodes(rng, rng.In(0, 12));
    std::vector<std::vector<Code>> pieces(size_t(rng.In(1, 5)));
    for (auto &p : pieces) p = RandomCodes(rng, rng.In(0, 1) ? rng.In(0, 6) : rng.In(50, 600));

    std::vector<uint8_t> want(20000, 0), got(20000, 0);
    IjStream a = {int32_t(want.size()), 0, {0, 0, 0}, want.data()};
    IjStream b = {int32_t(got.size()), 0, {0, 0, 0}, got.data()};
    Write(&a, prefix);
    Write(&b, prefix);
    for (const auto &codes : pieces) {
      Write(&a, codes);
      const Piece p = Coded(codes);
      ASSERT_TRUE(ij::AppendCoded(&b, p.bytes.data(), p.bits));
      ASSERT_EQ(a.position, b.position);
    }
    EXPECT_EQ(Head(want, a.position), Head(got, b.position));
    // The rest of the last byte and the byte after a complete one are
    // cleared, as the coder leaves them, for what is written next.
    EXPECT_EQ(want[size_t(a.position / 8)], got[size_t(b.position / 8)]);
  }
}

TEST(Splice, NothingPastTheCapacity) {
  Rng rng{77};
  for (int trial = 0; trial < 200; ++trial) {
    SCOPED_TRACE(trial);
    const std::vector<Code> prefix = RandomCodes(rng, rng.In(0, 3));
    const Piece p = Coded(RandomCodes(rng, rng.In(1, 200)));
    // With ample room: the bytes the stream needs.
    std::vector<uint8_t> ample(8192, 0);
    IjStream s = {int32_t(ample.size()), 0, {0, 0, 0}, ample.data()};
    Write(&s, prefix);
    const int32_t start = s.position;
    ASSERT_TRUE(ij::AppendCoded(&s, p.bytes.data(), p.bits));
    const int32_t need = (s.position + 7) / 8;

    for (int32_t capacity = need - 3; capacity <= need + 1; ++capacity) {
      if (capacity < (start + 7) / 8) continue;
      std::vector<uint8_t> buffer(size_t(capacity) + 8, 0xA5);
      IjStream t = {capacity, 0, {0, 0, 0}, buffer.data()};
      Write(&t, prefix);
      const bool done = ij::AppendCoded(&t, p.bytes.data(), p.bits);
      // One byte beyond what the data needs is always room enough.
      if (capacity > need) {
        EXPECT_TRUE(done) << capacity;
      } else if (capacity < need) {
        EXPECT_FALSE(done) << capacity;
      }
      if (done) {
        EXPECT_EQ(s.position, t.position);
        EXPECT_EQ(Head(ample, s.position), Head(buffer, t.position));
      } else {
        EXPECT_EQ(start, t.position);
      }
      for (size_t i = size_t(capacity); i < buffer.size(); ++i)
        ASSERT_EQ(0xA5, buffer[i]) << "written past the capacity " << capacity;
    }
  }
}

// A marker cannot be shifted into the middle of a byte; on a byte boundary
// it is copied as it stands.  A stream whose position is beyond its
// capacity takes nothing.
TEST(Splice, MarkersAndBadPositions) {
  const uint8_t data[] = {0x12, 0xFF, 0xD3, 0x40};
  std::vector<uint8_t> buffer(64, 0);
  IjStream s = {64, 3, {0, 0, 0}, buffer.data()};
  EXPECT_FALSE(ij::AppendCoded(&s, data, 32));
  EXPECT_EQ(3, s.position);
  const uint8_t lone[] = {0x12, 0xFF};
  EXPECT_FALSE(ij::AppendCoded(&s, lone, 16)); // 0xFF without its zero
  EXPECT_EQ(3, s.position);

  s.position = 16;
  ASSERT_TRUE(ij::AppendCoded(&s, data, 30));
  EXPECT_EQ(46, s.position);
  EXPECT_EQ(0x12, buffer[2]);
  EXPECT_EQ(0xFF, buffer[3]);
  EXPECT_EQ(0xD3, buffer[4]);
  EXPECT_EQ(0x40, buffer[5]);

  s.position = 65 * 8;
  EXPECT_FALSE(ij::AppendCoded(&s, data, 8));
  EXPECT_TRUE(ij::AppendCoded(&s, data, 0));
  s.position = 8;
  EXPECT_FALSE(ij::AppendCoded(&s, nullptr, 8));
  EXPECT_FALSE(ij::AppendCoded(&s, data, -1));
}

// Stuffing that moves: 0xFF bytes that stop being 0xFF when shifted, and
// bytes that become 0xFF, in both the eight-byte steps and the single ones.
TEST(Splice, StuffingIsRedoneForTheShiftedBytes) {
  // Data bytes FF 80 (stuffed FF 00 80) after one bit 1: 1111 1111 | 1100 0000 | 0...
  const uint8_t data[] = {0xFF, 0x00, 0x80};
  std::vector<uint8_t> buffer(16, 0);
  IjStream s = {16, 1, {0, 0, 0}, buffer.data()};
  buffer[0] = 0x80;
  ASSERT_TRUE(ij::AppendCoded(&s, data, 24));
  EXPECT_EQ(1 + 24, s.position);
  const std::vector<uint8_t> want = {0xFF, 0x00, 0xC0, 0x00};
  EXPECT_EQ(want, std::vector<uint8_t>(buffer.begin(), buffer.begin() + 4));

  // Eight bytes 0xFE, taken in one step, after a one bit: the first
  // shifted byte becomes 0xFF and needs a zero, the others are 0x7F.
  std::vector<uint8_t> eight(8, 0xFE), out(32, 0);
  IjStream t = {32, 1, {0, 0, 0}, out.data()};
  out[0] = 0x80;
  ASSERT_TRUE(ij::AppendCoded(&t, eight.data(), 64));
  EXPECT_EQ(9 * 8 + 1, t.position);
  EXPECT_EQ(0xFF, out[0]);
  EXPECT_EQ(0x00, out[1]);
  for (int i = 2; i < 9; ++i) EXPECT_EQ(0x7F, out[size_t(i)]) << i;
  EXPECT_EQ(0x00, out[9]); // the last bit, a zero
}

} // namespace
