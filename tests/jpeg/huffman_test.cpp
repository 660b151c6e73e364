// Huffman tables and entropy coding: encode tables, the bit writer with
// stuffing, baseline blocks, restart markers, the bound on the stream, the
// progressive primitives (checked by libjpeg-turbo) and optimal tables.
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include <jpeglib.h>

#include <gtest/gtest.h>

#include "ijenc.h"
#include "jpeg_support.h"

namespace {

IjHuffEncTable Table(const uint8_t *bits, const uint8_t *values) {
  IjHuffEncTable t;
  EXPECT_EQ(0, ippiEncodeHuffmanTableInit_JPEG_8u(bits, values, &t));
  return t;
}

std::string Code(const IjHuffEncTable &t, int symbol) {
  std::string s;
  for (int b = t.length[symbol] - 1; b >= 0; --b) s += char('0' + ((t.code[symbol] >> b) & 1));
  return s;
}

std::string Bin(uint32_t v, int n) {
  std::string s;
  for (int b = n - 1; b >= 0; --b) s += char('0' + ((v >> b) & 1));
  return s;
}

const IjHuffEncTable kLumDc = Table(_DefLumDCHuffBits, _DefLumDCHuffValues);
const IjHuffEncTable kLumAc = Table(_DefLumACHuffBits, _DefLumACHuffValues);

TEST(HuffmanTables, CodesOfTheAnnexKTables) {
  EXPECT_EQ("00", Code(kLumDc, 0));
  EXPECT_EQ("010", Code(kLumDc, 1));
  EXPECT_EQ("110", Code(kLumDc, 5));
  EXPECT_EQ("1111110", Code(kLumDc, 9));
  EXPECT_EQ("111111110", Code(kLumDc, 11));
  EXPECT_EQ(0, kLumDc.length[12]);

  EXPECT_EQ("1010", Code(kLumAc, 0x00));
  EXPECT_EQ("11111111001", Code(kLumAc, 0xF0));
  EXPECT_EQ("00", Code(kLumAc, 0x01));
  EXPECT_EQ("1100", Code(kLumAc, 0x11));
  EXPECT_EQ("1111111111101011", Code(kLumAc, 0xE1));
  EXPECT_EQ("1111111111111110", Code(kLumAc, 0xFA));
  EXPECT_EQ(0, kLumAc.length[0x0B]); // no category 11 among AC values
  EXPECT_EQ(0, kLumAc.length[0x10]);

  const IjHuffEncTable chromDc = Table(_DefChromDCHuffBits, _DefChromDCHuffValues);
  EXPECT_EQ("01", Code(chromDc, 1));
  EXPECT_EQ("11111111110", Code(chromDc, 11));
}

TEST(HuffmanTables, DefaultTablesAreLibjpegsStandardTables) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  c.in_color_space = JCS_RGB;
  c.input_components = 3;
  jpeg_set_defaults(&c);
  struct {
    JHUFF_TBL *ref;
    const uint8_t *bits, *values;
  } sets[] = {{c.dc_huff_tbl_ptrs[0], _DefLumDCHuffBits, _DefLumDCHuffValues},
              {c.dc_huff_tbl_ptrs[1], _DefChromDCHuffBits, _DefChromDCHuffValues},
              {c.ac_huff_tbl_ptrs[0], _DefLumACHuffBits, _DefLumACHuffValues},
              {c.ac_huff_tbl_ptrs[1], _DefChromACHuffBits, _DefChromACHuffValues}};
  for (auto &s : sets) {
    int n = 0;
    for (int i = 0; i < 16; ++i) {
      ASSERT_EQ(s.ref->bits[i + 1], s.bits[i]) << i;
      n += s.bits[i];
    }
    for (int i = 0; i < n; ++i) ASSERT_EQ(s.ref->huffval[i], s.values[i]) << i;
  }
  jpeg_destroy_compress(&c);
}

