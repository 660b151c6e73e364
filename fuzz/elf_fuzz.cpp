// Plug-in file identity on arbitrary files: whatever the ELF header and the
// section table claim, the reader stays inside the file and its buffers,
// closes the file and gives every heap block back.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "fuzz_disk.h"
#include "tapsim.h"
#include "tklib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  PutOnDisk("/ProgramFiles/x.tap", data, size);
  if (TAP_Hdd_ChangeDir("/ProgramFiles") != 1) abort();

  tTAPInfo info;
  const bool found = HDD_TAP_GetInfo("x.tap", &info);
  if (fTAP != -1 || Sim_HeapBlocksTotal() != 0) abort();
  if (found) {
    if (memchr(info.TAPName, 0, sizeof info.TAPName) == nullptr ||
        memchr(info.AuthorName, 0, sizeof info.AuthorName) == nullptr ||
        memchr(info.Description, 0, sizeof info.Description) == nullptr)
      abort();
  } else if (info.TAPID != 0) {
    abort();
  }

  // Every section the table names, read through the small buffer.
  if (ELFOpenFile("x.tap") && ELFReadELFHeader() && ELFReadSectionHeaders()) {
    ELFReadShstrtabSection();
    ELFGetSectionIndex("._tap_id");
    char small[16];
    const int count = ELFHeader[48] | ELFHeader[49] << 8;
    for (int i = -1; i <= count; ++i) { // one beyond each end
      uint32_t word;
      ELFReadDWORD(i, &word);
      if (ELFReadData(i, small, sizeof small) > int32_t(sizeof small)) abort();
    }
  }
  ELFCleanup();
  if (fTAP != -1 || Sim_HeapBlocksTotal() != 0) abort();
  return 0;
}
