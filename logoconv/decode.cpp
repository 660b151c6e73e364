// decode.cpp - logoconv's sources read at full resolution: PNG of every
// kind with libpng, JPEG with libjpeg-turbo, BMP with gdk-pixbuf, SVG with
// librsvg (svg.cpp) and the raw logos here.  What a file is comes from its
// first bytes, so that a JPEG saved as ".png" still converts; only the raw
// logos, which have no signature, go by their extension.
#include <errno.h>
#include <setjmp.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <png.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "logo.h"
#include "logo_formats.h"
#include "picture.h"

namespace logoconv {
namespace {

// Sources are read whole: the largest a logo set holds is a few megabytes.
constexpr long kMaxFile = 256L << 20;

bool ReadFile(const std::string &path, std::vector<uint8_t> &bytes, std::string &why) {
  FILE *f = fopen(path.c_str(), "rb");
  if (!f) {
    why = std::string("cannot open: ") + strerror(errno);
    return false;
  }
  // Read whole in one go where the size is known; a file that grows or is
  // not seekable is read on to its end.
  struct stat st;
  bytes.resize(fstat(fileno(f), &st) == 0 && st.st_size > 0 && st.st_size <= kMaxFile
                   ? size_t(st.st_size)
                   : 0);
  size_t n = bytes.empty() ? 0 : fread(bytes.data(), 1, bytes.size(), f);
  bytes.resize(n);
  uint8_t chunk[65536];
  while (!ferror(f) && long(bytes.size()) <= kMaxFile && (n = fread(chunk, 1, sizeof chunk, f)) > 0)
    bytes.insert(bytes.end(), chunk, chunk + n);
  const bool failed = ferror(f);
  fclose(f);
  if (failed) why = "cannot read the file";
  if (long(bytes.size()) > kMaxFile) why = "too large (more than 256 MB)";
  return why.empty();
}

bool SizeFits(uint64_t w, uint64_t h, std::string &why) {
  if (w == 0 || h == 0) {
    why = "no pixels (" + std::to_string(w) + "x" + std::to_string(h) + ")";
    return false;
  }
  if (w > kMaxSide || h > kMaxSide || w * h > kMaxPixels) {
    why = "too large (" + std::to_string(w) + "x" + std::to_string(h) + ")";
    return false;
  }
  return true;
}

// ---- PNG --------------------------------------------------------------------

struct PngRead {
  const std::vector<uint8_t> *bytes;
  size_t at = 0;
  std::string error;
  jmp_buf jump;
};

void PngError(png_structp png, png_const_charp message) {
  PngRead *r = static_cast<PngRead *>(png_get_error_ptr(png));
  if (r->error.empty()) {
    // libpng says "IDAT: CRC error"; the chunk's name goes last here.
    const char *crc = strstr(message, ": CRC error");
    if (crc && crc - message == 4)
      r->error = "CRC error in " + std::string(message, 4);
    else
      r->error = std::string("damaged PNG: ") + message;
  }
  longjmp(r->jump, 1);
}

void PngWarning(png_structp, png_const_charp) {}

void PngBytes(png_structp png, png_bytep to, size_t n) {
  PngRead *r = static_cast<PngRead *>(png_get_io_ptr(png));
  if (r->bytes->size() - r->at < n) {
    r->error = "truncated PNG";
    png_error(png, "truncated");
  }
  memcpy(to, r->bytes->data() + r->at, n);
  r->at += n;
}

uint32_t Be32(const uint8_t *b) {
  return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
}

uint32_t Le32(const uint8_t *b) {
  return uint32_t(b[3]) << 24 | uint32_t(b[2]) << 16 | uint32_t(b[1]) << 8 | b[0];
}

// Deflate makes at most about 1,032 bytes of one: a header whose picture
// the data could never fill is refused before its pixels are allocated.
constexpr uint64_t kMaxInflate = 1040;

// The chunks walked before libpng decodes, which would come upon a damaged
// IDAT as a zlib error long before the CRC that names it, and upon a short
// file as a read error.
bool PngChunksSound(const std::vector<uint8_t> &b, std::string &why) {
  size_t at = 8;
  uint64_t need = 0, data = 0;
  while (true) {
    if (b.size() - at < 12) break;
    const uint32_t length = Be32(&b[at]);
    if (length > 0x7FFFFFFFu || b.size() - at - 12 < length) break;
    const uint8_t *type = &b[at + 4];
    // Only a critical chunk's CRC matters: libpng drops a damaged ancillary one.
    if (!(type[0] & 0x20) && uint32_t(crc32(0, type, length + 4)) != Be32(type + 4 + length)) {
      why = "CRC error in " + std::string(reinterpret_cast<const char *>(type), 4);
      return false;
    }
    if (memcmp(type, "IHDR", 4) == 0 && length == 13) {
      // The fewest bytes the filtered rows can take: one bit a pixel.
      need = uint64_t(Be32(type + 8)) * (1 + Be32(type + 4) / 8);
    }
    if (memcmp(type, "IDAT", 4) == 0) data += length;
    if (memcmp(type, "IEND", 4) == 0) {
      if (need > data * kMaxInflate + 65536) {
        why = "damaged PNG: too little image data for its size";
        return false;
      }
      return true;
    }
    at += 12 + size_t(length);
  }
  why = "truncated PNG";
  return false;
}

bool ReadPng(const std::vector<uint8_t> &bytes, Picture &pic, std::string &why) {
  // The chunks are walked only when the codec did not read the file: to
  // name what is wrong with it, or to keep libpng from allocating for a
  // header that the data could never fill.
  if (ReadPngOwn(bytes, pic)) return true;
  if (!PngChunksSound(bytes, why)) return false;
  PngRead r;
  r.bytes = &bytes;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &r, PngError, PngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    why = "out of memory";
    return false;
  }
  std::vector<png_bytep> rows;
  if (setjmp(r.jump)) {
    png_destroy_read_struct(&png, &info, nullptr);
    why = r.error;
    return false;
  }
  png_set_read_fn(png, &r, PngBytes);
  // Every chunk's CRC is checked already; zlib's own sum of the same bytes
  // would be a fifth of the decoding time again.
  png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
  png_set_user_limits(png, kMaxSide, kMaxSide);
  png_read_info(png, info);
  const uint32_t w = png_get_image_width(png, info), h = png_get_image_height(png, info);
  if (!SizeFits(w, h, why)) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  // Every kind to 8-bit RGBA: palettes and low depths expanded, tRNS made
  // alpha, 16-bit samples rounded.
  png_set_expand(png);
  png_set_scale_16(png);
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  pic.w = w;
  pic.h = h;
  pic.rgba.assign(size_t(w) * h * 4, 0);
  rows.resize(h);
  for (uint32_t y = 0; y < h; ++y) rows[y] = &pic.rgba[size_t(y) * w * 4];
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

// ---- JPEG -------------------------------------------------------------------

struct JpegError {
  jpeg_error_mgr mgr;
  jmp_buf jump;
  bool truncated = false;
  std::string message;
};

void JpegExit(j_common_ptr c) {
  JpegError *e = reinterpret_cast<JpegError *>(c->err);
  char text[JMSG_LENGTH_MAX];
  c->err->format_message(c, text);
  e->message = std::string("damaged JPEG: ") + text;
  longjmp(e->jump, 1);
}

void JpegMessage(j_common_ptr c, int level) {
  // A file that ends early is only a warning to libjpeg, which fills the
  // rest with grey; here it is a failure.
  if (level < 0 && c->err->msg_code == JWRN_JPEG_EOF)
    reinterpret_cast<JpegError *>(c->err)->truncated = true;
}

bool ReadJpeg(const std::vector<uint8_t> &bytes, Picture &pic, std::string &why) {
  jpeg_decompress_struct d;
  JpegError e;
  d.err = jpeg_std_error(&e.mgr);
  e.mgr.error_exit = JpegExit;
  e.mgr.emit_message = JpegMessage;
  if (setjmp(e.jump)) {
    jpeg_destroy_decompress(&d);
    why = e.truncated ? "truncated JPEG" : e.message;
    return false;
  }
  jpeg_create_decompress(&d);
  jpeg_mem_src(&d, bytes.data(), (unsigned long)bytes.size());
  jpeg_read_header(&d, TRUE);
  if (d.jpeg_color_space == JCS_CMYK || d.jpeg_color_space == JCS_YCCK) {
    jpeg_destroy_decompress(&d);
    why = "CMYK JPEG (not a screen picture)";
    return false;
  }
  if (!SizeFits(d.image_width, d.image_height, why)) {
    jpeg_destroy_decompress(&d);
    return false;
  }
  d.out_color_space = JCS_EXT_RGBA;
  jpeg_start_decompress(&d);
  pic.w = d.output_width;
  pic.h = d.output_height;
  // Rows are added as they come, so that a header promising a huge picture
  // costs nothing once the data runs out.
  while (d.output_scanline < d.output_height && !e.truncated) {
    pic.rgba.resize(size_t(d.output_scanline + 1) * pic.w * 4);
    JSAMPROW row = &pic.rgba[size_t(d.output_scanline) * pic.w * 4];
    jpeg_read_scanlines(&d, &row, 1);
  }
  if (!e.truncated) jpeg_finish_decompress(&d);
  jpeg_destroy_decompress(&d);
  if (e.truncated) why = "truncated JPEG";
  return !e.truncated;
}

// ---- BMP --------------------------------------------------------------------

uint32_t Le16(const uint8_t *b) {
  return uint32_t(b[1]) << 8 | b[0];
}

// Whether run-length codes from byte at reach the end-of-bitmap code, or
// cover the last row, before the file ends; bits is 4, 8 or 24 a pixel.
// rows is how many rows they finished.  at lies within the file.
bool RunsComplete(const std::vector<uint8_t> &b, size_t at, uint64_t w, uint64_t h, uint32_t bits,
                  uint64_t &rows) {
  uint64_t x = 0, y = 0;
  while (y < h && !(y + 1 == h && x >= w)) {
    rows = y;
    if (b.size() - at < 2) return false;
    const uint8_t n = b[at], code = b[at + 1];
    at += 2;
    if (n > 0) {
      x += n;
    } else if (code == 0) {
      x = 0;
      ++y;
    } else if (code == 1) {
      return true;
    } else if (code == 2) {
      if (b.size() - at < 2) return false;
      x += b[at];
      y += b[at + 1];
      at += 2;
    } else {
      // code pixels as they are, padded to an even count of bytes.
      size_t bytes = (size_t(code) * bits + 7) / 8;
      bytes += bytes & 1;
      if (b.size() - at < bytes) return false;
      at += bytes;
      x += code;
    }
  }
  return true;
}

// gdk-pixbuf pads whatever rows a short file lacks and calls the picture
// read, so the pixels the header announces are counted here.  Uncompressed
// rows need all their bytes, the last row's padding too.  Run-length data has
// no size of its own before it is decoded: where the header's image size is
// set, that many bytes must be there, and the codes must reach their end.  Other
// compressions are left to gdk-pixbuf.  The caller has checked that the
// header and the pixel offset lie within the file.
bool BmpDataComplete(const std::vector<uint8_t> &bytes, uint32_t offset, uint32_t header,
                     std::string &why) {
  uint64_t w, h;
  uint32_t bpp, compression = 0, sizeField = 0;
  if (header == 12) {
    w = Le16(&bytes[18]);
    h = Le16(&bytes[20]);
    bpp = Le16(&bytes[24]);
  } else if (header < 16) {
    return true; // no header gdk-pixbuf reads
  } else {
    const int64_t sw = int32_t(Le32(&bytes[18])), sh = int32_t(Le32(&bytes[22]));
    w = uint64_t(sw < 0 ? -sw : sw);
    h = uint64_t(sh < 0 ? -sh : sh);
    bpp = Le16(&bytes[28]);
    if (header >= 20) compression = Le32(&bytes[30]);
    if (header >= 24) sizeField = Le32(&bytes[34]);
  }
  // OS/2's 64-byte header numbers its compressions differently: 3 is
  // Huffman, 4 run-length 24-bit.
  const bool os2 = header == 64;
  const bool plain = compression == 0 || (!os2 && (compression == 3 || compression == 6));
  const bool rle = compression == 1 || compression == 2 || (os2 && compression == 4);
  const size_t have = bytes.size();
  const auto shortOf = [&](uint64_t need) {
    why = "truncated BMP (" + std::to_string(w) + "x" + std::to_string(h) + " needs " +
          std::to_string(need) + " bytes, the file has " + std::to_string(have) + ")";
    return false;
  };
  if (plain && bpp > 0 && bpp <= 32) {
    const uint64_t stride = (w * bpp + 31) / 32 * 4, need = offset + h * stride;
    if (need > have) return shortOf(need);
  } else if (rle) {
    if (offset >= have) {
      why = "truncated BMP (no run-length data after byte " + std::to_string(offset) + ")";
      return false;
    }
    if (uint64_t(offset) + sizeField > have) return shortOf(uint64_t(offset) + sizeField);
    // Writers leave the image size 0 as well: the codes themselves must
    // run to their end.
    uint64_t rows = 0;
    if (!RunsComplete(bytes, offset, w, h,
                      compression == 1   ? 8
                      : compression == 2 ? 4
                                         : 24,
                      rows)) {
      why = "truncated BMP (the run-length codes end after " + std::to_string(rows) + " of " +
            std::to_string(h) + " rows)";
      return false;
    }
  }
  return true;
}

bool ReadBmp(const std::vector<uint8_t> &bytes, Picture &pic, std::string &why) {
  // gdk-pixbuf believes a header's sizes and allocates for them first.
  if (bytes.size() < 26) {
    why = "truncated BMP";
    return false;
  }
  const uint32_t offset = Le32(&bytes[10]), header = Le32(&bytes[14]);
  // The headers there are: 12 bytes (OS/2) up to 124 (version 5).
  if (header < 12 || header > 124) {
    why = "damaged BMP: a header of " + std::to_string(header) + " bytes";
    return false;
  }
  if (offset > bytes.size() || 14 + header > bytes.size()) {
    why = "truncated BMP";
    return false;
  }
  if (header >= 40 && Le32(&bytes[46]) > 256) {
    why = "damaged BMP: a palette of " + std::to_string(Le32(&bytes[46])) + " colours";
    return false;
  }
  if (header >= 40) {
    const int64_t w = int32_t(Le32(&bytes[18])), h = int32_t(Le32(&bytes[22]));
    if (!SizeFits(uint64_t(w < 0 ? -w : w), uint64_t(h < 0 ? -h : h), why)) return false;
    if (uint64_t(w < 0 ? -w : w) * uint64_t(h < 0 ? -h : h) >
        (bytes.size() - offset) * uint64_t(256) + 65536) {
      why = "truncated BMP";
      return false;
    }
  }
  if (!BmpDataComplete(bytes, offset, header, why)) return false;
  GError *error = nullptr;
  GdkPixbufLoader *loader = gdk_pixbuf_loader_new_with_type("bmp", &error);
  bool ok = loader && gdk_pixbuf_loader_write(loader, bytes.data(), bytes.size(), &error) &&
            gdk_pixbuf_loader_close(loader, &error);
  GdkPixbuf *pixbuf = ok ? gdk_pixbuf_loader_get_pixbuf(loader) : nullptr;
  if (!pixbuf) {
    why = std::string("damaged BMP: ") + (error ? error->message : "no picture");
    if (loader && !ok) gdk_pixbuf_loader_close(loader, nullptr);
  } else {
    const int w = gdk_pixbuf_get_width(pixbuf), h = gdk_pixbuf_get_height(pixbuf);
    const int n = gdk_pixbuf_get_n_channels(pixbuf), stride = gdk_pixbuf_get_rowstride(pixbuf);
    const bool alpha = gdk_pixbuf_get_has_alpha(pixbuf);
    const guint8 *px = gdk_pixbuf_read_pixels(pixbuf);
    ok = SizeFits(uint32_t(w), uint32_t(h), why) && (n == 3 || n == 4);
    if (ok) {
      pic.w = uint32_t(w);
      pic.h = uint32_t(h);
      pic.rgba.resize(size_t(w) * h * 4);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          const guint8 *s = px + size_t(y) * stride + size_t(x) * n;
          uint8_t *d = &pic.rgba[(size_t(y) * w + x) * 4];
          d[0] = s[0], d[1] = s[1], d[2] = s[2], d[3] = alpha ? s[3] : 255;
        }
    } else if (why.empty()) {
      why = "BMP of an unknown pixel layout";
    }
  }
  if (error) g_error_free(error);
  if (loader) g_object_unref(loader);
  return ok;
}

// ---- raw logos ----------------------------------------------------------------

bool ReadRaw(const std::vector<uint8_t> &bytes, bool wide, Picture &pic, std::string &why) {
  if (bytes.size() < 8) {
    why = "truncated raw logo (no size)";
    return false;
  }
  const uint32_t w = Be32(bytes.data()), h = Be32(bytes.data() + 4);
  if (!SizeFits(w, h, why)) return false;
  const size_t p = wide ? 4 : 2, need = 8 + size_t(w) * h * p;
  if (bytes.size() < need) {
    why = "truncated raw logo (" + std::to_string(w) + "x" + std::to_string(h) + " needs " +
          std::to_string(need) + " bytes, the file has " + std::to_string(bytes.size()) + ")";
    return false;
  }
  pic.w = w;
  pic.h = h;
  pic.rgba.resize(size_t(w) * h * 4);
  const uint8_t *s = bytes.data() + 8;
  for (size_t i = 0; i < size_t(w) * h; ++i, s += p) {
    // The receiver's own colour scale for the 16-bit pixels.
    const uint32_t v = wide ? Be32(s) : Logo16To32(uint16_t(s[0] << 8 | s[1]));
    uint8_t *d = &pic.rgba[i * 4];
    d[0] = uint8_t(v >> 16), d[1] = uint8_t(v >> 8), d[2] = uint8_t(v), d[3] = uint8_t(v >> 24);
  }
  return true;
}

bool LooksLikeSvg(const std::vector<uint8_t> &b) {
  size_t i = b.size() >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF ? 3 : 0;
  while (i < b.size() && (b[i] == ' ' || b[i] == '\t' || b[i] == '\r' || b[i] == '\n')) ++i;
  if (i >= b.size() || b[i] != '<') return false;
  const std::string head(b.begin() + long(i), b.begin() + long(std::min(b.size(), i + 4096)));
  return head.find("<svg") != std::string::npos;
}

} // namespace