TEST(HuffmanTables, CountsThatAreNoPrefixCodeAreRefused) {
  const uint8_t threeOfOneBit[16] = {3};
  const uint8_t values[4] = {0, 1, 2};
  IjHuffEncTable t;
  EXPECT_EQ(IJ_STS_ARG, ippiEncodeHuffmanTableInit_JPEG_8u(threeOfOneBit, values, &t));
  const uint8_t full[16] = {2}; // "0" and "1": complete, still a prefix code
  EXPECT_EQ(0, ippiEncodeHuffmanTableInit_JPEG_8u(full, values, &t));
}

TEST(BitWriter, KeepsWrittenBitsClearsTheRestAndStuffs) {
  uint8_t buf[16];
  memset(buf, 0xAA, sizeof buf);
  int32_t pos = 0;
  _IppWriteStreamBits(0x5, 3, buf, &pos); // 101
  EXPECT_EQ(3, pos);
  EXPECT_EQ(0xA0, buf[0]);
  EXPECT_EQ(0xAA, buf[1]);                 // no byte completed, nothing beyond touched
  _IppWriteStreamBits(0x1F, 5, buf, &pos); // 10111111
  EXPECT_EQ(8, pos);
  EXPECT_EQ(0xBF, buf[0]);
  EXPECT_EQ(0x00, buf[1]); // the byte after a completed one is cleared

  // Two halves making 0xFF: a zero byte is stuffed and counted.
  _IppWriteStreamBits(0xF, 4, buf, &pos);
  _IppWriteStreamBits(0xF, 4, buf, &pos);
  EXPECT_EQ(24, pos);
  EXPECT_EQ(0xFF, buf[1]);
  EXPECT_EQ(0x00, buf[2]);

  // Garbage below the position is cleared, bits above it kept.
  buf[3] = 0xFF;
  pos = 3 * 8 + 3;
  _IppWriteStreamBits(0, 2, buf, &pos);
  EXPECT_EQ(0xE0, buf[3]);
  EXPECT_EQ(29, pos);

  _IppWriteStreamBits(1, 0, buf, &pos); // nothing
  _IppWriteStreamBits(1, -3, buf, &pos);
  EXPECT_EQ(29, pos);

  uint8_t wide[12];
  int32_t p = 0;
  _IppWriteStreamBits(0xFFFFFFFF, 32, wide, &p);
  EXPECT_EQ(64, p);
  EXPECT_EQ(jt::Bytes({0xFF, 0, 0xFF, 0, 0xFF, 0, 0xFF, 0, 0}),
            std::vector<uint8_t>(wide, wide + 9));
}

struct Coded {
  std::vector<uint8_t> bytes;
  int32_t position;
  int16_t pred;
};

Coded CodeBlock(const int16_t *block, int16_t pred, int32_t start = 0) {
  std::vector<uint8_t> buf(IJ_MAX_BLOCK_BYTES + 8, 0);
  int32_t pos = start;
  EXPECT_EQ(0,
            ippiEncodeHuffman_Direct_JPEG_16s1u(block, buf.data(), &pos, &pred, &kLumDc, &kLumAc));
  buf.resize(size_t(pos + 7) / 8);
  return {buf, pos, pred};
}

TEST(BaselineBlock, DcEqualToPredictorAndNoAcIsCategoryZeroThenEob) {
  int16_t block[64] = {};
  block[0] = 37;
  const Coded c = CodeBlock(block, 37);
  EXPECT_EQ(6, c.position);
  EXPECT_EQ(jt::Bytes({0x28}), c.bytes); // 00 1010
  EXPECT_EQ(37, c.pred);
}

TEST(BaselineBlock, OnlyCoefficient63IsThreeZrlAndRun14WithoutEob) {
  int16_t block[64] = {};
  block[63] = 1;
  const Coded c = CodeBlock(block, 0);
  EXPECT_EQ("00" + std::string("11111111001") + "11111111001" + "11111111001" + "1111111111101011" +
                "1",
            jt::Bits(c.bytes.data(), c.position));
  // The third byte completes as 0xFF and carries a stuffed zero.
  EXPECT_EQ(jt::Bytes({0x3F, 0xCF, 0xF9, 0xFF, 0x00, 0x3F, 0xFD, 0x70}), c.bytes);
  EXPECT_EQ(52 + 8, c.position);
}

