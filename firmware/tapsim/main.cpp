// tapsim - the firmware stand-in: loads plug-ins and drives them with a
// script of remote-control keys, characters, idle ticks and stop requests,
// the way the receiver does.
#include <errno.h>
#include <getopt.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "script.h"
#include "serve.h"
#include "session.h"
#include "tapsim.h"

namespace {

const char kUsage[] =
    "usage: tapsim [options] PLUGIN.so [PLUGIN.so ...]\n"
    "Loads the plug-ins into a stand-in of the receiver's firmware and drives them.\n"
    "\n"
    "  --disk DIR               the receiver's disk (created with /ProgramFiles when missing)\n"
    "  --script FILE            events to deliver, '-' for standard input (default: none)\n"
    "  --shots DIR              folder for the script's screenshots (default: .)\n"
    "  --clock 'YYYY-MM-DD HH:MM:SS'  fixed start of the clock (default: real time)\n"
    "  --lang en|de             the OSD language the firmware reports (default: en)\n"
    "  --system-id N            the receiver model's system identifier\n"
    "  --echo                   print what reaches the network terminal\n"
    "  --trace                  print every event and its result on standard error\n"
    "  --strict                 fail when a plug-in leaves heap blocks or misuses the heap\n"
    "  --fail-alloc N           the Nth heap allocation fails\n"
    "  --fail-alloc-above BYTES every heap allocation larger than BYTES fails\n"
    "  --fail-write-after BYTES disk writes fail after BYTES bytes\n"
    "  --serve [ADDR:]PORT      run the plug-ins live for a web browser instead of a script:\n"
    "                           the screen, a remote control, the log and the heap, on\n"
    "                           127.0.0.1 unless ADDR is given (port 0: any free port)\n"
    "  --help                   this text\n"
    "  --version                the version of tapsim\n"
    "\n"
    "Script lines: key NAME|CODE, char CODE, idle [N], stop, shot FILE.png; '#' starts a "
    "comment.\n"
    "\n"
    "The served page can delete and rename files on the disk.  tapsim prints its address\n"
    "with a token made for this run; requests without the token, from another site or\n"
    "naming another host are refused, and only the page's own files are served.  An ADDR\n"
    "other than a loopback one lets other computers reach it: anyone who has the address\n"
    "with its token can then work the plug-in.\n";

int Usage(const std::string &why) {
  fprintf(stderr, "tapsim: %s\n%s", why.c_str(), "Try 'tapsim --help'.\n");
  return 2;
}

bool Count(const char *text, unsigned long long max, unsigned long long &out) {
  if (!text || !*text || *text == '-') return false;
  char *end = nullptr;
  errno = 0;
  out = strtoull(text, &end, 0);
  return !*end && !errno && out <= max;
}

bool ReadAll(const std::string &path, std::string &text) {
  if (path == "-") {
    std::ostringstream s;
    s << std::cin.rdbuf();
    text = s.str();
    return true;
  }
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  std::ostringstream s;
  s << f.rdbuf();
  text = s.str();
  return true;
}

} // namespace

