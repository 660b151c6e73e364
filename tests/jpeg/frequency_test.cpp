// Symbol frequencies: exact counts of hand-made blocks, the run and
// correction-bit bookkeeping of the progressive counters, agreement with the
// optimal tables libjpeg-turbo builds from its own counts, and optimal
// tables that code and decode the blocks they were counted from.
#include <stddef.h>
#include <string.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "decode_support.h"
#include "ijenc.h"

namespace {

struct Freq {
  int32_t f[257] = {};
  int Total() const {
    int n = 0;
    for (int32_t v : f) n += v;
    return n;
  }
};

IjHuffTableDef Optimal(const Freq &q) {
  int32_t codesize[257], others[257], bits[33];
  IjHuffTableDef d = {};
  EXPECT_EQ(0, ippiHuffmanTableSpecInit_JPEG_8u(q.f, codesize, others, bits, d.counts, d.values));
  return d;
}

TEST(FrequencyCounts, BaselineBlocksByHand) {
  Freq dc, ac;
  int16_t pred = 0;
  int16_t only63[64] = {};
  only63[63] = 1; // three ZRL and run 14 / size 1, no EOB
  ASSERT_EQ(0, ippiGetHuffmanFREQ_JPEG_16s(only63, dc.f, ac.f, &pred));
  EXPECT_EQ(1, dc.f[0]);
  EXPECT_EQ(3, ac.f[0xF0]);
  EXPECT_EQ(1, ac.f[0xE1]);
  EXPECT_EQ(1, dc.Total());
  EXPECT_EQ(4, ac.Total());

  int16_t b[64] = {};
  b[0] = 300;                      // difference 300: category 9
  b[1] = -3;                       // run 0, size 2
  b[_nIppIZigZagIndex[17]] = 1000; // 15 zeros between: run 15, size 10
  b[_nIppIZigZagIndex[34]] = -1;   // exactly 16 zeros: ZRL, then run 0
  ASSERT_EQ(0, ippiGetHuffmanFREQ_JPEG_16s(b, dc.f, ac.f, &pred));
  EXPECT_EQ(300, pred);
  EXPECT_EQ(1, dc.f[9]);
  EXPECT_EQ(1, ac.f[0x02]);
  EXPECT_EQ(1, ac.f[0xFA]);
  EXPECT_EQ(4, ac.f[0xF0]);
  EXPECT_EQ(1, ac.f[0x01]);
  EXPECT_EQ(1, ac.f[0x00]); // ends in zeros
  EXPECT_EQ(2, dc.Total());
  EXPECT_EQ(9, ac.Total());

  b[0] = -32768; // the widest difference against 300 wraps as the coder's does
  ASSERT_EQ(0, ippiGetHuffmanFREQ_JPEG_16s(b, dc.f, ac.f, &pred));
  EXPECT_EQ(1, dc.f[15]); // int16(-33068) = 32468
  EXPECT_EQ(IJ_STS_ARG, ippiGetHuffmanFREQ_JPEG_16s(b, nullptr, ac.f, &pred));

  // DC first at Al 2: -9 >> 2 = -3 against predictor 0, then 8 >> 2 = 2.
  Freq d;
  int16_t dp = 0, first[64] = {};
  first[0] = -9;
  ASSERT_EQ(0, ippiGetHuffmanFREQ_JPEG_DCFirst_16s(first, d.f, &dp, 2));
  first[0] = 8;
  ASSERT_EQ(0, ippiGetHuffmanFREQ_JPEG_DCFirst_16s(first, d.f, &dp, 2));
  EXPECT_EQ(2, dp);
  EXPECT_EQ(1, d.f[2]); // -3
  EXPECT_EQ(1, d.f[3]); // +5
  EXPECT_EQ(IJ_STS_ARG, ippiGetHuffmanFREQ_JPEG_DCFirst_16s(first, d.f, &dp, 14));
}

TEST(FrequencyCounts, ProgressiveRunsAndPendingBits) {
  // AC first: a run is counted only before the next value or at 32767.
  Freq ac;
  int16_t zero[64] = {}, one[64] = {};
  one[_nIppIZigZagIndex[2]] = -5;
  int32_t run = 32765;
  ASSERT_EQ(0, ippiGetHuffmanFREQ_JPEG_ACFirst_16s(zero, ac.f, &run, 1, 63, 0));
  EXPECT_EQ(32766, run);
  EXPECT_EQ(0, ac.Total());
  ASSERT_EQ(0, ippiGetHuffmanFREQ_JPEG_ACFirst_16s(zero, ac.f, &run, 1, 63, 0));
  EXPECT_EQ(0, run);
  EXPECT_EQ(1, ac.f[0xE0]);
  run = 3;
  ASSERT_EQ(0, ippiGetHuffmanFREQ_JPEG_ACFirst_16s(one, ac.f, &run, 1, 63, 1));
  EXPECT_EQ(1, ac.f[0x10]); // EOB1
  EXPECT_EQ(1, ac.f[0x12]); // run 1, |-5| >> 1 = 2
  EXPECT_EQ(1, run);        // the zero tail starts a new run
  EXPECT_EQ(3, ac.Total());
  ASSERT_EQ(0, ippiGetHuffmanFREQ_JPEG_ACFinal(&run, ac.f));
  EXPECT_EQ(0, run);
  EXPECT_EQ(1, ac.f[0x00]); // EOB0
  ASSERT_EQ(0, ippiGetHuffmanFREQ_JPEG_ACFinal(&run, ac.f));
  EXPECT_EQ(4, ac.Total()); // nothing pending, nothing counted

  // Refinement: 63 correction bits per block wait under the run; the 16th
  // block takes them past 961 and the run of 16 (EOB4) is counted.
  Freq r;
  int16_t threes[64];
  for (int16_t &v : threes) v = 3;
  alignas(32) uint8_t scratch[IJ_REFINE_SCRATCH_BYTES];
  int32_t rrun = 0, pending = 0;
  for (int i = 1; i <= 16; ++i) {
    ASSERT_EQ(
        0, ippiGetHuffmanFREQ_JPEG_ACRefine_16s(threes, r.f, &rrun, scratch, &pending, 1, 63, 0));
    if (i < 16) {
      EXPECT_EQ(i, rrun);
      EXPECT_EQ(63 * i, pending);
      EXPECT_EQ(0, r.Total());
    }
  }
  EXPECT_EQ(0, rrun);
  EXPECT_EQ(0, pending);
  EXPECT_EQ(1, r.f[0x40]);
  EXPECT_EQ(1, r.Total());

  // A newly significant value after a pending run: the run first.
  int16_t fresh[64] = {};
  fresh[_nIppIZigZagIndex[3]] = -1;
  fresh[_nIppIZigZagIndex[1]] = 6; // already significant: a correction bit
  rrun = 2;
  pending = 5;
  ASSERT_EQ(0,
            ippiGetHuffmanFREQ_JPEG_ACRefine_16s(fresh, r.f, &rrun, scratch, &pending, 1, 63, 0));
  EXPECT_EQ(1, r.f[0x10]); // EOB1 for the run of 2
  EXPECT_EQ(1, r.f[0x11]); // one zero skipped, then the new value
  EXPECT_EQ(1, rrun);      // the zero tail
  EXPECT_EQ(0, pending);   // the correction bit went out with the value

  int32_t badPending = 1000, badRun = 32767, negRun = -1;
  EXPECT_EQ(IJ_STS_ARG, ippiGetHuffmanFREQ_JPEG_ACRefine_16s(threes, r.f, &rrun, scratch,
                                                             &badPending, 1, 63, 0));
  EXPECT_EQ(IJ_STS_ARG,
            ippiGetHuffmanFREQ_JPEG_ACRefine_16s(threes, r.f, &rrun, nullptr, &pending, 1, 63, 0));
  EXPECT_EQ(IJ_STS_ARG, ippiGetHuffmanFREQ_JPEG_ACFirst_16s(zero, ac.f, &badRun, 1, 63, 0));
  EXPECT_EQ(IJ_STS_ARG, ippiGetHuffmanFREQ_JPEG_ACFirst_16s(zero, ac.f, &run, 0, 63, 0));
  EXPECT_EQ(IJ_STS_ARG, ippiGetHuffmanFREQ_JPEG_ACFinal(&negRun, ac.f));
}

// Our counts over every scan of a stream libjpeg-turbo wrote with optimised
// tables; the table built from them must be the one libjpeg put in front of
// the scan.
void ExpectLibjpegTables(const jd::Blocks &blocks, int bw, int bh, const jd::WriteOptions &o) {
  const std::vector<uint8_t> lj = jd::LibjpegWrite(blocks, bw, bh, o);
  const jd::Stream s = jd::Walk(lj);
  ASSERT_TRUE(s.ok) << s.error;
  ASSERT_EQ(o.restart, s.restart);
  const int count = bw * bh;
  alignas(32) uint8_t scratch[IJ_REFINE_SCRATCH_BYTES];
  int compared = 0;
  for (size_t n = 0; n < s.scans.size(); ++n) {
    const jd::Scan &sc = s.scans[n];
    SCOPED_TRACE("scan " + std::to_string(n));
    if (sc.ss == 0 && sc.ah > 0) continue; // DC refinement uses no table
    Freq dc, ac;
    int16_t pred = 0;
    int32_t run = 0, pending = 0, maxPending = 0;
    for (int b = 0; b < count; ++b) {
      if (s.restart && b > 0 && b % s.restart == 0) {
        ASSERT_EQ(0, ippiGetHuffmanFREQ_JPEG_ACFinal(&run, ac.f));
        pred = 0;
        pending = 0;
      }
      const int16_t *blk = &blocks[size_t(b) * 64];
      IjStatus st;
      if (sc.ss == 0 && sc.se == 63)
        st = ippiGetHuffmanFREQ_JPEG_16s(blk, dc.f, ac.f, &pred);
      else if (sc.ss == 0)
        st = ippiGetHuffmanFREQ_JPEG_DCFirst_16s(blk, dc.f, &pred, sc.al);
      else if (sc.ah == 0)
        st = ippiGetHuffmanFREQ_JPEG_ACFirst_16s(blk, ac.f, &run, sc.ss, sc.se, sc.al);
      else
        st = ippiGetHuffmanFREQ_JPEG_ACRefine_16s(blk, ac.f, &run, scratch, &pending, sc.ss, sc.se,
                                                  sc.al);
      ASSERT_EQ(0, st) << b;
      if (pending > maxPending) maxPending = pending;
    }
    ASSERT_EQ(0, ippiGetHuffmanFREQ_JPEG_ACFinal(&run, ac.f));
    // libjpeg flushes correction bits earlier (above 937): keep below that.
    ASSERT_LE(maxPending, 937);
    auto same = [&](const IjHuffTableDef &ours, const IjHuffTableDef &theirs, const char *what) {
      int total = 0;
      for (int i = 0; i < 16; ++i) total += ours.counts[i];
      EXPECT_EQ(0, memcmp(ours.counts, theirs.counts, 16)) << what;
      EXPECT_EQ(0, memcmp(ours.values, theirs.values, size_t(total))) << what;
      ++compared;
    };
    if (sc.ss == 0) {
      ASSERT_TRUE(sc.hasDc);
      same(Optimal(dc), sc.dc, "DC");
    }
    if (sc.se > 0 && sc.ss != 0) {
      ASSERT_TRUE(sc.hasAc);
      same(Optimal(ac), sc.ac, "AC");
    } else if (sc.ss == 0 && sc.se == 63) {
      same(Optimal(ac), sc.ac, "AC");
    }
  }
  EXPECT_GE(compared, 2);
}

TEST(FrequencyCounts, AgreeWithLibjpegsOptimisedTables) {
  {
    SCOPED_TRACE("baseline");
    ExpectLibjpegTables(jd::MakeBlocks(jd::Kind::Mixed, 11 * 6, 17), 11, 6, {false, true, 0});
  }
  {
    SCOPED_TRACE("baseline, restart 7");
    ExpectLibjpegTables(jd::MakeBlocks(jd::Kind::Sparse, 11 * 6, 18), 11, 6, {false, true, 7});
  }
  for (int restart : {0, 5}) {
    SCOPED_TRACE("progressive, restart " + std::to_string(restart));
    ExpectLibjpegTables(jd::PictureBlocks(12, 8, 19 + uint32_t(restart)), 12, 8,
                        {true, true, restart});
  }
}

// Every counted symbol has a code of 1 ... 16 bits, none of them all ones.
void ExpectUsableTable(const IjHuffTableDef &d, const Freq &q) {
  const IjHuffEncTable t = jd::EncTable(d);
  for (int sym = 0; sym < 256; ++sym) {
    if (q.f[sym] == 0) continue;
    const int len = t.length[sym];
    ASSERT_GE(len, 1) << sym;
    ASSERT_LE(len, 16) << sym;
    EXPECT_NE((1u << len) - 1, t.code[sym]) << sym;
  }
}

TEST(FrequencyCounts, OptimalBaselineTablesCodeAndDecodeTheirBlocks) {
  for (jd::Kind kind : {jd::Kind::Sparse, jd::Kind::Dense, jd::Kind::Extreme, jd::Kind::Mixed}) {
    SCOPED_TRACE(int(kind));
    const int count = 300;
    const jd::Blocks blocks = jd::MakeBlocks(kind, count, 40 + uint32_t(kind));
    Freq dc, ac;
    int16_t pred = 0;
    for (int b = 0; b < count; ++b)
      ASSERT_EQ(0, ippiGetHuffmanFREQ_JPEG_16s(&blocks[size_t(b) * 64], dc.f, ac.f, &pred));
    EXPECT_EQ(count, dc.Total());
    const IjHuffTableDef dcDef = Optimal(dc), acDef = Optimal(ac);
    ExpectUsableTable(dcDef, dc);
    ExpectUsableTable(acDef, ac);

    const std::vector<uint8_t> opt =
        jd::EncodeBaseline(blocks, jd::EncTable(dcDef), jd::EncTable(acDef), 0);
    const std::vector<uint8_t> def =
        jd::EncodeBaseline(blocks, jd::EncTable(jd::Def(_DefLumDCHuffBits, _DefLumDCHuffValues)),
                           jd::EncTable(jd::Def(_DefLumACHuffBits, _DefLumACHuffValues)), 0);
    EXPECT_LE(opt.size(), def.size());

    const IjHuffDecTable ddc = jd::DecTable(dcDef), dac = jd::DecTable(acDef);
    int32_t pos = 0, marker = 0, bits = 0;
    uint32_t acc = 0;
    int16_t dpred = 0, block[64];
    for (int b = 0; b < count; ++b) {
      ASSERT_EQ(0, ippiDecodeHuffman_Direct_JPEG_1u16s(opt.data(), &pos, block, &dpred, &marker,
                                                       &acc, &bits, &ddc, &dac))
          << b;
      ASSERT_EQ(0, memcmp(block, &blocks[size_t(b) * 64], sizeof block)) << b;
    }
  }
}

TEST(FrequencyCounts, OptimalProgressiveTablesCodeAndDecodeTheirBlocks) {
  const int bw = 10, bh = 9, count = bw * bh;
  jd::Blocks blocks = jd::PictureBlocks(bw, bh, 77);
  const jd::Blocks extreme = jd::MakeBlocks(jd::Kind::Extreme, count, 3);
  std::copy(extreme.begin(), extreme.begin() + 64 * 5, blocks.begin() + 64 * 20);
  const std::vector<jd::ScanParams> script = {{0, 0, 0, 2},  {1, 2, 0, 1}, {3, 63, 0, 1},
                                              {1, 63, 1, 0}, {0, 0, 2, 1}, {0, 0, 1, 0}};
  // The tables of each scan from its counts.
  std::vector<IjHuffTableDef> tables;
  alignas(32) uint8_t scratch[IJ_REFINE_SCRATCH_BYTES];
  for (const jd::ScanParams &sc : script) {
    Freq q;
    int16_t pred = 0;
    int32_t run = 0, pending = 0;
    for (int b = 0; b < count; ++b) {
      const int16_t *blk = &blocks[size_t(b) * 64];
      IjStatus st = 0;
      if (sc.ss == 0 && sc.ah == 0)
        st = ippiGetHuffmanFREQ_JPEG_DCFirst_16s(blk, q.f, &pred, sc.al);
      else if (sc.ss > 0 && sc.ah == 0)
        st = ippiGetHuffmanFREQ_JPEG_ACFirst_16s(blk, q.f, &run, sc.ss, sc.se, sc.al);
      else if (sc.ss > 0)
        st = ippiGetHuffmanFREQ_JPEG_ACRefine_16s(blk, q.f, &run, scratch, &pending, sc.ss, sc.se,
                                                  sc.al);
      ASSERT_EQ(0, st) << b;
    }
    ASSERT_EQ(0, ippiGetHuffmanFREQ_JPEG_ACFinal(&run, q.f));
    tables.push_back(Optimal(q));
    if (q.Total()) ExpectUsableTable(tables.back(), q);
  }
  auto pick = [&](size_t n) { return tables[n]; };
  const std::vector<uint8_t> data = jd::EncodeProgressive(blocks, bw, bh, script, pick, pick);
  const jd::Stream s = jd::Walk(data);
  ASSERT_TRUE(s.ok) << s.error;
  const jd::Decoded d = jd::DecodeScans(data, s);
  ASSERT_TRUE(d.ok) << d.error;
  for (size_t i = 0; i < blocks.size(); ++i)
    ASSERT_EQ(blocks[i], d.blocks[i]) << "block " << i / 64 << " index " << i % 64;
}

} // namespace
