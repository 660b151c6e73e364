// menuaction.cpp - what the keys do on the file list: conversions, opening a
// logo or a folder, deleting, renaming, sorting, letter jumps and the
// directory list.
#include <stdio.h>
#include <string.h>

#include "Velumo.h"
#include "logo_formats.h"
#include "tklib.h"

static int32_t Refresh() {
  Status("Aktualisiere Liste ...", "Refreshing list ...");
  ShowFilelistMenu(currentDir, LOGO_FILTER);
  return 1;
}

static int32_t ChangeDirectory() {
  HideFilelistMenu(0);
  Status("Lade Liste ...", "Loading list ...");
  ShowFilelistMenu(currentDir, LOGO_FILTER);
  return 1;
}

static void CutAtLastSlash() {
  if (char *slash = strrchr(currentDir, '/')) *slash = '\0';
}

// An entry name as the file system has it: one file of currentDir.
static bool PlainName(const char *name) {
  return name[0] && strchr(name, '/') == nullptr && strcmp(name, ".") != 0 &&
         strcmp(name, "..") != 0 && strlen(name) < sizeof logofile;
}

static int32_t Convert(uint32_t target, const char *name) {
  WriteDebugLog("- pressed %d\n", int(target + 1));
  const LogoTarget &t = kLogoTargets[target];
  Status(t.german, t.english);
  if (!PlainName(name)) return Refresh();
  strcpy(logofile, name);
  // A logo that cannot be read or written shows in the refreshed list; a
  // refusal says why on the status line.
  const LogoResultText &r =
      LogoResultOf(ConvertLogo(target, currentDir, logofile, currentDir, false));
  if (!r.english) return Refresh();
  Status(r.german, r.english);
  return 1;
}

static int32_t Open(const char *name, EntryKind kind) {
  WriteDebugLog("- pressed OK\n");
  if (kind == kEntryParent) {
    CutAtLastSlash();
    return ChangeDirectory();
  }
  if (kind == kEntryFile) {
    if (!PlainName(name)) return 1;
    strcpy(logofile, name);
    if (!LoadChannelLogo(currentDir, logofile)) return 1;
    OSDMenuPush();
    ShowChannelLogo(rgn, 0, 0, 1);
    return 1;
  }
  // A folder entry: "<" + name + ">".
  const size_t length = strlen(name);
  if (kind != kEntryFolder || length < 3) return 1;
  const size_t dir = strlen(currentDir);
  const size_t added = (dir > 1 ? 1 : 0) + length - 2;
  // The firmware's directory is read back, and kept on the directory stack,
  // in kDirStackEntry bytes: a longer path could be entered but never listed.
  if (dir + added > size_t(kDirStackEntry) - 1) {
    Status("Pfad zu lang - Verzeichnis nicht ge\xF6"
           "ffnet",
           "Path too long - folder not opened");
    return 1;
  }
  if (dir > 1) strcat(currentDir, "/");
  strncat(currentDir, name + 1, length - 2);
  return ChangeDirectory();
}

static int32_t Delete(const char *name, EntryKind kind) {
  WriteDebugLog("- pressed Blue\n");
  // A folder's listed name may be the name of some other file.
  if (kind != kEntryFile) return 1;
  snprintf(buf, sizeof buf, Lang("L\xF6sche %s", "Deleting %s"), name);
  ShowFilelistMenuButtons(0, buf);
  // Only a file of the listed folder is ever deleted.
  if (PlainName(name)) {
    strcpy(logofile, name);
    if (TAP_Hdd_ChangeDir(currentDir) && TAP_Hdd_Exist(logofile)) TAP_Hdd_Delete(logofile);
  }
  return Refresh();
}

static int32_t Sort(int32_t &flag, int32_t base, const char *line) {
  WriteDebugLog("%s", line);
  flag = !flag;
  sort = base + flag;
  ShowFilelistMenuButtons(0, "sort");
  return 1;
}

