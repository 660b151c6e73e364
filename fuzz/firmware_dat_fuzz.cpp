// The receiver-model file on arbitrary contents: loading it and walking its
// records as the key translation does must stay inside the file.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "fuzz_disk.h"
#include "tapsim.h"
#include "tklib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  PutOnDisk("/ProgramFiles/FirmwareTMS.dat", data, size);
  ReleaseFirmwareDat();
  // No plug-in table entry of its own here: the translation is not hooked,
  // but the remote type is looked up in the records all the same.
  KeyTranslate(false, nullptr);
  const uint32_t *header;
  const unsigned char *records, *tail;
  if (LoadFirmwareDat(&header, &records, &tail)) {
    volatile unsigned sum = 0;
    for (const unsigned char *p = records; p < tail; ++p) sum = sum + *p;
  }
  ReleaseFirmwareDat();
  if (Sim_HeapBlocksTotal() != 0) abort();
  return 0;
}
