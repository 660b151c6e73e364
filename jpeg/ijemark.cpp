// ijemark.cpp - the marker segments of the stream (SOI/EOI, APP0 JFIF, JFXX
// and IJXM, APP14, COM, DQT, DHT, DRI, RST, SOF, SOS) and the private
// segments of motion streams.  Each segment is built whole and appended at a
// byte boundary, or not at all when it does not fit.
#include "ijint.h"

namespace {

// Builds a segment big-endian in a local buffer.
struct Seg {
  uint8_t b[512];
  int n = 0;
  void U8(int32_t v) { b[n++] = uint8_t(v); }
  void U16(int32_t v) {
    U8(v >> 8);
    U8(v);
  }
  void U32(int32_t v) {
    U16(v >> 16);
    U16(v);
  }
  void Text(const char *t, int len) {
    memcpy(b + n, t, size_t(len));
    n += len;
  }
  IjStatus Write(IjStream *s) const { return ijWriteStreamBytes(b, n, s); }
};

// Whether count more bytes fit after the current position's byte boundary,
// so that a segment written in two parts is never left half written.
bool Fits(const IjStream *s, int64_t count) {
  const uint32_t limit = ij::StreamLimit(s);
  if (s->position < 0 || uint32_t(s->position) > limit * 8u) return false;
  return (int64_t(s->position) + 7) / 8 + count <= int64_t(limit);
}

// A segment length field holds 16 bits, itself included.
constexpr int32_t kMaxSegmentData = 65535 - 2;

} // namespace

extern "C" IjStatus ijWrite_Marker(int32_t code, IjStream *stream) {
  Seg s;
  s.U8(0xFF);
  s.U8(code);
  return s.Write(stream);
}

extern "C" IjStatus ijWrite_APP0_JFIF(int32_t units, int32_t xDensity, int32_t yDensity,
                                      int32_t version, const void * /*thumbnail*/,
                                      IjStream *stream) {
  Seg s;
  s.U16(0xFFE0);
  s.U16(16);
  s.Text("JFIF", 5);
  s.U16(version);
  s.U8(units);
  s.U16(xDensity);
  s.U16(yDensity);
  s.U8(0); // no thumbnail, ever
  s.U8(0);
  return s.Write(stream);
}

extern "C" IjStatus ijWrite_APP0_JFXX(int32_t *thumbnail, IjStream *stream) {
  Seg s;
  s.U16(0xFFE0);
  s.U16(8);
  s.Text("JFXX", 5);
  s.U8(0);
  const IjStatus st = s.Write(stream);
  if (st == IJ_STS_OK && thumbnail) thumbnail[1] = thumbnail[2] = 0;
  return st;
}

extern "C" IjStatus ijWrite_APP0_IJXM(int32_t mode, const IjImageSpec *image,
                                      const IjMotionParams *motion,
                                      const IjStreamParams *streamParams, IjStream *stream) {
  if (!image || !motion || !streamParams) return IJ_STS_ARG;
  Seg s;
  s.U16(0xFFE0);
  s.U16(43);
  s.Text("IJXM", 5);
  s.U32(mode);
  s.U8(image->components);
  s.U16(image->width);
  s.U16(image->height);
  s.U16(streamParams->word[1]);
  s.U16(streamParams->word[2]);
  s.U32(streamParams->word[3]);
  s.U32(motion->word[0]);
  s.U8(motion->word[1]);
  s.U32(motion->word[2]);
  s.U32(motion->word[3]);
  s.U32(motion->word[4]);
  s.U16(motion->word[5]);
  return s.Write(stream);
}

extern "C" IjStatus ijWrite_APP14(int32_t version, int32_t flags0, int32_t flags1,
                                  int32_t transform, IjStream *stream) {
  Seg s;
  s.U16(0xFFEE);
  s.U16(14);
  s.Text("Adobe", 5);
  s.U16(version);
  s.U16(flags0);
  s.U16(flags1);
  s.U8(transform);
  return s.Write(stream);
}

extern "C" IjStatus ijWrite_COM(const char *text, int32_t length, IjStream *stream) {
  if (!text || length <= 0) return IJ_STS_OK;
  if (!stream) return IJ_STS_ARG;
  if (length > kMaxSegmentData) return IJ_STS_ARG; // the length field would wrap
  if (!Fits(stream, 4 + int64_t(length))) return IJ_STS_STREAM_FULL;
  Seg s;
  s.U16(0xFFFE);
  s.U16(length + 2);
  const IjStatus st = s.Write(stream);
  if (st != IJ_STS_OK) return st;
  return ijWriteStreamBytes(reinterpret_cast<const uint8_t *>(text), length, stream);
}

extern "C" IjStatus ijWrite_DQT(int32_t tableId, int32_t precision, const uint16_t *table,
                                IjStream *stream) {
  if (precision != 8 && precision != 16) return IJ_STS_OK;
  if (!table) return IJ_STS_ARG;
  const int wide = precision == 16;
  Seg s;
  s.U16(0xFFDB);
  s.U16(wide ? 131 : 67);
  s.U8((wide ? 0x10 : 0) | (tableId & 15));
  for (int k = 0; k < 64; ++k) {
    const uint16_t q = table[_nIppIZigZagIndex[k]];
    if (wide)
      s.U16(q);
    else
      s.U8(q);
  }
  return s.Write(stream);
}