static int32_t LetterJump(bool forward) {
  WriteDebugLog(forward ? "- pressed Forward\n" : "- pressed Rewind\n");
  if (lettercnt < 2) return 1;
  currentletter = uint8_t(lettercnt - 1);
  for (int g = 0; g + 1 < lettercnt; ++g)
    if (letterindex[g] <= iSelection && iSelection < letterindex[g + 1]) {
      currentletter = uint8_t(g);
      break;
    }
  WriteDebugLog("currentletter %d (%d) ermittelt\n", currentletter,
                int(letterindex[currentletter]));
  if (forward)
    currentletter = uint8_t(currentletter + 1 >= lettercnt ? 0 : currentletter + 1);
  else
    currentletter = uint8_t(currentletter == 0 ? lettercnt - 1 : currentletter - 1);
  WriteDebugLog("currentletter jetzt %d (%d)\n", currentletter, int(letterindex[currentletter]));
  OSDMenuSelectItem(letterindex[currentletter]);
  ShowFilelistMenuButtons(0, "");
  return 1;
}

static int32_t DirectoryList(bool next) {
  WriteDebugLog(next ? "- pressed Next\n" : "- pressed Prev\n");
  if (pathcnt < 2) return 1;
  if (next)
    pathcur = uint8_t(pathcur >= pathcnt - 1 ? 0 : pathcur + 1);
  else
    pathcur = uint8_t(pathcur == 0 ? pathcnt - 1 : pathcur - 1);
  memcpy(currentDir, path[pathcur], kPathSize); // a slot holds at most 127 characters
  WriteDebugLog(">> path[%d] %s, currentDir %s\n", pathcur, path[pathcur], currentDir);
  for (int i = 0; i < kPathSlots && debug; ++i)
    if (path[i][0]) WriteDebugLog("LoadSettings: Path[%02d] <%s>\n", i + 1, path[i]);
  iSelection = itSelection = 0;
  Status("Lade Liste ...", "Loading list ...");
  ShowFilelistMenu(currentDir, LOGO_FILTER);
  return 1;
}

int32_t MenuAction(dword key) {
  iSelection = OSDMenuGetCurrentItem();
  itSelection = OSDMenuItemGetTopIndex();
  char name[128];
  const char *current = OSDMenuItemGetCurrentName();
  snprintf(name, sizeof name, "%s", current ? current : "");
  const EntryKind kind = CurrentEntryKind();
  // The listed part of a longer name may be the name of some other file.
  const int32_t target = LogoTargetOfKey(key);
  if (kind == kEntryCut && (target >= 0 || key == RKEY_Ok || key == RKEY_F4 || key == RKEY_White)) {
    RefuseCutName(name);
    return 1;
  }
  if ((target >= 0 || key == RKEY_9) && kind != kEntryFile) return 1;
  if (target >= 0) return Convert(uint32_t(target), name);
  switch (key) {
  case RKEY_9:
    return Refresh();
  case RKEY_Ok:
    return Open(name, kind);
  case RKEY_Exit:
    WriteDebugLog("- pressed Exit\n");
    if (strlen(currentDir) < 2) return 1;
    CutAtLastSlash();
    return ChangeDirectory();
  case RKEY_NewF1:
    return Sort(sortnameasc, 1, "- pressed Red\n");
  case RKEY_F2:
    return Sort(sortvalueasc, 3, "- pressed Green\n");
  case RKEY_F3:
    return Sort(sortidasc, 5, "- pressed Yellow\n");
  case RKEY_F4:
    return Delete(name, kind);
  case RKEY_White:
    WriteDebugLog("- pressed White\n");
    // Only files are renamed; on the "does not exist" entry the firmware is
    // still in the folder listed before.
    if (kind != kEntryFile) return 1;
    return StartRename(name);
  case RKEY_Rewind:
    return LetterJump(false);
  case RKEY_Forward:
    return LetterJump(true);
  case RKEY_Prev:
    return DirectoryList(false);
  case RKEY_Next:
    return DirectoryList(true);
  default:
    return 0;
  }
}
