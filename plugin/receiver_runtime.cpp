// receiver_runtime.cpp - the few C library objects that the static zlib of
// the receiver build refers to and that the plug-in keeps to itself, because
// a receiver's C library may not have them: the stack-protector canary and
// its failure routine (zlib is built with -fstack-protector-strong), and the
// default allocator behind zlib's zcalloc.  Linked into the receiver's
// Velumo.so only; the version script keeps all of it local.
#include <stddef.h>

#include "tap.h"

extern "C" {

// A terminator canary: the NUL, line feed, 0xFF and carriage return end the
// string copies that typically run over a stack buffer.  It is set before
// the first call, so no protected frame ever sees it change.
unsigned long __stack_chk_guard = 0x000aff0dUL;

// A smashed stack cannot be returned through: stop at once, as the C
// library's own routine would.
__attribute__((noreturn)) void __stack_chk_fail(void) {
  __builtin_trap();
}

// zlib only falls back to these when a stream comes without its own
// allocator; the PNG codec always passes the firmware heap's.  Should one
// ever be used, it takes the firmware heap too, so that tapsim's ledger sees
// it.
void *malloc(size_t size) {
  return size > 0xFFFFFFFFu ? nullptr : TAP_MemAlloc(dword(size));
}

void free(void *address) {
  if (address) TAP_MemFree(address);
}

} // extern "C"
