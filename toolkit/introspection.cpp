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

// ---- loaded plug-ins ------------------------------------------------------------

// The firmware's plug-in table: 16 entries of eleven words.
constexpr int kTaskWords = 11;
constexpr int kTaskFileRecord = 2, kTaskHandler = 5;
constexpr int kFileRecordPaths = 144;

static dword *TaskEntry(int Index) {
  dword *table = FIS_vTAPTable();
  if (!table || Index < 0 || Index >= kTAPTableEntries) return nullptr;
  return table + Index * kTaskWords;
}

bool HDD_GetAbsolutePathByTypeFile(const void *FileRecord, char *Destination) {
  if (!Destination) return false;
  Destination[0] = '\0';
  if (!FileRecord) return false;
  const char *const *paths;
  memcpy(&paths, static_cast<const byte *>(FileRecord) + kFileRecordPaths, sizeof paths);
  if (!paths || !paths[2]) return false;
  // A path that does not fit is no path: a cut one would name another file.
  const size_t length = strlen(paths[2]);
  if (length >= size_t(kTAPPathSize)) return false;
  memcpy(Destination, paths[2], length + 1);
  return true;
}

// An entry without an event handler runs no plug-in (the stand-in keeps the
// entry of one that has ended, with the handler cleared), so it has no
// identifier either.
uint32_t HDD_TAP_GetIDByIndex(int Index) {
  const dword *entry = TaskEntry(Index);
  if (!entry || !entry[kTaskFileRecord] || !entry[kTaskHandler]) return 0;
  char path[kTAPPathSize];
  tTAPInfo info;
  if (!HDD_GetAbsolutePathByTypeFile(reinterpret_cast<const void *>(entry[kTaskFileRecord]),
                                     path) ||
      !HDD_TAP_GetInfoByAbsPath(path, &info))
    return 0;
  return info.TAPID;
}

int HDD_TAP_GetIndexByID(uint32_t ID) {
  if (!FIS_vTAPTable()) return -1;
  for (int i = 0; i < kTAPTableEntries; ++i)
    if (HDD_TAP_GetIDByIndex(i) == ID) return i;
  return -1;
}

bool HDD_TAP_isRunning(uint32_t ID) {
  return HDD_TAP_GetIndexByID(ID) >= 0;
}

// Runs entry Index's handler as the firmware would: with the current-task
// index switched to it, so that its own current directory and heap apply.
static dword CallEntry(int Index, word Event, dword Param1, dword Param2) {
  uint32_t *current = static_cast<uint32_t *>(FIS_vCurTapTask());
  const dword *entry = TaskEntry(Index);
  auto handler = reinterpret_cast<TAP_EventHandlerFunc>(entry[kTaskHandler]);
  const uint32_t previous = *current;
  *current = uint32_t(Index);
  const dword result = handler(Event, Param1, Param2);
  *current = previous;
  return result;
}

dword HDD_TAP_SendEvent(uint32_t ID, bool AllowAbort, word Event, dword Param1, dword Param2) {
  if (!FIS_vTAPTable() || !FIS_vCurTapTask()) return 0;
  if (ID) {
    const int index = HDD_TAP_GetIndexByID(ID);
    if (index < 0 || !TaskEntry(index)[kTaskHandler]) return 0;
    return CallEntry(index, Event, Param1, Param2);
  }
  dword result = 0;
  for (int i = 0; i < kTAPTableEntries; ++i) {
    if (!TaskEntry(i)[kTaskHandler]) continue;
    result = CallEntry(i, Event, Param1, Param2);
    if (result == 0 && AllowAbort) return 0;
  }
  return result;
}

// ---- the request channel ----------------------------------------------------------

// The opening plug-in's identifier.  Programs that link the toolkit without
// being a plug-in (tools, tests) have none; their channels carry 0.
extern "C" const uint32_t __tap_ud__ __attribute__((weak));

static uint32_t OwnID() {
  return &__tap_ud__ ? __tap_ud__ : 0;
}

TAPCOM_Channel TAPCOM_OpenChannel(uint32_t ID, dword Service, dword Param1, dword Param2) {
  if (!InitTAPex()) return nullptr;
  auto *channel =
      static_cast<TYPE_TAPCOM *>(TAP_MemAlloc_Chk("TAPCOM_OpenChannel", sizeof(TYPE_TAPCOM)));
  if (!channel) return nullptr;
  memset(channel, 0, sizeof *channel);
  channel->Magic = kTAPCOMMagic;
  channel->Version = kTAPCOMVersion;
  channel->FromID = OwnID();
  channel->ToID = ID;
  channel->ServiceID = Service;
  channel->Param1 = Param1;
  channel->Param2 = Param2;
  if (ID && !HDD_TAP_isRunning(ID)) {
    channel->Status = TAPCOM_Status_SERVER_NOT_AVAILABLE;
    return channel;
  }
  HDD_TAP_SendEvent(ID, false, EVT_TAPCOM, dword(channel), 0);
  return channel;
}

bool isValidChannel(TAPCOM_Channel Channel) {
  return Channel && static_cast<const TYPE_TAPCOM *>(Channel)->Magic == kTAPCOMMagic;
}

void TAPCOM_CloseChannel(TAPCOM_Channel Channel) {
  if (!isValidChannel(Channel)) return;
  auto *channel = static_cast<TYPE_TAPCOM *>(Channel);
  // Only the opener releases a channel: another plug-in's record is its own.
  if (channel->FromID != OwnID()) return;
  channel->Magic = 0;
  TAP_MemFree(channel);
}
