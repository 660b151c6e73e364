// logoconv - converts logo files and folders on a desktop with the plug-in's
// own logo engine: the same loaders, resampling and writers, on the
// firmware stand-in over the host's folders.  The engine keeps one logo
// image in globals, so the parallel workers are processes, each with its
// own; they take jobs from a list in shared memory.
//   logoconv [options] TARGET PATH...
#include <dirent.h>
#include <errno.h>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "Velumo.h"
#include "logo_formats.h"
#include "tapsim.h"

namespace {

const char kUsage[] =
    "usage: logoconv [options] TARGET PATH...\n"
    "Converts logo files, and the logos in folders, into TARGET: bll, bll32, png,\n"
    "bmp, bmpjpg, qtl, qsl or ibl (the plug-in's keys 1 to 8).\n"
    "\n"
    "  -r, --recursive   convert the logos in the folders below PATH as well\n"
    "  -o, --output DIR  write into DIR (a folder's tree is mirrored there)\n"
    "                    instead of next to each source\n"
    "  -f, --force       replace target files that exist (else they are skipped)\n"
    "  -j, --jobs N      N conversions at once (default: one a CPU core)\n"
    "      --fit         qtl, qsl, ibl: keep the proportions, centred on a\n"
    "                    transparent canvas of the target size (default: stretch)\n"
    "  -n, --dry-run     say what would be converted, write nothing\n"
    "  -v, --verbose     name every file converted or skipped\n"
    "      --list-formats  the formats read and the targets written\n"
    "  -h, --help        this text\n"
    "Exit status: 0 when nothing failed, 1 when a file failed, 2 on a usage\n"
    "error, 130 when interrupted.\n";

struct Options {
  int target = -1;
  bool recursive = false, force = false, fit = false, dryRun = false, verbose = false;
  int jobs = 0;
  std::string output; // absolute, "" = next to the source
};

// What became of a job; the engine's code says why.
enum Outcome : int32_t {
  kPending = 0,
  kConverted,
  kWouldConvert,
  kSkipExists,
  kSkipOwnFormat,
  kSkipSameTarget,
  kFailed,
};

struct Job {
  std::string dir, name, outDir; // absolute folders, as the engine takes them
  std::string shown;             // the source as the user named it
  std::string first, second;     // target names (second only for bmpjpg)
  int sameAs = -1;               // the job that writes these targets already
};

// Shared between the driver and its workers.
struct Board {
  uint32_t next; // the next job to take
  uint32_t done; // jobs finished
  uint32_t stop; // set on an interrupt: take no more
  int32_t current[256];
};
struct Result {
  int32_t outcome, code;
};

Options opt;
std::vector<Job> jobs;
Board *board = nullptr;
Result *results = nullptr;
volatile sig_atomic_t interrupts = 0;
pid_t driver = 0;

void OnInterrupt(int) {
  ++interrupts;
  if (board) __atomic_store_n(&board->stop, 1u, __ATOMIC_SEQ_CST);
}

// The engine's log lines have no reader here.
void Discard(const char *) {}

bool IsDir(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string RealPath(const std::string &path) {
  char real[PATH_MAX];
  return realpath(path.c_str(), real) ? std::string(real) : std::string();
}

std::string Join(const std::string &dir, const std::string &name) {
  if (dir.empty()) return name;
  return dir.back() == '/' ? dir + name : dir + "/" + name;
}

bool MakeDirs(const std::string &path) {
  for (size_t i = 1; i <= path.size(); ++i)
    if (i == path.size() || path[i] == '/') {
      const std::string part = path.substr(0, i);
      if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
  return IsDir(path);
}

struct Failure {
  std::string shown, reason;
};
std::vector<Failure> early; // arguments that give no job

// A file named twice (itself and in its folder) is converted once.
std::set<std::string> sources;

void AddJob(const std::string &dir, const std::string &name, const std::string &outDir,
            const std::string &shown) {
  if (!sources.insert(Join(dir, name) + '\n' + outDir).second) return;
  Job j;
  j.dir = dir;
  j.name = name;
  j.outDir = outDir;
  j.shown = shown;
  jobs.push_back(j);
}

// The logos of one folder, then (with -r) of the folders below, each in
// name order.  Links to folders are not followed (they may loop), and the
// output folder is never read as a source.
void Walk(const std::string &dir, const std::string &outDir, const std::string &shown,
          const std::string &outputReal) {
  DIR *d = opendir(dir.c_str());
  if (!d) {
    early.push_back({shown, std::string("cannot read the folder: ") + strerror(errno)});
    return;
  }
  std::vector<std::string> names;
  while (const dirent *e = readdir(d))
    if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) names.push_back(e->d_name);
  closedir(d);
  std::sort(names.begin(), names.end());
  std::vector<std::string> folders;
  for (const std::string &n : names) {
    const std::string path = Join(dir, n);
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      if (opt.recursive && path != outputReal) folders.push_back(n);
      continue;
    }
    if (LogoFormatOf(n.c_str()) && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
      AddJob(dir, n, outDir, Join(shown, n));
  }
  for (const std::string &f : folders)
    Walk(Join(dir, f), opt.output.empty() ? Join(dir, f) : Join(outDir, f), Join(shown, f),
         outputReal);
}

void Collect(const std::vector<std::string> &paths) {
  const std::string outputReal = opt.output.empty() ? "" : RealPath(opt.output);
  for (const std::string &p : paths) {
    struct stat st;
    if (stat(p.c_str(), &st) != 0) {
      early.push_back({p, strerror(errno)});
      continue;
    }
    if (S_ISDIR(st.st_mode)) {
      const std::string real = RealPath(p);
      Walk(real, opt.output.empty() ? real : opt.output, p, outputReal);
      continue;
    }
    const size_t slash = p.find_last_of('/');
    const std::string name = slash == std::string::npos ? p : p.substr(slash + 1);
    const std::string dir = RealPath(slash == std::string::npos ? "."
                                     : slash == 0               ? "/"
                                                                : p.substr(0, slash));
    if (!LogoFormatOf(name.c_str()) || !S_ISREG(st.st_mode)) {
      early.push_back({p, std::string("not a logo file (") + LogoFilter() + ")"});
      continue;
    }
    AddJob(dir, name, opt.output.empty() ? dir : opt.output, p);
  }
}

// Two sources with the same name but for the extension give the same
// target: the first in the list writes it, whatever the number of workers.
void Plan() {
  std::map<std::string, int> owner;
  for (size_t i = 0; i < jobs.size(); ++i) {
    Job &j = jobs[i];
    char first[128], second[128];
    if (!ConversionTargets(uint32_t(opt.target), j.name.c_str(), first, second)) continue;
    j.first = first;
    j.second = second;
    for (const std::string *t : {&j.first, &j.second}) {
      if (t->empty() || (j.dir == j.outDir && *t == j.name)) continue;
      const auto it = owner.emplace(Join(j.outDir, *t), int(i));
      if (!it.second && j.sameAs < 0) j.sameAs = it.first->second;
    }
  }
}

// The engine looks at a target through the receiver's device path of the
// disk ("/mnt/hd" + folder + name, with room for a temporary suffix) in a
// buffer of this size; a deeper target is failed here with its own reason.
constexpr size_t kEnginePath = 8 + 2 * TAP_MAX_FILENAME;
constexpr int32_t kPathTooLong = -2;

Result Convert(const Job &j) {
  if (j.sameAs >= 0) return {kSkipSameTarget, 0};
  const bool ownName = j.dir == j.outDir && (j.first == j.name || j.second == j.name);
  if (!ownName && 7 + j.outDir.size() + 1 + j.first.size() + 3 >= kEnginePath)
    return {kFailed, kPathTooLong};
  if (!ownName && !opt.force) {
    for (const std::string *t : {&j.first, &j.second}) {
      struct stat st;
      if (!t->empty() && lstat(Join(j.outDir, *t).c_str(), &st) == 0) return {kSkipExists, 0};
    }
  }
  int32_t code;
  if (opt.dryRun) {
    code = ConversionRefusal(uint32_t(opt.target), j.outDir.c_str(), j.name.c_str());
    if (code == kConvertOk) return {kWouldConvert, 0};
  } else {
    code =
        ConvertLogo(uint32_t(opt.target), j.dir.c_str(), j.name.c_str(), j.outDir.c_str(), opt.fit);
    if (code == kConvertOk) return {kConverted, 0};
  }
  return {code == kConvertIntoSource ? kSkipOwnFormat : kFailed, code};
}

[[noreturn]] void Work(int slot) {
  // An interrupt lets the file in hand be finished: the driver says stop.
  signal(SIGINT, SIG_IGN);
  signal(SIGTERM, SIG_IGN);
  // A driver killed outright takes its workers with it.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != driver) _exit(3);
  if (!Sim_UseFolder("/")) _exit(3);
  logSink = Discard;
  while (!__atomic_load_n(&board->stop, __ATOMIC_SEQ_CST)) {
    const uint32_t i = __atomic_fetch_add(&board->next, 1u, __ATOMIC_SEQ_CST);
    if (i >= jobs.size()) break;
    __atomic_store_n(&board->current[slot], int32_t(i), __ATOMIC_SEQ_CST);
    const Result r = Convert(jobs[i]);
    results[i].code = r.code;
    __atomic_store_n(&results[i].outcome, r.outcome, __ATOMIC_SEQ_CST);
    __atomic_store_n(&board->current[slot], -1, __ATOMIC_SEQ_CST);
    __atomic_fetch_add(&board->done, 1u, __ATOMIC_SEQ_CST);
  }
  _exit(0);
}

double Seconds() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return double(t.tv_sec) + t.tv_nsec / 1e9;
}

void Progress(bool terminal, uint32_t done, uint32_t total, double elapsed, bool last) {
  const double rate = elapsed > 0 ? done / elapsed : 0;
  const double left = rate > 0 ? (total - done) / rate : 0;
  char eta[32];
  snprintf(eta, sizeof eta, "%d:%02d", int(left) / 60, int(left) % 60);
  if (terminal) {
    const int width = 30, filled = total ? int(uint64_t(done) * width / total) : width;
    fprintf(stderr, "\r[%.*s%*s] %u/%u  %.0f logos/s  ETA %s ", filled,
            "##############################", width - filled, "", done, total, rate, eta);
    if (last) fputc('\n', stderr);
  } else {
    fprintf(stderr, "logoconv: %u/%u, %.0f logos/s, ETA %s\n", done, total, rate, eta);
  }
  fflush(stderr);
}

// Runs the jobs on workers; false when interrupted.
bool Run(int workers) {
  void *shared = mmap(nullptr, sizeof(Board) + sizeof(Result) * (jobs.size() + 1),
                      PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (shared == MAP_FAILED) {
    perror("logoconv: shared memory");
    exit(1);
  }
  board = static_cast<Board *>(shared);
  results = reinterpret_cast<Result *>(board + 1);
  for (int32_t &c : board->current) c = -1;
  fflush(nullptr);
  driver = getpid();
  std::vector<pid_t> pids;
  for (int w = 0; w < workers; ++w) {
    const pid_t pid = fork();
    if (pid == 0) Work(w);
    if (pid < 0) {
      perror("logoconv: fork");
      break;
    }
    pids.push_back(pid);
  }
  const bool terminal = isatty(2) && !opt.dryRun;
  const double start = Seconds();
  double shown = start;
  size_t running = pids.size();
  bool killed = false;
  while (running > 0) {
    int status;
    for (size_t w = 0; w < pids.size(); ++w) {
      if (pids[w] <= 0 || waitpid(pids[w], &status, WNOHANG) != pids[w]) continue;
      pids[w] = 0;
      --running;
      // A worker that died leaves the job it held unfinished.
      const int32_t held = board->current[w];
      if (held >= 0 && results[held].outcome == kPending && !killed) {
        results[held].outcome = kFailed;
        results[held].code = -1;
        __atomic_fetch_add(&board->done, 1u, __ATOMIC_SEQ_CST);
      }
    }
    if (interrupts > 1 && !killed) {
      // A second interrupt does not wait for the files in hand; what they
      // leave is their temporary files, never a partial target.
      for (pid_t p : pids)
        if (p > 0) kill(p, SIGKILL);
      killed = true;
    }
    const double now = Seconds();
    if (now - shown >= (terminal ? 0.1 : 1.0)) {
      Progress(terminal, board->done, uint32_t(jobs.size()), now - start, false);
      shown = now;
    }
    if (running > 0) usleep(2000);
  }
  if (terminal) Progress(terminal, board->done, uint32_t(jobs.size()), Seconds() - start, true);
  return !board->stop;
}

const char *Reason(const Result &r) {
  switch (r.code) {
  case -1:
    return "the worker converting it ended abnormally";
  case kPathTooLong:
    return "the target's folder path is too long (at most about 500 characters)";
  case kConvertNameTooLong:
    return "the target's name would be longer than 127 characters";
  case kConvertNotAFile:
    return "a folder, link or other non-plain file holds the target's name";
  case kConvertEmpty:
    return "no rows or columns left at the logo's size";
  case kConvertNoMemory:
    return "out of memory";
  case kConvertWriteFailed:
    return "the target could not be written";
  default:
    return "conversion failed";
  }
}

std::string LoadFailure(const Job &j) {
  const std::string path = Join(j.dir, j.name);
  FILE *f = fopen(path.c_str(), "rb");
  if (!f) return std::string("cannot open: ") + strerror(errno);
  fclose(f);
  const LogoFormat *format = LogoFormatOf(j.name.c_str());
  return std::string("not a readable ") + (format ? format->ext + 1 : "") +
         " logo (damaged, unsupported or too large)";
}

std::string Targets(const Job &j) {
  std::string t = Join(j.outDir, j.first);
  if (!j.second.empty()) t += " + " + j.second;
  return t;
}

int ListFormats() {
  printf("Formats read (by extension):\n");
  for (const LogoFormat &f : kLogoFormats)
    printf("  %-7s %-16s %2d bit\n", f.ext, f.description, f.bits);
  printf("\nTargets (TARGET, plug-in key, extension, size):\n");
  for (uint32_t i = 0; i < kLogoTargetCount; ++i) {
    const LogoTarget &t = kLogoTargets[i];
    char ext[32];
    snprintf(ext, sizeof ext, "%s%s%s%s", t.ext, t.widen ? "/" : "", t.widen ? t.ext : "",
             t.widen ? "32" : "");
    char size[32];
    if (t.w)
      snprintf(size, sizeof size, "%ux%u", unsigned(t.w), unsigned(t.h));
    else
      snprintf(size, sizeof size, "as loaded");
    printf("  %-7s %u  %-12s%s%-4s %-10s %s\n", t.name, unsigned(t.key - RKEY_0), ext,
           t.second ? "+" : "", t.second ? t.second : "", size, t.english);
  }
  printf("\nLogos larger than 60x40 are reduced to fit 60x40 when they are read.\n"
         "qtl, qsl and ibl write the 32-bit form (.qtl32, ...) for sources of more\n"
         "than 16 bits a pixel.\n");
  return 0;
}

int Usage(const char *message) {
  if (message) fprintf(stderr, "logoconv: %s\n", message);
  fputs(kUsage, stderr);
  return 2;
}

} // namespace

int main(int argc, char **argv) {
  std::vector<std::string> rest;
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (!options || a.empty() || a[0] != '-' || a == "-") {
      rest.push_back(a);
      continue;
    }
    auto value = [&](const char *what) -> const char * {
      if (i + 1 >= argc) {
        Usage((std::string(what) + " needs a value").c_str());
        exit(2);
      }
      return argv[++i];
    };
    if (a == "--") {
      options = false;
    } else if (a == "-h" || a == "--help") {
      fputs(kUsage, stdout);
      return 0;
    } else if (a == "--list-formats") {
      return ListFormats();
    } else if (a == "-r" || a == "--recursive") {
      opt.recursive = true;
    } else if (a == "-f" || a == "--force") {
      opt.force = true;
    } else if (a == "--fit") {
      opt.fit = true;
    } else if (a == "-n" || a == "--dry-run") {
      opt.dryRun = true;
    } else if (a == "-v" || a == "--verbose") {
      opt.verbose = true;
    } else if (a == "-o" || a == "--output") {
      opt.output = value("-o");
      if (opt.output.empty()) return Usage("-o needs a folder");
    } else if (a == "-j" || a == "--jobs" || a.compare(0, 2, "-j") == 0) {
      const char *n = a.size() > 2 && a[1] == 'j' ? a.c_str() + 2 : value("-j");
      char *end = nullptr;
      const long v = strtol(n, &end, 10);
      if (!*n || *end || v < 1 || v > 256) return Usage("-j takes a number from 1 to 256");
      opt.jobs = int(v);
    } else {
      return Usage(("unknown option " + a).c_str());
    }
  }
  if (rest.size() < 2) return Usage(nullptr);
  opt.target = LogoTargetNamed(rest[0].c_str());
  if (opt.target < 0) return Usage(("unknown target " + rest[0]).c_str());
  rest.erase(rest.begin());

