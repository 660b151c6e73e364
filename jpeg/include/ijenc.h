/* ijenc.h - the baseline JPEG encoder (libijenc.a) for C and C++ programs.
 *
 * The encoder turns an 8-bit greyscale or 24-bit BGR image in memory into a
 * JFIF stream in a buffer the caller owns.  It never allocates: the caller
 * provides the encoder record, the work buffer and the stream buffer.
 *
 * Calling order: zero an IjEncoder; fill an IjImageSpec and an IjStream;
 * ijxCompressInit; ijxGetCompBufLen; provide that many bytes; ijxCompBufInit;
 * ijxCompress(&source, &step, ...) for the image; ijxCompress(0, 0, ...) to
 * finish; the stream then holds (position + 7) / 8 bytes.
 *
 * Every call returns a 32-bit status: 0 or positive on success, one of the
 * IJ_STS_ codes below on failure.  The lower-level primitives (ij..., ippi...)
 * are exported as well for programs that assemble their own streams.
 */
#ifndef IJENC_H
#define IJENC_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t IjStatus;

#define IJ_STS_OK 0
#define IJ_STS_MODE (-2)        /* unsupported mode or buffer scheme; finish without a frame */
#define IJ_STS_ARG (-4)         /* null argument, or work buffer too small */
#define IJ_STS_STREAM_FULL (-6) /* the stream buffer cannot take what has to be written */
#define IJ_STS_PRECISION (-12)  /* bits per sample other than 8 */
#define IJ_STS_FORMAT (-15)     /* unsupported colour format, sampling, size or mode */

/* IjImageSpec.colorFormat */
#define IJ_FMT_GRAY 1
#define IJ_FMT_BGR 2
#define IJ_FMT_RGB555 8
#define IJ_FMT_RGB565 16

/* IjImageSpec.sampling */
#define IJ_SAMPLING_444 0
#define IJ_SAMPLING_422 1
#define IJ_SAMPLING_411 2

/* The largest stream buffer the bit position (a signed 32-bit bit count) can
 * address; a larger capacity is used only up to this many bytes. */
#define IJ_MAX_STREAM_BYTES 0x0FFFFFFF

/* Worst-case bytes one block can take in the entropy-coded data (64 symbols of
 * at most 32 bits, every byte stuffed). */
#define IJ_MAX_BLOCK_BYTES 512

/* Scratch bytes the AC refinement primitives need (aligned internally). */
#define IJ_REFINE_SCRATCH_BYTES (256 * 2 + 1024 + 32)

typedef struct IjImageSpec {
  int32_t width;         /* pixels, 1 ... 65535 */
  int32_t height;        /* pixels, 1 ... 65535 */
  int32_t bitsPerSample; /* must be 8 */
  int32_t bitsPerPixel;  /* 8 for greyscale, 24 for BGR */
  int32_t components;    /* set by the encoder in its copy: 1 or 3 */
  int32_t colorFormat;   /* IJ_FMT_* */
  int32_t sampling;      /* IJ_SAMPLING_*, colour only */
  int32_t densityUnit;   /* JFIF units byte (low 8 bits) */
  int32_t xDensity;
  int32_t yDensity;
} IjImageSpec;

typedef struct IjStream {
  int32_t capacity; /* bytes in buffer */
  int32_t position; /* bits written from the buffer start, stuffed bytes included */
  int32_t reserved[3];
  uint8_t *buffer;
} IjStream;

/* Motion-stream records: recorded in the private IJXM segment only. */
typedef struct IjMotionParams {
  int32_t word[6];
} IjMotionParams;

typedef struct IjStreamParams {
  int32_t word[4]; /* word[0] is OR-ed into the encoder's mode field */
} IjStreamParams;

/* Time stamp of a motion stream (ijxAddTimeStamp): flags bit 0 adds time,
 * bit 1 adds the six further bytes. */
typedef struct IjTimeStamp {
  uint32_t flags;
  uint32_t time;
  uint8_t extra[6];
} IjTimeStamp;