int main(int argc, char **argv) {
  enum {
    kDisk = 1000,
    kScript,
    kShots,
    kClock,
    kLang,
    kSystemId,
    kEcho,
    kTrace,
    kStrict,
    kFailAlloc,
    kFailAllocAbove,
    kFailWriteAfter,
    kServe,
    kHelp,
    kVersion
  };
  static const option options[] = {
      {"disk", required_argument, nullptr, kDisk},
      {"script", required_argument, nullptr, kScript},
      {"shots", required_argument, nullptr, kShots},
      {"clock", required_argument, nullptr, kClock},
      {"lang", required_argument, nullptr, kLang},
      {"system-id", required_argument, nullptr, kSystemId},
      {"echo", no_argument, nullptr, kEcho},
      {"trace", no_argument, nullptr, kTrace},
      {"strict", no_argument, nullptr, kStrict},
      {"fail-alloc", required_argument, nullptr, kFailAlloc},
      {"fail-alloc-above", required_argument, nullptr, kFailAllocAbove},
      {"fail-write-after", required_argument, nullptr, kFailWriteAfter},
      {"serve", required_argument, nullptr, kServe},
      {"help", no_argument, nullptr, kHelp},
      {"version", no_argument, nullptr, kVersion},
      {nullptr, 0, nullptr, 0},
  };
  std::string disk, scriptPath, shots = ".", clock;
  dword language = 1, systemId = 0, failAlloc = 0, failAbove = 0;
  bool haveSystemId = false, echo = false, trace = false, strict = false;
  long long failWrite = -1;
  bool serve = false;
  ServeOptions served;
  std::string why;
  opterr = 0;
  int c;
  unsigned long long n;
  while ((c = getopt_long(argc, argv, "", options, nullptr)) != -1) {
    switch (c) {
    case kDisk:
      disk = optarg;
      break;
    case kScript:
      scriptPath = optarg;
      break;
    case kShots:
      shots = optarg;
      break;
    case kClock:
      clock = optarg;
      break;
    case kLang:
      if (strcmp(optarg, "en") == 0)
        language = 1;
      else if (strcmp(optarg, "de") == 0)
        language = 2;
      else
        return Usage(std::string("--lang takes en or de, not '") + optarg + "'");
      break;
    case kSystemId:
      if (!Count(optarg, 0xFFFFFFFFull, n)) return Usage("--system-id takes a number");
      systemId = dword(n);
      haveSystemId = true;
      break;
    case kEcho:
      echo = true;
      break;
    case kTrace:
      trace = true;
      break;
    case kStrict:
      strict = true;
      break;
    case kFailAlloc:
      if (!Count(optarg, 0xFFFFFFFFull, n) || n == 0)
        return Usage("--fail-alloc takes a count from 1");
      failAlloc = dword(n);
      break;
    case kFailAllocAbove:
      if (!Count(optarg, 0xFFFFFFFFull, n) || n == 0)
        return Usage("--fail-alloc-above takes a size in bytes from 1");
      failAbove = dword(n);
      break;
    case kFailWriteAfter:
      if (!Count(optarg, 1ull << 62, n)) return Usage("--fail-write-after takes a size in bytes");
      failWrite = (long long)n;
      break;
    case kServe:
      if (!web::ParseListen(optarg, served.listen, why)) return Usage(why);
      serve = true;
      break;
    case kHelp:
      fputs(kUsage, stdout);
      return 0;
    case kVersion:
      puts("tapsim (Velumo) " VELUMO_VERSION);
      return 0;
    default:
      return Usage(std::string("unknown or incomplete option '") + argv[optind - 1] + "'");
    }
  }
  std::vector<std::string> plugins(argv + optind, argv + argc);
  if (plugins.empty()) return Usage("no plug-in given");
  if (disk.empty()) return Usage("no disk given (--disk DIR)");
  if (serve && !scriptPath.empty())
    return Usage("--serve takes the keys from the page, not --script");

  std::vector<ScriptStep> steps;
  if (!scriptPath.empty()) {
    std::string text, error;
    if (!ReadAll(scriptPath, text)) {
      fprintf(stderr, "tapsim: cannot read script %s\n", scriptPath.c_str());
      return 2;
    }
    if (!ParseScript(text, scriptPath == "-" ? "<stdin>" : scriptPath, steps, error)) {
      fprintf(stderr, "tapsim: %s\n", error.c_str());
      return 2;
    }
  }

  if (!Sim_Init(disk.c_str())) return 1;
  if (!clock.empty() && !Sim_SetClock(clock.c_str())) {
    Sim_Shutdown();
    const std::string range = "from 1900-01-01 to 2038-04-22";
    return Usage("--clock takes a time 'YYYY-MM-DD HH:MM:SS' " + range + ", not '" + clock + "'");
  }
  auto setUp = [&] {
    Sim_SetLanguage(language);
    if (haveSystemId) Sim_SetSystemId(systemId);
    Sim_SetEcho(echo);
    Sim_SetTrace(trace);
    Sim_FailAllocAbove(failAbove);
    Sim_FailWriteAfter(failWrite);
    Sim_FailAllocNth(failAlloc);
    for (const std::string &p : plugins) {
      char err[512] = "";
      if (Sim_LoadPlugin(p.c_str(), err, sizeof err) < 0) {
        fprintf(stderr, "tapsim: cannot load %s: %s\n", p.c_str(), err);
        Sim_Shutdown();
        return false;
      }
    }
    return true;
  };
  if (!setUp()) return 1;

  if (serve) {
    // A restart from the page: the same disk (as the plug-ins left it) and
    // settings, the clock from its start again.
    served.start = [&] {
      if (!Sim_Init(disk.c_str())) return false;
      if (!clock.empty()) Sim_SetClock(clock.c_str());
      return setUp();
    };
    served.strict = strict;
    return Serve(served);
  }

  int status = 0;
  for (const ScriptStep &s : steps) {
    if (!AnyRunning()) break;
    switch (s.kind) {
    case ScriptStep::Key:
      Sim_DeliverEvent(EVT_KEY, s.value, 0);
      break;
    case ScriptStep::Char:
      Sim_DeliverEvent(EVT_KEYBOARD, s.value, 0);
      break;
    case ScriptStep::Idle:
      for (dword i = 0; i < s.value && AnyRunning(); ++i) Sim_DeliverEvent(EVT_IDLE, 0, 0);
      break;
    case ScriptStep::Stop:
      Sim_DeliverEvent(EVT_STOP, 0, 0);
      break;
    case ScriptStep::Shot: {
      mkdir(shots.c_str(), 0755);
      const std::string path = shots + "/" + s.file;
      if (!Sim_Screenshot(path.c_str())) {
        fprintf(stderr, "tapsim: line %d: cannot write screenshot %s\n", s.line, path.c_str());
        status = 1;
      }
      break;
    }
    }
  }

  return EndSession(strict, status);
}
