// png.cpp - the PNG codec: reader (signature, IHDR, PLTE and tRNS, the IDAT
// run inflated with zlib row by row, the five filters, Adam7), writer (one
// IHDR, one IDAT, IEND), the raw and source-array exports, drawing onto the
// OSD and the header summary.
#include "pngcodec.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <zlib.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

int32_t tapprint = 0;

namespace {

const byte kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

void Trace(const char *format, ...) __attribute__((format(printf, 1, 2)));
void Trace(const char *format, ...) {
  if (!tapprint) return;
  char text[256];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  TAP_Print("%s", text);
}

// zlib's own memory comes from the firmware heap like everything else.
voidpf ZAlloc(voidpf, uInt items, uInt size) {
  const uint64_t bytes = uint64_t(items) * size;
  return bytes > 0xFFFFFFFFu ? Z_NULL : TAP_MemAlloc(dword(bytes));
}
void ZFree(voidpf, voidpf address) {
  TAP_MemFree(address);
}

uint32_t Crc(const byte *a, uint32_t alen, const byte *b = nullptr, uint32_t blen = 0) {
  uLong crc = crc32(0, Z_NULL, 0);
  crc = crc32(crc, a, alen);
  if (b && blen) crc = crc32(crc, b, blen);
  return uint32_t(crc);
}

// Every read of the codec, in units of size bytes: through the caller's
// function, from memory (never past its end), or from the firmware file.  A
// null buffer skips.
dword file_read(png_image *png, void *buffer, dword size, dword count) {
  if (png->read_callback) return png->read_callback(buffer, size, count, png->handle);
  if (size == 0) return 0;
  const uint64_t want = uint64_t(size) * count;
  if (!png->from_file) {
    const uint64_t left = png->mem_len - png->mem_pos;
    const dword n = dword(want < left ? want : left);
    if (buffer && n) TAP_MemCpy(buffer, png->mem_base + png->mem_pos, n);
    png->mem_pos += uint32_t(n);
    if (buffer) Trace("pos %d\n", int(png->mem_pos));
    return n / size;
  }
  TYPE_File *f = reinterpret_cast<TYPE_File *>(png->handle);
  if (buffer) return TAP_Hdd_Fread(buffer, size, count, f);
  // Skipping: only bytes that are there can be skipped.
  const dword at = TAP_Hdd_Ftell(f), length = TAP_Hdd_Flen(f);
  if (at > length || want > uint64_t(length - at)) {
    TAP_Hdd_Fseek(f, 0, SEEK_ENDING);
    return 0;
  }
  TAP_Hdd_Fseek(f, long(want), SEEK_CURRENT);
  return count;
}

int file_read_ul(png_image *png, uint32_t *value) {
  byte b[4];
  if (file_read(png, b, 1, 4) != 4) return -1;
  *value = get_ul(b);
  return 0;
}

// Skips the data and CRC of a chunk; false when the source ends first.
bool SkipChunk(png_image *png, uint32_t length) {
  Trace("pc6\n");
  const uint64_t bytes = uint64_t(length) + 4;
  return bytes <= 0xFFFFFFFFu && file_read(png, nullptr, 1, dword(bytes)) == dword(bytes);
}

dword file_write(png_image *png, const void *buffer, dword size, dword count) {
  if (png->write_callback) return png->write_callback(buffer, size, count, png->handle);
  return TAP_Hdd_Fwrite(buffer, size, count, reinterpret_cast<TYPE_File *>(png->handle));
}

int file_write_ul(png_image *png, uint32_t value) {
  byte b[4];
  set_ul(b, value);
  return file_write(png, b, 1, 4) == 4 ? 0 : -1;
}

void png_end_inflate(png_image *png) {
  if (!png->zstream) return;
  z_stream *z = static_cast<z_stream *>(png->zstream);
  if (inflateEnd(z) != Z_OK) Trace("ZLIB says: %s\n", z->msg ? z->msg : "");
  TAP_MemFree(z);
  png->zstream = nullptr;
}

#if defined(__SSE2__)
// Paeth on pixels of four bytes, a pixel a step in 16-bit lanes: the same
// choices as the byte loop below, about four times fewer instructions.
void Paeth4(const byte *row, byte *o, const byte *above, uint32_t stride) {
  auto load = [](const byte *p) {
    int32_t v;
    memcpy(&v, p, 4);
    return _mm_unpacklo_epi8(_mm_cvtsi32_si128(v), _mm_setzero_si128());
  };
  auto magnitude = [](__m128i v) {
    return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v));
  };
  const __m128i low = _mm_set1_epi16(0xFF);
  __m128i a = load(o), c = load(above);
  for (uint32_t i = 4; i + 4 <= stride; i += 4) {
    const __m128i b = load(above + i);
    const __m128i bc = _mm_sub_epi16(b, c), ac = _mm_sub_epi16(a, c);
    const __m128i pa = magnitude(bc), pb = magnitude(ac), pc = magnitude(_mm_add_epi16(bc, ac));
    // Not a: pa > pb or pa > pc; then b unless pb > pc.
    const __m128i notA = _mm_or_si128(_mm_cmpgt_epi16(pa, pb), _mm_cmpgt_epi16(pa, pc));
    const __m128i notB = _mm_cmpgt_epi16(pb, pc);
    const __m128i bOrC = _mm_or_si128(_mm_andnot_si128(notB, b), _mm_and_si128(notB, c));
    const __m128i predicted = _mm_or_si128(_mm_andnot_si128(notA, a), _mm_and_si128(notA, bOrC));
    a = _mm_and_si128(_mm_add_epi16(load(row + i), predicted), low);
    const int32_t out = _mm_cvtsi128_si32(_mm_packus_epi16(a, a));
    memcpy(o + i, &out, 4);
    c = b;
  }
}
#endif