/* Huffman encode table: code length and right-aligned code per symbol; a
 * symbol without a code has length 0. */
typedef struct IjHuffEncTable {
  uint8_t length[256];
  uint16_t code[256];
} IjHuffEncTable;

/* A Huffman table definition as a DHT segment carries it. */
typedef struct IjHuffTableDef {
  uint8_t counts[16];
  uint8_t values[256];
} IjHuffTableDef;

typedef struct IjComponentSpec {
  int32_t index;
  int32_t h;
  int32_t v;
  int32_t hv;
  int32_t quantTable;
  int32_t acTable;
  int32_t dcTable;
} IjComponentSpec;

typedef struct IjMcuInfo {
  int32_t width; /* MCU size in pixels */
  int32_t height;
  int32_t rightRemainder; /* image width mod MCU width */
  int32_t bottomRemainder;
  int32_t lineBytes; /* MCU width x bytes per pixel */
  int32_t columns;   /* full MCU columns and rows */
  int32_t rows;
  int32_t total; /* MCUs including partial ones */
  int32_t blocks;
  int32_t coeffStep; /* coefficients from one MCU to the next */
  int32_t lumaCoeffs;
  int32_t chromaCoeffs;
  int32_t blockOffset[3];
  int32_t oneAtATime;
} IjMcuInfo;

typedef struct IjBufferInfo {
  int32_t scheme;   /* 0: one MCU at a time; 1: all MCUs of a motion frame */
  int32_t required; /* bytes the work buffer must have */
  int16_t *coeff[4];
  int16_t *coeffReset[4];
  int32_t coeffBytes;
  int32_t edgeBytes;
  uint8_t *edge;
  int32_t ready; /* set by ijxCompBufInit */
} IjBufferInfo;

typedef struct IjFrameSpec {
  int32_t marker;
  int32_t precision;
  int32_t height;
  int32_t width;
  int32_t components;
} IjFrameSpec;

typedef struct IjScanSpec {
  int32_t ss;
  int32_t se;
  int32_t ah;
  int32_t al;
  int32_t components;
  const IjComponentSpec *comp[4];
} IjScanSpec;

typedef struct IjEncoder IjEncoder;

/* The processing functions chosen at set-up for the image's sampling. */
typedef IjStatus (*IjMcuAdvanceFn)(IjEncoder *encoder);
typedef IjStatus (*IjCopyExpandFn)(const uint8_t *src, int32_t srcStep, int32_t cols, int32_t rows,
                                   uint8_t *dst, int32_t dstStep, int32_t fullCols,
                                   int32_t fullRows);
typedef IjStatus (*IjConvertFn)(const uint8_t *src, int32_t srcStep, int16_t *const *blocks);
typedef IjStatus (*IjTransformFn)(int16_t *const *blocks, const uint16_t *const *recip);
typedef IjStatus (*IjMcuEncodeFn)(int16_t *const *blocks, IjStream *stream, IjEncoder *encoder);
typedef IjStatus (*IjMcuDcEncodeFn)(int16_t *const *blocks, int32_t refine, int32_t al,
                                    IjStream *stream, IjEncoder *encoder);
typedef IjStatus (*IjCompressFn)(const uint8_t *src, int32_t step, IjStream *stream,
                                 IjEncoder *encoder);

typedef struct IjFunctions {
  IjMcuAdvanceFn advanceMcu;
  IjCopyExpandFn copyExpand;
  IjConvertFn convert;
  IjTransformFn transform;
  IjMcuEncodeFn encodeMcu;
  IjMcuDcEncodeFn encodeDc;
  void *unused[2];
  IjCompressFn compress; /* null once no further image may be encoded */
} IjFunctions;

