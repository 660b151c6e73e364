// logo_save.cpp - writing the logo image next to its source file: the
// target's names, the checks before anything is written, the temporary file
// that takes the target's place, and the choice of writer.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "logo_formats.h"
#include "logo_host.h"
#include "logo_internal.h"

// A source of more than 16 bits a pixel keeps them in QTL/QSL/IBL targets.
// The plug-in only lists the table's formats; logoconv's drawings (SVG),
// which it does not hold, are drawn in 32 bits.
static bool WideSource(const char *ext) {
  const LogoFormat *format = LogoFormatOf(ext);
  return !format || format->bits > 16;
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
  if (target >= kLogoTargetCount) target = kLogoTargetDefault;
  const LogoTarget &t = kLogoTargets[target];
  char out[kTargetExtRoom];
  snprintf(out, sizeof out, "%s%s", t.ext, t.widen && WideSource(ext) ? "32" : "");
  second[0] = '\0';
  if (snprintf(first, 128, "%s.%s", base, out) >= 128) return false;
  if (t.second && snprintf(second, 128, "%s.%s", base, t.second) >= 128) return false;
  return true;
}

// The disk's device path of file in the folder dir, as libc takes it.
static bool DevicePath(const char *dir, const char *file, char (&path)[8 + 2 * TAP_MAX_FILENAME]) {
  if (!dir || !file || !file[0] || strchr(file, '/') || dir[0] != '/') return false;
  const char *separator = strcmp(dir, "/") == 0 ? "" : "/";
  return snprintf(path, sizeof path, "/mnt/hd%s%s%s", dir, separator, file) < int(sizeof path);
}

// The firmware's calls follow links and wait on FIFOs, and its directory
// search tells only files from folders; the disk's device path opened with
// libc, without following a final link and without waiting, says what the
// name itself is.
byte TargetAttr(const char *dir, const char *file) {
  if (!dir || !file || !file[0] || strchr(file, '/')) return 0;
  char path[8 + 2 * TAP_MAX_FILENAME];
  if (!DevicePath(dir, file, path)) return kAttrOther;
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

int32_t ConversionRefusal(uint32_t target, const char *dir, const char *name,
                          const char *sourceDir) {
  char first[128], second[128];
  if (!ConversionTargets(target, name, first, second))
    return LogResult(kConvertNameTooLong, dir, name ? name : "", nullptr);
  // The same name is the source itself only in the source's own folder.
  const bool sameFolder = !sourceDir || (dir && strcmp(sourceDir, dir) == 0);
  if (sameFolder && (strcmp(first, name) == 0 || strcmp(second, name) == 0))
    return LogResult(kConvertIntoSource, dir, name, nullptr);
  // Deleting or writing anything else would take a folder with it, write
  // through a link (perhaps onto the source) or wait for good on a FIFO.
  if (!dir || !TAP_Hdd_ChangeDir(dir)) return kConvertOk; // nothing is written there
  const char *const files[] = {first, second};
  for (const char *file : files) {
    const byte attr = file[0] ? TargetAttr(dir, file) : 0;
    if (attr != 0 && attr != ATTR_NORMAL) return LogResult(kConvertNotAFile, dir, name, file);
  }
  return kConvertOk;
}

// The name carries the process's number, so that two programs converting
// into one folder at once (two logoconv runs, each with its workers) never
// meet on it, and it is created here, exclusively: a name held already, by
// a leftover of a killed run or by a link planted there, is passed over and
// never written through.
bool TemporaryName(const char *dir, const char *file, char (&temporary)[TAP_MAX_FILENAME]) {
  const unsigned process = unsigned(getpid());
  for (int n = 0; n < kTemporaryTries; ++n) {
    const int length = n == 0
                           ? snprintf(temporary, sizeof temporary, "%s.~%u", file, process)
                           : snprintf(temporary, sizeof temporary, "%s.~%u.%d", file, process, n);
    char path[8 + 2 * TAP_MAX_FILENAME];
    if (length >= int(sizeof temporary) || !DevicePath(dir, temporary, path)) return false;
    const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0644);
    if (fd >= 0) {
      close(fd);
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

// Only a file this conversion made is ever taken away again.
void Discard(const char *dir, const char *temporary) {
  if (TargetAttr(dir, temporary) == ATTR_NORMAL) TAP_Hdd_Delete(temporary);
}

// The finished file in the target's place, in one step: the firmware's
// rename never replaces a file, libc's does so atomically, so there is no
// moment without the target, and of two conversions at once each leaves a
// complete one.  Only a plain file or nothing is replaced; should the
// rename fail, the new file is kept under its temporary name rather than
// lost.
bool Replace(const char *dir, const char *temporary, const char *file) {
  const byte attr = TargetAttr(dir, file);
  char from[8 + 2 * TAP_MAX_FILENAME], to[8 + 2 * TAP_MAX_FILENAME];
  if ((attr != 0 && attr != ATTR_NORMAL) || !DevicePath(dir, temporary, from) ||
      !DevicePath(dir, file, to)) {
    Discard(dir, temporary);
    return false;
  }
  if (rename(from, to) == 0) return true;
  WriteLog("= Saving channel logofile %s/%s: kept as %s\n", dir, file, temporary);
  return false;
}

int32_t SaveChannelLogo(uint32_t target, const char *dir, const char *name, const char *sourceDir) {
  WriteDebugLog("> Saving channel logo\n");
  if (target >= kLogoTargetCount) target = kLogoTargetDefault;
  // The user's logo is never replaced by its own conversion, nor anything
  // but a plain file; the caller checks first, and nothing is written here
  // either.
  if (!dir) return kConvertWriteFailed;
  if (const int32_t refusal = ConversionRefusal(target, dir, name, sourceDir)) return refusal;
  // An empty picture has no pixels to write (and no size beyond the image's
  // is ever read).
  if (logoW == 0 || logoH == 0 || logoW > kLogoMaxW || logoH > kLogoMaxH)
    return LogResult(kConvertEmpty, dir, name, nullptr);
  char first[128], second[128];
  ConversionTargets(target, name, first, second);
  return kLogoTargets[target].write(dir, first, second);
}
