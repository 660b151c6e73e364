// pending.cpp - stand-ins for toolkit facilities that are not built yet.
//
// STUB: the on-screen keyboard replaces this; until then it closes at once,
// so a rename ends without a change.
#include "tklib.h"

int OSDMenuKeyboard_EventHandler(word *, dword *, dword *) {
  return 1;
}