struct IjEncoder {
  int32_t initialised; /* 1 after ijxCompressInit; bit 4 after a motion stream's first frame */
  int32_t qualityFactor;
  int32_t precision;
  int32_t mode;
  int32_t restartInterval;
  int32_t mcuStartColumn;
  int32_t mcuStartRow;
  int16_t *coefficients;
  int16_t dcPred[4];
  const uint16_t *quantTable[4]; /* per component, natural order */
  const uint16_t *recipTable[4];
  const IjHuffEncTable *dcTable[4];
  const IjHuffEncTable *acTable[4];
  uint16_t quant[2][64];
  uint16_t recip[2][64];
  IjHuffEncTable huff[2][2]; /* [class][id] */
  IjHuffTableDef huffDef[2][2];
  IjBufferInfo buffers;
  const uint8_t *sourceStart;
  const uint8_t *source;
  int32_t sourceStep;
  IjImageSpec image;
  IjMotionParams motion;
  IjStreamParams streamParams;
  IjComponentSpec components[4];
  IjMcuInfo mcu;
  IjFunctions fn;
  IjFrameSpec frame;
  IjScanSpec scan;
  int32_t framesStarted;
  int32_t scansStarted;
  int32_t mcusCoded;
  int32_t restartIndex;
  int32_t mcusToRestart;
  int64_t bitsSpent;
};

/* ---- Public entry points ------------------------------------------------- */

IjStatus ijxCompressInit(int32_t quality, int32_t restartInterval, int32_t mode,
                         const IjImageSpec *imageSpec, const IjMotionParams *motion,
                         const IjStreamParams *streamParams, IjStream *stream, IjEncoder *encoder);
IjStatus ijxGetCompBufLen(int32_t *length, const IjEncoder *encoder);
IjStatus ijxCompBufInit(void *buffer, int32_t length, IjEncoder *encoder);
/* Encodes the image whose top row starts at *source (rows *step bytes apart,
 * negative for bottom-up memory) and returns 2 (1 for a motion frame); with
 * both pointers null it finishes the stream with EOI. */
IjStatus ijxCompress(const uint8_t *const *source, const int32_t *step, IjStream *stream,
                     IjEncoder *encoder);
IjStatus ijxAddWaveStream(const uint8_t *data, int32_t length, IjStream *stream);
IjStatus ijxAddTimeStamp(const IjTimeStamp *timeRecord, IjStream *stream);
IjStatus ijxIsInMotionEncoding(const IjEncoder *encoder);

/* ---- Stream ------------------------------------------------------------- */

IjStatus ijWriteStreamBytes(const uint8_t *bytes, int32_t count, IjStream *stream);
IjStatus ijAdjustStream(IjStream *stream);
IjStatus ijReadStreamBytes(uint8_t *bytes, int32_t count, IjStream *stream);

/* ---- Set-up helpers ----------------------------------------------------- */

IjStatus ijInitMCU(IjMcuInfo *info, int32_t width, int32_t height, int32_t mcuWidth,
                   int32_t mcuHeight, int32_t lineBytes, int32_t blocks, int32_t sampling,
                   int32_t oneAtATime);
IjStatus ijCalcEncBufferSize(IjEncoder *encoder);
IjStatus ijInitBuffers(void *buffer, int32_t length, IjEncoder *encoder);
IjStatus ijResetBuffers(IjEncoder *encoder);
IjStatus ijInitFrameSpecFwd(int32_t frameType, IjEncoder *encoder);
IjStatus ijInitScanSpecFwd(IjEncoder *encoder);
IjStatus ijCompress_BaseLine_L(const uint8_t *src, int32_t step, IjStream *stream,
                               IjEncoder *encoder);
IjStatus ijCompress_Motion_Indiv(const uint8_t *src, int32_t step, IjStream *stream,
                                 IjEncoder *encoder);
IjStatus ijEncodeScanData_Baseline(const uint8_t *src, int32_t step, IjStream *stream,
                                   IjEncoder *encoder);
IjStatus ijAdjustMCUBufferFwd_1(IjEncoder *encoder);
IjStatus ijAdjustMCUBufferFwd_3(IjEncoder *encoder);

/* ---- Copies with edge expansion ----------------------------------------- */

IjStatus ijxCopyExpand_8u_C1(const uint8_t *src, int32_t srcStep, int32_t cols, int32_t rows,
                             uint8_t *dst, int32_t dstStep, int32_t fullCols, int32_t fullRows);
