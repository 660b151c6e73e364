// disk.cpp - the receiver's disk over a host folder: path confinement, the
// per-plug-in current directory, files, folders and the directory search.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <set>

#include "sim.h"

namespace sim {

namespace {

struct OpenFile {
  int fd;
};

std::set<const TYPE_File *> &OpenFiles() {
  static std::set<const TYPE_File *> files;
  return files;
}

bool Inside(const std::string &real) {
  const std::string &root = S().root;
  if (root.empty()) return true; // the disk is the host's root folder
  return real == root || (real.size() > root.size() && real.compare(0, root.size(), root) == 0 &&
                          real[root.size()] == '/');
}

void FillEntry(TYPE_File &e, const struct stat &st, const std::string &name) {
  memset(&e, 0, sizeof e);
  e.attr = S_ISDIR(st.st_mode) ? ATTR_FOLDER : ATTR_NORMAL;
  int64_t t = int64_t(st.st_mtime);
  int64_t days = t / 86400, rest = t % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  const int64_t mjd = days + kMjdOfUnixEpoch;
  e.mjd = word(mjd < 0 ? 0 : mjd > 0xFFFF ? 0xFFFF : mjd);
  e.hour = byte(rest / 3600);
  e.min = byte(rest / 60 % 60);
  e.sec = byte(rest % 60);
  const unsigned long long size = S_ISDIR(st.st_mode) ? 0 : (unsigned long long)st.st_size;
  e.size = size > (unsigned long long)(dword)-1 ? (dword)-1 : dword(size);
  strncpy(e.name, name.c_str(), sizeof e.name - 1);
}

// Host path of a firmware name in the current task's directory.
bool HostOfName(const char *name, std::string &host, std::string *disk = nullptr) {
  std::string d;
  if (!S().initialised || !ResolveDiskPath(CurrentTask().cwd, name, d)) return false;
  if (disk) *disk = d;
  return HostPathOf(d, host);
}

bool MatchesFilter(const std::string &name, const char *filter) {
  if (!filter || !*filter) return true;
  const char *p = filter;
  while (true) {
    const char *bar = strchr(p, '|');
    const size_t len = bar ? size_t(bar - p) : strlen(p);
    if (len > 0 && name.size() >= len && name.compare(name.size() - len, len, p, len) == 0)
      return true;
    if (!bar) return false;
    p = bar + 1;
  }
}

} // namespace

bool ResolveDiskPath(const std::string &cwd, const char *name, std::string &out) {
  if (!name) return false;
  std::vector<std::string> parts;
  auto push = [&parts](const std::string &text) {
    size_t i = 0;
    while (i <= text.size()) {
      size_t j = text.find('/', i);
      if (j == std::string::npos) j = text.size();
      std::string c = text.substr(i, j - i);
      i = j + 1;
      if (c.empty() || c == ".") continue;
      if (c == "..") {
        if (parts.empty()) return false; // above the disk's root
        parts.pop_back();
      } else {
        parts.push_back(c);
      }
    }
    return true;
  };
  if (name[0] != '/' && !push(cwd)) return false;
  if (!push(name)) return false;
  out.clear();
  for (const std::string &p : parts) out += "/" + p;
  if (out.empty()) out = "/";
  return true;
}

bool HostPathOf(const std::string &diskPath, std::string &out) {
  const std::string &root = S().root;
  std::string host = diskPath == "/" ? (root.empty() ? "/" : root) : root + diskPath;
  // The host's own root as the disk (logoconv) has no outside to guard.
  if (root.empty()) {
    out = host;
    return true;
  }
  // The longest part of the path that exists must really lie inside the disk;
  // a symbolic link may lead anywhere, and one that dangles is refused too.
  std::string probe = host;
  while (true) {
    struct stat st;
    if (lstat(probe.c_str(), &st) == 0) {
      char real[PATH_MAX];
      if (!realpath(probe.c_str(), real) || !Inside(real)) return false;
      break;
    }
    const size_t slash = probe.find_last_of('/');
    if (slash == std::string::npos || slash == 0 || probe.size() <= root.size()) return false;
    probe.erase(slash);
  }
  out = host;
  return true;
}

void DiskReset() {
  for (const TYPE_File *f : OpenFiles()) {
    OpenFile *of = static_cast<OpenFile *>(f->handle);
    close(of->fd);
    delete of;
    delete f;
  }
  OpenFiles().clear();
}

bool ValidFile(const TYPE_File *file) {
  return file && OpenFiles().count(file) != 0;
}

} // namespace sim

