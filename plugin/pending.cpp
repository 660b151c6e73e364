// pending.cpp - stand-ins for parts of the plug-in that are not built yet.
#include "Velumo.h"
#include "logo.h"

// STUB: renaming needs the on-screen keyboard, which is not built yet.  Until
// then the rename key is not the plug-in's: it goes on to the firmware.
int32_t StartRename(const char *) {
  return 0;
}