IjStatus ijxCopyExpand_16u_C1(const uint8_t *src, int32_t srcStep, int32_t cols, int32_t rows,
                              uint8_t *dst, int32_t dstStep, int32_t fullCols, int32_t fullRows);
IjStatus ijxCopyExpand_8u_C3(const uint8_t *src, int32_t srcStep, int32_t cols, int32_t rows,
                             uint8_t *dst, int32_t dstStep, int32_t fullCols, int32_t fullRows);
IjStatus ijxCopy_8u_C1R(const uint8_t *src, int32_t srcStep, uint8_t *dst, int32_t dstStep,
                        int32_t width, int32_t height);
IjStatus ijxCopy_16u_C1R(const uint8_t *src, int32_t srcStep, uint8_t *dst, int32_t dstStep,
                         int32_t width, int32_t height);
IjStatus ijxCopy_8u_C3R(const uint8_t *src, int32_t srcStep, uint8_t *dst, int32_t dstStep,
                        int32_t width, int32_t height);
IjStatus ijxCopy_8u_C4R(const uint8_t *src, int32_t srcStep, uint8_t *dst, int32_t dstStep,
                        int32_t width, int32_t height);

/* ---- Colour conversion and level shift ---------------------------------- */

IjStatus ippiBGRToYCbCr444LS_MCU_8u16s_C3P3(const uint8_t *src, int32_t srcStep,
                                            int16_t *const *blocks);
IjStatus ippiBGRToYCbCr422LS_MCU_8u16s_C3P3(const uint8_t *src, int32_t srcStep,
                                            int16_t *const *blocks);
IjStatus ippiBGRToYCbCr411LS_MCU_8u16s_C3P3(const uint8_t *src, int32_t srcStep,
                                            int16_t *const *blocks);
IjStatus ippiLevelShiftSub128_8x8_8u16s_C1(const uint8_t *src, int32_t srcStep, int16_t *block);
IjStatus ippiLevelShiftSub128_8x8_8u16s_C1R(const uint8_t *src, int32_t srcStep, int16_t *block,
                                            int32_t width, int32_t height);
IjStatus ijSub128_8x8_8u16s_C1(const uint8_t *src, int32_t srcStep, int16_t *const *blocks);

/* ---- DCT and quantisation ----------------------------------------------- */
/* Inputs are level-shifted 8-bit samples (-128 ... 127). */

IjStatus ippiDCTQuantFwd_JPEG_16s_I(int16_t *block, const uint16_t *recip);
IjStatus ippiDCTQuantFwd_JPEG_16s(const int16_t *src, int16_t *dst, const uint16_t *recip);
IjStatus ippiDCTQuantLSFwd_JPEG_8u16s(const uint8_t *src, int32_t srcStep, int16_t *dst,
                                      const uint16_t *recip);
IjStatus ippiDCTQuantFwd_Blocks_JPEG_16s_I(int16_t *first, int32_t count, const uint16_t *recip);
IjStatus ippiDCTQuantFwd_Blocks_JPEG_16s(const int16_t *src, int16_t *dst, int32_t count,
                                         const uint16_t *recip);
IjStatus ijTransformFwd_MCU_16s_C1_I(int16_t *const *blocks, const uint16_t *const *recip);
IjStatus ijTransformFwd444_MCU_16s_C3_I(int16_t *const *blocks, const uint16_t *const *recip);
IjStatus ijTransformFwd422_MCU_16s_C3_I(int16_t *const *blocks, const uint16_t *const *recip);
IjStatus ijTransformFwd411_MCU_16s_C3_I(int16_t *const *blocks, const uint16_t *const *recip);

/* ---- Quantisation tables ------------------------------------------------ */

/* Reciprocal table, stored transposed; IJ_STS_ARG for a zero entry. */
IjStatus ippiDCTQuantFwdTableInit_JPEG_16u(const uint16_t *quant, uint16_t *recip);
IjStatus ippiDCTQuantInvTableInit_JPEG_16u32s(const uint16_t *quant, int32_t *inverse);
IjStatus ijCalcQuantQualityFactor(int32_t quality);
IjStatus ijBuildEnQuantTable(int32_t factor, int32_t sixteenBit, const int16_t *base,
                             uint16_t *table);
