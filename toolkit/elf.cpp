// elf.cpp - a plug-in file's identity read from its ELF sections: a small
// reader of the ELF header, the section table and the section-name strings,
// and the plug-in information built on it.
//
// The receiver's plug-ins are ELF32.  The desktop build's are ELF64; their
// headers are turned into the ELF32 layout as they are read, so everything
// after the reading sees one layout.  Every offset, size and count comes from
// the file and is checked against the file's length and our buffers before
// it is used: a damaged or hostile file gives "no plug-in", never a read
// outside the file or a buffer.
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "tklib.h"

int fTAP = -1;
byte ELFHeader[kELFHeaderSize];
byte *SectionHeaders = nullptr;
char *shstrtab = nullptr;

static uint32_t sectionCount;
static uint32_t shstrtabSize;
static uint64_t fileLength;
static bool wide; // ELF64

static uint32_t Get16(const byte *p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}
static uint32_t Get32(const byte *p) {
  return Get16(p) | Get16(p + 2) << 16;
}
static uint64_t Get64(const byte *p) {
  return uint64_t(Get32(p)) | uint64_t(Get32(p + 4)) << 32;
}
static void Put16(byte *p, uint32_t v) {
  p[0] = byte(v);
  p[1] = byte(v >> 8);
}
static void Put32(byte *p, uint32_t v) {
  Put16(p, v);
  Put16(p + 2, v >> 16);
}
// A 64-bit value in a 32-bit field; one that does not fit becomes the largest
// value, which no bound check lets through.
static uint32_t Narrow(uint64_t v) {
  return v > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(v);
}

// Reads exactly Count bytes at Offset, which must lie inside the file.
static bool ReadAt(uint64_t Offset, void *Destination, uint64_t Count) {
  if (fTAP < 0 || Offset > fileLength || Count > fileLength - Offset) return false;
  if (lseek(fTAP, off_t(Offset), SEEK_SET) != off_t(Offset)) return false;
  byte *p = static_cast<byte *>(Destination);
  while (Count) {
    const ssize_t n = read(fTAP, p, size_t(Count));
    if (n <= 0) return false;
    p += n;
    Count -= uint64_t(n);
  }
  return true;
}

bool ELFOpenAbsFile(const char *Path) {
  ELFCleanup();
  if (!Path) return false;
  fTAP = open(Path, O_RDONLY);
  if (fTAP < 0) return false;
  const off_t end = lseek(fTAP, 0, SEEK_END);
  if (end < 0) {
    ELFCleanup();
    return false;
  }
  fileLength = uint64_t(end);
  return true;
}

bool ELFOpenFile(const char *FileName) {
  if (!FileName || !*FileName) return false;
  char dir[kDirStackEntry] = "";
  if (HDD_TAP_GetCurrentDir(dir) != 0 || !dir[0]) return false;
  char path[kDirStackEntry + TAP_MAX_FILENAME + 8];
  const size_t d = strlen(dir), n = strlen(FileName);
  if (7 + d + 1 + n + 1 > sizeof path) return false;
  // The root is "/", so no second slash is added after it.
  strcpy(path, "/mnt/hd");
  strcat(path, dir);
  if (d == 0 || dir[d - 1] != '/') strcat(path, "/");
  strcat(path, FileName);
  return ELFOpenAbsFile(path);
}

bool ELFReadELFHeader() {
  byte raw[64];
  if (!ReadAt(0, raw, 16)) return false;
  if (raw[0] != 0x7F || raw[1] != 'E' || raw[2] != 'L' || raw[3] != 'F') return false;
  // Little-endian only: the fields are read that way, as on the receiver.
  if (raw[5] != 1) return false;
  if (raw[4] == 1) {
    wide = false;
    if (!ReadAt(0, raw, kELFHeaderSize)) return false;
    if (Get16(raw + 46) != kELFSectionHeaderSize) return false;
    memcpy(ELFHeader, raw, kELFHeaderSize);
    return true;
  }
  if (raw[4] != 2) return false;
  wide = true;
  if (!ReadAt(0, raw, 64)) return false;
  if (Get16(raw + 58) != 64) return false;
  memcpy(ELFHeader, raw, 16);
  memcpy(ELFHeader + 16, raw + 16, 8); // type, machine, version
  Put32(ELFHeader + 24, Narrow(Get64(raw + 24)));
  Put32(ELFHeader + 28, Narrow(Get64(raw + 32)));
  Put32(ELFHeader + 32, Narrow(Get64(raw + 40)));
  memcpy(ELFHeader + 36, raw + 48, 10); // flags, ehsize, phentsize, phnum
  Put16(ELFHeader + 46, kELFSectionHeaderSize);
  memcpy(ELFHeader + 48, raw + 60, 4); // shnum, shstrndx
  return true;
}

