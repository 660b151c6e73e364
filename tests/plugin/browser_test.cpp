// The logo browser driven by keys through the firmware stand-in: the list,
// its sort orders and jumps, conversions checked byte for byte against an
// independent computation, the detail view on the screen plane, delete.
#include <png.h>
#include <string.h>
#include <sys/stat.h>
#include <utime.h>

#include <ctype.h>

#include <algorithm>
#include <random>

#include "oracle.h"
#include "plugin_fixture.h"
#include "rawlogo.h"
#include "tklib.h"

namespace {

// Independent of the plug-in: the documented conversions written out.
uint16_t To16(uint32_t p) {
  const uint32_t r = uint32_t((p >> 16 & 0xFF) / 8.2258), g = uint32_t((p >> 8 & 0xFF) / 8.2258),
                 b = uint32_t((p & 0xFF) / 8.2258);
  const uint32_t opaque = (p >> 24) == 255 && (r | g | b) ? 1 : 0;
  return uint16_t(opaque << 15 | r << 10 | g << 5 | b);
}
uint32_t From16(uint16_t v) {
  auto ch = [](uint32_t n) { return uint32_t(n * 8.2258); };
  return (v & 0x8000 ? 0xFF000000u : 0) | ch(v >> 10 & 31) << 16 | ch(v >> 5 & 31) << 8 |
         ch(v & 31);
}
std::string Raw(uint32_t w, uint32_t h, const std::vector<uint32_t> &px, bool wide) {
  std::string s = Be32(w) + Be32(h);
  for (uint32_t p : px) {
    if (wide) {
      s += Be32(p);
    } else {
      const uint16_t v = To16(p);
      s += std::string{char(v >> 8), char(v)};
    }
  }
  return s;
}
std::string BmpOverBlack(uint32_t w, uint32_t h, const std::vector<uint32_t> &px) {
  const uint32_t row = (w * 3 + 3) / 4 * 4;
  auto le = [](uint32_t v, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += char(i < 4 ? v >> (8 * i) : 0);
    return s;
  };
  std::string s = "BM" + le(row * h + 54, 4) + le(0, 4) + le(54, 4) + le(40, 4) + le(w, 4) +
                  le(h, 4) + le(1, 2) + le(24, 2) + le(0, 4) + le(row * h, 4) + le(0, 16);
  for (uint32_t y = 0; y < h; ++y) {
    std::string r;
    for (uint32_t x = 0; x < w; ++x) {
      const uint32_t p = px[(h - 1 - y) * w + x], a = p >> 24;
      for (int shift : {0, 8, 16}) {
        const uint32_t v = p >> shift & 0xFF;
        r += char(a == 0 ? 0 : a == 255 ? v : (a * v) >> 8);
      }
    }
    r.resize(row, '\0');
    s += r;
  }
  return s;
}

bool ReadPng(const std::string &path, uint32_t &w, uint32_t &h, std::vector<uint32_t> &argb) {
  png_image image;
  memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_ARGB;
  std::vector<uint8_t> bytes(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, bytes.data(), 0, nullptr)) return false;
  w = image.width;
  h = image.height;
  argb.resize(size_t(w) * h);
  for (size_t i = 0; i < argb.size(); ++i)
    argb[i] = uint32_t(bytes[i * 4]) << 24 | uint32_t(bytes[i * 4 + 1]) << 16 |
              uint32_t(bytes[i * 4 + 2]) << 8 | bytes[i * 4 + 3];
  return true;
}

class Browser : public PluginTest {
protected:
  void SetUp() override {
    PluginTest::SetUp();
    MakeLogoFolders();
    MakeFolders({"/Logos/Sub", "/Other"});
    stopKey_ = true;
  }
  void Start(const char *extra = "") {
    const std::string ini = std::string("Path01=/Logos\r\nPath02=/Other\r\nDebug=1\r\n") + extra;
    PluginTest::Start(ini.c_str());
  }
  void TearDown() override {
    Stop();
    ExpectNothingHeld(); // nothing left behind at the end
    SimTest::TearDown();
  }
  std::vector<std::string> Names() {
    std::vector<std::string> v;
    for (int i = 0; i < OSDMenuItemGetNrOfItems(); ++i) v.push_back(OSDMenuItemGetName(i));
    return v;
  }
  // Puts the cursor on the entry of that name, as the arrow keys would.
  void Select(const std::string &name) {
    const auto names = Names();
    const auto it = std::find(names.begin(), names.end(), name);
    ASSERT_NE(names.end(), it) << name;
    SelectIndex(int(it - names.begin()));
  }
  void SelectIndex(int index) {
    ASSERT_LT(index, OSDMenuItemGetNrOfItems());
    // Bounded: keys that no longer reach the list must not hang the test.
    for (int n = 0; n < 10000 && OSDMenuGetCurrentItem() != index; ++n)
      Key(OSDMenuGetCurrentItem() < index ? RKEY_Down : RKEY_Up);
    ASSERT_EQ(index, OSDMenuGetCurrentItem());
  }
  // The entry whose name is listed as `name` and whose identifier is `id`.
  int IndexOf(const std::string &name, uint32_t id) {
    for (int i = 0; i < OSDMenuItemGetNrOfItems(); ++i)
      if (name == OSDMenuItemGetName(i) && OSDMenuItemGetID(i) == id) return i;
    return -1;
  }
  std::string File(const std::string &path) {
    std::string bytes;
    ReadHostFile(Host(path), bytes);
    return bytes;
  }
  bool Logged(const std::string &text) {
    std::string log;
    ReadHostFile(Host("/ProgramFiles/Settings/Velumo/Velumo.log"), log);
    return log.find(text) != std::string::npos;
  }
};

