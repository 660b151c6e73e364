// _ijx.cpp - the output stream: whole bytes written or read at byte
// boundaries, and the padding of a partly filled byte.
#include "ijint.h"

namespace {

// The byte at which whole-byte access starts, after padding a partly filled
// byte with 0 bits (never 1 bits: a padded byte can then never read as 0xFF
// and be taken for a marker).  -1 when the position lies outside the buffer.
int64_t ByteBoundary(IjStream *s, bool pad) {
  const uint32_t limit = ij::StreamLimit(s);
  if (s->position < 0 || uint32_t(s->position) > limit * 8u) return -1;
  const uint32_t byte = uint32_t(s->position) >> 3;
  const unsigned used = unsigned(s->position) & 7;
  if (!used) return byte;
  if (pad) s->buffer[byte] &= uint8_t(0xFF00 >> used);
  return int64_t(byte) + 1;
}

} // namespace

extern "C" IjStatus ijWriteStreamBytes(const uint8_t *bytes, int32_t count, IjStream *stream) {
  if (!stream || !stream->buffer || count < 0 || (count > 0 && !bytes)) return IJ_STS_ARG;
  const int64_t start = ByteBoundary(stream, false);
  if (start < 0 || int64_t(ij::StreamLimit(stream)) - start < count) return IJ_STS_STREAM_FULL;
  ByteBoundary(stream, true);
  if (count) memcpy(stream->buffer + start, bytes, size_t(count));
  stream->position = int32_t((start + count) * 8);
  return IJ_STS_OK;
}

extern "C" IjStatus ijAdjustStream(IjStream *stream) {
  if (!stream || !stream->buffer) return IJ_STS_ARG;
  const int64_t start = ByteBoundary(stream, true);
  if (start < 0) return IJ_STS_STREAM_FULL;
  stream->position = int32_t(start * 8);
  return IJ_STS_OK;
}

extern "C" IjStatus ijReadStreamBytes(uint8_t *bytes, int32_t count, IjStream *stream) {
  if (!stream || !stream->buffer || count < 0 || (count > 0 && !bytes)) return IJ_STS_ARG;
  const int64_t start = ByteBoundary(stream, false);
  if (start < 0 || int64_t(ij::StreamLimit(stream)) - start < count) return IJ_STS_STREAM_FULL;
  if (count) memcpy(bytes, stream->buffer + start, size_t(count));
  stream->position = int32_t((start + count) * 8);
  return IJ_STS_OK;
}