TEST(BaselineBlock, DcDifferences) {
  int16_t block[64] = {};
  block[0] = 4; // -1 against 5: category 1, bit 0
  Coded c = CodeBlock(block, 5);
  EXPECT_EQ("010"
            "0"
            "1010",
            jt::Bits(c.bytes.data(), c.position));
  EXPECT_EQ(4, c.pred);
  block[0] = 6; // +1
  c = CodeBlock(block, 5);
  EXPECT_EQ("010"
            "1"
            "1010",
            jt::Bits(c.bytes.data(), c.position));
  block[0] = 300; // category 9: _csizetable[1] + 8
  c = CodeBlock(block, 0);
  EXPECT_EQ("1111110" + Bin(300, 9) + "1010", jt::Bits(c.bytes.data(), c.position));
  block[0] = -300; // one's complement: -301 in 9 bits
  c = CodeBlock(block, 0);
  EXPECT_EQ("1111110" + Bin(211, 9) + "1010", jt::Bits(c.bytes.data(), c.position));
  block[0] = -1000; // predictor 1000: difference -2000, category 11
  c = CodeBlock(block, 1000);
  EXPECT_EQ("111111110" + Bin(uint32_t(-2001) & 0x7FF, 11) + "1010",
            jt::Bits(c.bytes.data(), c.position));
}

TEST(BaselineBlock, AcRunsSizesAndSigns) {
  int16_t block[64] = {};
  block[1] = -3;                     // zig-zag 1: run 0, category 2, value bits of -4
  block[16] = 1;                     // zig-zag 3: run 1 after position 2
  block[3] = 2;                      // zig-zag 6: run 2
  block[_nIppIZigZagIndex[62]] = -1; // run 55 = 3 ZRL + run 7
  const Coded c = CodeBlock(block, 0);
  const std::string zrl = "11111111001";
  EXPECT_EQ("00" + std::string("01") + "00" + "1100" + "1" + Code(kLumAc, 0x22) + "10" + zrl + zrl +
                zrl + Code(kLumAc, 0x71) + "0" + "1010",
            jt::Bits(c.bytes.data(), c.position));

  // Sixteen zeros exactly before a value: one ZRL, then run 0.
  int16_t sixteen[64] = {};
  sixteen[_nIppIZigZagIndex[17]] = 1;
  const Coded s = CodeBlock(sixteen, 0);
  EXPECT_EQ("00" + zrl + "00" + "1" + "1010", jt::Bits(s.bytes.data(), s.position));
}

TEST(BaselineBlock, StartsInsideAPartlyWrittenByte) {
  int16_t block[64] = {};
  std::vector<uint8_t> buf(16, 0xFF);
  int32_t pos = 3; // three bits 111 written, the rest of the byte garbage
  int16_t pred = 0;
  ippiEncodeHuffman_Direct_JPEG_16s1u(block, buf.data(), &pos, &pred, &kLumDc, &kLumAc);
  EXPECT_EQ(9, pos);
  EXPECT_EQ(0xE5, buf[0]); // 111 00101 ...
  EXPECT_EQ(0x00, buf[1]); // ... 0 followed by cleared bits
}

// An encoder set up for a greyscale image, for the MCU-level calls.
struct GreyEncoder {
  std::vector<uint8_t> head = std::vector<uint8_t>(2048);
  IjStream stream = {};
  IjEncoder enc = {};
  std::vector<uint8_t> work;
  explicit GreyEncoder(int restart, int quality = 100) {
    IjImageSpec desc = {8, 8, 8, 8, 0, IJ_FMT_GRAY, 0, 0, 72, 72};
    stream.capacity = int32_t(head.size());
    stream.buffer = head.data();
    EXPECT_EQ(0, ijxCompressInit(quality, restart, 1, &desc, nullptr, nullptr, &stream, &enc));
    int32_t len = 0;
    ijxGetCompBufLen(&len, &enc);
    work.resize(static_cast<size_t>(len));
    EXPECT_EQ(0, ijxCompBufInit(work.data(), len, &enc));
    ijInitScanSpecFwd(&enc);
  }
};

