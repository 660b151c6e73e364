// The settings-file module: where files are found, how values are read and
// limited, how sets change the buffer, and how the file is written back.
#include <stdint.h>
#include <string.h>
#include <sys/stat.h>

#include "testdisk.h"
#include "tklib.h"

namespace {

class Ini : public SimTest {
protected:
  void SetUp() override {
    SimTest::SetUp();
    TAPDirStackDepth = -1;
    mkdir(Host("/ProgramFiles/Settings").c_str(), 0755);
    mkdir(Host("/ProgramFiles/Settings/App").c_str(), 0755);
  }
  void TearDown() override {
    INICloseFile();
    EXPECT_EQ(0u, Sim_HeapBlocksTotal());
    SimTest::TearDown();
  }
  // Opens a buffer holding exactly this text.
  void Open(const std::string &text) {
    ASSERT_TRUE(WriteHostFile(Host("/ProgramFiles/Settings/App/t.ini"), text));
    ASSERT_EQ(INILOCATION_AtAppDir, INIOpenFile("t.ini", "App"));
  }
  std::string Text() const { return INIBuffer ? INIBuffer : "<closed>"; }
  std::string Get(const char *key, dword size = 256) {
    char value[512];
    EXPECT_TRUE(INIGetString(key, value, "<default>", size));
    return value;
  }
};

TEST_F(Ini, KeysAreFoundWithoutRegardToCaseUnlessCommentedOut) {
  Open("debug=1\r\n#ShowError=1\r\n;ShowTrans=1\r\nShowTrans=0\r\n");
  EXPECT_EQ(1, INIGetInt("Debug", 0, 0, 1));
  EXPECT_EQ(7, INIGetInt("ShowError", 7, 0, 9)); // only a commented line
  EXPECT_EQ(0, INIGetInt("ShowTrans", 1, 0, 1)); // the live line after the comment
}

TEST_F(Ini, AKeyInsideALongerKeyOrAValueCounts) {
  // The search does not look for the start of a line.
  Open("XSort=5\r\nSort=2\r\nName=Path=x\r\n");
  EXPECT_EQ(5, INIGetInt("Sort", 0, 0, 6));
  EXPECT_EQ("x", Get("Path"));
}

TEST_F(Ini, IntegersAreLimitedOrFallBack) {
  Open("A=60\r\nB=-5\r\nC=4x\r\nD=\r\nE=-\r\nF=12345678901\r\nG=-12345678901\r\nH= 3\r\nI=007\r\n"
       "J=123456789012345\r\n");
  EXPECT_EQ(50, INIGetInt("A", 40, 0, 50));
  EXPECT_EQ(0, INIGetInt("B", 40, 0, 50));
  EXPECT_EQ(40, INIGetInt("C", 40, 0, 50));
  EXPECT_EQ(40, INIGetInt("D", 40, 0, 50));
  EXPECT_EQ(40, INIGetInt("E", 40, 0, 50));
  EXPECT_EQ(50, INIGetInt("F", 40, 0, 50)); // eleven digits: as large as it gets
  EXPECT_EQ(0, INIGetInt("G", 40, 0, 50));  // eleven characters with the sign
  EXPECT_EQ(40, INIGetInt("H", 40, 0, 50)); // nothing is trimmed
  EXPECT_EQ(7, INIGetInt("I", 40, 0, 50));
  EXPECT_EQ(50, INIGetInt("J", 40, 0, 50));       // only eleven characters are looked at
  EXPECT_EQ(99, INIGetInt("Missing", 99, 0, 50)); // defaults are not limited
  EXPECT_EQ(-3, INIGetInt("B", -3, -3, 3));
}

TEST_F(Ini, IntegersThatFitThirtyTwoBitsAreTakenAsSigned) {
  // Ten digits beyond the signed range still fit 32 bits: they turn
  // negative (and so fall below a positive range); only what does not fit
  // 32 bits at all saturates.
  Open("A=3000000000\r\nB=4294967295\r\nC=4294967296\r\nD=2147483647\r\nE=2147483648\r\n"
       "F=-2147483648\r\nG=-2147483649\r\n");
  EXPECT_EQ(0, INIGetInt("A", 40, 0, 50));
  EXPECT_EQ(-1294967296, INIGetInt("A", 0, INT32_MIN, INT32_MAX));
  EXPECT_EQ(-1, INIGetInt("B", 0, -5, 5));
  EXPECT_EQ(50, INIGetInt("C", 40, 0, 50));
  EXPECT_EQ(INT32_MAX, INIGetInt("C", 0, INT32_MIN, INT32_MAX));
  EXPECT_EQ(INT32_MAX, INIGetInt("D", 0, INT32_MIN, INT32_MAX));
  EXPECT_EQ(INT32_MIN, INIGetInt("E", 0, INT32_MIN, INT32_MAX));
  EXPECT_EQ(INT32_MIN, INIGetInt("F", 0, INT32_MIN, INT32_MAX));
  EXPECT_EQ(INT32_MIN, INIGetInt("G", 0, INT32_MIN, INT32_MAX));
  EXPECT_EQ(0, INIGetInt("G", 40, 0, 50));
}

TEST_F(Ini, HexValues) {
  Open("TestBG=ff101010\r\nX=0xff101010\r\nY=FFFFFFFFF\r\nZ=1g\r\nW=a\r\n");
  EXPECT_EQ(0xFF101010u, INIGetHexDWord("TestBG", 0, 0, 0xFFFFFFFF));
  EXPECT_EQ(0x12345678u, INIGetHexDWord("X", 0x12345678, 0, 0xFFFFFFFF));
  EXPECT_EQ(0xFFFFFFFFu, INIGetHexDWord("Y", 0, 0, 0xFFFFFFFF)); // eight digits examined
  EXPECT_EQ(1u, INIGetHexDWord("Z", 1, 0, 0xFFFFFFFF));
  EXPECT_EQ(0x20u, INIGetHexDWord("W", 1, 0x20, 0x30));
  EXPECT_EQ(0x80000000u, INIGetHexDWord("TestBG", 0, 0, 0x80000000)); // unsigned limits
}

TEST_F(Ini, StringsAreCutToTheDestination) {
  const std::string longPath(300, 'p');
  Open("Path01=" + longPath + "\r\nEmpty=\r\nSpaced = a b \r\n");
  EXPECT_EQ(longPath.substr(0, 255), Get("Path01", 256));
  EXPECT_EQ(longPath.substr(0, 127), Get("Path01", 128));
  EXPECT_EQ("<default>", Get("Empty"));
  EXPECT_EQ(" a b ", Get("Spaced "));
  EXPECT_EQ("<de", Get("Missing", 4));
  char value[4];
  EXPECT_FALSE(INIGetString("Path01", value, "", 0));
  EXPECT_FALSE(INIGetString(nullptr, value, "", 4));
}

TEST_F(Ini, LineEnds) {
  // Lone line feeds and lone carriage returns, also a carriage return in a
  // file that has line feeds further on: each ends its own line.
  Open("A=1\nB=two\rC=3\nD=4\r");
  EXPECT_EQ(1, INIGetInt("A", 0, 0, 9));
  EXPECT_EQ("two", Get("B"));
  EXPECT_EQ(3, INIGetInt("C", 0, 0, 9));
  EXPECT_EQ("4", Get("D"));
  INICloseFile();
  Open("Debug=1\rSort=3");
  EXPECT_EQ(1, INIGetInt("Debug", 0, 0, 1));
  EXPECT_EQ(3, INIGetInt("Sort", 0, 0, 6));
  INICloseFile();
  // Lines of one kind followed by lines of the other: each value ends at its
  // own line's end.
  Open("Debug=1\nExitKey=3\r\n");
  EXPECT_EQ(1, INIGetInt("Debug", 0, 0, 1));
  EXPECT_EQ(3, INIGetInt("ExitKey", 0, 0, 50));
  INICloseFile();
  // A last line without a break gets one in the buffer, so a new key starts
  // on a line of its own.
  Open("Sort=3");
  EXPECT_EQ("Sort=3\r\n", Text());
  EXPECT_EQ(3, INIGetInt("Sort", 0, 0, 6));
  INISetInt("Debug", 1);
  EXPECT_EQ("Sort=3\r\nDebug=1\r\n", Text());
}

TEST_F(Ini, FindStartEnd) {
  Open("Key=\r\nOther=12345\n");
  char *start = nullptr, *end = nullptr;
  INIFindStartEnd("Key=", &start, &end, 100);
  ASSERT_NE(nullptr, start);
  EXPECT_EQ(INIBuffer, start);
  EXPECT_EQ(INIBuffer + 3, end);              // an empty value ends at the "="
  INIFindStartEnd("Other=", &start, &end, 8); // lone line feed: limited
  EXPECT_EQ(INIBuffer + 6, start);
  EXPECT_EQ(start + 7, end);
  INIFindStartEnd("None=", &start, &end, 8);
  EXPECT_EQ(nullptr, start);
  start = end = INIBuffer;
  INIFindStartEnd("Key=", &start, &end, 0); // does nothing
  EXPECT_EQ(INIBuffer, start);
}

TEST_F(Ini, SettingKeepsEveryOtherLine) {
  Open("# my settings\r\nA=1\r\n;B=old\r\nC=3\r\n");
  INISetString("a", "100");
  EXPECT_EQ("# my settings\r\na=100\r\n;B=old\r\nC=3\r\n", Text());
  INISetString("B", "new");
  EXPECT_EQ("# my settings\r\na=100\r\n;B=old\r\nC=3\r\nB=new\r\n", Text());
  INISetString("C", "");
  EXPECT_EQ("# my settings\r\na=100\r\n;B=old\r\nC=\r\nB=new\r\n", Text());
  INISetHexDWord("TestBG", 0xFF101010);
  INISetInt("ExitKey", -1);
  EXPECT_EQ("# my settings\r\na=100\r\n;B=old\r\nC=\r\nB=new\r\nTestBG=ff101010\r\nExitKey=-1\r\n",
            Text());
  INISetString(nullptr, "x");
  INISetString("x", nullptr);
  EXPECT_EQ(std::string::npos, Text().find("x="));
  INICloseFile();
  // Carriage returns alone, and a stray one before a full line end: a value
  // ends at the first break, whatever follows.
  Open("A=1\rB=2\rC=3");
  INISetString("A", "5");
  EXPECT_EQ("A=5\rB=2\rC=3\r\n", Text());
  INISetString("B", "");
  EXPECT_EQ("A=5\rB=\rC=3\r\n", Text());
  INICloseFile();
  Open("A=1\r\r\nB=2\r\n");
  INISetString("A", "77");
  EXPECT_EQ("A=77\r\r\nB=2\r\n", Text());
}

TEST_F(Ini, BufferGrowsByAtMost1024BytesAtATime) {
  ASSERT_EQ(INILOCATION_NewFile, INIOpenFile("new.ini", "App"));
  EXPECT_EQ(512u, BufferSize);
  EXPECT_EQ("", Text());
  INISetString("Path01", std::string(600, 'a').c_str());
  EXPECT_EQ(1024u, BufferSize);
  INISetString("Path01", std::string(1000, 'b').c_str()); // 1011 bytes still fit
  EXPECT_EQ(1024u, BufferSize);
  INISetString("Path01", std::string(1020, 'b').c_str()); // 1031 do not
  EXPECT_EQ(2048u, BufferSize);
  EXPECT_EQ("Path01=" + std::string(1020, 'b') + "\r\n", Text());
  const std::string before = Text();
  INISetString("Huge", std::string(3000, 'c').c_str()); // more than one step: nothing
  EXPECT_EQ(before, Text());
  EXPECT_EQ(2048u, BufferSize);
  // A failed allocation leaves the buffer as it was.
  Sim_FailAllocNth(1);
  INISetString("Path01", "short");
  EXPECT_EQ(before, Text());
  INISetString("Path01", "short");
  EXPECT_EQ("Path01=short\r\n", Text());
}

TEST_F(Ini, ANewBufferStartsEmptyWhateverIsOnDisk) {
  Open("Old=1\r\n");
  ASSERT_TRUE(ININewBuffer());
  EXPECT_EQ("", Text());
  EXPECT_EQ(512u, BufferSize);
  EXPECT_EQ(1u, Sim_HeapBlocksTotal()); // the file's buffer was released
  INISetInt("A", 1);
  EXPECT_EQ("A=1\r\n", Text());
  Sim_FailAllocNth(1);
  EXPECT_FALSE(ININewBuffer());
  EXPECT_EQ(nullptr, INIBuffer);
  EXPECT_EQ(0u, BufferSize);
}

TEST_F(Ini, TheDeepestFolderWinsAndTheCurrentDirectoryBeatsAll) {
  ASSERT_TRUE(WriteHostFile(Host("/ProgramFiles/f.ini"), "V=5\r\n"));
  ASSERT_TRUE(WriteHostFile(Host("/ProgramFiles/Settings/f.ini"), "V=4\r\n"));
  ASSERT_EQ(1, TAP_Hdd_ChangeDir("/"));
  EXPECT_EQ(INILOCATION_AtSettingsDir, INIOpenFile("f.ini", "App"));
  EXPECT_EQ(4, INIGetInt("V", 0, 0, 9));
  ASSERT_TRUE(WriteHostFile(Host("/ProgramFiles/Settings/App/f.ini"), "V=3\r\n"));
  EXPECT_EQ(INILOCATION_AtAppDir, INIOpenFile("f.ini", "App"));
  EXPECT_EQ(3, INIGetInt("V", 0, 0, 9));
  EXPECT_EQ(INILOCATION_AtSettingsDir, INIOpenFile("f.ini", "/App")); // not a folder name
  ASSERT_TRUE(WriteHostFile(Host("/f.ini"), "V=2\r\n"));
  EXPECT_EQ(INILOCATION_AtCurrentDir, INIOpenFile("f.ini", "App"));
  EXPECT_EQ(2, INIGetInt("V", 0, 0, 9));
  // Opening restores the directory; locating stays where it found the file.
  char dir[kDirStackEntry];
  HDD_TAP_GetCurrentDir(dir);
  EXPECT_STREQ("/", dir);
  ASSERT_EQ(1, TAP_Hdd_Delete("/f.ini"));
  EXPECT_EQ(INILOCATION_AtAppDir, INILocateFile("f.ini", "App"));
  HDD_TAP_GetCurrentDir(dir);
  EXPECT_STREQ("/ProgramFiles/Settings/App", dir);
  ASSERT_EQ(1, TAP_Hdd_ChangeDir("/"));
  EXPECT_EQ(INILOCATION_NotFound, INILocateFile("none.ini", "App"));
  HDD_TAP_GetCurrentDir(dir);
  EXPECT_STREQ("/", dir);
  EXPECT_EQ(-1, TAPDirStackDepth);
}

TEST_F(Ini, EmptyAndUnreadableFiles) {
  Open("");
  EXPECT_EQ("\r\n", Text());
  INICloseFile();
  // A folder of the name is found but cannot be read.
  ASSERT_EQ(0, mkdir(Host("/ProgramFiles/Settings/App/d.ini").c_str(), 0755));
  EXPECT_EQ(INILOCATION_NotFound, INIOpenFile("d.ini", "App"));
  EXPECT_EQ(-1, TAPDirStackDepth);
  // Garbage reads as no settings at all.
  Open(std::string("\0\xFF\x01=\r\n==\n\r\r", 10) + std::string(5000, '=') + "Debug");
  EXPECT_EQ(0, INIGetInt("Debug", 0, 0, 1));
  EXPECT_EQ(5632u, BufferSize); // 5015 bytes leave at least 513 spare
}

TEST_F(Ini, SavingCreatesTheFoldersAndWritesTheText) {
  RemoveTree(Host("/ProgramFiles/Settings"));
  ASSERT_EQ(INILOCATION_NewFile, INIOpenFile("s.ini", "App"));
  INISetInt("A", 1);
  INISetString("B", "two");
  ASSERT_EQ(1, TAP_Hdd_ChangeDir("/"));
  EXPECT_TRUE(INISaveFile("s.ini", INILOCATION_AtAppDir, "App"));
  std::string bytes;
  ASSERT_TRUE(ReadHostFile(Host("/ProgramFiles/Settings/App/s.ini"), bytes));
  EXPECT_EQ("A=1\r\nB=two\r\n", bytes);
  EXPECT_FALSE(HostExists(Host("/ProgramFiles/Settings/App/s.ini.tmp")));
  char dir[kDirStackEntry];
  HDD_TAP_GetCurrentDir(dir);
  EXPECT_STREQ("/", dir);

  EXPECT_TRUE(INISaveFile("s.ini", INILOCATION_AtSettingsDir, "App"));
  EXPECT_TRUE(HostExists(Host("/ProgramFiles/Settings/s.ini")));
  EXPECT_TRUE(INISaveFile("s.ini", INILOCATION_NotFound, "")); // as /ProgramFiles
  EXPECT_TRUE(HostExists(Host("/ProgramFiles/s.ini")));
  EXPECT_TRUE(INISaveFile("s.ini", INILOCATION_AtCurrentDir, ""));
  EXPECT_TRUE(HostExists(Host("/s.ini")));
  EXPECT_FALSE(INISaveFile("s.ini", INILOCATION_AtAppDir, ""));
  EXPECT_FALSE(INISaveFile("s.ini", 6, "App"));
  EXPECT_EQ(-1, TAPDirStackDepth);
  INICloseFile();
  EXPECT_FALSE(INISaveFile("s.ini", INILOCATION_AtAppDir, "App")); // nothing open
}

TEST_F(Ini, AFailedWriteKeepsTheOldFile) {
  Open("Old=1\r\n");
  INISetString("New", std::string(100, 'n').c_str());
  Sim_FailWriteAfter(10);
  EXPECT_FALSE(INISaveFile("t.ini", INILOCATION_AtAppDir, "App"));
  Sim_FailWriteAfter(-1);
  std::string bytes;
  ASSERT_TRUE(ReadHostFile(Host("/ProgramFiles/Settings/App/t.ini"), bytes));
  EXPECT_EQ("Old=1\r\n", bytes);
  EXPECT_FALSE(HostExists(Host("/ProgramFiles/Settings/App/t.ini.tmp")));
}

TEST_F(Ini, SavingNeverRemovesAFileItDidNotCreate) {
  // Files of the temporary names that were there before are someone else's.
  const std::string dir = "/ProgramFiles/Settings/App/";
  ASSERT_TRUE(WriteHostFile(Host(dir + "t.ini.tmp"), "mine\n"));
  ASSERT_TRUE(WriteHostFile(Host(dir + "t.ini.tm1"), "mine too\n"));
  Open("Old=1\r\n");
  INISetInt("New", 2);
  EXPECT_TRUE(INISaveFile("t.ini", INILOCATION_AtAppDir, "App"));
  std::string bytes;
  ASSERT_TRUE(ReadHostFile(Host(dir + "t.ini"), bytes));
  EXPECT_EQ("Old=1\r\nNew=2\r\n", bytes);
  ASSERT_TRUE(ReadHostFile(Host(dir + "t.ini.tmp"), bytes));
  EXPECT_EQ("mine\n", bytes);
  ASSERT_TRUE(ReadHostFile(Host(dir + "t.ini.tm1"), bytes));
  EXPECT_EQ("mine too\n", bytes);
  EXPECT_FALSE(HostExists(Host(dir + "t.ini.tm2")));
  // A failed write removes only its own temporary file.
  Sim_FailWriteAfter(5);
  EXPECT_FALSE(INISaveFile("t.ini", INILOCATION_AtAppDir, "App"));
  Sim_FailWriteAfter(-1);
  ASSERT_TRUE(ReadHostFile(Host(dir + "t.ini.tmp"), bytes));
  EXPECT_EQ("mine\n", bytes);
  EXPECT_FALSE(HostExists(Host(dir + "t.ini.tm2")));
  // With every temporary name taken nothing is written, and nothing lost.
  for (const char *n : {"2", "3", "4", "5", "6", "7", "8", "9"})
    ASSERT_TRUE(WriteHostFile(Host(dir + "t.ini.tm" + n), n));
  INISetInt("New", 3);
  EXPECT_FALSE(INISaveFile("t.ini", INILOCATION_AtAppDir, "App"));
  ASSERT_TRUE(ReadHostFile(Host(dir + "t.ini"), bytes));
  EXPECT_EQ("Old=1\r\nNew=2\r\n", bytes);
  ASSERT_TRUE(ReadHostFile(Host(dir + "t.ini.tm9"), bytes));
  EXPECT_EQ("9", bytes);
  EXPECT_EQ(-1, TAPDirStackDepth);
}

TEST_F(Ini, NamesWithoutRoomForTheTemporaryNameAreRefused) {
  // Names reach 255 characters; the temporary name adds four.
  for (size_t length : {252u, 255u}) {
    const std::string name(length - 4, 'n');
    const std::string file = name + ".ini";
    ASSERT_TRUE(WriteHostFile(Host("/ProgramFiles/Settings/App/" + file), "Mine=1\r\n"));
    Open("Other=2\r\n");
    EXPECT_FALSE(INISaveFile(file.c_str(), INILOCATION_AtAppDir, "App")) << length;
    std::string bytes;
    ASSERT_TRUE(ReadHostFile(Host("/ProgramFiles/Settings/App/" + file), bytes)) << length;
    EXPECT_EQ("Mine=1\r\n", bytes) << length;
    EXPECT_EQ(-1, TAPDirStackDepth);
  }
  const std::string longest = std::string(247, 'n') + ".ini"; // 251: the longest that fits
  Open("Other=2\r\n");
  EXPECT_TRUE(INISaveFile(longest.c_str(), INILOCATION_AtAppDir, "App"));
  std::string bytes;
  ASSERT_TRUE(ReadHostFile(Host("/ProgramFiles/Settings/App/" + longest), bytes));
  EXPECT_EQ("Other=2\r\n", bytes);
  EXPECT_FALSE(HostExists(Host("/ProgramFiles/Settings/App/" + longest + ".tmp")));
}

TEST_F(Ini, OnlyAPlainFileIsReplaced) {
  ASSERT_EQ(0, mkdir(Host("/ProgramFiles/Settings/App/d.ini").c_str(), 0755));
  ASSERT_EQ(INILOCATION_NewFile, INIOpenFile("n.ini", "App"));
  INISetInt("A", 1);
  EXPECT_FALSE(INISaveFile("d.ini", INILOCATION_AtAppDir, "App"));
  struct stat st;
  ASSERT_EQ(0, stat(Host("/ProgramFiles/Settings/App/d.ini").c_str(), &st));
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_FALSE(HostExists(Host("/ProgramFiles/Settings/App/d.ini.tmp")));
  EXPECT_EQ(-1, TAPDirStackDepth);
}

TEST_F(Ini, ClosedModule) {
  EXPECT_EQ(nullptr, INIBuffer);
  EXPECT_EQ(5, INIGetInt("A", 5, 0, 9));
  EXPECT_EQ(0xABu, INIGetHexDWord("A", 0xAB, 0, 0xFF));
  EXPECT_EQ("<default>", Get("A"));
  INISetString("A", "1");
  EXPECT_EQ(nullptr, INIBuffer);
  // A second open releases the first buffer instead of losing it.
  Open("A=1\r\n");
  Open("A=2\r\n");
  EXPECT_EQ(2, INIGetInt("A", 0, 0, 9));
  EXPECT_EQ(1u, Sim_HeapBlocksTotal());
}

} // namespace
