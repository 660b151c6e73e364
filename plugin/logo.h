// logo.h - the logo engine: the one logo image, its loaders, resampling and
// the raw logo format.
#ifndef LOGO_H
#define LOGO_H

#include <stdint.h>

#include "tap.h"

constexpr uint32_t kLogoMaxW = 60;
constexpr uint32_t kLogoMaxH = 40;
// Pictures of more pixels than this are refused as failed loads: no logo is
// that large, and the full-size buffer would exhaust the receiver's memory.
constexpr uint64_t kLogoMaxSourcePixels = 16u << 20;

extern uint32_t logoW, logoH;
extern uint32_t logoData32[kLogoMaxW * kLogoMaxH];
extern char logoExt[7];
extern uint32_t *logoLarge32;
extern uint32_t *logoJpgData;
extern uint32_t logoWnew, logoHnew;

int32_t LoadChannelLogo(const char *dir, const char *name);
int32_t LoadBMP(const char *name);
int32_t LoadPNG(const char *name);
// The readers of LoadChannelLogo by format, each taking a file of the folder
// dir; LoadJPG is the ".jpg" branch.
int32_t LoadRawLogo(const char *dir, const char *name);
int32_t LoadBmpLogo(const char *dir, const char *name);
int32_t LoadPngLogo(const char *dir, const char *name);
int32_t LoadJPG(const char *dir, const char *name);

void Resize(const uint32_t *src, int32_t srcw, int32_t srch, uint32_t *dest, uint32_t *destw,
            uint32_t *desth, int32_t keepaspect);

// The 16-bit raw pixel: opaque flag, then 5 bits each of red, green, blue.
uint32_t Logo16To32(uint16_t pixel);
uint16_t Logo32To16(uint32_t pixel);

// Writes the logo image in the raw format to an open file: the 32-bit
// variant when ext ends in "32".  False when a write fell short or the image
// is wider than a logo.
bool WriteRawLogo(TYPE_File *file, const char *ext);

// Display (logo_display.cpp) and export (logo_save.cpp).
uint8_t LogoAlphaBlend(uint32_t alpha, uint32_t fg, uint32_t bg);
uint32_t LogoAlphaBlendRGB(uint32_t alpha, uint32_t fg, uint32_t bg);
// The file names a conversion writes (the BMP and the JPEG for target 4,
// else one); false when the name does not fit the 128-byte buffers.
bool ConversionTargets(uint32_t target, const char *name, char first[128], char second[128]);
// Why a conversion of name in dir cannot be written (its log line written
// here), or kConvertOk.  A conversion only ever replaces a plain file.
enum : int32_t {
  kConvertOk = 0,
  kConvertIntoSource = 1,  // a target would be the source file itself
  kConvertNameTooLong = 2, // a target name would not fit
  kConvertNotAFile = 3,    // a folder, a link or a FIFO holds a target's name
  kConvertLoadFailed = 4,  // the source could not be read as a logo
  kConvertEmpty = 5,       // no rows or columns left at the logo's size
  kConvertNoMemory = 6,    // the firmware heap had no room for the pixels
  kConvertWriteFailed = 7, // a target could not be written completely
};
int32_t ConversionRefusal(uint32_t target, const char *dir, const char *name);
// Writes the logo image as target (see logo_formats.h) next to name in dir:
// kConvertOk, a refusal, or why nothing (or not all) was written.
int32_t SaveChannelLogo(uint32_t target, const char *dir, const char *name);
// One whole conversion, as a number key on the file list makes it: loads
// name from dir, resamples to the target's size (stretched, or with fit the
// picture's proportions kept and centred on a transparent canvas), and
// saves it into outDir (dir on the receiver).  The logo image holds the
// result afterwards.
int32_t ConvertLogo(uint32_t target, const char *dir, const char *name, const char *outDir,
                    bool fit);
// What the name file in the folder dir (an absolute disk path) is, without
// following a link: ATTR_NORMAL, ATTR_FOLDER, kAttrOther (a link, a FIFO,
// anything else) or 0 when nothing has that name.
constexpr byte kAttrOther = 0xC0;
byte TargetAttr(const char *dir, const char *file);
// The BMP-to-JPEG conversion of the JPEG encoder's front end.
int bmptojpg(const char *source, const char *target);

// Takes the full-size picture in logoLarge32 (logoW x logoH) into the logo
// image, reduced to fit 60 x 40 with its aspect kept, and frees logoLarge32.
void TakeLargeLogo();

#endif
