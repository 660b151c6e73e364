// svg.cpp - SVG sources through librsvg.  A drawing has no pixels of its
// own, so it is drawn straight at the size it is wanted at rather than
// rasterised large and reduced.
#include <math.h>

#include <cairo.h>
#include <librsvg/rsvg.h>

#include <string>
#include <vector>

#include "picture.h"

namespace logoconv {

class Svg {
public:
  explicit Svg(RsvgHandle *h) : handle(h) {}
  ~Svg() { g_object_unref(handle); }
  Svg(const Svg &) = delete;
  Svg &operator=(const Svg &) = delete;
  RsvgHandle *handle;
  double w = 0, h = 0;
};

bool OpenSvg(const std::vector<uint8_t> &bytes, Source &source, std::string &why) {
  GError *error = nullptr;
  // Without a base file, references to other files are not followed.
  RsvgHandle *handle = rsvg_handle_new_from_data(bytes.data(), bytes.size(), &error);
  if (!handle) {
    why = std::string("damaged SVG: ") + (error ? error->message : "cannot be parsed");
    if (error) g_error_free(error);
    return false;
  }
  auto svg = std::make_shared<Svg>(handle);
  rsvg_handle_set_dpi(handle, 96);
  double w = 0, h = 0;
  if (!rsvg_handle_get_intrinsic_size_in_pixels(handle, &w, &h)) {
    // A size in percent, or none: the viewBox gives the proportions.
    gboolean hasW, hasH, hasBox;
    RsvgLength lw, lh;
    RsvgRectangle box;
    rsvg_handle_get_intrinsic_dimensions(handle, &hasW, &lw, &hasH, &lh, &hasBox, &box);
    if (hasBox) w = box.width, h = box.height;
  }
  if (!(w > 0 && h > 0 && std::isfinite(w) && std::isfinite(h))) {
    why = "SVG without a size";
    return false;
  }
  if (w > kMaxSide * 16.0 || h > kMaxSide * 16.0 || w / h > kMaxSide || h / w > kMaxSide) {
    why = "SVG of an unusable size (" + std::to_string(lround(w)) + "x" +
          std::to_string(lround(h)) + ")";
    return false;
  }
  svg->w = w;
  svg->h = h;
  source.svg = svg;
  source.w = w;
  source.h = h;
  return true;
}

bool DrawSvg(const Svg &svg, uint32_t cw, uint32_t ch, double x, double y, double w, double h,
             uint32_t *canvas, std::string &why) {
  cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(cw), int(ch));
  cairo_t *cr = cairo_create(surface);
  // The drawing's own box scaled onto the rectangle, in each direction on
  // its own (--stretch fills the rectangle).
  cairo_translate(cr, x, y);
  cairo_scale(cr, w / svg.w, h / svg.h);
  const RsvgRectangle viewport = {0, 0, svg.w, svg.h};
  GError *error = nullptr;
  const bool ok = rsvg_handle_render_document(svg.handle, cr, &viewport, &error);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  if (!ok) {
    why = std::string("SVG cannot be drawn: ") + (error ? error->message : "unknown error");
    if (error) g_error_free(error);
    cairo_surface_destroy(surface);
    return false;
  }
  // cairo's pixels are premultiplied words in host order.
  const unsigned char *data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (uint32_t r = 0; r < ch; ++r) {
    const uint32_t *row = reinterpret_cast<const uint32_t *>(data + size_t(r) * stride);
    for (uint32_t c = 0; c < cw; ++c) {
      const uint32_t p = row[c], a = p >> 24;
      uint32_t out = 0;
      if (a) {
        const auto un = [a](uint32_t v) { return v >= a ? 255u : (v * 255 + a / 2) / a; };
        out = a << 24 | un(p >> 16 & 255) << 16 | un(p >> 8 & 255) << 8 | un(p & 255);
      }
      canvas[size_t(r) * cw + c] = out;
    }
  }
  cairo_surface_destroy(surface);
  return true;
}

bool RasterSvg(const Svg &svg, uint32_t w, uint32_t h, Picture &picture, std::string &why) {
  std::vector<uint32_t> words(size_t(w) * h);
  if (!DrawSvg(svg, w, h, 0, 0, w, h, words.data(), why)) return false;
  picture.w = w;
  picture.h = h;
  picture.rgba.resize(words.size() * 4);
  for (size_t i = 0; i < words.size(); ++i) {
    const uint32_t v = words[i];
    uint8_t *d = &picture.rgba[i * 4];
    d[0] = uint8_t(v >> 16), d[1] = uint8_t(v >> 8), d[2] = uint8_t(v), d[3] = uint8_t(v >> 24);
  }
  return true;
}

} // namespace logoconv
