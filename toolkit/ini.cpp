// ini.cpp - the settings file: key=value lines found in the receiver's
// standard folders, held in one text buffer, read with defaults and limits,
// changed in place and written back.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "tklib.h"

char *INIBuffer = nullptr;
uint32_t BufferSize = 0;
char *INICommentBuffer = nullptr;

namespace {

constexpr size_t kMaxKey = 78;
constexpr dword kWholeBuffer = 0xFFFFFFFF;

// Key + "=", the key cut to the length the module uses.
struct KeyEq {
  char text[kMaxKey + 2];
  size_t length;
  explicit KeyEq(const char *key) {
    size_t n = strnlen(key, kMaxKey);
    memcpy(text, key, n);
    text[n] = '=';
    text[n + 1] = '\0';
    length = n + 1;
  }
};

// The value of an entry, or false when the entry is absent or has none.
bool FindValue(const char *key, dword maxLength, const char *&value, size_t &length) {
  const KeyEq k(key);
  char *start = nullptr, *end = nullptr;
  INIFindStartEnd(k.text, &start, &end, maxLength ? maxLength : 1);
  if (!start || !end) return false;
  value = start + k.length;
  if (end < value) return false;
  length = size_t(end - value) + 1;
  return true;
}

char *NewBuffer(uint32_t size) {
  char *b = static_cast<char *>(TAP_MemAlloc_Chk("INI", size));
  if (b) memset(b, 0, size);
  return b;
}

// The size a buffer may grow to in one step: cut to a multiple of 1024, plus 1024.
uint32_t GrownSize(uint32_t size) {
  return size / 1024 * 1024 + 1024;
}

bool Exists(const char *name) {
  return TAP_Hdd_Exist(name) != 0;
}

// Creates the folder when missing and changes into it.
bool EnterFolder(const char *name) {
  TAP_Hdd_Create(name, ATTR_FOLDER);
  return HDD_ChangeDir(name);
}

// ".tmp", then ".tm1" to ".tm9": all as long as this.
constexpr size_t kTemporarySuffix = 4;

// The first temporary name for FileName that nothing on the disk has yet.
bool FreeTemporaryName(const char *FileName, char (&temporary)[TAP_MAX_FILENAME]) {
  for (int n = 0; n < 10; ++n) {
    if (n == 0)
      snprintf(temporary, sizeof temporary, "%s.tmp", FileName);
    else
      snprintf(temporary, sizeof temporary, "%s.tm%d", FileName, n);
    if (!Exists(temporary)) return true;
  }
  return false;
}

// A folder (or anything else that cannot be opened as a file) of the name
// would be removed by the replacement.
bool PlainFileOrNone(const char *name) {
  if (!Exists(name)) return true;
  TYPE_File *f = TAP_Hdd_Fopen(name);
  if (!f) return false;
  TAP_Hdd_Fclose(f);
  return true;
}

} // namespace

int INILocateFile(const char *FileName, const char *AppName) {
  if (!FileName || !*FileName) return INILOCATION_NotFound;
  if (Exists(FileName)) return INILOCATION_AtCurrentDir;
  char start[kDirStackEntry];
  if (HDD_TAP_GetCurrentDir(start) != 0) start[0] = '\0';
  if (!HDD_ChangeDir("/ProgramFiles")) {
    if (*start) HDD_ChangeDir(start);
    return INILOCATION_NotFound;
  }
  int found = INILOCATION_NotFound;
  const char *folder = nullptr;
  if (Exists(FileName)) {
    found = INILOCATION_AtProgramFilesDir;
    folder = "/ProgramFiles";
  }
  if (HDD_ChangeDir("Settings")) {
    if (Exists(FileName)) {
      found = INILOCATION_AtSettingsDir;
      folder = "/ProgramFiles/Settings";
    }
    if (AppName && *AppName && *AppName != '/' && HDD_ChangeDir(AppName)) {
      if (Exists(FileName)) return INILOCATION_AtAppDir;
    }
  }
  if (folder)
    HDD_ChangeDir(folder);
  else if (*start)
    HDD_ChangeDir(start);
  return found;
}

bool ININewBuffer() {
  // A buffer left open by an earlier call would otherwise be lost.
  INICloseFile();
  BufferSize = 512;
  INIBuffer = NewBuffer(BufferSize);
  if (!INIBuffer) BufferSize = 0;
  return INIBuffer != nullptr;
}