TEST(Restart, MarkerAfterEveryIntervalWithPredictorsCleared) {
  GreyEncoder g(2);
  uint8_t out[64];
  IjStream s = {int32_t(sizeof out), 0, {0, 0, 0}, out};
  int16_t block[64] = {};
  block[0] = 9;
  int16_t *blocks[3] = {block, nullptr, nullptr};
  std::vector<std::string> parts;
  for (int mcu = 0; mcu < 4; ++mcu) {
    ASSERT_EQ(0, ijHuffmanEncode_Gray_BLS(blocks, &s, &g.enc));
    parts.push_back(jt::Bits(out, s.position));
  }
  // MCU 1: DC 9 in full; MCU 2: difference 0; 17 bits padded with zeros,
  // RST0; MCU 3 codes DC 9 in full again.
  const std::string dc9 = "101"
                          "1001"
                          "1010",
                    dc0 = "00"
                          "1010";
  EXPECT_EQ(dc9, parts[0]);
  EXPECT_EQ(dc9 + dc0 + "0000000" + "1111111111010000", parts[1]);
  EXPECT_EQ(parts[1] + dc9, parts[2]);
  EXPECT_EQ(parts[2] + dc0 + "0000000" + "1111111111010001", parts[3]);
  EXPECT_EQ(2, g.enc.restartIndex);
  EXPECT_EQ(2, g.enc.mcusToRestart);
}

TEST(Restart, IndexRunsModuloEightAndPadsWithZeros) {
  GreyEncoder g(1);
  uint8_t out[8];
  IjStream s = {int32_t(sizeof out), 3, {0, 0, 0}, out};
  out[0] = 0xFF; // three bits 111 written, the rest garbage
  g.enc.restartIndex = 7;
  g.enc.dcPred[0] = 99;
  ASSERT_EQ(0, ijAdjustRestartIntervalFwd(&s, &g.enc));
  EXPECT_EQ(jt::Bytes({0xE0, 0xFF, 0xD7}), std::vector<uint8_t>(out, out + 3));
  EXPECT_EQ(24, s.position);
  EXPECT_EQ(0, g.enc.restartIndex);
  EXPECT_EQ(0, g.enc.dcPred[0]);
  EXPECT_EQ(1, g.enc.mcusToRestart);
}

// A block that codes to many bytes: noise at quality 100.
void NoiseBlock(int16_t *block, uint32_t seed) {
  for (int i = 0; i < 64; ++i) {
    seed = seed * 1664525u + 1013904223u;
    block[i] = int16_t(int(seed >> 22) - 512);
  }
}

