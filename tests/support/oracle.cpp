#include "oracle.h"

#include <png.h>
#include <setjmp.h>
#include <stdio.h>
#include <string.h>

#include <jpeglib.h>

namespace {

void WriteToString(png_structp p, png_bytep data, png_size_t n) {
  static_cast<std::string *>(png_get_io_ptr(p))->append(reinterpret_cast<char *>(data), n);
}
void Flush(png_structp) {}

struct Reader {
  const std::string *file;
  size_t pos;
};
void ReadFromString(png_structp p, png_bytep data, png_size_t n) {
  Reader *r = static_cast<Reader *>(png_get_io_ptr(p));
  if (r->pos + n > r->file->size()) png_error(p, "short");
  memcpy(data, r->file->data() + r->pos, n);
  r->pos += n;
}
void Quiet(png_structp, png_const_charp) {}

} // namespace

std::string LibpngWrite(const PngSpec &s, const std::vector<uint8_t> &samples) {
  std::string out;
  png_structp p = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(p);
  if (setjmp(png_jmpbuf(p))) {
    png_destroy_write_struct(&p, &info);
    return "";
  }
  png_set_write_fn(p, &out, WriteToString, Flush);
  png_set_IHDR(p, info, s.width, s.height, s.depth, s.colorType,
               s.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_filter(p, 0, s.filters);
  png_set_compression_buffer_size(p, s.idatSize);
  // Indices beyond a short palette are written as they are (a reader's test).
  png_set_benign_errors(p, 1);
  if (s.colorType == 3) {
    png_color palette[256];
    png_byte alpha[256];
    int entries = 1 << (s.depth < 8 ? s.depth : 8), alphas = 0;
    for (int i = 0; i < 256; ++i) palette[i] = png_color{png_byte(i), png_byte(255 - i), 7};
    if (!s.palette.empty()) entries = int(s.palette.size());
    for (int i = 0; i < int(s.palette.size()); ++i) {
      const uint32_t c = s.palette[size_t(i)];
      palette[i] = png_color{png_byte(c >> 16), png_byte(c >> 8), png_byte(c)};
      alpha[i] = png_byte(c >> 24);
      if (alpha[i] != 255) alphas = i + 1;
    }
    png_set_PLTE(p, info, palette, entries);
    if (alphas) png_set_tRNS(p, info, alpha, alphas, nullptr);
  }
  if (!s.key.empty()) {
    png_color_16 key{};
    key.gray = s.key[0];
    key.red = s.key[0];
    key.green = s.key.size() > 1 ? s.key[1] : 0;
    key.blue = s.key.size() > 2 ? s.key[2] : 0;
    png_set_tRNS(p, info, nullptr, 0, &key);
  }
  png_text before{};
  before.compression = PNG_TEXT_COMPRESSION_NONE;
  before.key = const_cast<char *>("Comment");
  before.text = const_cast<char *>("written before the image data");
  if (s.textBefore) png_set_text(p, info, &before, 1);
  png_write_info(p, info);
  const int channels = s.colorType == 2 ? 3 : s.colorType == 4 ? 2 : s.colorType == 6 ? 4 : 1;
  const size_t rowBytes = (size_t(s.width) * channels * s.depth + 7) / 8;
  std::vector<png_bytep> rows(s.height);
  for (uint32_t y = 0; y < s.height; ++y)
    rows[y] = const_cast<png_bytep>(samples.data() + y * rowBytes);
  png_write_image(p, rows.data());
  png_infop end = png_create_info_struct(p);
  png_text after = before;
  after.text = const_cast<char *>("written after the image data");
  if (s.textAfter) png_set_text(p, end, &after, 1);
  png_write_end(p, end);
  png_destroy_info_struct(p, &end);
  png_destroy_write_struct(&p, &info);
  return out;
}

std::string LibpngImage(uint32_t w, uint32_t h, int colorType, int depth,
                        const std::vector<uint8_t> &samples) {
  PngSpec s;
  s.width = w;
  s.height = h;
  s.colorType = colorType;
  s.depth = depth;
  return LibpngWrite(s, samples);
}

namespace {

// Decodes with libpng, interlaced pictures made whole; argb asks for the
// transformations of LibpngReadArgb.
bool Read(const std::string &file, bool argb, uint32_t &w, uint32_t &h, int &colorType, int &depth,
          bool &interlaced, std::vector<uint8_t> &samples) {
  png_structp p = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, Quiet, Quiet);
  png_infop info = png_create_info_struct(p);
  Reader r{&file, 0};
  std::vector<png_bytep> rows;
  if (setjmp(png_jmpbuf(p))) {
    png_destroy_read_struct(&p, &info, nullptr);
    return false;
  }
  png_set_read_fn(p, &r, ReadFromString);
  png_read_info(p, info);
  w = png_get_image_width(p, info);
  h = png_get_image_height(p, info);
  colorType = png_get_color_type(p, info);
  depth = png_get_bit_depth(p, info);
  interlaced = png_get_interlace_type(p, info) != PNG_INTERLACE_NONE;
  png_set_interlace_handling(p);
  if (argb) {
    png_set_expand(p);
    png_set_tRNS_to_alpha(p);
    png_set_strip_16(p);
    png_set_gray_to_rgb(p);
    png_set_add_alpha(p, 0xFF, PNG_FILLER_AFTER);
  }
  png_read_update_info(p, info);
  const size_t rowBytes = png_get_rowbytes(p, info);
  samples.assign(rowBytes * h, 0);
  rows.resize(h);
  for (uint32_t y = 0; y < h; ++y) rows[y] = samples.data() + y * rowBytes;
  png_read_image(p, rows.data());
  png_read_end(p, nullptr);
  png_destroy_read_struct(&p, &info, nullptr);
  return true;
}

} // namespace

