// session.cpp - the end-of-session line of a plug-in, shared by the scripted
// and the served modes.
#include "session.h"

#include <stdio.h>

#include "tapsim.h"

std::string PluginSummary(int slot) {
  char counts[256];
  snprintf(counts, sizeof counts,
           "; normal mode: %s; TAP_EnterNormal calls: %lu; heap blocks held: %lu; "
           "heap misuse: %lu; events: %lu",
           Sim_NormalMode() ? "on" : "off", Sim_EnterNormalCalls(), Sim_HeapBlocks(slot),
           Sim_HeapMisuse(slot), Sim_PluginEvents(slot));
  return std::string(Sim_PluginName(slot)) + ": " +
         (Sim_PluginRunning(slot) ? "still loaded" : "exited (TAP_Exit)") + counts;
}