// One row's filter undone into o.  The first pixel (no left neighbour) and
// the first row (no row above: zeros) are taken apart from the inner loops,
// which then run without a test a byte; logo sets are thousands of
// pictures, nearly all of whose time goes here and into zlib.
bool UnfilterRow(byte type, const byte *row, byte *o, const byte *above, uint32_t stride,
                 uint32_t bpp) {
  const uint32_t first = bpp < stride ? bpp : stride;
  switch (type) {
  case 0:
    TAP_MemCpy(o, row, stride);
    return true;
  case 1: // Sub
    for (uint32_t i = 0; i < first; ++i) o[i] = row[i];
    for (uint32_t i = first; i < stride; ++i) o[i] = byte(row[i] + o[i - bpp]);
    return true;
  case 2: // Up
    if (!above) {
      TAP_MemCpy(o, row, stride);
      return true;
    }
    for (uint32_t i = 0; i < stride; ++i) o[i] = byte(row[i] + above[i]);
    return true;
  case 3: // Average
    if (!above) {
      for (uint32_t i = 0; i < first; ++i) o[i] = row[i];
      for (uint32_t i = first; i < stride; ++i) o[i] = byte(row[i] + (o[i - bpp] >> 1));
      return true;
    }
    for (uint32_t i = 0; i < first; ++i) o[i] = byte(row[i] + (above[i] >> 1));
    for (uint32_t i = first; i < stride; ++i)
      o[i] = byte(row[i] + ((unsigned(o[i - bpp]) + above[i]) >> 1));
    return true;
  case 4: // Paeth: with zeros above it is Sub, on the first pixel Up
    if (!above) {
      for (uint32_t i = 0; i < first; ++i) o[i] = row[i];
      for (uint32_t i = first; i < stride; ++i) o[i] = byte(row[i] + o[i - bpp]);
      return true;
    }
    for (uint32_t i = 0; i < first; ++i) o[i] = byte(row[i] + above[i]);
#if defined(__SSE2__)
    if (bpp == 4) {
      Paeth4(row, o, above, stride);
      return true;
    }
#endif
    // The predictor p = a + b - c, and the distances of a, b and c from it.
    for (uint32_t i = first; i < stride; ++i) {
      const int a = o[i - bpp], b = above[i], c = above[i - bpp];
      const int pa = b > c ? b - c : c - b, pb = a > c ? a - c : c - a;
      const int pc = a + b > 2 * c ? a + b - 2 * c : 2 * c - a - b;
      o[i] = byte(row[i] + (pa <= pb && pa <= pc ? a : pb <= pc ? b : c));
    }
    return true;
  default:
    return false;
  }
}

bool IsType(const byte *type, const char *name) {
  return memcmp(type, name, 4) == 0;
}

uint32_t Channels(uint8_t colorType) {
  return colorType == 2 ? 3 : colorType == 4 ? 2 : colorType == 6 ? 4 : 1;
}

// Bytes of a stored row of w pixels, without its filter byte.
uint32_t RowBytes(const png_image *png, uint32_t w) {
  return uint32_t((uint64_t(w) * Channels(png->color_type) * png->depth + 7) / 8);
}

// Adam7: where the pixels of each of the seven passes lie.
constexpr uint8_t kPassX[7] = {0, 4, 0, 2, 0, 1, 0}, kPassY[7] = {0, 0, 4, 0, 2, 0, 1};
constexpr uint8_t kPassDx[7] = {8, 8, 4, 4, 2, 2, 1}, kPassDy[7] = {8, 8, 8, 4, 4, 2, 2};
constexpr uint32_t kAllRows = 7;

// The scanlines as zlib hands them out: inflated one at a time into
// filtered and undone at once, so that no copy of the whole inflated image is
// ever held.  A picture that is not interlaced is one pass.
struct Scan {
  byte *out;
  byte *filtered;    // filter byte and row, as inflated
  byte *line, *prev; // this and the last row of the pass, undone (not direct)
  uint32_t pass;     // kAllRows when every row is in
  uint32_t x0, y0, dx, dy, w, h;
  uint32_t row, rowBytes, filled;
  // Whole rows of whole bytes are undone straight into out.
  bool direct;
  // The first unknown filter type; the rows after it are left alone, and
  // the fault is reported once the chunks are all read.
  bool filterFault;
};

// Makes pass (or the next one that has pixels) current; kAllRows after the
// last.
void StartPass(const png_image *png, Scan &s, uint32_t pass) {
  for (; pass < kAllRows; ++pass) {
    if (png->interlace) {
      s.x0 = kPassX[pass];
      s.y0 = kPassY[pass];
      s.dx = kPassDx[pass];
      s.dy = kPassDy[pass];
    } else if (pass > 0) {
      break;
    } else {
      s.x0 = s.y0 = 0;
      s.dx = s.dy = 1;
    }
    s.w = png->width > s.x0 ? (png->width - s.x0 + s.dx - 1) / s.dx : 0;
    s.h = png->height > s.y0 ? (png->height - s.y0 + s.dy - 1) / s.dy : 0;
    if (s.w && s.h) {
      s.pass = pass;
      s.row = s.filled = 0;
      s.rowBytes = RowBytes(png, s.w);
      return;
    }
  }
  s.pass = kAllRows;
}

// The inflated size of the whole picture, filter bytes included.
uint64_t FilteredSize(const png_image *png) {
  Scan s{};
  uint64_t total = 0;
  for (StartPass(png, s, 0); s.pass < kAllRows; StartPass(png, s, s.pass + 1))
    total += uint64_t(s.h) * (s.rowBytes + 1);
  return total;
}

// An undone row of the pass into its pixels' places in out: whole samples
// copied, samples of 1, 2 or 4 bits one a byte (grey scaled to 0..255).
void Emit(const png_image *png, const Scan &s) {
  const uint32_t bpp = png->bpp;
  const size_t step = size_t(s.dx) * bpp;
  byte *o = s.out + (size_t(s.y0 + s.row * s.dy) * png->width + s.x0) * bpp;
  const byte *from = s.line;
  if (png->depth >= 8) {
    // Four bytes a pixel, the usual logo, are moved as one word.
    if (bpp == 4)
      for (uint32_t j = 0; j < s.w; ++j, o += step, from += 4) memcpy(o, from, 4);
    else
      for (uint32_t j = 0; j < s.w; ++j, o += step, from += bpp)
        for (uint32_t k = 0; k < bpp; ++k) o[k] = from[k];
    return;
  }
  const uint32_t depth = png->depth, mask = (1u << depth) - 1;
  const uint32_t scale = png->color_type == 0 ? 255 / mask : 1;
  for (uint32_t j = 0, bit = 0; j < s.w; ++j, o += step, bit += depth)
    *o = byte((from[bit >> 3] >> (8 - depth - (bit & 7)) & mask) * scale);
}