IjStatus ijBuildEncodeQuantTables(int32_t count, const int16_t *custom, IjStream *stream,
                                  IjEncoder *encoder);

/* ---- Huffman tables and entropy coding ---------------------------------- */

IjStatus ippiEncodeHuffmanTableInit_JPEG_8u(const uint8_t *counts, const uint8_t *values,
                                            IjHuffEncTable *table);
IjStatus ijBuildEncodeHuffTable(int32_t id, int32_t tableClass, const uint8_t *custom,
                                IjStream *stream, IjEncoder *encoder);
IjStatus ijBuildScanHuffTables_BLS(IjStream *stream, IjEncoder *encoder);
/* Optimal table from symbol frequencies (the frequencies are left as given). */
IjStatus ippiHuffmanTableSpecInit_JPEG_8u(const int32_t *freq, int32_t *codesize, int32_t *others,
                                          int32_t *bits, uint8_t *counts, uint8_t *values);
/* The block primitives write into buffer at *position without a bound: the
 * caller leaves IJ_MAX_BLOCK_BYTES + 1 bytes of room per block, and for the
 * AC refinement and final passes another 256 for the pending correction bits.
 * The MCU coders (ijHuffmanEncode_...) check the stream themselves. */
IjStatus _IppWriteStreamBits(uint32_t value, int32_t count, uint8_t *buffer, int32_t *position);
IjStatus ippiEncodeHuffman_Direct_JPEG_16s1u(const int16_t *block, uint8_t *buffer,
                                             int32_t *position, int16_t *dcPred,
                                             const IjHuffEncTable *dcTable,
                                             const IjHuffEncTable *acTable);
IjStatus ijHuffmanEncode_Gray_BLS(int16_t *const *blocks, IjStream *stream, IjEncoder *encoder);
IjStatus ijHuffmanEncode_444_BLS(int16_t *const *blocks, IjStream *stream, IjEncoder *encoder);
IjStatus ijHuffmanEncode_422_BLS(int16_t *const *blocks, IjStream *stream, IjEncoder *encoder);
IjStatus ijHuffmanEncode_411_BLS(int16_t *const *blocks, IjStream *stream, IjEncoder *encoder);
IjStatus ijAdjustRestartIntervalFwd(IjStream *stream, IjEncoder *encoder);

/* Progressive primitives. */
IjStatus ippiEncodeHuffman_Direct_JPEG_DCFirst_16s1u(const int16_t *block, uint8_t *buffer,
                                                     int32_t *position, int16_t *dcPred, int32_t al,
                                                     const IjHuffEncTable *dcTable);
IjStatus ippiEncodeHuffman_Direct_JPEG_DCRefine_16s1u(const int16_t *block, uint8_t *buffer,
                                                      int32_t *position, int32_t al);
IjStatus ippiEncodeHuffman_Direct_JPEG_ACFirst_16s1u(const int16_t *block, uint8_t *buffer,
                                                     int32_t *position, int32_t *eobRun, int32_t ss,
                                                     int32_t se, int32_t al,
                                                     const IjHuffEncTable *acTable);
IjStatus ippiEncodeHuffman_Direct_JPEG_ACRefine_16s1u(const int16_t *block, uint8_t *buffer,
                                                      int32_t *position, int32_t *eobRun,
                                                      uint8_t *scratch, int32_t *pendingBits,
                                                      int32_t ss, int32_t se, int32_t al,
                                                      const IjHuffEncTable *acTable);
IjStatus ippiEncodeHuffman_Direct_JPEG_ACFinal(int32_t *eobRun, uint8_t *scratch,
                                               int32_t *pendingBits, uint8_t *buffer,
                                               int32_t *position, const IjHuffEncTable *acTable);
IjStatus _EncodeEOBRUN(int32_t eobRun, uint8_t *buffer, int32_t *position,
                       const IjHuffEncTable *acTable);