int INIOpenFile(const char *FileName, const char *AppName) {
  INICloseFile();
  HDD_TAP_PushDir();
  const int location = INILocateFile(FileName, AppName);
  if (location == INILOCATION_NotFound) {
    HDD_TAP_PopDir();
    return ININewBuffer() ? INILOCATION_NewFile : INILOCATION_NotFound;
  }
  TYPE_File *f = TAP_Hdd_Fopen(FileName);
  if (!f) {
    HDD_TAP_PopDir();
    return INILOCATION_NotFound;
  }
  const dword length = TAP_Hdd_Flen(f);
  bool read = false;
  if (length < 0x7FFFFC00u) {
    BufferSize = (uint32_t(length) / 512 + 2) * 512;
    INIBuffer = NewBuffer(BufferSize);
    if (INIBuffer) {
      read = length == 0 || TAP_Hdd_Fread(INIBuffer, length, 1, f) == 1;
      const size_t text = strlen(INIBuffer);
      if (read && (text == 0 || (INIBuffer[text - 1] != '\r' && INIBuffer[text - 1] != '\n')))
        strcpy(INIBuffer + text, "\r\n");
    } else {
      BufferSize = 0;
    }
  }
  TAP_Hdd_Fclose(f);
  HDD_TAP_PopDir();
  return INIBuffer && read ? location : INILOCATION_NotFound;
}

// The value ends at the first line break after it: "\r\n", a lone "\n" or a
// lone "\r", so that files of any of these line ends (or of a mixture) read
// every line, and a set replaces no more than its own line.  An end found at
// a lone break is limited to MaxLength bytes from the key's start.
void INIFindStartEnd(const char *KeyWithEquals, char **Start, char **End, dword MaxLength) {
  if (!Start || !End || MaxLength == 0) return;
  *Start = nullptr;
  *End = nullptr;
  if (!INIBuffer || !KeyWithEquals || !*KeyWithEquals) return;
  char *key = stricstr(INIBuffer, KeyWithEquals);
  while (key && key > INIBuffer && (key[-1] == '#' || key[-1] == ';'))
    key = stricstr(key + 1, KeyWithEquals);
  if (!key) return;
  *Start = key;
  for (char *p = key + strlen(KeyWithEquals) - 1; *p; ++p) {
    if (p[0] != '\r' && p[0] != '\n') continue;
    const bool lone = !(p[0] == '\r' && p[1] == '\n');
    char *end = p - 1;
    if (lone && MaxLength - 1 < dword(end - key)) end = key + MaxLength - 1;
    *End = end;
    return;
  }
}

bool INIGetString(const char *Key, char *Destination, const char *Default, dword Size) {
  if (!Key || !Destination || !Default || Size == 0) return false;
  const char *value;
  size_t length;
  const dword maxLength = dword(KeyEq(Key).length) + Size;
  if (FindValue(Key, maxLength, value, length)) {
    if (length > Size - 1) length = Size - 1;
    memcpy(Destination, value, length);
    Destination[length] = '\0';
  } else {
    strncpy(Destination, Default, Size - 1);
    Destination[Size - 1] = '\0';
  }
  return true;
}

// At most `digits` characters of the value count; the rest of a longer
// value is not looked at.
static bool Examined(const char *Key, size_t digits, char *text) {
  const char *value;
  size_t length;
  if (!Key || !FindValue(Key, dword(KeyEq(Key).length + digits), value, length)) return false;
  if (length > digits) length = digits;
  memcpy(text, value, length);
  text[length] = '\0';
  return length > 0;
}

int32_t INIGetInt(const char *Key, int32_t Default, int32_t Min, int32_t Max) {
  char text[12];
  if (!Examined(Key, 11, text)) return Default;
  for (const char *p = text; *p; ++p) {
    const bool sign = p == text && *p == '-' && p[1];
    if (!sign && (*p < '0' || *p > '9')) return Default;
  }
  // A value that fits 32 bits is taken as a signed one, as files written
  // for the receiver's strtoul expect: 3000000000 is negative.  Only what
  // does not fit 32 bits at all saturates, the same on every CPU.
  long long v = strtoll(text, nullptr, 10);
  if (v > int64_t(UINT32_MAX))
    v = INT32_MAX;
  else if (v > INT32_MAX)
    v -= int64_t(1) << 32;
  if (v < INT32_MIN) v = INT32_MIN;
  int32_t result = int32_t(v);
  if (result < Min) result = Min;
  if (result > Max) result = Max;
  return result;
}

uint32_t INIGetHexDWord(const char *Key, uint32_t Default, uint32_t Min, uint32_t Max) {
  char text[9];
  if (!Examined(Key, 8, text)) return Default;
  for (const char *p = text; *p; ++p) {
    const bool hex =
        (*p >= '0' && *p <= '9') || (*p >= 'a' && *p <= 'f') || (*p >= 'A' && *p <= 'F');
    if (!hex) return Default;
  }
  uint32_t result = uint32_t(strtoul(text, nullptr, 16));
  if (result < Min) result = Min;
  if (result > Max) result = Max;
  return result;
}