void FinishRow(const png_image *png, Scan &s) {
  if (!s.filterFault) {
    byte *row = s.filtered + 1;
    if (png->depth == 16)
      for (uint32_t i = 0; i + 1 < s.rowBytes; i += 2) {
        const byte t = row[i];
        row[i] = row[i + 1];
        row[i + 1] = t;
      }
    // The filters' left neighbour is a pixel back, or a byte when pixels
    // are smaller.
    const uint32_t unit = png->depth < 8 ? 1 : png->bpp;
    if (s.direct) {
      byte *o = s.out + size_t(s.row) * s.rowBytes;
      s.filterFault =
          !UnfilterRow(s.filtered[0], row, o, s.row ? o - s.rowBytes : nullptr, s.rowBytes, unit);
    } else {
      s.filterFault =
          !UnfilterRow(s.filtered[0], row, s.line, s.row ? s.prev : nullptr, s.rowBytes, unit);
      if (!s.filterFault) {
        Emit(png, s);
        byte *t = s.line;
        s.line = s.prev;
        s.prev = t;
      }
    }
  }
  s.filled = 0;
  if (++s.row == s.h) StartPass(png, s, s.pass + 1);
}

// One IDAT chunk's data through zlib, row by row.  Once every row is in, the
// stream may still end (its end code and check value) but must give no
// more bytes.
int Inflate(const png_image *png, z_stream *z, Scan &s, bool &ended) {
  byte sink;
  while (!ended) {
    const bool allRows = s.pass == kAllRows;
    const uint32_t room = allRows ? 0 : s.rowBytes + 1 - s.filled;
    z->next_out = allRows ? &sink : s.filtered + s.filled;
    z->avail_out = room;
    const int r = inflate(z, Z_SYNC_FLUSH);
    if (r != Z_OK && r != Z_STREAM_END && r != Z_BUF_ERROR) {
      Trace("%s\n", z->msg ? z->msg : "");
      return PNG_R_ZLIB;
    }
    s.filled += room - z->avail_out;
    const bool full = !allRows && z->avail_out == 0;
    if (full) FinishRow(png, s);
    if (r == Z_STREAM_END) {
      ended = true;
      break;
    }
    // A full row: zlib may hold more output, with or without input.
    if (full) continue;
    if (z->avail_in == 0) break;
    // Input zlib cannot take: more data than the picture has room for.
    if (allRows || r == Z_BUF_ERROR) return PNG_R_ZLIB;
  }
  return z->avail_in ? PNG_R_ZLIB : PNG_R_OK;
}

// A chunk's data read whole and checked against its CRC.
int ReadChunkData(png_image *png, const byte *type, byte *data, uint32_t length) {
  byte crc[4];
  if (file_read(png, data, 1, length) != length || file_read(png, crc, 1, 4) != 4)
    return PNG_R_FILE;
  return get_ul(crc) == Crc(type, 4, data, length) ? PNG_R_OK : PNG_R_CRC;
}

int ReadPalette(png_image *png, const byte *type, uint32_t length) {
  // A truecolour picture may suggest a palette, which nothing here uses;
  // greyscale ones have none to give.
  if (png->color_type != 3) return SkipChunk(png, length) ? PNG_R_OK : PNG_R_FILE;
  if (png->palette_size) return PNG_R_PALETTE;
  if (length == 0 || length % 3 != 0 || length / 3 > (1u << png->depth)) return PNG_R_CRC;
  byte data[3 * 256];
  const int r = ReadChunkData(png, type, data, length);
  if (r != PNG_R_OK) return r;
  png->palette_size = uint16_t(length / 3);
  for (uint32_t i = 0; i < png->palette_size; ++i)
    png->palette[i] = 0xFF000000u | uint32_t(data[3 * i]) << 16 | uint32_t(data[3 * i + 1]) << 8 |
                      data[3 * i + 2];
  return PNG_R_OK;
}

int ReadTransparency(png_image *png, const byte *type, uint32_t length, bool &seen) {
  const uint8_t kind = png->color_type;
  // Pictures with an alpha channel have no use for it; of two, the first
  // counts (as with libpng).
  if (kind == 4 || kind == 6 || seen) return SkipChunk(png, length) ? PNG_R_OK : PNG_R_FILE;
  if (kind == 3 && !png->palette_size) return PNG_R_PALETTE; // it must follow PLTE
  if (kind == 3 ? length > png->palette_size : length != 2 * Channels(kind)) return PNG_R_CRC;
  byte data[256];
  const int r = ReadChunkData(png, type, data, length);
  if (r != PNG_R_OK) return r;
  seen = true;
  if (kind == 3) {
    for (uint32_t i = 0; i < length; ++i)
      png->palette[i] = (png->palette[i] & 0xFFFFFFu) | uint32_t(data[i]) << 24;
    return PNG_R_OK;
  }
  // Bits above the depth are ignored, as libpng does.
  const uint32_t mask = png->depth == 16 ? 0xFFFF : (1u << png->depth) - 1;
  for (uint32_t k = 0; k < Channels(kind); ++k)
    png->key[k] = uint16_t((uint32_t(data[2 * k]) << 8 | data[2 * k + 1]) & mask);
  png->has_key = 1;
  return PNG_R_OK;
}

