// The disk: confinement to the disk folder, the directory search, files and
// folders, and the write fault injection.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <string.h>

#include "testdisk.h"

extern "C" dword _tapTask[];

namespace {

class Disk : public SimTest {
protected:
  void SetUp() override {
    SimTest::SetUp();
    outside_ = MakeTempDir();
    ASSERT_TRUE(WriteHostFile(outside_ + "/secret", "secret"));
  }
  void TearDown() override {
    RemoveTree(outside_);
    SimTest::TearDown();
  }
  std::string outside_;
};

std::string ReadAllOf(TYPE_File *f) {
  std::string s(TAP_Hdd_Flen(f), '\0');
  TAP_Hdd_Fseek(f, 0, SEEK_START);
  s.resize(TAP_Hdd_Fread(&s[0], 1, dword(s.size()), f));
  return s;
}

// The current directory as the firmware table holds it for slot 0.
std::string TableDir() {
  const dword *dirRecord = reinterpret_cast<const dword *>(_tapTask[10]);
  const char *text = reinterpret_cast<const char *>(dirRecord[1]);
  return text;
}

TEST_F(Disk, PathsNeverLeaveTheDisk) {
  // Above the root.
  EXPECT_EQ(0, TAP_Hdd_ChangeDir("/.."));
  EXPECT_EQ(0, TAP_Hdd_ChangeDir("../.."));
  EXPECT_EQ(nullptr, TAP_Hdd_Fopen("../../etc/passwd"));
  // An absolute path starts at the disk's root, not the host's.
  EXPECT_EQ(0, TAP_Hdd_Exist("/etc/passwd"));
  EXPECT_EQ(nullptr, TAP_Hdd_Fopen(("/.." + outside_ + "/secret").c_str()));
  // ".." inside the disk is fine.
  EXPECT_EQ(1, TAP_Hdd_ChangeDir("/ProgramFiles/../ProgramFiles"));
  EXPECT_EQ("/mnt/hd/ProgramFiles", TableDir());
  EXPECT_EQ(1, TAP_Hdd_ChangeDir(".."));
  EXPECT_EQ("/mnt/hd/", TableDir());
}

TEST_F(Disk, SymbolicLinksOutOfTheDiskAreRefused) {
  ASSERT_EQ(0, symlink(outside_.c_str(), Host("/ProgramFiles/out").c_str()));
  ASSERT_EQ(0, symlink((outside_ + "/secret").c_str(), Host("/ProgramFiles/s").c_str()));
  ASSERT_EQ(0, symlink((outside_ + "/new").c_str(), Host("/ProgramFiles/dangling").c_str()));
  ASSERT_EQ(0, mkdir(Host("/inside").c_str(), 0755));
  ASSERT_EQ(0, symlink(Host("/inside").c_str(), Host("/ProgramFiles/in").c_str()));

  ASSERT_EQ(1, TAP_Hdd_ChangeDir("/ProgramFiles"));
  EXPECT_EQ(0, TAP_Hdd_ChangeDir("out"));
  EXPECT_EQ(0, TAP_Hdd_Exist("out/secret"));
  EXPECT_EQ(nullptr, TAP_Hdd_Fopen("s"));
  EXPECT_EQ(0, TAP_Hdd_Create("dangling", ATTR_NORMAL));
  EXPECT_FALSE(HostExists(outside_ + "/new"));
  EXPECT_EQ(0, TAP_Hdd_Delete("out/secret"));
  EXPECT_TRUE(HostExists(outside_ + "/secret"));
  EXPECT_EQ(0, TAP_Hdd_Rename("s", "t"));
  // A link that stays inside works like the folder itself.
  EXPECT_EQ(1, TAP_Hdd_Create("in/x", ATTR_NORMAL));
  EXPECT_TRUE(HostExists(Host("/inside/x")));

  TYPE_File e;
  std::vector<std::string> names;
  for (dword n = TAP_Hdd_FindFirst(&e, ""); n; n = TAP_Hdd_FindNext(&e)) names.push_back(e.name);
  EXPECT_EQ(std::vector<std::string>{"in"}, names);
}

// In a folder others can write, a link may be planted where a file is about
// to be written: the firmware's calls read through a link, never write.
TEST_F(Disk, WritesNeverGoThroughALink) {
  ASSERT_TRUE(WriteHostFile(Host("/ProgramFiles/f"), "file"));
  ASSERT_EQ(0, symlink("f", Host("/ProgramFiles/to-file").c_str()));
  ASSERT_EQ(1, TAP_Hdd_ChangeDir("/ProgramFiles"));
  EXPECT_EQ(0, TAP_Hdd_Create("to-file", ATTR_NORMAL));
  EXPECT_EQ("file", DiskFile("/ProgramFiles/f"));
  TYPE_File *f = TAP_Hdd_Fopen("to-file");
  ASSERT_NE(nullptr, f);
  EXPECT_EQ("file", ReadAllOf(f));
  EXPECT_EQ(0u, TAP_Hdd_Fwrite("x", 1, 1, f));
  TAP_Hdd_Fclose(f);
  EXPECT_EQ("file", DiskFile("/ProgramFiles/f"));
  // The file under its own name is written as before.
  EXPECT_EQ(1, TAP_Hdd_Create("f", ATTR_NORMAL));
  f = TAP_Hdd_Fopen("f");
  ASSERT_NE(nullptr, f);
  EXPECT_EQ(1u, TAP_Hdd_Fwrite("x", 1, 1, f));
  TAP_Hdd_Fclose(f);
  EXPECT_EQ("x", DiskFile("/ProgramFiles/f"));
}

TEST_F(Disk, SearchListsFoldersAndFilteredFilesInNameOrder) {
  ASSERT_EQ(1, TAP_Hdd_ChangeDir("/ProgramFiles"));
  ASSERT_EQ(1, TAP_Hdd_Create("Logos", ATTR_FOLDER));
  ASSERT_TRUE(WriteHostFile(Host("/ProgramFiles/b.bmp"), std::string(1234, 'x')));
  ASSERT_TRUE(WriteHostFile(Host("/ProgramFiles/a.png"), "png"));
  ASSERT_TRUE(WriteHostFile(Host("/ProgramFiles/c.txt"), ""));
  ASSERT_TRUE(WriteHostFile(Host("/ProgramFiles/x.PNG"), ""));
  // 2012-02-17 09:05:30 UTC is MJD 55974.
  struct timeval tv[2] = {{1329469530, 0}, {1329469530, 0}};
  ASSERT_EQ(0, utimes(Host("/ProgramFiles/b.bmp").c_str(), tv));

  TYPE_File e;
  memset(&e, 0, sizeof e);
  ASSERT_EQ(3u, TAP_Hdd_FindFirst(&e, ".png|.bmp"));
  EXPECT_STREQ("Logos", e.name);
  EXPECT_EQ(ATTR_FOLDER, e.attr);
  ASSERT_EQ(1u, TAP_Hdd_FindNext(&e));
  EXPECT_STREQ("a.png", e.name);
  EXPECT_EQ(ATTR_NORMAL, e.attr);
  EXPECT_EQ(3u, e.size);
  ASSERT_EQ(1u, TAP_Hdd_FindNext(&e));
  EXPECT_STREQ("b.bmp", e.name);
  EXPECT_EQ(1234u, e.size);
  EXPECT_EQ(55974, e.mjd);
  EXPECT_EQ(9, e.hour);
  EXPECT_EQ(5, e.min);
  EXPECT_EQ(30, e.sec);
  EXPECT_EQ(0u, TAP_Hdd_FindNext(&e));
  EXPECT_EQ(0u, TAP_Hdd_FindNext(&e));

  // No filter: everything, still never "." or "..".
  std::vector<std::string> names;
  for (dword n = TAP_Hdd_FindFirst(&e, ""); n; n = TAP_Hdd_FindNext(&e)) names.push_back(e.name);
  EXPECT_EQ((std::vector<std::string>{"Logos", "a.png", "b.bmp", "c.txt", "x.PNG"}), names);
  EXPECT_EQ(5u, TAP_Hdd_FindFirst(&e, nullptr));

  // An empty folder has no entries.
  ASSERT_EQ(1, TAP_Hdd_ChangeDir("Logos"));
  EXPECT_EQ(0u, TAP_Hdd_FindFirst(&e, ""));
  EXPECT_EQ(0u, TAP_Hdd_FindNext(&e));
}

TEST_F(Disk, CreateDeleteExist) {
  ASSERT_EQ(1, TAP_Hdd_ChangeDir("/ProgramFiles"));
  EXPECT_EQ(0, TAP_Hdd_Exist("f"));
  EXPECT_EQ(1, TAP_Hdd_Create("f", ATTR_NORMAL));
  EXPECT_EQ(1, TAP_Hdd_Exist("f"));
  ASSERT_TRUE(WriteHostFile(Host("/ProgramFiles/f"), "old"));
  EXPECT_EQ(1, TAP_Hdd_Create("f", ATTR_NORMAL)); // a new file is empty
  std::string bytes;
  ASSERT_TRUE(ReadHostFile(Host("/ProgramFiles/f"), bytes));
  EXPECT_EQ("", bytes);
  EXPECT_EQ(0, TAP_Hdd_Create("f", ATTR_FOLDER)); // a file is in the way
  EXPECT_EQ(0, TAP_Hdd_Create("g", 0x42));        // not an attribute
  EXPECT_EQ(1, TAP_Hdd_Create("d", ATTR_FOLDER));
  EXPECT_EQ(1, TAP_Hdd_Create("d", ATTR_FOLDER)); // already there
  EXPECT_EQ(0, TAP_Hdd_Create("d", ATTR_NORMAL)); // a folder is in the way
  EXPECT_EQ(1, TAP_Hdd_Create("d/inner", ATTR_NORMAL));
  EXPECT_EQ(0, TAP_Hdd_Delete("d")); // not empty: nothing is taken with it
  EXPECT_TRUE(HostExists(Host("/ProgramFiles/d/inner")));
  EXPECT_EQ(1, TAP_Hdd_Delete("d/inner"));
  EXPECT_EQ(1, TAP_Hdd_Delete("d"));
  EXPECT_EQ(0, TAP_Hdd_Delete("d"));
  EXPECT_EQ(0, TAP_Hdd_Delete("/"));
  EXPECT_EQ(0, TAP_Hdd_Exist(nullptr));
}

// Opened through the device path without following it, a final link is
// refused as a link wherever it leads, even off the disk or nowhere.
TEST_F(Disk, DevicePathsRefuseFinalLinksWhenNotFollowing) {
  ASSERT_TRUE(WriteHostFile(Host("/ProgramFiles/f"), "F"));
  ASSERT_EQ(0, symlink("f", Host("/ProgramFiles/to-file").c_str()));
  ASSERT_EQ(0, symlink("nowhere", Host("/ProgramFiles/dangling").c_str()));
  ASSERT_EQ(0, symlink((outside_ + "/secret").c_str(), Host("/ProgramFiles/out").c_str()));
  for (const char *name : {"to-file", "dangling", "out"}) {
    const std::string path = std::string("/mnt/hd/ProgramFiles/") + name;
    errno = 0;
    EXPECT_EQ(-1, open(path.c_str(), O_RDONLY | O_NOFOLLOW)) << name;
    EXPECT_EQ(ELOOP, errno) << name;
  }
  // Followed, only the link within the disk leads to a file.
  const int fd = open("/mnt/hd/ProgramFiles/to-file", O_RDONLY);
  EXPECT_GE(fd, 0);
  if (fd >= 0) close(fd);
  for (const char *name : {"dangling", "out", "missing"}) {
    const std::string path = std::string("/mnt/hd/ProgramFiles/") + name;
    errno = 0;
    EXPECT_EQ(-1, open(path.c_str(), O_RDONLY)) << name;
    EXPECT_EQ(ENOENT, errno) << name;
  }
  errno = 0;
  EXPECT_EQ(-1, open("/mnt/hd/ProgramFiles/missing", O_RDONLY | O_NOFOLLOW));
  EXPECT_EQ(ENOENT, errno);
}

TEST_F(Disk, RenameNeverOverwrites) {
  ASSERT_EQ(1, TAP_Hdd_ChangeDir("/ProgramFiles"));
  ASSERT_TRUE(WriteHostFile(Host("/ProgramFiles/a"), "A"));
  ASSERT_TRUE(WriteHostFile(Host("/ProgramFiles/b"), "B"));
  EXPECT_EQ(0, TAP_Hdd_Rename("a", "b"));
  EXPECT_EQ(0, TAP_Hdd_Rename("a", "a"));
  std::string bytes;
  ASSERT_TRUE(ReadHostFile(Host("/ProgramFiles/b"), bytes));
  EXPECT_EQ("B", bytes);
  EXPECT_EQ(1, TAP_Hdd_Rename("a", "c"));
  EXPECT_FALSE(HostExists(Host("/ProgramFiles/a")));
  ASSERT_TRUE(ReadHostFile(Host("/ProgramFiles/c"), bytes));
  EXPECT_EQ("A", bytes);
  EXPECT_EQ(0, TAP_Hdd_Rename("missing", "d"));
}

TEST_F(Disk, ReadWriteSeekLength) {
  ASSERT_EQ(1, TAP_Hdd_ChangeDir("/ProgramFiles"));
  EXPECT_EQ(nullptr, TAP_Hdd_Fopen("nothing"));
  EXPECT_EQ(nullptr, TAP_Hdd_Fopen("/ProgramFiles")); // a folder is no file
  ASSERT_EQ(1, TAP_Hdd_Create("data", ATTR_NORMAL));
  TYPE_File *f = TAP_Hdd_Fopen("data");
  ASSERT_NE(nullptr, f);
  EXPECT_STREQ("data", f->name);
  EXPECT_EQ(10u, TAP_Hdd_Fwrite("0123456789", 1, 10, f));
  EXPECT_EQ(10u, TAP_Hdd_Ftell(f));
  EXPECT_EQ(10u, TAP_Hdd_Flen(f));
  EXPECT_EQ(2u, TAP_Hdd_Fseek(f, 2, SEEK_START));
  char four[4];
  // Three items of four bytes from position 2: only two are whole.
  char twelve[12];
  EXPECT_EQ(2u, TAP_Hdd_Fread(twelve, 4, 3, f));
  EXPECT_EQ(0, memcmp(twelve, "23456789", 8));
  EXPECT_EQ(0u, TAP_Hdd_Fread(four, 1, 4, f)); // at the end
  EXPECT_EQ(6u, TAP_Hdd_Fseek(f, -4, SEEK_ENDING));
  EXPECT_EQ(8u, TAP_Hdd_Fseek(f, 2, SEEK_CURRENT));
  EXPECT_EQ((dword)-1, TAP_Hdd_Fseek(f, -20, SEEK_CURRENT));
  EXPECT_EQ((dword)-1, TAP_Hdd_Fseek(f, 0, 7));
  EXPECT_EQ(0u, TAP_Hdd_Fseek(f, 0, SEEK_START));
  EXPECT_EQ(1u, TAP_Hdd_Fwrite("AB", 2, 1, f));
  EXPECT_EQ("AB23456789", ReadAllOf(f));
  // size x count that overflows reads and writes nothing
  EXPECT_EQ(0u, TAP_Hdd_Fread(twelve, (dword)-1, 3, f));
  TAP_Hdd_Fclose(f);
  // A closed handle or a foreign pointer is not a file any more.
  TYPE_File fake;
  memset(&fake, 0, sizeof fake);
  EXPECT_EQ(0u, TAP_Hdd_Fread(four, 1, 4, &fake));
  EXPECT_EQ(0u, TAP_Hdd_Fwrite(four, 1, 4, &fake));
  EXPECT_EQ(0u, TAP_Hdd_Flen(&fake));
  TAP_Hdd_Fclose(&fake);
  TAP_Hdd_Fclose(nullptr);
}

TEST_F(Disk, WritesFailAfterTheInjectedBudget) {
  ASSERT_EQ(1, TAP_Hdd_ChangeDir("/ProgramFiles"));
  ASSERT_EQ(1, TAP_Hdd_Create("w", ATTR_NORMAL));
  TYPE_File *f = TAP_Hdd_Fopen("w");
  ASSERT_NE(nullptr, f);
  Sim_FailWriteAfter(5);
  EXPECT_EQ(3u, TAP_Hdd_Fwrite("abc", 1, 3, f));
  // Two bytes left: of two 2-byte items one gets through.
  EXPECT_EQ(1u, TAP_Hdd_Fwrite("defg", 2, 2, f));
  EXPECT_EQ(0u, TAP_Hdd_Fwrite("h", 1, 1, f));
  Sim_FailWriteAfter(-1);
  EXPECT_EQ(1u, TAP_Hdd_Fwrite("i", 1, 1, f));
  TAP_Hdd_Fclose(f);
  std::string bytes;
  ASSERT_TRUE(ReadHostFile(Host("/ProgramFiles/w"), bytes));
  EXPECT_EQ("abcdei", bytes);
}

TEST_F(Disk, DevicePathsGoThroughTheHostPathHook) {
  char buf[4096];
  EXPECT_EQ(Host("/ProgramFiles/x"), Sim_HostPath("/mnt/hd/ProgramFiles/x", buf, sizeof buf));
  EXPECT_EQ(nullptr, Sim_HostPath("/mnt/hd/../etc/passwd", buf, sizeof buf));
  EXPECT_STREQ("", Sim_HostPath("/dev/pts/0", buf, sizeof buf));
  EXPECT_EQ(nullptr, Sim_HostPath("/dev/pts/1", buf, sizeof buf));
  EXPECT_EQ(nullptr, Sim_HostPath("/dev/pts/0x", buf, sizeof buf));
  EXPECT_STREQ("/etc/hostname", Sim_HostPath("/etc/hostname", buf, sizeof buf));
  EXPECT_STREQ("/mnt/hdd", Sim_HostPath("/mnt/hdd", buf, sizeof buf));

  // libc's open() of the receiver's paths, as the toolkit makes it.
  ASSERT_TRUE(WriteHostFile(Host("/ProgramFiles/p.so"), "ELF"));
  int fd = open("/mnt/hd/ProgramFiles/p.so", O_RDONLY);
  ASSERT_GE(fd, 0);
  char data[8] = {};
  EXPECT_EQ(3, read(fd, data, sizeof data));
  EXPECT_STREQ("ELF", data);
  close(fd);
  EXPECT_LT(open("/mnt/hd/../../etc/passwd", O_RDONLY), 0);
  EXPECT_LT(open("/dev/pts/3", O_RDWR), 0);

  // The network terminal records each text, without its terminating NUL.
  fd = open("/dev/pts/0", O_RDWR);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(6, write(fd, "hello\0", 6));
  close(fd);
  fd = open("/dev/pts/0", O_RDWR);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(7, write(fd, " world\0", 7));
  close(fd);
  EXPECT_STREQ("hello world", Sim_TerminalText());
}

} // namespace
