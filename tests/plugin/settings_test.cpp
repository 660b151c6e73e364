// Velumo.ini: read at start with defaults and limits, written straight back.
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "plugin_fixture.h"
#include "tklib.h"

namespace {

const char kIni[] = "/ProgramFiles/Settings/Velumo/Velumo.ini";

class Settings : public PluginTest {
protected:
  std::string File() {
    EXPECT_TRUE(HostExists(Host(kIni)));
    return DiskFile(kIni);
  }
  std::string Log() { return DiskFile("/ProgramFiles/Settings/Velumo/Velumo.log"); }
};

std::string DefaultFile() {
  std::string s = "ShowError=0\r\nShowTrans=0\r\nTestBG=ff101010\r\nExitKey=40\r\n";
  for (int i = 0; i < 30; ++i) {
    char line[80];
    snprintf(line, sizeof line, "Path%02d=%s\r\n", i + 1, i < 22 ? kBuiltinPathList[i] : "");
    s += line;
  }
  return s + "PathCur=1\r\nSort=0\r\nDebug=0\r\n";
}

TEST_F(Settings, FirstStartWritesTheDefaults) {
  Start();
  EXPECT_EQ(DefaultFile(), File());
  EXPECT_EQ(22, pathcnt);
  EXPECT_EQ(0, pathcur);
  EXPECT_STREQ("/ProgramFiles/Settings/Logos/trans-black/169", currentDir);
  EXPECT_EQ(40, exitkey);
  EXPECT_EQ(0xFF101010u, bgcolor);
  EXPECT_FALSE(HostExists(Host("/ProgramFiles/Settings/Velumo/Velumo.ini.bak")));
  // The next start reads what the first one wrote and writes the same again.
  Sim_DeliverEvent(EVT_STOP, 0, 0);
  Start();
  EXPECT_EQ(DefaultFile(), File());
}

TEST_F(Settings, ValuesAreReadLimitedAndNormalised) {
  Start("# mine\r\nexitkey=99\r\nShowError=1\r\nTestBG=00ff00aa\r\nSort=2\r\nPathCur=3\r\n"
        "Path05=/Logos\r\nDebug=7\r\nUnknown=1");
  EXPECT_EQ(50, exitkey);
  EXPECT_EQ(1, showerror);
  EXPECT_EQ(0x00FF00AAu, bgcolor);
  EXPECT_EQ(2, sort);
  EXPECT_EQ(1, sortnameasc);
  EXPECT_EQ(0, sortvalueasc);
  EXPECT_EQ(1, debug);
  EXPECT_EQ(1, pathcnt); // only slot 5: the built-in list is not used
  EXPECT_EQ(2, pathcur);
  EXPECT_STREQ("", path[0]);
  EXPECT_STREQ("/Logos", path[4]);
  EXPECT_STREQ("/", currentDir); // slot 3 is empty: the list shows the root
  const std::string f = File();
  EXPECT_EQ(0u, f.find("ShowError=1\r\nShowTrans=0\r\nTestBG=00ff00aa\r\nExitKey=50\r\n"
                       "Path01=\r\nPath02=\r\nPath03=\r\nPath04=\r\nPath05=/Logos\r\nPath06=\r\n"));
  EXPECT_NE(std::string::npos, f.find("Path30=\r\nPathCur=3\r\nSort=2\r\nDebug=1\r\n"));
  EXPECT_EQ(std::string::npos, f.find("mine")); // everything else is dropped
  EXPECT_EQ(std::string::npos, f.find("Unknown"));
}

TEST_F(Settings, LimitsAndSortFlags) {
  Start("ExitKey=-1\r\nSort=1\r\nPathCur=25\r\nTestBG=0xff000000\r\nShowTrans=abc\r\n");
  EXPECT_EQ(0, exitkey);
  EXPECT_EQ(1, sort);
  EXPECT_EQ(0, sortnameasc + sortvalueasc + sortidasc);
  EXPECT_EQ(24, pathcur);
  EXPECT_EQ(22, pathcnt);          // no path in the file: the built-in list
  EXPECT_STREQ("/", currentDir);   // an empty slot lists the root
  EXPECT_EQ(0xFF101010u, bgcolor); // a 0x prefix is not a hex value
  EXPECT_EQ(0, showtrans);
  Sim_DeliverEvent(EVT_STOP, 0, 0);
  for (const char *s : {"Sort=4\r\n", "Sort=6\r\n", "Sort=9\r\n"}) {
    Start(s);
    EXPECT_EQ(strcmp(s, "Sort=4\r\n") == 0 ? 1 : 0, sortvalueasc) << s;
    EXPECT_EQ(strcmp(s, "Sort=4\r\n") == 0 ? 0 : 1, sortidasc) << s; // 9 is limited to 6
    EXPECT_EQ(0, sortnameasc) << s;
    Sim_DeliverEvent(EVT_STOP, 0, 0);
  }
}

TEST_F(Settings, LongPathsAreCut) {
  const std::string longPath = "/" + std::string(299, 'x');
  Start(("Path01=" + longPath + "\r\n").c_str());
  EXPECT_EQ(longPath.substr(0, 127), path[0]);
  EXPECT_NE(std::string::npos,
            File().find("Path01=" + longPath.substr(0, 127) + "\r\nPath02=\r\n"));
}

TEST_F(Settings, SummaryLinesWhateverTheDebugSetting) {
  Start("Path02=/a\r\nPath07=/b\r\n");
  const std::string log = Log();
  EXPECT_NE(std::string::npos,
            log.find("2012-02-17 09:05:30 LoadSettings: ShowError 0, ShowTrans 0, TestBG "
                     "0xFF101010, ExitKey 40\n2012-02-17 09:05:30 LoadSettings: Path[02] </a>\n"
                     "2012-02-17 09:05:30 LoadSettings: Path[07] </b>\n2012-02-17 09:05:30 "
                     "LoadSettings: PathCnt 2, PathCur 1, Sort 0, Debug 0\n"));
  EXPECT_EQ(std::string::npos, log.find("Settings\n")); // no "< Loading Settings" etc.
}

TEST_F(Settings, AFailedWriteKeepsTheUsersFile) {
  const char *mine = "ExitKey=22\r\nPath01=/mine\r\n";
  Sim_FailWriteAfter(0);
  Start(mine);
  Sim_FailWriteAfter(-1);
  EXPECT_EQ(22, exitkey);
  EXPECT_EQ(mine, File());
  EXPECT_FALSE(HostExists(Host("/ProgramFiles/Settings/Velumo/Velumo.ini.bak")));
  EXPECT_FALSE(HostExists(Host("/ProgramFiles/Settings/Velumo/Velumo.ini.tmp")));
}

TEST_F(Settings, AFileThatCannotBeReadGivesTheDefaultsAndIsKept) {
  // The buffer for reading it cannot be had: the run goes on with the
  // defaults, and the user's file stays as it is.
  const char *mine = "ExitKey=22\r\nPath01=/mine\r\n";
  Sim_FailAllocNth(1);
  Start(mine);
  EXPECT_EQ(40, exitkey);
  EXPECT_EQ(22, pathcnt);
  EXPECT_EQ(mine, File());
  EXPECT_FALSE(HostExists(Host("/ProgramFiles/Settings/Velumo/Velumo.ini.bak")));
  EXPECT_NE(std::string::npos, Log().find("LoadSettings: Velumo.ini cannot be read"));
  // The next start reads it again.
  Sim_DeliverEvent(EVT_STOP, 0, 0);
  Start();
  EXPECT_EQ(22, exitkey);
  EXPECT_STREQ("/mine", path[0]);
  Sim_DeliverEvent(EVT_STOP, 0, 0);
  // A folder where the file should be is found but cannot be read either.
  ASSERT_EQ(0, unlink(Host(kIni).c_str()));
  ASSERT_EQ(0, mkdir(Host(kIni).c_str(), 0755));
  Start();
  EXPECT_EQ(22, pathcnt);
  struct stat st;
  ASSERT_EQ(0, stat(Host(kIni).c_str(), &st));
  EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST_F(Settings, TheUsersOwnBackupAndTemporaryFilesAreKept) {
  mkdir(Host("/ProgramFiles/Settings").c_str(), 0755);
  mkdir(Host("/ProgramFiles/Settings/Velumo").c_str(), 0755);
  const std::string dir = "/ProgramFiles/Settings/Velumo/";
  ASSERT_TRUE(WriteHostFile(Host(dir + "Velumo.ini.bak"), "my backup\n"));
  ASSERT_TRUE(WriteHostFile(Host(dir + "Velumo.ini.tmp"), "my notes\n"));
  Start("ExitKey=22\r\n# mine\r\n");
  EXPECT_EQ(22, exitkey);
  const std::string f = File();
  EXPECT_EQ(0u, f.find("ShowError=0\r\nShowTrans=0\r\nTestBG=ff101010\r\nExitKey=22\r\n"));
  EXPECT_EQ(std::string::npos, f.find("mine"));
  std::string bytes;
  ASSERT_TRUE(ReadHostFile(Host(dir + "Velumo.ini.bak"), bytes));
  EXPECT_EQ("my backup\n", bytes);
  ASSERT_TRUE(ReadHostFile(Host(dir + "Velumo.ini.tmp"), bytes));
  EXPECT_EQ("my notes\n", bytes);
}

TEST_F(Settings, ASaveThatWasCutOffIsRecoveredFromTheBackup) {
  // Only the backup is left: it holds the last settings.
  mkdir(Host("/ProgramFiles/Settings").c_str(), 0755);
  mkdir(Host("/ProgramFiles/Settings/Velumo").c_str(), 0755);
  ASSERT_TRUE(
      WriteHostFile(Host(std::string(kIni) + ".bak"), "ExitKey=22\r\nPath01=/mine\r\nSort=3\r\n"));
  Start();
  EXPECT_EQ(22, exitkey);
  EXPECT_EQ(1, pathcnt);
  EXPECT_STREQ("/mine", path[0]);
  EXPECT_EQ(3, sort);
  const std::string f = File();
  EXPECT_EQ(0u, f.find("ShowError=0\r\nShowTrans=0\r\nTestBG=ff101010\r\nExitKey=22\r\n"
                       "Path01=/mine\r\nPath02=\r\n"));
  EXPECT_NE(std::string::npos, f.find("\r\nPathCur=1\r\nSort=3\r\nDebug=0\r\n"));
  EXPECT_FALSE(HostExists(Host(std::string(kIni) + ".bak")));
  EXPECT_NE(std::string::npos,
            Log().find("LoadSettings: Velumo.ini recovered from Velumo.ini.bak\n"));
}

TEST_F(Settings, TheNewFileHoldsOnlyTheSettings) {
  // A copy of the file in another folder that the search passes on the way
  // adds nothing, whether or not the settings folder has its own file.
  mkdir(Host("/ProgramFiles/Settings").c_str(), 0755);
  ASSERT_TRUE(WriteHostFile(Host("/ProgramFiles/Velumo.ini"), "Foreign=1\r\nExitKey=7\r\n"));
  Start("ExitKey=22\r\nPath01=/mine\r\n");
  EXPECT_EQ(22, exitkey);
  std::string expected = DefaultFile();
  expected.replace(expected.find("ExitKey=40"), 10, "ExitKey=22");
  const size_t paths = expected.find("Path01="), pathCur = expected.find("PathCur=");
  std::string slots = "Path01=/mine\r\n";
  for (int i = 2; i <= 30; ++i)
    slots += "Path" + std::string(i < 10 ? "0" : "") + std::to_string(i) + "=\r\n";
  expected.replace(paths, pathCur - paths, slots);
  EXPECT_EQ(expected, File());
  std::string bytes;
  ASSERT_TRUE(ReadHostFile(Host("/ProgramFiles/Velumo.ini"), bytes));
  EXPECT_EQ("Foreign=1\r\nExitKey=7\r\n", bytes);
  Sim_DeliverEvent(EVT_STOP, 0, 0);
  ASSERT_EQ(0, unlink(Host(kIni).c_str()));
  Start();
  EXPECT_EQ(7, exitkey);                                // the only copy left is read...
  EXPECT_EQ(std::string::npos, File().find("Foreign")); // ...and only the settings are written
}

TEST_F(Settings, LinesEndingInCarriageReturnsAlone) {
  Start("Debug=1\rSort=3\rExitKey=22");
  EXPECT_EQ(1, debug);
  EXPECT_EQ(3, sort);
  EXPECT_EQ(22, exitkey);
  const std::string f = File();
  EXPECT_NE(std::string::npos, f.find("ExitKey=22\r\n"));
  EXPECT_NE(std::string::npos, f.find("\r\nSort=3\r\nDebug=1\r\n"));
}

} // namespace
