// sim.h - libtap's own state, shared by its source files.
#ifndef SIM_H
#define SIM_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "tap.h"
#include "tapsim.h"

namespace sim {

// Firmware objects the toolkit finds by symbol name.  Their layouts are the
// receiver's, in dword-sized words so pointers fit on 64-bit hosts too.
//
// _tapTask: 16 entries of eleven words.
//   word 2  -> FileRecord of the plug-in file
//   word 5  -> the event handler the firmware calls
//   word 10 -> DirRecord of the plug-in's current directory
// FileRecord: at byte 144 a pointer to an array of three text pointers, the
//   third being the plug-in file's absolute path ("/mnt/hd/ProgramFiles/x.so").
// DirRecord: its second word points to a PathText whose text, from byte 7 on,
//   is the current directory ("/mnt/hd" + "/ProgramFiles"; "/mnt/hd/" = root).
// _osdInfo: per region handle a 16-byte record x, y, width, height, flags.
constexpr int kTaskWords = 11;
constexpr int kMaxRegions = 64;
constexpr int kFileRecordPathOffset = 144;
constexpr int kPathTextSize = 7 + 512;

struct OsdInfoRecord {
  uint16_t x, y, width, height;
  uint32_t flags;
  uint32_t inUse;
};
static_assert(sizeof(OsdInfoRecord) == 16, "the toolkit reads 16-byte region records");

struct PathText {
  char text[kPathTextSize];
};
struct DirRecord {
  dword reserved;
  PathText *path;
};
struct FileRecord {
  unsigned char bytes[kFileRecordPathOffset];
  const char **paths;
};
static_assert(offsetof(FileRecord, paths) == kFileRecordPathOffset, "path pointer at byte 144");

// One search of TAP_Hdd_FindFirst/FindNext.
struct FindState {
  std::vector<TYPE_File> entries;
  size_t next = 0;
};

// Per plug-in slot.  Slot 0 also serves in-process tests that call TAP_*
// without a plug-in loaded.
struct Task {
  bool loaded = false;
  bool running = false;
  void *dl = nullptr;
  std::string name;     // file name, e.g. "Velumo.so"
  std::string diskPath; // "/ProgramFiles/Velumo.so"
  std::string cwd = "/ProgramFiles";
  TYPE_TapEntry entry{};
  FindState find;
  dword events = 0;
  dword heapMisuse = 0;
  // firmware records the plug-in table points at
  FileRecord fileRecord{};
  const char *pathArray[3] = {nullptr, nullptr, nullptr};
  std::string absPath;
  DirRecord dirRecord{};
  PathText pathText{};
};

struct Region {
  bool used = false;
  bool memOnly = false;
  int x = 0, y = 0, w = 0, h = 0;
  std::vector<uint32_t> mem; // memory-only regions
};

struct State {
  bool initialised = false;
  std::string root; // host folder of the disk, no trailing slash
  Task tasks[SIM_MAX_PLUGINS];
  // clock
  bool fixedClock = false;
  int64_t clockStart = 0; // seconds since 1970, UTC, for the fixed clock
  dword tick = 0;
  // system
  dword language = 1;
  dword systemId = 22010;
  dword version = 0x1234;
  bool normalMode = true;
  dword enterNormalCalls = 0;
  bool echo = false;
  bool trace = false;
  std::string terminal;
  // heap fault injection
  dword allocCount = 0;
  dword failNth = 0; // absolute allocation number that fails, 0 = none
  dword failAbove = 0;
  long long writeBudget = -1;
  // screen
  Region regions[kMaxRegions];
  std::vector<uint32_t> plane;
  std::vector<uint32_t> shown;
  dword syncs = 0;
};

State &S();

// The slot whose code runs now (_curTapTask), clamped to a valid index.
Task &CurrentTask();
int CurrentSlot();

// Disk paths.  Resolve a firmware name against the current task's directory
// to a normalised absolute disk path ("/a/b"); false when it would leave the
// disk.  HostPath turns such a path into the host path and refuses one whose
// existing part leads outside the disk root through a symbolic link.
bool ResolveDiskPath(const std::string &cwd, const char *name, std::string &out);
bool HostPathOf(const std::string &diskPath, std::string &out);

// Task records the plug-in table points at; refreshed after a directory change.
void UpdateTaskDir(int slot);
void BindTask(int slot);
void ClearTask(int slot);

// Disk: closes every open file handle and forgets searches.
void DiskReset();
// True for a handle TAP_Hdd_Fopen gave out and that is still open.
bool ValidFile(const TYPE_File *file);

// Heap
void HeapReset();
dword HeapBlocks(int slot);
dword HeapBlocksTotal();
// Ticks each idle event moves the clock on (a tenth of a second).
constexpr dword kTicksPerIdle = 10;

// Screen
void OsdReset();
int RegionCount();

// Terminal
void TerminalWrite(const char *data, size_t len);

// MJD from a civil date and back.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d);
void CivilFromDays(int64_t z, int &y, unsigned &m, unsigned &d);
constexpr int64_t kMjdOfUnixEpoch = 40587;

// The current simulated time in seconds since 1970 (UTC).
int64_t NowSeconds();

} // namespace sim

extern "C" {
extern dword _tapTask[SIM_MAX_PLUGINS * sim::kTaskWords];
extern uint32_t _curTapTask;
extern sim::OsdInfoRecord _osdInfo[sim::kMaxRegions];
}
void Appl_EnterNormal(unsigned char showInfo);

#endif
