// ijehufpd.cpp - the DC scans of progressive coding per MCU: every block of
// the MCU through the DC first or DC refinement primitive, then the restart
// bookkeeping.  Only greyscale and 4:4:4 MCUs are supported.
#include "ijint.h"

namespace {

IjStatus EncodeDc(int16_t *const *blocks, int32_t refine, int32_t al, IjStream *stream,
                  IjEncoder *e, int components) {
  if (al < 0 || al > 13) return IJ_STS_ARG;
  const IjStatus st =
      ij::GuardedCode(stream, ij::RoomForBlocks(components), [&](uint8_t *buf, int32_t *pos) {
        for (int c = 0; c < components; ++c) {
          if (refine)
            ippiEncodeHuffman_Direct_JPEG_DCRefine_16s1u(blocks[c], buf, pos, al);
          else
            ippiEncodeHuffman_Direct_JPEG_DCFirst_16s1u(blocks[c], buf, pos, &e->dcPred[c], al,
                                                        e->dcTable[c]);
        }
      });
  if (st != IJ_STS_OK) return st;
  return ij::AfterMcu(stream, e);
}

} // namespace

extern "C" IjStatus ijHuffmanEncode_Gray_DC(int16_t *const *blocks, int32_t refine, int32_t al,
                                            IjStream *stream, IjEncoder *encoder) {
  return EncodeDc(blocks, refine, al, stream, encoder, 1);
}

extern "C" IjStatus ijHuffmanEncode_444_DC(int16_t *const *blocks, int32_t refine, int32_t al,
                                           IjStream *stream, IjEncoder *encoder) {
  return EncodeDc(blocks, refine, al, stream, encoder, 3);
}

extern "C" IjStatus ijHuffmanEncode_422_DC(int16_t *const *, int32_t, int32_t, IjStream *,
                                           IjEncoder *) {
  return IJ_STS_MODE;
}

extern "C" IjStatus ijHuffmanEncode_411_DC(int16_t *const *, int32_t, int32_t, IjStream *,
                                           IjEncoder *) {
  return IJ_STS_MODE;
}
