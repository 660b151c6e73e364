// pending.cpp - stand-ins for parts of the plug-in that are not built yet.
//
// STUBS: the file list, its menu actions and the logo display replace these
// one by one.  Until then the list is empty and no logo is shown.
#include "Velumo.h"
#include "logo.h"

void ShowFilelistMenu(char *, const char *) {
  ChangeState(MS_Filelist);
}
void ShowFilelistMenuButtons(int32_t, const char *) {}
int32_t MenuAction(dword) {
  return 0;
}

void ShowChannelLogo(word, int32_t, int32_t, int32_t) {}


