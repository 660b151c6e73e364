// options.cpp - logoconv's command line: the options, the usage text and
// --list-formats, both of which name the targets from the engine's table.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "logo_formats.h"
#include "logoconv.h"

namespace logoconv {
namespace {

// The usage text keeps within an 80-column terminal.
constexpr size_t kWidth = 79;

const char kOptionsText[] =
    "\n"
    "  -r, --recursive   convert the logos in the folders below PATH as well\n"
    "  -o, --output DIR  write into DIR (a folder's tree is mirrored there)\n"
    "                    instead of next to each source\n"
    "  -f, --force       replace target files that exist (else they are skipped)\n"
    "  -j, --jobs N      N conversions at once (default: one a CPU core)\n"
    "      --stretch     qtl, qsl, ibl: fill the target size (default: keep the\n"
    "                    proportions, centred on a transparent canvas)\n"
    "      --trim        cut away fully transparent borders first\n"
    "      --background COLOUR  RRGGBB or #RRGGBB under the half-transparent\n"
    "                    pixels of targets without alpha: bll and 16-bit qtl,\n"
    "                    qsl, ibl (one bit), bmp and bmpjpg (default: 000000)\n"
    "      --receiver    convert exactly as the plug-in on the receiver does\n"
    "                    (bilinear, stretched; SVG is not read; a truncated\n"
    "                    file is padded, not refused)\n"
    "      --fit         with --receiver: keep the proportions\n"
    "  -n, --dry-run     say what would be converted, write nothing\n"
    "  -v, --verbose     name every file converted or skipped\n"
    "      --list-formats  the formats read and the targets written\n"
    "  -h, --help        this text\n"
    "Exit status: 0 when nothing failed, 1 when a file failed, 2 on a usage\n"
    "error, 130 when interrupted.\n";

std::string Key(const LogoTarget &t) {
  return std::to_string(unsigned(t.key - RKEY_0));
}

// The words of text, as many on a line as fit.
std::string Wrap(const std::string &text) {
  std::string out, line;
  size_t from = 0;
  while (from < text.size()) {
    size_t to = text.find(' ', from);
    if (to == std::string::npos) to = text.size();
    const std::string word = text.substr(from, to - from);
    if (!line.empty() && line.size() + 1 + word.size() > kWidth) {
      out += line + '\n';
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
    from = to + 1;
  }
  return out + line + '\n';
}

// The targets come from the table, so that a new one is offered here too.
std::string UsageText() {
  std::string targets = "Converts logo files, and the logos in folders, into TARGET:";
  for (uint32_t i = 0; i < kLogoTargetCount; ++i) {
    targets += i == 0 ? " " : i + 1 == kLogoTargetCount ? " or " : ", ";
    targets += kLogoTargets[i].name;
  }
  const LogoTarget &first = kLogoTargets[0], &last = kLogoTargets[kLogoTargetCount - 1];
  targets += kLogoTargetCount == 1
                 ? " (the plug-in's key " + Key(first) + ")."
                 : " (the plug-in's keys " + Key(first) + " to " + Key(last) + ").";
  return "usage: logoconv [options] TARGET PATH...\n" + Wrap(targets) + kOptionsText;
}

int ListFormats() {
  printf("Formats read (by extension):\n");
  for (const LogoFormat &f : kLogoFormats)
    printf("  %-7s %-16s %2d bit\n", f.ext, f.description, f.bits);
  printf("  %-7s %-16s %2d bit (not with --receiver)\n", ".svg", "SVG drawing", 32);
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
  printf("\nLogos larger than 60x40 are reduced to fit 60x40 (as loaded) with their\n"
         "proportions kept.  qtl, qsl and ibl write the 32-bit form (.qtl32, ...) for\n"
         "sources of more than 16 bits a pixel.\n");
  return 0;
}

bool ParseColour(const char *text, uint32_t &colour) {
  if (*text == '#') ++text;
  if (strlen(text) != 6 || strspn(text, "0123456789abcdefABCDEF") != 6) return false;
  colour = uint32_t(strtoul(text, nullptr, 16));
  return true;
}

int Usage(const char *message) {
  if (message) fprintf(stderr, "logoconv: %s\n", message);
  fputs(UsageText().c_str(), stderr);
  return 2;
}

} // namespace

int ParseOptions(int argc, char **argv, Options &opt, std::vector<std::string> &paths) {
  bool options = true, background = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (!options || a.empty() || a[0] != '-' || a == "-") {
      paths.push_back(a);
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
      fputs(UsageText().c_str(), stdout);
      return 0;
    } else if (a == "--list-formats") {
      return ListFormats();
    } else if (a == "-r" || a == "--recursive") {
      opt.recursive = true;
    } else if (a == "-f" || a == "--force") {
      opt.force = true;
    } else if (a == "--fit") {
      opt.fit = true;
    } else if (a == "--stretch") {
      opt.stretch = true;
    } else if (a == "--trim") {
      opt.trim = true;
    } else if (a == "--receiver") {
      opt.receiver = true;
    } else if (a == "--background") {
      if (!ParseColour(value("--background"), opt.background))
        return Usage("--background takes a colour RRGGBB or #RRGGBB");
      background = true;
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
  if (opt.fit && opt.stretch) return Usage("--fit and --stretch exclude each other");
  if (opt.receiver && (opt.stretch || opt.trim || background))
    return Usage("--receiver converts as the plug-in does: no --stretch, --trim or --background");
  if (paths.size() < 2) return Usage(nullptr);
  opt.target = LogoTargetNamed(paths[0].c_str());
  if (opt.target < 0) return Usage(("unknown target " + paths[0]).c_str());
  paths.erase(paths.begin());
  return -1;
}

} // namespace logoconv
