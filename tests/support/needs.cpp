#include "needs.h"

#include <stdlib.h>
#include <string.h>

bool OnCi() {
  const char *ci = getenv("CI");
  return ci && strcmp(ci, "true") == 0;
}
