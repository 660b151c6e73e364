#include "testdisk.h"

#include <dirent.h>
#include <errno.h>
#include <string.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>

std::string MakeTempDir() {
  const char *base = getenv("TMPDIR");
  std::string tmpl = std::string(base && *base ? base : "/tmp") + "/velumo-test-XXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) return "";
  return buf.data();
}

void RemoveTree(const std::string &path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return;
  if (S_ISDIR(st.st_mode)) {
    if (DIR *d = opendir(path.c_str())) {
      while (dirent *e = readdir(d)) {
        std::string n = e->d_name;
        if (n == "." || n == "..") continue;
        RemoveTree(path + "/" + n);
      }
      closedir(d);
    }
    chmod(path.c_str(), 0700);
    rmdir(path.c_str());
  } else {
    unlink(path.c_str());
  }
}

bool WriteHostFile(const std::string &path, const std::string &bytes) {
  std::ofstream f(path, std::ios::binary);
  f << bytes;
  return bool(f);
}

bool ReadHostFile(const std::string &path, std::string &bytes) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  std::ostringstream s;
  s << f.rdbuf();
  bytes = s.str();
  return true;
}

bool HostExists(const std::string &path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> HostNames(const std::string &folder) {
  std::vector<std::string> names;
  if (DIR *d = opendir(folder.c_str())) {
    while (const dirent *e = readdir(d))
      if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) names.push_back(e->d_name);
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string TestDataDir(const char *sub) {
  std::string dir = std::string(VELUMO_TESTDATA) + "/" + sub;
  struct stat st;
  if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return "";
  return dir;
}

void SimTest::MakeFolders(std::initializer_list<const char *> diskPaths) const {
  for (const char *path : diskPaths)
    ASSERT_TRUE(mkdir(Host(path).c_str(), 0755) == 0 || errno == EEXIST) << path;
}

std::string SimTest::DiskFile(const std::string &diskPath) const {
  std::string bytes;
  ReadHostFile(Host(diskPath), bytes);
  return bytes;
}

void SimTest::ExpectNothingHeld() {
  EXPECT_EQ(0u, Sim_HeapBlocksTotal());
  EXPECT_EQ(0, Sim_OpenFileCount());
}

void SimTest::SetUp() {
  root_ = MakeTempDir();
  ASSERT_FALSE(root_.empty());
  ASSERT_EQ(1, Sim_Init(root_.c_str()));
  Sim_SetClock("2012-02-17 09:05:30");
}

void InProgramFiles::SetUp() {
  SimTest::SetUp();
  ASSERT_EQ(1, TAP_Hdd_ChangeDir("/ProgramFiles"));
}

void InProgramFiles::TearDown() {
  ExpectNothingHeld();
  SimTest::TearDown();
}

void SimTest::TearDown() {
  Sim_Shutdown();
  RemoveTree(root_);
}