IjStatus _AppendBits(const uint8_t *bits, int32_t count, uint8_t *buffer, int32_t *position);
IjStatus ijHuffmanEncode_Gray_DC(int16_t *const *blocks, int32_t refine, int32_t al,
                                 IjStream *stream, IjEncoder *encoder);
IjStatus ijHuffmanEncode_444_DC(int16_t *const *blocks, int32_t refine, int32_t al,
                                IjStream *stream, IjEncoder *encoder);
IjStatus ijHuffmanEncode_422_DC(int16_t *const *blocks, int32_t refine, int32_t al,
                                IjStream *stream, IjEncoder *encoder);
IjStatus ijHuffmanEncode_411_DC(int16_t *const *blocks, int32_t refine, int32_t al,
                                IjStream *stream, IjEncoder *encoder);

/* ---- Marker segments ---------------------------------------------------- */

IjStatus ijWrite_Marker(int32_t code, IjStream *stream);
IjStatus ijWrite_APP0_JFIF(int32_t units, int32_t xDensity, int32_t yDensity, int32_t version,
                           const void *thumbnail, IjStream *stream);
IjStatus ijWrite_APP0_JFXX(int32_t *thumbnail, IjStream *stream);
IjStatus ijWrite_APP0_IJXM(int32_t mode, const IjImageSpec *imageSpec, const IjMotionParams *motion,
                           const IjStreamParams *streamParams, IjStream *stream);
IjStatus ijWrite_APP14(int32_t version, int32_t flags0, int32_t flags1, int32_t transform,
                       IjStream *stream);
IjStatus ijWrite_COM(const char *text, int32_t length, IjStream *stream);
IjStatus ijWrite_DQT(int32_t tableId, int32_t precision, const uint16_t *table, IjStream *stream);
IjStatus ijWrite_DHT(int32_t tableId, int32_t tableClass, const uint8_t *counts,
                     const uint8_t *values, IjStream *stream);
IjStatus ijWrite_DRI(int32_t interval, IjStream *stream);
IjStatus ijWrite_RST(int32_t index, IjStream *stream);
IjStatus ijWrite_SOF(const IjFrameSpec *frame, const IjComponentSpec *components, IjStream *stream);
IjStatus ijWrite_SOS(const IjScanSpec *scan, IjStream *stream);
IjStatus ijWriteHead(const char *comment, int32_t commentLength, IjStream *stream,
                     IjEncoder *encoder);
IjStatus ijAddWaveStream(const uint8_t *data, int32_t length, IjStream *stream);
IjStatus ijAddTimeStamp(const IjTimeStamp *timeRecord, IjStream *stream);

/* ---- Constant tables ---------------------------------------------------- */

extern const int32_t _DCTCoeff[64];
extern const int16_t _DefLumQuantTable[64];
extern const int16_t _DefChromQuantTable[64];
extern const uint8_t _nIppIZigZagIndex[64];
extern const uint8_t _csizetable[256];
extern const uint8_t _eobsizetable[512];
const uint8_t *ippiGetZigZagTable(void);

extern const uint8_t _DefLumDCHuffBits[16];
extern const uint8_t _DefLumDCHuffValues[12];
extern const uint8_t _DefChromDCHuffBits[16];
extern const uint8_t _DefChromDCHuffValues[12];
extern const uint8_t _DefLumACHuffBits[16];
extern const uint8_t _DefLumACHuffValues[162];
extern const uint8_t _DefChromACHuffBits[16];
extern const uint8_t _DefChromACHuffValues[162];

