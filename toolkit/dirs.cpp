// dirs.cpp - the stack of working directories around the firmware's single
// current directory, and a directory change that copes with firmware
// differences and UTF-8 file names.
#include <string.h>

#include "tklib.h"

char TAPDirStack[kDirStackDepth][kDirStackEntry];
int32_t TAPDirStackDepth = -1;

// The firmware keeps each plug-in's current directory in its plug-in table:
// word 10 of the entry leads to a record whose second word points to the
// path text, which from byte 7 on is the path below "/mnt/hd".
int HDD_TAP_GetCurrentDir(char *Destination) {
  if (!Destination) return -3;
  dword *table = FIS_vTAPTable();
  const uint32_t *current = static_cast<const uint32_t *>(FIS_vCurTapTask());
  if (!table || !current || *current >= 16) {
    Destination[0] = '\0';
    return -3;
  }
  const dword *entry = table + *current * 11;
  const dword *dirRecord = reinterpret_cast<const dword *>(entry[10]);
  if (!dirRecord || !dirRecord[1]) return 0;
  const char *text = reinterpret_cast<const char *>(dirRecord[1]) + 7;
  strncpy(Destination, text, kDirStackEntry - 1);
  Destination[kDirStackEntry - 1] = '\0';
  return 0;
}

bool HDD_TAP_PushDir() {
  ++TAPDirStackDepth;
  if (TAPDirStackDepth < kDirStackDepth) {
    char path[kDirStackEntry];
    if (HDD_TAP_GetCurrentDir(path) == 0) {
      memcpy(TAPDirStack[TAPDirStackDepth], path, sizeof path);
      return true;
    }
  }
  --TAPDirStackDepth;
  return false;
}

void HDD_TAP_PopDir() {
  if (TAPDirStackDepth < 0) return;
  char path[kDirStackEntry];
  memcpy(path, TAPDirStack[TAPDirStackDepth], sizeof path);
  --TAPDirStackDepth;
  HDD_ChangeDir(path);
}

// Firmware versions differ in what a successful change returns; the first
// call learns it from a folder that always exists.
static bool calibrate = true;
static int changeDirSuccess;

bool HDD_ChangeDir(const char *Path) {
  if (!Path) return false;
  if (calibrate) {
    changeDirSuccess = TAP_Hdd_ChangeDir("/ProgramFiles");
    calibrate = false;
  }
  if (TAP_Hdd_ChangeDir(Path) == changeDirSuccess) return true;
  // The firmware may store the name in UTF-8.
  const size_t length = strlen(Path);
  char *utf8 = static_cast<char *>(TAP_MemAlloc_Chk("HDD_ChangeDir", dword(2 * length + 1)));
  if (!utf8) return false;
  StrToUTF8(Path, utf8);
  const bool changed = TAP_Hdd_ChangeDir(utf8) == changeDirSuccess;
  TAP_MemFree(utf8);
  return changed;
}
