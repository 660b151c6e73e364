// The plug-in started in-process on a fresh test disk, as the firmware
// starts it, and ended after each test.
#ifndef PLUGIN_FIXTURE_H
#define PLUGIN_FIXTURE_H

#include <sys/stat.h>

#include <string>

#include "Velumo.h"
#include "testdisk.h"

class PluginTest : public SimTest {
protected:
  // Velumo.ini is written first when ini is given.
  void Start(const char *ini = nullptr) {
    if (ini) {
      mkdir(Host("/ProgramFiles/Settings").c_str(), 0755);
      mkdir(Host("/ProgramFiles/Settings/Velumo").c_str(), 0755);
      ASSERT_TRUE(WriteHostFile(Host("/ProgramFiles/Settings/Velumo/Velumo.ini"), ini));
    }
    char err[256] = "";
    slot_ = Sim_AttachPlugin("Velumo.so", __TAP_Init_, err, sizeof err);
    ASSERT_GE(slot_, 0) << err;
  }
  // A plug-in left running would free its menu from the next test's fresh
  // heap ledger when it starts again in this process.  With stopKey_ it is
  // ended by its exit key (and returns to normal viewing), else by the
  // firmware's stop request.
  void Stop() {
    if (slot_ >= 0 && Sim_PluginRunning(slot_))
      stopKey_ ? Sim_DeliverEvent(EVT_KEY, RKEY_Stop, 0) : Sim_DeliverEvent(EVT_STOP, 0, 0);
  }
  void TearDown() override {
    Stop();
    SimTest::TearDown();
  }
  dword Key(dword code) { return Sim_DeliverEvent(EVT_KEY, code, 0); }
  int slot_ = -1;
  bool stopKey_ = false;
};

#endif
