// Whole conversions (ConvertLogo, as the number keys and logoconv make them)
// of arbitrary files, stretched or fitted, into every target.  Whatever the
// bytes: a known result code, a written target of the size the target
// promises, nothing allocated, no file left open, no temporary file left.
#include <dirent.h>
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <string>

#include "Velumo.h"
#include "fuzz_disk.h"
#include "logo_formats.h"
#include "tapsim.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1) return 0;
  // The first byte picks the reader (low two bits), the target (next three)
  // and stretching or fitting; the rest is the file.
  static const char *const kNames[] = {"f.qtl", "f.qtl32", "f.bmp", "f.png"};
  const char *name = kNames[data[0] & 3];
  const uint32_t target = data[0] >> 2 & 7;
  const bool fit = data[0] & 0x20;
  const std::string out = FuzzDisk() + "/ProgramFiles/out";
  mkdir(out.c_str(), 0755);
  PutOnDisk(std::string("/ProgramFiles/") + name, data + 1, size - 1);
  const int32_t rc = ConvertLogo(target, "/ProgramFiles", name, "/ProgramFiles/out", fit);
  if (rc < kConvertOk || rc > kConvertWriteFailed) abort();
  if (Sim_HeapBlocksTotal() != 0 || Sim_OpenFileCount() != 0) abort();
  const LogoTarget &t = kLogoTargets[target];
  if (rc == kConvertOk && t.write == WriteRawTarget) {
    char first[128], second[128];
    if (!ConversionTargets(target, name, first, second)) abort();
    FILE *f = fopen((out + "/" + first).c_str(), "rb");
    if (!f) abort();
    uint8_t head[8] = {0};
    const size_t got = fread(head, 1, 8, f);
    fclose(f);
    const uint32_t w = uint32_t(head[0]) << 24 | head[1] << 16 | head[2] << 8 | head[3];
    const uint32_t h = uint32_t(head[4]) << 24 | head[5] << 16 | head[6] << 8 | head[7];
    if (got != 8 || w == 0 || h == 0 || w > 60 || h > 40) abort();
    if (t.w && (w != t.w || h != t.h)) abort();
  }
  // Only finished targets stay: no temporary file, and the output is emptied
  // for the next input.
  if (DIR *d = opendir(out.c_str())) {
    while (const dirent *e = readdir(d)) {
      if (strstr(e->d_name, ".~")) abort();
      if (e->d_name[0] != '.') remove((out + "/" + e->d_name).c_str());
    }
    closedir(d);
  }
  return 0;
}
