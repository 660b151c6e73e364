// logo_save.cpp - writing the logo image next to its source file: the raw
// formats, PNG, BMP over black, and BMP followed by JPEG.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "Velumo.h"
#include "logo_formats.h"
#include "pngcodec.h"
#include "tklib.h"

// A source of more than 16 bits a pixel keeps them in QTL/QSL/IBL targets.
static bool WideSource(const char *ext) {
  const LogoFormat *format = LogoFormatOf(ext);
  return format && format->bits > 16;
}

// The name without its last extension, and that extension with its dot.
// Nothing more is cut: "Sport-1.png" is the logo "Sport-1", not "Sport".
static bool Split(const char *name, char base[128], char ext[128]) {
  if (!name || strlen(name) >= 128) return false;
  strcpy(base, name);
  ext[0] = '\0';
  if (char *dot = strrchr(base, '.')) {
    strcpy(ext, dot);
    *dot = '\0';
  }
  return true;
}

bool ConversionTargets(uint32_t target, const char *name, char first[128], char second[128]) {
  char base[128], ext[128];
  if (!Split(name, base, ext)) return false;
  if (target >= kLogoTargetCount) target = 3;
  const LogoTarget &t = kLogoTargets[target];
  char out[8];
  snprintf(out, sizeof out, "%s%s", t.ext, t.widen && WideSource(ext) ? "32" : "");
  second[0] = '\0';
  if (snprintf(first, 128, "%s.%s", base, out) >= 128) return false;
  if (t.second && snprintf(second, 128, "%s.%s", base, t.second) >= 128) return false;
  return true;
}

