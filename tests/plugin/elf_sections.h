// Reads the named sections of an ELF file (32 or 64 bit, little-endian).
#ifndef ELF_SECTIONS_H
#define ELF_SECTIONS_H

#include <map>
#include <string>

struct ElfFile {
  int elfClass = 0; // 1 = 32-bit, 2 = 64-bit
  int machine = 0;
  int type = 0;
  std::map<std::string, std::string> sections; // name -> contents
};

// False with a reason when the file is not an ELF file this reader takes.
bool ReadElfSections(const std::string &path, ElfFile &elf, std::string &why);

#endif
