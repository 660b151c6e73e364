// state.cpp - the firmware's global state, clock, system values, life cycle,
// text output and the firmware objects plug-ins look up by name.
#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>

#include "sim.h"

extern "C" {
dword _tapTask[SIM_MAX_PLUGINS * sim::kTaskWords];
uint32_t _curTapTask;
sim::OsdInfoRecord _osdInfo[sim::kMaxRegions];
}

// The firmware's own way back to normal viewing; the argument says whether the
// channel information banner is shown (0 = without).
void Appl_EnterNormal(unsigned char showInfo) {
  (void)showInfo;
  sim::S().normalMode = true;
}

namespace sim {

State &S() {
  static State state;
  return state;
}

int CurrentSlot() {
  uint32_t slot = _curTapTask;
  return slot < SIM_MAX_PLUGINS ? int(slot) : 0;
}

Task &CurrentTask() {
  return S().tasks[CurrentSlot()];
}

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = unsigned(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + int64_t(doe) - 719468;
}

void CivilFromDays(int64_t z, int &y, unsigned &m, unsigned &d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = unsigned(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t yy = int64_t(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = int(yy + (m <= 2));
}

// A fixed clock moves on with the tick counter (100 ticks a second), so a
// scripted run sees the same times every time.
int64_t NowSeconds() {
  State &s = S();
  if (s.fixedClock) return s.clockStart + s.tick / 100;
  return int64_t(time(nullptr));
}

void TerminalWrite(const char *data, size_t len) {
  State &s = S();
  s.terminal.append(data, len);
  if (s.echo) {
    fwrite(data, 1, len, stdout);
    fflush(stdout);
  }
}

} // namespace sim

using namespace sim;

// ---- simulator controls --------------------------------------------------

static int Init(const char *diskRoot, bool programFiles) {
  Sim_Shutdown();
  State &s = S();
  if (!diskRoot || !*diskRoot) {
    fprintf(stderr, "tapsim: no disk folder given\n");
    return 0;
  }
  std::string root = diskRoot;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  // Create the folder (and its parents) when missing.
  for (size_t i = 1; i <= root.size(); ++i) {
    if (i == root.size() || root[i] == '/') {
      std::string part = root.substr(0, i);
      if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
        fprintf(stderr, "tapsim: cannot create disk folder %s: %s\n", part.c_str(),
                strerror(errno));
        return 0;
      }
    }
  }
  char real[4096];
  if (!realpath(root.c_str(), real)) {
    fprintf(stderr, "tapsim: cannot use disk folder %s: %s\n", root.c_str(), strerror(errno));
    return 0;
  }
  struct stat st;
  if (stat(real, &st) != 0 || !S_ISDIR(st.st_mode)) {
    fprintf(stderr, "tapsim: disk %s is not a folder\n", real);
    return 0;
  }
  s.root = strcmp(real, "/") == 0 ? "" : real;
  std::string pf = s.root + "/ProgramFiles";
  if (programFiles && mkdir(pf.c_str(), 0755) != 0 && errno != EEXIST) {
    fprintf(stderr, "tapsim: cannot create %s: %s\n", pf.c_str(), strerror(errno));
    return 0;
  }
  s.initialised = true;
  for (int i = 0; i < SIM_MAX_PLUGINS; ++i) ClearTask(i);
  _curTapTask = 0;
  BindTask(0);
  return 1;
}

extern "C" int Sim_Init(const char *diskRoot) {
  return Init(diskRoot, true);
}

// Init creates only what is missing: a folder that is there is taken as it
// is.
extern "C" int Sim_UseFolder(const char *diskRoot) {
  struct stat st;
  if (diskRoot && *diskRoot && (stat(diskRoot, &st) != 0 || !S_ISDIR(st.st_mode))) {
    Sim_Shutdown();
    fprintf(stderr, "tapsim: disk %s is not a folder\n", diskRoot);
    return 0;
  }
  return Init(diskRoot, false);
}

extern "C" const char *Sim_DiskRoot(void) {
  return S().root.c_str();
}

extern "C" int Sim_SetClock(const char *text) {
  int y, mo, d, h, mi, se;
  char tail;
  if (!text || sscanf(text, "%d-%d-%d %d:%d:%d%c", &y, &mo, &d, &h, &mi, &se, &tail) != 6) return 0;
  if (y < 1900 || y > 2100 || mo < 1 || mo > 12 || d < 1 || h < 0 || h > 23 || mi < 0 || mi > 59 ||
      se < 0 || se > 59)
    return 0;
  int cy;
  unsigned cm, cd;
  const int64_t days = DaysFromCivil(y, unsigned(mo), unsigned(d));
  CivilFromDays(days, cy, cm, cd);
  if (cy != y || int(cm) != mo || int(cd) != d) return 0; // e.g. 31 February
  // The firmware's date is a 16-bit MJD: its last day is 2038-04-22.
  if (days + kMjdOfUnixEpoch > 0xFFFF) return 0;
  State &s = S();
  s.fixedClock = true;
  s.clockStart = days * 86400 + h * 3600 + mi * 60 + se;
  s.tick = 0;
  return 1;
}

extern "C" void Sim_SetLanguage(dword osdLanguage) {
  S().language = osdLanguage;
}
extern "C" void Sim_SetSystemId(dword id) {
  S().systemId = id;
}
extern "C" void Sim_SetVersion(dword version) {
  S().version = version;
}
extern "C" void Sim_SetEcho(int on) {
  S().echo = on != 0;
}
extern "C" void Sim_SetTrace(int on) {
  S().trace = on != 0;
}
extern "C" int Sim_NormalMode(void) {
  return S().normalMode ? 1 : 0;
}
extern "C" dword Sim_EnterNormalCalls(void) {
  return S().enterNormalCalls;
}
extern "C" dword Sim_Tick(void) {
  return S().tick;
}
extern "C" const char *Sim_TerminalText(void) {
  return S().terminal.c_str();
}

// ---- life cycle -----------------------------------------------------------

extern "C" void TAP_Exit(void) {
  Task &t = CurrentTask();
  t.running = false;
}

extern "C" void TAP_EnterNormal(void) {
  State &s = S();
  s.normalMode = true;
  ++s.enterNormalCalls;
}

extern "C" void TAP_ExitNormal(void) {
  S().normalMode = false;
}

// Main state 0 throughout; sub-state 31 is normal viewing, 0 a plug-in's
// full-screen display.
extern "C" void TAP_GetState(dword *state, dword *subState) {
  if (state) *state = STATE_Normal;
  if (subState) *subState = S().normalMode ? SUBSTATE_Normal : 0;
}

extern "C" void TAP_Sleep(dword ticks) {
  S().tick += ticks;
}

// ---- text -------------------------------------------------------------------

extern "C" int TAP_SPrint(char *buf, const char *format, ...) {
  if (!buf || !format) return 0;
  va_list ap;
  va_start(ap, format);
  int n = vsprintf(buf, format, ap);
  va_end(ap);
  return n;
}

// The receiver's console; here standard error, so that it never mixes with
// what tapsim prints of the network terminal.
extern "C" int TAP_Print(const char *format, ...) {
  if (!format) return 0;
  va_list ap;
  va_start(ap, format);
  int n = vfprintf(stderr, format, ap);
  va_end(ap);
  return n;
}

// ---- time and system -----------------------------------------------------

extern "C" int TAP_GetTime(word *mjd, byte *hour, byte *min, byte *sec) {
  const int64_t now = NowSeconds();
  int64_t days = now / 86400;
  int64_t rest = now % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  if (mjd) *mjd = word(days + kMjdOfUnixEpoch);
  if (hour) *hour = byte(rest / 3600);
  if (min) *min = byte(rest / 60 % 60);
  if (sec) *sec = byte(rest % 60);
  return 0;
}

extern "C" dword TAP_GetTick(void) {
  return S().tick;
}

extern "C" void TAP_ExtractMjd(word mjd, word *year, byte *month, byte *day, byte *weekDay) {
  int y;
  unsigned m, d;
  const int64_t days = int64_t(mjd) - kMjdOfUnixEpoch;
  CivilFromDays(days, y, m, d);
  if (year) *year = word(y);
  if (month) *month = byte(m);
  if (day) *day = byte(d);
  // MJD 0 (1858-11-17) was a Wednesday; 0 = Monday.
  if (weekDay) *weekDay = byte((mjd + 2) % 7);
}

extern "C" word TAP_MakeMjd(word year, byte month, byte day) {
  if (month < 1 || month > 12 || day < 1 || day > 31) return 0;
  const int64_t mjd = DaysFromCivil(year, month, day) + kMjdOfUnixEpoch;
  if (mjd < 0 || mjd > 0xFFFF) return 0;
  return word(mjd);
}

extern "C" dword TAP_GetSystemId(void) {
  return S().systemId;
}
extern "C" dword TAP_GetVersion(void) {
  return S().version;
}

extern "C" dword TAP_GetSystemVar(dword varId) {
  if (varId == SYSVAR_OsdLan) return S().language;
  return 0;
}
