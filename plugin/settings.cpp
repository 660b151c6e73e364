// settings.cpp - the plug-in's options in Velumo.ini: read once at start and
// written straight back, which creates the file with defaults on the first
// run and normalises it afterwards.
#include <string.h>

#include "Velumo.h"
#include "tklib.h"

char path[kPathSlots][kPathSize];
uint8_t pathcnt = 0, pathcur = 0;
int32_t sort = 0, debug = 0;

const char *const kBuiltinPathList[kBuiltinPaths] = {
    "/ProgramFiles/Settings/Logos/trans-black/169",
    "/ProgramFiles/Settings/Logos/3pg/169",
    "/ProgramFiles/Settings/Logos",
    "/ProgramFiles/Settings/Tavrik/Logos_TMS43/TV",
    "/ProgramFiles/Settings/Tavrik/Logos_TMS43/Radio",
    "/ProgramFiles/Settings/Tavrik/Logos_TMS169/TV",
    "/ProgramFiles/Settings/Tavrik/Logos_TMS169/Radio",
    "/ProgramFiles/Settings/Tavrik/Logos_TMS43/TV_Small",
    "/ProgramFiles/Settings/Tavrik/Logos_TMS43/Radio_Small",
    "/ProgramFiles/Settings/Tavrik/Logos_TMS169/TV_Small",
    "/ProgramFiles/Settings/Tavrik/Logos_TMS169/Radio_Small",
    "/ProgramFiles/Settings/Tavrik/Logos_Qt43/TV",
    "/ProgramFiles/Settings/Tavrik/Logos_Qt43/Radio",
    "/ProgramFiles/Settings/Tavrik/Logos_Qt169/TV",
    "/ProgramFiles/Settings/Tavrik/Logos_Qt169/Radio",
    "/ProgramFiles/Settings/Tavrik/Logos_Qt43/TV_Small",
    "/ProgramFiles/Settings/Tavrik/Logos_Qt43/Radio_Small",
    "/ProgramFiles/Settings/Tavrik/Logos_Qt169/TV_Small",
    "/ProgramFiles/Settings/Tavrik/Logos_Qt169/Radio_Small",
    "/ProgramFiles/ChannelLogos/TV",
    "/ProgramFiles/ChannelLogos/Radio",
    "/PhotoFiles/Settings/Logos",
};

static const char kIniName[] = "Velumo.ini";
static const char kAppName[] = "Velumo";
static const char kBackupName[] = "Velumo.ini.bak";
static const char kSettingsFolder[] = "/ProgramFiles/Settings/Velumo";

// Whether this run could read its settings.  A file that exists but could
// not be read (a failed allocation, say) is still the user's: it is not
// replaced with the defaults.
static bool settingsRead = false;

// Changes into /ProgramFiles/Settings/Velumo, creating the folders on the way.
static void EnterSettingsFolder() {
  TAP_Hdd_ChangeDir("/ProgramFiles");
  if (!TAP_Hdd_Exist("Settings")) TAP_Hdd_Create("Settings", ATTR_FOLDER);
  TAP_Hdd_ChangeDir("Settings");
  if (!TAP_Hdd_Exist(kAppName)) TAP_Hdd_Create(kAppName, ATTR_FOLDER);
  TAP_Hdd_ChangeDir(kAppName);
}

// A folder of the name is no settings file, and moving it would take its
// contents along.
static bool IsPlainFile(const char *name) {
  TYPE_File *f = TAP_Hdd_Exist(name) ? TAP_Hdd_Fopen(name) : nullptr;
  if (f) TAP_Hdd_Fclose(f);
  return f != nullptr;
}

// A save that was cut off leaves only the backup of the last file, which
// holds the settings: it takes the file's place again.
static void RecoverBackup() {
  HDD_TAP_PushDir();
  const bool recovered = TAP_Hdd_ChangeDir(kSettingsFolder) && !TAP_Hdd_Exist(kIniName) &&
                         IsPlainFile(kBackupName) && TAP_Hdd_Rename(kBackupName, kIniName);
  HDD_TAP_PopDir();
  if (recovered) WriteLog("LoadSettings: %s recovered from %s\n", kIniName, kBackupName);
}

