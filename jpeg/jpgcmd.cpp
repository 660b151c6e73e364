// jpgcmd.cpp - the desktop converter: jpgcmd source.bmp target.jpg [-X=value ...].
// Errors are one line on standard output each; the exit status is 0 only
// when the JPEG was written, so that scripts can tell a failed conversion.
#include <ctype.h>
#include <errno.h>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "bmp2jpg.h"

namespace {

// Texts the user sees, exactly as they have always read.
const char kUsage[] = "Command Error 1!";
const char kNoPair[] = "Command Error 2!";
const char kNoSource[] = "Source file cannot be read! ";
const char kNoTarget[] = "Destination file cannot be created! ";
const char kReadError[] = "Source file read error.";
const char kWriteError[] = "Destination file write error.";
const char kHelp[] =
    "usage: jpgcmd SOURCE.bmp TARGET.jpg [-q=N] [-i=N] [-s=N] [-m=N] [-d=N]\n"
    "Converts an uncompressed 8-bit (grey) or 24-bit BMP file into a baseline JPEG file.\n"
    "\n"
    "  -q=N  quality 1 ... 100 (default 50)\n"
    "  -i=N  restart interval in MCUs, 0 for none (default 0)\n"
    "  -s=N  sampling 411, 422 or 444 (default 411)\n"
    "  -m=N  0 or 1, both baseline (default 0)\n"
    "  -d=N  0 ... 3, no effect (default 0)\n"
    "  --help, --version\n";

// The last three letters name the kind of a file, in either case.
bool EndsIn(const char *name, const char *suffix) {
  const size_t n = strlen(name);
  if (n < 3) return false;
  for (int i = 0; i < 3; ++i)
    if (tolower(static_cast<unsigned char>(name[n - 3 + i])) != suffix[i]) return false;
  return true;
}

// A decimal number as "%d" reads it; false without digits or beyond int.
bool Number(const char *text, int32_t *value) {
  char *end = nullptr;
  errno = 0;
  const long v = strtol(text, &end, 10);
  if (end == text || errno == ERANGE || v < INT32_MIN || v > INT32_MAX) return false;
  *value = int32_t(v);
  return true;
}

// One option; a value that is out of range (or no number) falls back to the
// default with a message, it never stops the conversion.
void GetParamValue(char letter, const char *text, ConvertSettings *s) {
  int32_t v = 0;
  const bool number = Number(text, &v);
  switch (tolower(static_cast<unsigned char>(letter))) {
  case 'q':
    if (number && v >= 1 && v <= 100) {
      s->quality = v;
    } else {
      puts("-q error, using defualt value (50).");
      s->quality = 50;
    }
    break;
  case 'i':
    if (number && v >= 0) {
      s->restartInterval = v;
    } else {
      puts("-i error, using defualt value (0).");
      s->restartInterval = 0;
    }
    break;
  case 'm':
    if (number && (v == 0 || v == 1)) {
      s->mode = v == 0 ? 1 : 4;
    } else {
      puts("-m error, using defualt value (0).");
      s->mode = 1;
    }
    break;
  case 's':
    if (number && (v == 411 || v == 422 || v == 444)) {
      s->sampling = v == 411 ? IJ_SAMPLING_411 : v == 422 ? IJ_SAMPLING_422 : IJ_SAMPLING_444;
    } else {
      puts("-s error, using defualt value (411).");
      s->sampling = IJ_SAMPLING_411;
    }
    break;
  case 'd': {
    static const int32_t kFormats[] = {3, 5, 9, 17};
    if (number && v >= 0 && v <= 3) {
      s->format = kFormats[v];
    } else {
      puts("-d error, using defualt value (0).");
      s->format = 3;
    }
    break;
  }
  default:
    break;
  }
}

// args[0] and args[1] are the file names, the rest options.  Returns 1 when
// the pair is a conversion we know.
int ParseCmd(int count, char **args, ConvertSettings *s) {
  if (args[0][0] == '\0' || args[1][0] == '\0') return 0;
  s->direction = -1;
  const bool bmpSource = EndsIn(args[0], "bmp"), jpgSource = EndsIn(args[0], "jpg");
  const bool bmpTarget = EndsIn(args[1], "bmp"), jpgTarget = EndsIn(args[1], "jpg");
  if (bmpSource && jpgTarget) {
    s->direction = 1;
  } else if (jpgSource && bmpTarget) {
    s->direction = 2;
  } else {
    return 0;
  }
  for (int i = 2; i < count; ++i) {
    const char *a = args[i];
    if (a[0] != '-' || a[1] == '\0' || a[2] != '=') continue;
    GetParamValue(a[1], a + 3, s);
  }
  return 1;
}

// The temporary file while it exists, for the handler of the signals that
// end jpgcmd: it removes the file and ends the process by the same signal,
// so that the caller sees the signal.  The handler may only use what is
// async-signal-safe, so the name is read through a pointer set while these
// signals are held back; any thread may take the signal.
const int kEndingSignals[] = {SIGHUP, SIGINT, SIGTERM};
const char *volatile pendingTemp = nullptr;

void OnEndingSignal(int sig) {
  const int saved = errno;
  const char *temp = pendingTemp;
  if (temp) unlink(temp);
  signal(sig, SIG_DFL);
  raise(sig); // delivered when the handler returns and unblocks it
  errno = saved;
}

sigset_t EndingSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (const int sig : kEndingSignals) sigaddset(&set, sig);
  return set;
}

