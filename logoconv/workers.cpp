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

#include <algorithm>
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
volatile sig_atomic_t interrupts = 0, inProcess = 0;
pid_t driver = 0;

void OnInterrupt(int) {
  ++interrupts;
  if (board) __atomic_store_n(&board->stop, 1u, __ATOMIC_SEQ_CST);
  // Without workers the second interrupt ends the driver at once, as it
  // would end them: what is left are temporary files.
  if (interrupts > 1 && inProcess) _exit(130);
}

// The engine looks at a target through the receiver's device path of the
// disk ("/mnt/hd" + folder + name, with room for the temporary suffix) in a
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
  const bool ownName = j.dir == j.outDir && (j.first == j.name || j.second == j.name);
  if (!ownName &&
      7 + j.outDir.size() + 1 + std::max(j.first.size(), j.second.size()) + kTemporaryRoom >=
          kEnginePath)
    return {kFailed, kConvertPathTooLong, -1, {}};
  if (!ownName && !opt.force) {
    for (const std::string *t : {&j.first, &j.second}) {
      struct stat st;
      if (!t->empty() && lstat(Join(j.outDir, *t).c_str(), &st) == 0)
        return {kSkipExists, 0, -1, {}};
    }
  }
  int32_t code;
  std::string why;
  if (opt.dryRun) {
    code = ConversionRefusal(uint32_t(opt.target), j.outDir.c_str(), j.name.c_str(), j.dir.c_str());
    if (code == kConvertOk) return {kWouldConvert, 0, -1, {}};
  } else if (opt.receiver) {
    code =
        ConvertLogo(uint32_t(opt.target), j.dir.c_str(), j.name.c_str(), j.outDir.c_str(), opt.fit);
    if (code == kConvertLoadFailed) why = Unread(j);
  } else {
    code = ConvertBest(opt, j, why);
  }
  if (code == kConvertOk) return {kConverted, 0, -1, {}};
  Result r{code == kConvertIntoSource ? kSkipOwnFormat : kFailed, code, -1, {}};
  snprintf(r.why, sizeof r.why, "%s", why.c_str());
  return r;
}

void Record(uint32_t i, const Result &r) {
  results[i].code = r.code;
  results[i].other = r.other;
  memcpy(results[i].why, r.why, sizeof r.why);
  __atomic_store_n(&results[i].outcome, r.outcome, __ATOMIC_SEQ_CST);
  __atomic_fetch_add(&board->done, 1u, __ATOMIC_SEQ_CST);
}

// A failure of the source's own (it could not be read) lets the next source
// of the same target have its turn; any other outcome is the target's.
bool SourceFailed(const Result &r) {
  return r.outcome == kFailed && (r.code == kConvertLoadFailed || r.code == kConvertEmpty);
}

// Job i and the sources that would write its targets, in their order, each
// recorded: the first that converts (or is skipped) settles the others.
void ConvertGroup(const Options &opt, const std::vector<Job> &jobs, uint32_t i) {
  Result r = Convert(opt, jobs[i]);
  Record(i, r);
  int32_t failed = SourceFailed(r) ? int32_t(i) : -1, settled = failed < 0 ? int32_t(i) : -1;
  for (const int k : jobs[i].fallbacks) {
    if (settled < 0) {
      r = Convert(opt, jobs[size_t(k)]);
      if (r.outcome == kConverted || r.outcome == kWouldConvert) r.other = failed;
      if (SourceFailed(r))
        failed = k;
      else
        settled = k;
    } else {
      r = Result{kSkipSameTarget, 0, settled, {}};
    }
    Record(uint32_t(k), r);
  }
}

// Takes jobs from the board until none is left or the driver says stop.  A
// job that shares its targets with an earlier one in the format table is
// that one's worker's.
void TakeJobs(int slot, const Options &opt, const std::vector<Job> &jobs, void (*after)()) {
  while (!__atomic_load_n(&board->stop, __ATOMIC_SEQ_CST)) {
    const uint32_t i = __atomic_fetch_add(&board->next, 1u, __ATOMIC_SEQ_CST);
    if (i >= jobs.size()) break;
    if (jobs[i].sameAs >= 0) continue;
    __atomic_store_n(&board->current[slot], int32_t(i), __ATOMIC_SEQ_CST);
    ConvertGroup(opt, jobs, i);
    __atomic_store_n(&board->current[slot], -1, __ATOMIC_SEQ_CST);
    if (after) after();
  }
}

