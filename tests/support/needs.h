// What a test needs from the machine: test data beside the project, a tool
// such as pngcheck.  Where it is missing the test is skipped, with why; on
// CI (CI=true) nothing may be missing, so there the same test fails.
#ifndef NEEDS_H
#define NEEDS_H

#include <gtest/gtest.h>

// True when the environment variable CI is "true".
bool OnCi();

// Ends the test: skipped with the message, or failed with it on CI.
#define SKIP_OR_FAIL_ON_CI(message)                                                                \
  do {                                                                                             \
    if (!OnCi()) GTEST_SKIP() << message;                                                          \
    GTEST_FAIL() << message << " (CI=true: the CI machine must have it)";                          \
  } while (0)

#endif