TEST(StreamBound, McuCoderNeverWritesPastTheCapacity) {
  GreyEncoder g(0);
  int16_t block[64];
  NoiseBlock(block, 11);
  int16_t *blocks[3] = {block, nullptr, nullptr};

  // How long the MCU is with plenty of room.
  std::vector<uint8_t> roomy(4096, 0);
  IjStream r = {int32_t(roomy.size()), 5, {0, 0, 0}, roomy.data()};
  g.enc.dcPred[0] = 0;
  ASSERT_EQ(0, ijHuffmanEncode_Gray_BLS(blocks, &r, &g.enc));
  const int32_t needed = (r.position + 7) / 8;
  ASSERT_GT(needed, 60);

  for (int32_t cap = 0; cap <= needed + 2; ++cap) {
    std::vector<uint8_t> buf(size_t(cap) + 64, 0xA5);
    IjStream s = {cap, 5, {0, 0, 0}, buf.data()};
    if (cap > 0) buf[0] = 0; // the five bits already written
    g.enc.dcPred[0] = 0;
    const IjStatus st = ijHuffmanEncode_Gray_BLS(blocks, &s, &g.enc);
    for (size_t i = size_t(cap); i < buf.size(); ++i) ASSERT_EQ(0xA5, buf[i]) << cap << " " << i;
    if (cap < needed) {
      EXPECT_EQ(IJ_STS_STREAM_FULL, st) << cap;
      EXPECT_EQ(5, s.position);
    } else {
      ASSERT_EQ(0, st) << cap;
      EXPECT_EQ(r.position, s.position);
      EXPECT_EQ(0, memcmp(roomy.data(), buf.data(), size_t(needed))) << cap;
    }
  }

  // A position outside the buffer is refused, not used.
  std::vector<uint8_t> small(16, 0xA5);
  IjStream bad = {8, -8, {0, 0, 0}, small.data()};
  EXPECT_EQ(IJ_STS_STREAM_FULL, ijHuffmanEncode_Gray_BLS(blocks, &bad, &g.enc));
  bad.position = 9 * 8;
  EXPECT_EQ(IJ_STS_STREAM_FULL, ijHuffmanEncode_Gray_BLS(blocks, &bad, &g.enc));
  for (uint8_t b : small) EXPECT_EQ(0xA5, b);
}

TEST(StreamBound, RestartMarkerThatDoesNotFitIsRefused) {
  GreyEncoder g(1);
  int16_t block[64] = {};
  int16_t *blocks[3] = {block, nullptr, nullptr};
  uint8_t buf[8];
  memset(buf, 0xA5, sizeof buf);
  IjStream s = {2, 0, {0, 0, 0}, buf}; // room for the block, not for RST0 after it
  EXPECT_EQ(IJ_STS_STREAM_FULL, ijHuffmanEncode_Gray_BLS(blocks, &s, &g.enc));
  EXPECT_EQ(0xA5, buf[2]);
}

// A table holding every symbol, for progressive scans (whose end-of-band
// run symbols the default tables lack), built by the optimal-table procedure.
IjHuffTableDef AllSymbols() {
  int32_t freq[257] = {}, codesize[257], others[257], bits[33];
  for (int i = 0; i < 256; ++i) freq[i] = 1 + (i % 5 == 0 ? 40 : 0);
  IjHuffTableDef desc = {};
  EXPECT_EQ(
      0, ippiHuffmanTableSpecInit_JPEG_8u(freq, codesize, others, bits, desc.counts, desc.values));
  return desc;
}