using namespace sim;

extern "C" int Sim_OpenFileCount(void) {
  return int(OpenFiles().size());
}

extern "C" int TAP_Hdd_ChangeDir(const char *dir) {
  std::string disk, host;
  if (!S().initialised || !ResolveDiskPath(CurrentTask().cwd, dir, disk) || !HostPathOf(disk, host))
    return 0;
  struct stat st;
  if (stat(host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return 0;
  CurrentTask().cwd = disk;
  UpdateTaskDir(CurrentSlot());
  return 1;
}

extern "C" int TAP_Hdd_Exist(const char *name) {
  std::string host;
  struct stat st;
  return HostOfName(name, host) && stat(host.c_str(), &st) == 0 ? 1 : 0;
}

// A file that exists already is emptied, as a new one would be; a folder that
// exists is left alone.  A symbolic link is never created through: on the
// desktop the disk may be a folder others can write.
extern "C" int TAP_Hdd_Create(const char *name, byte attr) {
  std::string host, disk;
  if (!HostOfName(name, host, &disk) || disk == "/") return 0;
  struct stat st;
  const bool exists = stat(host.c_str(), &st) == 0;
  if (attr == ATTR_FOLDER) {
    if (exists) return S_ISDIR(st.st_mode) ? 1 : 0;
    return mkdir(host.c_str(), 0755) == 0 ? 1 : 0;
  }
  if (attr != ATTR_NORMAL || (exists && S_ISDIR(st.st_mode))) return 0;
  int fd = open(host.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, 0644);
  if (fd < 0) return 0;
  close(fd);
  return 1;
}

// Folders are removed only when empty: a delete never takes more with it.
extern "C" int TAP_Hdd_Delete(const char *name) {
  std::string host, disk;
  if (!HostOfName(name, host, &disk) || disk == "/") return 0;
  struct stat st;
  if (lstat(host.c_str(), &st) != 0) return 0;
  if (S_ISDIR(st.st_mode)) return rmdir(host.c_str()) == 0 ? 1 : 0;
  return unlink(host.c_str()) == 0 ? 1 : 0;
}

extern "C" int TAP_Hdd_Rename(const char *oldName, const char *newName) {
  std::string from, to, fromDisk, toDisk;
  if (!HostOfName(oldName, from, &fromDisk) || !HostOfName(newName, to, &toDisk)) return 0;
  if (fromDisk == "/" || toDisk == "/") return 0;
  struct stat st;
  if (lstat(from.c_str(), &st) != 0) return 0;
  if (lstat(to.c_str(), &st) == 0) return 0; // never overwrites
  return rename(from.c_str(), to.c_str()) == 0 ? 1 : 0;
}

extern "C" TYPE_File *TAP_Hdd_Fopen(const char *name) {
  std::string host, disk;
  if (!HostOfName(name, host, &disk)) return nullptr;
  // A file is written only under its own name: through a symbolic link it
  // is opened for reading alone, so that a link planted in a folder others
  // can write never has a write land in the file it leads to.
  int fd = open(host.c_str(), O_RDWR | O_NOFOLLOW);
  if (fd < 0 && (errno == EACCES || errno == EROFS || errno == ELOOP))
    fd = open(host.c_str(), O_RDONLY);
  if (fd < 0) return nullptr;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return nullptr;
  }
  TYPE_File *f = new TYPE_File;
  FillEntry(*f, st, disk.substr(disk.find_last_of('/') + 1));
  f->handle = new OpenFile{fd};
  OpenFiles().insert(f);
  return f;
}

static int FdOf(const TYPE_File *file) {
  return ValidFile(file) ? static_cast<OpenFile *>(file->handle)->fd : -1;
}

extern "C" dword TAP_Hdd_Fread(void *buf, dword size, dword count, TYPE_File *file) {
  const int fd = FdOf(file);
  if (fd < 0 || !buf || size == 0 || count == 0) return 0;
  if (count > (dword)-1 / size) return 0;
  const size_t total = size_t(size) * count;
  size_t done = 0;
  while (done < total) {
    const ssize_t n = read(fd, static_cast<char *>(buf) + done, total - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += size_t(n);
  }
  return dword(done / size);
}

extern "C" dword TAP_Hdd_Fwrite(const void *buf, dword size, dword count, TYPE_File *file) {
  const int fd = FdOf(file);
  if (fd < 0 || !buf || size == 0 || count == 0) return 0;
  if (count > (dword)-1 / size) return 0;
  size_t total = size_t(size) * count;
  State &s = S();
  if (s.writeBudget >= 0 && (long long)total > s.writeBudget) total = size_t(s.writeBudget);
  size_t done = 0;
  while (done < total) {
    const ssize_t n = write(fd, static_cast<const char *>(buf) + done, total - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += size_t(n);
  }
  if (s.writeBudget >= 0) s.writeBudget -= (long long)done;
  return dword(done / size);
}

// Returns the new position, or (dword)-1 when the position is not valid.
extern "C" dword TAP_Hdd_Fseek(TYPE_File *file, long offset, dword whence) {
  const int fd = FdOf(file);
  if (fd < 0 || whence > SEEK_ENDING) return (dword)-1;
  static const int how[] = {SEEK_SET, SEEK_CUR, SEEK_END};
  const off_t pos = lseek(fd, off_t(offset), how[whence]);
  return pos < 0 ? (dword)-1 : dword(pos);
}

extern "C" dword TAP_Hdd_Ftell(TYPE_File *file) {
  const int fd = FdOf(file);
  if (fd < 0) return 0;
  const off_t pos = lseek(fd, 0, SEEK_CUR);
  return pos < 0 ? 0 : dword(pos);
}

extern "C" dword TAP_Hdd_Flen(TYPE_File *file) {
  const int fd = FdOf(file);
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0) return 0;
  return dword(st.st_size);
}

extern "C" void TAP_Hdd_Fclose(TYPE_File *file) {
  if (!ValidFile(file)) return;
  OpenFile *of = static_cast<OpenFile *>(file->handle);
  close(of->fd);
  delete of;
  OpenFiles().erase(file);
  delete file;
}

// Folders and the files the filter lets through, sorted by name so that a
// run lists them the same way every time.
extern "C" dword TAP_Hdd_FindFirst(TYPE_File *entry, const char *filter) {
  Task &t = CurrentTask();
  t.find = FindState();
  std::string host;
  if (!entry || !S().initialised || !HostPathOf(t.cwd, host)) return 0;
  DIR *d = opendir(host.c_str());
  if (!d) return 0;
  std::vector<std::string> names;
  while (dirent *e = readdir(d)) {
    if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) continue;
    names.push_back(e->d_name);
  }
  closedir(d);
  std::sort(names.begin(), names.end());
  for (const std::string &n : names) {
    std::string disk = (t.cwd == "/" ? "" : t.cwd) + "/" + n, child;
    struct stat st;
    if (!HostPathOf(disk, child) || stat(child.c_str(), &st) != 0) continue;
    if (!S_ISDIR(st.st_mode) && !(S_ISREG(st.st_mode) && MatchesFilter(n, filter))) continue;
    TYPE_File e;
    FillEntry(e, st, n);
    t.find.entries.push_back(e);
  }
  if (t.find.entries.empty()) return 0;
  *entry = t.find.entries[0];
  t.find.next = 1;
  return dword(t.find.entries.size());
}

extern "C" dword TAP_Hdd_FindNext(TYPE_File *entry) {
  FindState &f = CurrentTask().find;
  if (!entry || f.next >= f.entries.size()) return 0;
  *entry = f.entries[f.next++];
  return 1;
}
