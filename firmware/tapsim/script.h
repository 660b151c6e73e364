// script.h - tapsim's scripts: one event or action a line.
#ifndef TAPSIM_SCRIPT_H
#define TAPSIM_SCRIPT_H

#include <string>
#include <vector>

#include "tap.h"

struct ScriptStep {
  enum Kind { Key, Char, Idle, Stop, Shot } kind = Idle;
  dword value = 0;  // key or character code, idle count
  std::string file; // screenshot name
  int line = 0;
};

// Parses a whole script; on the first bad line returns false with a message
// naming the line.
bool ParseScript(const std::string &text, const std::string &source, std::vector<ScriptStep> &steps,
                 std::string &error);

// Key code of a platform key name ("RKEY_Ok"), a short name ("OK"), or a
// number; false when the name is unknown.
bool KeyCodeOf(const std::string &name, dword &code);

// The short name of a key code ("OK"), or null for a code no key has.
const char *KeyNameOf(dword code);

#endif
