// pending.cpp - stand-ins for toolkit facilities that are not built yet.
//
// STUBS: the OSD menu, its key handling and the on-screen keyboard replace
// these one by one.  Until then the menu is empty (no key is consumed, the
// cursor never moves) and the keyboard closes at once.
#include "tklib.h"

bool OSDMenuInitialize(bool, bool, bool, bool, const char *, const char *) {
  return true;
}
bool OSDMenuItemAdd(const char *, const char *, const GraphicDescriptor *,
                    const GraphicDescriptor *, bool, bool, uint32_t) {
  return true;
}
bool OSDMenuPush() {
  return false;
}
bool OSDMenuPop() {
  return false;
}
char *OSDMenuItemGetCurrentName() {
  static char none[1] = "";
  return none;
}
int OSDMenuGetCurrentItem() {
  return 0;
}
void OSDMenuDestroy() {}
bool OSDMenuEvent(word *, dword *, dword *) {
  return false;
}
int OSDMenuScrollUp() {
  return -1;
}
int OSDMenuScrollDown() {
  return -1;
}

int OSDMenuKeyboard_EventHandler(word *, dword *, dword *) {
  return 1;
}
