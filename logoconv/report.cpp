// report.cpp - what became of the jobs: a line for each file that failed
// or was skipped for a reason worth saying (with -v every file), the
// summary, and the exit status.
#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "logo.h"
#include "logo_formats.h"
#include "logoconv.h"

namespace logoconv {
namespace {

// The engine's table of results says why a file was not converted.
const char *Reason(const Result &r) {
  const char *reason = LogoResultOf(r.code).reason;
  return reason ? reason : "conversion failed";
}

// The engine only says the load failed: whether the file could be opened
// at all is told apart here, and the workers say what was wrong with it.
std::string LoadFailure(const Job &j, const Result &r) {
  const std::string path = Join(j.dir, j.name);
  FILE *f = fopen(path.c_str(), "rb");
  if (!f) return std::string("cannot open: ") + strerror(errno);
  fclose(f);
  if (r.why[0]) return std::string(r.why, strnlen(r.why, sizeof r.why));
  return "cannot be read";
}

std::string Targets(const Job &j) {
  std::string t = Join(j.outDir, j.first);
  if (!j.second.empty()) t += " + " + j.second;
  return Printable(t);
}

} // namespace

std::string Printable(const std::string &text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    // C0 controls, DEL and the C1 controls as UTF-8 (U+0080 to U+009F) move
    // or retitle a terminal; a name shows them as escapes.
    const bool c1 = c == 0xC2 && i + 1 < text.size() &&
                    static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                    static_cast<unsigned char>(text[i + 1]) <= 0x9F;
    if (c >= 0x20 && c != 0x7F && !c1) {
      out += char(c);
      continue;
    }
    char escape[12];
    if (c1)
      snprintf(escape, sizeof escape, "\\x%02x\\x%02x", c, static_cast<unsigned char>(text[++i]));
    else
      snprintf(escape, sizeof escape, "\\x%02x", c);
    out += escape;
  }
  return out;
}

int Report(const Options &opt, const std::vector<Job> &jobs, const std::vector<Failure> &early,
           const Ran &ran) {
  size_t converted = 0, would = 0, exists = 0, own = 0, same = 0, failed = early.size(), left = 0;
  for (const Failure &f : early)
    fprintf(stderr, "logoconv: %s: %s\n", Printable(f.shown).c_str(), f.reason.c_str());
  for (size_t i = 0; i < jobs.size(); ++i) {
    const Job &j = jobs[i];
    const Result &r = ran.results[i];
    const std::string shown = Printable(j.shown);
    const std::string other = r.other >= 0 ? Printable(jobs[size_t(r.other)].shown) : "";
    switch (r.outcome) {
    case kConverted:
      ++converted;
      if (opt.verbose) printf("%s -> %s\n", shown.c_str(), Targets(j).c_str());
      if (r.other >= 0)
        fprintf(stderr, "logoconv: %s: converted in place of %s\n", shown.c_str(), other.c_str());
      break;
    case kWouldConvert:
      ++would;
      printf("%s -> %s\n", shown.c_str(), Targets(j).c_str());
      break;
    case kSkipExists:
      ++exists;
      if (opt.verbose) printf("%s: skipped, %s exists\n", shown.c_str(), Targets(j).c_str());
      break;
    case kSkipOwnFormat:
      ++own;
      if (opt.verbose) printf("%s: skipped, the target would be the file itself\n", shown.c_str());
      break;
    case kSkipSameTarget:
      ++same;
      fprintf(stderr, "logoconv: %s: skipped, %s writes the same target\n", shown.c_str(),
              other.c_str());
      break;
    case kFailed:
      ++failed;
      fprintf(stderr, "logoconv: %s: %s\n", shown.c_str(),
              r.code == kConvertLoadFailed ? LoadFailure(j, r).c_str() : Reason(r));
      break;
    default:
      // Only an interrupt leaves jobs untouched; otherwise a worker ended
      // before it got to them, and each is named.
      if (ran.complete) {
        ++failed;
        fprintf(stderr, "logoconv: %s: not converted, the workers ended abnormally\n",
                shown.c_str());
      } else {
        ++left;
      }
      break;
    }
  }
  // A folder of which nothing could be converted says so.
  std::map<std::string, bool> anyDone;
  for (size_t i = 0; i < jobs.size(); ++i)
    if (!jobs[i].root.empty()) anyDone[jobs[i].root] |= ran.results[i].outcome != kFailed;
  for (const auto &folder : anyDone)
    if (!folder.second && ran.complete)
      fprintf(stderr, "logoconv: %s: nothing in the folder could be converted\n",
              Printable(folder.first).c_str());
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
  const double elapsed = ran.seconds;
  if (!opt.dryRun && converted && elapsed > 0)
    printf(", %.2f s, %.0f logos/s", elapsed, converted / elapsed);
  printf("\n");
  if (!ran.complete) {
    printf("logoconv: interrupted, %zu not converted\n", left);
    return 130;
  }
  return failed ? 1 : 0;
}

} // namespace logoconv
