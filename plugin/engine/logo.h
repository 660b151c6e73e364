// logo.h - the logo engine: the one logo image, its loaders, resampling,
// the writers and whole conversions.  Nothing here knows the plug-in's
// screens; what a conversion came to is a LogoResult (logo_result.h).
#ifndef LOGO_H
#define LOGO_H

#include <stdint.h>

#include "logo_result.h"
#include "tap.h"

constexpr uint32_t kLogoMaxW = 60;
constexpr uint32_t kLogoMaxH = 40;
// Pictures of more pixels than this are refused as failed loads: no logo is
// that large, and the full-size buffer would exhaust the receiver's memory.
constexpr uint64_t kLogoMaxSourcePixels = 16u << 20;

extern uint32_t logoW, logoH;
extern uint32_t logoData32[kLogoMaxW * kLogoMaxH];
extern char logoExt[7];
// What kind of PNG the logo image came from (its header's colour type, bit
// depth and interlace method), for the detail view; all 0 when the image
// came from no PNG.  Every load sets it anew; a failed one keeps it with the
// picture it keeps.
struct LogoPngKind {
  uint8_t colorType, depth, interlace;
};
extern LogoPngKind logoPng;
extern uint32_t *logoLarge32;
extern uint32_t *logoJpgData;
extern uint32_t logoWnew, logoHnew;
// The plug-in's shared scratch line; the raw writer builds its rows in it.
extern char buf[255];

int32_t LoadChannelLogo(const char *dir, const char *name);
int32_t LoadBMP(const char *name);
int32_t LoadPNG(const char *name);
// The readers of LoadChannelLogo by format (the load of a format's row),
// each taking a file of the folder dir; 1 on success.
int32_t LoadRawLogo(const char *dir, const char *name);
int32_t LoadBmpLogo(const char *dir, const char *name);
int32_t LoadPngLogo(const char *dir, const char *name);
int32_t LoadJPG(const char *dir, const char *name);

// The writers of SaveChannelLogo by target (the write of a target's row):
// the logo image into the file first in the folder dir, and for BMP+JPEG
// the JPEG second beside it; kConvertOk or why nothing (or not all) was
// written.
int32_t WriteRawTarget(const char *dir, const char *first, const char *second);
int32_t WritePngTarget(const char *dir, const char *first, const char *second);
int32_t WriteBmpTarget(const char *dir, const char *first, const char *second);
int32_t WriteBmpJpgTarget(const char *dir, const char *first, const char *second);

void Resize(const uint32_t *src, int32_t srcw, int32_t srch, uint32_t *dest, uint32_t *destw,
            uint32_t *desth, int32_t keepaspect);

// The 16-bit raw pixel: opaque flag, then 5 bits each of red, green, blue.
uint32_t Logo16To32(uint16_t pixel);
uint16_t Logo32To16(uint32_t pixel);

// Writes the logo image in the raw format to an open file: the 32-bit
// variant when ext ends in "32".  False when a write fell short or the image
// is wider than a logo.
bool WriteRawLogo(TYPE_File *file, const char *ext);

// A colour over a background: bg 0 keeps the pixel's own alpha.
uint8_t LogoAlphaBlend(uint32_t alpha, uint32_t fg, uint32_t bg);
uint32_t LogoAlphaBlendRGB(uint32_t alpha, uint32_t fg, uint32_t bg);
// The file names a conversion writes (the BMP and the JPEG for BMP+JPEG,
// else one); false when the name does not fit the 128-byte buffers.
bool ConversionTargets(uint32_t target, const char *name, char first[128], char second[128]);
// Why a conversion of name in dir cannot be written (its log line written
// here), or kConvertOk.  A conversion only ever replaces a plain file, and
// never its source: a target of the source's name is the source itself
// when sourceDir, the source's folder, is dir (or not given).
int32_t ConversionRefusal(uint32_t target, const char *dir, const char *name,
                          const char *sourceDir = nullptr);
// Writes the logo image as target (see logo_formats.h) next to name in dir:
// kConvertOk, a refusal, or why nothing (or not all) was written.  Each
// file is written as NAME.~P (P the process's number, with ".N" after it
// when that name is taken) and renamed when complete.
int32_t SaveChannelLogo(uint32_t target, const char *dir, const char *name,
                        const char *sourceDir = nullptr);
// How many temporary names a target tries, and the most they add to it.
constexpr int kTemporaryTries = 100;
constexpr unsigned kTemporaryRoom = 16; // ".~4294967295.99"
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
// The BMP-to-JPEG conversion of the JPEG encoder's front end: 0, or the
// negative code of its row in the table of results.
int bmptojpg(const char *source, const char *target);

// Takes the full-size picture in logoLarge32 (logoW x logoH) into the logo
// image, reduced to fit 60 x 40 with its aspect kept, and frees logoLarge32.
void TakeLargeLogo();

#endif
