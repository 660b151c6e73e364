// session.h - a session's plug-ins, the same in the scripted and the served
// modes: whether any still runs, and what tapsim says about each at the end.
#ifndef TAPSIM_SESSION_H
#define TAPSIM_SESSION_H

#include <string>

// True while any loaded plug-in has not called TAP_Exit.
bool AnyRunning();

// "NAME: exited (TAP_Exit); normal mode: on; ...; events: N" for the plug-in
// in the slot, without a line end.
std::string PluginSummary(int slot);

// Prints every loaded plug-in's summary on standard error and shuts the
// firmware down.  With strict, a plug-in that misused the heap, or exited and
// left blocks behind, makes the status 3 (and tapsim says why); otherwise the
// status comes back as it was given.
int EndSession(bool strict, int status);

#endif
