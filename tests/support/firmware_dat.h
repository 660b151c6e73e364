// Builds receiver-model description files (FirmwareTMS.dat) for tests.
#ifndef FIRMWARE_DAT_H
#define FIRMWARE_DAT_H

#include <stdint.h>

#include <string>
#include <vector>

struct ModelRecord {
  uint16_t systemId;
  uint32_t remoteType;
};

// Magic 0x12345678, word 2 zero, the record count, the 348-byte records from
// byte 20 on (system identifier at byte 0, remote type at byte 320) and a
// small table after them.
std::string FirmwareDat(const std::vector<ModelRecord> &models, uint32_t magic = 0x12345678,
                        uint32_t word2 = 0);

#endif