/* ==== Decoding and symbol frequencies =====================================
 *
 * The other direction of the entropy coder and the counting behind optimal
 * tables, for programs that read streams or tune their own tables; the
 * encoder itself calls none of these.
 *
 * Contract of the readers: they are given no length.  They read byte by
 * byte (0xFF 0x00 is the data byte 0xFF, further 0xFF bytes before a marker
 * are fill) until they meet a marker, whose code (the byte after 0xFF, e.g.
 * 0xD0 for RST0) they leave in the marker slot; from then on they read
 * nothing more.  The data handed to them MUST therefore end in a marker, as
 * a whole stream does with its EOI (0xFF 0xD9); data without one is read
 * past its end.  The position is left just after the marker's code byte.
 *
 * The block decoders take the reader's state as separate words that the
 * caller keeps between blocks: the bit position (always a whole byte, the
 * bits read ahead live in the accumulator), the accumulator, the count of
 * valid bits in it (0 ... 32, its low bits) and the marker slot.  Start a
 * scan, and every restart interval, with 0 valid bits and an empty slot.
 * At a restart the caller drops the valid bits, refills (_IppPrefetchBits)
 * until the slot holds the RSTn, then clears the slot and the predictors.
 *
 * Results: 0 when the block was decoded, or when the data ended at a marker
 * before it (the valid-bit count is then 0 and the rest of the block stays
 * as it was: zero for the baseline decoder, which clears the block first);
 * IJ_STS_MODE (-2) for corrupt data (a code that matches nothing within 16
 * bits, a value cut off by a marker, a run past the end of the band, a DC
 * category above 15, a refinement value other than +-1); IJ_STS_ARG for a
 * null pointer, a negative position, a valid-bit count outside 0 ... 32,
 * a band outside 1 <= Ss <= Se <= 63 or Al outside 0 ... 13.
 */

/* Huffman decode table (ippiDecodeHuffmanTableInit_JPEG_8u). */
typedef struct IjHuffDecTable {
  uint16_t firstCode[16];  /* first code of each length 1 ... 16 */
  uint16_t lastCode[17];   /* last code of each length, 0xFFFF where a length has none; 0xFFFF */
  uint16_t valueIndex[16]; /* index in values of the first value of each length */
  uint16_t reserved;
  uint32_t lookahead[256]; /* by the next 8 bits: value | length << 16 for codes of at most 8
                              bits, 0 otherwise */
  uint16_t values[256];    /* in code order */
} IjHuffDecTable;

/* The bit reader of _IppPrefetchBits, _IppHuffDecode and _IppDecodeLongBits. */
typedef struct IjBitReader {
  const uint8_t *buffer;
  int32_t next;   /* index of the next byte to read */
  uint32_t acc;   /* bits read ahead, the valid ones at the low end */
  int32_t bits;   /* valid bits in acc */
  int32_t marker; /* code of the marker met, 0 while none */
} IjBitReader;

#define IJ_HUFF_END_OF_DATA (-256) /* _IppHuffDecode: the data ran out at a marker */
#define IJ_HUFF_BAD_CODE (-1)      /* _IppHuffDecode: no code within 16 bits */

/* Tables for decoding with the default tables: per component slot an
 * inverse quantisation table and the DC and AC decode tables. */
typedef struct IjDecoderTables {
  const int32_t *quantInv[4];
  const IjHuffDecTable *dcTable[4];
  const IjHuffDecTable *acTable[4];
  int32_t quantInvTable[2][64]; /* luminance, chrominance */
  IjHuffDecTable huff[2][2];    /* [class: DC, AC][id: luminance, chrominance] */
} IjDecoderTables;

/* IJ_STS_ARG for a null pointer, more than 256 values, counts whose codes do
 * not fit their lengths, or a 16-bit code of all ones (reserved by JPEG). */
IjStatus ippiDecodeHuffmanTableInit_JPEG_8u(const uint8_t *counts, const uint8_t *values,
                                            IjHuffDecTable *table);
IjStatus ijBuildDefaultDecodeTables(IjDecoderTables *decoder);
/* Inverse tables of the unscaled default quantisation tables: luminance, and
 * chrominance too when count >= 2. */
IjStatus ijBuildDecodeQuantTables(int32_t count, IjDecoderTables *decoder);

/* Refills while no marker was met and fewer than 16 bits are valid; returns
 * the number of valid bits. */
