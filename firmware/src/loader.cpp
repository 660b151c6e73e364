// loader.cpp - loading plug-ins, the firmware's plug-in table and the
// delivery of events through the handler held in it.
#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <fstream>

#include "sim.h"

namespace sim {

static dword *TaskWords(int slot) {
  return &_tapTask[slot * kTaskWords];
}

void UpdateTaskDir(int slot) {
  Task &t = S().tasks[slot];
  snprintf(t.pathText.text, sizeof t.pathText.text, "/mnt/hd%s",
           t.cwd == "/" ? "/" : t.cwd.c_str());
}

// Points the plug-in table entry at the task's records.  An entry without a
// loaded plug-in still has a current directory (in-process tests use slot 0)
// but no file record and no handler.
void BindTask(int slot) {
  Task &t = S().tasks[slot];
  dword *w = TaskWords(slot);
  memset(w, 0, sizeof(dword) * kTaskWords);
  t.dirRecord.reserved = 0;
  t.dirRecord.path = &t.pathText;
  UpdateTaskDir(slot);
  w[10] = dword(&t.dirRecord);
  if (t.loaded) {
    t.absPath = "/mnt/hd" + t.diskPath;
    t.pathArray[0] = t.pathArray[1] = "";
    t.pathArray[2] = t.absPath.c_str();
    t.fileRecord.paths = t.pathArray;
    w[2] = dword(&t.fileRecord);
    w[5] = dword(t.running ? t.entry.EventHandler : nullptr);
  }
}

void ClearTask(int slot) {
  S().tasks[slot] = Task();
  memset(TaskWords(slot), 0, sizeof(dword) * kTaskWords);
}

} // namespace sim

using namespace sim;

namespace {

bool CopyFile(const std::string &from, const std::string &to, std::string &why) {
  std::ifstream in(from, std::ios::binary);
  if (!in) {
    why = std::string("cannot read ") + from + ": " + strerror(errno);
    return false;
  }
  std::ofstream out(to, std::ios::binary | std::ios::trunc);
  out << in.rdbuf();
  out.close();
  if (!out) {
    why = "cannot copy the plug-in to " + to;
    return false;
  }
  return true;
}

void Fail(char *err, size_t errSize, const std::string &why) {
  if (err && errSize) snprintf(err, errSize, "%s", why.c_str());
}

// Marks a plug-in that called TAP_Exit (or whose TAP_Main gave up) as ended:
// the firmware no longer calls its handler.
void Retire(int slot) {
  Task &t = S().tasks[slot];
  t.running = false;
  _tapTask[slot * kTaskWords + 5] = 0;
}

// Fills the slot, hands the loader's record to __TAP_Init_ and runs TAP_Main.
int Start(int slot, const std::string &name, const std::string &diskPath, void *dl,
          int (*init)(TYPE_TapEntry *), char *err, size_t errSize) {
  ClearTask(slot);
  Task &t = S().tasks[slot];
  t.loaded = true;
  t.running = true;
  t.dl = dl;
  t.name = name;
  t.diskPath = diskPath;
  t.cwd = "/ProgramFiles";
  const uint32_t previous = _curTapTask;
  _curTapTask = uint32_t(slot);
  init(&t.entry);
  BindTask(slot);
  if (!t.entry.Main || !t.entry.EventHandler) {
    _curTapTask = previous;
    Retire(slot);
    Fail(err, errSize, "__TAP_Init_ did not hand over both entry points");
    return -1;
  }
  const int started = t.entry.Main();
  _curTapTask = previous;
  if (!started) Retire(slot);
  return slot;
}

} // namespace

