#include "decode_support.h"

#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

// jpeglib.h relies on stdio.h and stddef.h coming first.
#include <jpeglib.h>

namespace jd {

namespace {

uint32_t Next(uint32_t &s) {
  s = s * 1664525u + 1013904223u;
  return s >> 8;
}

int Between(uint32_t &s, int lo, int hi) {
  return lo + int(Next(s) % uint32_t(hi - lo + 1));
}

} // namespace

Blocks MakeBlocks(Kind kind, int count, uint32_t seed) {
  Blocks b(size_t(count) * 64, 0);
  int dc = 0;
  for (int n = 0; n < count; ++n) {
    int16_t *blk = &b[size_t(n) * 64];
    Kind k = kind;
    if (kind == Kind::Mixed) k = Kind(Next(seed) % 3);
    switch (k) {
    case Kind::Sparse: {
      dc = Between(seed, -200, 200);
      const int values = Between(seed, 0, 4);
      for (int i = 0; i < values; ++i)
        blk[_nIppIZigZagIndex[Between(seed, 1, 63)]] = int16_t(Between(seed, -40, 40));
      break;
    }
    case Kind::Dense:
      dc = Between(seed, -1023, 1023);
      for (int i = 1; i < 64; ++i) blk[i] = int16_t(Between(seed, -300, 300));
      break;
    default: {
      // DC alternating by exactly 2047; AC at +-1023 or +-512 (category 10).
      dc = (n & 1) ? 1023 : -1024;
      for (int i = 1; i < 64; ++i) {
        const int mag = Next(seed) % 4 == 0 ? 512 : 1023;
        blk[i] = int16_t(Next(seed) & 1 ? mag : -mag);
      }
      if (n % 3 == 0) blk[_nIppIZigZagIndex[63]] = 0; // a block that ends in EOB
      break;
    }
    }
    blk[0] = int16_t(dc);
  }
  return b;
}

Blocks PictureBlocks(int blocksWide, int blocksHigh, uint32_t seed) {
  const int count = blocksWide * blocksHigh;
  Blocks b(size_t(count) * 64, 0);
  for (int n = 0; n < count; ++n) {
    int16_t *blk = &b[size_t(n) * 64];
    blk[0] = int16_t(Between(seed, -60, 60) + (n % blocksWide) * 3);
    // Magnitudes falling with frequency; every third block is flat.
    const int last = n % 3 == 0 ? 0 : Between(seed, 1, 63);
    for (int k = 1; k <= last; ++k) {
      const int top = 1 + 96 / (k + 2);
      const int v = Between(seed, -top, top);
      if (Next(seed) % 3) blk[_nIppIZigZagIndex[k]] = int16_t(v);
    }
  }
  return b;
}

std::vector<uint8_t> LibjpegWrite(const Blocks &blocks, int bw, int bh, const WriteOptions &o) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char *mem = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &mem, &size);
  c.image_width = JDIMENSION(bw * 8);
  c.image_height = JDIMENSION(bh * 8);
  c.input_components = 1;
  c.in_color_space = JCS_GRAYSCALE;
  jpeg_set_defaults(&c);
  c.optimize_coding = o.optimize ? TRUE : FALSE;
  c.restart_interval = unsigned(o.restart);
  if (o.progressive) jpeg_simple_progression(&c);
  jvirt_barray_ptr arrays[1];
  arrays[0] = c.mem->request_virt_barray(reinterpret_cast<j_common_ptr>(&c), JPOOL_IMAGE, TRUE,
                                         JDIMENSION(bw), JDIMENSION(bh), 1);
  jpeg_write_coefficients(&c, arrays);
  for (int by = 0; by < bh; ++by) {
    JBLOCKARRAY row = c.mem->access_virt_barray(reinterpret_cast<j_common_ptr>(&c), arrays[0],
                                                JDIMENSION(by), 1, TRUE);
    for (int bx = 0; bx < bw; ++bx)
      for (int i = 0; i < 64; ++i) row[0][bx][i] = blocks[(size_t(by) * bw + bx) * 64 + i];
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::vector<uint8_t> out(mem, mem + size);
  free(mem);
  return out;
}