  if (!opt.output.empty()) {
    if (!opt.dryRun && !MakeDirs(opt.output)) {
      fprintf(stderr, "logoconv: cannot create %s: %s\n", opt.output.c_str(), strerror(errno));
      return 1;
    }
    // The engine takes absolute folders only; a dry run's output folder may
    // not be there yet.
    const std::string real = RealPath(opt.output);
    char cwd[PATH_MAX];
    if (!real.empty())
      opt.output = real;
    else if (opt.output[0] != '/' && getcwd(cwd, sizeof cwd))
      opt.output = Join(cwd, opt.output);
  }
  Collect(rest);
  Plan();
  std::set<std::string> made;
  if (!opt.output.empty() && !opt.dryRun)
    for (const Job &j : jobs)
      if (made.insert(j.outDir).second && !MakeDirs(j.outDir)) {
        fprintf(stderr, "logoconv: cannot create %s: %s\n", j.outDir.c_str(), strerror(errno));
        return 1;
      }

  long cores = sysconf(_SC_NPROCESSORS_ONLN);
  int workers = opt.jobs ? opt.jobs : int(cores < 1 ? 1 : cores > 256 ? 256 : cores);
  if (size_t(workers) > jobs.size()) workers = int(jobs.size());
  signal(SIGINT, OnInterrupt);
  signal(SIGTERM, OnInterrupt);
  signal(SIGPIPE, SIG_IGN);
  const double start = Seconds();
  const bool complete = jobs.empty() || Run(workers);
  const double elapsed = Seconds() - start;

