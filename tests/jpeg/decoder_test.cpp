// Huffman decoding: decode tables and their lookahead, the bit reader over
// stuffed bytes, fill bytes and markers, symbol decoding, and the baseline
// and progressive block decoders, against our own encoder and against
// streams libjpeg-turbo writes.
#include <stddef.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "decode_support.h"
#include "ijenc.h"
#include "jpeg_support.h"

namespace {

const IjHuffTableDef kLumDc = jd::Def(_DefLumDCHuffBits, _DefLumDCHuffValues);
const IjHuffTableDef kLumAc = jd::Def(_DefLumACHuffBits, _DefLumACHuffValues);
const IjHuffTableDef kChromDc = jd::Def(_DefChromDCHuffBits, _DefChromDCHuffValues);
const IjHuffTableDef kChromAc = jd::Def(_DefChromACHuffBits, _DefChromACHuffValues);

// Bits written with the encoder's bit writer, then the marker 0xFF code.
struct Bits {
  std::vector<uint8_t> buf = std::vector<uint8_t>(4096, 0);
  int32_t pos = 0;
  Bits &Put(uint32_t v, int n) {
    _IppWriteStreamBits(v, n, buf.data(), &pos);
    return *this;
  }
  Bits &Code(const IjHuffEncTable &t, int symbol) { return Put(t.code[symbol], t.length[symbol]); }
  std::vector<uint8_t> End(int marker = 0xD9) {
    std::vector<uint8_t> out(buf.begin(), buf.begin() + (pos + 7) / 8);
    out.push_back(0xFF);
    out.push_back(uint8_t(marker));
    return out;
  }
};

struct Reader {
  std::vector<uint8_t> data;
  int32_t pos = 0, marker = 0, bits = 0;
  uint32_t acc = 0;
  explicit Reader(std::vector<uint8_t> d) : data(std::move(d)) {}
  IjStatus Baseline(int16_t *block, int16_t *pred, const IjHuffDecTable &dc,
                    const IjHuffDecTable &ac) {
    return ippiDecodeHuffman_Direct_JPEG_1u16s(data.data(), &pos, block, pred, &marker, &acc, &bits,
                                               &dc, &ac);
  }
};

TEST(DecodeTable, FieldsOfTheLuminanceDcTable) {
  IjHuffDecTable t;
  ASSERT_EQ(0, ippiDecodeHuffmanTableInit_JPEG_8u(_DefLumDCHuffBits, _DefLumDCHuffValues, &t));
  // Lengths 2 ... 9 hold 1, 5, 1, 1, 1, 1, 1, 1 codes.
  const uint16_t first[9] = {0, 0, 2, 14, 30, 62, 126, 254, 510};
  const uint16_t last[9] = {0xFFFF, 0, 6, 14, 30, 62, 126, 254, 510};
  const uint16_t index[9] = {0, 0, 1, 6, 7, 8, 9, 10, 11};
  for (int l = 0; l < 9; ++l) {
    EXPECT_EQ(first[l], t.firstCode[l]) << l + 1;
    EXPECT_EQ(last[l], t.lastCode[l]) << l + 1;
    EXPECT_EQ(index[l], t.valueIndex[l]) << l + 1;
  }
  for (int l = 9; l < 17; ++l) EXPECT_EQ(0xFFFF, t.lastCode[l]) << l + 1;
  // "00" fills 64 entries, "010" 32, "11111110" one; the 9-bit code none.
  EXPECT_EQ(0u | 2u << 16, t.lookahead[0x00]);
  EXPECT_EQ(0u | 2u << 16, t.lookahead[0x3F]);
  EXPECT_EQ(1u | 3u << 16, t.lookahead[0x40]);
  EXPECT_EQ(1u | 3u << 16, t.lookahead[0x5F]);
  EXPECT_EQ(5u | 3u << 16, t.lookahead[0xDF]);
  EXPECT_EQ(10u | 8u << 16, t.lookahead[0xFE]);
  EXPECT_EQ(0u, t.lookahead[0xFF]);
  EXPECT_EQ(11, t.values[11]);
}

TEST(DecodeTable, UnsafeDefinitionsAreRefused) {
  IjHuffDecTable t;
  const uint8_t values[256] = {};
  const uint8_t threeOfOneBit[16] = {3};
  EXPECT_EQ(IJ_STS_ARG, ippiDecodeHuffmanTableInit_JPEG_8u(threeOfOneBit, values, &t));
  uint8_t tooMany[16] = {};
  tooMany[15] = 255;
  tooMany[14] = 2; // 257 values
  EXPECT_EQ(IJ_STS_ARG, ippiDecodeHuffmanTableInit_JPEG_8u(tooMany, values, &t));
  // One code of every length 1 ... 15 and two of 16: the last is all ones.
  uint8_t allOnes[16];
  memset(allOnes, 1, sizeof allOnes);
  allOnes[15] = 2;
  EXPECT_EQ(IJ_STS_ARG, ippiDecodeHuffmanTableInit_JPEG_8u(allOnes, values, &t));
  allOnes[15] = 1;
  EXPECT_EQ(0, ippiDecodeHuffmanTableInit_JPEG_8u(allOnes, values, &t));
  EXPECT_EQ(0xFFFE, t.lastCode[15]);
  // Two 1-bit codes: complete, all ones of length 1 is fine.
  const uint8_t two[16] = {2};
  EXPECT_EQ(0, ippiDecodeHuffmanTableInit_JPEG_8u(two, values, &t));
  EXPECT_EQ(1, t.lastCode[0]);
  EXPECT_EQ(IJ_STS_ARG, ippiDecodeHuffmanTableInit_JPEG_8u(nullptr, values, &t));
  EXPECT_EQ(IJ_STS_ARG, ippiDecodeHuffmanTableInit_JPEG_8u(two, values, nullptr));
}

TEST(DecodeTable, DefaultDecoderTables) {
  IjDecoderTables d;
  memset(&d, 0xA5, sizeof d);
  ASSERT_EQ(0, ijBuildDefaultDecodeTables(&d));
  for (int c = 0; c < 4; ++c) {
    const int id = c == 1 || c == 2 ? 1 : 0;
    EXPECT_EQ(d.quantInvTable[id], d.quantInv[c]) << c;
    EXPECT_EQ(&d.huff[0][id], d.dcTable[c]) << c;
    EXPECT_EQ(&d.huff[1][id], d.acTable[c]) << c;
  }
  // The inverse tables of the unscaled Annex K tables.
  uint16_t q[64];
  int32_t inv[64];
  for (int t = 0; t < 2; ++t) {
    for (int i = 0; i < 64; ++i) q[i] = uint16_t(t ? _DefChromQuantTable[i] : _DefLumQuantTable[i]);
    ippiDCTQuantInvTableInit_JPEG_16u32s(q, inv);
    EXPECT_EQ(0, memcmp(inv, d.quantInvTable[t], sizeof inv)) << t;
  }
  EXPECT_EQ((16 * 4096 + 4) >> 3, d.quantInvTable[0][0]);
  EXPECT_EQ((17 * 4096 + 4) >> 3, d.quantInvTable[1][0]);
  const IjHuffDecTable chromDc = jd::DecTable(kChromDc), lumAc = jd::DecTable(kLumAc);
  EXPECT_EQ(0, memcmp(&chromDc, &d.huff[0][1], sizeof chromDc));
  EXPECT_EQ(0, memcmp(&lumAc, &d.huff[1][0], sizeof lumAc));

  // One table only: the chrominance entries stay as they were.
  IjDecoderTables one;
  memset(&one, 0xA5, sizeof one);
  ASSERT_EQ(0, ijBuildDecodeQuantTables(1, &one));
  EXPECT_EQ(d.quantInvTable[0][5], one.quantInvTable[0][5]);
  EXPECT_EQ(int32_t(0xA5A5A5A5), one.quantInvTable[1][0]);
  EXPECT_EQ(IJ_STS_ARG, ijBuildDefaultDecodeTables(nullptr));
}

TEST(BitReader, StuffedByteIsDataFillBytesAndMarkerStop) {
  const std::vector<uint8_t> data = {0x12, 0xFF, 0x00, 0x34, 0xFF, 0xFF, 0xD0, 0x56, 0x78};
  IjBitReader r = {data.data(), 0, 0, 0, 0};
  EXPECT_EQ(16, _IppPrefetchBits(&r));
  EXPECT_EQ(0x12FFu, r.acc & 0xFFFF);
  EXPECT_EQ(3, r.next);
  EXPECT_EQ(16, _IppPrefetchBits(&r)); // enough bits: nothing read
  EXPECT_EQ(3, r.next);
  r.bits = 0;
  EXPECT_EQ(8, _IppPrefetchBits(&r)); // 0x34, then fill and RST0
  EXPECT_EQ(0x34u, r.acc & 0xFF);
  EXPECT_EQ(0xD0, r.marker);
  EXPECT_EQ(7, r.next);               // just after the marker
  EXPECT_EQ(8, _IppPrefetchBits(&r)); // stopped for good
  EXPECT_EQ(7, r.next);
  // A bad reader reads nothing.
  IjBitReader bad = {data.data(), 0, 0, 40, 0};
  EXPECT_EQ(0, _IppPrefetchBits(&bad));
  EXPECT_EQ(0, bad.next);
}

TEST(SymbolDecoding, EveryCodeOfTheDefaultTablesInShuffledOrder) {
  int stuffed = 0;
  for (const IjHuffTableDef *def : {&kLumDc, &kChromDc, &kLumAc, &kChromAc}) {
    const IjHuffEncTable enc = jd::EncTable(*def);
    const IjHuffDecTable dec = jd::DecTable(*def);
    int n = 0;
    for (int i = 0; i < 16; ++i) n += def->counts[i];
    std::vector<int> order;
    uint32_t seed = 7;
    for (int rep = 0; rep < 4; ++rep)
      for (int i = 0; i < n; ++i) order.push_back(def->values[i]);
    for (size_t i = order.size() - 1; i > 0; --i) {
      seed = seed * 1664525u + 1013904223u;
      std::swap(order[i], order[(seed >> 8) % (i + 1)]);
    }
    Bits b;
    for (int sym : order) b.Code(enc, sym);
    const int pad = (8 - b.pos % 8) % 8;
    const std::vector<uint8_t> data = b.End();
    for (size_t i = 0; i + 1 < data.size(); ++i) stuffed += data[i] == 0xFF && data[i + 1] == 0;
    IjBitReader r = {data.data(), 0, 0, 0, 0};
    for (size_t i = 0; i < order.size(); ++i) ASSERT_EQ(order[i], _IppHuffDecode(&dec, &r)) << i;
    // The zero padding: the 2-bit code "00" of the first value once it fits,
    // else the end of the data.
    EXPECT_EQ(pad >= 2 ? int32_t(dec.values[0]) : IJ_HUFF_END_OF_DATA, _IppHuffDecode(&dec, &r));
    EXPECT_EQ(0xD9, r.marker);
    EXPECT_EQ(int32_t(data.size()), r.next);
  }
  EXPECT_GT(stuffed, 0);
}

TEST(SymbolDecoding, BadCodesCutCodesAndShortTails) {
  const IjHuffDecTable dc = jd::DecTable(kLumDc);
  // Sixteen ones match no luminance DC code.
  std::vector<uint8_t> ones = {0xFF, 0x00, 0xFF, 0x00, 0xFF, 0xD9};
  IjBitReader r = {ones.data(), 0, 0, 0, 0};
  EXPECT_EQ(IJ_HUFF_BAD_CODE, _IppHuffDecode(&dc, &r));

  // "1111110" (category 9) in the byte before the marker decodes; with only
  // "111111" left the code is cut off by the marker.
  const std::vector<uint8_t> cut = {0xFC, 0xFF, 0xD9};
  IjBitReader whole = {cut.data(), 0, 0, 0, 0};
  EXPECT_EQ(9, _IppHuffDecode(&dc, &whole));
  EXPECT_EQ(1, whole.bits);
  IjBitReader six = {cut.data(), 0, 0, 0, 0};
  _IppPrefetchBits(&six);
  six.bits = 6;
  six.acc = 0x3F;
  EXPECT_EQ(IJ_HUFF_END_OF_DATA, _IppHuffDecode(&dc, &six));
  EXPECT_EQ(6, six.bits);

  // Two bits "01" then "0" of a 3-bit code: left-aligned lookup of 3 bits.
  IjBitReader three = {cut.data(), 0, 0x2, 3, 0xD9}; // "010": category 1
  EXPECT_EQ(1, _IppHuffDecode(&dc, &three));
  EXPECT_EQ(0, three.bits);
  EXPECT_EQ(IJ_HUFF_END_OF_DATA, _IppHuffDecode(&dc, &three));

  // A 9-bit code through the long path, and a starting length out of range.
  const std::vector<uint8_t> nine = {0xFF, 0x00, 0x00, 0xFF, 0xD9}; // 111111110 ...
  IjBitReader l = {nine.data(), 0, 0, 0, 0};
  EXPECT_EQ(11, _IppHuffDecode(&dc, &l));
  EXPECT_EQ(IJ_HUFF_BAD_CODE, _IppDecodeLongBits(17, &dc, &l));
  EXPECT_EQ(IJ_HUFF_BAD_CODE, _IppDecodeLongBits(0, &dc, &l));
  IjBitReader l2 = {nine.data(), 0, 0, 0, 0};
  EXPECT_EQ(11, _IppDecodeLongBits(9, &dc, &l2));
  EXPECT_EQ(16 - 9, l2.bits);
}

std::vector<uint8_t> EncodeBaseline(const jd::Blocks &blocks, const IjHuffEncTable &dc,
                                    const IjHuffEncTable &ac, int restart) {
  return jd::EncodeBaseline(blocks, dc, ac, restart);
}

TEST(BaselineDecoding, RandomBlocksRoundTripWithRestarts) {
  const struct {
    jd::Kind kind;
    int restart;
    bool chroma;
  } cases[] = {{jd::Kind::Sparse, 0, false},  {jd::Kind::Dense, 7, false},
               {jd::Kind::Extreme, 3, false}, {jd::Kind::Mixed, 5, true},
               {jd::Kind::Extreme, 1, true},  {jd::Kind::Mixed, 0, true}};
  for (const auto &c : cases) {
    SCOPED_TRACE(int(c.kind) * 100 + c.restart + (c.chroma ? 1000 : 0));
    const int count = 200;
    const jd::Blocks blocks = jd::MakeBlocks(c.kind, count, 31 + uint32_t(c.restart));
    const IjHuffTableDef &dcDef = c.chroma ? kChromDc : kLumDc;
    const IjHuffTableDef &acDef = c.chroma ? kChromAc : kLumAc;
    const std::vector<uint8_t> data =
        EncodeBaseline(blocks, jd::EncTable(dcDef), jd::EncTable(acDef), c.restart);
    const IjHuffDecTable dc = jd::DecTable(dcDef), ac = jd::DecTable(acDef);

    Reader rd(data);
    int16_t pred = 0, block[64];
    int rsts = 0;
    for (int b = 0; b < count; ++b) {
      if (c.restart && b > 0 && b % c.restart == 0) {
        IjBitReader r = {rd.data.data(), rd.pos / 8, rd.acc, 0, rd.marker};
        _IppPrefetchBits(&r);
        ASSERT_EQ(0xD0 + (b / c.restart - 1) % 8, r.marker) << b;
        rd.pos = r.next * 8;
        rd.marker = rd.bits = 0;
        pred = 0;
        ++rsts;
      }
      ASSERT_EQ(0, rd.Baseline(block, &pred, dc, ac)) << b;
      ASSERT_EQ(0, memcmp(block, &blocks[size_t(b) * 64], sizeof block)) << b;
      ASSERT_EQ(blocks[size_t(b) * 64], pred) << b;
    }
    EXPECT_EQ(c.restart ? (count - 1) / c.restart : 0, rsts);
    // Nothing but padding is left before EOI.
    IjBitReader r = {rd.data.data(), rd.pos / 8, rd.acc, rd.bits, rd.marker};
    _IppPrefetchBits(&r);
    EXPECT_EQ(0xD9, r.marker);
    EXPECT_LT(r.bits, 8);
    EXPECT_EQ(int32_t(data.size()), r.next);
  }
}

TEST(BaselineDecoding, StuffedBytesInsideABlock) {
  int16_t block[64] = {}, pred = 0, out[64];
  block[63] = 1; // codes to 3F CF F9 FF 00 3F FD 70
  const std::vector<uint8_t> data =
      EncodeBaseline(jd::Blocks(block, block + 64), jd::EncTable(kLumDc), jd::EncTable(kLumAc), 0);
  ASSERT_EQ(jt::Bytes({0x3F, 0xCF, 0xF9, 0xFF, 0x00, 0x3F, 0xFD, 0x70, 0xFF, 0xD9}), data);
  const IjHuffDecTable dc = jd::DecTable(kLumDc), ac = jd::DecTable(kLumAc);
  Reader rd(data);
  memset(out, 0x55, sizeof out);
  ASSERT_EQ(0, rd.Baseline(out, &pred, dc, ac));
  EXPECT_EQ(0, memcmp(block, out, sizeof out));
}

TEST(BaselineDecoding, DataThatEndsEarly) {
  const IjHuffDecTable dc = jd::DecTable(kLumDc), ac = jd::DecTable(kLumAc);
  int16_t block[64], pred = 77;

  // Exhausted before the DC code: a zero block, 0, the marker in its slot.
  Reader end({0xFF, 0xD9, 0x11});
  memset(block, 0x55, sizeof block);
  ASSERT_EQ(0, end.Baseline(block, &pred, dc, ac));
  for (int16_t v : block) ASSERT_EQ(0, v);
  EXPECT_EQ(77, pred);
  EXPECT_EQ(0xD9, end.marker);
  EXPECT_EQ(16, end.pos);
  EXPECT_EQ(0, end.bits);

  // Cut inside the AC walk: what was decoded stays, the rest is zero.
  const IjHuffEncTable edc = jd::EncTable(kLumDc), eac = jd::EncTable(kLumAc);
  Bits b;
  b.Code(edc, 3).Put(5, 3).Code(eac, 0x02).Put(3, 2).Code(eac, 0x21).Put(1, 1);
  b.Put(0x7F, 7); // the start of code 0xF0 ("11111111001"), one zero of padding
  Reader cut(b.End());
  pred = 10;
  ASSERT_EQ(0, cut.Baseline(block, &pred, dc, ac));
  EXPECT_EQ(15, block[0]);
  EXPECT_EQ(3, block[_nIppIZigZagIndex[1]]);
  EXPECT_EQ(1, block[_nIppIZigZagIndex[4]]);
  int nonZero = 0;
  for (int16_t v : block) nonZero += v != 0;
  EXPECT_EQ(3, nonZero);
  EXPECT_EQ(0, cut.bits);
  EXPECT_EQ(0xD9, cut.marker);

  // A value cut off by the marker is corrupt data.
  Bits v;
  v.Code(edc, 11).Put(0x3, 2); // 9 of 11 value bits missing
  Reader val(v.End());
  EXPECT_EQ(IJ_STS_MODE, val.Baseline(block, &pred, dc, ac));
}

TEST(BaselineDecoding, CorruptDataGivesMinusTwo) {
  const IjHuffDecTable dc = jd::DecTable(kLumDc), ac = jd::DecTable(kLumAc);
  const IjHuffEncTable edc = jd::EncTable(kLumDc), eac = jd::EncTable(kLumAc);
  int16_t block[64], pred = 0;

  Reader noCode({0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0xD9});
  EXPECT_EQ(IJ_STS_MODE, noCode.Baseline(block, &pred, dc, ac));

  // Three ZRL reach position 49; run 15 then lands past 63.
  Bits past;
  past.Code(edc, 0).Code(eac, 0xF0).Code(eac, 0xF0).Code(eac, 0xF0).Code(eac, 0xF1).Put(1, 1);
  Reader p(past.End());
  memset(block, 0, sizeof block);
  EXPECT_EQ(IJ_STS_MODE, p.Baseline(block, &pred, dc, ac));
  // ... while run 14 lands on 63 exactly.
  Bits at;
  at.Code(edc, 0).Code(eac, 0xF0).Code(eac, 0xF0).Code(eac, 0xF0).Code(eac, 0xE1).Put(0, 1);
  Reader a(at.End());
  ASSERT_EQ(0, a.Baseline(block, &pred, dc, ac));
  EXPECT_EQ(-1, block[63]);

  // A DC category above 15 from a table that has one.
  const uint8_t counts[16] = {0, 2};
  const uint8_t values[2] = {15, 16};
  IjHuffDecTable odd;
  ASSERT_EQ(0, ippiDecodeHuffmanTableInit_JPEG_8u(counts, values, &odd));
  Reader big({0x7F, 0xFF, 0xFF, 0x00, 0xFF, 0xD9}); // "01": category 16
  EXPECT_EQ(IJ_STS_MODE, big.Baseline(block, &pred, odd, ac));
  Reader ok15({0x3F, 0xFF, 0x00, 0x80, 0xFF, 0xD9}); // "00": category 15, 15 ones = +32767
  pred = 0;
  ASSERT_EQ(0, ok15.Baseline(block, &pred, odd, ac));
  EXPECT_EQ(32767, pred);
}

TEST(BaselineDecoding, BadArgumentsAreRefused) {
  const IjHuffDecTable dc = jd::DecTable(kLumDc), ac = jd::DecTable(kLumAc);
  int16_t block[64], pred = 0;
  Reader r({0x00, 0xFF, 0xD9});
  r.pos = -8;
  EXPECT_EQ(IJ_STS_ARG, r.Baseline(block, &pred, dc, ac));
  r.pos = 0;
  r.bits = 33;
  EXPECT_EQ(IJ_STS_ARG, r.Baseline(block, &pred, dc, ac));
  r.bits = -1;
  EXPECT_EQ(IJ_STS_ARG, r.Baseline(block, &pred, dc, ac));
  r.bits = 0;
  EXPECT_EQ(IJ_STS_ARG, ippiDecodeHuffman_Direct_JPEG_1u16s(r.data.data(), &r.pos, block, &pred,
                                                            nullptr, &r.acc, &r.bits, &dc, &ac));
  EXPECT_EQ(0, r.pos); // nothing read
}

TEST(BaselineDecoding, ReadsWhatLibjpegAndOurEncoderWrite) {
  // libjpeg-turbo's coder with the default tables and restarts.
  const jd::Blocks blocks = jd::MakeBlocks(jd::Kind::Mixed, 12 * 7, 5);
  const std::vector<uint8_t> lj = jd::LibjpegWrite(blocks, 12, 7, {false, false, 5});
  const jd::Stream s = jd::Walk(lj);
  ASSERT_TRUE(s.ok) << s.error;
  ASSERT_EQ(5, s.restart);
  const jd::Decoded d = jd::DecodeScans(lj, s);
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_EQ(blocks, d.blocks);

  // Our encoder's stream of a picture, read by libjpeg-turbo and by us.
  jt::Settings set;
  set.restart = 3;
  set.quality = 90;
  const jt::Encoded e = jt::Encode(jt::Synthetic(72, 40, 1, 9), set);
  ASSERT_EQ(2, e.finish);
  const jt::Coefficients ref = jt::ReadCoefficients(e.bytes);
  ASSERT_TRUE(ref.ok) << ref.error;
  const jd::Stream es = jd::Walk(e.bytes);
  ASSERT_TRUE(es.ok) << es.error;
  const jd::Decoded ed = jd::DecodeScans(e.bytes, es);
  ASSERT_TRUE(ed.ok) << ed.error;
  EXPECT_EQ(ref.component[0], ed.blocks);
}

using Scan = jd::ScanParams;

std::vector<uint8_t> EncodeProgressive(const jd::Blocks &blocks, int bw, int bh,
                                       const std::vector<Scan> &scans,
                                       const IjHuffTableDef &acDef) {
  return jd::EncodeProgressive(
      blocks, bw, bh, scans, [&](size_t) { return kLumDc; }, [&](size_t) { return acDef; });
}

// Every symbol a progressive AC scan can use, with the frequent ones short.
IjHuffTableDef AllSymbols() {
  int32_t freq[257] = {}, codesize[257], others[257], bits[33];
  for (int i = 0; i < 256; ++i) freq[i] = 1 + (i % 16 <= 2 ? 50 : 0);
  IjHuffTableDef d = {};
  EXPECT_EQ(0, ippiHuffmanTableSpecInit_JPEG_8u(freq, codesize, others, bits, d.counts, d.values));
  return d;
}

const std::vector<Scan> kScript = {{0, 0, 0, 1},  {1, 5, 0, 2},  {6, 63, 0, 2}, {1, 5, 2, 1},
                                   {6, 63, 2, 1}, {1, 63, 1, 0}, {0, 0, 1, 0}};

TEST(ProgressiveDecoding, PrimitivesRoundTrip) {
  const int bw = 9, bh = 6;
  for (jd::Kind kind : {jd::Kind::Sparse, jd::Kind::Mixed}) {
    jd::Blocks blocks = jd::PictureBlocks(bw, bh, 3 + uint32_t(kind));
    if (kind == jd::Kind::Mixed) {
      const jd::Blocks extra = jd::MakeBlocks(jd::Kind::Mixed, bw * bh, 8);
      for (size_t i = 0; i < blocks.size(); i += 128) // every other block from the mix
        std::copy(extra.begin() + ptrdiff_t(i), extra.begin() + ptrdiff_t(i + 64),
                  blocks.begin() + ptrdiff_t(i));
    }
    const std::vector<uint8_t> data = EncodeProgressive(blocks, bw, bh, kScript, AllSymbols());
    const jd::Stream s = jd::Walk(data);
    ASSERT_TRUE(s.ok) << s.error;
    ASSERT_EQ(kScript.size(), s.scans.size());
    const jd::Decoded d = jd::DecodeScans(data, s);
    ASSERT_TRUE(d.ok) << d.error;
    for (size_t i = 0; i < blocks.size(); ++i)
      ASSERT_EQ(blocks[i], d.blocks[i]) << "block " << i / 64 << " index " << i % 64;
    // libjpeg-turbo agrees on what the stream holds.
    const jt::Coefficients ref = jt::ReadCoefficients(data);
    ASSERT_TRUE(ref.ok) << ref.error;
    EXPECT_EQ(ref.component[0], d.blocks);
  }
}

TEST(ProgressiveDecoding, ReadsWhatLibjpegWrites) {
  const int bw = 10, bh = 7;
  const jd::Blocks blocks = jd::PictureBlocks(bw, bh, 21);
  for (int restart : {0, 4, 1}) {
    SCOPED_TRACE(restart);
    const std::vector<uint8_t> lj = jd::LibjpegWrite(blocks, bw, bh, {true, true, restart});
    const jd::Stream s = jd::Walk(lj);
    ASSERT_TRUE(s.ok) << s.error;
    ASSERT_GE(s.scans.size(), 5u);
    const jd::Decoded d = jd::DecodeScans(lj, s);
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(blocks, d.blocks);
  }
}

struct Prog {
  std::vector<uint8_t> data;
  int32_t pos = 0, marker = 0, bits = 0, run = 0;
  uint32_t acc = 0;
  explicit Prog(std::vector<uint8_t> d) : data(std::move(d)) {}
  IjStatus AcFirst(int16_t *block, int ss, int se, int al, const IjHuffDecTable &t) {
    return ippiDecodeHuffman_Direct_JPEG_ACFirst_1u16s(data.data(), &pos, block, &run, &marker,
                                                       &acc, &bits, ss, se, al, &t);
  }
  IjStatus AcRefine(int16_t *block, int ss, int se, int al, const IjHuffDecTable &t) {
    return ippiDecodeHuffman_Direct_JPEG_ACRefine_1u16s(data.data(), &pos, block, &run, &marker,
                                                        &acc, &bits, ss, se, al, &t);
  }
};

TEST(ProgressiveDecoding, RunsBandsAndCorruptSymbols) {
  const IjHuffTableDef all = AllSymbols();
  const IjHuffEncTable e = jd::EncTable(all);
  const IjHuffDecTable t = jd::DecTable(all);
  int16_t block[64] = {};

  // EOB2 with bits "01": a run of 5 blocks, this one the first.
  Bits eob;
  eob.Code(e, 0x20).Put(1, 2).Code(e, 0x01).Put(1, 1).Code(e, 0x00);
  Prog p(eob.End());
  ASSERT_EQ(0, p.AcFirst(block, 1, 63, 0, t));
  EXPECT_EQ(4, p.run);
  const int32_t pos = p.pos;
  for (int i = 3; i >= 0; --i) {
    block[1] = 9;
    ASSERT_EQ(0, p.AcFirst(block, 1, 63, 0, t));
    EXPECT_EQ(i, p.run);
    EXPECT_EQ(9, block[1]); // untouched
  }
  EXPECT_EQ(pos, p.pos);
  block[1] = 0;
  ASSERT_EQ(0, p.AcFirst(block, 1, 63, 3, t)); // the 1 after the run, scaled by Al
  EXPECT_EQ(8, block[1]);

  // A value placed past Se: run 5 in a band of 1 ... 4.
  Bits past;
  past.Code(e, 0x51).Put(1, 1);
  Prog q(past.End());
  EXPECT_EQ(IJ_STS_MODE, q.AcFirst(block, 1, 4, 0, t));
  Prog q2(past.End());
  memset(block, 0, sizeof block);
  ASSERT_EQ(0, q2.AcFirst(block, 1, 6, 0, t));
  EXPECT_EQ(1, block[_nIppIZigZagIndex[6]]);

  // Refinement: a new value must be +-1.
  Bits two;
  two.Code(e, 0x02).Put(1, 2);
  Prog r(two.End());
  memset(block, 0, sizeof block);
  EXPECT_EQ(IJ_STS_MODE, r.AcRefine(block, 1, 63, 0, t));
  // ... and needs a zero left in the band for it.
  Bits full;
  full.Code(e, 0x01).Put(1, 1).Put(0, 3); // sign, then the correction bits of k = 1 ... 3
  Prog f(full.End());
  memset(block, 0, sizeof block);
  block[_nIppIZigZagIndex[2]] = 2;
  block[_nIppIZigZagIndex[3]] = -2;
  block[_nIppIZigZagIndex[1]] = 4;
  EXPECT_EQ(IJ_STS_MODE, f.AcRefine(block, 1, 3, 1, t));

  // Correction bits on the way to a new value and under an EOB: Al 1, so a
  // set bit adds 2 away from zero unless that bit is already there.
  Bits ref;
  ref.Code(e, 0x11).Put(1, 1); // skip one zero, then +2
  ref.Put(1, 1).Put(1, 1);     // k = 2: 4 -> 6, k = 3: -4 -> -6
  ref.Code(e, 0x00).Put(1, 1); // EOB; k = 5: -6 has bit 1 already
  Prog g(ref.End());
  memset(block, 0, sizeof block);
  block[_nIppIZigZagIndex[2]] = 4;
  block[_nIppIZigZagIndex[3]] = -4;
  block[_nIppIZigZagIndex[5]] = -6;
  ASSERT_EQ(0, g.AcRefine(block, 1, 6, 1, t));
  EXPECT_EQ(0, block[_nIppIZigZagIndex[1]]);
  EXPECT_EQ(6, block[_nIppIZigZagIndex[2]]);
  EXPECT_EQ(-6, block[_nIppIZigZagIndex[3]]);
  EXPECT_EQ(2, block[_nIppIZigZagIndex[4]]);
  EXPECT_EQ(-6, block[_nIppIZigZagIndex[5]]);
  EXPECT_EQ(0, block[_nIppIZigZagIndex[6]]);
  EXPECT_EQ(0, g.run);

  // Bands and runs outside the allowed ranges.
  Prog bad(eob.End());
  EXPECT_EQ(IJ_STS_ARG, bad.AcFirst(block, 0, 63, 0, t));
  EXPECT_EQ(IJ_STS_ARG, bad.AcFirst(block, 5, 4, 0, t));
  EXPECT_EQ(IJ_STS_ARG, bad.AcRefine(block, 1, 64, 0, t));
  EXPECT_EQ(IJ_STS_ARG, bad.AcRefine(block, 1, 63, 14, t));
  bad.run = -1;
  EXPECT_EQ(IJ_STS_ARG, bad.AcFirst(block, 1, 63, 0, t));
  EXPECT_EQ(0, bad.pos);
}

TEST(ProgressiveDecoding, DcPassesAndTheirEnd) {
  const IjHuffEncTable e = jd::EncTable(kLumDc);
  const IjHuffDecTable t = jd::DecTable(kLumDc);
  // DC first at Al 2: differences -5 then +3 against predictor 0.
  Bits b;
  b.Code(e, 3).Put(uint32_t(-5 - 1) & 7, 3).Code(e, 2).Put(3, 2);
  b.Put(1, 1).Put(0, 1); // two refinement bits
  std::vector<uint8_t> data = b.End();
  int32_t pos = 0, marker = 0, bits = 0;
  uint32_t acc = 0;
  int16_t block[64] = {}, pred = 0;
  ASSERT_EQ(0, ippiDecodeHuffman_Direct_JPEG_DCFirst_1u16s(data.data(), &pos, block, &pred, &marker,
                                                           &acc, &bits, 2, &t));
  EXPECT_EQ(-5, pred);
  EXPECT_EQ(-20, block[0]);
  ASSERT_EQ(0, ippiDecodeHuffman_Direct_JPEG_DCFirst_1u16s(data.data(), &pos, block, &pred, &marker,
                                                           &acc, &bits, 2, &t));
  EXPECT_EQ(-2, pred);
  EXPECT_EQ(-8, block[0]);
  ASSERT_EQ(0, ippiDecodeHuffman_Direct_JPEG_DCRefine_1u16s(data.data(), &pos, block, &marker, &acc,
                                                            &bits, 1));
  EXPECT_EQ(-6, block[0]); // -8 | 2
  ASSERT_EQ(0, ippiDecodeHuffman_Direct_JPEG_DCRefine_1u16s(data.data(), &pos, block, &marker, &acc,
                                                            &bits, 0));
  EXPECT_EQ(-6, block[0]);
  // The padding zeros left: refinement bits until the marker, then the end.
  int guard = 0;
  while (bits > 0 && guard++ < 8)
    ASSERT_EQ(0, ippiDecodeHuffman_Direct_JPEG_DCRefine_1u16s(data.data(), &pos, block, &marker,
                                                              &acc, &bits, 0));
  block[0] = 4;
  ASSERT_EQ(0, ippiDecodeHuffman_Direct_JPEG_DCRefine_1u16s(data.data(), &pos, block, &marker, &acc,
                                                            &bits, 0));
  EXPECT_EQ(4, block[0]);
  EXPECT_EQ(0xD9, marker);
  EXPECT_EQ(0, bits);
  EXPECT_EQ(int32_t(data.size() * 8), pos);
  EXPECT_EQ(IJ_STS_ARG, ippiDecodeHuffman_Direct_JPEG_DCRefine_1u16s(data.data(), &pos, block,
                                                                     &marker, &acc, &bits, 14));
  EXPECT_EQ(IJ_STS_ARG, ippiDecodeHuffman_Direct_JPEG_DCFirst_1u16s(data.data(), &pos, block, &pred,
                                                                    &marker, &acc, &bits, -1, &t));
}

} // namespace
