// script.cpp - parsing tapsim's scripts and the remote-control key names.
#include "script.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <sstream>

namespace {

struct KeyName {
  const char *platform;
  const char *shortName;
  dword code;
};

// The remote control's keys by the platform's names and by the short names
// printed on the keys.
constexpr KeyName kKeys[] = {
    {"RKEY_Mute", "Mute", RKEY_Mute},
    {"RKEY_0", "0", RKEY_0},
    {"RKEY_1", "1", RKEY_1},
    {"RKEY_2", "2", RKEY_2},
    {"RKEY_3", "3", RKEY_3},
    {"RKEY_4", "4", RKEY_4},
    {"RKEY_5", "5", RKEY_5},
    {"RKEY_6", "6", RKEY_6},
    {"RKEY_7", "7", RKEY_7},
    {"RKEY_8", "8", RKEY_8},
    {"RKEY_9", "9", RKEY_9},
    {"RKEY_Recall", "Recall", RKEY_Recall},
    {"RKEY_Info", "Info", RKEY_Info},
    {"RKEY_Left", "Left", RKEY_Left},
    {"RKEY_Right", "Right", RKEY_Right},
    {"RKEY_Up", "Up", RKEY_Up},
    {"RKEY_Down", "Down", RKEY_Down},
    {"RKEY_VolUp", "V+", RKEY_VolUp},
    {"RKEY_VolDown", "V-", RKEY_VolDown},
    {"RKEY_ChUp", "Ch+", RKEY_ChUp},
    {"RKEY_ChDown", "Ch-", RKEY_ChDown},
    {"RKEY_Ok", "OK", RKEY_Ok},
    {"RKEY_Menu", "Menu", RKEY_Menu},
    {"RKEY_Guide", "Guide", RKEY_Guide},
    {"RKEY_PlayList", "PlayList", RKEY_PlayList},
    {"RKEY_Exit", "Exit", RKEY_Exit},
    {"RKEY_NewF1", "Red", RKEY_NewF1},
    {"RKEY_F2", "Green", RKEY_F2},
    {"RKEY_F3", "Yellow", RKEY_F3},
    {"RKEY_F4", "Blue", RKEY_F4},
    {"RKEY_White", "White", RKEY_White},
    {"RKEY_Subt", "Subtitle", RKEY_Subt},
    {"RKEY_Teletext", "Teletext", RKEY_Teletext},
    {"RKEY_AudioTrk", "AudioTrk", RKEY_AudioTrk},
    {"RKEY_VFormat", "VF", RKEY_VFormat},
    {"RKEY_Uhf", "AR", RKEY_Uhf},
    {"RKEY_Sleep", "Sleep", RKEY_Sleep},
    {"RKEY_TvRadio", "TvRadio", RKEY_TvRadio},
    {"RKEY_Record", "Record", RKEY_Record},
    {"RKEY_Stop", "Stop", RKEY_Stop},
    {"RKEY_Sat", "SAT", RKEY_Sat},
    {"RKEY_TvSat", "M", RKEY_TvSat},
    {"RKEY_Rewind", "Rewind", RKEY_Rewind},
    {"RKEY_Pause", "Pause", RKEY_Pause},
    {"RKEY_Play", "Play", RKEY_Play},
    {"RKEY_Forward", "Forward", RKEY_Forward},
    {"RKEY_Prev", "Prev", RKEY_Prev},
    {"RKEY_Slow", "Slow", RKEY_Slow},
    {"RKEY_Ab", "Edit", RKEY_Ab},
    {"RKEY_Next", "Next", RKEY_Next},
};

bool Number(const std::string &text, dword &value) {
  if (text.empty()) return false;
  char *end = nullptr;
  errno = 0;
  const unsigned long long v = strtoull(text.c_str(), &end, 0);
  if (*end || errno || text[0] == '-' || v > 0xFFFFFFFFull) return false;
  value = dword(v);
  return true;
}

// What an attached keyboard sends: the characters, and beyond them its
// cursor keys (291 to 295) and Escape, Enter and clear (368 to 371).
bool KeyboardCode(dword code) {
  return code <= 0xFF || (code >= 291 && code <= 295) || (code >= 368 && code <= 371);
}

} // namespace

bool KeyCodeOf(const std::string &name, dword &code) {
  for (const KeyName &k : kKeys) {
    if (name == k.platform || strcasecmp(name.c_str(), k.shortName) == 0) {
      code = k.code;
      return true;
    }
  }
  return Number(name, code);
}

const char *KeyNameOf(dword code) {
  for (const KeyName &k : kKeys)
    if (k.code == code) return k.shortName;
  return nullptr;
}

bool ParseScript(const std::string &text, const std::string &source, std::vector<ScriptStep> &steps,
                 std::string &error) {
  std::istringstream in(text);
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    const size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    std::istringstream words(line);
    std::string cmd, arg, extra;
    if (!(words >> cmd)) continue;
    words >> arg;
    words >> extra;
    auto fail = [&](const std::string &why) {
      error = source + ":" + std::to_string(number) + ": " + why;
      return false;
    };
    if (!extra.empty()) return fail("too many words after '" + cmd + "'");
    ScriptStep step;
    step.kind = ScriptStep::Idle;
    step.line = number;
    if (cmd == "key") {
      step.kind = ScriptStep::Key;
      if (arg.empty()) return fail("'key' needs a key name or code");
      if (!KeyCodeOf(arg, step.value)) return fail("unknown key name '" + arg + "'");
    } else if (cmd == "char") {
      step.kind = ScriptStep::Char;
      if (arg.size() == 1 && !(arg[0] >= '0' && arg[0] <= '9'))
        step.value = (unsigned char)arg[0];
      else if (!Number(arg, step.value) || !KeyboardCode(step.value))
        return fail("'char' needs a character code (0 to 255, 291 to 295, 368 to 371) or a "
                    "single character");
    } else if (cmd == "idle") {
      step.kind = ScriptStep::Idle;
      step.value = 1;
      if (!arg.empty() && (!Number(arg, step.value) || step.value > 1000000))
        return fail("'idle' takes a count of idle events");
    } else if (cmd == "stop") {
      step.kind = ScriptStep::Stop;
      if (!arg.empty()) return fail("'stop' takes nothing");
    } else if (cmd == "shot") {
      step.kind = ScriptStep::Shot;
      if (arg.empty()) return fail("'shot' needs a file name");
      if (arg.find('/') != std::string::npos) return fail("'shot' takes a file name, not a path");
      step.file = arg;
    } else {
      return fail("unknown command '" + cmd + "' (key, char, idle, stop, shot)");
    }
    steps.push_back(step);
  }
  return true;
}