bool LibpngRead(const std::string &file, uint32_t &w, uint32_t &h, int &colorType, int &depth,
                bool &interlaced, std::vector<uint8_t> &samples) {
  return Read(file, false, w, h, colorType, depth, interlaced, samples);
}

bool LibpngReadArgb(const std::string &file, uint32_t &w, uint32_t &h,
                    std::vector<uint32_t> &argb) {
  int colorType, depth;
  bool interlaced;
  std::vector<uint8_t> q;
  if (!Read(file, true, w, h, colorType, depth, interlaced, q) || q.size() != size_t(w) * h * 4)
    return false;
  argb.resize(size_t(w) * h);
  for (size_t i = 0; i < argb.size(); ++i)
    argb[i] = uint32_t(q[4 * i + 3]) << 24 | uint32_t(q[4 * i]) << 16 |
              uint32_t(q[4 * i + 1]) << 8 | q[4 * i + 2];
  return true;
}

std::string LibjpegWrite(uint32_t w, uint32_t h, const std::string &comment) {
  jpeg_compress_struct c;
  jpeg_error_mgr e;
  c.err = jpeg_std_error(&e);
  jpeg_create_compress(&c);
  unsigned char *mem = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &mem, &size);
  c.image_width = w;
  c.image_height = h;
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_start_compress(&c, TRUE);
  if (!comment.empty())
    jpeg_write_marker(&c, JPEG_COM, reinterpret_cast<const JOCTET *>(comment.data()),
                      unsigned(comment.size()));
  std::vector<unsigned char> row(size_t(w) * 3);
  while (c.next_scanline < c.image_height) {
    for (uint32_t x = 0; x < w; ++x) {
      row[x * 3] = 200;
      row[x * 3 + 1] = 100;
      row[x * 3 + 2] = 50;
    }
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  std::string out(reinterpret_cast<char *>(mem), size);
  jpeg_destroy_compress(&c);
  free(mem);
  return out;
}
