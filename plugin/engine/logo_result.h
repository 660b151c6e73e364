// logo_result.h - what a conversion came to, in one vocabulary: a code for
// every outcome, and one table of what each says in the log, on the status
// line and in logoconv's summary.  The lines a load ends with are named here
// too.
#ifndef LOGO_RESULT_H
#define LOGO_RESULT_H

#include <stdint.h>

enum LogoResult : int32_t {
  kConvertOk,
  kConvertIntoSource,  // a target would be the source file itself
  kConvertNameTooLong, // a target name would not fit
  kConvertNotAFile,    // a folder, a link or a FIFO holds a target's name
  kConvertLoadFailed,  // the source could not be read as a logo
  kConvertEmpty,       // no rows or columns left at the logo's size
  kConvertNoMemory,    // the heap had no room for the pixels
  kConvertWriteFailed, // a target could not be written completely
  // logoconv's own: a target deeper than the engine's device path holds,
  // and a worker process that ended while converting.
  kConvertPathTooLong,
  kConvertWorkerDied,
  // bmptojpg, the JPEG made from the BMP just written.
  kJpegUnreadable,  // the bitmap is not readable or not supported
  kJpegFailed,      // encoding or writing failed
  kJpegNoTarget,    // the JPEG file could not be created
  kJpegNoSource,    // the bitmap could not be opened
  kJpegNotReplaced, // complete, but it could not take the target's place
  kLogoResultCount
};

struct LogoResultText {
  LogoResult code;
  // The number bmptojpg returns for it, and the log's "RC" shows: the ones
  // stored logs have always carried (a JPEG that cannot take its place is
  // logged as one that cannot be created).  0 for the other codes.
  int32_t rc;
  // The log line, given the folder, the source's name and the target file;
  // null when the code writes none of its own.
  const char *log;
  // The status line after a number key; null when the refreshed list is
  // what the user sees instead.
  const char *german, *english;
  // Why logoconv did not convert a file; null for what is no failure.
  const char *reason;
};

extern const LogoResultText kLogoResults[kLogoResultCount];

// The row of code; an unknown code reads as a failed write.
const LogoResultText &LogoResultOf(int32_t code);
// bmptojpg's number for code.
inline int LogoResultRc(LogoResult code) {
  return kLogoResults[code].rc;
}
// Writes code's log line, when it has one, and returns code.
int32_t LogResult(LogoResult code, const char *dir, const char *name, const char *file);

// The debug lines a load ends with.  Their tags are what older logs and
// the tools that read them know, typing slips included (so the PNG loader's
// ERROR4, once its refusal of fewer than 8 bits a sample, is not reused).
enum LogoLoadLine : uint8_t {
  kLoadNoLogoName, // no name, too long a name, or not a logo's extension
  kLoadRawNoFile,  // a raw logo that cannot be opened
  kLoadRawRefused, // empty, too large, or no memory
  kLoadRawDone,
  kLoadBmpChosen, // the BMP reader takes over
  kLoadPngChosen, // the PNG reader takes over
  kLoadJpgNoFile,
  kLoadJpgFailed, // the firmware's decoder gave nothing
  kLoadJpgDone,
  kPngNoName,
  kPngUnreadable,  // the codec refused the file
  kPngNoMemory,    // no memory for the picture
  kPngNoRowMemory, // no memory for the decoded rows
  kPngBadData,     // the image data could not be decoded
  kPngDone,
  kBmpNoName,
  kBmpNoFile,
  kBmpRefused,     // empty or too large
  kBmpNoRowMemory, // no memory for the rows
  kBmpDone,
  kLogoLoadLineCount
};
extern const char *const kLogoLoadLines[kLogoLoadLineCount];
// Writes the debug line and returns ok: 1 for a done load, else 0.
int32_t LogLoad(LogoLoadLine line, int32_t ok = 0);

#endif