// The chunk loop.  Returns with raw allocated only on success.
int ReadChunks(png_image *png, byte *out) {
  byte type[5] = {0, 0, 0, 0, 0};
  uint32_t length = 0;
  bool inflated = false, transparency = false;
  Scan scan;
  memset(&scan, 0, sizeof scan);
  while (true) {
    Trace("pc1\n");
    if (file_read_ul(png, &length) != 0) return PNG_R_FILE;
    Trace("pc2\n");
    if (file_read(png, type, 1, 4) != 4) return PNG_R_FILE;
    Trace("pc3\n");
    if (IsType(type, "IEND")) break;
    // PLTE and tRNS say what the pixels mean only before the image data.
    if (!inflated && IsType(type, "PLTE")) {
      const int r = ReadPalette(png, type, length);
      if (r != PNG_R_OK) return r;
      continue;
    }
    if (!inflated && IsType(type, "tRNS")) {
      const int r = ReadTransparency(png, type, length, transparency);
      if (r != PNG_R_OK) return r;
      continue;
    }
    if (!IsType(type, "IDAT")) {
      if (!SkipChunk(png, length)) return PNG_R_FILE;
      continue;
    }
    // PNG keeps its image data in one run of IDAT chunks; a second run is
    // not a picture this codec understands.
    if (inflated) return PNG_R_FILE;
    inflated = true;
    if (png->color_type == 3 && !png->palette_size) return PNG_R_PALETTE;
    Trace("pc4\n");
    const uint64_t rawLen = FilteredSize(png);
    if (rawLen > 0xFFFFFFFFu) return PNG_R_MEMORY;
    png->raw_len = uint32_t(rawLen);
    // One filtered row, and for interlaced or packed pixels the two rows of
    // the pass that filters refer to.
    scan.out = out;
    scan.direct = !png->interlace && png->depth >= 8;
    const uint32_t widest = RowBytes(png, png->width);
    png->raw = static_cast<byte *>(TAP_MemAlloc(widest + 1 + (scan.direct ? 0 : 2 * widest)));
    if (!png->raw) return PNG_R_MEMORY;
    scan.filtered = png->raw;
    scan.line = png->raw + widest + 1;
    scan.prev = scan.line + widest;
    StartPass(png, scan, 0);
    Trace("pc5\n");
    uint32_t bufferSize = length;
    byte *chunk = static_cast<byte *>(TAP_MemAlloc(bufferSize ? bufferSize : 1));
    z_stream *z = static_cast<z_stream *>(TAP_MemAlloc(sizeof(z_stream)));
    if (!chunk || !z) {
      if (chunk) TAP_MemFree(chunk);
      if (z) TAP_MemFree(z);
      return PNG_R_MEMORY;
    }
    TAP_MemSet(z, 0, sizeof(z_stream));
    z->zalloc = ZAlloc;
    z->zfree = ZFree;
    if (inflateInit_(z, "1.2.3", int(sizeof(z_stream))) != Z_OK) {
      TAP_MemFree(chunk);
      TAP_MemFree(z);
      return PNG_R_ZLIB;
    }
    png->zstream = z;
    int result = PNG_R_OK;
    bool ended = false;
    while (true) {
      result = ReadChunkData(png, type, chunk, length);
      if (result != PNG_R_OK) break;
      z->next_in = chunk;
      z->avail_in = length;
      result = Inflate(png, z, scan, ended);
      if (result != PNG_R_OK) break;
      if (file_read_ul(png, &length) != 0) {
        result = PNG_R_FILE;
        break;
      }
      if (length > bufferSize) {
        TAP_MemFree(chunk);
        bufferSize = length;
        chunk = static_cast<byte *>(TAP_MemAlloc(bufferSize));
        if (!chunk) {
          result = PNG_R_MEMORY;
          break;
        }
      }
      if (file_read(png, type, 1, 4) != 4) {
        result = PNG_R_FILE;
        break;
      }
      Trace("type %s\n", type);
      if (!IsType(type, "IDAT")) break;
    }
    if (chunk) TAP_MemFree(chunk);
    // A stream that stops short of the picture is an error, not a picture
    // with an invented remainder.
    if (result == PNG_R_OK && scan.pass != kAllRows) result = PNG_R_ZLIB;
    png_end_inflate(png);
    if (result != PNG_R_OK) return result;
    if (IsType(type, "IEND")) break;
    if (!SkipChunk(png, length)) return PNG_R_FILE;
  }
  Trace("gd2\n");
  // An IEND before any image data leaves nothing to show.
  if (!inflated) return PNG_R_FILE;
  Trace("gd4\n");
  // The rows were undone as they came; an unknown filter stopped that.
  const int result = scan.filterFault ? PNG_R_FILTER : PNG_R_OK;
  Trace("gd5\n");
  return result;
}

// Decodes a whole PNG into a new buffer of width x height x bpp bytes.
int DecodeAll(png_image *png, byte **pixels) {
  *pixels = nullptr;
  const uint32_t size = png->width * png->height * png->bpp;
  *pixels = static_cast<byte *>(TAP_MemAlloc(size));
  if (!*pixels) {
    Trace("malloc failed\n");
    return PNG_R_MEMORY;
  }
  const int result = png_get_data(png, *pixels);
  if (result < 0) {
    TAP_MemFree(*pixels);
    *pixels = nullptr;
  }
  return result;
}

// Base name of a ".png" file (its last four characters cut), bounded.
bool BaseName(const char *filename, char *base, size_t size) {
  const size_t length = strlen(filename);
  if (length < 4 || length - 4 >= size) return false;
  memcpy(base, filename, length - 4);
  base[length - 4] = '\0';
  return true;
}

TYPE_File *CreateNew(const char *name) {
  if (TAP_Hdd_Exist(name)) TAP_Hdd_Delete(name);
  TAP_Hdd_Create(name, ATTR_NORMAL);
  return TAP_Hdd_Fopen(name);
}

bool WriteText(TYPE_File *f, const char *text) {
  const dword n = dword(strlen(text));
  return n == 0 || TAP_Hdd_Fwrite(text, n, 1, f) == 1;
}

// The same stream zlib's compress() makes, with zlib's memory taken from the
// firmware heap.
int Compress(byte *dest, uLongf *destLen, const byte *source, uLong sourceLen) {
  z_stream z;
  memset(&z, 0, sizeof z);
  z.zalloc = ZAlloc;
  z.zfree = ZFree;
  int r = deflateInit(&z, Z_DEFAULT_COMPRESSION);
  if (r != Z_OK) return r;
  z.next_in = const_cast<byte *>(source);
  z.avail_in = uInt(sourceLen);
  z.next_out = dest;
  z.avail_out = uInt(*destLen);
  r = deflate(&z, Z_FINISH);
  *destLen = z.total_out;
  deflateEnd(&z);
  return r == Z_STREAM_END ? Z_OK : (r == Z_OK ? Z_BUF_ERROR : r);
}

} // namespace

uint32_t get_ul(const byte *b) {
  return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
}

void set_ul(byte *b, uint32_t v) {
  b[0] = byte(v >> 24);
  b[1] = byte(v >> 16);
  b[2] = byte(v >> 8);
  b[3] = byte(v);
}

int png_get_bpp(const png_image *png) {
  const int d = png->depth / 8;
  switch (png->color_type) {
  case 0:
  case 3:
    // Samples of 1, 2 and 4 bits come out one a byte.
    return d ? d : png->depth ? 1 : 0;
  case 2:
    return 3 * d;
  case 4:
    return 2 * d;
  case 6:
    return 4 * d;
  default:
    return -1;
  }
}

