// ijefrm.cpp - the frame and scan descriptions the marker writer and the scan
// loop work from, and the per-scan state (DC predictors, restart counters).
#include "ijint.h"

extern "C" IjStatus ijInitFrameSpecFwd(int32_t frameType, IjEncoder *e) {
  if (!e) return IJ_STS_ARG;
  if (frameType != 1) return IJ_STS_MODE; // baseline sequential only
  e->frame.marker = 0xC0;
  e->frame.precision = e->precision;
  e->frame.height = e->image.height;
  e->frame.width = e->image.width;
  e->frame.components = e->image.components;
  ++e->framesStarted;
  e->mcusCoded = 0;
  return IJ_STS_OK;
}

extern "C" IjStatus ijInitScanSpecFwd(IjEncoder *e) {
  if (!e) return IJ_STS_ARG;
  e->mcuStartColumn = 0;
  e->mcuStartRow = 0;
  ++e->scansStarted;
  e->mcusToRestart = e->restartInterval;
  e->restartIndex = 0;
  for (int16_t &p : e->dcPred) p = 0;
  IjScanSpec &s = e->scan;
  s.ss = 0;
  s.se = 63;
  s.ah = 0;
  s.al = 0;
  s.components = e->frame.components;
  for (int c = 0; c < 4; ++c) s.comp[c] = c < s.components ? &e->components[c] : nullptr;
  return IJ_STS_OK;
}
