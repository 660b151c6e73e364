// ijescan.cpp - the compress steps: a baseline scan (SOS and its data) for
// an image, and the individually coded frames of a motion stream.
#include "ijint.h"

extern "C" IjStatus ijCompress_BaseLine_L(const uint8_t *src, int32_t step, IjStream *stream,
                                          IjEncoder *e) {
  ijInitScanSpecFwd(e);
  ijResetBuffers(e);
  IjStatus st = ijWrite_SOS(&e->scan, stream);
  if (st == IJ_STS_OK) st = ijEncodeScanData_Baseline(src, step, stream, e);
  if (st != IJ_STS_OK) return st;
  if (!(e->mode & 0xFF00)) {
    // A baseline frame holds one scan of its components; a second image in
    // the same stream would make it undecodable.
    e->fn.compress = nullptr;
    return 2;
  }
  e->initialised |= 0x10;
  e->mode &= ~0xFF;
  e->fn.compress = (e->mode & 0x600) ? nullptr : ijCompress_Motion_Indiv;
  st = ijWrite_Marker(0xD9, stream);
  return st != IJ_STS_OK ? st : 1;
}

extern "C" IjStatus ijCompress_Motion_Indiv(const uint8_t *src, int32_t step, IjStream *stream,
                                            IjEncoder *e) {
  IjStatus st = ijWrite_Marker(0xA1, stream);
  if (st != IJ_STS_OK) return st;
  // Each frame is coded on its own: predictors and restart markers start over.
  ijInitScanSpecFwd(e);
  ijResetBuffers(e);
  ++e->framesStarted;
  st = ijEncodeScanData_Baseline(src, step, stream, e);
  if (st == IJ_STS_OK) st = ijAdjustStream(stream);
  return st != IJ_STS_OK ? st : 1;
}