namespace {

// The colour types and depths PNG defines.
bool ValidKind(uint8_t colorType, uint8_t depth) {
  switch (colorType) {
  case 0:
    return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
  case 3:
    return depth == 1 || depth == 2 || depth == 4 || depth == 8;
  case 2:
  case 4:
  case 6:
    return depth == 8 || depth == 16;
  default:
    return false;
  }
}

} // namespace

const char *png_error_string(int code, int german) {
  switch (code) {
  case PNG_R_DONE:
    return german ? "PNG verarbeitet" : "PNG done";
  case PNG_R_OK:
    return german ? "kein Fehler" : "No error";
  case PNG_R_FILE:
    return german ? "unbekannter Dateifehler" : "Unknown file error.";
  case PNG_R_HEADER:
    return german ? "kein PNG Header gefunden" : "No PNG header found.";
  case PNG_R_READ:
    return german ? "Fehler beim Lesen der Datei" : "Failure while reading file.";
  case PNG_R_EOF:
    return german ? "Dateiende erreicht" : "Reached end of file.";
  case PNG_R_CRC:
    return german ? "Pr\xFC"
                    "fsumme oder Chunk-L\xE4nge falsch"
                  : "CRC or chunk length error.";
  case PNG_R_MEMORY:
    return german ? "konnte keinen Speicher reservieren" : "Could not allocate memory.";
  case PNG_R_ZLIB:
    return german ? "zlib meldet einen Fehler" : "zlib reported an error.";
  case PNG_R_FILTER:
    return german ? "unbekannte Filtermethode" : "Unknown filter method used in scanline.";
  case PNG_R_UNSUPPORTED:
    return german ? "Das PNG wird von diesem Decoder nicht unterst\xFCtzt."
                  : "The PNG is unsupported by this decoder, too bad for you!";
  case PNG_R_ARGUMENTS:
    return german ? "Falsche Kombination von Parametern f\xFCr png_open"
                  : "Wrong combination of arguments passed to png_open. You must use either a "
                    "read_function or supply a file pointer to use.";
  case PNG_R_DEPTH:
    return german
               ? "Das PNG wird aufgrund seiner Farbtiefe nicht von diesem Decoder unterst\xFCtzt."
               : "The PNG is unsupported by this decoder due to color depth, too bad for you!";
  case PNG_R_PALETTE:
    return german
               ? "Das PNG wird aufgrund seiner Farbpalette nicht von diesem Decoder unterst\xFCtzt."
               : "The PNG is unsupported by this decoder due to index palette, too bad for you!";
  default:
    return german ? "unbekannter Fehler" : "Unknown error.";
  }
}

int png_open_file_read(png_image *png, const char *filename) {
  if (!png) return PNG_R_ARGUMENTS;
  TYPE_File *f = filename ? TAP_Hdd_Fopen(filename) : nullptr;
  if (!f) return PNG_R_FILE;
  png->from_file = 1;
  return png_open_read(png, nullptr, dword(f));
}

int png_open_mem_read(png_image *png, const void *buffer, uint32_t length) {
  if (!png) return PNG_R_ARGUMENTS;
  png->mem_base = static_cast<const byte *>(buffer);
  png->mem_pos = 0;
  png->mem_len = buffer ? length : 0;
  png->from_file = 0;
  return png_open_read(png, nullptr, 0);
}

int png_open(png_image *png, png_read_callback read_callback, dword handle) {
  return png_open_read(png, read_callback, handle);
}

int png_open_file(png_image *png, const char *filename) {
  return png_open_file_read(png, filename);
}

int png_open_read(png_image *png, png_read_callback read_callback, dword handle) {
  if (!png) return PNG_R_ARGUMENTS;
  png->read_callback = read_callback;
  png->write_callback = nullptr;
  png->handle = handle;
  png->zstream = nullptr;
  png->raw = nullptr;
  png->raw_len = 0;
  if (png->from_file && !read_callback && !handle) return PNG_R_ARGUMENTS;
  if (!read_callback && !png->from_file && !png->mem_base) return PNG_R_ARGUMENTS;
  byte header[17];
  if (file_read(png, header, 1, 8) != 8) return PNG_R_EOF;
  Trace("header %02X %02X %02X %02X %02X %02X %02X %02X\n", header[0], header[1], header[2],
        header[3], header[4], header[5], header[6], header[7]);
  if (TAP_MemCmp(header, kSignature, 8) != 0) return PNG_R_HEADER;
  int result = PNG_R_OK;
  uint32_t length = 0;
  if (file_read_ul(png, &length) != 0) {
    result = PNG_R_EOF;
  } else if (length != 13) {
    Trace("IHDR length %d\n", int(length));
    result = PNG_R_CRC;
  } else if (file_read(png, header, 1, 17) != 17) {
    result = PNG_R_EOF;
  } else {
    Trace("IHDR %02X %02X %02X %02X %02X %02X %02X %02X %02X %02X %02X %02X %02X %02X %02X "
          "%02X %02X\n",
          header[0], header[1], header[2], header[3], header[4], header[5], header[6], header[7],
          header[8], header[9], header[10], header[11], header[12], header[13], header[14],
          header[15], header[16]);
    uint32_t crc = 0;
    if (file_read_ul(png, &crc) != 0 || crc != Crc(header, 17)) {
      result = PNG_R_CRC;
    } else {
      png->width = get_ul(header + 4);
      png->height = get_ul(header + 8);
      png->depth = header[12];
      png->color_type = header[13];
      png->compression = header[14];
      png->filter = header[15];
      png->interlace = header[16];
      const uint64_t pixels = uint64_t(png->width) * png->height;
      // Refused: what PNG does not define (colour types, depths that do not
      // go with them, interlace methods), and pictures that are empty or too
      // large to hold (before anything is allocated).
      if (!ValidKind(png->color_type, png->depth) || png->interlace > 1 || pixels == 0 ||
          pixels > kPngMaxPixels)
        result = PNG_R_UNSUPPORTED;
    }
  }
  png->bpp = uint8_t(png_get_bpp(png));
  return result;
}

