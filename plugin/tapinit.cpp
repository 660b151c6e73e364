// tapinit.cpp - what the firmware reads before it starts the plug-in: the
// header sections, and the entry that hands over the two entry points.
#include <stdint.h>

#include "Velumo.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the receiver is little-endian");

// Kept by the linker even with section garbage collection: nothing in the
// code refers to them, the firmware reads them from the file.
#define TAP_SECTION(name) __attribute__((section(name), used, retain))

extern "C" {

TAP_SECTION("._tap_header")
const unsigned char __tap_Header__[32] = {'T', 'F', 'A', 'P', 'M', 'I', 'P', 'S', 16, 0, 0, 0};
// extern: the toolkit reads the identifier to sign its channel requests.
TAP_SECTION("._tap_id") extern const uint32_t __tap_ud__ = 0x81AFFE27;
TAP_SECTION("._tap_program_name") const char __tap_program_name__[64] = PROGRAM_NAME;
TAP_SECTION("._tap_program_version") const char __tap_program_version__[64] = PROGRAM_VERSION;
TAP_SECTION("._tap_author_name") const char __tap_author_name__[64] = "The Velumo developers";
TAP_SECTION("._tap_description")
const char __tap_description__[128] = "A tap for viewing and converting channel logos";
// The build date, "Feb 25 2012".
TAP_SECTION("._tap_etcinfo") const char __tap_etc_str__[64] = __DATE__;

int __TAP_Init_(TYPE_TapEntry *entry) {
  if (entry) {
    entry->Main = TAP_Main;
    entry->EventHandler = TAP_EventHandler;
  }
  return 0;
}

} // extern "C"
