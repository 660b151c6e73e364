// workers.cpp - the jobs run in parallel.  The engine keeps one logo image
// in globals, so the workers are processes, each with its own; they take
// jobs from a board in shared memory and leave what became of each there.
// The driver waits for them and shows the progress.
#include <math.h>
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

#include <string>
#include <vector>

#include "logo.h"
#include "logoconv.h"
#include "picture.h"
#include "tapsim.h"

namespace logoconv {
namespace {

// Shared between the driver and its workers.
struct Board {
  uint32_t next; // the next job to take
  uint32_t done; // jobs finished
  uint32_t stop; // set on an interrupt: take no more
  int32_t current[256];
};

Board *board = nullptr;
Result *results = nullptr; // in the same mapping, after the board
volatile sig_atomic_t interrupts = 0;
pid_t driver = 0;

void OnInterrupt(int) {
  ++interrupts;
  if (board) __atomic_store_n(&board->stop, 1u, __ATOMIC_SEQ_CST);
}

// The engine looks at a target through the receiver's device path of the
// disk ("/mnt/hd" + folder + name, with room for a temporary suffix) in a
// buffer of this size; a deeper target is failed here with its own reason.
constexpr size_t kEnginePath = 8 + 2 * TAP_MAX_FILENAME;

// Why the receiver's engine could not read a source: the reason the
// desktop's readers give, or, for a file they read, that only the receiver
// cannot.
std::string Unread(const Job &j) {
  Source source;
  std::string why;
  if (!ReadSource(Join(j.dir, j.name), j.name, source, why)) return why;
  return "the receiver cannot read this file (" + std::to_string(lround(source.w)) + "x" +
         std::to_string(lround(source.h)) + "); logoconv without --receiver can";
}

Result Convert(const Options &opt, const Job &j) {
  if (j.sameAs >= 0) return {kSkipSameTarget, 0, {}};
  const bool ownName = j.dir == j.outDir && (j.first == j.name || j.second == j.name);
  if (!ownName && 7 + j.outDir.size() + 1 + j.first.size() + 3 >= kEnginePath)
    return {kFailed, kConvertPathTooLong, {}};
  if (!ownName && !opt.force) {
    for (const std::string *t : {&j.first, &j.second}) {
      struct stat st;
      if (!t->empty() && lstat(Join(j.outDir, *t).c_str(), &st) == 0) return {kSkipExists, 0, {}};
    }
  }
  int32_t code;
  std::string why;
  if (opt.dryRun) {
    code = ConversionRefusal(uint32_t(opt.target), j.outDir.c_str(), j.name.c_str());
    if (code == kConvertOk) return {kWouldConvert, 0, {}};
  } else if (opt.receiver) {
    code =
        ConvertLogo(uint32_t(opt.target), j.dir.c_str(), j.name.c_str(), j.outDir.c_str(), opt.fit);
    if (code == kConvertLoadFailed) why = Unread(j);
  } else {
    code = ConvertBest(opt, j, why);
  }
  if (code == kConvertOk) return {kConverted, 0, {}};
  Result r{code == kConvertIntoSource ? kSkipOwnFormat : kFailed, code, {}};
  snprintf(r.why, sizeof r.why, "%s", why.c_str());
  return r;
}

[[noreturn]] void Work(int slot, const Options &opt, const std::vector<Job> &jobs) {
  // An interrupt lets the file in hand be finished: the driver says stop.
  signal(SIGINT, SIG_IGN);
  signal(SIGTERM, SIG_IGN);
  // A driver killed outright takes its workers with it.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != driver) _exit(3);
  if (!Sim_UseFolder("/")) _exit(3);
  while (!__atomic_load_n(&board->stop, __ATOMIC_SEQ_CST)) {
    const uint32_t i = __atomic_fetch_add(&board->next, 1u, __ATOMIC_SEQ_CST);
    if (i >= jobs.size()) break;
    __atomic_store_n(&board->current[slot], int32_t(i), __ATOMIC_SEQ_CST);
    const Result r = Convert(opt, jobs[i]);
    results[i].code = r.code;
    memcpy(results[i].why, r.why, sizeof r.why);
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

// -j, else one a core, and never more than there are jobs.
int Workers(const Options &opt, size_t jobs) {
  long cores = sysconf(_SC_NPROCESSORS_ONLN);
  int workers = opt.jobs ? opt.jobs : int(cores < 1 ? 1 : cores > 256 ? 256 : cores);
  if (size_t(workers) > jobs) workers = int(jobs);
  return workers;
}

// Runs the jobs on workers; false when interrupted.
bool RunWorkers(const Options &opt, const std::vector<Job> &jobs, int workers) {
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
    if (pid == 0) Work(w, opt, jobs);
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
        results[held].code = kConvertWorkerDied;
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

} // namespace

Ran Run(const Options &opt, const std::vector<Job> &jobs) {
  const int workers = Workers(opt, jobs.size());
  signal(SIGINT, OnInterrupt);
  signal(SIGTERM, OnInterrupt);
  signal(SIGPIPE, SIG_IGN);
  Ran ran;
  const double start = Seconds();
  ran.complete = jobs.empty() || RunWorkers(opt, jobs, workers);
  ran.seconds = Seconds() - start;
  // The mapping stays: an interrupt still to come writes to the board.
  if (results) ran.results.assign(results, results + jobs.size());
  return ran;
}

} // namespace logoconv
