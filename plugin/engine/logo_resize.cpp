// logo_resize.cpp - bilinear resampling of ARGB pixels, optionally keeping
// the picture's proportions.  The arithmetic is double precision with the
// positions accumulated step by step and every value truncated: converted
// logos must come out the same on the receiver as on the desktop.
#include "logo.h"
#include "logo_host.h"

// Lays the source's ratio of long to short side along the destination's
// orientation and shrinks the requested size to it.
static void KeepAspect(int32_t srcw, int32_t srch, uint32_t &destw, uint32_t &desth) {
  const double srcaspect = srch < srcw ? double(srcw) / srch : double(srch) / srcw;
  const bool landscape = desth < destw;
  const double destaspect = landscape ? double(destw) / desth : double(desth) / destw;
  WriteDebugLog("Resize: srcaspect %.8f, destaspect %.8f, keep aspect yes, we have to change "
                "destw & desth\n",
                srcaspect, destaspect);
  if (srcaspect == destaspect || srcaspect == 0) return;
  if (landscape) {
    const double h = destw / srcaspect;
    if (0 < h && h <= desth) {
      desth = uint32_t(h);
    } else {
      const double w = desth * srcaspect;
      if (w <= destw) destw = uint32_t(w);
    }
  } else if (destw < desth) {
    const double w = desth / srcaspect;
    if (0 < w && w <= destw) {
      destw = uint32_t(w);
    } else {
      const double h = destw * srcaspect;
      if (h <= desth) desth = uint32_t(h);
    }
  }
}

static uint32_t Channel(uint32_t p, int shift) {
  return p >> shift & 0xFF;
}

void Resize(const uint32_t *src, int32_t srcw, int32_t srch, uint32_t *dest, uint32_t *destw,
            uint32_t *desth, int32_t keepaspect) {
  if (!src || !dest || !destw || !desth || srcw < 1 || srch < 1) return;
  uint32_t w = *destw, h = *desth;
  WriteDebugLog("Resize: source %dx%d, destination %dx%d\n", int(srcw), int(srch), int(w), int(h));
  if (keepaspect) KeepAspect(srcw, srch, w, h);
  // A single column or row never uses its (infinite) step.
  const double xstep = double(srcw - 1) / (double(w) - 1);
  const double ystep = double(srch - 1) / (double(h) - 1);
  if (int64_t(srcw) * srch < int64_t(w) * h)
    WriteDebugLog("Resize: enlarge to %dx%d\n", int(w), int(h));
  else
    WriteDebugLog("Resize: reduce to %dx%d\n", int(w), int(h));

  double fy = 0.0;
  for (uint32_t j = 0; j < h; ++j) {
    int32_t iy = int32_t(fy);
    if (iy > srch - 1) iy = srch - 1;
    const double dy = fy - iy;
    const int32_t iy1 = iy < srch - 1 ? iy + 1 : srch - 1;
    double fx = 0.0;
    for (uint32_t i = 0; i < w; ++i) {
      int32_t ix = int32_t(fx);
      if (ix > srcw - 1) ix = srcw - 1;
      const double dx = fx - ix;
      const int32_t ix1 = ix < srcw - 1 ? ix + 1 : srcw - 1;
      const uint32_t p00 = src[size_t(iy) * srcw + ix], p01 = src[size_t(iy) * srcw + ix1];
      const uint32_t p10 = src[size_t(iy1) * srcw + ix], p11 = src[size_t(iy1) * srcw + ix1];
      uint32_t out = 0;
      for (int shift = 24; shift >= 0; shift -= 8) {
        const double v = (Channel(p00, shift) * (1 - dx) + Channel(p01, shift) * dx) * (1 - dy) +
                         (Channel(p10, shift) * (1 - dx) + Channel(p11, shift) * dx) * dy;
        out |= uint32_t(v) << shift;
      }
      dest[size_t(j) * w + i] = out;
      fx += xstep;
    }
    fy += ystep;
  }
  *destw = w;
  *desth = h;
}
