// Velumo.h - the plug-in's global state and the routines its parts share.
#ifndef VELUMO_H
#define VELUMO_H

#include <stdint.h>

#include "logo.h"
#include "logo_formats.h"
#include "logo_host.h"
#include "tap.h"

// The version is the project's (CMakeLists.txt), "1.0" gives "V1.0".
#define PROGRAM_VERSION "V" VELUMO_VERSION
#define PROGRAM_NAME "Velumo " PROGRAM_VERSION
// The logo formats' extensions, from the table of formats.
#define LOGO_FILTER LogoFilter()

enum {
  MS_Inactive = 0,
  MS_Filelist = 1,
  MS_LogoDetail = 2,
  MS_Rename = 3,
};

extern int32_t myState;
extern int32_t lang;
extern word rgn;
extern int32_t exitkey;
extern char currentDir[255];
extern char logofile[128];
extern char Text[101];
// The status line below the title, drawn with every repaint of the list.
extern char statusText[256];
extern int32_t iSelection, itSelection;
extern int32_t dump, sortnameasc, sortvalueasc, sortidasc;
extern uint32_t bgcolor;
extern int32_t showerror, showtrans;

// Settings (Velumo.ini)
constexpr int kPathSlots = 30;
constexpr int kPathSize = 128;
constexpr int kBuiltinPaths = 22;
extern char path[kPathSlots][kPathSize];
extern uint8_t pathcnt, pathcur;
extern int32_t sort, debug;
extern const char *const kBuiltinPathList[kBuiltinPaths];

extern "C" {
int TAP_Main(void);
dword TAP_EventHandler(word event, dword param1, dword param2);
}

void MyInit();
void MyFinish(word event);
void ChangeState(int32_t newState);

// German when the firmware's OSD language is German.
inline const char *Lang(const char *german, const char *english) {
  return lang ? german : english;
}

// ---- settings --------------------------------------------------------------
void LoadSettings();
void SaveSettings();

// ---- browser and logo engine ----------------------------------------------
void ShowFilelistMenu(char *dir, const char *filter);
void ShowFilelistMenuButtons(int32_t noSync, const char *text);
// The status line in the user's language.
void Status(const char *german, const char *english);
void HideFilelistMenu(int32_t keep);
int32_t MenuAction(dword key);
// What an entry of the file list is, told by its value column and
// identifier, never by its name; kEntryCut is an entry whose name the list
// holds only in part, so that nothing may act on it.
enum EntryKind { kEntryMissing, kEntryParent, kEntryFolder, kEntryFile, kEntryCut };
EntryKind EntryKindOf(const char *value, uint32_t id);
EntryKind CurrentEntryKind();
// A file's value column: "yy-mm-dd, hh:mm, size unit" into 80 bytes.
void FileValueText(char *out, int year, int month, int day, int hour, int minute, int size,
                   const char *unit);
// Status text and log line for a key pressed on a kEntryCut entry.
void RefuseCutName(const char *listed);
// The rename key: opens the keyboard on the entry name; 0 = the key goes on
// to the firmware as well.
int32_t StartRename(const char *name);
extern int32_t letterindex[50];
extern uint8_t lettercnt, currentletter;
extern int32_t pushpop;
void ShowChannelLogo(word region, int32_t x, int32_t y, int32_t detail);
// The logo at 1:1 beside the list, shown with the next sync.
void DrawLogoPreview(word region, int32_t x, int32_t y);

#endif
