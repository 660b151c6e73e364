// bmp2jpg.h - a bitmap read with ReadDIBFile converted into a JPEG file, in
// the same two builds as dib.h (firmware calls, or stdio with DIB_STDIO).
#pragma once

#include "dib.h"
#include "ijenc.h"

// What one conversion is asked to do; jpgcmd fills it from its command line.
struct ConvertSettings {
  int32_t quality;
  int32_t restartInterval; // MCUs between restart markers, 0 for none
  int32_t mode;
  int32_t sampling;  // 0 = 4:4:4, 1 = 4:2:2, 2 = 4:1:1
  int32_t format;    // kept for the command line, not used by the encoder
  int32_t direction; // 1 = BMP to JPEG, 2 = JPEG to BMP, -1 = neither
};

inline namespace DIB_BUILD {

// Room in the stream buffer for the marker segments ahead of the coded data
// (the head and tables take several hundred bytes); the buffer never has
// fewer bytes than this, however small the bitmap.
constexpr uint32_t kMinStreamBytes = 10240;

// Encodes the bitmap top row first and writes the whole JPEG stream to the
// file from offset 0.  The stream buffer is sized for the worst case, so
// every picture the encoder takes fits.  1 on success; 0 when the encoder
// refused the bitmap or the settings, memory was short or the write fell
// short.
int32_t BMPtoJPEG(int32_t quality, int32_t restartInterval, int32_t mode, int32_t sampling,
                  const DibImage *dib, DibFile *file);

#ifdef DIB_STDIO
// jpgcmd's encoder on several cores (bmp2jpg_threads.cpp): as
// ijxCompress(&source, &step, stream, encoder), with the pixel stages of MCU
// rows on `threads` worker threads and the rows coded in order on this one;
// the same stream.  threads < 1, or a picture of one MCU row, encodes here
// alone.
IjStatus CompressOnThreads(const uint8_t *source, int32_t step, IjStream *stream,
                           IjEncoder *encoder, int32_t threads);
// The worker threads for a large picture: one per processor, at most 8.
int32_t EncodeThreads();
#endif

} // namespace DIB_BUILD
