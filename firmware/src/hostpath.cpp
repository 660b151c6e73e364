// hostpath.cpp - the one place where receiver device paths meet the host.
//
// The toolkit opens a few receiver paths with libc: plug-in files under
// "/mnt/hd/..." and the network terminal "/dev/pts/N"; the logo engine also
// renames its finished files there.  libtap.so comes before
// libc in every process that links it, so its open() sees those calls first:
// "/mnt/hd" becomes the disk folder (confined like every other disk path) and
// the terminal is a scratch file whose text is recorded when it is closed.
// Nothing here ever opens a real /dev/pts device; every other path passes
// through unchanged.
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>

#include "sim.h"

namespace {

// The stand-in has one network terminal.
constexpr int kTerminal = 0;

std::set<int> &TerminalFds() {
  static std::set<int> fds;
  return fds;
}

template <typename Fn> Fn Next(const char *name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

using OpenFn = int (*)(const char *, int, ...);
using CloseFn = int (*)(int);

int OpenTerminal() {
  const char *dir = getenv("TMPDIR");
  std::string tmpl = std::string(dir && *dir ? dir : "/tmp") + "/tapsim-pts-XXXXXX";
  std::vector<char> name(tmpl.begin(), tmpl.end());
  name.push_back('\0');
  const int fd = mkstemp(name.data());
  if (fd < 0) return -1;
  unlink(name.data());
  TerminalFds().insert(fd);
  return fd;
}

// A disk path whose last part is a symbolic link.  A link leading off the
// disk (or nowhere) is not mapped, but opened without following it the
// kernel would refuse it as a link, whatever it leads to.
bool FinalLink(const char *path) {
  std::string disk;
  const sim::State &s = sim::S();
  if (!s.initialised || strncmp(path, "/mnt/hd/", 8) != 0 ||
      !sim::ResolveDiskPath("/", path + 7, disk) || disk == "/")
    return false;
  struct stat st;
  return lstat((s.root + disk).c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

int Hooked(const char *path, int flags, mode_t mode, OpenFn realOpen) {
  char buf[4096];
  const char *mapped = Sim_HostPath(path, buf, sizeof buf);
  if (!mapped) {
    errno = (flags & O_NOFOLLOW) && FinalLink(path) ? ELOOP : ENOENT;
    return -1;
  }
  if (!*mapped) return OpenTerminal();
  if (!realOpen) {
    errno = ENOSYS;
    return -1;
  }
  return realOpen(mapped, flags, mode);
}

} // namespace

extern "C" const char *Sim_HostPath(const char *devicePath, char *buf, size_t bufSize) {
  if (!devicePath) return nullptr;
  const sim::State &s = sim::S();
  if (strncmp(devicePath, "/mnt/hd", 7) == 0 && (devicePath[7] == '\0' || devicePath[7] == '/')) {
    std::string disk, host;
    if (!s.initialised || !sim::ResolveDiskPath("/", devicePath + 7, disk) ||
        !sim::HostPathOf(disk, host) || host.size() + 1 > bufSize)
      return nullptr;
    memcpy(buf, host.c_str(), host.size() + 1);
    return buf;
  }
  if (strncmp(devicePath, "/dev/pts/", 9) == 0) {
    char *end = nullptr;
    const long n = strtol(devicePath + 9, &end, 10);
    if (!s.initialised || end == devicePath + 9 || *end || n != kTerminal) return nullptr;
    if (bufSize) buf[0] = '\0';
    return bufSize ? buf : nullptr;
  }
  return devicePath;
}

extern "C" int open(const char *path, int flags, ...) {
  mode_t mode = 0;
  if (flags & (O_CREAT | O_TMPFILE)) {
    va_list ap;
    va_start(ap, flags);
    mode = mode_t(va_arg(ap, int));
    va_end(ap);
  }
  static OpenFn real = Next<OpenFn>("open");
  return Hooked(path, flags, mode, real);
}

extern "C" int open64(const char *path, int flags, ...) {
  mode_t mode = 0;
  if (flags & (O_CREAT | O_TMPFILE)) {
    va_list ap;
    va_start(ap, flags);
    mode = mode_t(va_arg(ap, int));
    va_end(ap);
  }
  static OpenFn real = Next<OpenFn>("open64");
  return Hooked(path, flags, mode, real);
}

// A conversion puts its finished file in the target's place with libc's
// rename, which on the receiver works on the disk's device paths.
extern "C" int rename(const char *from, const char *to) {
  using RenameFn = int (*)(const char *, const char *);
  static RenameFn real = Next<RenameFn>("rename");
  char fromBuf[4096], toBuf[4096];
  const char *mappedFrom = Sim_HostPath(from, fromBuf, sizeof fromBuf);
  const char *mappedTo = Sim_HostPath(to, toBuf, sizeof toBuf);
  if (!mappedFrom || !mappedTo || !*mappedFrom || !*mappedTo) {
    errno = ENOENT;
    return -1;
  }
  if (!real) {
    errno = ENOSYS;
    return -1;
  }
  return real(mappedFrom, mappedTo);
}

// Closing a terminal descriptor hands its text to the network terminal.  The
// sender includes the terminating NUL of each text; it is not part of the text.
extern "C" int close(int fd) {
  static CloseFn realClose = Next<CloseFn>("close");
  auto &fds = TerminalFds();
  if (!fds.empty() && fds.erase(fd)) {
    std::string text;
    char chunk[4096];
    ssize_t n;
    off_t at = 0;
    while ((n = pread(fd, chunk, sizeof chunk, at)) > 0) {
      for (ssize_t i = 0; i < n; ++i)
        if (chunk[i]) text += chunk[i];
      at += n;
    }
    sim::TerminalWrite(text.data(), text.size());
  }
  return realClose ? realClose(fd) : -1;
}
