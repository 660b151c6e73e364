// osd.cpp - the screen: OSD regions on one shared plane, the drawing calls,
// graphic records, the built-in text font and screenshots.
//
// Shown regions are windows onto one 720 x 576 ARGB plane (S().plane); a
// drawing call writes the plane at the region's offset, clipped to the region,
// so whatever is drawn last wins where regions overlap.  Memory-only regions
// own a buffer of their own and are never shown.  TAP_Osd_Sync copies the
// plane to S().shown, which is what a screenshot shows.
//
// Results: 0 for success; -1 for a handle that names no open region, a
// missing argument, or a box whose origin lies outside the region.  A box
// that starts inside but reaches beyond the region is clipped.  Coordinates
// are unsigned, so a "negative" value arrives as a huge one and is refused
// like any other origin outside the region.
#include <stdint.h>
#include <png.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <new>

#include "sim.h"

namespace {

#include "font.inc"

using sim::Region;
using sim::S;

constexpr int kPlanePixels = OSD_WIDTH * OSD_HEIGHT;
// Memory-only regions are off-screen work areas; a side beyond this is a
// caller's mistake rather than a picture, and would only exhaust memory.
constexpr dword kMaxMemRegionSide = 4096;
constexpr int kErr = -1;

// The plane and its shown copy are sized on first use, and never reallocated
// afterwards, so the pointer TAP_Osd_GetPlaneBaseInfo hands out stays valid
// until the firmware is shut down.
void EnsurePlane() {
  sim::State &s = S();
  if (s.plane.size() != size_t(kPlanePixels)) s.plane.assign(kPlanePixels, 0);
  if (s.shown.size() != size_t(kPlanePixels)) s.shown.assign(kPlanePixels, 0);
}

// The pixels a region draws into: base is the region's top-left pixel.
struct Target {
  uint32_t *base;
  size_t stride;
  int w, h;
  uint32_t &At(int x, int y) const { return base[size_t(y) * stride + size_t(x)]; }
};

struct Box {
  int x, y, w, h;
};

Region *Lookup(word rgn) {
  if (rgn == 0 || rgn >= sim::kMaxRegions) return nullptr;
  Region &r = S().regions[rgn];
  return r.used ? &r : nullptr;
}

// Shown regions lie wholly on the screen (TAP_Osd_Create makes sure), so
// clipping to the region also clips to the screen.
bool TargetOf(word rgn, Target &t) {
  EnsurePlane();
  Region *r = Lookup(rgn);
  if (!r) return false;
  if (r->memOnly) {
    t.base = r->mem.data();
    t.stride = size_t(r->w);
  } else {
    t.base = S().plane.data() + size_t(r->y) * OSD_WIDTH + size_t(r->x);
    t.stride = OSD_WIDTH;
  }
  t.w = r->w;
  t.h = r->h;
  return true;
}

bool OriginInside(const Target &t, dword x, dword y) {
  return x < dword(t.w) && y < dword(t.h);
}

// A dword extent as a signed 64-bit number that cannot overflow when added
// to a coordinate: anything beyond 2^31 reaches past every region anyway.
int64_t Extent(dword v) {
  return v > 0x7FFFFFFFul ? int64_t(0x7FFFFFFF) : int64_t(v);
}

// Intersects the box with the region; false when nothing is left.
bool Clip(const Target &t, int64_t x, int64_t y, int64_t w, int64_t h, Box &out) {
  int64_t x0 = std::max<int64_t>(x, 0), y0 = std::max<int64_t>(y, 0);
  int64_t x1 = std::min<int64_t>(x + w, t.w), y1 = std::min<int64_t>(y + h, t.h);
  if (x0 >= x1 || y0 >= y1) return false;
  out = Box{int(x0), int(y0), int(x1 - x0), int(y1 - y0)};
  return true;
}

void Fill(const Target &t, int64_t x, int64_t y, int64_t w, int64_t h, uint32_t color) {
  Box b;
  if (!Clip(t, x, y, w, h, b)) return;
  for (int r = 0; r < b.h; ++r) {
    uint32_t *p = &t.At(b.x, b.y + r);
    std::fill(p, p + b.w, color);
  }
}

// Straight (not premultiplied) ARGB "source over destination", rounded to
// the nearest value.  Over an opaque destination this is the familiar
// (s * a + d * (255 - a)) / 255 per channel; over a transparent one the
// source comes out unchanged.
uint32_t Over(uint32_t s, uint32_t d) {
  const uint32_t a = s >> 24;
  if (a == 255) return s;
  if (a == 0) return d;
  const uint32_t da = d >> 24;
  const uint32_t wd = da * (255 - a); // destination weight, scaled by 255
  const uint32_t total = a * 255 + wd;
  uint32_t out = ((total + 127) / 255) << 24;
  for (int shift = 0; shift <= 16; shift += 8) {
    const uint32_t sc = (s >> shift) & 0xFF, dc = (d >> shift) & 0xFF;
    out |= ((sc * a * 255 + dc * wd + total / 2) / total) << shift;
  }
  return out;
}

void Put(uint32_t &dst, uint32_t src, bool sprite) {
  dst = sprite ? Over(src, dst) : src;
}

// Graphic records.  The record carries no compressed length: the stream ends
// itself, and inflate reads nothing past its checksum (a test keeps the data
// against an unreadable page to hold it to that).  So that a corrupt stream
// cannot lead far beyond the data, no more is offered than any deflate
// encoder needs at worst (fixed Huffman codes: 9 bits for a byte).
//
// The pixels are 32-bit words 0xAARRGGBB, each stored LITTLE-ENDIAN (blue
// byte first), whatever the CPU: data generated on the development host
// draws the same on the receiver's build.
template <class RowFn> bool InflateGd(const GraphicDescriptor &gd, RowFn onRow) {
  const uint32_t rowBytes = uint32_t(gd.width) * 4;
  unsigned char *row = new (std::nothrow) unsigned char[rowBytes];
  if (!row) return false;
  z_stream zs;
  memset(&zs, 0, sizeof zs);
  if (inflateInit(&zs) != Z_OK) {
    delete[] row;
    return false;
  }
  const Bytef *in = static_cast<const Bytef *>(gd.data);
  const uint64_t limit = uint64_t(gd.size) + gd.size / 8 + 64;
  uint64_t fed = 0;
  unsigned r = 0;
  unsigned char spare;
  zs.next_out = row;
  zs.avail_out = rowBytes;
  bool ok = false;
  for (;;) {
    if (zs.avail_in == 0) {
      if (fed >= limit) break;
      const uint64_t chunk = std::min<uint64_t>(limit - fed, 1u << 30);
      zs.next_in = const_cast<Bytef *>(in + fed);
      zs.avail_in = uInt(chunk);
      fed += chunk;
    }
    const int ret = inflate(&zs, Z_NO_FLUSH);
    if (zs.avail_out == 0) {
      if (r == gd.height) break; // more pixels than the record says
      onRow(r, row);
      ++r;
      // After the last row a one-byte spare catches surplus data.
      zs.next_out = r < gd.height ? row : &spare;
      zs.avail_out = r < gd.height ? rowBytes : 1;
    }
    if (ret == Z_STREAM_END) {
      ok = r == gd.height;
      break;
    }
    if (ret != Z_OK) break;
  }
  inflateEnd(&zs);
  delete[] row;
  return ok;
}

uint32_t LoadLe32(const unsigned char *p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// One cell of the built-in font at (x, y); rows below the region are cut.
void DrawGlyph(const Target &t, int x, int y, unsigned char c, uint32_t fg, uint32_t bg) {
  const bool solid = (bg >> 24) != 0;
  const unsigned char(&cell)[kFontH][kFontW] = kFont[c - kFontFirst];
  for (int r = 0; r < kFontH && y + r < t.h; ++r) {
    for (int col = 0; col < kFontW; ++col) {
      uint32_t &px = t.At(x + col, y + r);
      const uint32_t base = solid ? bg : px;
      const uint32_t cover = cell[r][col];
      if (cover == 0) {
        px = base;
        continue;
      }
      // Coverage scales the text colour's own alpha.
      const uint32_t a = ((fg >> 24) * cover + 127) / 255;
      px = Over((fg & 0xFFFFFF) | a << 24, base);
    }
  }
}

// The test picture behind a screenshot: 8-pixel squares, light grey 0xC0 at
// the top-left corner, mid grey 0x80 beside it.
unsigned Checker(int x, int y) {
  return ((x >> 3) + (y >> 3)) & 1 ? 0x80 : 0xC0;
}

struct PngOut {
  png_structp png = nullptr;
  png_infop info = nullptr;
};

// Kept apart from Sim_Screenshot so that nothing it changes after setjmp
// lives in the frame that libpng's error handler jumps back to.
bool WritePng(FILE *f, const uint32_t *pixels, unsigned char *row) {
  PngOut o;
  o.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!o.png) return false;
  o.info = png_create_info_struct(o.png);
  if (!o.info) {
    png_destroy_write_struct(&o.png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(o.png))) {
    png_destroy_write_struct(&o.png, &o.info);
    return false;
  }
  png_init_io(o.png, f);
  png_set_IHDR(o.png, o.info, OSD_WIDTH, OSD_HEIGHT, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(o.png, o.info);
  for (int y = 0; y < OSD_HEIGHT; ++y) {
    for (int x = 0; x < OSD_WIDTH; ++x) {
      const uint32_t p = pixels[size_t(y) * OSD_WIDTH + x];
      const unsigned a = p >> 24, back = Checker(x, y);
      for (int c = 0; c < 3; ++c) {
        const unsigned v = (p >> (16 - 8 * c)) & 0xFF;
        row[x * 3 + c] = static_cast<unsigned char>((v * a + back * (255 - a) + 127) / 255);
      }
    }
    png_write_row(o.png, row);
  }
  png_write_end(o.png, o.info);
  png_destroy_write_struct(&o.png, &o.info);
  return true;
}

} // namespace

namespace sim {

void OsdReset() {
  State &s = S();
  for (Region &r : s.regions) r = Region();
  memset(_osdInfo, 0, sizeof _osdInfo);
  EnsurePlane();
  std::fill(s.plane.begin(), s.plane.end(), 0);
  std::fill(s.shown.begin(), s.shown.end(), 0);
  s.syncs = 0;
}

int RegionCount() {
  int n = 0;
  for (int i = 1; i < kMaxRegions; ++i) n += S().regions[i].used ? 1 : 0;
  return n;
}

} // namespace sim

// ---- regions ------------------------------------------------------------

// A shown region must lie wholly on the screen; a memory-only one may be up
// to kMaxMemRegionSide a side.  Returns 0 when the box is unusable or all
// handles are taken.  The palette index means nothing on an ARGB plane.
extern "C" word TAP_Osd_Create(dword x, dword y, dword w, dword h, byte lutIdx, dword flag) {
  (void)lutIdx;
  EnsurePlane();
  const bool memOnly = (flag & OSD_Flag_MemRgn) != 0;
  if (w == 0 || h == 0) return 0;
  if (memOnly) {
    if (w > kMaxMemRegionSide || h > kMaxMemRegionSide) return 0;
  } else if (x > OSD_WIDTH || w > OSD_WIDTH - x || y > OSD_HEIGHT || h > OSD_HEIGHT - y) {
    return 0;
  }
  int handle = 1;
  while (handle < sim::kMaxRegions && S().regions[handle].used) ++handle;
  if (handle == sim::kMaxRegions) return 0;

  Region &r = S().regions[handle];
  if (memOnly) {
    // Memory regions never reach the screen, so their position is only kept.
    if (x > 0xFFFF || y > 0xFFFF) return 0;
    try {
      r.mem.assign(size_t(w) * h, 0);
    } catch (const std::bad_alloc &) {
      return 0;
    }
  }
  r.used = true;
  r.memOnly = memOnly;
  r.x = int(x);
  r.y = int(y);
  r.w = int(w);
  r.h = int(h);
  if (!memOnly) {
    Target t;
    TargetOf(word(handle), t);
    Fill(t, 0, 0, r.w, r.h, 0);
  }
  sim::OsdInfoRecord &info = _osdInfo[handle];
  info.x = uint16_t(x);
  info.y = uint16_t(y);
  info.width = uint16_t(w);
  info.height = uint16_t(h);
  info.flags = uint32_t(flag);
  info.inUse = 1;
  return word(handle);
}

// The pixels stay: whoever removes a region restores what lay beneath.
extern "C" int TAP_Osd_Delete(word rgn) {
  Region *r = Lookup(rgn);
  if (!r) return kErr;
  *r = Region();
  memset(&_osdInfo[rgn], 0, sizeof _osdInfo[rgn]);
  return 0;
}

extern "C" void TAP_Osd_Sync(void) {
  EnsurePlane();
  sim::State &s = S();
  std::copy(s.plane.begin(), s.plane.end(), s.shown.begin());
  ++s.syncs;
}

extern "C" int TAP_Osd_GetPlaneBaseInfo(TYPE_OsdBaseInfo *info) {
  if (!info) return kErr;
  EnsurePlane();
  info->pixels = S().plane.data();
  info->width = OSD_WIDTH;
  info->height = OSD_HEIGHT;
  info->bytesPerLine = OSD_WIDTH * 4;
  return 0;
}

// ---- drawing ------------------------------------------------------------

extern "C" int TAP_Osd_FillBox(word rgn, dword x, dword y, dword w, dword h, dword color) {
  Target t;
  if (!TargetOf(rgn, t) || !OriginInside(t, x, y)) return kErr;
  Fill(t, x, y, Extent(w), Extent(h), uint32_t(color));
  return 0;
}

// The border lies inside the box; a thickness of half the box or more fills
// it, a thickness of 0 draws nothing.
extern "C" int TAP_Osd_DrawRectangle(word rgn, dword x, dword y, dword w, dword h, dword thickness,
                                     dword color) {
  Target t;
  if (!TargetOf(rgn, t) || !OriginInside(t, x, y)) return kErr;
  const int64_t bw = Extent(w), bh = Extent(h), th = Extent(thickness);
  const uint32_t c = uint32_t(color);
  if (th == 0 || bw == 0 || bh == 0) return 0;
  if (2 * th >= bw || 2 * th >= bh) {
    Fill(t, x, y, bw, bh, c);
    return 0;
  }
  const int64_t x0 = int64_t(x), y0 = int64_t(y);
  Fill(t, x0, y0, bw, th, c);
  Fill(t, x0, y0 + bh - th, bw, th, c);
  Fill(t, x0, y0 + th, th, bh - 2 * th, c);
  Fill(t, x0 + bw - th, y0 + th, th, bh - 2 * th, c);
  return 0;
}

// The box is filled with fc, then its top row and left column are drawn in c1
// (the lit edges), then its bottom row and right column in c2 (the shaded
// edges).  The shaded edges come last, so the top-right and bottom-left
// corner pixels are c2 and only the top-left one is c1.
extern "C" int TAP_Osd_Draw3dBoxFill(word rgn, dword x, dword y, dword w, dword h, dword c1,
                                     dword c2, dword fc) {
  Target t;
  if (!TargetOf(rgn, t) || !OriginInside(t, x, y)) return kErr;
  const int64_t x0 = int64_t(x), y0 = int64_t(y), bw = Extent(w), bh = Extent(h);
  if (bw == 0 || bh == 0) return 0;
  Fill(t, x0, y0, bw, bh, uint32_t(fc));
  Fill(t, x0, y0, bw, 1, uint32_t(c1));
  Fill(t, x0, y0, 1, bh, uint32_t(c1));
  Fill(t, x0, y0 + bh - 1, bw, 1, uint32_t(c2));
  Fill(t, x0 + bw - 1, y0, 1, bh, uint32_t(c2));
  return 0;
}

extern "C" int TAP_Osd_PutPixel(word rgn, dword x, dword y, dword color) {
  Target t;
  if (!TargetOf(rgn, t) || !OriginInside(t, x, y)) return kErr;
  t.At(int(x), int(y)) = uint32_t(color);
  return 0;
}

// Draws a graphic record with its top-left corner at (x, y), which may lie
// outside the region (a graphic sliding in): only the part inside is drawn.
// sprite = 1 blends by the pixels' alpha (alpha 0 leaves the screen as it
// is); sprite = 0 writes the pixels as they are.  The record is refused
// (nothing drawn) when its version, pixel format or method is not ours, its
// size is not width x height x 4, or its data does not inflate to exactly
// that many bytes.
extern "C" int TAP_Osd_PutGd(word rgn, int x, int y, const GraphicDescriptor *gd, int sprite) {
  Target t;
  if (!TargetOf(rgn, t) || !gd || !gd->data) return kErr;
  if (gd->version != GD_VERSION || gd->psize != GD_PSIZE_ARGB ||
      gd->compressed != GD_COMPRESS_DEFLATE)
    return kErr;
  if (gd->width == 0 || gd->height == 0 ||
      uint64_t(gd->width) * gd->height * 4 != uint64_t(gd->size))
    return kErr;

  // Only the visible part is kept while inflating, and drawn once the whole
  // stream has proved sound: a corrupt record leaves the screen untouched.
  Box vis{0, 0, 0, 0};
  const bool visible = Clip(t, x, y, gd->width, gd->height, vis);
  uint32_t *keep = nullptr;
  if (visible) {
    keep = new (std::nothrow) uint32_t[size_t(vis.w) * vis.h];
    if (!keep) return kErr;
  }
  const int64_t col0 = int64_t(vis.x) - x, row0 = int64_t(vis.y) - y;
  const bool ok = InflateGd(*gd, [&](unsigned r, const unsigned char *bytes) {
    if (!visible || int64_t(r) < row0 || int64_t(r) >= row0 + vis.h) return;
    uint32_t *dst = keep + size_t(int64_t(r) - row0) * vis.w;
    const unsigned char *src = bytes + size_t(col0) * 4;
    for (int i = 0; i < vis.w; ++i) dst[i] = LoadLe32(src + size_t(i) * 4);
  });
  if (ok && visible) {
    for (int r = 0; r < vis.h; ++r)
      for (int i = 0; i < vis.w; ++i)
        Put(t.At(vis.x + i, vis.y + r), keep[size_t(r) * vis.w + i], sprite != 0);
  }
  delete[] keep;
  return ok ? 0 : kErr;
}

// Copies a box from one region to another, or within one; the two may
// overlap.  The box is cut to what lies inside the source and fits the
// destination.
extern "C" int TAP_Osd_Copy(word srcRgn, word dstRgn, dword srcX, dword srcY, dword w, dword h,
                            dword dstX, dword dstY, int sprite) {
  Target src, dst;
  if (!TargetOf(srcRgn, src) || !TargetOf(dstRgn, dst)) return kErr;
  if (!OriginInside(src, srcX, srcY) || !OriginInside(dst, dstX, dstY)) return kErr;
  const int64_t cw =
      std::min({Extent(w), int64_t(src.w) - int64_t(srcX), int64_t(dst.w) - int64_t(dstX)});
  const int64_t ch =
      std::min({Extent(h), int64_t(src.h) - int64_t(srcY), int64_t(dst.h) - int64_t(dstY)});
  if (cw <= 0 || ch <= 0) return 0;
  // Through a scratch copy, so overlapping boxes come out right in any
  // direction.
  uint32_t *tmp = new (std::nothrow) uint32_t[size_t(cw) * size_t(ch)];
  if (!tmp) return kErr;
  for (int64_t r = 0; r < ch; ++r)
    memcpy(tmp + size_t(r * cw), &src.At(int(srcX), int(srcY + r)), size_t(cw) * 4);
  for (int64_t r = 0; r < ch; ++r)
    for (int64_t i = 0; i < cw; ++i)
      Put(dst.At(int(dstX + i), int(dstY + r)), tmp[size_t(r * cw + i)], sprite != 0);
  delete[] tmp;
  return 0;
}

// The box must lie wholly inside the region: a partial copy would not give
// back what its caller expects.  The block, w x h pixels row by row, comes
// from the plug-in heap and is released with TAP_MemFree.
extern "C" void *TAP_Osd_SaveBox(word rgn, dword x, dword y, dword w, dword h) {
  Target t;
  if (!TargetOf(rgn, t) || !OriginInside(t, x, y)) return nullptr;
  if (w == 0 || h == 0 || w > dword(t.w) - x || h > dword(t.h) - y) return nullptr;
  uint32_t *block = static_cast<uint32_t *>(TAP_MemAlloc(w * h * 4));
  if (!block) return nullptr;
  for (dword r = 0; r < h; ++r) memcpy(block + r * w, &t.At(int(x), int(y + r)), size_t(w) * 4);
  return block;
}

// Writes a block of w x h pixels (as TAP_Osd_SaveBox gives) back, clipped to
// the region.
extern "C" void TAP_Osd_RestoreBox(word rgn, dword x, dword y, dword w, dword h, void *data) {
  Target t;
  if (!data || !TargetOf(rgn, t) || !OriginInside(t, x, y)) return;
  // No caller can hold a block whose size does not even fit the address space.
  if (w == 0 || h == 0 || w > SIZE_MAX / 4 / h) return;
  Box b;
  if (!Clip(t, x, y, Extent(w), Extent(h), b)) return;
  const uint32_t *src = static_cast<const uint32_t *>(data);
  for (int r = 0; r < b.h; ++r) memcpy(&t.At(b.x, b.y + r), src + size_t(r) * w, size_t(b.w) * 4);
}

// Text in the built-in 8 x 16 font, Latin-1, one cell a character from x on.
// A background colour with alpha 0 leaves the screen around the strokes as
// it is; any other fills each cell.  Drawing stops before the first cell
// that would reach maxX (the first column the text must not touch) or the
// region's right edge.  Control characters (below 0x20 and 0x7F..0x9F) take
// no space.  One font serves every type and size; the text is not wrapped.
extern "C" int TAP_Osd_PutString(word rgn, dword x, dword y, dword maxX, const char *str,
                                 dword fcolor, dword bcolor, byte fntType, byte fntSize,
                                 byte nextLine) {
  (void)fntType;
  (void)fntSize;
  (void)nextLine;
  Target t;
  if (!str || !TargetOf(rgn, t)) return kErr;
  if (!OriginInside(t, x, y)) return 0;
  const dword limit = std::min<dword>(maxX, dword(t.w));
  dword cx = x;
  for (const unsigned char *p = reinterpret_cast<const unsigned char *>(str); *p; ++p) {
    const unsigned char c = *p;
    if (c < kFontFirst || (c >= 0x7F && c <= 0x9F)) continue;
    if (cx >= limit || limit - cx < dword(kFontW)) break;
    DrawGlyph(t, int(cx), int(y), c, uint32_t(fcolor), uint32_t(bcolor));
    cx += kFontW;
  }
  return 0;
}

// ---- what tapsim and the tests read back ----------------------------------

extern "C" const uint32_t *Sim_ShownPlane(void) {
  EnsurePlane();
  return S().shown.data();
}

extern "C" const uint32_t *Sim_DrawPlane(void) {
  EnsurePlane();
  return S().plane.data();
}

extern "C" dword Sim_SyncCount(void) {
  return S().syncs;
}

extern "C" int Sim_RegionCount(void) {
  return sim::RegionCount();
}

// The screen as of the last sync, blended by its alpha over the checkerboard
// test picture, as an 8-bit RGB PNG.  A file that cannot be written
// completely is removed.
extern "C" int Sim_Screenshot(const char *hostPath) {
  if (!hostPath || !*hostPath) return 0;
  EnsurePlane();
  unsigned char *row = new (std::nothrow) unsigned char[OSD_WIDTH * 3];
  if (!row) return 0;
  FILE *f = fopen(hostPath, "wb");
  if (!f) {
    delete[] row;
    return 0;
  }
  bool ok = WritePng(f, S().shown.data(), row);
  if (fclose(f) != 0) ok = false;
  delete[] row;
  if (!ok) unlink(hostPath);
  return ok ? 1 : 0;
}
