// logo_convert.cpp - one whole conversion of a logo file: the checks, the
// load, the resampling to the target's size and the export.  The file
// list's number keys and logoconv both convert through here.
#include "logo_formats.h"
#include "logo_host.h"

// The picture scaled to fit w x h with its proportions kept, centred on a
// transparent canvas of that size.  Scaled holds w x h pixels.
static void Fit(uint32_t *scaled, uint32_t w, uint32_t h) {
  uint32_t fw = w, fh = h;
  // The side that is longer in proportion to the canvas fills it; the other
  // is rounded to the nearest pixel.
  if (uint64_t(logoW) * h >= uint64_t(logoH) * w)
    fh = uint32_t((uint64_t(logoH) * w * 2 + logoW) / (uint64_t(logoW) * 2));
  else
    fw = uint32_t((uint64_t(logoW) * h * 2 + logoH) / (uint64_t(logoH) * 2));
  if (fw == 0) fw = 1;
  if (fh == 0) fh = 1;
  Resize(logoData32, int32_t(logoW), int32_t(logoH), scaled, &fw, &fh, 0);
  TAP_MemSet(logoData32, 0, w * h * 4);
  const uint32_t left = (w - fw) / 2, top = (h - fh) / 2;
  for (uint32_t y = 0; y < fh; ++y)
    TAP_MemCpy(logoData32 + (top + y) * w + left, scaled + y * fw, fw * 4);
  logoW = w;
  logoH = h;
}

int32_t ConvertLogo(uint32_t target, const char *dir, const char *name, const char *outDir,
                    bool fit) {
  if (target >= kLogoTargetCount) target = kLogoTargetDefault;
  // The user's logo is never replaced by a copy of itself, reduced or lossy,
  // and only a plain file is ever replaced.
  if (const int32_t refusal = ConversionRefusal(target, outDir, name, dir)) return refusal;
  if (!LoadChannelLogo(dir, name)) return kConvertLoadFailed;
  // A picture reduced to no rows or columns has no pixels to convert.
  if (logoW == 0 || logoH == 0) return LogResult(kConvertEmpty, dir, name, nullptr);
  const LogoTarget &t = kLogoTargets[target];
  if (t.w) {
    uint32_t *scaled = static_cast<uint32_t *>(TAP_MemAlloc(t.w * t.h * 4));
    if (!scaled) return kConvertNoMemory;
    if (fit) {
      Fit(scaled, t.w, t.h);
    } else {
      logoWnew = t.w;
      logoHnew = t.h;
      Resize(logoData32, int32_t(logoW), int32_t(logoH), scaled, &logoWnew, &logoHnew, 0);
      logoW = logoWnew;
      logoH = logoHnew;
      TAP_MemCpy(logoData32, scaled, logoW * logoH * 4);
    }
    TAP_MemFree(scaled);
  }
  return SaveChannelLogo(target, outDir, name, dir);
}
