// Holds the encoder of this test program to one code path when ctest asks
// for it (IJENC_TEST_PATH=0 the portable code, 1 SSE2), so that every
// byte-exact test runs on every path the processor has.
#include <stdlib.h>

#include "ijint.h"

namespace {

const bool kLimited = [] {
  const char *path = getenv("IJENC_TEST_PATH");
  if (path) ij::LimitCodePath(atoi(path));
  return path != nullptr;
}();

} // namespace