bool ReadSource(const std::string &path, const std::string &name, Source &source,
                std::string &why) {
  std::vector<uint8_t> bytes;
  return ReadFile(path, bytes, why) && ReadSourceBytes(bytes, name, source, why);
}

bool ReadSourceBytes(const std::vector<uint8_t> &bytes, const std::string &name, Source &source,
                     std::string &why) {
  const auto starts = [&](const char *magic, size_t n) {
    return bytes.size() >= n && memcmp(bytes.data(), magic, n) == 0;
  };
  bool ok;
  if (starts("\x89PNG\r\n\x1a\n", 8)) {
    ok = ReadPng(bytes, source.picture, why);
  } else if (starts("\xFF\xD8\xFF", 3)) {
    ok = ReadJpeg(bytes, source.picture, why);
  } else if (starts("BM", 2)) {
    ok = ReadBmp(bytes, source.picture, why);
  } else if (const LogoFormat *f = LogoFormatOf(name.c_str());
             f && (f->kind == kLogoRaw16 || f->kind == kLogoRaw32)) {
    ok = ReadRaw(bytes, f->kind == kLogoRaw32, source.picture, why);
  } else if (LooksLikeSvg(bytes)) {
    return OpenSvg(bytes, source, why);
  } else {
    why = bytes.empty() ? "empty file" : "unknown format";
    return false;
  }
  source.w = source.picture.w;
  source.h = source.picture.h;
  return ok;
}

} // namespace logoconv
