// plan.cpp - from the paths on the command line to the list of jobs: the
// folders walked, each logo once, and which of two sources that would
// write the same target does.
#include <dirent.h>
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "logo.h"
#include "logo_formats.h"
#include "logoconv.h"

namespace logoconv {
namespace {

bool IsDir(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string RealPath(const std::string &path) {
  char real[PATH_MAX];
  return realpath(path.c_str(), real) ? std::string(real) : std::string();
}

bool MakeDirs(const std::string &path) {
  for (size_t i = 1; i <= path.size(); ++i)
    if (i == path.size() || path[i] == '/') {
      const std::string part = path.substr(0, i);
      if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
  return IsDir(path);
}

// What Collect gathers as it goes.
struct Sources {
  const Options &opt;
  std::vector<Job> &jobs;
  std::vector<Failure> &early;
  std::string outputReal; // never read as a source
  // A file named twice (itself and in its folder) is converted once.
  std::set<std::string> seen;
};

void AddJob(Sources &s, const std::string &dir, const std::string &name, const std::string &outDir,
            const std::string &shown, const std::string &root) {
  if (!s.seen.insert(Join(dir, name) + '\n' + outDir).second) return;
  Job j;
  j.dir = dir;
  j.name = name;
  j.outDir = outDir;
  j.shown = shown;
  j.root = root;
  s.jobs.push_back(j);
}

// The logos of one folder, then (with -r) of the folders below, each in
// name order.  Links to folders are not followed (they may loop), and the
// output folder is never read as a source.
void Walk(Sources &s, const std::string &dir, const std::string &outDir, const std::string &shown,
          const std::string &root) {
  DIR *d = opendir(dir.c_str());
  if (!d) {
    s.early.push_back({shown, std::string("cannot read the folder: ") + strerror(errno)});
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
      if (s.opt.recursive && path != s.outputReal) folders.push_back(n);
      continue;
    }
    if (IsLogoName(s.opt, n.c_str()) && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
      AddJob(s, dir, n, outDir, Join(shown, n), root);
  }
  for (const std::string &f : folders)
    Walk(s, Join(dir, f), s.opt.output.empty() ? Join(dir, f) : Join(outDir, f), Join(shown, f),
         root);
}

} // namespace

bool IsLogoName(const Options &opt, const char *name) {
  const size_t n = strlen(name);
  return LogoFormatOf(name) || (!opt.receiver && n > 4 && strcmp(name + n - 4, ".svg") == 0);
}

std::string Join(const std::string &dir, const std::string &name) {
  if (dir.empty()) return name;
  return dir.back() == '/' ? dir + name : dir + "/" + name;
}

bool PrepareOutput(Options &opt) {
  if (opt.output.empty()) return true;
  if (!opt.dryRun && !MakeDirs(opt.output)) {
    fprintf(stderr, "logoconv: cannot create %s: %s\n", Printable(opt.output).c_str(),
            strerror(errno));
    return false;
  }
  // The engine takes absolute folders only; a dry run's output folder may
  // not be there yet.
  const std::string real = RealPath(opt.output);
  char cwd[PATH_MAX];
  if (!real.empty())
    opt.output = real;
  else if (opt.output[0] != '/' && getcwd(cwd, sizeof cwd))
    opt.output = Join(cwd, opt.output);
  return true;
}

void Collect(const Options &opt, const std::vector<std::string> &paths, std::vector<Job> &jobs,
             std::vector<Failure> &early) {
  Sources s{opt, jobs, early, opt.output.empty() ? "" : RealPath(opt.output), {}};
  for (const std::string &p : paths) {
    struct stat st;
    if (stat(p.c_str(), &st) != 0) {
      early.push_back({p, strerror(errno)});
      continue;
    }
    if (S_ISDIR(st.st_mode)) {
      const std::string real = RealPath(p);
      const size_t jobsBefore = jobs.size(), earlyBefore = early.size();
      Walk(s, real, opt.output.empty() ? real : opt.output, p, p);
      // A folder with nothing to convert is most likely the wrong one.
      if (jobs.size() == jobsBefore && early.size() == earlyBefore)
        early.push_back({p, opt.recursive ? "no logo files in the folder or below it"
                                          : "no logo files in the folder (-r reads the folders "
                                            "below)"});
      continue;
    }
    const size_t slash = p.find_last_of('/');
    const std::string name = slash == std::string::npos ? p : p.substr(slash + 1);
    const std::string dir = RealPath(slash == std::string::npos ? "."
                                     : slash == 0               ? "/"
                                                                : p.substr(0, slash));
    if (!IsLogoName(opt, name.c_str()) || !S_ISREG(st.st_mode)) {
      early.push_back(
          {p, std::string("not a logo file (") + LogoFilter() + (opt.receiver ? ")" : "|.svg)")});
      continue;
    }
    AddJob(s, dir, name, opt.output.empty() ? dir : opt.output, p, "");
  }
}

// Two sources with the same name but for the extension give the same
// target: the one first in the format table writes it (SVG after them all),
// of two alike the first in the list; the others are its fallbacks, tried in
// that order when it cannot be read.  Whatever the number of workers.
void Plan(const Options &opt, std::vector<Job> &jobs) {
  std::map<std::string, int> claimed; // target path -> the job of its group
  std::vector<int> group(jobs.size());
  for (size_t i = 0; i < jobs.size(); ++i) {
    Job &j = jobs[i];
    group[i] = int(i);
    char first[128], second[128];
    if (!ConversionTargets(uint32_t(opt.target), j.name.c_str(), first, second)) continue;
    j.first = first;
    j.second = second;
    for (const std::string *t : {&j.first, &j.second}) {
      if (t->empty() || (j.dir == j.outDir && *t == j.name)) continue;
      const auto it = claimed.emplace(Join(j.outDir, *t), int(i));
      if (!it.second && group[i] == int(i)) group[i] = group[size_t(it.first->second)];
    }
  }
  auto rank = [&jobs](int i) {
    const LogoFormat *f = LogoFormatOf(jobs[size_t(i)].name.c_str());
    return f ? uint32_t(f - kLogoFormats) : kLogoFormatCount;
  };
  std::map<int, std::vector<int>> members;
  for (size_t i = 0; i < jobs.size(); ++i) members[group[i]].push_back(int(i));
  for (auto &m : members) {
    std::vector<int> &g = m.second;
    if (g.size() < 2) continue;
    std::stable_sort(g.begin(), g.end(), [&](int a, int b) { return rank(a) < rank(b); });
    Job &owner = jobs[size_t(g[0])];
    owner.fallbacks.assign(g.begin() + 1, g.end());
    for (size_t k = 1; k < g.size(); ++k) jobs[size_t(g[k])].sameAs = g[0];
  }
}

bool MakeOutputFolders(const Options &opt, const std::vector<Job> &jobs) {
  if (opt.output.empty() || opt.dryRun) return true;
  std::set<std::string> made;
  for (const Job &j : jobs)
    if (made.insert(j.outDir).second && !MakeDirs(j.outDir)) {
      fprintf(stderr, "logoconv: cannot create %s: %s\n", Printable(j.outDir).c_str(),
              strerror(errno));
      return false;
    }
  return true;
}

} // namespace logoconv