// Builds a progressive greyscale JPEG of the blocks with the primitives:
// DC first (Al 1), AC first in two bands (Al 2), AC refinements down to
// Al 0 and a DC refinement; libjpeg-turbo must read back the same
// coefficients.
TEST(Progressive, LibjpegReadsBackWhatThePrimitivesWrite) {
  constexpr int kWide = 6, kHigh = 5, kBlocks = kWide * kHigh;
  const jt::Picture pic = jt::Synthetic(kWide * 8, kHigh * 8, 1, 4);
  std::vector<uint16_t> q(64);
  ijBuildEnQuantTable(ijCalcQuantQualityFactor(80), 0, _DefLumQuantTable, q.data());
  uint16_t recip[64];
  ASSERT_EQ(0, ippiDCTQuantFwdTableInit_JPEG_16u(q.data(), recip));
  std::vector<int16_t> coef(size_t(kBlocks) * 64);
  for (int b = 0; b < kBlocks; ++b)
    ippiDCTQuantLSFwd_JPEG_8u16s(&pic.pixels[size_t(b / kWide) * 8 * pic.width + (b % kWide) * 8],
                                 pic.width, &coef[size_t(b) * 64], recip);
  // Many blocks with zero tails, so that end-of-band runs occur.
  for (int b = 0; b < kBlocks; b += 2)
    for (int k = 20; k < 64; ++k) coef[size_t(b) * 64 + _nIppIZigZagIndex[k]] = 0;

  const IjHuffTableDef desc = AllSymbols();
  IjHuffEncTable table;
  ASSERT_EQ(0, ippiEncodeHuffmanTableInit_JPEG_8u(desc.counts, desc.values, &table));

  std::vector<uint8_t> buf(64 * 1024);
  IjStream s = {int32_t(buf.size()), 0, {0, 0, 0}, buf.data()};
  ASSERT_EQ(0, ijWrite_Marker(0xD8, &s));
  ASSERT_EQ(0, ijWrite_DQT(0, 8, q.data(), &s));
  IjFrameSpec frame = {0xC2, 8, kHigh * 8, kWide * 8, 1};
  IjComponentSpec comp = {0, 1, 1, 1, 0, 0, 0};
  ASSERT_EQ(0, ijWrite_SOF(&frame, &comp, &s));
  // DC symbols are categories (at most 15 for libjpeg): the default table.
  const IjHuffEncTable dcTable = Table(_DefLumDCHuffBits, _DefLumDCHuffValues);
  ASSERT_EQ(0, ijWrite_DHT(0, 0, _DefLumDCHuffBits, _DefLumDCHuffValues, &s));
  ASSERT_EQ(0, ijWrite_DHT(0, 1, desc.counts, desc.values, &s));

  alignas(32) uint8_t scratch[IJ_REFINE_SCRATCH_BYTES];
  int maxRun = 0;
  auto scan = [&](int ss, int se, int ah, int al) {
    IjScanSpec sc = {ss, se, ah, al, 1, {&comp, nullptr, nullptr, nullptr}};
    ASSERT_EQ(0, ijWrite_SOS(&sc, &s));
    int16_t pred = 0;
    int32_t run = 0, pending = 0;
    for (int b = 0; b < kBlocks; ++b) {
      const int16_t *blk = &coef[size_t(b) * 64];
      IjStatus st;
      if (ss == 0 && ah == 0)
        st = ippiEncodeHuffman_Direct_JPEG_DCFirst_16s1u(blk, buf.data(), &s.position, &pred, al,
                                                         &dcTable);
      else if (ss == 0)
        st = ippiEncodeHuffman_Direct_JPEG_DCRefine_16s1u(blk, buf.data(), &s.position, al);
      else if (ah == 0)
        st = ippiEncodeHuffman_Direct_JPEG_ACFirst_16s1u(blk, buf.data(), &s.position, &run, ss, se,
                                                         al, &table);
      else
        st = ippiEncodeHuffman_Direct_JPEG_ACRefine_16s1u(blk, buf.data(), &s.position, &run,
                                                          scratch, &pending, ss, se, al, &table);
      ASSERT_EQ(0, st);
      if (run > maxRun) maxRun = run;
    }
    if (ss > 0) {
      ASSERT_EQ(0, ippiEncodeHuffman_Direct_JPEG_ACFinal(&run, scratch, &pending, buf.data(),
                                                         &s.position, &table));
    }
    EXPECT_EQ(0, run);
    EXPECT_EQ(0, pending);
    ASSERT_EQ(0, ijAdjustStream(&s));
  };
  scan(0, 0, 0, 1);
  scan(1, 5, 0, 2);
  scan(6, 63, 0, 2);
  scan(1, 5, 2, 1);
  scan(6, 63, 2, 1);
  scan(1, 5, 1, 0);
  scan(6, 63, 1, 0);
  scan(0, 0, 1, 0);
  ASSERT_EQ(0, ijWrite_Marker(0xD9, &s));
  EXPECT_GE(maxRun, 2) << "end-of-band runs were exercised";

  buf.resize(size_t(s.position / 8));
  const jt::Coefficients got = jt::ReadCoefficients(buf);
  ASSERT_TRUE(got.ok) << got.error;
  ASSERT_EQ(1u, got.component.size());
  ASSERT_EQ(kWide, got.blocksWide[0]);
  ASSERT_EQ(kHigh, got.blocksHigh[0]);
  for (size_t i = 0; i < coef.size(); ++i)
    ASSERT_EQ(coef[i], got.component[0][i]) << "block " << i / 64 << " index " << i % 64;
}

