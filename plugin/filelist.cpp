// filelist.cpp - the file list: one directory's folders and logo files in
// an OSD menu, sorted, with letter groups, key legends, the status line and
// the preview of the logo under the cursor.
#include <stdio.h>
#include <string.h>

#include "Velumo.h"
#include "logo_formats.h"
#include "tklib.h"

constexpr int kMaxEntries = 4999;
constexpr int kMaxLetters = 50;

int32_t letterindex[kMaxLetters];
uint8_t lettercnt = 0, currentletter = 0;
int32_t pushpop = 0;

char statusText[256];

static const char *Directory() {
  return Lang("Verzeichnis", "directory");
}
static const char *NoDirectory() {
  return Lang("Verzeichnis existiert nicht", "directory does not exist");
}

// The value column of an entry whose name the list cannot hold whole.
static const char *NameTooLong() {
  return Lang("Name zu lang", "name too long");
}

// A menu item keeps 127 characters of a name.
constexpr size_t kNameRoom = sizeof(MenuItem::Name) - 1;

// The value column is the list's own text (the name is the user's): a folder
// or the parent says "directory", the "does not exist" entry nothing, an
// entry cut short "name too long", a file its date, time and size.
EntryKind EntryKindOf(const char *value, uint32_t id) {
  if (!value || !value[0]) return kEntryMissing;
  if (strcmp(value, "Verzeichnis") == 0 || strcmp(value, "directory") == 0)
    return id == 0 ? kEntryParent : kEntryFolder;
  if (strcmp(value, "Name zu lang") == 0 || strcmp(value, "name too long") == 0) return kEntryCut;
  return kEntryFile;
}

EntryKind CurrentEntryKind() {
  const int i = OSDMenuGetCurrentItem();
  return EntryKindOf(OSDMenuItemGetValue(i), OSDMenuItemGetID(i));
}

void RefuseCutName(const char *listed) {
  WriteLog("= Not acting on <%s>: the name is longer than the list holds\n", listed);
  snprintf(buf, sizeof buf, "%s",
           Lang("Name zu lang - nichts ausgef\xFChrt", "Name too long - nothing done"));
  ShowFilelistMenuButtons(0, buf);
}

// The last four bytes of the name, each a signed byte, as one number: files
// sort by extension, after the parent (0) and the folders (1).
static uint32_t TypeId(const char *name) {
  const size_t n = strlen(name);
  int64_t id = 0;
  for (size_t i = n >= 4 ? n - 4 : 0; i < n; ++i) id = id * 256 + int8_t(name[i]);
  return uint32_t(id);
}

static void AddEntry(const char *name, const char *value, uint32_t id) {
  const int index = OSDMenuItemGetNrOfItems();
  OSDMenuItemAdd(name, value, nullptr, nullptr, true, false, id);
  WriteDebugLog("index %d, name %s, id %d\n", index, name, int(id));
}

static bool Full() {
  return OSDMenuItemGetNrOfItems() >= kMaxEntries;
}

// Appends V as printf's "%0*d" would (sign first, zeros up to Width).
static char *PutNumber(char *p, int v, int width) {
  char digits[12];
  int n = 0;
  unsigned m = v < 0 ? 0u - unsigned(v) : unsigned(v);
  do {
    digits[n++] = char('0' + m % 10);
    m /= 10;
  } while (m);
  if (v < 0) *p++ = '-';
  for (int pad = width - n - (v < 0 ? 1 : 0); pad > 0; --pad) *p++ = '0';
  while (n) *p++ = digits[--n];
  return p;
}

// A file's value column, "yy-mm-dd, hh:mm, size byte", exactly as
// "%02d-%02d-%02d, %02d:%02d, %d %s" writes it; put together by hand since a
// folder of thousands of logos needs one for each.  Out holds 80 bytes.
void FileValueText(char *out, int year, int month, int day, int hour, int minute, int size,
                   const char *unit) {
  char *p = PutNumber(out, year, 2);
  *p++ = '-';
  p = PutNumber(p, month, 2);
  *p++ = '-';
  p = PutNumber(p, day, 2);
  *p++ = ',';
  *p++ = ' ';
  p = PutNumber(p, hour, 2);
  *p++ = ':';
  p = PutNumber(p, minute, 2);
  *p++ = ',';
  *p++ = ' ';
  p = PutNumber(p, size, 0);
  *p++ = ' ';
  const size_t room = size_t(out + 79 - p);
  const size_t length = strnlen(unit, room);
  memcpy(p, unit, length);
  p[length] = '\0';
}

static void AddFolder(const TYPE_File &entry) {
  char name[TAP_MAX_FILENAME + 2];
  snprintf(name, sizeof name, "<%s>", entry.name);
  AddEntry(name, strlen(name) > kNameRoom ? NameTooLong() : Directory(), 1);
}

static void AddFile(const TYPE_File &entry) {
  word year;
  byte month, day, weekDay;
  TAP_ExtractMjd(entry.mjd, &year, &month, &day, &weekDay);
  char value[80];
  FileValueText(value, int(year) % 100, month, day, entry.hour, entry.min, int(entry.size),
                Lang("Byte", "byte"));
  AddEntry(entry.name, strlen(entry.name) > kNameRoom ? NameTooLong() : value, TypeId(entry.name));
}

