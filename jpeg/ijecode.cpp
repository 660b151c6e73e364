// ijecode.cpp - the encoder's public entry points: set-up (checks, the
// processing functions for the sampling, stream head, tables and frame
// header), the work buffer, encoding and finishing a stream, and the
// private segments of motion streams.
#include "ijint.h"

namespace {

struct Layout {
  int32_t components, mcuWidth, mcuHeight, blocks, lineBytes;
  int32_t lumaH, lumaV;
  IjMcuAdvanceFn advance;
  IjCopyExpandFn copy;
  IjConvertFn convert;
  IjTransformFn transform;
  IjMcuEncodeFn encode;
  IjMcuDcEncodeFn encodeDc;
};

// Greyscale, then the three colour samplings: chosen once, so that the scan
// loop only calls through pointers.
const Layout kLayouts[4] = {
    {1, 8, 8, 1, 8, 1, 1, ijAdjustMCUBufferFwd_1, ijxCopyExpand_8u_C1, ijSub128_8x8_8u16s_C1,
     ijTransformFwd_MCU_16s_C1_I, ijHuffmanEncode_Gray_BLS, ijHuffmanEncode_Gray_DC},
    {3, 8, 8, 3, 24, 1, 1, ijAdjustMCUBufferFwd_3, ijxCopyExpand_8u_C3,
     ippiBGRToYCbCr444LS_MCU_8u16s_C3P3, ijTransformFwd444_MCU_16s_C3_I, ijHuffmanEncode_444_BLS,
     ijHuffmanEncode_444_DC},
    {3, 16, 8, 4, 48, 2, 1, ijAdjustMCUBufferFwd_3, ijxCopyExpand_8u_C3,
     ippiBGRToYCbCr422LS_MCU_8u16s_C3P3, ijTransformFwd422_MCU_16s_C3_I, ijHuffmanEncode_422_BLS,
     ijHuffmanEncode_422_DC},
    {3, 16, 16, 6, 48, 2, 2, ijAdjustMCUBufferFwd_3, ijxCopyExpand_8u_C3,
     ippiBGRToYCbCr411LS_MCU_8u16s_C3P3, ijTransformFwd411_MCU_16s_C3_I, ijHuffmanEncode_411_BLS,
     ijHuffmanEncode_411_DC},
};

#if defined(__x86_64__)
// The vector steps for the same four layouts: transform and entropy coder
// from SSE2 on, colour conversion and transform with AVX2.
struct FastSteps {
  IjTransformFn transformSse2;
  IjConvertFn convertAvx2;
  IjTransformFn transformAvx2;
  IjMcuEncodeFn encode;
  IjMcuEncodeFn encodeAvx2;
};

const FastSteps kFastSteps[4] = {
    {ij::fast::TransformGraySse2, ij::fast::ConvertGrayAvx2, ij::fast::TransformGrayAvx2,
     ij::fast::EncodeGray, ij::fast::EncodeGrayAvx2},
    {ij::fast::Transform444Sse2, ij::fast::Convert444Avx2, ij::fast::Transform444Avx2,
     ij::fast::Encode444, ij::fast::Encode444Avx2},
    {ij::fast::Transform422Sse2, ij::fast::Convert422Avx2, ij::fast::Transform422Avx2,
     ij::fast::Encode422, ij::fast::Encode422Avx2},
    {ij::fast::Transform411Sse2, ij::fast::Convert411Avx2, ij::fast::Transform411Avx2,
     ij::fast::Encode411, ij::fast::Encode411Avx2},
};
#endif

int32_t pathLimit = -1;

// The DRI segment and the decoder's counter hold 16 bits.
constexpr int32_t kMaxRestartInterval = 65535;
constexpr int32_t kDefaultRestartInterval = 128;
// SOF holds 16-bit dimensions, and 0 would mean a height given later (DNL).
constexpr int32_t kMaxSide = 65535;

} // namespace

