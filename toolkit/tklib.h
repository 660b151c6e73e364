// tklib.h - the toolkit library compiled into the plug-in: OSD menus, the
// on-screen keyboard, fonts, INI files and the file, string, time, key and
// firmware helpers.
#ifndef TKLIB_H
#define TKLIB_H

#include <stdint.h>

#include "tap.h"

extern const char *__tklib_version__;

// ---- firmware introspection (firmware objects found by name) -------------
void *TryResolve(const char *Symbol);
void *FIS_vOsdMap();
dword *FIS_vTAPTable();
void *FIS_vCurTapTask();
void *FIS_fwAppl_EnterNormal();
bool InitTAPex();
word GetSysID();
// 1 with pointers to the model file's start, its first model record and the
// table after the records (each output optional), else 0.
bool LoadFirmwareDat(const uint32_t **Header, const unsigned char **Records,
                     const unsigned char **Tail);
// Gives the kept model file back to the heap; the plug-in calls it when it
// ends, so that it leaves no block behind.
void ReleaseFirmwareDat();
extern bool LibInitialized;
extern word ApplID;
extern int TAP_TableIndex;

constexpr int kFirmwareDatRecordSize = 348;
constexpr int kFirmwareDatRecordsOffset = 20;
constexpr uint32_t kFirmwareDatMagic = 0x12345678;

// ---- directories -------------------------------------------------------------
constexpr int kDirStackDepth = 16;
constexpr int kDirStackEntry = 200;
extern char TAPDirStack[kDirStackDepth][kDirStackEntry];
extern int32_t TAPDirStackDepth;
int HDD_TAP_GetCurrentDir(char *Destination);
bool HDD_TAP_PushDir();
void HDD_TAP_PopDir();
bool HDD_ChangeDir(const char *Path);

// ---- strings (in place; the caller provides room) --------------------------
bool StringEndsWith(const char *Text, const char *Suffix);
void UpperCase(char *Text);
void DeleteAt(char *Text, int Position, int Count);
void InsertAt(char *Text, int Position, const char *Insert);
bool StrReplace(char *Text, const char *Find, const char *Replace);
char *stricstr(const char *Haystack, const char *Needle);
void StrToUTF8(const char *Source, char *Destination);
word CharToUTF8(const char *Pointer);
void SeparateFileNameComponents(const char *FileName, char *Name, char *Extension, char *Number,
                                bool *IsRecording, bool *IsDeleted);

// ---- time -------------------------------------------------------------------
dword Now(byte *Seconds);
char *TimeFormat(dword DateTime, byte Seconds, int Format);

// ---- diagnostics, memory, bitmap, screen -------------------------------------
void PrintNet(const char *Text);
void *TAP_MemAlloc_Chk(const char *Caller, dword Size);
bool BMP_WriteHeader(TYPE_File *File, int Width, int Height);
bool SaveBitmap(const char *FileName, int Width, int Height, const byte *Pixels);
void TAP_EnterNormalNoInfo();

// ---- INI files ----------------------------------------------------------------
enum {
  INILOCATION_NotFound = 0,
  INILOCATION_NewFile = 1,
  INILOCATION_AtCurrentDir = 2,
  INILOCATION_AtAppDir = 3,
  INILOCATION_AtSettingsDir = 4,
  INILOCATION_AtProgramFilesDir = 5,
};
extern char *INIBuffer;
extern uint32_t BufferSize;
extern char *INICommentBuffer;
int INIOpenFile(const char *FileName, const char *AppName);
int INILocateFile(const char *FileName, const char *AppName);
void INIFindStartEnd(const char *KeyWithEquals, char **Start, char **End, dword MaxLength);
bool INIGetString(const char *Key, char *Destination, const char *Default, dword Size);
int32_t INIGetInt(const char *Key, int32_t Default, int32_t Min, int32_t Max);
uint32_t INIGetHexDWord(const char *Key, uint32_t Default, uint32_t Min, uint32_t Max);
void INISetString(const char *Key, const char *Value);
void INISetInt(const char *Key, int32_t Value);
void INISetHexDWord(const char *Key, uint32_t Value);
bool INISaveFile(const char *FileName, int Location, const char *AppName);
void INICloseFile();

// ---- keys ------------------------------------------------------------------
// One row of the remote-control key table: the name printed on the key, its
// firmware key code and the platform's name of it.
struct KeyEntry {
  char ShortName[12];
  uint32_t KeyCode;
  char PlatformName[16];
};
constexpr int kKeyCount = 51;
extern const KeyEntry Tasten[kKeyCount];

extern int32_t RemoteType;
extern TAP_EventHandlerFunc Original_TAP_EventHandler;
bool KeyTranslate(bool Enable, TAP_EventHandlerFunc EventHandler);
dword KeyTranslateHook(word Event, dword Param1, dword Param2);

// ---- OSD menu -------------------------------------------------------------
bool OSDMenuInitialize(bool SpareFlag, bool ValueColumn, bool Numbered, bool WrapAround,
                       const char *TitleLeft, const char *TitleRight);
bool OSDMenuItemAdd(const char *Name, const char *Value, const GraphicDescriptor *NameIcon,
                    const GraphicDescriptor *ValueIcon, bool Selectable, bool ValueArrows,
                    uint32_t ID);
bool OSDMenuPush();
bool OSDMenuPop();
char *OSDMenuItemGetCurrentName();
int OSDMenuGetCurrentItem();
void OSDMenuDestroy();
bool OSDMenuEvent(word *Event, dword *Param1, dword *Param2);
int OSDMenuScrollUp();
int OSDMenuScrollDown();

// ---- on-screen keyboard -----------------------------------------------------
int OSDMenuKeyboard_EventHandler(word *Event, dword *Param1, dword *Param2);

#endif