TEST_F(Browser, ListsFoldersFirstWithTheParentEntry) {
  ASSERT_TRUE(WriteHostFile(Host("/Logos/b.png"), "x"));
  ASSERT_TRUE(WriteHostFile(Host("/Logos/a.qtl"), "x"));
  ASSERT_TRUE(WriteHostFile(Host("/Logos/notes.txt"), "x"));
  Start();
  EXPECT_STREQ("/Logos", currentDir);
  EXPECT_EQ((std::vector<std::string>{"< .. >", "<Sub>", "a.qtl", "b.png"}), Names());
  EXPECT_STREQ("directory", OSDMenuItemGetValue(0));
  EXPECT_EQ(0u, OSDMenuItemGetID(0));
  EXPECT_EQ(1u, OSDMenuItemGetID(1));
  EXPECT_EQ(0x2E71746Cu, OSDMenuItemGetID(2)); // ".qtl"
  EXPECT_EQ(0x2E706E67u, OSDMenuItemGetID(3)); // ".png"
  // Up to the root: no parent entry there, and Exit does nothing more.
  EXPECT_EQ(0u, Key(RKEY_Exit));
  EXPECT_STREQ("/", currentDir);
  EXPECT_EQ("<Logos>", Names().at(0));
  EXPECT_EQ(0u, Key(RKEY_Exit));
  EXPECT_STREQ("/", currentDir);
  // Into a folder with OK, and back.
  Select("<Logos>");
  EXPECT_EQ(0u, Key(RKEY_Ok));
  EXPECT_STREQ("/Logos", currentDir);
  Select("<Sub>");
  EXPECT_EQ(0u, Key(RKEY_Ok));
  EXPECT_STREQ("/Logos/Sub", currentDir);
  Select("< .. >");
  EXPECT_EQ(0u, Key(RKEY_Ok));
  EXPECT_STREQ("/Logos", currentDir);
  EXPECT_TRUE(Logged("MS_Inactive\n"));
}

TEST_F(Browser, MissingDirectoryAndTheDirectoryList) {
  Start("PathCur=2\r\nPath03=/Nowhere\r\n");
  EXPECT_STREQ("/Other", currentDir);
  EXPECT_EQ(3, pathcnt);
  EXPECT_EQ(0u, Key(RKEY_Next));
  EXPECT_STREQ("/Nowhere", currentDir);
  EXPECT_EQ((std::vector<std::string>{"directory does not exist"}), Names());
  EXPECT_EQ(0u, Key(RKEY_1));    // the number keys leave it alone
  EXPECT_EQ(0u, Key(RKEY_Next)); // wraps to the first slot
  EXPECT_STREQ("/Logos", currentDir);
  EXPECT_EQ(0u, Key(RKEY_Prev)); // and back round to the last
  EXPECT_STREQ("/Nowhere", currentDir);
}

TEST_F(Browser, SortOrdersAndLetterJumps) {
  for (const char *n : {"b1.png", "B2.qtl", "\xC4rger.bll", "a.bmp", "\x05zz.qtl", "c.png"})
    ASSERT_TRUE(WriteHostFile(Host(std::string("/Logos/") + n), "x"));
  Start();
  EXPECT_EQ(0u, Key(RKEY_NewF1)); // name, ascending
  EXPECT_EQ(2, sort);
  EXPECT_EQ(std::string("< .. >"), Names().at(0));
  // A group starts wherever the first letter changes: upper-cased, the
  // umlauts as their vowels, a leading 0x05 skipped.
  int groups = 0;
  char last = ' ';
  for (const std::string &n : Names()) {
    char c = char(toupper(n[0] == 0x05 ? n[1] : n[0]));
    if (c == '\xC4') c = 'A';
    if (c != last) ++groups;
    last = c;
  }
  // Umlauts sort with their vowel, leading control bytes do not count.
  EXPECT_EQ((std::vector<std::string>{"< .. >", "<Sub>", "a.bmp", "\xC4rger.bll", "b1.png",
                                      "B2.qtl", "c.png", "\x05zz.qtl"}),
            Names());
  EXPECT_EQ(groups, lettercnt);
  EXPECT_GE(lettercnt, 5);
  Select("<Sub>");
  EXPECT_EQ(0u, Key(RKEY_Forward));
  EXPECT_EQ(letterindex[1], OSDMenuGetCurrentItem());
  EXPECT_EQ(0u, Key(RKEY_Rewind));
  EXPECT_EQ(0, OSDMenuGetCurrentItem());
  EXPECT_EQ(0u, Key(RKEY_Rewind)); // wraps to the last group
  EXPECT_EQ(letterindex[lettercnt - 1], OSDMenuGetCurrentItem());
  EXPECT_EQ(0u, Key(RKEY_Forward)); // and from the last to the first
  EXPECT_EQ(0, OSDMenuGetCurrentItem());
  EXPECT_EQ(0u, Key(RKEY_F3)); // type, ascending: no letter groups
  EXPECT_EQ(6, sort);
  EXPECT_EQ(0, lettercnt);
  const int before = OSDMenuGetCurrentItem();
  EXPECT_EQ(0u, Key(RKEY_Forward));
  EXPECT_EQ(before, OSDMenuGetCurrentItem());
  EXPECT_TRUE(Logged("OSDMenuItemSortID(1);\n"));
  EXPECT_EQ(0u, Key(RKEY_F2));
  EXPECT_EQ(4, sort);
}

