// logoconv - converts logo files and folders on a desktop with the plug-in's
// own logo engine: the same loaders, resampling and writers, on the
// firmware stand-in over the host's folders.
//   logoconv [options] TARGET PATH...
// The command line (options.cpp) gives the paths, which become jobs
// (plan.cpp), run by worker processes (workers.cpp) and reported on
// (report.cpp).
#include <string>
#include <vector>

#include "logoconv.h"

int main(int argc, char **argv) {
  using namespace logoconv;
  Options opt;
  std::vector<std::string> paths;
  const int status = ParseOptions(argc, argv, opt, paths);
  if (status >= 0) return status;
  if (!PrepareOutput(opt)) return 1;

  std::vector<Job> jobs;
  std::vector<Failure> early;
  Collect(opt, paths, jobs, early);
  Plan(opt, jobs);
  if (!MakeOutputFolders(opt, jobs)) return 1;

  const Ran ran = Run(opt, jobs);
  return Report(opt, jobs, early, ran);
}
