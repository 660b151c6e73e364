// session.h - what tapsim says about each plug-in when a session ends.
#ifndef TAPSIM_SESSION_H
#define TAPSIM_SESSION_H

#include <string>

// "NAME: exited (TAP_Exit); normal mode: on; ...; events: N" for the plug-in
// in the slot, without a line end.
std::string PluginSummary(int slot);

#endif
