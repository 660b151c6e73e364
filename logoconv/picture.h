// picture.h - logoconv's own path to the best logo: sources read at full
// resolution with Debian's libraries (decode.cpp), SVG drawn by librsvg
// (svg.cpp), and one premultiplied Lanczos-3 step to the target's size
// (resample.cpp), put together in best.cpp.  None of it is the receiver's:
// --receiver converts through the plug-in's engine instead.
#ifndef LOGOCONV_PICTURE_H
#define LOGOCONV_PICTURE_H

#include <stdint.h>

#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace logoconv {

// An allocator that leaves new elements of a resize uninitialised: pixel
// buffers are written whole right after, and clearing them first would cost
// a tenth of a conversion.
template <class T> struct Uninitialised : std::allocator<T> {
  template <class U> struct rebind { using other = Uninitialised<U>; };
  Uninitialised() = default;
  template <class U> Uninitialised(const Uninitialised<U> &) {}
  template <class U> void construct(U *p) { ::new (static_cast<void *>(p)) U; }
  template <class U, class... A> void construct(U *p, A &&...a) {
    ::new (static_cast<void *>(p)) U(std::forward<A>(a)...);
  }
};

// Straight (not premultiplied) 8-bit R, G, B, A, rows from the top.
struct Picture {
  uint32_t w = 0, h = 0;
  std::vector<uint8_t, Uninitialised<uint8_t>> rgba;
};

// A part of a picture: the whole of it, or what --trim leaves.
struct Area {
  uint32_t x = 0, y = 0, w = 0, h = 0;
};

class Svg;

// A source as read: a raster picture or an SVG drawing, with its size.
struct Source {
  Picture picture;
  std::shared_ptr<Svg> svg;
  double w = 0, h = 0; // the picture's size, or the drawing's in pixels
};

// Larger sources are refused: no logo is that large, and the full-size
// copies would take gigabytes.
constexpr uint32_t kMaxSide = 16384;
constexpr uint64_t kMaxPixels = uint64_t(1) << 26;

// Reads the file at path by what it holds (PNG, JPEG, BMP, SVG), and by its
// name's extension for the raw logos, which have no signature.  False with
// the reason ("truncated PNG", "CRC error in IDAT", "unknown format", ...).
bool ReadSource(const std::string &path, const std::string &name, Source &source, std::string &why);
// The same for a file's bytes.
bool ReadSourceBytes(const std::vector<uint8_t> &bytes, const std::string &name, Source &source,
                     std::string &why);

// png_own.cpp: a PNG read by the plug-in's codec; false for whatever it
// does not read (libpng then has its turn and gives the reason).
bool ReadPngOwn(const std::vector<uint8_t> &bytes, Picture &picture);

// svg.cpp: the drawing of an SVG file's bytes; false with the reason.
bool OpenSvg(const std::vector<uint8_t> &bytes, Source &source, std::string &why);
// Draws the whole drawing into the rectangle (x, y, w, h) of a transparent
// canvas of cw x ch pixels: straight 0xAARRGGBB words.
bool DrawSvg(const Svg &svg, uint32_t cw, uint32_t ch, double x, double y, double w, double h,
             uint32_t *canvas, std::string &why);
// The drawing as a picture of w x h pixels.
bool RasterSvg(const Svg &svg, uint32_t w, uint32_t h, Picture &picture, std::string &why);

// resample.cpp
// The smallest area holding every pixel that is not fully transparent; the
// whole picture when there is none.
Area Opaque(const Picture &p);
// The size of w x h fitted into box w x h with the proportions kept: the side
// that is longer in proportion fills the box, the other is rounded to the
// nearest pixel, never below one.
void FitInto(double w, double h, uint32_t boxW, uint32_t boxH, uint32_t &fw, uint32_t &fh);
// The area of p resampled to dw x dh in one step (Lanczos-3 on
// premultiplied colour) and put at (x, y) of the canvas of cw x ch straight
// 0xAARRGGBB words, which holds transparent black around it.
void Resample(const Picture &p, const Area &from, uint32_t dw, uint32_t dh, uint32_t cw,
              uint32_t ch, uint32_t x, uint32_t y, uint32_t *canvas);

} // namespace logoconv

#endif