extern "C" IjStatus ijxCompressInit(int32_t quality, int32_t restartInterval, int32_t mode,
                                    const IjImageSpec *desc, const IjMotionParams *motion,
                                    const IjStreamParams *streamParams, IjStream *stream,
                                    IjEncoder *e) {
  if (!desc || !stream || !e || !stream->buffer) return IJ_STS_ARG;
  stream->reserved[0] = stream->reserved[1] = stream->reserved[2] = 0;
  e->initialised = 0;
  // A record used before must not keep a layout or steps of its last image.
  memset(&e->buffers, 0, sizeof e->buffers);
  memset(&e->fn, 0, sizeof e->fn);

  // Progressive coding is never selected: bit 2 off, baseline bit 0 on.
  mode = (mode & ~4) | 1;
  e->mode = mode & 0xFF;
  e->qualityFactor = ijCalcQuantQualityFactor(quality);
  e->image = *desc;
  memset(&e->motion, 0, sizeof e->motion);
  memset(&e->streamParams, 0, sizeof e->streamParams);
  if (motion) e->motion = *motion;
  if (streamParams) {
    e->streamParams = *streamParams;
    e->mode |= streamParams->word[0];
  }

  if (desc->bitsPerSample != 8) return IJ_STS_PRECISION;
  e->restartInterval = restartInterval > kMaxRestartInterval ? kMaxRestartInterval
                       : restartInterval >= 0                ? restartInterval
                                                             : kDefaultRestartInterval;
  e->precision = 8;

  const Layout *lay;
  if (desc->colorFormat == IJ_FMT_GRAY) {
    lay = &kLayouts[0];
    e->image.sampling = 0;
  } else if (desc->colorFormat & IJ_FMT_BGR) {
    if (desc->sampling < 0 || desc->sampling > 2) return IJ_STS_FORMAT;
    lay = &kLayouts[1 + desc->sampling];
  } else {
    return IJ_STS_FORMAT;
  }
  // The scan loop steps through the source by bits per pixel; a value that
  // does not match the format would walk off the caller's rows.
  if (desc->bitsPerPixel != 8 * lay->components) return IJ_STS_FORMAT;
  if (desc->width < 1 || desc->width > kMaxSide || desc->height < 1 || desc->height > kMaxSide)
    return IJ_STS_FORMAT;
  e->image.components = lay->components;

  int32_t oneAtATime;
  if (mode == 1 || mode == 257)
    oneAtATime = 1;
  else if (mode == 513 || mode == 1025)
    oneAtATime = 0;
  else
    return IJ_STS_FORMAT;

  e->fn.advanceMcu = lay->advance;
  e->fn.copyExpand = lay->copy;
  e->fn.convert = lay->convert;
  e->fn.transform = lay->transform;
  e->fn.encodeMcu = lay->encode;
  e->fn.encodeDc = lay->encodeDc;
  e->fn.compress = ijCompress_BaseLine_L;
#if defined(__x86_64__)
  const int32_t path = ij::ActiveCodePath();
  if (path >= ij::kPathSse2) {
    const FastSteps &f = kFastSteps[lay - kLayouts];
    e->fn.transform = f.transformSse2;
    e->fn.encodeMcu = f.encode;
    if (path >= ij::kPathAvx2) {
      e->fn.convert = f.convertAvx2;
      e->fn.transform = f.transformAvx2;
      e->fn.encodeMcu = f.encodeAvx2;
    }
  }
#endif

  IjStatus st = ijInitMCU(&e->mcu, desc->width, desc->height, lay->mcuWidth, lay->mcuHeight,
                          lay->lineBytes, lay->blocks, e->image.sampling, oneAtATime);
  if (st != IJ_STS_OK) return st;

  memset(e->components, 0, sizeof e->components);
  for (int c = 0; c < lay->components; ++c) {
    IjComponentSpec &cs = e->components[c];
    const int t = c == 0 ? 0 : 1;
    cs.index = c;
    cs.h = c == 0 ? lay->lumaH : 1;
    cs.v = c == 0 ? lay->lumaV : 1;
    cs.hv = cs.h * cs.v;
    cs.quantTable = t;
    cs.acTable = t;
    cs.dcTable = t;
  }
  e->mcuStartColumn = e->mcuStartRow = 0;
  e->framesStarted = e->scansStarted = e->mcusCoded = 0;
  e->restartIndex = e->mcusToRestart = 0;
  e->bitsSpent = 0;
  for (int16_t &p : e->dcPred) p = 0;
  for (int c = 0; c < 4; ++c) {
    const int t = c == 0 ? 0 : 1;
    e->quantTable[c] = e->quant[t];
    e->recipTable[c] = e->recip[t];
    e->dcTable[c] = &e->huff[0][t];
    e->acTable[c] = &e->huff[1][t];
  }

  st = ijCalcEncBufferSize(e);
  if (st == IJ_STS_OK) st = ijWriteHead(nullptr, 0, stream, e);
  if (st == IJ_STS_OK) st = ijBuildEncodeQuantTables(lay->components, nullptr, stream, e);
  if (st == IJ_STS_OK) st = ijBuildScanHuffTables_BLS(stream, e);
  if (st == IJ_STS_OK) st = ijInitFrameSpecFwd(1, e);
  if (st == IJ_STS_OK) st = ijWrite_SOF(&e->frame, e->components, stream);
  if (st != IJ_STS_OK) return st;
  e->initialised = 1;
  return IJ_STS_OK;
}