int png_get_data(png_image *png, byte *out) {
  if (!png || !out) return PNG_R_ARGUMENTS;
  Trace("gd1\n");
  png->raw = nullptr;
  png->raw_len = 0;
  png->zstream = nullptr;
  png->palette_size = 0;
  png->has_key = 0;
  png->key[0] = png->key[1] = png->key[2] = 0;
  for (uint32_t &entry : png->palette) entry = 0xFF000000u;
  const int result = ReadChunks(png, out);
  if (result != PNG_R_OK) Trace("gd3\n");
  if (png->raw) TAP_MemFree(png->raw);
  png->raw = nullptr;
  Trace("gd6\n");
  return result;
}

int png_close_file(png_image *png) {
  if (png && png->from_file && png->handle) {
    TAP_Hdd_Fclose(reinterpret_cast<TYPE_File *>(png->handle));
    png->handle = 0;
  }
  return 0;
}

// ---- writer --------------------------------------------------------------

int png_open_write(png_image *png, png_write_callback write_callback, dword handle) {
  if (!png) return PNG_R_ARGUMENTS;
  png->handle = handle;
  png->write_callback = write_callback;
  png->read_callback = nullptr;
  if (write_callback) return PNG_R_OK;
  return handle ? PNG_R_OK : PNG_R_ARGUMENTS;
}

// An existing file is replaced: no old bytes may remain behind IEND.
int png_open_file_write(png_image *png, const char *filename) {
  if (!png) return PNG_R_ARGUMENTS;
  TYPE_File *f = filename ? CreateNew(filename) : nullptr;
  if (!f) return PNG_R_FILE;
  png->from_file = 1;
  return png_open_write(png, nullptr, dword(f));
}

// Everything is prepared before the first byte is written, so that a
// failure leaves no half-written file behind; the result says what failed.
int png_set_data(png_image *png, uint32_t width, uint32_t height, int8_t depth, uint8_t color_type,
                 void *data) {
  if (!png || !data) return PNG_R_ARGUMENTS;
  png->width = width;
  png->height = height;
  png->depth = uint8_t(depth);
  png->color_type = color_type;
  const int bpp = png_get_bpp(png);
  png->bpp = uint8_t(bpp);
  const uint64_t stride = uint64_t(width) * (bpp > 0 ? bpp : 0);
  const uint64_t filteredLen = stride * height + height;
  // Whole-byte samples only: the rows are written as they are given.
  if (bpp <= 0 || (depth != 8 && depth != 16) || width == 0 || height == 0 ||
      filteredLen > 0x7FFFFFFFu)
    return PNG_R_UNSUPPORTED;
  byte *pixels = static_cast<byte *>(data);
  // The logo's ARGB words become R, G, B, A bytes.  (16-bit grey with alpha
  // has four bytes a pixel too, but its samples are already in order.)
  if (bpp == 4 && color_type == 6) {
    uint32_t *words = static_cast<uint32_t *>(data);
    for (uint64_t i = 0; i < uint64_t(width) * height; ++i) {
      const uint32_t w = words[i];
      words[i] = (w & 0xFF00FF00u) | (w >> 16 & 0xFF) | (w & 0xFF) << 16;
    }
  }
  byte *filtered = static_cast<byte *>(TAP_MemAlloc(dword(filteredLen)));
  if (!filtered) return PNG_R_MEMORY;
  for (uint32_t y = 0; y < height; ++y) {
    byte *row = filtered + uint64_t(y) * (stride + 1);
    row[0] = 0;
    TAP_MemCpy(row + 1, pixels + uint64_t(y) * stride, dword(stride));
  }
  const uLong bound = compressBound(uLong(filteredLen));
  byte *idat = static_cast<byte *>(TAP_MemAlloc(dword(bound + 8)));
  if (!idat) {
    TAP_MemFree(filtered);
    return PNG_R_MEMORY;
  }
  memcpy(idat, "IDAT", 4);
  uLongf n = bound;
  const int z = Compress(idat + 4, &n, filtered, uLong(filteredLen));
  TAP_MemFree(filtered);
  if (z != Z_OK) {
    TAP_MemFree(idat);
    return z == Z_MEM_ERROR ? PNG_R_MEMORY : PNG_R_ZLIB;
  }
  set_ul(idat + 4 + n, Crc(idat, uint32_t(n + 4)));

  byte head[8 + 4 + 17 + 4];
  memcpy(head, kSignature, 8);
  set_ul(head + 8, 13);
  byte *ihdr = head + 12;
  memcpy(ihdr, "IHDR", 4);
  set_ul(ihdr + 4, width);
  set_ul(ihdr + 8, height);
  ihdr[12] = png->depth;
  ihdr[13] = color_type;
  ihdr[14] = ihdr[15] = ihdr[16] = 0;
  set_ul(head + 29, Crc(ihdr, 17));
  static const byte kIend[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
  bool ok = file_write(png, head, 1, sizeof head) == sizeof head;
  ok = ok && file_write_ul(png, uint32_t(n)) == 0;
  ok = ok && file_write(png, idat, 1, dword(n + 8)) == dword(n + 8);
  ok = ok && file_write(png, kIend, 1, sizeof kIend) == sizeof kIend;
  TAP_MemFree(idat);
  return ok ? PNG_R_OK : PNG_R_FILE;
}

int png_save(uint32_t width, uint32_t height, int8_t depth, int32_t, uint8_t color_type, void *data,
             const char *filename) {
  if (!data) return PNG_R_MEMORY;
  png_image png;
  memset(&png, 0, sizeof png);
  int result = png_open_file_write(&png, filename);
  if (result < 0) return result;
  result = png_set_data(&png, width, height, depth, color_type, data);
  png_close_file(&png);
  // A file that is not all there is no PNG: it goes again.
  if (result < 0) {
    TAP_Hdd_Delete(filename);
    return result;
  }
  return PNG_R_DONE;
}

// ---- exports ---------------------------------------------------------------

int png_save_raw(const char *filename) {
  png_image png;
  memset(&png, 0, sizeof png);
  Trace("test1\n");
  int result = png_open_file_read(&png, filename);
  if (result < 0) {
    png_close_file(&png);
    return result;
  }
  Trace("test2\n");
  byte *pixels = nullptr;
  result = DecodeAll(&png, &pixels);
  png_close_file(&png);
  if (result < 0) return result;
  const uint32_t size = png.width * png.height * png.bpp;
  Trace("test5 datalen %d\n", int(size));
  char base[64], name[80];
  if (!BaseName(filename, base, sizeof base)) {
    TAP_MemFree(pixels);
    return PNG_R_FILE;
  }
  snprintf(name, sizeof name, "%s.pngraw", base);
  TYPE_File *f = CreateNew(name);
  if (!f) {
    Trace("could not open %s\n", name);
    TAP_MemFree(pixels);
    return PNG_R_FILE;
  }
  const bool ok = TAP_Hdd_Fwrite(pixels, size, 1, f) == 1;
  TAP_Hdd_Fclose(f);
  TAP_MemFree(pixels);
  Trace("test8\n");
  return ok ? PNG_R_OK : PNG_R_FILE;
}

void png_entfernen(char *name) {
  if (!name) return;
  for (unsigned char *p = reinterpret_cast<unsigned char *>(name); *p; ++p)
    if (*p == 0x05 || (*p >= 0x20 && *p <= 0x2A) || (*p >= 0x2C && *p <= 0x2F) ||
        (*p >= 0x3A && *p <= 0x3F))
      *p = '_';
}

int png_save_c(const char *filename) {
  png_image png;
  memset(&png, 0, sizeof png);
  Trace("test1\n");
  int result = png_open_file_read(&png, filename);
  png_close_file(&png);
  if (result < 0) return result;
  Trace("test3 w %d, h %d, d %d\n", int(png.width), int(png.height), int(png.depth));
  TYPE_File *in = TAP_Hdd_Fopen(filename);
  if (!in) return PNG_R_FILE;
  const dword length = TAP_Hdd_Flen(in);
  byte *data = static_cast<byte *>(TAP_MemAlloc(length ? length : 1));
  if (!data) {
    TAP_Hdd_Fclose(in);
    Trace("malloc failed\n");
    return PNG_R_MEMORY;
  }
  dword done = 0;
  while (length - done >= 500 && TAP_Hdd_Fread(data + done, 500, 1, in) == 1) done += 500;
  while (done < length && TAP_Hdd_Fread(data + done, 1, 1, in) == 1) ++done;
  TAP_Hdd_Fclose(in);
  if (done < length) {
    TAP_MemFree(data);
    return PNG_R_FILE;
  }
  char base[64], name[80];
  if (!BaseName(filename, base, sizeof base)) {
    TAP_MemFree(data);
    return PNG_R_FILE;
  }
  png_entfernen(base);
  snprintf(name, sizeof name, "%s.pngc", base);
  TYPE_File *f = CreateNew(name);
  if (!f) {
    Trace("could not open %s\n", name);
    TAP_MemFree(data);
    return PNG_R_FILE;
  }
  char line[120];
  snprintf(line, sizeof line, "byte %s_pngc[] =\n{\n ", base);
  bool ok = WriteText(f, line);
  char *batch = static_cast<char *>(TAP_MemAlloc(11200));
  if (!batch) {
    TAP_Hdd_Fclose(f);
    TAP_MemFree(data);
    return PNG_R_MEMORY;
  }
  size_t used = 0;
  int lines = 0;
  dword i = 0;
  for (; length - i >= 16; i += 16) {
    const byte *b = data + i;
    used += size_t(snprintf(batch + used, 11200 - used,
                            " 0x%02X, 0x%02X, 0x%02X, 0x%02X, 0x%02X, 0x%02X, 0x%02X, 0x%02X, "
                            "0x%02X, 0x%02X, 0x%02X, 0x%02X, 0x%02X, 0x%02X, 0x%02X, 0x%02X,\n ",
                            b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10],
                            b[11], b[12], b[13], b[14], b[15]));
    if (++lines == 100) {
      ok = ok && WriteText(f, batch);
      used = 0;
      lines = 0;
      batch[0] = '\0';
    }
  }
  if (used) ok = ok && WriteText(f, batch);
  TAP_MemFree(batch);
  for (; i < length; ++i) {
    snprintf(line, sizeof line, " 0x%02X,", data[i]);
    ok = ok && WriteText(f, line);
  }
  snprintf(line, sizeof line, "\n};\n//width  %d\n//height %d\n//depth  %d\n//bytes  %d\n",
           int(png.width), int(png.height), int(png.depth), int(length));
  ok = ok && WriteText(f, line);
  TAP_Hdd_Fclose(f);
  TAP_MemFree(data);
  return ok ? PNG_R_OK : PNG_R_FILE;
}

