// Conversions from the file list as a user or an attacker would try them:
// names that look alike, targets that are no plain file, long names, empty
// logos; and the detail view after a logo that fails to load.
#include <dirent.h>
#include <signal.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "plugin_fixture.h"
#include "oracle.h"
#include "rawlogo.h"
#include "tklib.h"

namespace {

// An RGBA PNG written by libpng.
bool WritePng(const std::string &path, uint32_t w, uint32_t h, const std::vector<uint8_t> &rgba) {
  return WriteHostFile(path, LibpngRgba(w, h, rgba));
}

volatile sig_atomic_t waitedForAFifo = 0;

size_t Count(const std::string &text, const std::string &what) {
  size_t n = 0;
  for (size_t p = 0; (p = text.find(what, p)) != std::string::npos; p += what.size()) ++n;
  return n;
}

class Convert : public PluginTest {
protected:
  void SetUp() override {
    PluginTest::SetUp();
    MakeLogoFolders();
    stopKey_ = true;
  }
  void Start() { PluginTest::Start("Path01=/Logos\r\nDebug=1\r\n"); }
  void TearDown() override {
    Stop();
    ExpectNothingHeld();
    lang = 0;
    SimTest::TearDown();
  }
  void Select(const std::string &name) {
    int index = -1;
    for (int i = 0; i < OSDMenuItemGetNrOfItems(); ++i)
      if (name == OSDMenuItemGetName(i)) index = i;
    ASSERT_GE(index, 0) << name;
    while (OSDMenuGetCurrentItem() != index)
      Key(OSDMenuGetCurrentItem() < index ? RKEY_Down : RKEY_Up);
  }
  // Converts the entry with the key; the key is always consumed.
  void Press(const std::string &name, dword key) {
    Select(name);
    EXPECT_EQ(0u, Key(key)) << name << " " << key - RKEY_1 + 1;
  }
  std::string File(const std::string &path) {
    std::string bytes;
    ReadHostFile(Host(path), bytes);
    return bytes;
  }
  std::string Log() { return File("/ProgramFiles/Settings/Velumo/Velumo.log"); }
};

TEST_F(Convert, TheDetailViewAfterAFailedStepKeepsItsPicture) {
  std::vector<uint32_t> px(60 * 40);
  for (size_t i = 0; i < px.size(); ++i) px[i] = 0xFF000000u | uint32_t(i * 0x010307u);
  ASSERT_TRUE(WriteHostFile(Host("/Logos/a.bll32"), Raw32(60, 40, px)));
  ASSERT_TRUE(WriteHostFile(Host("/Logos/b.qtl"), Be32(65536) + Be32(65537) + "\x80\x01"));
  std::vector<uint8_t> rgba(100 * 100 * 4);
  for (size_t i = 0; i < rgba.size(); ++i) rgba[i] = uint8_t(i * 2654435761u >> 13);
  ASSERT_TRUE(WritePng(Host("/Logos/c.png"), 100, 100, rgba));
  std::string whole = File("/Logos/c.png");
  ASSERT_GT(whole.size(), 1000u); // cut within the image data
  ASSERT_TRUE(WriteHostFile(Host("/Logos/c.png"), whole.substr(0, whole.size() / 2)));
  Start();
  Select("a.bll32");
  EXPECT_EQ(0u, Key(RKEY_Ok));
  ASSERT_EQ(MS_LogoDetail, myState);
  const uint32_t *s = Sim_ShownPlane();
  // The 1x view starts at (182, 196); with the background off, pixels show as they are.
  EXPECT_EQ(0u, Key(RKEY_NewF1));
  ASSERT_EQ(px[61], s[197 * 720 + 183]);
  for (const char *failing : {"b.qtl", "c.png"}) {
    EXPECT_EQ(0u, Key(RKEY_Down)); // onto an entry that does not load
    EXPECT_NE(std::string::npos,
              Log().find(std::string("= Loaded channel logofile /Logos/") + failing + "\n"));
    ASSERT_EQ(60u, logoW) << failing;
    ASSERT_EQ(40u, logoH) << failing;
    EXPECT_TRUE(std::equal(px.begin(), px.end(), logoData32)) << failing;
    EXPECT_STREQ("a.bll32", logofile) << failing; // the name that goes with the picture
    EXPECT_EQ(0u, Key(RKEY_NewF1));               // redrawn: the same picture, nothing else
    EXPECT_EQ(px[61], s[197 * 720 + 183]) << failing;
    EXPECT_EQ(px[60 * 40 - 1], s[(196 + 39) * 720 + 182 + 59]) << failing;
  }
  // The dump walks the picture there is: 2400 entries, none beyond.
  const size_t before = Count(Log(), ", a ");
  EXPECT_EQ(0u, Key(RKEY_F4));
  EXPECT_EQ(2400u, Count(Log(), ", a ") - before);
  EXPECT_EQ(0u, Key(RKEY_Exit));
  EXPECT_EQ(MS_Filelist, myState);
}

TEST_F(Convert, AnEmptyLogoIsNeverConverted) {
  // 1000 x 10 keeps its aspect as 60 x 0: no row at all.
  std::string raw = Be32(1000) + Be32(10);
  for (int i = 0; i < 1000 * 10; ++i) raw += "\xFF\xFF";
  ASSERT_TRUE(WriteHostFile(Host("/Logos/wide.bll"), raw));
  ASSERT_TRUE(WriteHostFile(Host("/Logos/wide.qsl"), raw));
  Start();
  for (dword key = RKEY_1; key <= RKEY_8; ++key) {
    // Key 1 on a BLL would be refused as the source itself.
    Press(key == RKEY_1 ? "wide.qsl" : "wide.bll", key);
    EXPECT_STREQ("Empty logo - not saved", buf) << key - RKEY_1 + 1;
  }
  for (const char *ext : {"bll32", "png", "bmp", "jpg", "qtl", "qsl32", "ibl"})
    EXPECT_FALSE(HostExists(Host(std::string("/Logos/wide.") + ext))) << ext;
  EXPECT_EQ(raw, File("/Logos/wide.qsl"));
  EXPECT_EQ(7u, Count(Log(), "= Not converting /Logos/wide.bll: empty logo\n"));
  EXPECT_EQ(1u, Count(Log(), "= Not converting /Logos/wide.qsl: empty logo\n"));
  lang = 2;
  Press("wide.bll", RKEY_6);
  EXPECT_STREQ("Leeres Logo - nicht gespeichert", buf);
  EXPECT_FALSE(HostExists(Host("/Logos/wide.qtl")));
}

TEST_F(Convert, OnlyTheBitmapPathClosesWithItsDebugLine) {
  ASSERT_TRUE(WriteHostFile(Host("/Logos/a.bll32"), Raw32(1, 1, {0xFF102030})));
  Start();
  const struct {
    dword key;
    size_t closing;
  } keys[] = {{RKEY_1, 0}, {RKEY_3, 0}, {RKEY_6, 0}, {RKEY_4, 1}, {RKEY_5, 1}};
  for (const auto &k : keys) {
    const std::string log = Log();
    Press("a.bll32", k.key);
    const std::string added = Log().substr(log.size());
    EXPECT_EQ(1u, Count(added, "> Saving channel logo\n")) << k.key - RKEY_1 + 1;
    EXPECT_EQ(k.closing, Count(added, "< Saving channel logo\n")) << k.key - RKEY_1 + 1;
  }
  EXPECT_TRUE(HostExists(Host("/Logos/a.jpg")));
}

TEST_F(Convert, TheOutputNameIsTheNameWithoutItsLastExtension) {
  std::vector<uint8_t> rgba(4 * 3 * 4, 0xC0);
  ASSERT_TRUE(WritePng(Host("/Logos/Sport-1.png"), 4, 3, rgba));
  ASSERT_TRUE(WritePng(Host("/Logos/Sport.png"), 2, 2, std::vector<uint8_t>(16, 0x40)));
  ASSERT_TRUE(WriteHostFile(Host("/Logos/Sport.bll"), "the other logo"));
  ASSERT_TRUE(WriteHostFile(Host("/Logos/a.b-2.bll32"), Raw32(1, 1, {0xFF102030})));
  const std::string other = File("/Logos/Sport.png");
  Start();
  for (dword key = RKEY_1; key <= RKEY_8; ++key) Press("Sport-1.png", key);
  for (const char *ext : {"bll", "bll32", "bmp", "jpg", "qtl32", "qsl32", "ibl32"})
    EXPECT_TRUE(HostExists(Host(std::string("/Logos/Sport-1.") + ext))) << ext;
  EXPECT_EQ(Be32(4) + Be32(3), File("/Logos/Sport-1.bll").substr(0, 8));
  // The logo "Sport" is another one: none of its files is touched.
  EXPECT_EQ(other, File("/Logos/Sport.png"));
  EXPECT_EQ("the other logo", File("/Logos/Sport.bll"));
  for (const char *ext : {"bll32", "bmp", "jpg", "qtl32", "qsl32", "ibl32"})
    EXPECT_FALSE(HostExists(Host(std::string("/Logos/Sport.") + ext))) << ext;
  Press("a.b-2.bll32", RKEY_1);
  EXPECT_EQ(Be32(1) + Be32(1), File("/Logos/a.b-2.bll").substr(0, 8));
  EXPECT_FALSE(HostExists(Host("/Logos/a.bll")));
}

TEST_F(Convert, OnlyAPlainFileIsEverReplaced) {
  const std::string logo = Raw32(2, 1, {0xFF102030, 0xFF405060});
  for (const char *name : {"a", "b", "c", "d", "e", "h"})
    ASSERT_TRUE(WriteHostFile(Host(std::string("/Logos/") + name + ".bll32"), logo));
  ASSERT_TRUE(WriteHostFile(Host("/Logos/victim.dat"), "keep me"));
  ASSERT_EQ(0, mkdir(Host("/Logos/a.bll").c_str(), 0755));           // a folder
  ASSERT_EQ(0, symlink("b.bll32", Host("/Logos/b.bmp").c_str()));    // onto the source
  ASSERT_EQ(0, symlink("victim.dat", Host("/Logos/c.jpg").c_str())); // onto another file
  ASSERT_EQ(0, symlink("nowhere", Host("/Logos/c.png").c_str()));    // dangling
  ASSERT_EQ(0, mkfifo(Host("/Logos/d.bmp").c_str(), 0644));          // FIFOs
  ASSERT_EQ(0, mkfifo(Host("/Logos/e.jpg").c_str(), 0644));
  ASSERT_EQ(0, link(Host("/Logos/h.bll32").c_str(), Host("/Logos/h.bmp").c_str()));
  // A writer opening a FIFO waits for a reader that never comes: the alarm
  // ends that wait (and fails the test) instead of leaving the test hanging.
  struct sigaction alarmed, before;
  memset(&alarmed, 0, sizeof alarmed);
  alarmed.sa_handler = [](int) {
    waitedForAFifo = 1;
    alarm(1); // for the next wait, if there is one
  };
  ASSERT_EQ(0, sigaction(SIGALRM, &alarmed, &before));
  waitedForAFifo = 0;
  alarm(10);
  Start();
  const struct {
    const char *source;
    dword key;
    const char *target;
  } refused[] = {{"a.bll32", RKEY_1, "a.bll"}, {"b.bll32", RKEY_4, "b.bmp"},
                 {"c.bll32", RKEY_5, "c.jpg"}, {"c.bll32", RKEY_3, "c.png"},
                 {"d.bll32", RKEY_4, "d.bmp"}, {"e.bll32", RKEY_5, "e.jpg"}};
  for (const auto &r : refused) {
    Press(r.source, r.key);
    EXPECT_STREQ("Target is not a plain file - not saved", buf) << r.target;
    EXPECT_NE(std::string::npos, Log().find(std::string("= Not converting /Logos/") + r.source +
                                            ": " + r.target + " is no plain file\n"))
        << r.target;
  }
  struct stat st;
  EXPECT_TRUE(lstat(Host("/Logos/a.bll").c_str(), &st) == 0 && S_ISDIR(st.st_mode));
  for (const char *name : {"a", "b", "c", "d", "e"})
    EXPECT_EQ(logo, File(std::string("/Logos/") + name + ".bll32")) << name;
  EXPECT_EQ("keep me", File("/Logos/victim.dat"));
  EXPECT_TRUE(lstat(Host("/Logos/c.jpg").c_str(), &st) == 0 && S_ISLNK(st.st_mode));
  EXPECT_TRUE(lstat(Host("/Logos/c.png").c_str(), &st) == 0 && S_ISLNK(st.st_mode));
  EXPECT_FALSE(HostExists(Host("/Logos/c.bmp"))); // nothing of a refused pair is written
  alarm(0);
  sigaction(SIGALRM, &before, nullptr);
  EXPECT_EQ(0, waitedForAFifo);
  EXPECT_TRUE(lstat(Host("/Logos/d.bmp").c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
  EXPECT_TRUE(lstat(Host("/Logos/e.jpg").c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
  // A plain target that shares its file with the source is parted from it.
  Press("h.bll32", RKEY_4);
  EXPECT_EQ(logo, File("/Logos/h.bll32"));
  EXPECT_EQ("BM", File("/Logos/h.bmp").substr(0, 2));
  lang = 2;
  Press("a.bll32", RKEY_1);
  EXPECT_STREQ("Ziel ist keine normale Datei - nicht gespeichert", buf);
}

// What a name is, told without following it: no firmware call does that.
TEST_F(Convert, TargetAttributesOfOneNameWithoutFollowingLinks) {
  const std::string outside = MakeTempDir();
  ASSERT_TRUE(WriteHostFile(outside + "/secret", "secret"));
  ASSERT_TRUE(WriteHostFile(Host("/Logos/f"), "F"));
  ASSERT_TRUE(WriteHostFile(Host("/top"), "T"));
  ASSERT_EQ(0, mkdir(Host("/Logos/d").c_str(), 0755));
  ASSERT_EQ(0, symlink("f", Host("/Logos/to-file").c_str()));
  ASSERT_EQ(0, symlink("d", Host("/Logos/to-folder").c_str()));
  ASSERT_EQ(0, symlink("nowhere", Host("/Logos/dangling").c_str()));
  ASSERT_EQ(0, symlink((outside + "/secret").c_str(), Host("/Logos/out").c_str()));
  ASSERT_EQ(0, mkfifo(Host("/Logos/fifo").c_str(), 0644));
  EXPECT_EQ(ATTR_NORMAL, TargetAttr("/Logos", "f"));
  EXPECT_EQ(ATTR_NORMAL, TargetAttr("/", "top"));
  EXPECT_EQ(ATTR_FOLDER, TargetAttr("/Logos", "d"));
  for (const char *name : {"to-file", "to-folder", "dangling", "out", "fifo"})
    EXPECT_EQ(kAttrOther, TargetAttr("/Logos", name)) << name;
  EXPECT_EQ(0, TargetAttr("/Logos", "missing"));
  EXPECT_EQ(0, TargetAttr("/Missing", "f"));
  // Only a name in the folder is looked at, never a path.
  EXPECT_EQ(0, TargetAttr("/Logos", "d/f"));
  EXPECT_EQ(0, TargetAttr("/Logos", ""));
  EXPECT_EQ(0, TargetAttr(nullptr, "f"));
  EXPECT_EQ(kAttrOther, TargetAttr("/Logos", std::string(300, 'x').c_str())); // cannot be told
  // The FIFO was looked at without waiting for a writer, and is still there.
  struct stat st;
  EXPECT_TRUE(lstat(Host("/Logos/fifo").c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
  RemoveTree(outside);
}

// A conversion that cannot be written keeps the file it would have replaced,
// and leaves nothing of its own behind.
TEST_F(Convert, AFailedWriteKeepsTheTargetItWouldReplace) {
  ASSERT_TRUE(WriteHostFile(Host("/Logos/a.bll32"), Raw32(2, 1, {0xFF102030, 0xFF405060})));
  const char *const targets[] = {"a.bll", "a.png", "a.bmp", "a.jpg"};
  for (const char *old : targets)
    ASSERT_TRUE(WriteHostFile(Host(std::string("/Logos/") + old), std::string("old ") + old));
  Start();
  ASSERT_EQ(1, LoadChannelLogo("/Logos", "a.bll32"));
  for (uint32_t target : {0u, 2u, 3u}) {
    Sim_FailWriteAfter(0);
    SaveChannelLogo(target, "/Logos", "a.bll32");
    Sim_FailWriteAfter(-1);
  }
  for (const char *old : targets)
    EXPECT_EQ(std::string("old ") + old, File(std::string("/Logos/") + old));
  // The bitmap is written; the JPEG stream's buffer cannot be had.
  Sim_FailAllocAbove(4096);
  SaveChannelLogo(4, "/Logos", "a.bll32");
  Sim_FailAllocAbove(0);
  EXPECT_EQ("BM", File("/Logos/a.bmp").substr(0, 2));
  EXPECT_EQ("old a.jpg", File("/Logos/a.jpg"));
  EXPECT_NE(std::string::npos, Log().find("= Saved channel logofile /Logos/a.jpg RC -2\n"));
  // Written in full, each takes its target's place.
  for (uint32_t target : {0u, 2u, 4u}) SaveChannelLogo(target, "/Logos", "a.bll32");
  EXPECT_EQ(12u, File("/Logos/a.bll").size());
  EXPECT_EQ("\x89PNG", File("/Logos/a.png").substr(0, 4));
  EXPECT_EQ("\xFF\xD8", File("/Logos/a.jpg").substr(0, 2));
  EXPECT_EQ(std::vector<std::string>({"a.bll", "a.bll32", "a.bmp", "a.jpg", "a.png"}),
            HostNames(Host("/Logos")));
}

// The temporary file is the conversion's own: named by its process, created
// exclusively, and passed over where anything holds that name already -- a
// link planted there, another run's file, leftovers of a killed one.
TEST_F(Convert, TemporaryFilesAreTheConversionsOwn) {
  ASSERT_TRUE(WriteHostFile(Host("/Logos/a.bll32"), Raw32(2, 1, {0xFF102030, 0xFF405060})));
  ASSERT_TRUE(WriteHostFile(Host("/Logos/victim.dat"), "keep me"));
  const std::string own = ".~" + std::to_string(getpid());
  ASSERT_EQ(0, symlink("victim.dat", Host("/Logos/a.bll" + own).c_str()));
  ASSERT_EQ(0, symlink("victim.dat", Host("/Logos/a.png" + own + ".1").c_str()));
  std::vector<std::string> names = {"a.bll",       "a.bll" + own,        "a.bll32",   "a.png",
                                    "a.png" + own, "a.png" + own + ".1", "victim.dat"};
  ASSERT_TRUE(WriteHostFile(Host("/Logos/a.png" + own), "another run's"));
  for (int n = 0; n < 10; ++n) {
    names.push_back("a.bll.~" + std::to_string(n));
    ASSERT_TRUE(WriteHostFile(Host("/Logos/" + names.back()), "left by a killed run"));
  }
  // Every name this process could take for the bitmap is held.
  for (int n = 0; n < kTemporaryTries; ++n) {
    names.push_back("a.bmp" + own + (n ? "." + std::to_string(n) : ""));
    ASSERT_TRUE(WriteHostFile(Host("/Logos/" + names.back()), "held"));
  }
  std::sort(names.begin(), names.end());
  Start();
  ASSERT_EQ(1, LoadChannelLogo("/Logos", "a.bll32"));
  EXPECT_EQ(kConvertOk, SaveChannelLogo(0, "/Logos", "a.bll32"));
  EXPECT_EQ(kConvertOk, SaveChannelLogo(2, "/Logos", "a.bll32"));
  EXPECT_EQ(kConvertWriteFailed, SaveChannelLogo(3, "/Logos", "a.bll32"));
  EXPECT_EQ(12u, File("/Logos/a.bll").size());
  EXPECT_EQ("\x89PNG", File("/Logos/a.png").substr(0, 4));
  EXPECT_EQ("keep me", File("/Logos/victim.dat"));
  EXPECT_EQ("another run's", File("/Logos/a.png" + own));
  EXPECT_EQ("left by a killed run", File("/Logos/a.bll.~9"));
  EXPECT_EQ("held", File("/Logos/a.bmp" + own + ".99"));
  struct stat st;
  EXPECT_TRUE(lstat(Host("/Logos/a.bll" + own).c_str(), &st) == 0 && S_ISLNK(st.st_mode));
  EXPECT_EQ(names, HostNames(Host("/Logos"))); // nothing else left, no bitmap
}

TEST_F(Convert, TargetNamesThatWouldNotFit) {
  // 127 characters fit the name buffers; ".bll" keeps that length, ".bll32"
  // makes 129.
  const std::string base(123, 'n'), name = base + ".png";
  ASSERT_TRUE(WritePng(Host("/Logos/" + name), 1, 1, {1, 2, 3, 255}));
  Start();
  Press(name, RKEY_2);
  EXPECT_STREQ("Target name too long - not saved", buf);
  EXPECT_NE(std::string::npos,
            Log().find("= Not converting /Logos/" + name + ": target name too long\n"));
  EXPECT_EQ(std::string::npos, Log().find("into itself"));
  Press(name, RKEY_1);
  EXPECT_EQ(Be32(1) + Be32(1), File("/Logos/" + base + ".bll").substr(0, 8));
  lang = 2;
  Press(name, RKEY_6);
  EXPECT_STREQ("Zielname zu lang - nicht gespeichert", buf);
}

} // namespace
