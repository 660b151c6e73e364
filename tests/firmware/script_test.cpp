// tapsim's script language and key names.
#include <gtest/gtest.h>

#include "script.h"

namespace {

TEST(Script, EveryCommand) {
  std::vector<ScriptStep> steps;
  std::string error;
  ASSERT_TRUE(ParseScript("# a tour\n"
                          "key RKEY_Ok\n"
                          "  key Red   # the colour keys by their short names\n"
                          "key 0x1003C\n"
                          "\n"
                          "char 65\n"
                          "char x\n"
                          "idle\n"
                          "idle 25\n"
                          "shot list.png\n"
                          "stop\n",
                          "t", steps, error))
      << error;
  ASSERT_EQ(9u, steps.size());
  EXPECT_EQ(ScriptStep::Key, steps[0].kind);
  EXPECT_EQ(dword(RKEY_Ok), steps[0].value);
  EXPECT_EQ(2, steps[0].line);
  EXPECT_EQ(dword(RKEY_NewF1), steps[1].value);
  EXPECT_EQ(dword(RKEY_Stop), steps[2].value);
  EXPECT_EQ(ScriptStep::Char, steps[3].kind);
  EXPECT_EQ(65u, steps[3].value);
  EXPECT_EQ(dword('x'), steps[4].value);
  EXPECT_EQ(ScriptStep::Idle, steps[5].kind);
  EXPECT_EQ(1u, steps[5].value);
  EXPECT_EQ(25u, steps[6].value);
  EXPECT_EQ(ScriptStep::Shot, steps[7].kind);
  EXPECT_EQ("list.png", steps[7].file);
  EXPECT_EQ(ScriptStep::Stop, steps[8].kind);
  EXPECT_EQ(11, steps[8].line);
}

TEST(Script, AttachedKeyboardCodes) {
  // An attached keyboard's keys beyond the characters (cursor keys 291 to
  // 295; Escape, Enter and clear 368 to 371) come as character events too.
  std::vector<ScriptStep> steps;
  std::string error;
  ASSERT_TRUE(ParseScript("char 0\nchar 255\nchar 291\nchar 295\nchar 368\nchar 0x173\n", "t",
                          steps, error))
      << error;
  ASSERT_EQ(6u, steps.size());
  const dword codes[] = {0, 255, 291, 295, 368, 371};
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(ScriptStep::Char, steps[i].kind);
    EXPECT_EQ(codes[i], steps[i].value);
  }
}

const char kCharMessage[] =
    "s:1: 'char' needs a character code (0 to 255, 291 to 295, 368 to 371) or a single character";

TEST(Script, BadLinesAreNamed) {
  const struct {
    const char *text, *message;
  } cases[] = {
      {"key RKEY_Nothing\n", "s:1: unknown key name 'RKEY_Nothing'"},
      {"idle\nkey\n", "s:2: 'key' needs a key name or code"},
      {"press OK\n", "s:1: unknown command 'press' (key, char, idle, stop, shot)"},
      {"key OK Exit\n", "s:1: too many words after 'key'"},
      {"char 256\n", kCharMessage},
      {"char 290\n", kCharMessage},
      {"char 296\n", kCharMessage},
      {"char 367\n", kCharMessage},
      {"char 372\n", kCharMessage},
      {"idle -3\n", "s:1: 'idle' takes a count of idle events"},
      {"stop now\n", "s:1: 'stop' takes nothing"},
      {"shot ../x.png\n", "s:1: 'shot' takes a file name, not a path"},
      {"key 0x1FFFFFFFF\n", "s:1: unknown key name '0x1FFFFFFFF'"},
  };
  for (const auto &c : cases) {
    std::vector<ScriptStep> steps;
    std::string error;
    EXPECT_FALSE(ParseScript(c.text, "s", steps, error)) << c.text;
    EXPECT_EQ(c.message, error) << c.text;
  }
}

TEST(Script, KeyNames) {
  dword code = 0;
  ASSERT_TRUE(KeyCodeOf("OK", code));
  EXPECT_EQ(dword(RKEY_Ok), code);
  ASSERT_TRUE(KeyCodeOf("ok", code));
  EXPECT_EQ(dword(RKEY_Ok), code);
  ASSERT_TRUE(KeyCodeOf("V+", code));
  EXPECT_EQ(dword(RKEY_VolUp), code);
  ASSERT_TRUE(KeyCodeOf("Edit", code));
  EXPECT_EQ(dword(RKEY_Ab), code);
  ASSERT_TRUE(KeyCodeOf("RKEY_White", code));
  EXPECT_EQ(dword(RKEY_White), code);
  ASSERT_TRUE(KeyCodeOf("65610", code)); // 0x1004A, a key of the second remote
  EXPECT_EQ(0x1004Au, code);
  EXPECT_FALSE(KeyCodeOf("rkey_ok", code)); // platform names are exact
  EXPECT_FALSE(KeyCodeOf("", code));
}

} // namespace
