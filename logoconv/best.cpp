// best.cpp - logoconv's default conversion: the source at full resolution,
// one resampling step straight to the target's size with the proportions
// kept, and the engine's writers for the file itself, so that every target
// has the receiver's own layout.
#include <string.h>

#include <string>

#include "logo.h"
#include "logo_formats.h"
#include "logoconv.h"
#include "picture.h"

namespace logoconv {
namespace {

// Where the picture goes: a canvas of cw x ch with the picture in the
// rectangle (x, y, w, h).
struct Layout {
  uint32_t cw, ch, x, y, w, h;
};

Layout Place(const Options &opt, const LogoTarget &t, double sw, double sh) {
  uint32_t fw, fh;
  if (t.w) {
    if (opt.stretch) return {t.w, t.h, 0, 0, t.w, t.h};
    FitInto(sw, sh, t.w, t.h, fw, fh);
    return {t.w, t.h, (t.w - fw) / 2, (t.h - fh) / 2, fw, fh};
  }
  // The targets of the size as loaded: a logo that fits stays as it is, a
  // larger one is reduced into 60 x 40.
  if (sw <= kLogoMaxW && sh <= kLogoMaxH) {
    fw = sw < 1 ? 1 : uint32_t(sw + 0.5);
    fh = sh < 1 ? 1 : uint32_t(sh + 0.5);
  } else {
    FitInto(sw, sh, kLogoMaxW, kLogoMaxH, fw, fh);
  }
  return {fw, fh, 0, 0, fw, fh};
}

bool EndsWith(const std::string &s, const char *end) {
  const size_t n = strlen(end);
  return s.size() >= n && s.compare(s.size() - n, n, end) == 0;
}

// The darkest colour a 16-bit logo shows as opaque: 1 of 31 in each channel.
constexpr uint32_t kDarkestOpaque = 0xFF090909;

// The 16-bit targets keep one bit of alpha: opaque from half up, over the
// background, and transparent black below.
void OneBitAlpha(uint32_t background) {
  for (uint32_t i = 0; i < logoW * logoH; ++i) {
    const uint32_t p = logoData32[i], a = p >> 24;
    if (a < 128) {
      logoData32[i] = 0;
      continue;
    }
    uint32_t rgb = 0;
    for (int shift = 16; shift >= 0; shift -= 8) {
      const uint32_t fg = p >> shift & 255, bg = background >> shift & 255;
      rgb |= ((fg * a + bg * (255 - a) + 127) / 255) << shift;
    }
    // Black is the 16-bit format's transparent colour: an opaque pixel that
    // would become it is kept as the darkest grey that stays opaque.
    uint32_t word = 0xFF000000 | rgb;
    if ((Logo32To16(word) & 0x7FFF) == 0) word = kDarkestOpaque;
    logoData32[i] = word;
  }
}

// BMP has no alpha at all.
void OverBackground(uint32_t background) {
  for (uint32_t i = 0; i < logoW * logoH; ++i) {
    const uint32_t p = logoData32[i], a = p >> 24;
    uint32_t rgb = 0;
    for (int shift = 16; shift >= 0; shift -= 8) {
      const uint32_t fg = p >> shift & 255, bg = background >> shift & 255;
      rgb |= ((fg * a + bg * (255 - a) + 127) / 255) << shift;
    }
    logoData32[i] = 0xFF000000 | rgb;
  }
}

} // namespace

int32_t ConvertBest(const Options &opt, const Job &j, std::string &why) {
  const uint32_t target = uint32_t(opt.target);
  if (const int32_t refusal =
          ConversionRefusal(target, j.outDir.c_str(), j.name.c_str(), j.dir.c_str()))
    return refusal;
  Source source;
  if (!ReadSource(Join(j.dir, j.name), j.name, source, why)) return kConvertLoadFailed;
  const LogoTarget &t = kLogoTargets[target];
  const uint32_t boxW = t.w ? t.w : kLogoMaxW, boxH = t.w ? t.h : kLogoMaxH;
  Picture drawn;
  const Picture *picture = &source.picture;
  if (source.svg && opt.trim) {
    // Only pixels tell what is transparent: the drawing is rasterised well
    // above the target's size first.
    uint32_t rw, rh;
    FitInto(source.w, source.h, boxW * 8, boxH * 8, rw, rh);
    if (!RasterSvg(*source.svg, rw, rh, drawn, why)) return kConvertLoadFailed;
    picture = &drawn;
  }
  const bool draw = source.svg && !opt.trim;
  Area area{0, 0, picture->w, picture->h};
  if (opt.trim && !draw) area = Opaque(*picture);
  const Layout l = draw ? Place(opt, t, source.w, source.h) : Place(opt, t, area.w, area.h);
  memset(logoData32, 0, sizeof logoData32);
  if (draw) {
    if (!DrawSvg(*source.svg, l.cw, l.ch, l.x, l.y, l.w, l.h, logoData32, why))
      return kConvertLoadFailed;
  } else {
    Resample(*picture, area, l.w, l.h, l.cw, l.ch, l.x, l.y, logoData32);
  }
  logoW = l.cw;
  logoH = l.ch;
  if (t.write == WriteRawTarget && !EndsWith(j.first, "32"))
    OneBitAlpha(opt.background);
  else if (t.write == WriteBmpTarget || t.write == WriteBmpJpgTarget)
    OverBackground(opt.background);
  return SaveChannelLogo(target, j.outDir.c_str(), j.name.c_str(), j.dir.c_str());
}

} // namespace logoconv
