// pending.cpp - stand-ins for parts of the plug-in that are not built yet.
//
// STUBS: the file list, its menu actions, the logo display and the PNG and
// JPEG import replace these one by one.  Until then the list is empty, no
// logo is shown, and PNG and JPEG logos fail to load (result 0, as any
// failed load).
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

int32_t LoadPNG(const char *) {
  return 0;
}
int32_t LoadJPG(const char *, const char *) {
  return 0;
}
