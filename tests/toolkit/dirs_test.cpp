// The directory stack over the firmware's current directory, read from the
// firmware's plug-in table, and the directory change with its UTF-8 retry.
#include <sys/stat.h>

#include "testdisk.h"
#include "tklib.h"

namespace {

class Dirs : public SimTest {
protected:
  void SetUp() override {
    SimTest::SetUp();
    TAPDirStackDepth = -1;
  }
  std::string Current() {
    char dir[kDirStackEntry];
    EXPECT_EQ(0, HDD_TAP_GetCurrentDir(dir));
    return dir;
  }
};

TEST_F(Dirs, CurrentDirectoryFromThePluginTable) {
  EXPECT_EQ("/ProgramFiles", Current());
  ASSERT_EQ(1, TAP_Hdd_ChangeDir("/"));
  EXPECT_EQ("/", Current());
  ASSERT_EQ(1, TAP_Hdd_Create("/a", ATTR_FOLDER));
  ASSERT_EQ(1, TAP_Hdd_ChangeDir("a"));
  EXPECT_EQ("/a", Current());
}

TEST_F(Dirs, PushAndPopRestoreTheDirectory) {
  ASSERT_EQ(1, TAP_Hdd_Create("/ProgramFiles/Settings", ATTR_FOLDER));
  EXPECT_TRUE(HDD_TAP_PushDir());
  EXPECT_EQ(0, TAPDirStackDepth);
  ASSERT_TRUE(HDD_ChangeDir("/ProgramFiles/Settings"));
  EXPECT_TRUE(HDD_TAP_PushDir());
  ASSERT_TRUE(HDD_ChangeDir("/"));
  HDD_TAP_PopDir();
  EXPECT_EQ("/ProgramFiles/Settings", Current());
  HDD_TAP_PopDir();
  EXPECT_EQ("/ProgramFiles", Current());
  EXPECT_EQ(-1, TAPDirStackDepth);
  // A pop on an empty stack changes nothing.
  ASSERT_TRUE(HDD_ChangeDir("/"));
  HDD_TAP_PopDir();
  EXPECT_EQ("/", Current());
  EXPECT_EQ(-1, TAPDirStackDepth);
}

TEST_F(Dirs, SeventeenthPushIsRefused) {
  for (int i = 0; i < 16; ++i) EXPECT_TRUE(HDD_TAP_PushDir()) << i;
  EXPECT_FALSE(HDD_TAP_PushDir());
  EXPECT_EQ(15, TAPDirStackDepth);
  for (int i = 0; i < 16; ++i) HDD_TAP_PopDir();
  EXPECT_EQ(-1, TAPDirStackDepth);
}

TEST_F(Dirs, ChangeDirRetriesInUtf8) {
  // The firmware stored the folder's name in UTF-8; the caller has Latin-1.
  ASSERT_EQ(0, mkdir(Host("/Gr\xC3\xBCn").c_str(), 0755));
  EXPECT_TRUE(HDD_ChangeDir("/Gr\xFCn"));
  EXPECT_EQ("/Gr\xC3\xBCn", Current());
  EXPECT_TRUE(HDD_ChangeDir("/ProgramFiles"));
  EXPECT_FALSE(HDD_ChangeDir("/Nowhere\xE4"));
  EXPECT_EQ("/ProgramFiles", Current()); // a failed change leaves it
  EXPECT_FALSE(HDD_ChangeDir(nullptr));
  EXPECT_EQ(0u, Sim_HeapBlocksTotal());
}

TEST_F(Dirs, LongPathsAreCutToAStackEntry) {
  std::string deep;
  for (int i = 0; i < 25; ++i) {
    deep += "/folder" + std::to_string(i);
    ASSERT_EQ(0, mkdir(Host(deep).c_str(), 0755));
  }
  ASSERT_EQ(1, TAP_Hdd_ChangeDir(deep.c_str()));
  ASSERT_GT(deep.size(), 199u);
  EXPECT_EQ(deep.substr(0, 199), Current());
}

} // namespace
