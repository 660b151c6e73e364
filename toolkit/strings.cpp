// strings.cpp - editing and searching plain NUL-terminated Latin-1 strings,
// and splitting file names.
#include <string.h>
#include <strings.h>

#include "tklib.h"

bool StringEndsWith(const char *Text, const char *Suffix) {
  if (!Text || !Suffix) return false;
  const size_t t = strlen(Text), s = strlen(Suffix);
  return s <= t && memcmp(Text + t - s, Suffix, s) == 0;
}

void UpperCase(char *Text) {
  if (!Text) return;
  for (unsigned char *p = reinterpret_cast<unsigned char *>(Text); *p; ++p) {
    if (*p >= 'a' && *p <= 'z')
      *p = byte(*p - 'a' + 'A');
    else if (*p == 0xE4 || *p == 0xF6 || *p == 0xFC) // ä ö ü
      *p = byte(*p - 0x20);
  }
}

// Latin-1 0xC0 to 0xFF: the letters as their base letter; the signs for
// multiplication and division and the thorns stay as they are.
static const char kBaseLetters[] = "AAAAAAACEEEEIIII"
                                   "DNOOOOO\xD7OUUUUY\xDEs"
                                   "aaaaaaaceeeeiiii"
                                   "dnooooo\xF7ouuuuy\xFEy";
static_assert(sizeof kBaseLetters == 65, "one entry for each of 0xC0 to 0xFF");

byte BaseLetter(byte Character) {
  return Character < 0xC0 ? Character : byte(kBaseLetters[Character - 0xC0]);
}

void DeleteAt(char *Text, int Position, int Count) {
  if (!Text || Position < 0 || Count < 0) return;
  const int length = int(strlen(Text));
  if (Position >= length || Position + Count > length) return;
  memmove(Text + Position, Text + Position + Count, size_t(length - Position - Count + 1));
}

void InsertAt(char *Text, int Position, const char *Insert) {
  if (!Text || !Insert) return;
  const int length = int(strlen(Text)), n = int(strlen(Insert));
  if (Position < 0) Position = 0;
  if (Position > length) Position = length;
  memmove(Text + Position + n, Text + Position, size_t(length - Position + 1));
  memcpy(Text + Position, Insert, size_t(n));
}

bool StrReplace(char *Text, const char *Find, const char *Replace) {
  if (!Text || !*Text || !Find || !*Find || !Replace) return false;
  const size_t findLength = strlen(Find), replaceLength = strlen(Replace);
  if (replaceLength <= findLength) {
    bool replaced = false;
    char *p = Text;
    while ((p = strstr(p, Find)) != nullptr) {
      memcpy(p, Replace, replaceLength);
      memmove(p + replaceLength, p + findLength, strlen(p + findLength) + 1);
      p += replaceLength;
      replaced = true;
    }
    return replaced;
  }
  size_t count = 0;
  for (const char *p = Text; (p = strstr(p, Find)) != nullptr; p += findLength) ++count;
  if (!count) return false;
  const size_t length = strlen(Text);
  const size_t size = length + count * (replaceLength - findLength) + 2;
  char *result = static_cast<char *>(TAP_MemAlloc_Chk("StrReplace", dword(size)));
  if (!result) return false;
  char *out = result;
  const char *in = Text;
  for (const char *hit; (hit = strstr(in, Find)) != nullptr; in = hit + findLength) {
    memcpy(out, in, size_t(hit - in));
    out += hit - in;
    memcpy(out, Replace, replaceLength);
    out += replaceLength;
  }
  strcpy(out, in);
  strcpy(Text, result);
  TAP_MemFree(result);
  return true;
}

char *stricstr(const char *Haystack, const char *Needle) {
  if (!Haystack || !Needle || !*Needle) return nullptr;
  const unsigned char first = static_cast<unsigned char>(*Needle);
  const unsigned char upper = first >= 'a' && first <= 'z' ? byte(first - 32) : first;
  const unsigned char lower = first >= 'A' && first <= 'Z' ? byte(first + 32) : first;
  const size_t rest = strlen(Needle + 1);
  for (const char *p = Haystack; *p; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if ((c == upper || c == lower) && strncasecmp(p + 1, Needle + 1, rest) == 0)
      return const_cast<char *>(p);
  }
  return nullptr;
}

void StrToUTF8(const char *Source, char *Destination) {
  if (!Source || !Destination) return;
  char *out = Destination;
  for (const unsigned char *p = reinterpret_cast<const unsigned char *>(Source); *p; ++p) {
    if (*p < 0x80) {
      *out++ = char(*p);
    } else {
      *out++ = char(0xC0 + *p / 64);
      *out++ = char(0x80 + *p % 64);
    }
  }
  *out = '\0';
}

word CharToUTF8(const char *Pointer) {
  if (!Pointer) return 0;
  const unsigned char c = static_cast<unsigned char>(*Pointer);
  if (c < 0x80) return c;
  return word((0xC0 + c / 64) << 8 | (0x80 + c % 64));
}

static bool CutSuffix(char *Name, const char *Suffix) {
  if (!StringEndsWith(Name, Suffix)) return false;
  Name[strlen(Name) - strlen(Suffix)] = '\0';
  return true;
}

void SeparateFileNameComponents(const char *FileName, char *Name, char *Extension, char *Number,
                                bool *IsRecording, bool *IsDeleted) {
  if (!FileName || !Name || !Extension) return;
  strcpy(Name, FileName);
  Extension[0] = '\0';
  bool deleted = CutSuffix(Name, ".del");
  // The companion files of a recording belong to it.
  if (StringEndsWith(Name, ".rec.inf") || StringEndsWith(Name, ".rec.nav") ||
      StringEndsWith(Name, ".mpg.inf") || StringEndsWith(Name, ".mpg.nav"))
    Name[strlen(Name) - 4] = '\0';
  const bool recording = StringEndsWith(Name, ".rec") || StringEndsWith(Name, ".mpg");
  if (char *dot = strrchr(Name, '.')) {
    strcpy(Extension, dot);
    *dot = '\0';
  }
  char number = 0;
  const size_t length = strlen(Name);
  if (length >= 2 && Name[length - 2] == '-' && Name[length - 1] >= '1' &&
      Name[length - 1] <= '9') {
    number = char(Name[length - 1] - '0');
    Name[length - 2] = '\0';
  }
  if (Number) *Number = number;
  if (IsRecording) *IsRecording = recording;
  if (IsDeleted) *IsDeleted = deleted;
}
