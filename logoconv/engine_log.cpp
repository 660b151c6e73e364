// engine_log.cpp - the engine's log in logoconv.  Its lines are the
// receiver's diagnostics and have no reader here: the summary says what
// became of every file, so they are dropped.
#include "logo_host.h"

void WriteLog(const char *, ...) {}
void WriteDebugLog(const char *, ...) {}