void INISetString(const char *Key, const char *Value) {
  if (!Key || !Value || !INIBuffer) return;
  const KeyEq k(Key);
  const size_t keyLength = k.length - 1, valueLength = strlen(Value);
  const size_t text = strlen(INIBuffer);
  char *start = nullptr, *end = nullptr;
  INIFindStartEnd(k.text, &start, &end, kWholeBuffer);
  if (start && end) {
    const size_t before = size_t(start - INIBuffer);
    const char *after = end + 1;
    const uint64_t needed =
        uint64_t(text) - size_t(after - start) + keyLength + 1 + valueLength + 2;
    uint32_t size = BufferSize;
    if (needed > size) {
      size = GrownSize(BufferSize);
      if (needed > size) return;
    }
    char *b = NewBuffer(size);
    if (!b) return;
    memcpy(b, INIBuffer, before);
    memcpy(b + before, Key, keyLength);
    b[before + keyLength] = '=';
    memcpy(b + before + keyLength + 1, Value, valueLength);
    strcpy(b + before + keyLength + 1 + valueLength, after);
    TAP_MemFree(INIBuffer);
    INIBuffer = b;
    BufferSize = size;
    return;
  }
  const uint64_t needed = uint64_t(text) + keyLength + 1 + valueLength + 3;
  if (needed > BufferSize) {
    const uint32_t size = GrownSize(BufferSize);
    if (needed > size) return;
    char *b = NewBuffer(size);
    if (!b) return;
    memcpy(b, INIBuffer, text);
    TAP_MemFree(INIBuffer);
    INIBuffer = b;
    BufferSize = size;
  }
  char *p = INIBuffer + text;
  memcpy(p, Key, keyLength);
  p[keyLength] = '=';
  memcpy(p + keyLength + 1, Value, valueLength);
  strcpy(p + keyLength + 1 + valueLength, "\r\n");
}

void INISetInt(const char *Key, int32_t Value) {
  char text[16];
  snprintf(text, sizeof text, "%d", int(Value));
  INISetString(Key, text);
}

void INISetHexDWord(const char *Key, uint32_t Value) {
  char text[16];
  snprintf(text, sizeof text, "%08x", unsigned(Value));
  INISetString(Key, text);
}

// The file is written under a temporary name first and takes the place of
// the old one only when it is all there: a failed write keeps the old file.
// A temporary name that is taken belongs to someone else and is left alone;
// only a plain file is ever replaced.
bool INISaveFile(const char *FileName, int Location, const char *AppName) {
  if (!INIBuffer || !FileName || !*FileName || Location < 0 || Location > 5) return false;
  if (Location == INILOCATION_AtAppDir && (!AppName || !*AppName)) return false;
  // A temporary name cut back to fit would be the file's own name.
  if (strlen(FileName) + kTemporarySuffix > TAP_MAX_FILENAME - 1) return false;
  if (Location <= INILOCATION_NewFile) Location = INILOCATION_AtProgramFilesDir;
  HDD_TAP_PushDir();
  bool ok = true;
  if (Location != INILOCATION_AtCurrentDir) ok = HDD_ChangeDir("/ProgramFiles");
  if (ok && (Location == INILOCATION_AtAppDir || Location == INILOCATION_AtSettingsDir))
    ok = EnterFolder("Settings");
  if (ok && Location == INILOCATION_AtAppDir) ok = EnterFolder(AppName);
  if (!ok) {
    HDD_TAP_PopDir();
    return false;
  }
  char temporary[TAP_MAX_FILENAME];
  if (!PlainFileOrNone(FileName) || !FreeTemporaryName(FileName, temporary) ||
      !TAP_Hdd_Create(temporary, ATTR_NORMAL)) {
    HDD_TAP_PopDir();
    return false;
  }
  bool written = false;
  if (TYPE_File *f = TAP_Hdd_Fopen(temporary)) {
    const dword length = dword(strlen(INIBuffer));
    written = length == 0 || TAP_Hdd_Fwrite(INIBuffer, length, 1, f) == 1;
    TAP_Hdd_Fclose(f);
  }
  if (written) {
    TAP_Hdd_Delete(FileName);
    written = TAP_Hdd_Rename(temporary, FileName) != 0;
  } else {
    TAP_Hdd_Delete(temporary);
  }
  HDD_TAP_PopDir();
  return written;
}

void INICloseFile() {
  if (INIBuffer) TAP_MemFree(INIBuffer);
  if (INICommentBuffer) TAP_MemFree(INICommentBuffer);
  INIBuffer = nullptr;
  INICommentBuffer = nullptr;
  BufferSize = 0;
}
