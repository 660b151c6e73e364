#include "elf_builder.h"

void BuiltElf::Put(uint64_t at, uint64_t value, int size) {
  for (int i = 0; i < size; ++i) bytes[size_t(at) + i] = char(value >> (8 * i));
}

std::vector<ElfSection> PluginSections(const std::string &id, const std::string &etc) {
  auto padded = [](std::string s, size_t n) {
    s.resize(n, '\0');
    return s;
  };
  return {{"._tap_header", 1, padded("TFAPMIPS", 32)},
          {"._tap_id", 1, id},
          {"._tap_program_name", 1, padded("Probe V2", 64)},
          {"._tap_author_name", 1, padded("Someone", 64)},
          {"._tap_description", 1, padded("A probe", 128)},
          {"._tap_etcinfo", 1, padded(etc, 64)}};
}

BuiltElf BuildElf(bool wide, const std::vector<ElfSection> &sections) {
  BuiltElf e;
  e.wide = wide;
  const size_t headerSize = wide ? 64 : 52;
  e.bytes.assign(headerSize, '\0');
  std::string names(1, '\0');
  std::vector<uint32_t> nameAt;
  for (const ElfSection &s : sections) {
    nameAt.push_back(uint32_t(names.size()));
    names += s.name + '\0';
    e.dataOffsets.push_back(e.bytes.size());
    if (s.type != 8) e.bytes += s.data;
  }
  const uint32_t shstrtabName = uint32_t(names.size());
  names += std::string(".shstrtab") + '\0';
  const uint64_t namesAt = e.bytes.size();
  e.bytes += names;
  while (e.bytes.size() % 8) e.bytes += '\0';
  e.shoff = e.bytes.size();
  const uint32_t count = uint32_t(sections.size() + 2);
  e.shstrndx = count - 1;
  e.bytes.resize(size_t(e.shoff + uint64_t(count) * (wide ? 64 : 40)), '\0');

  e.bytes[0] = 0x7F;
  e.bytes[1] = 'E';
  e.bytes[2] = 'L';
  e.bytes[3] = 'F';
  e.bytes[4] = wide ? 2 : 1;
  e.bytes[5] = 1; // little-endian
  e.bytes[6] = 1;
  e.Put(16, 3, 2); // shared object
  e.Put(18, wide ? 62 : 8, 2);
  e.Put(20, 1, 4);
  if (wide) {
    e.Put(40, e.shoff, 8);
    e.Put(52, 64, 2);
    e.Put(58, 64, 2);
    e.Put(60, count, 2);
    e.Put(62, e.shstrndx, 2);
  } else {
    e.Put(32, e.shoff, 4);
    e.Put(40, 52, 2);
    e.Put(46, 40, 2);
    e.Put(48, count, 2);
    e.Put(50, e.shstrndx, 2);
  }
  auto section = [&](uint32_t i, uint32_t name, uint32_t type, uint64_t offset, uint64_t size) {
    const uint64_t h = e.Header(i);
    e.Put(h, name, 4);
    e.Put(h + 4, type, 4);
    if (wide) {
      e.Put(h + 24, offset, 8);
      e.Put(h + 32, size, 8);
    } else {
      e.Put(h + 16, offset, 4);
      e.Put(h + 20, size, 4);
    }
  };
  for (uint32_t i = 0; i < sections.size(); ++i)
    section(i + 1, nameAt[i], sections[i].type, e.dataOffsets[i], sections[i].data.size());
  section(e.shstrndx, shstrtabName, 3, namesAt, names.size());
  return e;
}