TEST(Progressive, AcFirstFlushesTheRunAt32767) {
  const IjHuffTableDef desc = AllSymbols();
  IjHuffEncTable t;
  ippiEncodeHuffmanTableInit_JPEG_8u(desc.counts, desc.values, &t);
  int16_t zero[64] = {};
  uint8_t buf[64] = {};
  int32_t pos = 0, run = 32765;
  ASSERT_EQ(0, ippiEncodeHuffman_Direct_JPEG_ACFirst_16s1u(zero, buf, &pos, &run, 1, 63, 0, &t));
  EXPECT_EQ(32766, run);
  EXPECT_EQ(0, pos);
  ASSERT_EQ(0, ippiEncodeHuffman_Direct_JPEG_ACFirst_16s1u(zero, buf, &pos, &run, 1, 63, 0, &t));
  EXPECT_EQ(0, run);
  // EOB14 and the low 14 bits of 32767.
  EXPECT_EQ(Code(t, 0xE0) + std::string(14, '1'), jt::Bits(buf, pos));

  // A value after a pending run of 3: EOB1 with one bit, then the value.
  int16_t one[64] = {};
  one[_nIppIZigZagIndex[2]] = -5; // |-5| >> 1 = 2, written as ~2 in 2 bits
  pos = 0;
  run = 3;
  ASSERT_EQ(0, ippiEncodeHuffman_Direct_JPEG_ACFirst_16s1u(one, buf, &pos, &run, 1, 63, 1, &t));
  EXPECT_EQ(Code(t, 0x10) + "1" + Code(t, 0x12) + "01", jt::Bits(buf, pos));
  EXPECT_EQ(1, run); // the block's zero tail starts a new run, not yet written
}

TEST(Progressive, RefinementFlushesWhenTooManyCorrectionBitsWait) {
  const IjHuffTableDef desc = AllSymbols();
  IjHuffEncTable t;
  ippiEncodeHuffmanTableInit_JPEG_8u(desc.counts, desc.values, &t);
  int16_t block[64];
  for (int16_t &v : block) v = 3; // every coefficient already significant at Al 0
  alignas(32) uint8_t scratch[IJ_REFINE_SCRATCH_BYTES];
  std::vector<uint8_t> buf(4096);
  int32_t pos = 0, run = 0, pending = 0;
  int calls = 0;
  // 63 correction bits per block: the 16th block takes the count past 961.
  while (calls < 20) {
    ASSERT_EQ(0, ippiEncodeHuffman_Direct_JPEG_ACRefine_16s1u(block, buf.data(), &pos, &run,
                                                              scratch, &pending, 1, 63, 0, &t));
    ++calls;
    if (run == 0) break;
    EXPECT_EQ(calls, run);
    EXPECT_EQ(63 * calls, pending);
    EXPECT_EQ(0, pos);
  }
  EXPECT_EQ(16, calls);
  EXPECT_EQ(0, pending);
  // EOB run 16 (EOB4 and 4 bits), then 1008 correction bits of 1.
  EXPECT_EQ(Code(t, 0x40) + "0000" + std::string(16 * 63, '1'), jt::Bits(buf.data(), pos));

  int32_t badPending = 1000;
  EXPECT_EQ(IJ_STS_ARG, ippiEncodeHuffman_Direct_JPEG_ACRefine_16s1u(
                            block, buf.data(), &pos, &run, scratch, &badPending, 1, 63, 0, &t));
  EXPECT_EQ(IJ_STS_ARG, ippiEncodeHuffman_Direct_JPEG_ACFirst_16s1u(block, buf.data(), &pos, &run,
                                                                    0, 63, 0, &t));
  EXPECT_EQ(IJ_STS_ARG, ippiEncodeHuffman_Direct_JPEG_ACFirst_16s1u(block, buf.data(), &pos, &run,
                                                                    1, 64, 0, &t));
}

