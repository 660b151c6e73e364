// tapsim's script parser on arbitrary text.
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::vector<ScriptStep> steps;
  std::string error;
  const std::string text(reinterpret_cast<const char *>(data), size);
  if (ParseScript(text, "fuzz", steps, error)) {
    for (const ScriptStep &s : steps)
      if (s.kind == ScriptStep::Char && s.value > 0xFF && !(s.value >= 291 && s.value <= 295) &&
          !(s.value >= 368 && s.value <= 371))
        __builtin_trap();
  } else if (error.empty()) {
    __builtin_trap(); // a refused script always says why
  }
  return 0;
}