extern "C" int Sim_LoadPlugin(const char *hostPath, char *err, size_t errSize) {
  State &s = S();
  if (!s.initialised) {
    Fail(err, errSize, "no disk");
    return -1;
  }
  int slot = -1;
  for (int i = 0; i < SIM_MAX_PLUGINS && slot < 0; ++i)
    if (!s.tasks[i].loaded) slot = i;
  if (slot < 0) {
    Fail(err, errSize, "the plug-in table is full");
    return -1;
  }
  std::string src = hostPath ? hostPath : "";
  struct stat st;
  if (src.empty() || stat(src.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    Fail(err, errSize, "no such plug-in file: " + src);
    return -1;
  }
  // The receiver runs plug-ins from its disk; so does the stand-in, so the
  // firmware's table can point at a real file there.
  std::string name = src.substr(src.find_last_of('/') + 1);
  for (int i = 0; i < SIM_MAX_PLUGINS; ++i)
    if (s.tasks[i].loaded && s.tasks[i].name == name) name = std::to_string(slot) + "-" + name;
  const std::string diskPath = "/ProgramFiles/" + name;
  const std::string copy = s.root + diskPath;
  std::string why;
  if (!CopyFile(src, copy, why)) {
    Fail(err, errSize, why);
    return -1;
  }
  void *dl = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!dl) {
    const char *e = dlerror();
    Fail(err, errSize, e ? e : "cannot load");
    return -1;
  }
  auto init = reinterpret_cast<int (*)(TYPE_TapEntry *)>(dlsym(dl, "__TAP_Init_"));
  if (!init) {
    dlclose(dl);
    Fail(err, errSize, "not a plug-in: no __TAP_Init_");
    return -1;
  }
  return Start(slot, src.substr(src.find_last_of('/') + 1), diskPath, dl, init, err, errSize);
}

extern "C" int Sim_AttachPlugin(const char *name, int (*init)(TYPE_TapEntry *), char *err,
                                size_t errSize) {
  State &s = S();
  int slot = -1;
  for (int i = 0; i < SIM_MAX_PLUGINS && slot < 0; ++i)
    if (!s.tasks[i].loaded) slot = i;
  if (!s.initialised || slot < 0 || !init) {
    Fail(err, errSize,
         !s.initialised ? "no disk"
         : slot < 0     ? "the plug-in table is full"
                        : "no entry");
    return -1;
  }
  return Start(slot, name ? name : "plug-in",
               "/ProgramFiles/" + std::string(name ? name : "plug-in"), nullptr, init, err,
               errSize);
}

extern "C" int Sim_PluginCount(void) {
  int n = 0;
  for (const Task &t : S().tasks) n += t.loaded ? 1 : 0;
  return n;
}

extern "C" int Sim_PluginRunning(int slot) {
  if (slot < 0 || slot >= SIM_MAX_PLUGINS) return 0;
  return S().tasks[slot].loaded && S().tasks[slot].running ? 1 : 0;
}

extern "C" const char *Sim_PluginName(int slot) {
  if (slot < 0 || slot >= SIM_MAX_PLUGINS) return "";
  return S().tasks[slot].name.c_str();
}

extern "C" dword Sim_PluginEvents(int slot) {
  return slot >= 0 && slot < SIM_MAX_PLUGINS ? S().tasks[slot].events : 0;
}

extern "C" dword Sim_DeliverEvent(word event, dword param1, dword param2) {
  State &s = S();
  if (event == EVT_IDLE) s.tick += kTicksPerIdle;
  const bool keyLike = event == EVT_KEY || event == EVT_KEYBOARD;
  dword result = param1;
  for (int slot = 0; slot < SIM_MAX_PLUGINS; ++slot) {
    Task &t = s.tasks[slot];
    if (!t.loaded || !t.running) continue;
    // The table's handler, not the plug-in's own: a hook put in front of it
    // is what the firmware calls.
    auto handler = reinterpret_cast<TAP_EventHandlerFunc>(_tapTask[slot * kTaskWords + 5]);
    if (!handler) continue;
    const uint32_t previous = _curTapTask;
    _curTapTask = uint32_t(slot);
    ++t.events;
    const dword in = result;
    result = handler(event, in, param2);
    _curTapTask = previous;
    if (s.trace)
      fprintf(stderr, "tapsim: %s: event 0x%03X 0x%lX -> 0x%lX\n", t.name.c_str(), event, in,
              result);
    if (!t.running) Retire(slot);
    if (keyLike && result == 0) return 0;
    if (!keyLike) result = param1;
  }
  if (s.trace && keyLike) fprintf(stderr, "tapsim: key 0x%lX returned to the firmware\n", result);
  return keyLike ? result : 0;
}

extern "C" void Sim_Shutdown(void) {
  State &s = S();
  for (int i = 0; i < SIM_MAX_PLUGINS; ++i)
    if (s.tasks[i].dl) dlclose(s.tasks[i].dl);
  DiskReset();
  HeapReset();
  OsdReset();
  s = State();
  memset(_tapTask, 0, sizeof _tapTask);
  memset(_osdInfo, 0, sizeof _osdInfo);
  _curTapTask = 0;
  for (int i = 0; i < SIM_MAX_PLUGINS; ++i) BindTask(i);
}