TEST_F(Browser, AccentedLettersJoinTheGroupOfTheirLetter) {
  for (const char *n : {"f.png", "\xE9t\xE9.png", "e1.png"})
    ASSERT_TRUE(WriteHostFile(Host(std::string("/Logos/") + n), "x"));
  Start();
  EXPECT_EQ(0u, Key(RKEY_NewF1));
  EXPECT_EQ((std::vector<std::string>{"< .. >", "<Sub>", "e1.png", "\xE9t\xE9.png", "f.png"}),
            Names());
  EXPECT_EQ(3, lettercnt); // "<", "E", "F"
  Select("e1.png");
  EXPECT_EQ(0u, Key(RKEY_Forward));
  EXPECT_STREQ("f.png", OSDMenuItemGetCurrentName());
}

TEST_F(Browser, TheListStopsAt4999Entries) {
  for (int i = 0; i < 5000; ++i)
    ASSERT_TRUE(WriteHostFile(Host("/Other/f" + std::to_string(10000 + i) + ".png"), ""));
  Start("PathCur=2\r\n");
  EXPECT_EQ(4999, OSDMenuItemGetNrOfItems());
  EXPECT_EQ("f14997.png", Names().back()); // the parent entry counts
}

// The value column is written without printf, but must read the same for
// every field value the firmware can hand over.
TEST(FileValueText, ReadsAsPrintfWritesIt) {
  struct Case {
    int year, month, day, hour, minute, size;
    const char *unit;
  };
  const Case cases[] = {
      {12, 2, 17, 9, 5, 3680, "byte"},      {0, 0, 0, 0, 0, 0, "Byte"},
      {99, 12, 31, 23, 59, 1, "byte"},      {-99, 255, 255, 255, 255, -1, "byte"},
      {-5, 9, 10, 99, 100, 2147483647, ""}, {-10, 1, 1, 1, 1, -2147483647 - 1, "Byte"},
      {7, 7, 7, 7, 7, 1000000000, "byte"}};
  for (const Case &c : cases) {
    char expected[80], got[80];
    memset(got, 'x', sizeof got);
    snprintf(expected, sizeof expected, "%02d-%02d-%02d, %02d:%02d, %d %s", c.year, c.month, c.day,
             c.hour, c.minute, c.size, c.unit);
    FileValueText(got, c.year, c.month, c.day, c.hour, c.minute, c.size, c.unit);
    EXPECT_STREQ(expected, got);
  }
}

// Past 4,999 entries the folders still come first and all of them stay:
// the files found last are the ones left out.
TEST_F(Browser, AFullListKeepsItsFoldersAndTheFirstFiles) {
  for (int i = 0; i < 4990; ++i)
    ASSERT_TRUE(WriteHostFile(Host("/Other/f" + std::to_string(10000 + i) + ".png"), ""));
  for (int i = 0; i < 12; ++i) mkdir(Host("/Other/z" + std::to_string(10 + i)).c_str(), 0755);
  Start("PathCur=2\r\n");
  ASSERT_EQ(4999, OSDMenuItemGetNrOfItems());
  const std::vector<std::string> names = Names();
  EXPECT_EQ("< .. >", names[0]);
  EXPECT_EQ("<z10>", names[1]);
  EXPECT_EQ("<z21>", names[12]);
  EXPECT_EQ("f10000.png", names[13]);
  EXPECT_EQ("f14985.png", names.back());
}

// Folders and files come in one search; the files are kept aside in memory
// meanwhile.  Whichever allocation fails while the list is read again, the
// folders stay first and no file is lost, but for the one entry whose room
// could not be made.
TEST_F(Browser, OneSearchListsFoldersFirstWhateverAllocationFails) {
  for (int i = 0; i < 40; ++i) {
    ASSERT_TRUE(WriteHostFile(Host("/Logos/m" + std::to_string(10 + i) + ".png"), "x"));
    if (i % 8 == 0) mkdir(Host("/Logos/n" + std::to_string(10 + i)).c_str(), 0755);
  }
  Start();
  const std::vector<std::string> all = Names();
  ASSERT_EQ(47u, all.size());
  EXPECT_EQ((std::vector<std::string>{"< .. >", "<Sub>", "<n10>", "<n18>", "<n26>", "<n34>",
                                      "<n42>", "m10.png"}),
            std::vector<std::string>(all.begin(), all.begin() + 8));
  Select("m10.png"); // the refresh key acts on a file
  const dword before = Sim_AllocCount();
  Key(RKEY_9);
  const dword refresh = Sim_AllocCount() - before;
  ASSERT_GE(refresh, 3u); // the storage, the files, the storage grown
  for (dword n = 1; n <= refresh; ++n) {
    Sim_FailAllocNth(n);
    Key(RKEY_9);
    Sim_FailAllocNth(0);
    // What is listed is the whole list in its order, less at most one.
    const std::vector<std::string> now = Names();
    size_t same = 0;
    for (const std::string &name : all)
      if (same < now.size() && now[same] == name) ++same;
    EXPECT_EQ(now.size(), same) << "allocation " << n << " failing";
    EXPECT_GE(now.size() + 1, all.size()) << "allocation " << n << " failing";
  }
}

