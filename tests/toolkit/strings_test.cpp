// String helpers: in-place editing on Latin-1 text, searching, UTF-8, file
// name parts.
#include <string.h>

#include "testdisk.h"
#include "tklib.h"

namespace {

using Strings = SimTest; // StrReplace takes its scratch buffer from the heap

TEST_F(Strings, EndsWithAndUpperCase) {
  EXPECT_TRUE(StringEndsWith("logo.qtl32", ".qtl32"));
  EXPECT_FALSE(StringEndsWith("logo.qtl32", ".qtl"));
  EXPECT_FALSE(StringEndsWith("logo.PNG", ".png")); // case counts
  EXPECT_FALSE(StringEndsWith("png", ".png"));      // suffix longer than the text
  EXPECT_TRUE(StringEndsWith("x", ""));
  EXPECT_FALSE(StringEndsWith(nullptr, ""));

  char word[] = "gr\xFCn \xE4\xF6 \xE9t\xE9 z";
  UpperCase(word);
  EXPECT_STREQ("GR\xDCN \xC4\xD6 \xE9T\xE9 Z", word); // é stays
}

TEST_F(Strings, InsertAndDelete) {
  char t[32] = "abc";
  InsertAt(t, 99, "XY"); // beyond the end: appended
  EXPECT_STREQ("abcXY", t);
  InsertAt(t, -4, "_"); // negative: at the start
  EXPECT_STREQ("_abcXY", t);
  InsertAt(t, 2, "--");
  EXPECT_STREQ("_a--bcXY", t);
  DeleteAt(t, 2, 2);
  EXPECT_STREQ("_abcXY", t);
  DeleteAt(t, 4, 3); // past the end: nothing
  EXPECT_STREQ("_abcXY", t);
  DeleteAt(t, 4, 2); // up to the end exactly
  EXPECT_STREQ("_abc", t);
  DeleteAt(t, 4, 0); // at the end: nothing
  DeleteAt(t, -1, 1);
  EXPECT_STREQ("_abc", t);
}

TEST_F(Strings, Replace) {
  char t[64] = "abcab";
  EXPECT_TRUE(StrReplace(t, "ab", "xyz"));
  EXPECT_STREQ("xyzcxyz", t);
  EXPECT_FALSE(StrReplace(t, "nothing", "x"));
  EXPECT_STREQ("xyzcxyz", t);
  EXPECT_TRUE(StrReplace(t, "xyz", "q")); // shorter: in place, scanning on after it
  EXPECT_STREQ("qcq", t);
  char same[16] = "aaaa";
  EXPECT_TRUE(StrReplace(same, "aa", "a")); // no overlap with what was inserted
  EXPECT_STREQ("aa", same);
  char grow[16] = "aa";
  EXPECT_TRUE(StrReplace(grow, "a", "aa"));
  EXPECT_STREQ("aaaa", grow);
  EXPECT_FALSE(StrReplace(grow, "", "x"));
  EXPECT_FALSE(StrReplace(grow, "a", nullptr));
  char empty[4] = "";
  EXPECT_FALSE(StrReplace(empty, "a", "b"));
  EXPECT_EQ(0u, Sim_HeapBlocksTotal());

  // Growing needs a scratch buffer; without it nothing changes.
  Sim_FailAllocNth(1);
  char t2[32] = "abab";
  EXPECT_FALSE(StrReplace(t2, "b", "bbb"));
  EXPECT_STREQ("abab", t2);
}

TEST_F(Strings, CaseInsensitiveSearch) {
  const char *hay = "ShowError=0\r\ndebug=1\r\n";
  EXPECT_EQ(hay + 13, stricstr(hay, "DEBUG="));
  EXPECT_EQ(hay, stricstr(hay, "showerror"));
  EXPECT_EQ(nullptr, stricstr(hay, "Debug=2"));
  EXPECT_EQ(nullptr, stricstr(hay, ""));
  EXPECT_EQ(nullptr, stricstr("ab", "abc"));
  EXPECT_EQ(nullptr, stricstr(nullptr, "a"));
  const char *twice = "xAbxaBc";
  EXPECT_EQ(twice + 4, stricstr(twice, "abc"));
}

TEST_F(Strings, Utf8) {
  char out[16];
  StrToUTF8("\xE4", out);
  EXPECT_STREQ("\xC3\xA4", out);
  StrToUTF8("Gr\xFC\xDF"
            "e",
            out);
  EXPECT_STREQ("Gr\xC3\xBC\xC3\x9F"
               "e",
               out);
  StrToUTF8("\xFF", out);
  EXPECT_STREQ("\xC3\xBF", out);
  EXPECT_EQ(0xC3A4, CharToUTF8("\xE4"));
  EXPECT_EQ(0xC280, CharToUTF8("\x80"));
  EXPECT_EQ('A', CharToUTF8("A"));
}

TEST_F(Strings, FileNameParts) {
  struct Case {
    const char *file, *name, *ext;
    int number;
    bool recording, deleted;
  } cases[] = {
      {"logo.qtl32", "logo", ".qtl32", 0, false, false},
      {"ZDF HD.png", "ZDF HD", ".png", 0, false, false},
      {"no extension", "no extension", "", 0, false, false},
      {"a.b.c", "a.b", ".c", 0, false, false},
      {"film.rec", "film", ".rec", 0, true, false},
      {"film.rec.inf", "film", ".rec", 0, true, false},
      {"film.mpg.nav", "film", ".mpg", 0, true, false},
      {"film-3.rec.del", "film", ".rec", 3, true, true},
      {"logo.png.del", "logo", ".png", 0, false, true},
      {"part-0.rec", "part-0", ".rec", 0, true, false},
      {"x.inf", "x", ".inf", 0, false, false},
  };
  for (const Case &c : cases) {
    char name[64], ext[16], number = 9;
    bool recording = !c.recording, deleted = !c.deleted;
    SeparateFileNameComponents(c.file, name, ext, &number, &recording, &deleted);
    EXPECT_STREQ(c.name, name) << c.file;
    EXPECT_STREQ(c.ext, ext) << c.file;
    EXPECT_EQ(c.number, number) << c.file;
    EXPECT_EQ(c.recording, recording) << c.file;
    EXPECT_EQ(c.deleted, deleted) << c.file;
  }
}

} // namespace