// A second search, taking the files only.
static void FilesPass(const char *filter) {
  TYPE_File entry;
  memset(&entry, 0, sizeof entry);
  dword left = TAP_Hdd_FindFirst(&entry, filter);
  while (left > 0 && !Full()) {
    if (entry.attr == ATTR_NORMAL) AddFile(entry);
    if (--left == 0 || !TAP_Hdd_FindNext(&entry)) break;
  }
}

// The folders, then the files, each in the order of the search.  A large
// folder costs the firmware a lot per search, so the files met while taking
// the folders are kept aside (as many as the list has room for) instead of
// searching twice; without memory for them the search runs again for them.
static void ListEntries(const char *filter) {
  TYPE_File entry;
  memset(&entry, 0, sizeof entry);
  dword left = TAP_Hdd_FindFirst(&entry, filter);
  const dword room = dword(kMaxEntries - OSDMenuItemGetNrOfItems());
  const dword most = left < room ? left : room;
  TYPE_File *files =
      most ? static_cast<TYPE_File *>(TAP_MemAlloc(most * dword(sizeof(TYPE_File)))) : nullptr;
  dword kept = 0;
  while (left > 0 && !Full()) {
    if (entry.attr == ATTR_FOLDER) AddFolder(entry);
    if (entry.attr == ATTR_NORMAL && files && kept < most) files[kept++] = entry;
    if (--left == 0 || !TAP_Hdd_FindNext(&entry)) break;
  }
  if (files) {
    for (dword i = 0; i < kept && !Full(); ++i) AddFile(files[i]);
    TAP_MemFree(files);
  } else if (most && !Full()) {
    FilesPass(filter);
  }
}

void ShowFilelistMenu(char *dir, const char *filter) {
  WriteDebugLog("> Showing Filelist\n");
  if (myState == MS_Filelist) OSDMenuDestroyNoOSDUpdate();
  ChangeState(MS_Filelist);
  if (!dir[0]) strcpy(dir, "/");
  // The firmware reads "/Logos/" back as "/Logos".
  for (size_t n = strlen(dir); n > 1 && dir[n - 1] == '/'; --n) dir[n - 1] = '\0';
  char readBack[kDirStackEntry] = "";
  TAP_Hdd_ChangeDir(dir);
  HDD_TAP_GetCurrentDir(readBack);
  OSDMenuInitialize(true, true, true, true, PROGRAM_NAME, nullptr);
  if (strcmp(dir, readBack) != 0) {
    OSDMenuItemAdd(NoDirectory(), "", nullptr, nullptr, true, false, 0);
  } else {
    if (strlen(dir) > 1) AddEntry("< .. >", Directory(), 0);
    ListEntries(filter);
  }
  OSDMenuSelectTopItem(itSelection);
  OSDMenuSelectItem(iSelection);
  ShowFilelistMenuButtons(0, "sort");
  WriteDebugLog("< Showing Filelist\n");
}

static void BuildLetterIndex() {
  lettercnt = 0;
  currentletter = 0;
  byte last = ' ';
  const int count = OSDMenuItemGetNrOfItems();
  for (int i = 0; i < count && lettercnt < kMaxLetters; ++i) {
    // Only the first two characters matter; copying whole names would cost
    // a folder of thousands of logos on every sort by name.
    char name[3];
    strncpy(name, OSDMenuItemGetName(i), sizeof name - 1);
    name[sizeof name - 1] = '\0';
    UpperCase(name);
    // Accented letters group with their base letter, as they sort.
    byte letter = BaseLetter(byte(name[0] == 0x05 ? name[1] : name[0]));
    if (letter >= 'a' && letter <= 'z') letter = byte(letter - 'a' + 'A');
    if (letter == last) continue;
    letterindex[lettercnt++] = i;
    WriteDebugLog("lastletter (%c,%d), currletter (%c,%d), lettercnt %d, idx %d\n", last, last,
                  letter, letter, lettercnt, i);
    last = letter;
  }
}

static void DebugEntries(bool values) {
  if (!debug) return;
  for (int i = 0; i < OSDMenuItemGetNrOfItems(); ++i)
    WriteDebugLog(values ? "index %d, value %s, id %d\n" : "index %d, name %s, id %d\n", i,
                  values ? OSDMenuItemGetValue(i) : OSDMenuItemGetName(i),
                  int(OSDMenuItemGetID(i)));
}

