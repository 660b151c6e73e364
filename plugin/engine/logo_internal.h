// logo_internal.h - inside the engine: what the format units share.
#ifndef LOGO_INTERNAL_H
#define LOGO_INTERNAL_H

#include "logo_result.h"
#include "tap.h"

// For a reader that takes the name in the current directory: the file's log
// line, and dir made current.
void ReadInDir(const char *dir, const char *name);

// Each target is written under a name of its own first and takes the
// target's place only when it is all there: a failed write (a full disk)
// keeps the file it would have replaced, and a hard link to the target (it
// may be the source) is parted from it, never written through.  The name is
// the process's own and the file is created with it, empty; false when no
// name could be had.
bool TemporaryName(const char *dir, const char *file, char (&temporary)[TAP_MAX_FILENAME]);
// Takes the temporary file away again, when it is a plain file.
void Discard(const char *dir, const char *temporary);
// The finished file in the target's place; false (the file kept under its
// temporary name, or discarded) when that failed.
bool Replace(const char *dir, const char *temporary, const char *file);

#endif
