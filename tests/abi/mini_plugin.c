/* mini_plugin.c - the smallest plug-in the ABI check accepts; the macros
   break one rule each, for the check's own test. */
#include <dlfcn.h>
#include <string.h>
#include <unistd.h>

#define SECTION(name) __attribute__((section(name), used))

#ifdef BAD_MAGIC
SECTION("._tap_header") const unsigned char __tap_Header__[32] = "TFAPARMS\x10";
#else
SECTION("._tap_header") const unsigned char __tap_Header__[32] = "TFAPMIPS\x10";
#endif
#ifndef NO_ID
SECTION("._tap_id") const unsigned int __tap_ud__ = 0x81AFFE27u;
#endif
SECTION("._tap_program_name") const char __tap_program_name__[64] = "Mini V" VERSION;
SECTION("._tap_program_version") const char __tap_program_version__[64] = "V" VERSION;
SECTION("._tap_author_name") const char __tap_author_name__[64] = "The Velumo developers";
#ifdef SHORT_DESCRIPTION
SECTION("._tap_description") const char __tap_description__[64] = "A test plug-in";
#else
SECTION("._tap_description") const char __tap_description__[128] = "A test plug-in";
#endif
SECTION("._tap_etcinfo") const char __tap_etc_str__[64] = "Feb 25 2012";

unsigned long TAP_GetTick(void); /* from libtap.so */

/* Not static: without the version script it would be exported. */
int Helper(const char *text, unsigned long n) {
  char copy[16] = "";
  /* A length the compiler cannot bound: fortified, this is __memcpy_chk.
     (Never run: the plug-in is only ever read by the check.) */
  memcpy(copy, text, n);
  return (int)strlen(copy) + (int)TAP_GetTick();
}

#ifdef STATIC_MAIN
static
#endif
    int
    TAP_Main(void) {
  void *self = dlopen(0, RTLD_LAZY);
  if (self) dlclose(self);
#ifdef EXTRA_IMPORT
  return getppid();
#elif defined(LARGE_FILES)
  return (int)lseek(0, 0, SEEK_END);
#else
  return Helper(__tap_program_name__, TAP_GetTick());
#endif
}

unsigned long TAP_EventHandler(unsigned short event, unsigned long p1, unsigned long p2) {
  return event + p1 + p2;
}

int __TAP_Init_(void *entry) {
  return entry ? TAP_Main() : 0;
}
