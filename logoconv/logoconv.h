// logoconv.h - what logoconv's units hand each other: the command line's
// options, the jobs planned from the paths, and what became of each.
// options.cpp reads the command line, plan.cpp turns the paths into jobs,
// workers.cpp runs them in worker processes, report.cpp says what happened.
#ifndef LOGOCONV_LOGOCONV_H
#define LOGOCONV_LOGOCONV_H

#include <stdint.h>

#include <string>
#include <vector>

namespace logoconv {

struct Options {
  int target = -1;
  bool recursive = false, force = false, fit = false, dryRun = false, verbose = false;
  // --receiver: the plug-in's own conversion, byte for byte; else the best
  // one (best.cpp), fitted unless --stretch, trimmed with --trim.
  bool receiver = false, stretch = false, trim = false;
  uint32_t background = 0; // 0xRRGGBB under what the targets cannot hold
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
  std::string root;              // the folder it was found in as named, or ""
  std::string first, second;     // target names (second only for bmpjpg)
  // Of sources that would write the same target, the first in the format
  // table converts; the others are tried in turn when it cannot be read.
  int sameAs = -1;            // that first job, for the others
  std::vector<int> fallbacks; // the others, in order, for the first
};

// Kept in shared memory while the workers run, hence plain fixed-size fields.
struct Result {
  int32_t outcome, code;
  // The job of the same target that a converted one stands in for (it could
  // not be read), or that settled the target of a skipped one; else -1.
  int32_t other;
  char why[120]; // what was wrong with the source, when it could not be read
};

// An argument that gives no job.
struct Failure {
  std::string shown, reason;
};

struct Ran {
  std::vector<Result> results; // one a job, in the jobs' order
  bool complete = true;        // false when interrupted
  double seconds = 0;
};

// options.cpp: fills opt and paths (TARGET taken off); -1 to go on, else
// the exit status (--help, --list-formats or a usage error).
int ParseOptions(int argc, char **argv, Options &opt, std::vector<std::string> &paths);

// plan.cpp
std::string Join(const std::string &dir, const std::string &name);
// Creates -o's folder (not on a dry run) and makes it absolute; false
// when it cannot be created, said on stderr.
bool PrepareOutput(Options &opt);
// The jobs of the paths, in the order given, folders in name order.
void Collect(const Options &opt, const std::vector<std::string> &paths, std::vector<Job> &jobs,
             std::vector<Failure> &early);
// Fills each job's targets and which job writes a shared target first.
void Plan(const Options &opt, std::vector<Job> &jobs);
// Creates -o's mirrored folders before any worker writes into them.
bool MakeOutputFolders(const Options &opt, const std::vector<Job> &jobs);

// best.cpp: the job converted the best way (not --receiver): a result code
// of the engine's, with why the source could not be read when it could not.
int32_t ConvertBest(const Options &opt, const Job &j, std::string &why);
// True when name is a file logoconv reads: the engine's formats, and SVG
// but for --receiver.
bool IsLogoName(const Options &opt, const char *name);

// workers.cpp: also takes over SIGINT, SIGTERM and SIGPIPE.
Ran Run(const Options &opt, const std::vector<Job> &jobs);

// report.cpp: text as a terminal may show it: control bytes as \xNN.
std::string Printable(const std::string &text);
// Prints what became of each job and the summary; the exit status.
int Report(const Options &opt, const std::vector<Job> &jobs, const std::vector<Failure> &early,
           const Ran &ran);

} // namespace logoconv

#endif