extern "C" IjStatus ijxGetCompBufLen(int32_t *length, const IjEncoder *e) {
  if (!length || !e) return IJ_STS_ARG;
  *length = 0;
  *length = e->buffers.required;
  return IJ_STS_OK;
}

extern "C" IjStatus ijxCompBufInit(void *buffer, int32_t length, IjEncoder *e) {
  if (!buffer || !e) return IJ_STS_ARG;
  if (!(e->initialised & 1)) return IJ_STS_MODE;
  return ijInitBuffers(buffer, length, e);
}

extern "C" IjStatus ijxCompress(const uint8_t *const *source, const int32_t *step, IjStream *stream,
                                IjEncoder *e) {
  if (!stream || !e) return IJ_STS_ARG;
  if (!source && !step) {
    // Only a frame that received its scan data makes a stream worth ending.
    if (!(e->initialised & 1) || e->scansStarted == 0) return IJ_STS_MODE;
    const IjStatus st = ijWrite_Marker(0xD9, stream);
    return st != IJ_STS_OK ? st : 2;
  }
  if (!source || !step || !*source) return IJ_STS_ARG;
  if (!(e->initialised & 1) || !e->fn.compress) return IJ_STS_MODE;
  if (!e->buffers.ready) return IJ_STS_ARG;
  e->sourceStart = e->source = *source;
  e->sourceStep = *step;
  const IjStatus st = e->fn.compress(*source, *step, stream, e);
  // After a failure the stream is incomplete: finishing it must not report
  // success.
  if (st < 0) e->initialised &= ~1;
  return st;
}

extern "C" IjStatus ijxAddWaveStream(const uint8_t *data, int32_t length, IjStream *stream) {
  return ijAddWaveStream(data, length, stream);
}

extern "C" IjStatus ijxAddTimeStamp(const IjTimeStamp *timeRecord, IjStream *stream) {
  return ijAddTimeStamp(timeRecord, stream);
}

extern "C" IjStatus ijxIsInMotionEncoding(const IjEncoder *e) {
  if (!e) return IJ_STS_ARG;
  return (e->mode & 0xFF) ? IJ_STS_MODE : IJ_STS_OK;
}

namespace ij {

int32_t BestCodePath() {
#if defined(__x86_64__)
  return __builtin_cpu_supports("avx2") ? kPathAvx2 : kPathSse2;
#else
  return kPathPortable;
#endif
}

void LimitCodePath(int32_t path) {
  pathLimit = path;
}

int32_t ActiveCodePath() {
  const int32_t best = BestCodePath();
  return pathLimit >= 0 && pathLimit < best ? pathLimit : best;
}

} // namespace ij
