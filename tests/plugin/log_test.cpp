// The diagnostics log: time-stamped lines in Velumo.log and on the network
// terminal, debug lines only with the Debug setting on.
#include <sys/stat.h>

#include "plugin_fixture.h"
#include "tklib.h"

namespace {

const char kLog[] = "/ProgramFiles/Settings/Velumo/Velumo.log";

class Log : public PluginTest {
protected:
  std::string File() { return DiskFile(kLog); }
  static bool Has(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
  }
};

const char *const kDebugLines[] = {
    "< Loading Settings\n", "> Saving Settings\n",          "< Saving Settings\n",
    "< Initialization\n",   "- pressed defined exit key\n", "> Finalization\n",
    "< Finalization\n"};

TEST_F(Log, StartAndEndLinesInTheFileAndOnTheTerminal) {
  Sim_SetSystemId(456);
  Sim_SetVersion(0x12AB);
  Start();
  Sim_DeliverEvent(EVT_KEY, RKEY_Stop, 0);
  const std::string log = File();
  EXPECT_EQ(0u, log.find("2012-02-17 09:05:30 Programmstart Velumo V1.0\n"
                         "2012-02-17 09:05:30 - System ID 456\n"
                         "2012-02-17 09:05:30 - Firmware version 12AB\n"
                         "2012-02-17 09:05:30 LoadSettings: ShowError 0"));
  const std::string end = "2012-02-17 09:05:30 MS_Filelist\n"
                          "2012-02-17 09:05:30 MS_Inactive\n"
                          "2012-02-17 09:05:30 Programmende Velumo V1.0\n";
  EXPECT_EQ(log.size() - end.size(), log.rfind(end));
  for (const char *line : kDebugLines) EXPECT_FALSE(Has(log, line)) << line;

  const std::string net = Sim_TerminalText();
  EXPECT_EQ(0u, net.find("2012-02-17 09:05:30 Velumo: Programmstart Velumo V1.0\n"
                         "2012-02-17 09:05:30 Velumo: - System ID 456\n"));
  EXPECT_TRUE(Has(net, "2012-02-17 09:05:30 Velumo: Programmende Velumo V1.0\n"));
}

TEST_F(Log, DebugLinesFollowTheSetting) {
  Start("Debug=1\r\n");
  Sim_DeliverEvent(EVT_KEY, RKEY_Stop, 0);
  const std::string log = File();
  for (const char *line : kDebugLines) EXPECT_TRUE(Has(log, line)) << line;
  // The debug setting is not known before the settings are read.
  EXPECT_LT(log.find("LoadSettings: PathCnt"), log.find("< Loading Settings\n"));
}

TEST_F(Log, MessagesAreNeverUsedAsAFormat) {
  Start();
  WriteLog("Renaming <%s> to <%s>\n", "100%s.png", "%d%n%%");
  EXPECT_TRUE(Has(File(), "09:05:30 Renaming <100%s.png> to <%d%n%%>\n"));
  EXPECT_TRUE(Has(Sim_TerminalText(), "Velumo: Renaming <100%s.png> to <%d%n%%>\n"));
}

TEST_F(Log, TheCallersDirectoryStays) {
  Start();
  ASSERT_EQ(1, TAP_Hdd_ChangeDir("/"));
  WriteLog("- here\n");
  char dir[kDirStackEntry];
  HDD_TAP_GetCurrentDir(dir);
  EXPECT_STREQ("/", dir);
  EXPECT_EQ(-1, TAPDirStackDepth);
}

TEST_F(Log, LongMessagesAreCut) {
  Start();
  // Up to 1999 characters reach the file; the terminal takes 1023.
  const std::string dump = "\n" + std::string(1500, 'd') + "\n";
  WriteLog("%s", dump.c_str());
  std::string log = File();
  EXPECT_EQ(log.size() - dump.size(), log.rfind(dump));
  // The terminal's copy is cut to 1023 characters and still ends its line,
  // so the next line starts on a line of its own.
  std::string net = Sim_TerminalText();
  const std::string cut = dump.substr(0, 1022) + "\n";
  EXPECT_EQ(net.size() - cut.size(), net.rfind(cut));
  const std::string longName(3000, 'n');
  WriteLog("= %s\n", longName.c_str());
  const std::string line = "2012-02-17 09:05:30 = " + longName.substr(0, 1996) + "\n";
  log = File();
  EXPECT_EQ(log.size() - line.size(), log.rfind(line));
  net = Sim_TerminalText();
  const std::string netLine = "2012-02-17 09:05:30 Velumo: = " + longName.substr(0, 1020) + "\n";
  EXPECT_EQ(net.size() - netLine.size(), net.rfind(netLine));
  // A message of exactly 1023 characters is not cut.
  const std::string full = std::string(1022, 'f') + "\n";
  WriteLog("%s", full.c_str());
  net = Sim_TerminalText();
  const std::string fullLine = "2012-02-17 09:05:30 Velumo: " + full;
  EXPECT_EQ(net.size() - fullLine.size(), net.rfind(fullLine));
}

TEST_F(Log, AVanishedLogFolderLeavesOnlyTheTerminal) {
  Start();
  RemoveTree(Host("/ProgramFiles/Settings"));
  ASSERT_TRUE(WriteHostFile(Host("/ProgramFiles/Velumo.log"), "someone else's"));
  ASSERT_EQ(1, TAP_Hdd_ChangeDir("/ProgramFiles"));
  WriteLog("- after\n");
  EXPECT_TRUE(Has(Sim_TerminalText(), "Velumo: - after\n"));
  std::string other;
  ASSERT_TRUE(ReadHostFile(Host("/ProgramFiles/Velumo.log"), other));
  EXPECT_EQ("someone else's", other); // not taken for the log
  EXPECT_FALSE(HostExists(Host("/ProgramFiles/Settings")));
  // The end of the run goes on without the file as well.
  Sim_DeliverEvent(EVT_KEY, RKEY_Stop, 0);
  EXPECT_TRUE(Has(Sim_TerminalText(), "Velumo: Programmende Velumo V1.0\n"));
  EXPECT_EQ(0, Sim_PluginRunning(slot_));
}

} // namespace