TEST_F(Browser, ConversionsOfEverySourceKind) {
  // A 16-bit raw source, a 32-bit raw one with partial alpha, and a BMP.
  std::vector<uint32_t> px16(54 * 34), px32(60 * 40), pxBmp(10 * 6);
  std::string s16 = Be32(54) + Be32(34);
  for (size_t i = 0; i < px16.size(); ++i) {
    const uint16_t v = uint16_t(i * 2654435761u >> 16);
    s16 += std::string{char(v >> 8), char(v)};
    px16[i] = From16(v); // the logo the plug-in holds after loading
  }
  for (size_t i = 0; i < px32.size(); ++i) px32[i] = uint32_t(i * 0x9E3779B1u);
  for (size_t i = 0; i < pxBmp.size(); ++i) pxBmp[i] = 0xFF000000u | uint32_t(i * 0x010305u);
  ASSERT_TRUE(WriteHostFile(Host("/Logos/s16.qtl"), s16));
  ASSERT_TRUE(WriteHostFile(Host("/Logos/s32.bll32"), Raw(60, 40, px32, true)));
  ASSERT_TRUE(WriteHostFile(Host("/Logos/sb.bmp"), BmpOverBlack(10, 6, pxBmp)));
  Start();
  const struct {
    const char *name;
    uint32_t w, h;
    const std::vector<uint32_t> *px;
  } sources[] = {
      {"s16.qtl", 54, 34, &px16}, {"s32.bll32", 60, 40, &px32}, {"sb.bmp", 10, 6, &pxBmp}};
  for (const auto &s : sources) {
    const std::string base = std::string(s.name).substr(0, std::string(s.name).find('.'));
    const bool wide = std::string(s.name).find("32") != std::string::npos ||
                      std::string(s.name).find(".bmp") != std::string::npos;
    for (dword key = RKEY_1; key <= RKEY_8; ++key) {
      Select(s.name);
      EXPECT_EQ(0u, Key(key)) << s.name << " " << key;
    }
    const std::string d = "/Logos/" + base;
    EXPECT_TRUE(Raw(s.w, s.h, *s.px, false) == File(d + ".bll")) << s.name;
    if (std::string(s.name) != "s32.bll32") {
      EXPECT_TRUE(Raw(s.w, s.h, *s.px, true) == File(d + ".bll32")) << s.name;
    }
    uint32_t w = 0, h = 0;
    std::vector<uint32_t> png;
    ASSERT_TRUE(ReadPng(Host(d + ".png"), w, h, png)) << s.name;
    EXPECT_EQ(s.w, w);
    EXPECT_EQ(*s.px, png) << s.name;
    if (std::string(s.name) != "sb.bmp") {
      EXPECT_TRUE(BmpOverBlack(s.w, s.h, *s.px) == File(d + ".bmp")) << s.name;
    }
    // The fixed sizes: header and pixel size; 32-bit when the source has more
    // than 16 bits a pixel.
    const struct {
      const char *ext;
      uint32_t w, h;
    } sized[] = {{".qtl", 54, 34}, {".qsl", 36, 22}, {".ibl", 50, 30}};
    for (const auto &z : sized) {
      const std::string path = d + z.ext + (wide ? "32" : "");
      if (path == "/Logos/" + std::string(s.name)) continue; // never onto itself
      const std::string f = File(path);
      EXPECT_EQ(Be32(z.w) + Be32(z.h), f.substr(0, 8)) << path;
      EXPECT_EQ(8u + z.w * z.h * (wide ? 4 : 2), f.size()) << path;
    }
  }
  // The 54 x 34 logo as BMP: rows of 164 bytes.
  EXPECT_EQ(54u + 164 * 34, File("/Logos/s16.bmp").size());
  EXPECT_TRUE(Logged("= Saved channel logofile /Logos/s16.png RC 1\n"));
}

TEST_F(Browser, AConversionNeverReplacesItsSource) {
  std::vector<uint32_t> px(54 * 34, 0xFF204080);
  const std::string original = Raw(54, 34, px, false);
  ASSERT_TRUE(WriteHostFile(Host("/Logos/same.qtl"), original));
  ASSERT_TRUE(WriteHostFile(Host("/Logos/same.bll"), original));
  Start();
  Select("same.qtl");
  EXPECT_EQ(0u, Key(RKEY_6)); // 54x34 QTL of a QTL
  Select("same.bll");
  EXPECT_EQ(0u, Key(RKEY_1)); // BLL of a BLL
  EXPECT_EQ(original, File("/Logos/same.qtl"));
  EXPECT_EQ(original, File("/Logos/same.bll"));
  EXPECT_TRUE(Logged("= Not converting /Logos/same.qtl into itself\n"));
}

