// tklib.h - the toolkit library compiled into the plug-in: OSD menus, the
// on-screen keyboard, fonts, INI files and the file, string, time, key and
// firmware helpers.
#ifndef TKLIB_H
#define TKLIB_H

#include <stdint.h>

#include "tap.h"

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

bool KeyTranslate(bool Enable, TAP_EventHandlerFunc EventHandler);

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
