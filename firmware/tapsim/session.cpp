// session.cpp - a session's plug-ins and its end, shared by the scripted and
// the served modes.
#include "session.h"

#include <stdio.h>

#include "tapsim.h"

bool AnyRunning() {
  for (int i = 0; i < SIM_MAX_PLUGINS; ++i)
    if (Sim_PluginRunning(i)) return true;
  return false;
}

std::string PluginSummary(int slot) {
  char counts[256];
  snprintf(counts, sizeof counts,
           "; normal mode: %s; TAP_EnterNormal calls: %lu; heap blocks held: %lu; "
           "heap misuse: %lu; events: %lu; heap peak: %lu bytes",
           Sim_NormalMode() ? "on" : "off", Sim_EnterNormalCalls(), Sim_HeapBlocks(slot),
           Sim_HeapMisuse(slot), Sim_PluginEvents(slot), Sim_HeapPeak());
  return std::string(Sim_PluginName(slot)) + ": " +
         (Sim_PluginRunning(slot) ? "still loaded" : "exited (TAP_Exit)") + counts;
}

int EndSession(bool strict, int status) {
  bool heapFault = false;
  for (int i = 0; i < SIM_MAX_PLUGINS; ++i) {
    if (!*Sim_PluginName(i)) continue;
    fprintf(stderr, "tapsim: %s\n", PluginSummary(i).c_str());
    if (Sim_HeapMisuse(i) || (!Sim_PluginRunning(i) && Sim_HeapBlocks(i))) heapFault = true;
  }
  if (strict && heapFault) {
    fprintf(stderr, "tapsim: --strict: heap blocks left behind or heap misused\n");
    status = 3;
  }
  Sim_Shutdown();
  return status;
}
