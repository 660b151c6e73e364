/* forklimit.c - preloaded into logoconv by races.sh: fork() succeeds as
 * often as FORKS_ALLOWED says (0 when unset), then fails as under a limit on
 * processes, which root too may meet in a container. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdlib.h>
#include <unistd.h>

pid_t fork(void) {
  static int forks;
  const char *allowed = getenv("FORKS_ALLOWED");
  if (forks >= (allowed ? atoi(allowed) : 0)) {
    errno = EAGAIN;
    return -1;
  }
  ++forks;
  pid_t (*real)(void) = (pid_t(*)(void))dlsym(RTLD_NEXT, "fork");
  return real ? real() : -1;
}