TEST(Progressive, DcMcuCodersCodeGreyAnd444AndRefuseSubsampling) {
  GreyEncoder g(0);
  int16_t y[64] = {}, cb[64] = {}, cr[64] = {};
  y[0] = 12; // >> 1 = 6: category 3
  int16_t *blocks[3] = {y, cb, cr};
  uint8_t out[32] = {};
  IjStream s = {int32_t(sizeof out), 0, {0, 0, 0}, out};
  ASSERT_EQ(0, ijHuffmanEncode_Gray_DC(blocks, 0, 1, &s, &g.enc));
  EXPECT_EQ("100"
            "110",
            jt::Bits(out, s.position));
  ASSERT_EQ(0, ijHuffmanEncode_Gray_DC(blocks, 1, 0, &s, &g.enc)); // bit 0 of 12
  EXPECT_EQ("100"
            "110"
            "0",
            jt::Bits(out, s.position));
  EXPECT_EQ(IJ_STS_MODE, ijHuffmanEncode_422_DC(blocks, 0, 0, &s, &g.enc));
  EXPECT_EQ(IJ_STS_MODE, ijHuffmanEncode_411_DC(blocks, 0, 0, &s, &g.enc));
}

TEST(OptimalTable, SmallAlphabetByHand) {
  int32_t freq[257] = {}, codesize[257], others[257], bits[33];
  freq[0] = 5;
  freq[1] = 3;
  freq[2] = 1;
  uint8_t counts[16], values[256];
  ASSERT_EQ(0, ippiHuffmanTableSpecInit_JPEG_8u(freq, codesize, others, bits, counts, values));
  const uint8_t expect[16] = {1, 1, 1};
  EXPECT_EQ(0, memcmp(expect, counts, 16));
  EXPECT_EQ(jt::Bytes({0, 1, 2}), std::vector<uint8_t>(values, values + 3));
  EXPECT_EQ(5, freq[0]); // the caller's frequencies stay
  IjHuffEncTable t;
  ASSERT_EQ(0, ippiEncodeHuffmanTableInit_JPEG_8u(counts, values, &t));
  EXPECT_EQ("0", Code(t, 0));
  EXPECT_EQ("10", Code(t, 1));
  EXPECT_EQ("110", Code(t, 2)); // never all ones
}

TEST(OptimalTable, SkewedFrequenciesAreLimitedToSixteenBits) {
  int32_t freq[257] = {}, codesize[257], others[257], bits[33];
  int32_t a = 1, b = 1;
  for (int i = 0; i < 40; ++i) { // Fibonacci: a tree 40 deep before limiting
    freq[i * 3] = a;
    const int32_t next = a + b > 100000000 ? 100000000 : a + b;
    a = b;
    b = next;
  }
  uint8_t counts[16], values[256];
  ASSERT_EQ(0, ippiHuffmanTableSpecInit_JPEG_8u(freq, codesize, others, bits, counts, values));
  int n = 0;
  double kraft = 0;
  for (int l = 1; l <= 16; ++l) {
    n += counts[l - 1];
    kraft += counts[l - 1] / double(1 << l);
  }
  EXPECT_EQ(40, n);
  EXPECT_LT(kraft, 1.0); // room left where the reserved code was
  IjHuffEncTable t;
  ASSERT_EQ(0, ippiEncodeHuffmanTableInit_JPEG_8u(counts, values, &t));
  for (int i = 0; i < 40; ++i) {
    EXPECT_GE(t.length[i * 3], 1);
    EXPECT_LE(t.length[i * 3], 16);
  }
  EXPECT_LE(t.length[39 * 3], t.length[0]); // frequent symbols get short codes

  int32_t none[257] = {};
  ASSERT_EQ(0, ippiHuffmanTableSpecInit_JPEG_8u(none, codesize, others, bits, counts, values));
  for (int l = 0; l < 16; ++l) EXPECT_EQ(0, counts[l]);
}

} // namespace