TEST_F(Browser, DeleteActsOnTheFileUnderTheCursorOnly) {
  ASSERT_TRUE(WriteHostFile(Host("/Logos/gone.png"), "x"));
  ASSERT_TRUE(WriteHostFile(Host("/Logos/kept.png"), "x"));
  Start();
  Select("gone.png");
  EXPECT_EQ(0u, Key(RKEY_F4));
  EXPECT_FALSE(HostExists(Host("/Logos/gone.png")));
  EXPECT_TRUE(HostExists(Host("/Logos/kept.png")));
  EXPECT_EQ((std::vector<std::string>{"< .. >", "<Sub>", "kept.png"}), Names());
  Select("<Sub>");
  EXPECT_EQ(0u, Key(RKEY_F4)); // a folder is not deleted
  EXPECT_TRUE(HostExists(Host("/Logos/Sub")));
}

// The longest path is what the directory read-back and the directory stack
// hold whole: 199 characters.
TEST_F(Browser, FolderPathsThatWouldNotFitAreRefused) {
  std::string deep = "/Logos";
  while (deep.size() < 180) {
    deep += "/" + std::string(20, 'd');
    ASSERT_EQ(0, mkdir(Host(deep).c_str(), 0755));
  }
  const std::string fits(199 - deep.size() - 1, 'f'), tooLong(fits.size() + 1, 'e');
  ASSERT_EQ(0, mkdir(Host(deep + "/" + fits).c_str(), 0755));
  ASSERT_EQ(0, mkdir(Host(deep + "/" + tooLong).c_str(), 0755));
  Start(("Path01=" + deep.substr(0, 127) + "\r\n").c_str());
  strcpy(currentDir, deep.c_str());
  ShowFilelistMenu(currentDir, LOGO_FILTER);
  Select("<" + tooLong + ">");
  EXPECT_EQ(0u, Key(RKEY_Ok));
  EXPECT_EQ(deep, currentDir); // not entered, nothing overrun
  EXPECT_STREQ("Path too long - folder not opened", buf);
  Select("<" + fits + ">");
  EXPECT_EQ(0u, Key(RKEY_Ok));
  EXPECT_EQ(199u, strlen(currentDir)); // exactly full is fine, and listed
  EXPECT_EQ((std::vector<std::string>{"< .. >"}), Names());
}

// The detail view names a PNG's kind as its header has it, in both
// languages; the other formats keep their extension.
TEST_F(Browser, DetailViewNamesThePngKind) {
  PngSpec grey16;
  grey16.colorType = 4;
  grey16.depth = 16;
  grey16.interlace = true;
  const struct {
    const char *name;
    std::string file;
    const char *english, *german;
  } cases[] = {
      {"a.png", LibpngImage(1, 1, 3, 8, {0}), "PNG 8-bit palette", "PNG 8-Bit Palette"},
      {"b.png", LibpngImage(1, 1, 0, 1, {0}), "PNG 1-bit greyscale", "PNG 1-Bit Graustufen"},
      {"c.png", LibpngWrite(grey16, {1, 2, 3, 4}), "PNG 16-bit greyscale+alpha interlaced",
       "PNG 16-Bit Graustufen+Alpha mit Zeilensprung"},
      {"d.png", LibpngImage(1, 1, 2, 8, {1, 2, 3}), "PNG 8-bit RGB", "PNG 8-Bit RGB"},
      {"e.png", LibpngImage(1, 1, 6, 8, {1, 2, 3, 4}), "PNG 8-bit RGBA", "PNG 8-Bit RGBA"},
      {"f.bll32", Raw(1, 1, {0xFF102030}, true), "BLL32", "BLL32"},
  };
  for (const auto &c : cases)
    ASSERT_TRUE(WriteHostFile(Host(std::string("/Logos/") + c.name), c.file));
  Start();
  for (const auto &c : cases)
    for (int german : {0, 1}) {
      Select(c.name);
      lang = german;
      EXPECT_EQ(0u, Key(RKEY_Ok));
      EXPECT_EQ(std::string(german ? "Typ: " : "Type: ") + (german ? c.german : c.english) +
                    (german ? ", Farben: 32 Bit" : ", Colors: 32 bit"),
                Names().at(3));
      lang = 0;
      EXPECT_EQ(0u, Key(RKEY_Exit));
    }
}