bool ELFReadSectionHeaders() {
  if (SectionHeaders) TAP_MemFree(SectionHeaders);
  SectionHeaders = nullptr;
  sectionCount = 0;
  const uint32_t count = Get16(ELFHeader + 48), offset = Get32(ELFHeader + 32);
  const uint32_t entry = wide ? 64 : kELFSectionHeaderSize;
  if (count == 0 || offset == 0 || offset > fileLength ||
      uint64_t(count) * entry > fileLength - offset)
    return false;
  SectionHeaders = static_cast<byte *>(TAP_MemAlloc(count * kELFSectionHeaderSize));
  if (!SectionHeaders) return false;
  for (uint32_t i = 0; i < count; ++i) {
    byte raw[64];
    byte *out = SectionHeaders + i * kELFSectionHeaderSize;
    if (!ReadAt(offset + uint64_t(i) * entry, raw, entry)) {
      TAP_MemFree(SectionHeaders);
      SectionHeaders = nullptr;
      return false;
    }
    if (!wide) {
      memcpy(out, raw, kELFSectionHeaderSize);
      continue;
    }
    memcpy(out, raw, 8);        // name, type
    for (int f = 0; f < 4; ++f) // flags, address, offset, size
      Put32(out + 8 + 4 * f, Narrow(Get64(raw + 8 + 8 * f)));
    memcpy(out + 24, raw + 40, 8); // link, info
    Put32(out + 32, Narrow(Get64(raw + 48)));
    Put32(out + 36, Narrow(Get64(raw + 56)));
  }
  sectionCount = count;
  return true;
}

static const byte *Section(int Index) {
  if (!SectionHeaders || Index < 0 || uint32_t(Index) >= sectionCount) return nullptr;
  return SectionHeaders + Index * kELFSectionHeaderSize;
}

// A section whose contents lie wholly inside the file.
static const byte *StoredSection(int Index) {
  const byte *s = Section(Index);
  if (!s || Get32(s + 4) == kELFNoBits) return nullptr;
  const uint64_t offset = Get32(s + 16), size = Get32(s + 20);
  if (offset > fileLength || size > fileLength - offset) return nullptr;
  return s;
}

uint32_t ELFSectionSize(int Index) {
  const byte *s = Section(Index);
  return s ? Get32(s + 20) : 0;
}

bool ELFReadShstrtabSection() {
  if (shstrtab) TAP_MemFree(shstrtab);
  shstrtab = nullptr;
  shstrtabSize = 0;
  const byte *s = StoredSection(int(Get16(ELFHeader + 50)));
  if (!s || Get32(s + 4) != kELFStringTable) return false;
  const uint32_t size = Get32(s + 20);
  // One byte more than the table, always NUL: a name at its very end still
  // ends inside the buffer.
  shstrtab = static_cast<char *>(TAP_MemAlloc(size + 1));
  if (!shstrtab) return false;
  if (!ReadAt(Get32(s + 16), shstrtab, size)) {
    TAP_MemFree(shstrtab);
    shstrtab = nullptr;
    return false;
  }
  shstrtab[size] = '\0';
  shstrtabSize = size;
  return true;
}

int ELFGetSectionIndex(const char *Name) {
  if (!Name || !shstrtab) return -1;
  for (uint32_t i = 1; i < sectionCount; ++i) {
    const uint32_t at = Get32(SectionHeaders + i * kELFSectionHeaderSize);
    if (at < shstrtabSize && strcmp(shstrtab + at, Name) == 0) return int(i);
  }
  return -1;
}

bool ELFReadDWORD(int Index, uint32_t *Destination) {
  const byte *s = StoredSection(Index);
  byte raw[4];
  if (!s || !Destination || Get32(s + 20) < 4 || !ReadAt(Get32(s + 16), raw, 4)) return false;
  *Destination = Get32(raw);
  return true;
}

