// A plug-in file's identity from its ELF sections: the project's own built
// plug-in, and small files built here, intact and damaged in every field
// the reader trusts.
#include <string.h>
#include <time.h>

#include "../plugin/elf_sections.h"
#include "elf_builder.h"
#include "testdisk.h"
#include "tklib.h"

namespace {

// MJD of "Mmm dd yyyy" through the C library, independent of the firmware.
long MjdOf(const std::string &date) {
  static const char *months = "JanFebMarAprMayJunJulAugSepOctNovDec";
  struct tm t = {};
  t.tm_mon = int(strstr(months, date.substr(0, 3).c_str()) - months) / 3;
  t.tm_mday = atoi(date.c_str() + 4);
  t.tm_year = atoi(date.c_str() + 7) - 1900;
  return long(timegm(&t) / 86400) + 40587;
}

class Elf : public SimTest {
protected:
  void SetUp() override {
    SimTest::SetUp();
    TAPDirStackDepth = -1;
  }
  void TearDown() override {
    EXPECT_EQ(-1, fTAP); // the file is closed whatever happened
    EXPECT_EQ(0u, Sim_HeapBlocksTotal());
    EXPECT_EQ(-1, TAPDirStackDepth);
    SimTest::TearDown();
  }
  bool Info(const std::string &bytes, tTAPInfo &info) {
    EXPECT_TRUE(WriteHostFile(Host("/ProgramFiles/x.tap"), bytes));
    EXPECT_EQ(1, TAP_Hdd_ChangeDir("/ProgramFiles"));
    return HDD_TAP_GetInfo("x.tap", &info);
  }
  bool Accepts(const BuiltElf &e) {
    tTAPInfo info;
    return Info(e.bytes, info);
  }
};

TEST_F(Elf, TheBuiltPlugin) {
  std::string bytes, why;
  ASSERT_TRUE(ReadHostFile(VELUMO_SO, bytes));
  ElfFile oracle;
  ASSERT_TRUE(ReadElfSections(VELUMO_SO, oracle, why)) << why;
#if defined(__mips__)
  ASSERT_EQ(1, oracle.elfClass); // the receiver's ELF32
#endif
  tTAPInfo info;
  ASSERT_TRUE(Info(bytes, info));
  EXPECT_EQ(0x81AFFE27u, info.TAPID);
  EXPECT_STREQ("Velumo V1.0", info.TAPName);
  EXPECT_STREQ("The Velumo developers", info.AuthorName);
  EXPECT_STREQ("A tap for viewing and converting channel logos", info.Description);
  EXPECT_EQ(dword(MjdOf(oracle.sections["._tap_etcinfo"].c_str())), info.Date);
  EXPECT_GT(info.Date, 55000u);

  // The same file by its absolute path, from another directory, which is
  // the current one again afterwards.
  ASSERT_EQ(1, TAP_Hdd_ChangeDir("/"));
  tTAPInfo again;
  ASSERT_TRUE(HDD_TAP_GetInfoByAbsPath("/mnt/hd/ProgramFiles/x.tap", &again));
  EXPECT_EQ(0, memcmp(&info, &again, sizeof info));
  char dir[kDirStackEntry];
  HDD_TAP_GetCurrentDir(dir);
  EXPECT_STREQ("/", dir);
}

TEST_F(Elf, BothWidthsAndTheDate) {
  for (bool wide : {false, true}) {
    SCOPED_TRACE(wide ? "ELF64" : "ELF32");
    tTAPInfo info;
    ASSERT_TRUE(
        Info(BuildElf(wide, PluginSections("\x30\x42\x0A\x8E", "Feb 25 2012")).bytes, info));
    EXPECT_EQ(0x8E0A4230u, info.TAPID);
    EXPECT_EQ(55982u, info.Date); // 2012-02-25
    EXPECT_STREQ("Probe V2", info.TAPName);
    EXPECT_STREQ("Someone", info.AuthorName);
    EXPECT_STREQ("A probe", info.Description);
    // A day below 10 as the compiler writes it, padded with a blank.
    ASSERT_TRUE(Info(BuildElf(wide, PluginSections("1234", "Jan  5 2000")).bytes, info));
    EXPECT_EQ(51548u, info.Date);
    // A month not in the list, and no date section at all.
    ASSERT_TRUE(Info(BuildElf(wide, PluginSections("1234", "Foo 25 2012")).bytes, info));
    EXPECT_EQ(0u, info.Date);
    auto sections = PluginSections("1234", "");
    sections.pop_back();
    ASSERT_TRUE(Info(BuildElf(wide, sections).bytes, info));
    EXPECT_EQ(0u, info.Date);
    EXPECT_EQ(0x34333231u, info.TAPID);
  }
}

TEST_F(Elf, LongTextsAreCutToTheirFields) {
  auto sections = PluginSections("1234", "Feb 25 2012");
  sections[2].data = std::string(300, 'N'); // no terminator in the file
  sections[4].data = std::string(129, 'D');
  tTAPInfo info;
  ASSERT_TRUE(Info(BuildElf(false, sections).bytes, info));
  EXPECT_EQ(std::string(63, 'N'), info.TAPName);
  EXPECT_EQ(std::string(127, 'D'), info.Description);
  EXPECT_STREQ("Someone", info.AuthorName);
}

TEST_F(Elf, TheIdentifierMustBeFourBytes) {
  for (bool wide : {false, true}) {
    EXPECT_FALSE(Accepts(BuildElf(wide, PluginSections("12345678", "")))); // 8 bytes
    EXPECT_FALSE(Accepts(BuildElf(wide, PluginSections("123", ""))));
    auto sections = PluginSections("1234", "");
    sections[1].name = "._tap_idx";
    EXPECT_FALSE(Accepts(BuildElf(wide, sections)));
    sections[1] = {"._tap_id", 8, "1234"}; // no bits in the file
    EXPECT_FALSE(Accepts(BuildElf(wide, sections)));
  }
}

TEST_F(Elf, DamagedHeadersAreRefused) {
  for (bool wide : {false, true}) {
    SCOPED_TRACE(wide ? "ELF64" : "ELF32");
    const BuiltElf good = BuildElf(wide, PluginSections("1234", ""));
    ASSERT_TRUE(Accepts(good));
    const int shoffAt = wide ? 40 : 32, shoffSize = wide ? 8 : 4;
    const int entAt = wide ? 58 : 46, numAt = wide ? 60 : 48, strAt = wide ? 62 : 50;
    auto damaged = [&](uint64_t at, uint64_t value, int size) {
      BuiltElf e = good;
      e.Put(at, value, size);
      return Accepts(e);
    };
    EXPECT_FALSE(damaged(0, 0x7E, 1));                  // no ELF magic
    EXPECT_FALSE(damaged(4, 3, 1));                     // no such class
    EXPECT_FALSE(damaged(5, 2, 1));                     // big-endian
    EXPECT_FALSE(damaged(entAt, wide ? 40 : 64, 2));    // wrong entry size
    EXPECT_FALSE(damaged(numAt, 0, 2));                 // no sections
    EXPECT_FALSE(damaged(numAt, 0xFFFF, 2));            // more than the file holds
    EXPECT_FALSE(damaged(strAt, good.shstrndx + 1, 2)); // names beyond the table
    EXPECT_FALSE(damaged(strAt, 1, 2));                 // names not a string table
    EXPECT_FALSE(damaged(shoffAt, good.bytes.size(), shoffSize));
    EXPECT_FALSE(damaged(shoffAt, good.shoff + 1, shoffSize)); // table runs past the end
    if (wide) {
      EXPECT_FALSE(damaged(shoffAt, 0x100000000ull + good.shoff, 8));
    }
    // Truncated anywhere, the file is refused or read in full, never beyond.
    for (size_t n = 0; n < good.bytes.size(); n += 7) {
      tTAPInfo info;
      Info(good.bytes.substr(0, n), info);
    }
    EXPECT_FALSE(Accepts([&] {
      BuiltElf e = good;
      e.bytes.resize(e.bytes.size() - 1);
      return e;
    }()));
  }
}

TEST_F(Elf, DamagedSectionsAreRefusedOrSkipped) {
  for (bool wide : {false, true}) {
    SCOPED_TRACE(wide ? "ELF64" : "ELF32");
    const BuiltElf good = BuildElf(wide, PluginSections("1234", "Feb 25 2012"));
    const int offAt = wide ? 24 : 16, sizeAt = wide ? 32 : 20, w = wide ? 8 : 4;
    auto with = [&](uint32_t section, int field, uint64_t value, tTAPInfo &info) {
      BuiltElf e = good;
      e.Put(e.Header(section) + field, value, field < 8 ? 4 : w);
      return Info(e.bytes, info);
    };
    tTAPInfo info;
    // The identifier's data outside the file.
    EXPECT_FALSE(with(2, offAt, good.bytes.size() - 3, info));
    EXPECT_FALSE(with(2, offAt, 0xFFFFFFFFu, info));
    // The name table's size beyond the file, and a name offset beyond it.
    EXPECT_FALSE(with(good.shstrndx, sizeAt, good.bytes.size(), info));
    EXPECT_FALSE(with(2, 0, 0x7FFFFFFF, info)); // the identifier's name is lost
    // A text section that claims more than the file: that field stays empty.
    ASSERT_TRUE(with(5, sizeAt, 0xFFFFFFF0u, info));
    EXPECT_STREQ("", info.Description);
    EXPECT_STREQ("Probe V2", info.TAPName);
    ASSERT_TRUE(with(6, offAt, good.bytes.size() + 10, info));
    EXPECT_EQ(0u, info.Date);
  }
}

TEST_F(Elf, MissingFilesPathsAndHeap) {
  tTAPInfo info;
  EXPECT_FALSE(HDD_TAP_GetInfo("nothing.tap", &info));
  EXPECT_FALSE(HDD_TAP_GetInfo(nullptr, &info));
  EXPECT_FALSE(HDD_TAP_GetInfoByAbsPath("/ProgramFiles/x.tap", &info)); // not below /mnt/hd
  EXPECT_FALSE(HDD_TAP_GetInfoByAbsPath("/mnt/hdx/x.tap", &info));
  EXPECT_FALSE(HDD_TAP_GetInfoByAbsPath("/mnt/hd/NoSuchFolder/x.tap", &info));
  ASSERT_TRUE(WriteHostFile(Host("/top.tap"), BuildElf(false, PluginSections("abcd", "")).bytes));
  ASSERT_TRUE(HDD_TAP_GetInfoByAbsPath("/mnt/hd/top.tap", &info)); // from the root
  EXPECT_EQ(0x64636261u, info.TAPID);

  const std::string bytes = BuildElf(true, PluginSections("abcd", "")).bytes;
  for (dword nth : {1, 2}) { // section headers, then the name table
    Sim_FailAllocNth(nth);
    EXPECT_FALSE(Info(bytes, info)) << nth;
    Sim_FailAllocNth(0);
    EXPECT_EQ(0u, info.TAPID);
  }
  EXPECT_TRUE(Info(bytes, info));
}

} // namespace
