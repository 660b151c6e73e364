#include "jpeg_support.h"

#include <math.h>
#include <setjmp.h>
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>

// jpeglib.h relies on stdio.h and stddef.h coming first.
#include <jpeglib.h>

namespace jt {

Picture Synthetic(int width, int height, int channels, uint32_t seed) {
  Picture p;
  p.width = width;
  p.height = height;
  p.channels = channels;
  p.pixels.resize(size_t(width) * height * channels);
  uint32_t rnd = seed * 2654435761u + 12345;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < channels; ++c) {
        rnd = rnd * 1664525u + 1013904223u;
        const double fx = double(x) / (width > 1 ? width - 1 : 1);
        const double fy = double(y) / (height > 1 ? height - 1 : 1);
        double v = 40 + 150 * (c == 0 ? fx : c == 1 ? fy : 1 - fx * fy);
        v += 30 * sin((x + 3 * c) * 0.21) * cos(y * 0.17);
        if ((x / 23 + y / 19) % 4 == 0) v += 35; // hard edges
        v += double(rnd >> 28) - 7.5;            // a little noise
        p.pixels[(size_t(y) * width + x) * channels + c] = uint8_t(std::clamp(v, 0.0, 255.0));
      }
  return p;
}

Picture Uniform(int width, int height, int channels, uint8_t b, uint8_t g, uint8_t r) {
  Picture p;
  p.width = width;
  p.height = height;
  p.channels = channels;
  p.pixels.resize(size_t(width) * height * channels);
  for (size_t i = 0; i < p.pixels.size(); i += channels) {
    p.pixels[i] = b;
    if (channels == 3) {
      p.pixels[i + 1] = g;
      p.pixels[i + 2] = r;
    }
  }
  return p;
}

Encoded Encode(const Picture &pic, const Settings &s, int capacity, bool bottomUp) {
  Encoded out;
  IjImageSpec desc = {};
  desc.width = pic.width;
  desc.height = pic.height;
  desc.bitsPerSample = 8;
  desc.bitsPerPixel = 8 * pic.channels;
  desc.colorFormat = pic.channels == 1 ? IJ_FMT_GRAY : IJ_FMT_BGR;
  desc.sampling = s.sampling;
  desc.densityUnit = s.densityUnit;
  desc.xDensity = s.xDensity;
  desc.yDensity = s.yDensity;
  if (capacity <= 0) capacity = std::max<int>(int(pic.pixels.size()) * 2, 4096);
  std::vector<uint8_t> buffer(static_cast<size_t>(capacity));
  IjStream stream = {};
  stream.capacity = capacity;
  stream.buffer = buffer.data();
  IjEncoder enc = {};
  out.init = ijxCompressInit(s.quality, s.restart, s.mode, &desc, nullptr, nullptr, &stream, &enc);
  if (out.init != 0) return out;
  int32_t len = -1;
  ijxGetCompBufLen(&len, &enc);
  std::vector<uint8_t> work(static_cast<size_t>(len));
  if (ijxCompBufInit(work.data(), len, &enc) != 0) {
    out.compress = -999;
    return out;
  }
  std::vector<uint8_t> flipped;
  const uint8_t *src = pic.pixels.data();
  int32_t step = pic.Step();
  if (bottomUp) { // memory holds the bottom row first
    flipped.resize(pic.pixels.size());
    for (int y = 0; y < pic.height; ++y)
      memcpy(&flipped[size_t(pic.height - 1 - y) * pic.Step()], &pic.pixels[size_t(y) * pic.Step()],
             size_t(pic.Step()));
    src = flipped.data() + size_t(pic.height - 1) * pic.Step();
    step = -step;
  }
  out.compress = ijxCompress(&src, &step, &stream, &enc);
  if (out.compress < 0) return out;
  out.finish = ijxCompress(nullptr, nullptr, &stream, &enc);
  out.bytes.assign(buffer.begin(), buffer.begin() + (stream.position + 7) / 8);
  return out;
}

namespace {

struct ErrorMgr {
  jpeg_error_mgr pub;
  jmp_buf jump;
  char text[JMSG_LENGTH_MAX];
};

void OnError(j_common_ptr c) {
  ErrorMgr *e = reinterpret_cast<ErrorMgr *>(c->err);
  c->err->format_message(c, e->text);
  longjmp(e->jump, 1);
}

// Warnings (corrupt data, premature end) count as failures here.
void OnMessage(j_common_ptr c, int level) {
  if (level < 0) OnError(c);
}

} // namespace

