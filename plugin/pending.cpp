// pending.cpp - stand-ins for parts of the plug-in that are not built yet.
//
// STUBS: the diagnostics log, the settings file, the file list, its menu
// actions and the logo engine replace these one by one.  Until then nothing
// is logged, the built-in defaults apply, the list is empty and no logo loads.
#include <string.h>

#include "Velumo.h"

void WriteLog(const char *) {}
void WriteDebugLog(const char *) {}

void LoadSettings() {
  exitkey = 40;
  bgcolor = 0xFF101010;
  showerror = 0;
  showtrans = 0;
  strcpy(currentDir, "/");
}
void SaveSettings() {}

void ShowFilelistMenu(char *, const char *) {
  ChangeState(MS_Filelist);
}
void ShowFilelistMenuButtons(int32_t, const char *) {}
int32_t MenuAction(dword) {
  return 0;
}
int32_t LoadChannelLogo(const char *, const char *) {
  return 0;
}
void ShowChannelLogo(word, int32_t, int32_t, int32_t) {}