int32_t ELFReadData(int Index, void *Destination, dword Size) {
  const byte *s = StoredSection(Index);
  if (!s || !Destination) return -1;
  const uint32_t size = Get32(s + 20);
  const uint32_t n = Size < size ? uint32_t(Size) : size;
  if (n > 0x7FFFFFFFu || !ReadAt(Get32(s + 16), Destination, n)) return -1;
  return int32_t(n);
}

void ELFCleanup() {
  if (fTAP >= 0) close(fTAP);
  fTAP = -1;
  if (SectionHeaders) TAP_MemFree(SectionHeaders);
  SectionHeaders = nullptr;
  if (shstrtab) TAP_MemFree(shstrtab);
  shstrtab = nullptr;
  sectionCount = shstrtabSize = 0;
  fileLength = 0;
  wide = false;
}

// A text section into a field of Size bytes: cut to fit, always terminated.
static void ReadText(const char *Name, char *Field, dword Size) {
  memset(Field, 0, Size);
  const int index = ELFGetSectionIndex(Name);
  if (index < 0 || ELFReadData(index, Field, Size - 1) < 0) memset(Field, 0, Size);
}

// "Feb 25 2012" (as the compiler's __DATE__ writes it; a day below 10 is
// padded with a blank) as an MJD; 0 when the section is not there.
static dword BuildDate() {
  char text[64];
  const int index = ELFGetSectionIndex("._tap_etcinfo");
  if (index < 0) return 0;
  ReadText("._tap_etcinfo", text, sizeof text);
  static const char kMonths[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
  byte month = 0;
  for (int m = 0; m < 12 && text[0]; ++m)
    if (strncmp(text, kMonths + 3 * m, 3) == 0) month = byte(m + 1);
  const long day = strtol(text + 4, nullptr, 10), year = strtol(text + 7, nullptr, 10);
  if (day < 0 || day > 255 || year < 0 || year > 0xFFFF) return 0;
  return TAP_MakeMjd(word(year), month, byte(day));
}

bool HDD_TAP_GetInfo(const char *FileName, tTAPInfo *Info) {
  if (!Info) return false;
  memset(Info, 0, sizeof *Info);
  if (!ELFOpenFile(FileName) || !ELFReadELFHeader() || !ELFReadSectionHeaders() ||
      !ELFReadShstrtabSection()) {
    ELFCleanup();
    return false;
  }
  const int id = ELFGetSectionIndex("._tap_id");
  uint32_t value = 0;
  if (id < 0 || ELFSectionSize(id) != 4 || !ELFReadDWORD(id, &value)) {
    ELFCleanup();
    return false;
  }
  Info->TAPID = value;
  Info->Date = BuildDate();
  ReadText("._tap_program_name", Info->TAPName, sizeof Info->TAPName);
  ReadText("._tap_author_name", Info->AuthorName, sizeof Info->AuthorName);
  ReadText("._tap_description", Info->Description, sizeof Info->Description);
  ELFCleanup();
  return true;
}

bool HDD_TAP_GetInfoByAbsPath(const char *AbsolutePath, tTAPInfo *Info) {
  if (!AbsolutePath || !Info) return false;
  memset(Info, 0, sizeof *Info);
  const char *slash = strrchr(AbsolutePath, '/');
  const size_t dirLength = slash ? size_t(slash - AbsolutePath) : 0;
  // Only paths on the disk: the directory part is changed to below "/mnt/hd".
  if (!slash || strncmp(AbsolutePath, "/mnt/hd", 7) != 0 || dirLength < 7 ||
      (dirLength > 7 && AbsolutePath[7] != '/') || dirLength - 7 >= size_t(kDirStackEntry))
    return false;
  char dir[kDirStackEntry];
  memcpy(dir, AbsolutePath + 7, dirLength - 7);
  dir[dirLength - 7] = '\0';
  if (!dir[0]) strcpy(dir, "/");
  if (!HDD_TAP_PushDir()) return false;
  const bool found = HDD_ChangeDir(dir) && HDD_TAP_GetInfo(slash + 1, Info);
  HDD_TAP_PopDir();
  return found;
}