Decoded Decode(const std::vector<uint8_t> &jpeg, bool toGrey) {
  Decoded d;
  jpeg_decompress_struct cinfo;
  ErrorMgr err;
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = OnError;
  err.pub.emit_message = OnMessage;
  if (setjmp(err.jump)) {
    d.ok = false;
    d.error = err.text;
    jpeg_destroy_decompress(&cinfo);
    return d;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, jpeg.data(), (unsigned long)jpeg.size());
  jpeg_read_header(&cinfo, TRUE);
  d.components = cinfo.num_components;
  d.progressive = cinfo.progressive_mode;
  cinfo.out_color_space = toGrey || cinfo.num_components == 1 ? JCS_GRAYSCALE : JCS_EXT_BGR;
  cinfo.dct_method = JDCT_ISLOW;
  jpeg_start_decompress(&cinfo);
  d.width = int(cinfo.output_width);
  d.height = int(cinfo.output_height);
  const int ch = cinfo.output_components;
  d.pixels.resize(size_t(d.width) * d.height * ch);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = &d.pixels[size_t(cinfo.output_scanline) * d.width * ch];
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  d.ok = true;
  return d;
}

Coefficients ReadCoefficients(const std::vector<uint8_t> &jpeg) {
  Coefficients out;
  jpeg_decompress_struct cinfo;
  ErrorMgr err;
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = OnError;
  err.pub.emit_message = OnMessage;
  if (setjmp(err.jump)) {
    out.ok = false;
    out.error = err.text;
    jpeg_destroy_decompress(&cinfo);
    return out;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, jpeg.data(), (unsigned long)jpeg.size());
  jpeg_read_header(&cinfo, TRUE);
  jvirt_barray_ptr *arrays = jpeg_read_coefficients(&cinfo);
  for (int c = 0; c < cinfo.num_components; ++c) {
    const jpeg_component_info &ci = cinfo.comp_info[c];
    const int bw = int(ci.width_in_blocks), bh = int(ci.height_in_blocks);
    std::vector<int16_t> all;
    for (int by = 0; by < bh; ++by) {
      JBLOCKARRAY rows = cinfo.mem->access_virt_barray(reinterpret_cast<j_common_ptr>(&cinfo),
                                                       arrays[c], JDIMENSION(by), 1, FALSE);
      for (int bx = 0; bx < bw; ++bx)
        for (int k = 0; k < 64; ++k) all.push_back(rows[0][bx][k]);
    }
    out.component.push_back(all);
    out.blocksWide.push_back(bw);
    out.blocksHigh.push_back(bh);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  out.ok = true;
  return out;
}

double Psnr(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b) {
  if (a.size() != b.size() || a.empty()) return 0;
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    const double d = double(a[i]) - double(b[i]);
    sum += d * d;
  }
  if (sum == 0) return 99;
  return 10 * log10(255.0 * 255.0 * double(a.size()) / sum);
}

std::vector<Segment> Segments(const std::vector<uint8_t> &j) {
  std::vector<Segment> segs;
  size_t i = 0;
  bool inScan = false;
  while (i + 1 < j.size()) {
    if (j[i] != 0xFF) {
      if (!inScan) break; // not a stream we understand
      ++i;
      continue;
    }
    const int m = j[i + 1];
    if (inScan && (m == 0x00 || m == 0xFF)) { // stuffing or fill
      i += m == 0x00 ? 2 : 1;
      continue;
    }
    Segment s;
    s.marker = m;
    s.offset = i;
    const bool bare = m == 0xD8 || m == 0xD9 || (m >= 0xD0 && m <= 0xD7) || m == 0xA1;
    s.length = bare ? 2 : (i + 3 < j.size() ? 2 + (size_t(j[i + 2]) << 8 | j[i + 3]) : 2);
    s.length = std::min(s.length, j.size() - i);
    s.bytes.assign(j.begin() + long(i), j.begin() + long(i + s.length));
    segs.push_back(s);
    i += s.length;
    if (m == 0xDA) inScan = true;
    if (m == 0xD9) inScan = false;
  }
  return segs;
}

const Segment *Find(const std::vector<Segment> &segs, int marker, int nth) {
  for (const Segment &s : segs)
    if (s.marker == marker && nth-- == 0) return &s;
  return nullptr;
}

std::vector<uint8_t> Bytes(std::initializer_list<int> list) {
  std::vector<uint8_t> v;
  for (int b : list) v.push_back(uint8_t(b));
  return v;
}

std::string Bits(const uint8_t *buf, int32_t position) {
  std::string s;
  int32_t left = position;
  for (size_t i = 0; left > 0; ++i) {
    if (i > 0 && buf[i - 1] == 0xFF && buf[i] == 0x00) {
      left -= 8;
      continue;
    }
    for (int b = 7; b >= 0 && left > 0; --b, --left) s += char('0' + ((buf[i] >> b) & 1));
  }
  return s;
}

} // namespace jt
