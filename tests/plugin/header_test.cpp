// The header sections the firmware reads from the built plug-in file.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "elf_sections.h"

namespace {

std::string Padded(const std::string &text, size_t size) {
  std::string s = text;
  s.resize(size, '\0');
  return s;
}

class Header : public ::testing::Test {
protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(ReadElfSections(VELUMO_SO, elf_, why)) << why;
  }
  const std::string &Section(const char *name) {
    static const std::string none = "<missing>";
    auto it = elf_.sections.find(name);
    return it == elf_.sections.end() ? none : it->second;
  }
  ElfFile elf_;
};

TEST_F(Header, IsASharedObjectForThisCpu) {
  EXPECT_EQ(3, elf_.type); // ET_DYN
#if defined(__mips__)
  EXPECT_EQ(1, elf_.elfClass);
  EXPECT_EQ(8, elf_.machine); // EM_MIPS, little-endian checked by the reader
#else
  EXPECT_EQ(2, elf_.elfClass);
#endif
}

TEST_F(Header, SectionsByteForByte) {
  std::string header("TFAPMIPS\x10\0\0\0", 12);
  EXPECT_EQ(Padded(header, 32), Section("._tap_header"));
  EXPECT_EQ(std::string("\x27\xFE\xAF\x81", 4), Section("._tap_id"));
  // The project's version, "V" and the number, as jpgcmd and tapsim show it.
  EXPECT_EQ(Padded("Velumo V" VELUMO_VERSION, 64), Section("._tap_program_name"));
  EXPECT_EQ(Padded("V" VELUMO_VERSION, 64), Section("._tap_program_version"));
  EXPECT_EQ(Padded("A tap for viewing and converting channel logos", 128),
            Section("._tap_description"));
  const std::string &author = Section("._tap_author_name");
  ASSERT_EQ(64u, author.size());
  EXPECT_NE('\0', author[0]);
  EXPECT_EQ('\0', author[63]);
}

TEST_F(Header, BuildDateLikeFeb_25_2012) {
  const std::string &etc = Section("._tap_etcinfo");
  ASSERT_EQ(64u, etc.size());
  const std::string date = etc.c_str();
  ASSERT_EQ(11u, date.size()) << date;
  static const char *months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  bool known = false;
  for (const char *m : months) known |= date.compare(0, 3, m) == 0;
  EXPECT_TRUE(known) << date;
  EXPECT_EQ(' ', date[3]);
  const int day = atoi(date.c_str() + 4), year = atoi(date.c_str() + 7);
  EXPECT_GE(day, 1);
  EXPECT_LE(day, 31);
  EXPECT_GE(year, 2024);
}

} // namespace

namespace {

TEST(PluginFile, CarriesTheToolkitVersionMarker) {
  std::ifstream f(VELUMO_SO, std::ios::binary);
  ASSERT_TRUE(f);
  const std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  EXPECT_NE(std::string::npos, bytes.find(std::string("__TKLIB_VERSION_TMS__ 2012-02-17\0", 33)));
}

} // namespace