TEST_F(Browser, DetailViewOnTheScreen) {
  std::vector<uint32_t> px(60 * 40, 0xFF2060A0);
  px[0] = 0x00FFFFFF; // transparent
  px[1] = 0xFF050505; // near black, opaque
  ASSERT_TRUE(WriteHostFile(Host("/Logos/d.bll32"), Raw(60, 40, px, true)));
  Start("TestBG=ff101010\r\n");
  Select("d.bll32");
  EXPECT_EQ(0u, Key(RKEY_Ok));
  EXPECT_EQ(MS_LogoDetail, myState);
  const uint32_t *s = Sim_ShownPlane();
  auto at = [s](int x, int y) { return s[y * 720 + x]; };
  // Frames of the four views in 0xFF00FFFF.
  EXPECT_EQ(0xFF00FFFFu, at(242, 197)); // 7x: spans x 243-662, y 198-477 inside
  EXPECT_EQ(0xFF00FFFFu, at(663, 478));
  EXPECT_EQ(0xFF2060A0u, at(243 + 7 * 2, 198));
  EXPECT_EQ(0xFF00FFFFu, at(181, 195)); // 1x from (182, 196)
  EXPECT_EQ(0xFF2060A0u, at(182 + 2, 196));
  EXPECT_EQ(0xFF00FFFFu, at(121, 236)); // 2x from (122, 237)
  EXPECT_EQ(0xFF00FFFFu, at(1, 317));   // 4x from (2, 318)
  EXPECT_EQ(0xFF101010u, at(182, 196)); // transparent over the test background
  EXPECT_EQ(0xFF050505u, at(183, 196));
  // Marking: transparency and near-black pixels.
  EXPECT_EQ(0u, Key(RKEY_F3));
  EXPECT_EQ(0xFF008080u, at(182, 196));
  EXPECT_EQ(0u, Key(RKEY_F2));
  EXPECT_EQ(0xFFFF00FFu, at(183, 196));
  // The dump: per 60-pixel row two lines of 25 entries and one of 10.
  EXPECT_EQ(0u, Key(RKEY_F4));
  std::string log;
  ReadHostFile(Host("/ProgramFiles/Settings/Velumo/Velumo.log"), log);
  const size_t first = log.find("index      0, x  0, y  0, a   0, r 255, g 255, b 255\n");
  ASSERT_NE(std::string::npos, first);
  size_t entries = 0;
  for (size_t p = first; (p = log.find("index ", p)) != std::string::npos; ++p) ++entries;
  EXPECT_EQ(2400u, entries);
  // After 25 entries the line ends; the next starts with its own time stamp.
  EXPECT_NE(std::string::npos, log.find("x 24, y  0, a 255, r  32, g  96, b 160\n"
                                        "2012-02-17 09:05:30 \nindex     25,"));
  EXPECT_EQ(0, dump);
  // Back to the list, the logo still under the cursor.
  EXPECT_EQ(0u, Key(RKEY_Exit));
  EXPECT_EQ(MS_Filelist, myState);
  EXPECT_STREQ("d.bll32", OSDMenuItemGetCurrentName());
}

TEST_F(Browser, GermanTexts) {
  Sim_SetLanguage(LAN_German);
  ASSERT_TRUE(WriteHostFile(Host("/Logos/x.png"), "x"));
  Start();
  EXPECT_STREQ("Verzeichnis", OSDMenuItemGetValue(0));
  EXPECT_EQ(0u, Key(RKEY_NewF1));
  EXPECT_TRUE(Logged("OSDMenuItemSortNameColumn(1, 0);\n"));
  EXPECT_EQ(0u, Key(RKEY_Prev));
  EXPECT_STREQ("/Other", currentDir);
  EXPECT_EQ((std::vector<std::string>{"< .. >"}), Names());
}

// Delete and rename act on file entries only: a folder's or the parent's
// listed name may well be the name of some file or folder of its own.
TEST_F(Browser, DeleteAndRenameLeaveFolderEntriesAlone) {
  ASSERT_EQ(0, mkdir(Host("/Logos/zeta").c_str(), 0755));
  ASSERT_EQ(0, mkdir(Host("/Logos/empty").c_str(), 0755));
  ASSERT_EQ(0, mkdir(Host("/Logos/<empty>").c_str(), 0755));
  ASSERT_TRUE(WriteHostFile(Host("/Logos/< .. >"), "parent-named"));
  ASSERT_TRUE(WriteHostFile(Host("/Logos/<zeta>"), "folder-named"));
  Start();
  for (const char *entry : {"< .. >", "<zeta>", "<empty>", "<<empty>>"}) {
    SCOPED_TRACE(entry);
    Select(entry);
    EXPECT_EQ(0u, Key(RKEY_F4));
    EXPECT_STREQ("/Logos", currentDir);
    Select(entry);
    EXPECT_EQ(0u, Key(RKEY_White)); // no keyboard
    EXPECT_EQ(MS_Filelist, myState);
  }
  EXPECT_EQ("parent-named", File("/Logos/< .. >"));
  EXPECT_EQ("folder-named", File("/Logos/<zeta>"));
  EXPECT_TRUE(HostExists(Host("/Logos/<empty>")));
  EXPECT_TRUE(HostExists(Host("/Logos/empty")));
  EXPECT_TRUE(HostExists(Host("/Logos/zeta")));
}

// After a failed directory change the firmware is still in the folder listed
// before; nothing there may be renamed from the "does not exist" entry.
TEST_F(Browser, NoRenameFromAMissingDirectory) {
  ASSERT_TRUE(WriteHostFile(Host("/Other/directory does not exist"), "victim"));
  Start("PathCur=2\r\nPath03=/Nowhere\r\n");
  EXPECT_EQ(0u, Key(RKEY_Next));
  ASSERT_EQ((std::vector<std::string>{"directory does not exist"}), Names());
  EXPECT_EQ(0u, Key(RKEY_White));
  EXPECT_EQ(MS_Filelist, myState);
  Sim_DeliverEvent(EVT_KEYBOARD, 'x', 0);
  Key(RKEY_Exit);
  EXPECT_EQ("victim", File("/Other/directory does not exist"));
  EXPECT_FALSE(HostExists(Host("/Other/directory does not existx")));
  EXPECT_FALSE(Logged("Renaming <"));
}

