// The settings-file module on arbitrary files: open, read every kind of
// value, change and append keys, save, close.  Nothing may be read or written
// outside the buffer, and nothing may stay allocated.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <string>

#include "fuzz_disk.h"
#include "tapsim.h"
#include "tklib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  mkdir((FuzzDisk() + "/ProgramFiles/Settings").c_str(), 0755);
  mkdir((FuzzDisk() + "/ProgramFiles/Settings/App").c_str(), 0755);
  PutOnDisk("/ProgramFiles/Settings/App/f.ini", data, size);
  TAP_Hdd_ChangeDir("/");
  INIOpenFile("f.ini", "App");
  char value[128];
  // Keys taken from the input as well, so that odd keys are looked up too.
  std::string key(reinterpret_cast<const char *>(data), size < 12 ? size : 12);
  key = key.substr(0, key.find('\0'));
  for (const char *k : {"Debug", "Path01", "TestBG", "A", key.c_str()}) {
    INIGetInt(k, 0, -5, 5);
    INIGetHexDWord(k, 0, 0, 0xFFFFFFFF);
    INIGetString(k, value, "", sizeof value);
    INIGetString(k, value, "", 1);
  }
  INISetString("Debug", "1");
  INISetString(key.c_str(), key.c_str());
  INISetInt("NewKey", -42);
  INISaveFile("f.ini", INILOCATION_AtAppDir, "App");
  INICloseFile();
  if (Sim_HeapBlocksTotal() != 0 || TAPDirStackDepth != -1) abort();
  return 0;
}