void LoadSettings() {
  RecoverBackup();
  int found = INIOpenFile(kIniName, kAppName);
  if (found == INILOCATION_NewFile) {
    EnterSettingsFolder();
    INISaveFile(kIniName, INILOCATION_AtAppDir, kAppName);
    INICloseFile();
    found = INIOpenFile(kIniName, kAppName);
  }
  settingsRead = found != INILOCATION_NotFound;
  if (!settingsRead) {
    // What a failed read left in the buffer is no setting: all defaults.
    INICloseFile();
    WriteLog("LoadSettings: %s cannot be read, the defaults are used and the file is kept\n",
             kIniName);
  }
  showerror = INIGetInt("ShowError", 0, 0, 1);
  showtrans = INIGetInt("ShowTrans", 0, 0, 1);
  bgcolor = INIGetHexDWord("TestBG", 0xFF101010, 0, 0xFFFFFFFF);
  exitkey = INIGetInt("ExitKey", 40, 0, 50);
  pathcnt = 0;
  for (int n = 1; n <= kPathSlots; ++n) {
    char key[16];
    TAP_SPrint(key, "Path%02d", n);
    INIGetString(key, path[n - 1], "", kPathSize);
    if (path[n - 1][0]) ++pathcnt;
  }
  pathcur = uint8_t(INIGetInt("PathCur", 1, 1, kPathSlots) - 1);
  sort = INIGetInt("Sort", 0, 0, 6);
  if (sort == 2) sortnameasc = 1;
  if (sort == 4) sortvalueasc = 1;
  if (sort == 6) sortidasc = 1;
  debug = INIGetInt("Debug", 0, 0, 1);
  INICloseFile();

  if (pathcnt == 0) {
    for (int i = 0; i < kPathSlots; ++i) {
      if (i < kBuiltinPaths)
        strcpy(path[i], kBuiltinPathList[i]);
      else
        path[i][0] = '\0';
    }
    pathcnt = kBuiltinPaths;
  }

  WriteLog("LoadSettings: ShowError %d, ShowTrans %d, TestBG 0x%08X, ExitKey %d\n", int(showerror),
           int(showtrans), unsigned(bgcolor), int(exitkey));
  for (int i = 0; i < kPathSlots; ++i)
    if (path[i][0]) WriteLog("LoadSettings: Path[%02d] <%s>\n", i + 1, path[i]);
  WriteLog("LoadSettings: PathCnt %d, PathCur %d, Sort %d, Debug %d\n", int(pathcnt), pathcur + 1,
           int(sort), int(debug));
  WriteDebugLog("< Loading Settings\n");
}

// The old file is kept aside until the new one is written in full, so that
// a failed write (a full disk) never leaves the user without settings, and
// a save cut off leaves the backup for the next start.  A backup name that
// is taken is not ours to remove: the file is then replaced through the
// INI module's temporary file alone.
void SaveSettings() {
  WriteDebugLog("> Saving Settings\n");
  if (!settingsRead) {
    WriteDebugLog("< Saving Settings\n");
    return;
  }
  EnterSettingsFolder();
  const bool kept =
      IsPlainFile(kIniName) && !TAP_Hdd_Exist(kBackupName) && TAP_Hdd_Rename(kIniName, kBackupName);
  // Only the settings go into the new file, not what a copy in another
  // folder that the search would find holds.
  ININewBuffer();
  INISetInt("ShowError", showerror);
  INISetInt("ShowTrans", showtrans);
  INISetHexDWord("TestBG", bgcolor);
  INISetInt("ExitKey", exitkey);
  for (int n = 1; n <= kPathSlots; ++n) {
    char key[16];
    TAP_SPrint(key, "Path%02d", n);
    INISetString(key, path[n - 1]);
  }
  INISetInt("PathCur", pathcur + 1);
  INISetInt("Sort", sort);
  INISetInt("Debug", debug);
  const bool saved = INISaveFile(kIniName, INILOCATION_AtAppDir, kAppName);
  INICloseFile();
  EnterSettingsFolder();
  if (kept) {
    if (saved)
      TAP_Hdd_Delete(kBackupName);
    else
      TAP_Hdd_Rename(kBackupName, kIniName);
  }
  WriteDebugLog("< Saving Settings\n");
}