// What an entry is comes from the list, not from its first character.
TEST_F(Browser, FoldersAndFilesAreToldApartByWhatTheyAre) {
  const std::string folder125(125, 'F'), folder126(126, 'G');
  ASSERT_EQ(0, mkdir(Host("/Logos/" + folder125).c_str(), 0755));
  ASSERT_EQ(0, mkdir(Host("/Logos/" + folder126).c_str(), 0755));
  std::vector<uint32_t> px(4 * 3, 0xFF112233);
  ASSERT_TRUE(WriteHostFile(Host("/Logos/<x>.bll32"), Raw(4, 3, px, true)));
  Start();
  // A file whose name starts with "<" opens in the detail view.
  Select("<x>.bll32");
  EXPECT_EQ(0u, Key(RKEY_Ok));
  EXPECT_EQ(MS_LogoDetail, myState);
  EXPECT_STREQ("/Logos", currentDir);
  EXPECT_EQ(0xFF112233u, logoData32[0]);
  EXPECT_EQ(0u, Key(RKEY_Exit));
  ASSERT_EQ(MS_Filelist, myState);
  // The longest folder name the list holds with its brackets is entered.
  Select("<" + folder125 + ">");
  EXPECT_EQ(0u, Key(RKEY_Ok));
  EXPECT_EQ("/Logos/" + folder125, currentDir);
  EXPECT_EQ("< .. >", Names().at(0));
  EXPECT_EQ(0u, Key(RKEY_Exit));
  EXPECT_STREQ("/Logos", currentDir);
  // One character more is listed cut; it is refused rather than mistaken.
  const int cut = IndexOf(("<" + folder126).substr(0, 127), 1);
  ASSERT_GE(cut, 0);
  SelectIndex(cut);
  EXPECT_EQ(0u, Key(RKEY_Ok));
  EXPECT_STREQ("/Logos", currentDir);
  EXPECT_STREQ("Name too long - nothing done", buf);
}

// A name longer than the list holds is listed cut; nothing may act on the
// file that happens to be called like the cut name.
TEST_F(Browser, CutNamesAreRefusedNotMistaken) {
  const std::string prefix = std::string(123, 'L') + ".bll"; // 127 characters
  const std::string longName = prefix + "x.png";             // 132 characters
  std::vector<uint32_t> pxPrefix(4 * 3, 0xFF0000FF), pxLast(4 * 3, 0xFF00FF00);
  const std::string victim = Raw(4, 3, pxPrefix, false);
  ASSERT_TRUE(WriteHostFile(Host("/Logos/" + prefix), victim));
  ASSERT_TRUE(WriteHostFile(Host("/Logos/" + longName), "long"));
  ASSERT_TRUE(WriteHostFile(Host("/Logos/Z.qtl32"), Raw(4, 3, pxLast, true)));
  Start();
  EXPECT_EQ(0u, Key(RKEY_F3)); // by type: .bll, .png, .qtl32
  const int cut = IndexOf(prefix, 0x2E706E67);
  ASSERT_GE(cut, 0);
  EXPECT_EQ(prefix + "x.png", longName);
  for (dword key : {dword(RKEY_F4), dword(RKEY_White), dword(RKEY_Ok), dword(RKEY_3)}) {
    SCOPED_TRACE(key);
    SelectIndex(cut);
    strcpy(buf, "");
    EXPECT_EQ(0u, Key(key));
    EXPECT_EQ(MS_Filelist, myState);
    EXPECT_STREQ("Name too long - nothing done", buf);
    EXPECT_EQ(victim, File("/Logos/" + prefix));
    EXPECT_EQ("long", File("/Logos/" + longName));
  }
  EXPECT_FALSE(HostExists(Host("/Logos/" + std::string(123, 'L') + ".png")));
  // Stepping onto it in the detail view shows no other file's logo.
  Select("Z.qtl32");
  EXPECT_EQ(0u, Key(RKEY_Ok));
  ASSERT_EQ(MS_LogoDetail, myState);
  EXPECT_EQ(0u, Key(RKEY_Up));
  EXPECT_EQ(cut, Menu[CurrentMenuLevel - 1].SelectedIndex); // the list, below the view
  EXPECT_STREQ("Z.qtl32", logofile);
  EXPECT_EQ(0xFF00FF00u, logoData32[0]);
  EXPECT_STREQ("Name too long - nothing done", buf);
  EXPECT_EQ(0u, Key(RKEY_Up)); // and on past it to a file that fits
  EXPECT_EQ(prefix, logofile);
  EXPECT_EQ(victim, File("/Logos/" + prefix));
}

TEST_F(Browser, TrailingSlashAndTwoDigitYears) {
  ASSERT_TRUE(WriteHostFile(Host("/Logos/old.png"), "12345"));
  ASSERT_TRUE(WriteHostFile(Host("/Logos/new.png"), "x"));
  const struct utimbuf y1999 = {946641600, 946641600}; // 1999-12-31 12:00 UTC
  const struct utimbuf y2000 = {946728000, 946728000}; // 2000-01-01 12:00 UTC
  ASSERT_EQ(0, utime(Host("/Logos/old.png").c_str(), &y1999));
  ASSERT_EQ(0, utime(Host("/Logos/new.png").c_str(), &y2000));
  Start("PathCur=3\r\nPath03=/Logos/\r\n");
  EXPECT_STREQ("/Logos", currentDir);
  EXPECT_EQ("< .. >", Names().at(0));
  const auto names = Names();
  const int old = int(std::find(names.begin(), names.end(), "old.png") - names.begin());
  const int young = int(std::find(names.begin(), names.end(), "new.png") - names.begin());
  ASSERT_LT(old, OSDMenuItemGetNrOfItems());
  ASSERT_LT(young, OSDMenuItemGetNrOfItems());
  EXPECT_STREQ("99-12-31, 12:00, 5 byte", OSDMenuItemGetValue(old));
  EXPECT_STREQ("00-01-01, 12:00, 1 byte", OSDMenuItemGetValue(young));
}

