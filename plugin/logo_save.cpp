// logo_save.cpp - writing the logo image next to its source file: the raw
// formats, PNG, BMP over black, and BMP followed by JPEG.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "Velumo.h"
#include "pngcodec.h"
#include "tklib.h"

static const char *const kRawExt[8] = {"bll", "bll32", "png", "bmp", "bmp", "qtl", "qsl", "ibl"};

// A source of more than 16 bits a pixel keeps them in QTL/QSL/IBL targets.
static bool WideSource(const char *ext) {
  return StringEndsWith(ext, "32") || StringEndsWith(ext, "bmp") || StringEndsWith(ext, "jpg") ||
         StringEndsWith(ext, "png");
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
  if (target > 7) target = 3;
  char out[8];
  snprintf(out, sizeof out, "%s%s", kRawExt[target], target >= 5 && WideSource(ext) ? "32" : "");
  second[0] = '\0';
  if (snprintf(first, 128, "%s.%s", base, out) >= 128) return false;
  if (target == 4 && snprintf(second, 128, "%s.%s", base, "jpg") >= 128) return false;
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

// An existing target goes before the new one is written: a hard link is
// parted from the file it shares, which may be the source.
static void Remove(const char *dir, const char *file) {
  if (TargetAttr(dir, file) == ATTR_NORMAL) TAP_Hdd_Delete(file);
}

static void SaveRaw(const char *dir, const char *file, const char *ext) {
  if (!TAP_Hdd_ChangeDir(dir)) return;
  Remove(dir, file);
  TAP_Hdd_Create(file, ATTR_NORMAL);
  TYPE_File *f = TAP_Hdd_Fopen(file);
  if (!f) return;
  const bool written = WriteRawLogo(f, ext);
  TAP_Hdd_Fclose(f);
  // A file that is not all there is no logo: it goes again.
  if (!written) {
    TAP_Hdd_Delete(file);
    WriteLog("= Saving channel logofile %s/%s failed\n", dir, file);
    return;
  }
  WriteLog("= Saved channel logofile %s/%s\n", dir, file);
}

static void SaveBmp(uint32_t target, const char *dir, const char *bmp, const char *jpg) {
  const uint32_t row = (logoW * 3 + 3) / 4 * 4;
  byte *pixels = static_cast<byte *>(TAP_MemAlloc(row * logoH));
  if (!pixels) return;
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
  if (TAP_Hdd_ChangeDir(dir)) {
    Remove(dir, bmp);
    const bool saved = SaveBitmap(bmp, int(logoW), int(logoH), pixels);
    // No half-written bitmap stays behind (only a file is removed, never a
    // folder that stood in the way).
    if (!saved) {
      if (TYPE_File *f = TAP_Hdd_Fopen(bmp)) {
        TAP_Hdd_Fclose(f);
        TAP_Hdd_Delete(bmp);
      }
    }
    WriteLog("= Saved channel logofile %s/%s RC %d\n", dir, bmp, saved ? 1 : 0);
    if (target == 4 && saved && TAP_Hdd_ChangeDir(dir)) {
      Remove(dir, jpg);
      const int rc = bmptojpg(bmp, jpg);
      WriteLog("= Saved channel logofile %s/%s RC %d\n", dir, jpg, rc);
    }
  }
  TAP_MemFree(pixels);
}

void SaveChannelLogo(uint32_t target, const char *dir, const char *name) {
  WriteDebugLog("> Saving channel logo\n");
  if (target > 7) target = 3;
  // The user's logo is never replaced by its own conversion, nor anything
  // but a plain file; the caller checks first, and nothing is written here
  // either.
  if (!dir || ConversionRefusal(target, dir, name) != kConvertOk) return;
  // An empty picture has no pixels to write (and no size beyond the image's
  // is ever read).
  if (logoW == 0 || logoH == 0 || logoW > kLogoMaxW || logoH > kLogoMaxH) {
    WriteLog("= Not converting %s/%s: empty logo\n", dir, name);
    return;
  }
  char first[128], second[128];
  ConversionTargets(target, name, first, second);
  if (target == 2) {
    if (TAP_Hdd_ChangeDir(dir)) {
      Remove(dir, first);
      const int rc = png_save(logoW, logoH, 8, 4, 6, logoData32, first);
      WriteLog("= Saved channel logofile %s/%s RC %d\n", dir, first, rc);
    }
  } else if (target == 3 || target == 4) {
    SaveBmp(target, dir, first, second);
    // Only the bitmap path ends with this line.
    WriteDebugLog("< Saving channel logo\n");
  } else {
    SaveRaw(dir, first, first);
  }
}
