// A fresh firmware stand-in on a temporary disk for each test.
#ifndef TESTDISK_H
#define TESTDISK_H

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "tapsim.h"

// Host helpers for arranging and checking the disk behind the firmware's back.
std::string MakeTempDir();
void RemoveTree(const std::string &path);
bool WriteHostFile(const std::string &path, const std::string &bytes);
bool ReadHostFile(const std::string &path, std::string &bytes);
bool HostExists(const std::string &path);
// The names in a host folder, without "." and "..", sorted.
std::vector<std::string> HostNames(const std::string &folder);
// Folder of the public test images, or "" when it is not there.
std::string TestDataDir(const char *sub);

class SimTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;
  // Host path of a path on the simulated disk ("/ProgramFiles/x").
  std::string Host(const std::string &diskPath) const { return root_ + diskPath; }
  // The folders on the disk, each after its parent.
  void MakeFolders(std::initializer_list<const char *> diskPaths) const;
  // /Logos and the plug-in's settings folder, as a logo disk has them.
  void MakeLogoFolders() const {
    MakeFolders({"/Logos", "/ProgramFiles/Settings", "/ProgramFiles/Settings/Velumo"});
  }
  // The bytes of a file on the disk, "" when there is none.
  std::string DiskFile(const std::string &diskPath) const;
  // Every heap block given back and every file closed.
  static void ExpectNothingHeld();
  std::string root_;
};

// The firmware's calls start in /ProgramFiles, and the test ends with
// nothing held.
class InProgramFiles : public SimTest {
protected:
  void SetUp() override;
  void TearDown() override;
};

#endif