// After a cursor move the status line keeps what it said.
TEST_F(Browser, TheStatusTextStaysAfterACursorMove) {
  ASSERT_TRUE(WriteHostFile(Host("/Logos/a.png"), "x"));
  ASSERT_TRUE(WriteHostFile(Host("/Logos/b.png"), "x"));
  Start();
  EXPECT_EQ(0u, Key(RKEY_NewF1));
  auto statusArea = [] {
    const uint32_t *s = Sim_ShownPlane();
    std::vector<uint32_t> px;
    for (int y = 75; y < 95; ++y) px.insert(px.end(), s + y * 720 + 130, s + y * 720 + 580);
    return px;
  };
  const std::vector<uint32_t> sorted = statusArea();
  ASSERT_NE(std::count(sorted.begin(), sorted.end(), sorted[0]), long(sorted.size()));
  const int before = OSDMenuGetCurrentItem();
  EXPECT_EQ(0u, Key(RKEY_Down));
  EXPECT_NE(before, OSDMenuGetCurrentItem());
  EXPECT_TRUE(sorted == statusArea());
  EXPECT_EQ(0u, Key(RKEY_Forward)); // a letter jump moves the cursor too
  EXPECT_TRUE(sorted == statusArea());
}

// A cursor move paints only what it changes, and shows it once: the screen
// must be the one a full repaint of the list gives, whatever came before
// (sorts, letter jumps, conversions, the detail view, folders, previews of
// every size and none).
TEST_F(Browser, EveryCursorMoveShowsWhatAFullRepaintShows) {
  for (int i = 0; i < 40; ++i) {
    const uint32_t w = 1 + uint32_t(i * 7) % 60, h = 1 + uint32_t(i * 11) % 40;
    std::vector<uint32_t> px(w * h);
    for (uint32_t p = 0; p < w * h; ++p)
      px[p] = (i % 3 ? 0xFF000000u : 0x80000000u) | p * 2654435761u >> 8;
    const std::string name = "/Logos/" + std::string(1, char('a' + i % 26)) + std::to_string(i);
    ASSERT_TRUE(WriteHostFile(Host(name + (i % 2 ? ".bll32" : ".qtl")), Raw(w, h, px, i % 2 != 0)));
  }
  ASSERT_TRUE(WriteHostFile(Host("/Logos/broken.png"), "not a picture"));
  ASSERT_EQ(0, mkdir(Host("/Logos/folder").c_str(), 0755));
  Start();
  std::mt19937 random(8);
  const dword moves[] = {RKEY_Up,   RKEY_Down,   RKEY_Left,  RKEY_Right,
                         RKEY_ChUp, RKEY_ChDown, RKEY_VolUp, RKEY_VolDown};
  const dword others[] = {RKEY_NewF1,  RKEY_F2, RKEY_F3, RKEY_Forward,
                          RKEY_Rewind, RKEY_Ok, RKEY_3,  RKEY_9};
  int checked = 0;
  for (int step = 0; step < 300; ++step) {
    if (myState == MS_LogoDetail) {
      Key(random() % 2 ? RKEY_Down : RKEY_Exit);
      continue;
    }
    ASSERT_EQ(MS_Filelist, myState);
    const bool move = random() % 4 != 0;
    const dword key = move ? moves[random() % 8] : others[random() % 8];
    // Into a folder only to come back at once.
    if (key == RKEY_Ok && CurrentEntryKind() != kEntryFile) continue;
    const dword syncs = Sim_SyncCount();
    EXPECT_EQ(0u, Key(key));
    if (!move || myState != MS_Filelist) continue;
    EXPECT_EQ(syncs + 1, Sim_SyncCount()) << "step " << step; // shown once
    const std::vector<uint32_t> shown(Sim_ShownPlane(), Sim_ShownPlane() + 720 * 576);
    // The full repaint: legends, list and status line, drawn anew.
    const std::string status = statusText;
    ASSERT_FALSE(status.empty() || StringEndsWith(status.c_str(), "sort")) << status;
    ShowFilelistMenuButtons(0, status.c_str());
    const std::vector<uint32_t> full(Sim_ShownPlane(), Sim_ShownPlane() + 720 * 576);
    size_t first = 0;
    while (first < full.size() && full[first] == shown[first]) ++first;
    ASSERT_EQ(full.size(), first) << "step " << step << ", key " << key << ", cursor "
                                  << OSDMenuGetCurrentItem() << ", first difference at "
                                  << first % 720 << "," << first / 720;
    ++checked;
  }
  EXPECT_GT(checked, 150);
}

} // namespace