extern "C" IjStatus ijWrite_DHT(int32_t tableId, int32_t tableClass, const uint8_t *counts,
                                const uint8_t *values, IjStream *stream) {
  if (!counts || !values) return IJ_STS_ARG;
  int n = 0;
  for (int i = 0; i < 16; ++i) n += counts[i];
  if (n > 256) return IJ_STS_ARG;
  Seg s;
  s.U16(0xFFC4);
  s.U16(19 + n);
  s.U8(tableClass * 16 + tableId);
  for (int i = 0; i < 16; ++i) s.U8(counts[i]);
  for (int i = 0; i < n; ++i) s.U8(values[i]);
  return s.Write(stream);
}

extern "C" IjStatus ijWrite_DRI(int32_t interval, IjStream *stream) {
  Seg s;
  s.U16(0xFFDD);
  s.U16(4);
  s.U16(interval);
  return s.Write(stream);
}

extern "C" IjStatus ijWrite_RST(int32_t index, IjStream *stream) {
  return ijWrite_Marker(0xD0 | (index & 7), stream);
}

extern "C" IjStatus ijWrite_SOF(const IjFrameSpec *frame, const IjComponentSpec *comps,
                                IjStream *stream) {
  if (!frame || !comps || frame->components < 1 || frame->components > 4) return IJ_STS_ARG;
  Seg s;
  s.U8(0xFF);
  s.U8(frame->marker);
  s.U16(8 + 3 * frame->components);
  s.U8(8);
  s.U16(frame->height);
  s.U16(frame->width);
  s.U8(frame->components);
  for (int i = 0; i < frame->components; ++i) {
    s.U8(i + 1);
    s.U8(comps[i].h * 16 + comps[i].v);
    s.U8(comps[i].quantTable);
  }
  return s.Write(stream);
}

extern "C" IjStatus ijWrite_SOS(const IjScanSpec *scan, IjStream *stream) {
  if (!scan || scan->components < 1 || scan->components > 4) return IJ_STS_ARG;
  for (int i = 0; i < scan->components; ++i)
    if (!scan->comp[i]) return IJ_STS_ARG;
  Seg s;
  s.U16(0xFFDA);
  s.U16(6 + 2 * scan->components);
  s.U8(scan->components);
  for (int i = 0; i < scan->components; ++i) {
    s.U8(scan->comp[i]->index + 1);
    s.U8(scan->comp[i]->dcTable * 16 + scan->comp[i]->acTable);
  }
  s.U8(scan->ss);
  s.U8(scan->se);
  s.U8((scan->ah << 4) | (scan->al & 15));
  return s.Write(stream);
}

extern "C" IjStatus ijWriteHead(const char *comment, int32_t commentLength, IjStream *stream,
                                IjEncoder *encoder) {
  if (!stream || !encoder) return IJ_STS_ARG;
  IjStatus st = ijWrite_Marker(0xD8, stream);
  if (st == IJ_STS_OK)
    st = ijWrite_APP0_JFIF(encoder->image.densityUnit & 0xFF, encoder->image.xDensity,
                           encoder->image.yDensity, 0x0102, nullptr, stream);
  if (st == IJ_STS_OK && (encoder->mode & 0xFF00))
    st = ijWrite_APP0_IJXM(encoder->mode, &encoder->image, &encoder->motion, &encoder->streamParams,
                           stream);
  if (st == IJ_STS_OK) st = ijWrite_COM(comment, commentLength, stream);
  if (st == IJ_STS_OK && encoder->restartInterval >= 1)
    st = ijWrite_DRI(encoder->restartInterval, stream);
  return st;
}

extern "C" IjStatus ijAddWaveStream(const uint8_t *data, int32_t length, IjStream *stream) {
  if (!stream || length < 0 || (length > 0 && !data)) return IJ_STS_ARG;
  if (length > kMaxSegmentData) return IJ_STS_ARG; // the length field would wrap
  if (!Fits(stream, 4 + int64_t(length))) return IJ_STS_STREAM_FULL;
  Seg s;
  s.U16(0xFFA2);
  s.U16(length + 2);
  const IjStatus st = s.Write(stream);
  if (st != IJ_STS_OK) return st;
  return ijWriteStreamBytes(data, length, stream);
}

extern "C" IjStatus ijAddTimeStamp(const IjTimeStamp *t, IjStream *stream) {
  if (!t) return IJ_STS_ARG;
  const bool time = t->flags & 1, extra = t->flags & 2;
  Seg s;
  s.U16(0xFFA3);
  s.U16(2 + (time ? 4 : 0) + (extra ? 6 : 0));
  if (time) s.U32(int32_t(t->time));
  if (extra) s.Text(reinterpret_cast<const char *>(t->extra), 6);
  return s.Write(stream);
}
