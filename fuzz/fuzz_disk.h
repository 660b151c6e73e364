// fuzz_disk.h - the firmware stand-in on one temporary disk for a whole
// fuzzing run, and the one way the targets put their input on it.
#ifndef FUZZ_DISK_H
#define FUZZ_DISK_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "tapsim.h"

// Host folder of the disk, made and handed to the firmware on first use.
inline const std::string &FuzzDisk() {
  static const std::string disk = [] {
    char tmpl[] = "/tmp/velumo-fuzz-XXXXXX";
    const char *dir = mkdtemp(tmpl);
    if (!dir || !Sim_Init(dir)) abort();
    return std::string(dir);
  }();
  return disk;
}

// Writes the input as a file of the disk ("/ProgramFiles/x").
inline void PutOnDisk(const std::string &diskPath, const uint8_t *data, size_t size) {
  FILE *f = fopen((FuzzDisk() + diskPath).c_str(), "wb");
  if (!f) abort();
  if (size && fwrite(data, 1, size, f) != size) abort();
  fclose(f);
}

#endif