// ---- drawing -----------------------------------------------------------------

uint32_t png_pixel_argb(const byte *p, uint8_t color_type, bool wide) {
  uint32_t a = 255, r, g, b;
  switch (color_type) {
  case 0:
    r = g = b = wide ? p[1] : p[0];
    break;
  case 2:
    r = wide ? p[1] : p[0];
    g = wide ? p[3] : p[1];
    b = wide ? p[5] : p[2];
    break;
  case 4:
    r = g = b = wide ? p[1] : p[0];
    a = wide ? p[3] : p[1];
    break;
  default:
    r = wide ? p[1] : p[0];
    g = wide ? p[3] : p[1];
    b = wide ? p[5] : p[2];
    a = wide ? p[7] : p[3];
    break;
  }
  return a << 24 | r << 16 | g << 8 | b;
}

uint32_t png_image_pixel(const png_image *png, const byte *p) {
  if (png->color_type == 3) return png->palette[p[0]];
  const bool wide = png->depth == 16;
  const uint32_t argb = png_pixel_argb(p, png->color_type, wide);
  if (!png->has_key || (png->color_type != 0 && png->color_type != 2)) return argb;
  // The key is compared at the file's depth: whole 16-bit samples, and
  // packed grey as the value it was scaled to.
  const uint32_t scale = png->depth < 8 ? 255 / ((1u << png->depth) - 1) : 1;
  for (uint32_t k = 0; k < (png->color_type == 2 ? 3u : 1u); ++k) {
    const uint32_t sample = wide ? uint32_t(p[2 * k]) | uint32_t(p[2 * k + 1]) << 8 : p[k];
    if (sample != png->key[k] * scale) return argb;
  }
  return argb & 0xFFFFFFu;
}

uint32_t pngAlphaGetBG(int32_t x, int32_t y, int32_t plane) {
  (void)plane; // the receiver has one OSD plane here
  TYPE_OsdBaseInfo info;
  if (TAP_Osd_GetPlaneBaseInfo(&info) != 0 || !info.pixels || x < 0 || y < 0 || x >= OSD_WIDTH ||
      y >= OSD_HEIGHT)
    return 0;
  return info.pixels[size_t(y) * OSD_WIDTH + size_t(x)];
}