[[noreturn]] void Work(int slot, const Options &opt, const std::vector<Job> &jobs) {
  // An interrupt lets the file in hand be finished: the driver says stop.
  signal(SIGINT, SIG_IGN);
  signal(SIGTERM, SIG_IGN);
  // A driver killed outright takes its workers with it.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != driver) _exit(3);
  if (!Sim_UseFolder("/")) _exit(3);
  TakeJobs(slot, opt, jobs, nullptr);
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

// What the progress line is shown from.
struct Shown {
  bool terminal;
  uint32_t total;
  double start, last;
} shown;

void ShowProgress() {
  const double now = Seconds();
  if (now - shown.last < (shown.terminal ? 0.1 : 1.0)) return;
  Progress(shown.terminal, board->done, shown.total, now - shown.start, false);
  shown.last = now;
}

pid_t StartWorker(int slot, const Options &opt, const std::vector<Job> &jobs) {
  fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) Work(slot, opt, jobs);
  return pid;
}

// How a worker ended, when it was not by finishing its work.
std::string Abnormal(int status) {
  if (WIFSIGNALED(status))
    return std::string("killed by signal ") + std::to_string(WTERMSIG(status));
  if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
    return "exit status " + std::to_string(WEXITSTATUS(status));
  return "";
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
  for (size_t i = 0; i < jobs.size(); ++i) results[i].other = -1;
  driver = getpid();
  shown = {isatty(2) && !opt.dryRun, uint32_t(jobs.size()), Seconds(), Seconds()};
  std::vector<pid_t> pids;
  std::vector<uint32_t> doneAtStart;
  for (int w = 0; w < workers; ++w) {
    const pid_t pid = StartWorker(w, opt, jobs);
    if (pid < 0) {
      perror("logoconv: fork");
      break;
    }
    pids.push_back(pid);
    doneAtStart.push_back(0);
  }
  if (pids.empty()) {
    // Where no process can be started (a limit on them, as in containers),
    // the driver converts the files itself.
    fprintf(stderr, "logoconv: no worker could be started; converting in this process\n");
    inProcess = 1;
    if (!Sim_UseFolder("/")) {
      fprintf(stderr, "logoconv: the firmware stand-in cannot be started\n");
      return true; // every job is left pending: reported as not converted
    }
    TakeJobs(0, opt, jobs, ShowProgress);
  }
  size_t running = pids.size();
  // Workers started again after one ended abnormally; each had taken a job
  // or finished one, so the run always moves on.
  size_t restarts = 0;
  bool killed = false;
  while (running > 0) {
    int status;
    for (size_t w = 0; w < pids.size(); ++w) {
      if (pids[w] <= 0 || waitpid(pids[w], &status, WNOHANG) != pids[w]) continue;
      pids[w] = 0;
      --running;
      // A worker that died leaves the job it held unfinished, and what it
      // never got to is still on the board.
      const int32_t held = board->current[w];
      board->current[w] = -1;
      if (held >= 0 && results[held].outcome == kPending && !killed) {
        results[held].outcome = kFailed;
        results[held].code = kConvertWorkerDied;
        __atomic_fetch_add(&board->done, 1u, __ATOMIC_SEQ_CST);
      }
      const std::string how = Abnormal(status);
      if (how.empty() || killed) continue;
      fprintf(stderr, "%slogoconv: a worker ended abnormally (%s)\n", shown.terminal ? "\n" : "",
              how.c_str());
      const bool moved = held >= 0 || board->done > doneAtStart[w];
      if (!moved || board->stop || board->next >= jobs.size() || restarts >= jobs.size()) continue;
      doneAtStart[w] = board->done;
      const pid_t pid = StartWorker(int(w), opt, jobs);
      if (pid > 0) {
        pids[w] = pid;
        ++running;
        ++restarts;
      }
    }
    if (interrupts > 1 && !killed) {
      // A second interrupt does not wait for the files in hand; what they
      // leave is their temporary files, never a partial target.
      for (pid_t p : pids)
        if (p > 0) kill(p, SIGKILL);
      killed = true;
    }
    ShowProgress();
    if (running > 0) usleep(2000);
  }
  if (shown.terminal)
    Progress(shown.terminal, board->done, shown.total, Seconds() - shown.start, true);
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
