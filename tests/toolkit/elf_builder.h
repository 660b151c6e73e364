// Builds small ELF files section by section, 32 or 64 bit, for the tests of
// the plug-in file reader; the fields can be damaged afterwards by offset.
#ifndef ELF_BUILDER_H
#define ELF_BUILDER_H

#include <stdint.h>

#include <string>
#include <vector>

struct ElfSection {
  std::string name;
  uint32_t type; // 1 program data, 3 string table, 8 no bits
  std::string data;
};

struct BuiltElf {
  std::string bytes;
  bool wide = false;
  uint64_t shoff = 0;                // section header table
  std::vector<uint64_t> dataOffsets; // per section of the list, in the file
  uint32_t shstrndx = 0;
  // Byte offset of section header i (0 = the null section).
  uint64_t Header(uint32_t i) const { return shoff + uint64_t(i) * (wide ? 64 : 40); }
  void Put(uint64_t at, uint64_t value, int size);
};

// The sections a plug-in carries, with the given identifier bytes.
std::vector<ElfSection> PluginSections(const std::string &id, const std::string &etc);
BuiltElf BuildElf(bool wide, const std::vector<ElfSection> &sections);

#endif
