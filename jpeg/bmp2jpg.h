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
// ijxCompress(&source, &step, stream, encoder), with the scan cut into runs
// of MCUs that `threads` threads (this one among them) transform and code
// side by side and that are then spliced in order; the same stream.
// threads < 2 encodes here alone.
IjStatus CompressOnThreads(const uint8_t *source, int32_t step, IjStream *stream,
                           IjEncoder *encoder, int32_t threads);
// The same for a bottom-up bitmap whose rows are still in its file: `height`
// rows of `stride` bytes from byte `offset` of the file open as fd, the
// picture's bottom row first.  Each thread reads the lines of the MCU rows
// it transforms (with pread: the file's position stays where it was), so
// reading is spread over the cores and nothing holds the whole picture.
// kRowsUnreadable when the file could not give a row (it shrank, say); the
// encoder cannot be finished then.
IjStatus CompressFileOnThreads(int fd, int64_t offset, int32_t stride, int32_t height,
                               IjStream *stream, IjEncoder *encoder, int32_t threads);
constexpr IjStatus kRowsUnreadable = -100;
// A buffer of the threads' own could not be had: the scan is coded on one
// thread instead, or, when even that has no room, the picture fails.
constexpr IjStatus kNoMemory = -101;
// The threads for a large picture: one per processor, at most 16.
int32_t EncodeThreads();

// As BMPtoJPEG for a bitmap whose header ReadDIBHeader took from `source`
// (dib->pixels may be null): the rows are read from the file as they are
// encoded, on every core for a large picture.  1 on success; 0 as
// BMPtoJPEG; -1 when the rows could not be read.
int32_t BMPFileToJPEG(int32_t quality, int32_t restartInterval, int32_t mode, int32_t sampling,
                      const DibImage *dib, DibFile *source, uint32_t pixelOffset, DibFile *file);
#endif

} // namespace DIB_BUILD
