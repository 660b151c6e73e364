// Velumo.cpp - the plug-in's spine: start-up, shutdown, its states and the
// dispatch of the firmware's events.
#include "Velumo.h"

#include <stdio.h>
#include <string.h>

#include "tklib.h"

int32_t myState = MS_Inactive;
int32_t lang = 0;
word rgn = 0;
int32_t exitkey = 40;
char currentDir[255];
char logofile[128];
char Text[101];
int32_t iSelection = 0, itSelection = 0;
int32_t dump = 0, sortnameasc = 0, sortvalueasc = 0, sortidasc = 0;
uint32_t bgcolor = 0xFF101010;
int32_t showerror = 0, showtrans = 0;

static const char *const kStateNames[] = {"MS_Inactive\n", "MS_Filelist\n", "MS_LogoDetail\n",
                                          "MS_Rename\n"};

void ChangeState(int32_t newState) {
  if (myState != newState && newState >= MS_Inactive && newState <= MS_Rename)
    WriteLog("%s", kStateNames[newState]);
  myState = newState;
}

// Creates the folder or file in the current directory unless it is there.
static void EnsureExists(const char *name, byte attr) {
  if (!TAP_Hdd_Exist(name)) TAP_Hdd_Create(name, attr);
}

void MyInit() {
  TAP_Hdd_ChangeDir("/ProgramFiles");
  EnsureExists("Settings", ATTR_FOLDER);
  TAP_Hdd_ChangeDir("Settings");
  EnsureExists("Velumo", ATTR_FOLDER);
  TAP_Hdd_ChangeDir("Velumo");
  EnsureExists("Velumo.log", ATTR_NORMAL);

  WriteLog("Programmstart %s\n", PROGRAM_NAME);
  WriteLog("- System ID %d\n", int(TAP_GetSystemId()));
  WriteLog("- Firmware version %X\n", unsigned(TAP_GetVersion()));

  lang = TAP_GetSystemVar(SYSVAR_OsdLan) == LAN_German ? 2 : 0;
  dump = sortnameasc = sortvalueasc = sortidasc = 0;
  LoadSettings();
  SaveSettings();

  rgn = TAP_Osd_Create(0, 0, OSD_WIDTH, OSD_HEIGHT, 0, 0);
  TAP_Osd_FillBox(rgn, 0, 0, OSD_WIDTH, OSD_HEIGHT, 0xFF101010);
  TAP_Osd_Sync();

  ChangeState(MS_Filelist);
  OSDMenuInitialize(true, true, true, true, PROGRAM_NAME, nullptr);
  OSDMenuItemAdd(Lang("Programmstart ...", "Starting ..."), nullptr, nullptr, nullptr, true, false,
                 0);
  Status("Lade Liste ...", "Loading list ...");
  strcpy(currentDir, path[pathcur]);
  ShowFilelistMenu(currentDir, LOGO_FILTER);
  WriteDebugLog("< Initialization\n");
}

void MyFinish(word event) {
  WriteDebugLog("> Finalization\n");
  // A stop request may come while the rename keyboard is open; it goes with
  // the plug-in (nothing happens when none is open).
  OSDMenuKeyboard_Finish();
  // Every menu level goes, not only the one open now (the list lies below
  // the detail view, and below a directory change).
  while (OSDMenuPop()) {
  }
  OSDMenuDestroy();
  ChangeState(MS_Inactive);
  TAP_Osd_FillBox(rgn, 0, 0, OSD_WIDTH, OSD_HEIGHT, 0);
  TAP_Osd_Sync();
  TAP_Osd_Delete(rgn);
  TAP_Osd_Sync();
  // On a stop request the firmware takes the screen back itself.
  if (event != EVT_STOP) TAP_EnterNormal();
  WriteDebugLog("< Finalization\n");
  WriteLog("Programmende %s\n", PROGRAM_NAME);
  // The kept model file is the one block the toolkit holds for the run.
  ReleaseFirmwareDat();
  TAP_Exit();
}

extern "C" int TAP_Main(void) {
  KeyTranslate(true, TAP_EventHandler);
  MyInit();
  return 1;
}

// Previous or next logo of the list, shown in the detail view.  The list
// lies one menu level below the detail view's empty level.
static void StepLogo(bool forward) {
  OSDMenuPop();
  if (forward)
    OSDMenuScrollDown();
  else
    OSDMenuScrollUp();
  const char *name = OSDMenuItemGetCurrentName();
  char next[sizeof logofile];
  strncpy(next, name ? name : "", sizeof next - 1);
  next[sizeof next - 1] = '\0';
  // The listed part of a longer name may be the name of some other logo.
  const bool cut = CurrentEntryKind() == kEntryCut;
  OSDMenuPush();
  if (cut) {
    RefuseCutName(next);
    return;
  }
  // A failed step keeps the picture shown, and the name that goes with it.
  if (LoadChannelLogo(currentDir, next)) {
    strcpy(logofile, next);
    ShowChannelLogo(rgn, 0, 0, 1);
  }
}

