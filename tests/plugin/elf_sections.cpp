#include "elf_sections.h"

#include <stdint.h>

#include <fstream>
#include <sstream>

namespace {

uint64_t Le(const std::string &d, size_t at, int bytes) {
  uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | uint8_t(d[at + size_t(i)]);
  return v;
}

} // namespace

bool ReadElfSections(const std::string &path, ElfFile &elf, std::string &why) {
  std::ifstream f(path, std::ios::binary);
  if (!f) {
    why = "cannot open " + path;
    return false;
  }
  std::ostringstream s;
  s << f.rdbuf();
  const std::string d = s.str();
  if (d.size() < 52 ||
      d.compare(0, 4,
                "\x7F"
                "ELF") != 0 ||
      d[5] != 1) {
    why = "not a little-endian ELF file";
    return false;
  }
  elf.elfClass = d[4];
  const bool is64 = elf.elfClass == 2;
  if (is64 && d.size() < 64) {
    why = "short header";
    return false;
  }
  elf.type = int(Le(d, 16, 2));
  elf.machine = int(Le(d, 18, 2));
  const uint64_t shoff = is64 ? Le(d, 40, 8) : Le(d, 32, 4);
  const size_t shentsize = size_t(Le(d, is64 ? 58 : 46, 2));
  const size_t shnum = size_t(Le(d, is64 ? 60 : 48, 2));
  const size_t shstrndx = size_t(Le(d, is64 ? 62 : 50, 2));
  if (shstrndx >= shnum || shoff + shnum * shentsize > d.size()) {
    why = "section table outside the file";
    return false;
  }
  auto field = [&](size_t index, size_t off32, size_t off64, int bytes32, int bytes64) {
    return Le(d, size_t(shoff) + index * shentsize + (is64 ? off64 : off32),
              is64 ? bytes64 : bytes32);
  };
  const uint64_t strOff = field(shstrndx, 16, 24, 4, 8);
  for (size_t i = 1; i < shnum; ++i) {
    const uint64_t nameOff = field(i, 0, 0, 4, 4);
    const uint64_t type = field(i, 4, 4, 4, 4);
    const uint64_t off = field(i, 16, 24, 4, 8);
    const uint64_t size = field(i, 20, 32, 4, 8);
    if (strOff + nameOff >= d.size()) continue;
    std::string name = d.c_str() + strOff + nameOff;
    if (type == 8 /* SHT_NOBITS */ || off + size > d.size()) {
      elf.sections[name] = std::string();
      continue;
    }
    elf.sections[name] = d.substr(size_t(off), size_t(size));
  }
  return true;
}