static void ApplySort() {
  const bool ascending = sort == 0   ? false
                         : sort <= 2 ? sortnameasc
                         : sort <= 4 ? sortvalueasc
                                     : sortidasc;
  const char *direction =
      Lang(ascending ? "aufsteigend" : "absteigend", ascending ? "ascending" : "descending");
  lettercnt = 0;
  switch (sort) {
  case 1:
  case 2:
    WriteDebugLog("OSDMenuItemSortNameColumn(%d, %d);\n", int(sortnameasc), 0);
    OSDMenuItemSortNameColumn(sortnameasc, false);
    DebugEntries(false);
    snprintf(statusText, sizeof statusText,
             Lang("Liste ist %s nach Name sortiert", "List is %s sorted by name"), direction);
    BuildLetterIndex();
    break;
  case 3:
  case 4:
    WriteDebugLog("OSDMenuItemSortValueColumn(%d, %d);\n", int(sortvalueasc), 0);
    OSDMenuItemSortValueColumn(sortvalueasc, false);
    DebugEntries(true);
    snprintf(statusText, sizeof statusText,
             Lang("Liste ist %s nach Datum/Zeit/Gr\xF6\xDF"
                  "e sortiert",
                  "List is %s sorted by date/time/size"),
             direction);
    break;
  case 5:
  case 6:
    WriteDebugLog("OSDMenuItemSortID(%d);\n", int(sortidasc));
    OSDMenuItemSortID(sortidasc);
    DebugEntries(false);
    snprintf(statusText, sizeof statusText,
             Lang("Liste ist %s nach Dateityp sortiert", "List is %s sorted by file type"),
             direction);
    break;
  default:
    strcpy(statusText, Lang("Liste ist unsortiert", "List is not sorted"));
    break;
  }
}

static void AddLegends() {
  char text[320];
  auto flag = [](int32_t ascending) { return ascending ? "! " : "i "; };
  OSDMenuButtonAdd(1, 17, nullptr, Lang("Verz. h\xF6her ", "Dir. up "));
  OSDMenuButtonAdd(1, 31, nullptr, Lang("anz. ", "view "));
  snprintf(text, sizeof text, Lang("Name %s", "name %s"), flag(sortnameasc));
  OSDMenuButtonAdd(1, 39, nullptr, text);
  snprintf(text, sizeof text, Lang("Dat./Zeit %s", " date/time %s"), flag(sortvalueasc));
  OSDMenuButtonAdd(1, 21, nullptr, text);
  snprintf(text, sizeof text, Lang("Typ %s", " type %s"), flag(sortidasc));
  OSDMenuButtonAdd(1, 55, nullptr, text);
  OSDMenuButtonAdd(1, 14, nullptr, Lang("l\xF6schen ", "delete "));
  OSDMenuButtonAdd(1, 54, nullptr, Lang("umb. ", "ren. "));
  if (sort == 1 || sort == 2) {
    OSDMenuButtonAdd(2, 41, nullptr, "");
    OSDMenuButtonAdd(2, 19, nullptr, Lang("Springen ", "Jump "));
  }
  OSDMenuButtonAdd(2, 25, nullptr, "");
  snprintf(text, sizeof text, "[%2d/%2d] %s", pathcur + 1, int(pathcnt), currentDir);
  OSDMenuButtonAdd(2, 24, nullptr, text);
  for (const LogoTarget &t : kLogoTargets) OSDMenuButtonAdd(3, t.icon, nullptr, t.legend);
  OSDMenuButtonAdd(3, 46, nullptr, Lang("beenden ", "exit "));
}

void Status(const char *german, const char *english) {
  snprintf(buf, sizeof buf, "%s", Lang(german, english));
  ShowFilelistMenuButtons(0, buf);
}

void ShowFilelistMenuButtons(int32_t noSync, const char *text) {
  WriteDebugLog("> Showing Filelist buttons\n");
  // An empty text (a cursor move) keeps the status line and the legends as
  // they are; only what the move changed is painted again.
  const bool moved = !text || !text[0];
  if (!moved) snprintf(statusText, sizeof statusText, "%s", text);
  const int count = OSDMenuItemGetNrOfItems();
  if (count > 0 && myState == MS_Filelist) {
    if (text && StringEndsWith(text, "sort")) ApplySort();
    char title[32];
    snprintf(title, sizeof title, "%d/%d", OSDMenuGetCurrentItem() + 1, count);
    OSDMenuModifyTitleRight(title);
    if (moved) {
      OSDMenuUpdateCursor(true);
    } else {
      OSDMenuButtonsClear();
      AddLegends();
      OSDMenuUpdate(true);
    }
    const char *name = OSDMenuItemGetCurrentName();
    if (name && CurrentEntryKind() == kEntryFile && strlen(name) < sizeof logofile) {
      strcpy(logofile, name);
      if (LoadChannelLogo(currentDir, logofile)) DrawLogoPreview(rgn, 395, 34);
    }
  }
  // Drawn again after the menu, which paints over it.
  FM_PutString(rgn, 130, 75, 580, statusText, 0xFFFFFF00, 0xFF101010, &Calibri_FontData, 0, 1);
  if (!noSync) TAP_Osd_Sync();
  WriteDebugLog("< Showing Filelist buttons\n");
}

void HideFilelistMenu(int32_t keep) {
  WriteDebugLog("> Hiding Filelist\n");
  ChangeState(MS_Inactive);
  if (!keep) {
    if (pushpop) {
      OSDMenuPop();
      OSDMenuItemsClear();
      pushpop = 0;
    } else {
      OSDMenuPush();
      pushpop = 1;
    }
    iSelection = 0;
    itSelection = 0;
  }
  WriteDebugLog("< Hiding Filelist\n");
}