// A signal ignored when jpgcmd was started (nohup, a script's background
// job) stays ignored: it ends nothing, so there is nothing to clean up.
void CatchEndingSignals() {
  struct sigaction sa;
  memset(&sa, 0, sizeof sa);
  sa.sa_handler = OnEndingSignal;
  sa.sa_mask = EndingSignals();
  for (const int sig : kEndingSignals) {
    struct sigaction old;
    if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler != SIG_IGN)
      sigaction(sig, &sa, nullptr);
  }
}

// Holds the ending signals back while the temporary file and the name the
// handler sees change together; a signal that comes meanwhile is handled
// when the hold ends.  Only the main thread changes them, with no encoding
// thread running.
struct HoldSignals {
  sigset_t old;
  HoldSignals() {
    const sigset_t set = EndingSignals();
    sigprocmask(SIG_BLOCK, &set, &old);
  }
  ~HoldSignals() { sigprocmask(SIG_SETMASK, &old, nullptr); }
};

// Where the JPEG goes.  It is written to a new file in the target's folder
// and renamed over the target only when complete: a failed conversion
// leaves an existing target as it was, and a target that is the source under
// another name (a hard or symbolic link) is replaced, never emptied before
// the source has been read.  A device or pipe named as the target has no
// contents to keep and is written directly.
struct Output {
  FILE *file;
  char *temp; // the new file's name; null when writing the target itself
};

// False when the target cannot be written: a folder, a file we may not
// write, or a folder we cannot create a file in.
bool OpenOutput(const char *target, Output *o) {
  o->file = nullptr;
  o->temp = nullptr;
  struct stat st;
  const bool exists = stat(target, &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) return false;
  if (exists && !S_ISREG(st.st_mode)) {
    o->file = fopen(target, "wb");
    return o->file != nullptr;
  }
  if (exists && access(target, W_OK) != 0) return false;
  const char *slash = strrchr(target, '/');
  const size_t folder = slash ? size_t(slash - target) + 1 : 0;
  static const char kPattern[] = ".jpgcmd-XXXXXX";
  o->temp = static_cast<char *>(malloc(folder + sizeof kPattern));
  if (!o->temp) return false;
  memcpy(o->temp, target, folder);
  memcpy(o->temp + folder, kPattern, sizeof kPattern);
  int fd;
  {
    HoldSignals hold;
    fd = mkstemp(o->temp);
    if (fd >= 0) pendingTemp = o->temp;
  }
  if (fd < 0) {
    free(o->temp);
    o->temp = nullptr;
    return false;
  }
  // The permissions a file made by fopen would have, or the replaced one's.
  mode_t mode = st.st_mode & 07777;
  if (!exists) {
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  o->file = fchmod(fd, mode) == 0 ? fdopen(fd, "wb") : nullptr;
  if (!o->file) {
    close(fd);
    {
      HoldSignals hold;
      unlink(o->temp);
      pendingTemp = nullptr;
    }
    free(o->temp);
    o->temp = nullptr;
    return false;
  }
  return true;
}

// Closes the output; with keep, puts it in the target's place.  False when
// the file could not be completed or renamed.
bool CloseOutput(Output *o, const char *target, bool keep) {
  bool ok = fclose(o->file) == 0 && keep;
  o->file = nullptr;
  if (o->temp) {
    {
      HoldSignals hold;
      if (ok) ok = rename(o->temp, target) == 0;
      if (!ok) unlink(o->temp);
      pendingTemp = nullptr;
    }
    free(o->temp);
    o->temp = nullptr;
  }
  return ok;
}

// Closes what is open, dropping an unfinished output.
int Fail(const char *message, FILE *in, Output *out, const char *target, DibImage *dib) {
  puts(message);
  if (in) fclose(in);
  if (out && out->file) CloseOutput(out, target, false);
  DestoryDIB(dib);
  return 1;
}

} // namespace

int main(int argc, char **argv) {
  // Alone, these two are not a file name.
  if (argc == 2 && strcmp(argv[1], "--help") == 0) {
    fputs(kHelp, stdout);
    return 0;
  }
  if (argc == 2 && strcmp(argv[1], "--version") == 0) {
    puts("jpgcmd (Velumo) " VELUMO_VERSION);
    return 0;
  }
  if (argc < 3) {
    puts(kUsage);
    return 1;
  }
  ConvertSettings s = {50, 0, 1, IJ_SAMPLING_411, 5, 1};
  ParseCmd(argc - 1, argv + 1, &s);
  const char *source = argv[1], *target = argv[2];
  DibImage dib;
  memset(&dib, 0, sizeof dib);

  // Source and target are both checked before the pair is, so the messages
  // come in that order; nothing is written to the target's place unless a
  // whole JPEG is ready.
  CatchEndingSignals();
  FILE *in = fopen(source, "rb");
  if (!in) return Fail(kNoSource, nullptr, nullptr, target, &dib);
  Output out;
  if (!OpenOutput(target, &out)) return Fail(kNoTarget, in, nullptr, target, &dib);
  if (s.direction != 1) return Fail(kNoPair, in, &out, target, &dib);

  // The rows stay in the source file until the encoder reads them.
  uint32_t pixelOffset = 0;
  if (!ReadDIBHeader(&dib, in, &pixelOffset)) return Fail(kReadError, in, &out, target, &dib);
  const int32_t done = BMPFileToJPEG(s.quality, s.restartInterval, s.mode, s.sampling, &dib, in,
                                     pixelOffset, out.file);
  if (done < 0) return Fail(kReadError, in, &out, target, &dib);
  if (done == 0) return Fail(kWriteError, in, &out, target, &dib);
  fclose(in);
  DestoryDIB(&dib);
  if (!CloseOutput(&out, target, true)) return Fail(kWriteError, nullptr, nullptr, target, &dib);
  puts("");
  return 0;
}
