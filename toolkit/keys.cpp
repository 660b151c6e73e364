// keys.cpp - the remote-control key table.
#include "tklib.h"

const KeyEntry Tasten[kKeyCount] = {
    {"NoKey", 0x00000, "NoKey"},
    {"Mute", RKEY_Mute, "RKEY_Mute"},
    {"0", RKEY_0, "RKEY_0"},
    {"1", RKEY_1, "RKEY_1"},
    {"2", RKEY_2, "RKEY_2"},
    {"3", RKEY_3, "RKEY_3"},
    {"4", RKEY_4, "RKEY_4"},
    {"5", RKEY_5, "RKEY_5"},
    {"6", RKEY_6, "RKEY_6"},
    {"7", RKEY_7, "RKEY_7"},
    {"8", RKEY_8, "RKEY_8"},
    {"9", RKEY_9, "RKEY_9"},
    {"Recall", RKEY_Recall, "RKEY_Recall"},
    {"Info", RKEY_Info, "RKEY_Info"},
    {"Left", RKEY_Left, "RKEY_Left"},
    {"Right", RKEY_Right, "RKEY_Right"},
    {"Up", RKEY_Up, "RKEY_Up"},
    {"Down", RKEY_Down, "RKEY_Down"},
    {"V+", RKEY_VolUp, "RKEY_VolUp"},
    {"V-", RKEY_VolDown, "RKEY_VolDown"},
    {"Ch+", RKEY_ChUp, "RKEY_ChUp"},
    {"Ch-", RKEY_ChDown, "RKEY_ChDown"},
    {"OK", RKEY_Ok, "RKEY_Ok"},
    {"Menu", RKEY_Menu, "RKEY_Menu"},
    {"Guide", RKEY_Guide, "RKEY_Guide"},
    {"PlayList", RKEY_PlayList, "RKEY_PlayList"},
    {"Exit", RKEY_Exit, "RKEY_Exit"},
    {"Red", RKEY_NewF1, "RKEY_NewF1"},
    {"Green", RKEY_F2, "RKEY_F2"},
    {"Yellow", RKEY_F3, "RKEY_F3"},
    {"Blue", RKEY_F4, "RKEY_F4"},
    {"White", RKEY_White, "RKEY_White"},
    {"Subtitle", RKEY_Subt, "RKEY_Subt"},
    {"Teletext", RKEY_Teletext, "RKEY_Teletext"},
    {"AudioTrk", RKEY_AudioTrk, "RKEY_AudioTrk"},
    {"VF", RKEY_VFormat, "RKEY_VFormat"},
    {"AR", RKEY_Uhf, "RKEY_Uhf"},
    {"Sleep", RKEY_Sleep, "RKEY_Sleep"},
    {"TvRadio", RKEY_TvRadio, "RKEY_TvRadio"},
    {"Record", RKEY_Record, "RKEY_Record"},
    {"Stop", RKEY_Stop, "RKEY_Stop"},
    {"SAT", RKEY_Sat, "RKEY_Sat"},
    {"M", RKEY_TvSat, "RKEY_TvSat"},
    {"Rewind", RKEY_Rewind, "RKEY_Rewind"},
    {"Pause", RKEY_Pause, "RKEY_Pause"},
    {"Play", RKEY_Play, "RKEY_Play"},
    {"Forward", RKEY_Forward, "RKEY_Forward"},
    {"Prev", RKEY_Prev, "RKEY_Prev"},
    {"Slow", RKEY_Slow, "RKEY_Slow"},
    {"Edit", RKEY_Ab, "RKEY_Ab"},
    {"Next", RKEY_Next, "RKEY_Next"},
};

int32_t RemoteType = 1;
TAP_EventHandlerFunc Original_TAP_EventHandler = nullptr;

// The firmware's plug-in table entry of the running plug-in, word 5 of which
// is the event handler the firmware calls.
static dword *OwnTableEntry() {
  dword *table = FIS_vTAPTable();
  const uint32_t *current = static_cast<const uint32_t *>(FIS_vCurTapTask());
  if (!table || !current || *current >= 16) return nullptr;
  return table + *current * 11;
}

// The remote type of this receiver model, from the model file when there is one.
static void DetermineRemoteType() {
  const uint32_t *header = nullptr;
  const unsigned char *records = nullptr;
  if (!LoadFirmwareDat(&header, &records, nullptr)) return;
  const unsigned char *h = reinterpret_cast<const unsigned char *>(header);
  const uint32_t count =
      uint32_t(h[12]) | uint32_t(h[13]) << 8 | uint32_t(h[14]) << 16 | uint32_t(h[15]) << 24;
  const word systemId = word(TAP_GetSystemId());
  for (uint32_t i = 0; i < count; ++i) {
    const unsigned char *r = records + size_t(i) * kFirmwareDatRecordSize;
    if (word(r[0] | r[1] << 8) != systemId) continue;
    RemoteType = int32_t(uint32_t(r[320]) | uint32_t(r[321]) << 8 | uint32_t(r[322]) << 16 |
                         uint32_t(r[323]) << 24);
    return;
  }
}

bool KeyTranslate(bool Enable, TAP_EventHandlerFunc EventHandler) {
  DetermineRemoteType();
  dword *entry = OwnTableEntry();
  if (!entry) return false;
  const dword hook = dword(&KeyTranslateHook);
  if (Enable) {
    if (entry[5] != dword(EventHandler)) return false;
    Original_TAP_EventHandler = EventHandler;
    entry[5] = hook;
    return true;
  }
  if (entry[5] != hook) return false;
  entry[5] = dword(Original_TAP_EventHandler);
  Original_TAP_EventHandler = nullptr;
  return true;
}

// The second remote control labels its keys differently; its codes are
// exchanged for the ones the plug-in expects.
static dword TranslateKey(dword key) {
  static const struct {
    uint32_t from, to;
  } kSecondRemote[] = {
      {RKEY_F2, RKEY_VolDown},  {RKEY_F3, RKEY_ChUp},     {RKEY_F4, RKEY_ChDown},
      {RKEY_Ab, RKEY_White},    {RKEY_NewF1, RKEY_VolUp}, {RKEY_ChUp, RKEY_VFormat},
      {RKEY_VolUp, RKEY_NewF1}, {RKEY_VolDown, RKEY_F2},  {RKEY_White, RKEY_F3},
      {0x1004A, RKEY_F4},
  };
  const uint32_t code = uint32_t(key) & 0x1FFFF;
  for (const auto &t : kSecondRemote)
    if (t.from == code) return (key & ~dword(0x1FFFF)) | t.to;
  return key;
}

dword KeyTranslateHook(word Event, dword Param1, dword Param2) {
  if (!Original_TAP_EventHandler) return Param1;
  if (Event != EVT_KEY) return Original_TAP_EventHandler(Event, Param1, Param2);
  if (RemoteType == 2) Param1 = TranslateKey(Param1);
  return Original_TAP_EventHandler(Event, Param1, Param2) == 0 ? 0 : Param1;
}