  size_t converted = 0, would = 0, exists = 0, own = 0, same = 0, failed = early.size(), left = 0;
  for (const Failure &f : early)
    fprintf(stderr, "logoconv: %s: %s\n", f.shown.c_str(), f.reason.c_str());
  for (size_t i = 0; i < jobs.size(); ++i) {
    const Job &j = jobs[i];
    const Result &r = results[i];
    switch (r.outcome) {
    case kConverted:
      ++converted;
      if (opt.verbose) printf("%s -> %s\n", j.shown.c_str(), Targets(j).c_str());
      break;
    case kWouldConvert:
      ++would;
      printf("%s -> %s\n", j.shown.c_str(), Targets(j).c_str());
      break;
    case kSkipExists:
      ++exists;
      if (opt.verbose) printf("%s: skipped, %s exists\n", j.shown.c_str(), Targets(j).c_str());
      break;
    case kSkipOwnFormat:
      ++own;
      if (opt.verbose)
        printf("%s: skipped, the target would be the file itself\n", j.shown.c_str());
      break;
    case kSkipSameTarget:
      ++same;
      fprintf(stderr, "logoconv: %s: skipped, %s writes the same target\n", j.shown.c_str(),
              jobs[size_t(j.sameAs)].shown.c_str());
      break;
    case kFailed:
      ++failed;
      fprintf(stderr, "logoconv: %s: %s\n", j.shown.c_str(),
              r.code == kConvertLoadFailed ? LoadFailure(j).c_str() : Reason(r));
      break;
    default:
      ++left;
      break;
    }
  }
  const size_t skipped = exists + own + same;
  if (opt.dryRun)
    printf("logoconv: would convert %zu, skip %zu, fail %zu", would, skipped, failed);
  else
    printf("logoconv: converted %zu, skipped %zu, failed %zu", converted, skipped, failed);
  if (skipped) {
    printf(" (skipped:");
    const char *sep = " ";
    if (exists) printf("%s%zu target exists, --force replaces", sep, exists), sep = "; ";
    if (own) printf("%s%zu already in the target format", sep, own), sep = "; ";
    if (same) printf("%s%zu same target as another source", sep, same);
    printf(")");
  }
  if (!opt.dryRun && converted && elapsed > 0)
    printf(", %.2f s, %.0f logos/s", elapsed, converted / elapsed);
  printf("\n");
  if (!complete) {
    printf("logoconv: interrupted, %zu not converted\n", left);
    return 130;
  }
  return failed ? 1 : 0;
}