Stream Walk(const std::vector<uint8_t> &j) {
  Stream s;
  IjHuffTableDef defs[2][4] = {};
  bool have[2][4] = {};
  size_t p = 2;
  auto fail = [&](const char *why) {
    s.error = std::string(why) + " at " + std::to_string(p);
    return s;
  };
  if (j.size() < 4 || j[0] != 0xFF || j[1] != 0xD8) return fail("no SOI");
  for (;;) {
    if (p + 2 > j.size() || j[p] != 0xFF) return fail("no marker");
    while (p + 1 < j.size() && j[p + 1] == 0xFF) ++p;
    const int code = j[p + 1];
    p += 2;
    if (code == 0xD9) break;
    if (p + 2 > j.size()) return fail("short segment");
    const size_t len = size_t(j[p]) << 8 | j[p + 1];
    if (p + len > j.size() || len < 2) return fail("bad length");
    const uint8_t *seg = &j[p + 2];
    const size_t n = len - 2;
    if (code == 0xC0 || code == 0xC1 || code == 0xC2) {
      s.blocksHigh = ((seg[1] << 8 | seg[2]) + 7) / 8;
      s.blocksWide = ((seg[3] << 8 | seg[4]) + 7) / 8;
      if (seg[5] != 1) return fail("not greyscale");
    } else if (code == 0xDD) {
      s.restart = seg[0] << 8 | seg[1];
    } else if (code == 0xC4) {
      for (size_t q = 0; q < n;) {
        const int cls = seg[q] >> 4, id = seg[q] & 15;
        if (cls > 1 || id > 3) return fail("bad DHT");
        IjHuffTableDef &d = defs[cls][id];
        memcpy(d.counts, &seg[q + 1], 16);
        int total = 0;
        for (int i = 0; i < 16; ++i) total += d.counts[i];
        memcpy(d.values, &seg[q + 17], size_t(total));
        have[cls][id] = true;
        q += 17 + size_t(total);
      }
    }
    p += len;
    if (code != 0xDA) continue;
    Scan sc;
    const int td = seg[2] >> 4, ta = seg[2] & 15;
    sc.ss = seg[3];
    sc.se = seg[4];
    sc.ah = seg[5] >> 4;
    sc.al = seg[5] & 15;
    sc.data = p;
    if (td < 4 && have[0][td]) {
      sc.dc = defs[0][td];
      sc.hasDc = true;
    }
    if (ta < 4 && have[1][ta]) {
      sc.ac = defs[1][ta];
      sc.hasAc = true;
    }
    s.scans.push_back(sc);
    // Past the entropy-coded data: to the next marker that is no RSTn.
    for (; p + 1 < j.size(); ++p)
      if (j[p] == 0xFF && j[p + 1] != 0 && j[p + 1] != 0xFF && (j[p + 1] & 0xF8) != 0xD0) break;
  }
  s.ok = true;
  return s;
}

IjHuffEncTable EncTable(const IjHuffTableDef &d) {
  IjHuffEncTable t;
  ippiEncodeHuffmanTableInit_JPEG_8u(d.counts, d.values, &t);
  return t;
}

IjHuffDecTable DecTable(const IjHuffTableDef &d) {
  IjHuffDecTable t;
  ippiDecodeHuffmanTableInit_JPEG_8u(d.counts, d.values, &t);
  return t;
}

IjHuffTableDef Def(const uint8_t *counts, const uint8_t *values) {
  IjHuffTableDef d = {};
  memcpy(d.counts, counts, 16);
  int n = 0;
  for (int i = 0; i < 16; ++i) n += counts[i];
  memcpy(d.values, values, size_t(n));
  return d;
}

std::vector<uint8_t> EncodeBaseline(const Blocks &blocks, const IjHuffEncTable &dc,
                                    const IjHuffEncTable &ac, int restart) {
  const int count = int(blocks.size() / 64);
  std::vector<uint8_t> buf(size_t(count + 4) * (IJ_MAX_BLOCK_BYTES + 4));
  IjStream s = {int32_t(buf.size()), 0, {0, 0, 0}, buf.data()};
  int16_t pred = 0;
  for (int b = 0; b < count; ++b) {
    if (restart && b > 0 && b % restart == 0) {
      ijWrite_RST((b / restart - 1) & 7, &s);
      pred = 0;
    }
    ippiEncodeHuffman_Direct_JPEG_16s1u(&blocks[size_t(b) * 64], buf.data(), &s.position, &pred,
                                        &dc, &ac);
  }
  ijWrite_Marker(0xD9, &s);
  buf.resize(size_t(s.position / 8));
  return buf;
}

