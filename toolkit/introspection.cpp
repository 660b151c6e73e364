// introspection.cpp - firmware objects the published calls do not offer,
// found by symbol name in the running firmware, and the receiver-model file.
#include <dlfcn.h>
#include <string.h>

#include "tklib.h"

bool LibInitialized = false;
word ApplID = 0;
int TAP_TableIndex = -1;

void *TryResolve(const char *Symbol) {
  void *self = dlopen(nullptr, RTLD_LAZY | RTLD_GLOBAL);
  if (!self) return nullptr;
  dlerror();
  void *address = dlsym(self, Symbol);
  if (dlerror()) address = nullptr;
  dlclose(self);
  return address;
}

// Each look-up is kept once it succeeded and tried again while it did not.
static void *Cached(void *&slot, const char *symbol) {
  if (!slot) slot = TryResolve(symbol);
  return slot;
}

static void *osdMap, *tapTable, *curTapTask, *applEnterNormal;

void *FIS_vOsdMap() {
  return Cached(osdMap, "_osdInfo");
}
dword *FIS_vTAPTable() {
  return static_cast<dword *>(Cached(tapTable, "_tapTask"));
}
void *FIS_vCurTapTask() {
  return Cached(curTapTask, "_curTapTask");
}
void *FIS_fwAppl_EnterNormal() {
  return Cached(applEnterNormal, "_Z16Appl_EnterNormalh");
}

bool InitTAPex() {
  if (LibInitialized) return true;
  ApplID = word(TAP_GetVersion());
  if (const uint32_t *index = static_cast<const uint32_t *>(FIS_vCurTapTask()))
    TAP_TableIndex = int(*index);
  LibInitialized = true;
  return true;
}

word GetSysID() {
  if (!LibInitialized) InitTAPex();
  return word(TAP_GetSystemId());
}

void TAP_EnterNormalNoInfo() {
  if (void *routine = FIS_fwAppl_EnterNormal())
    reinterpret_cast<void (*)(unsigned char)>(routine)(0);
}

// The model file, loaded whole on the first successful call and kept.
static unsigned char *firmwareDat;
static dword firmwareDatLength;

static uint32_t Word32(const unsigned char *p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// A file must hold its header and every record it announces: the records
// are read by position, so a short file would be read past its end.
static bool FirmwareDatValid(const unsigned char *data, dword length) {
  if (length < dword(kFirmwareDatRecordsOffset)) return false;
  if (Word32(data) != kFirmwareDatMagic || Word32(data + 8) != 0) return false;
  const uint64_t records = Word32(data + 12);
  return kFirmwareDatRecordsOffset + records * kFirmwareDatRecordSize <= length;
}

bool LoadFirmwareDat(const uint32_t **Header, const unsigned char **Records,
                     const unsigned char **Tail) {
  if (!firmwareDat) {
    HDD_TAP_PushDir();
    if (INILocateFile("FirmwareTMS.dat", nullptr) != INILOCATION_NotFound) {
      if (TYPE_File *f = TAP_Hdd_Fopen("FirmwareTMS.dat")) {
        const dword length = TAP_Hdd_Flen(f);
        unsigned char *data =
            length ? static_cast<unsigned char *>(TAP_MemAlloc_Chk("LoadFirmwareDat", length))
                   : nullptr;
        if (data && TAP_Hdd_Fread(data, length, 1, f) == 1 && FirmwareDatValid(data, length)) {
          firmwareDat = data;
          firmwareDatLength = length;
        } else if (data) {
          TAP_MemFree(data);
        }
        TAP_Hdd_Fclose(f);
      }
    }
    HDD_TAP_PopDir();
    if (!firmwareDat) return false;
  }
  const uint32_t records = Word32(firmwareDat + 12);
  // Handed out as the receiver's 32-bit words; the file is little-endian
  // like the receiver.
  if (Header) *Header = reinterpret_cast<const uint32_t *>(firmwareDat);
  if (Records) *Records = firmwareDat + kFirmwareDatRecordsOffset;
  if (Tail) *Tail = firmwareDat + kFirmwareDatRecordsOffset + records * kFirmwareDatRecordSize;
  return true;
}

void ReleaseFirmwareDat() {
  if (firmwareDat) TAP_MemFree(firmwareDat);
  firmwareDat = nullptr;
  firmwareDatLength = 0;
}
