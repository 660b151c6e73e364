// A target and a format that only the rows test has, each given to the
// engine as one row of its table and its writer or loader, nothing more.
// Forced into every unit of that test's build of the engine.
#ifndef TEST_ROWS_H
#define TEST_ROWS_H

#include <stdint.h>

#include "tap.h"

int32_t WriteTestTarget(const char *dir, const char *first, const char *second);
int32_t LoadTestLogo(const char *dir, const char *name);

#define VELUMO_TEST_TARGET                                                                         \
  {                                                                                                \
    "tst", RKEY_0, 0, "tst", true, nullptr, 12, 8, WriteTestTarget, "TST ", "Speichere als TST",   \
        "Saving as TST"                                                                            \
  }
#define VELUMO_TEST_FORMAT                                                                         \
  { ".tst", kLogoRaw16, 8, "test logo", LoadTestLogo }

#endif