std::vector<uint8_t> EncodeProgressive(const Blocks &blocks, int bw, int bh,
                                       const std::vector<ScanParams> &scans, const TableFor &dcDef,
                                       const TableFor &acDef) {
  std::vector<uint8_t> buf(blocks.size() * 16 + 65536);
  IjStream s = {int32_t(buf.size()), 0, {0, 0, 0}, buf.data()};
  ijWrite_Marker(0xD8, &s);
  uint16_t ones[64];
  for (uint16_t &q : ones) q = 1; // libjpeg-turbo wants one, its values do not matter here
  ijWrite_DQT(0, 8, ones, &s);
  IjFrameSpec frame = {0xC2, 8, bh * 8, bw * 8, 1};
  IjComponentSpec comp = {0, 1, 1, 1, 0, 0, 0};
  ijWrite_SOF(&frame, &comp, &s);
  alignas(32) uint8_t scratch[IJ_REFINE_SCRATCH_BYTES];
  for (size_t n = 0; n < scans.size(); ++n) {
    const ScanParams &sc = scans[n];
    IjHuffEncTable dc = {}, ac = {};
    if (sc.ss == 0 && sc.ah == 0) {
      const IjHuffTableDef d = dcDef(n);
      ijWrite_DHT(0, 0, d.counts, d.values, &s);
      dc = EncTable(d);
    } else if (sc.ss > 0) {
      const IjHuffTableDef d = acDef(n);
      ijWrite_DHT(0, 1, d.counts, d.values, &s);
      ac = EncTable(d);
    }
    IjScanSpec scan = {sc.ss, sc.se, sc.ah, sc.al, 1, {&comp, nullptr, nullptr, nullptr}};
    ijWrite_SOS(&scan, &s);
    int16_t pred = 0;
    int32_t run = 0, pending = 0;
    for (size_t b = 0; b < blocks.size() / 64; ++b) {
      const int16_t *blk = &blocks[b * 64];
      if (sc.ss == 0 && sc.ah == 0)
        ippiEncodeHuffman_Direct_JPEG_DCFirst_16s1u(blk, buf.data(), &s.position, &pred, sc.al,
                                                    &dc);
      else if (sc.ss == 0)
        ippiEncodeHuffman_Direct_JPEG_DCRefine_16s1u(blk, buf.data(), &s.position, sc.al);
      else if (sc.ah == 0)
        ippiEncodeHuffman_Direct_JPEG_ACFirst_16s1u(blk, buf.data(), &s.position, &run, sc.ss,
                                                    sc.se, sc.al, &ac);
      else
        ippiEncodeHuffman_Direct_JPEG_ACRefine_16s1u(blk, buf.data(), &s.position, &run, scratch,
                                                     &pending, sc.ss, sc.se, sc.al, &ac);
    }
    if (sc.ss > 0)
      ippiEncodeHuffman_Direct_JPEG_ACFinal(&run, scratch, &pending, buf.data(), &s.position, &ac);
    ijAdjustStream(&s);
  }
  ijWrite_Marker(0xD9, &s);
  buf.resize(size_t(s.position / 8));
  return buf;
}

Decoded DecodeScans(const std::vector<uint8_t> &jpeg, const Stream &s) {
  Decoded out;
  const int count = s.blocksWide * s.blocksHigh;
  out.blocks.assign(size_t(count) * 64, 0);
  for (size_t n = 0; n < s.scans.size(); ++n) {
    const Scan &sc = s.scans[n];
    const IjHuffDecTable dc = DecTable(sc.dc), ac = DecTable(sc.ac);
    int32_t pos = int32_t(sc.data * 8), marker = 0, bits = 0, eobRun = 0;
    uint32_t acc = 0;
    int16_t pred = 0;
    const bool baseline = sc.ss == 0 && sc.se == 63;
    for (int b = 0; b < count; ++b) {
      if (s.restart && b > 0 && b % s.restart == 0) {
        // Drop the padding, find the RSTn, start afresh.
        IjBitReader r = {jpeg.data(), pos / 8, acc, 0, marker};
        _IppPrefetchBits(&r);
        const int expect = 0xD0 + (b / s.restart - 1) % 8;
        if (r.marker != expect || r.bits != 0 || eobRun != 0) {
          out.error = "scan " + std::to_string(n) + " block " + std::to_string(b) + ": marker " +
                      std::to_string(r.marker) + " run " + std::to_string(eobRun);
          return out;
        }
        pos = r.next * 8;
        marker = bits = 0;
        pred = 0;
      }
      int16_t *blk = &out.blocks[size_t(b) * 64];
      IjStatus st;
      if (baseline)
        st = ippiDecodeHuffman_Direct_JPEG_1u16s(jpeg.data(), &pos, blk, &pred, &marker, &acc,
                                                 &bits, &dc, &ac);
      else if (sc.ss == 0 && sc.ah == 0)
        st = ippiDecodeHuffman_Direct_JPEG_DCFirst_1u16s(jpeg.data(), &pos, blk, &pred, &marker,
                                                         &acc, &bits, sc.al, &dc);
      else if (sc.ss == 0)
        st = ippiDecodeHuffman_Direct_JPEG_DCRefine_1u16s(jpeg.data(), &pos, blk, &marker, &acc,
                                                          &bits, sc.al);
      else if (sc.ah == 0)
        st = ippiDecodeHuffman_Direct_JPEG_ACFirst_1u16s(jpeg.data(), &pos, blk, &eobRun, &marker,
                                                         &acc, &bits, sc.ss, sc.se, sc.al, &ac);
      else
        st = ippiDecodeHuffman_Direct_JPEG_ACRefine_1u16s(jpeg.data(), &pos, blk, &eobRun, &marker,
                                                          &acc, &bits, sc.ss, sc.se, sc.al, &ac);
      if (st != IJ_STS_OK) {
        out.error = "scan " + std::to_string(n) + " block " + std::to_string(b) + ": status " +
                    std::to_string(st);
        return out;
      }
    }
    if (eobRun != 0) {
      out.error = "scan " + std::to_string(n) + " ends inside a run";
      return out;
    }
  }
  out.ok = true;
  return out;
}

} // namespace jd