// The firmware's calls follow links and wait on FIFOs, and its directory
// search tells only files from folders; the disk's device path opened with
// libc, without following a final link and without waiting, says what the
// name itself is.
byte TargetAttr(const char *dir, const char *file) {
  if (!dir || !file || !file[0] || strchr(file, '/')) return 0;
  char path[8 + 2 * TAP_MAX_FILENAME];
  const char *separator = strcmp(dir, "/") == 0 ? "" : "/";
  if (dir[0] != '/' ||
      snprintf(path, sizeof path, "/mnt/hd%s%s%s", dir, separator, file) >= int(sizeof path))
    return kAttrOther;
  const int fd = open(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return errno == ENOENT ? 0 : kAttrOther; // ELOOP: a link, wherever it leads
  byte attr = ATTR_NORMAL;
  char c;
  if (read(fd, &c, 1) < 0) // a folder, or what cannot be read without waiting
    attr = errno == EISDIR ? ATTR_FOLDER : kAttrOther;
  else if (lseek(fd, 0, SEEK_END) < 0) // a FIFO or a socket
    attr = kAttrOther;
  close(fd);
  return attr;
}

int32_t ConversionRefusal(uint32_t target, const char *dir, const char *name) {
  char first[128], second[128];
  if (!ConversionTargets(target, name, first, second)) {
    WriteLog("= Not converting %s/%s: target name too long\n", dir, name ? name : "");
    return kConvertNameTooLong;
  }
  if (strcmp(first, name) == 0 || strcmp(second, name) == 0) {
    WriteLog("= Not converting %s/%s into itself\n", dir, name);
    return kConvertIntoSource;
  }
  // Deleting or writing anything else would take a folder with it, write
  // through a link (perhaps onto the source) or wait for good on a FIFO.
  if (!dir || !TAP_Hdd_ChangeDir(dir)) return kConvertOk; // nothing is written there
  const char *const files[] = {first, second};
  for (const char *file : files) {
    const byte attr = file[0] ? TargetAttr(dir, file) : 0;
    if (attr != 0 && attr != ATTR_NORMAL) {
      WriteLog("= Not converting %s/%s: %s is no plain file\n", dir, name, file);
      return kConvertNotAFile;
    }
  }
  return kConvertOk;
}

// Each target is written under a name of its own first and takes the
// target's place only when it is all there: a failed write (a full disk)
// keeps the file it would have replaced, and a hard link to the target (it
// may be the source) is parted from it, never written through.
static bool TemporaryName(const char *dir, const char *file, char (&temporary)[TAP_MAX_FILENAME]) {
  for (int n = 0; n < 10; ++n) {
    if (snprintf(temporary, sizeof temporary, "%s.~%d", file, n) >= int(sizeof temporary))
      return false;
    if (TargetAttr(dir, temporary) == 0) return true;
  }
  return false;
}

// Only a file this conversion made is ever taken away again.
static void Discard(const char *dir, const char *temporary) {
  if (TargetAttr(dir, temporary) == ATTR_NORMAL) TAP_Hdd_Delete(temporary);
}

// The finished file in the target's place.  The firmware's rename never
// replaces a file, so the old one goes first; should the rename fail after
// that, the new file is kept under its temporary name rather than lost.
static bool Replace(const char *dir, const char *temporary, const char *file) {
  if (TargetAttr(dir, file) == ATTR_NORMAL && !TAP_Hdd_Delete(file)) {
    Discard(dir, temporary);
    return false;
  }
  if (TAP_Hdd_Rename(temporary, file)) return true;
  WriteLog("= Saving channel logofile %s/%s: kept as %s\n", dir, file, temporary);
  return false;
}

static bool SaveRaw(const char *dir, const char *file, const char *ext) {
  char temporary[TAP_MAX_FILENAME];
  if (!TAP_Hdd_ChangeDir(dir) || !TemporaryName(dir, file, temporary)) return false;
  bool written = false;
  if (TAP_Hdd_Create(temporary, ATTR_NORMAL)) {
    if (TYPE_File *f = TAP_Hdd_Fopen(temporary)) {
      written = WriteRawLogo(f, ext);
      TAP_Hdd_Fclose(f);
    }
  }
  if (!written) Discard(dir, temporary);
  if (!written || !Replace(dir, temporary, file)) {
    WriteLog("= Saving channel logofile %s/%s failed\n", dir, file);
    return false;
  }
  WriteLog("= Saved channel logofile %s/%s\n", dir, file);
  return true;
}

static int32_t SaveBmp(bool jpeg, const char *dir, const char *bmp, const char *jpg) {
  const uint32_t row = (logoW * 3 + 3) / 4 * 4;
  byte *pixels = static_cast<byte *>(TAP_MemAlloc(row * logoH));
  if (!pixels) return kConvertNoMemory;
  TAP_MemSet(pixels, 0, row * logoH);
  uint32_t index = 0;
  for (uint32_t y = 0; y < logoH; ++y) {
    for (uint32_t x = 0; x < logoW; ++x) {
      const uint32_t word = logoData32[(logoH - 1 - y) * logoW + x];
      const uint32_t c = LogoAlphaBlendRGB(word >> 24, 0xFF000000u | word, 0xFF000000u);
      const byte r = byte(c >> 16), g = byte(c >> 8), b = byte(c);
      if (index < 60)
        WriteDebugLog("index %2d, x %2d, y %2d, R %02X, G %02X, B %02X, logoData32 0x%08X\n",
                      int(index), int(x), int(y), r, g, b, unsigned(word));
      pixels[index++] = b;
      pixels[index++] = g;
      pixels[index++] = r;
    }
    index = (index + 3) / 4 * 4;
  }
  char temporary[TAP_MAX_FILENAME];
  int32_t result = kConvertWriteFailed;
  if (TAP_Hdd_ChangeDir(dir) && TemporaryName(dir, bmp, temporary)) {
    bool saved = SaveBitmap(temporary, int(logoW), int(logoH), pixels);
    if (!saved) Discard(dir, temporary);
    saved = saved && Replace(dir, temporary, bmp);
    WriteLog("= Saved channel logofile %s/%s RC %d\n", dir, bmp, saved ? 1 : 0);
    if (saved) result = kConvertOk;
    if (jpeg && saved) {
      result = kConvertWriteFailed;
      if (TAP_Hdd_ChangeDir(dir) && TemporaryName(dir, jpg, temporary)) {
        int rc = bmptojpg(bmp, temporary);
        if (rc != 0) Discard(dir, temporary);
        if (rc == 0 && !Replace(dir, temporary, jpg)) rc = -4;
        WriteLog("= Saved channel logofile %s/%s RC %d\n", dir, jpg, rc);
        if (rc == 0) result = kConvertOk;
      }
    }
  }
  TAP_MemFree(pixels);
  return result;
}

int32_t SaveChannelLogo(uint32_t target, const char *dir, const char *name) {
  WriteDebugLog("> Saving channel logo\n");
  if (target >= kLogoTargetCount) target = 3;
  // The user's logo is never replaced by its own conversion, nor anything
  // but a plain file; the caller checks first, and nothing is written here
  // either.
  if (!dir) return kConvertWriteFailed;
  if (const int32_t refusal = ConversionRefusal(target, dir, name)) return refusal;
  // An empty picture has no pixels to write (and no size beyond the image's
  // is ever read).
  if (logoW == 0 || logoH == 0 || logoW > kLogoMaxW || logoH > kLogoMaxH) {
    WriteLog("= Not converting %s/%s: empty logo\n", dir, name);
    return kConvertEmpty;
  }
  char first[128], second[128];
  ConversionTargets(target, name, first, second);
  switch (kLogoTargets[target].writer) {
  case kWritePng: {
    char temporary[TAP_MAX_FILENAME];
    if (!TAP_Hdd_ChangeDir(dir) || !TemporaryName(dir, first, temporary))
      return kConvertWriteFailed;
    int rc = png_save(logoW, logoH, 8, 4, 6, logoData32, temporary);
    if (rc != PNG_R_DONE) Discard(dir, temporary);
    if (rc == PNG_R_DONE && !Replace(dir, temporary, first)) rc = PNG_R_FILE;
    WriteLog("= Saved channel logofile %s/%s RC %d\n", dir, first, rc);
    return rc == PNG_R_DONE ? kConvertOk : kConvertWriteFailed;
  }
  case kWriteBmp:
  case kWriteBmpJpg: {
    const int32_t result = SaveBmp(kLogoTargets[target].writer == kWriteBmpJpg, dir, first, second);
    // Only the bitmap path ends with this line.
    WriteDebugLog("< Saving channel logo\n");
    return result;
  }
  case kWriteRaw:
  default:
    return SaveRaw(dir, first, first) ? kConvertOk : kConvertWriteFailed;
  }
}