int32_t _IppPrefetchBits(IjBitReader *reader);
/* The next symbol; IJ_HUFF_END_OF_DATA, or IJ_HUFF_BAD_CODE. */
int32_t _IppHuffDecode(const IjHuffDecTable *table, IjBitReader *reader);
/* The symbol of a code of at least length bits (1 ... 16), as _IppHuffDecode. */
int32_t _IppDecodeLongBits(int32_t length, const IjHuffDecTable *table, IjBitReader *reader);

/* Entry s: 1 - 2^s, what turns a received s-bit value below 2^(s-1) into
 * its negative value. */
extern const int32_t _nLowestCoef[16];

IjStatus ippiDecodeHuffman_Direct_JPEG_1u16s(const uint8_t *buffer, int32_t *position,
                                             int16_t *block, int16_t *dcPred, int32_t *marker,
                                             uint32_t *acc, int32_t *bits,
                                             const IjHuffDecTable *dcTable,
                                             const IjHuffDecTable *acTable);
/* The progressive decoders change only what their pass codes: the caller
 * zeroes the blocks before a frame's first scan.  A DC refinement bit that
 * the data no longer holds counts as the end of the data. */
IjStatus ippiDecodeHuffman_Direct_JPEG_DCFirst_1u16s(const uint8_t *buffer, int32_t *position,
                                                     int16_t *block, int16_t *dcPred,
                                                     int32_t *marker, uint32_t *acc, int32_t *bits,
                                                     int32_t al, const IjHuffDecTable *dcTable);
IjStatus ippiDecodeHuffman_Direct_JPEG_DCRefine_1u16s(const uint8_t *buffer, int32_t *position,
                                                      int16_t *block, int32_t *marker,
                                                      uint32_t *acc, int32_t *bits, int32_t al);
IjStatus ippiDecodeHuffman_Direct_JPEG_ACFirst_1u16s(const uint8_t *buffer, int32_t *position,
                                                     int16_t *block, int32_t *eobRun,
                                                     int32_t *marker, uint32_t *acc, int32_t *bits,
                                                     int32_t ss, int32_t se, int32_t al,
                                                     const IjHuffDecTable *acTable);
IjStatus ippiDecodeHuffman_Direct_JPEG_ACRefine_1u16s(const uint8_t *buffer, int32_t *position,
                                                      int16_t *block, int32_t *eobRun,
                                                      int32_t *marker, uint32_t *acc, int32_t *bits,
                                                      int32_t ss, int32_t se, int32_t al,
                                                      const IjHuffDecTable *acTable);

/* Symbol frequencies: each counter adds 1 to freq[symbol] for every symbol
 * the encoder of the same name would write, with the same bookkeeping of
 * predictors, end-of-band runs and pending correction bits.  A table has 257
 * counters (entry 256 is the slot ippiHuffmanTableSpecInit_JPEG_8u reserves).
 * The progressive counters refuse what their encoders refuse (IJ_STS_ARG). */
IjStatus ippiGetHuffmanFREQ_JPEG_16s(const int16_t *block, int32_t *dcFreq, int32_t *acFreq,
                                     int16_t *dcPred);
IjStatus ippiGetHuffmanFREQ_JPEG_DCFirst_16s(const int16_t *block, int32_t *dcFreq, int16_t *dcPred,
                                             int32_t al);
IjStatus ippiGetHuffmanFREQ_JPEG_ACFirst_16s(const int16_t *block, int32_t *acFreq, int32_t *eobRun,
                                             int32_t ss, int32_t se, int32_t al);
/* scratch: IJ_REFINE_SCRATCH_BYTES, as for the refinement encoder. */
IjStatus ippiGetHuffmanFREQ_JPEG_ACRefine_16s(const int16_t *block, int32_t *acFreq,
                                              int32_t *eobRun, uint8_t *scratch,
                                              int32_t *pendingBits, int32_t ss, int32_t se,
                                              int32_t al);
/* Counts a pending run at the end of a scan and clears it; the caller drops
 * its pending correction-bit count with it. */
IjStatus ippiGetHuffmanFREQ_JPEG_ACFinal(int32_t *eobRun, int32_t *acFreq);

#ifdef __cplusplus
}
#endif

#endif /* IJENC_H */