static dword LogoDetailKey(dword key) {
  switch (key) {
  case RKEY_Up:
  case RKEY_Left:
  case RKEY_Rewind:
  case RKEY_Prev:
    WriteDebugLog("- pressed Up/Left/Rwd/Prev\n");
    StepLogo(false);
    return 0;
  case RKEY_Down:
  case RKEY_Right:
  case RKEY_Forward:
  case RKEY_Next:
    WriteDebugLog("- pressed Down/Right/Ffwd/Next\n");
    StepLogo(true);
    return 0;
  case RKEY_NewF1:
    WriteDebugLog("- pressed Red\n");
    bgcolor = bgcolor == 0xFF101010 ? 0 : 0xFF101010;
    ShowChannelLogo(rgn, 0, 0, 1);
    return 0;
  case RKEY_F2:
    WriteDebugLog("- pressed Green\n");
    showerror = !showerror;
    ShowChannelLogo(rgn, 0, 0, 1);
    return 0;
  case RKEY_F3:
    WriteDebugLog("- pressed Yellow\n");
    showtrans = !showtrans;
    ShowChannelLogo(rgn, 0, 0, 1);
    return 0;
  case RKEY_F4:
    WriteDebugLog("- pressed Blue\n");
    dump = !dump;
    Status("Daten-Dump ...", "Dumping data ...");
    ShowChannelLogo(rgn, 0, 0, 1);
    Status("Daten-Dump - fertig", "Dumping data - finished");
    return 0;
  case RKEY_Menu:
  case RKEY_Ok:
  case RKEY_Exit:
    WriteDebugLog("- pressed Ok/Menu/Exit\n");
    ChangeState(MS_Filelist);
    Status("Lade Liste ...", "Loading list ...");
    OSDMenuPop();
    iSelection = OSDMenuGetCurrentItem();
    ShowFilelistMenu(currentDir, LOGO_FILTER);
    return 0;
  default:
    return key;
  }
}

// A new name must stay one file of this folder and must not take the place
// of another file: such a name is refused and the file keeps its name.
static bool RenameRefused() {
  const bool unchanged = strcmp(Text, logofile) == 0;
  if (!Text[0] || strchr(Text, '/') || strcmp(Text, ".") == 0 || strcmp(Text, "..") == 0) {
    WriteLog("= Not renaming <%s>: <%s> is no file name\n", logofile, Text);
    snprintf(buf, sizeof buf, "%s",
             Lang("Ung\xFCltiger Name - nicht umbenannt", "Invalid name - not renamed"));
  } else if (!unchanged && TAP_Hdd_Exist(Text)) {
    WriteLog("= Not renaming <%s>: <%s> already exists\n", logofile, Text);
    snprintf(buf, sizeof buf,
             Lang("%s existiert bereits - nicht umbenannt", "%s already exists - not renamed"),
             Text);
  } else {
    return false;
  }
  ChangeState(MS_Filelist);
  ShowFilelistMenu(currentDir, LOGO_FILTER);
  ShowFilelistMenuButtons(0, buf);
  return true;
}

static void CompleteRename() {
  TAP_Hdd_ChangeDir(currentDir);
  if (RenameRefused()) return;
  WriteLog("Renaming <%s> to <%s>\n", logofile, Text);
  TAP_Hdd_Rename(logofile, Text);
  ChangeState(MS_Filelist);
  Status("Aktualisiere Liste ...", "Refreshing list ...");
  ShowFilelistMenu(currentDir, LOGO_FILTER);
}

extern "C" dword TAP_EventHandler(word event, dword param1, dword param2) {
  if (event == EVT_STOP) {
    MyFinish(EVT_STOP);
    return 0;
  }
  // ExitKey 0 is "NoKey", whose code 0 no remote key has: only the stop
  // request ends the plug-in then, whatever code an event carries.
  if (event == EVT_KEY && exitkey >= 0 && exitkey < kKeyCount && Tasten[exitkey].KeyCode != 0 &&
      param1 == Tasten[exitkey].KeyCode) {
    WriteDebugLog("- pressed defined exit key\n");
    MyFinish(EVT_KEY);
    return 0;
  }
  switch (myState) {
  case MS_Rename:
    if (!OSDMenuKeyboard_EventHandler(&event, &param1, &param2)) {
      TAP_Osd_Sync();
      return 0;
    }
    CompleteRename();
    return 0;
  case MS_Filelist:
    if (event != EVT_KEY) break;
    // A cursor key is drawn once, with the title and preview that follow it.
    if (OSDMenuCursorKey(param1) || OSDMenuEvent(&event, &param1, &param2)) {
      ShowFilelistMenuButtons(0, "");
      return 0;
    }
    return MenuAction(param1) ? 0 : param1;
  case MS_LogoDetail:
    if (event != EVT_KEY) break;
    return LogoDetailKey(param1);
  default:
    break;
  }
  return param1;
}
