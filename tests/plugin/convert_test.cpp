// Conversions from the file list as a user or an attacker would try them:
// names that look alike, targets that are no plain file, long names, empty
// logos; and the detail view after a logo that fails to load.
#include <errno.h>
#include <fcntl.h>
#include <png.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "Velumo.h"
#include "testdisk.h"
#include "tklib.h"

namespace {

std::string Be32(uint32_t v) {
  return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

std::string Raw32(uint32_t w, uint32_t h, const std::vector<uint32_t> &px) {
  std::string s = Be32(w) + Be32(h);
  for (uint32_t p : px) s += Be32(p);
  return s;
}

// An RGBA PNG written by libpng.
bool WritePng(const std::string &path, uint32_t w, uint32_t h, const std::vector<uint8_t> &rgba) {
  png_image image;
  memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = w;
  image.height = h;
  image.format = PNG_FORMAT_RGBA;
  return png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr) != 0;
}

size_t Count(const std::string &text, const std::string &what) {
  size_t n = 0;
  for (size_t p = 0; (p = text.find(what, p)) != std::string::npos; p += what.size()) ++n;
  return n;
}

class Convert : public SimTest {
protected:
  void SetUp() override {
    SimTest::SetUp();
    mkdir(Host("/Logos").c_str(), 0755);
    mkdir(Host("/ProgramFiles/Settings").c_str(), 0755);
    mkdir(Host("/ProgramFiles/Settings/Velumo").c_str(), 0755);
  }
  void Start() {
    ASSERT_TRUE(WriteHostFile(Host("/ProgramFiles/Settings/Velumo/Velumo.ini"),
                              "Path01=/Logos\r\nDebug=1\r\n"));
    char err[256] = "";
    slot_ = Sim_AttachPlugin("Velumo.so", __TAP_Init_, err, sizeof err);
    ASSERT_GE(slot_, 0) << err;
  }
  void TearDown() override {
    if (slot_ >= 0 && Sim_PluginRunning(slot_)) Sim_DeliverEvent(EVT_KEY, RKEY_Stop, 0);
    EXPECT_EQ(0u, Sim_HeapBlocksTotal());
    EXPECT_EQ(0, Sim_OpenFileCount());
    lang = 0;
    SimTest::TearDown();
  }
  dword Key(dword code) { return Sim_DeliverEvent(EVT_KEY, code, 0); }
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
  int slot_ = -1;
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

} // namespace