uint8_t pngAlphaBlend(uint8_t alpha, uint8_t fg, uint8_t bg) {
  if (alpha == 0) return bg;
  if (alpha == 255) return fg;
  const unsigned v = ((255u - alpha) * bg + unsigned(alpha) * fg) >> 8;
  return uint8_t(v > 255 ? 255 : v);
}

uint32_t pngAlphaBlendRGB(uint8_t alpha, uint32_t fg, uint32_t bg) {
  if (bg == 0) return uint32_t(alpha) << 24 | (fg & 0xFFFFFF);
  const uint8_t r = pngAlphaBlend(alpha, uint8_t(fg >> 16), uint8_t(bg >> 16));
  const uint8_t g = pngAlphaBlend(alpha, uint8_t(fg >> 8), uint8_t(bg >> 8));
  const uint8_t b = pngAlphaBlend(alpha, uint8_t(fg), uint8_t(bg));
  return 0xFF000000u | uint32_t(r) << 16 | uint32_t(g) << 8 | b;
}

void png_print_info(const png_image *png, int32_t region, int32_t x, int32_t y, int32_t german) {
  if (!png) return;
  char lines[5][160];
  snprintf(lines[0], sizeof lines[0],
           german ? "Breite: %4d, H\xF6he: %4d, Farbtiefe: %4d Bits, Byte pro Pixel: %d, "
                    "Roh-Gr\xF6\xDF"
                    "e: %6d\n"
                  : "width: %4d, height: %4d, depth: %4d Bits, bytes per pixel: %d, raw size: "
                    "%6d\n",
           int(png->width), int(png->height), int(png->depth), int(png->bpp),
           int(png->width * png->height * png->bpp));
  static const char *const kColourEn[] = {"%s greyscale\n",
                                          "%s unknown, this is not good\n",
                                          "%s truecolor\n",
                                          "%s palette\n",
                                          "%s greyscale with alpha\n",
                                          "%s unknown, this is not good\n",
                                          "%s truecolor with alpha\n"};
  static const char *const kColourDe[] = {
      "%s Graustufen\n",           "%s unbekannt\n", "%s Farbe\n",          "%s Palette\n",
      "%s Graustufen mit Alpha\n", "%s unbekannt\n", "%s Farbe mit Alpha\n"};
  const int type = png->color_type <= 6 ? png->color_type : 1;
  snprintf(lines[1], sizeof lines[1], german ? kColourDe[type] : kColourEn[type],
           german ? "Farbe:" : "color:");
  const char *unknown = german ? "unbekannt" : "unknown, this is not good";
  snprintf(lines[2], sizeof lines[2], german ? "Komprimierung: %s\n" : "compression: %s\n",
           png->compression == 0 ? "inflate/deflate" : unknown);
  snprintf(lines[3], sizeof lines[3], german ? "Filter: %s\n" : "filter: %s\n",
           png->filter == 0 ? (german ? "adaptiv" : "adaptive") : unknown);
  snprintf(lines[4], sizeof lines[4], german ? "Interlace: %s\n" : "interlace: %s\n",
           png->interlace == 0 ? (german ? "nein" : "no interlace")
                               : (german ? "ja" : "interlace"));
  for (int i = 0; i < 5; ++i) {
    TAP_Osd_PutString(word(region), dword(x), dword(y + 19 * (i + 1)), 660, lines[i], 0xFFFFFFFF,
                      0xFF101010, 0, 0, 0);
    Trace("%s", lines[i]);
  }
}

static void ShowMessage(int32_t region, int code, int32_t messages) {
  if (!messages) return;
  TAP_Osd_PutString(word(region), 60, 420, 660, png_error_string(code, messages != 1), 0xFFFFFFFF,
                    0xFF101010, 0, 0, 0);
}

int png_show(int32_t region, int32_t bg_x, int32_t bg_y, int32_t max_x, int32_t max_y, int32_t x,
             int32_t y, const char *filename, const void *buffer, uint32_t buffer_len,
             int32_t bg_plane, uint32_t bg_colour, int32_t messages) {
  png_image png;
  memset(&png, 0, sizeof png);
  Trace("test1\n");
  int result;
  if (filename && *filename) {
    Trace("test1a\n");
    result = png_open_file_read(&png, filename);
  } else if (buffer) {
    Trace("test1b\n");
    result = png_open_mem_read(&png, buffer, buffer_len);
  } else {
    return -1;
  }
  if (result < 0) {
    png_close_file(&png);
    ShowMessage(region, result, messages);
    return result;
  }
  byte *pixels = nullptr;
  result = DecodeAll(&png, &pixels);
  png_close_file(&png);
  if (result < 0) {
    ShowMessage(region, result, messages);
    return result;
  }
  Trace("test4a\n");
  if (x == -1 && y == -1) {
    x = max_x / 2 - int32_t(png.width) / 2;
    y = max_y / 2 - int32_t(png.height) / 2;
  }
  Trace("test4b\n");
  for (uint32_t r = 0; r < png.height; ++r) {
    const int32_t Y = y + int32_t(r);
    if (Y > max_y) break;
    for (uint32_t c = 0; c < png.width; ++c) {
      const int32_t X = x + int32_t(c);
      if (X > max_x) break;
      const byte *p = pixels + (size_t(r) * png.width + c) * png.bpp;
      const uint32_t argb = png_image_pixel(&png, p);
      const uint32_t bg =
          bg_plane == -1 ? bg_colour : pngAlphaGetBG(bg_x + X, bg_y + Y, bg_plane & 0xFF);
      Trace("test5c tklib\n");
      TAP_Osd_PutPixel(word(region), dword(X), dword(Y),
                       pngAlphaBlendRGB(uint8_t(argb >> 24), 0xFF000000u | argb, bg));
    }
  }
  Trace("test5a\n");
  if (messages) {
    if (x < 61 && (png.height < 421 || max_y < 561))
      png_print_info(&png, region, x, y + int32_t(png.height), messages != 1);
    else
      png_print_info(&png, region, 60, 420, messages != 1);
  }
  Trace("test5b\n");
  TAP_MemFree(pixels);
  return PNG_R_OK;
}
