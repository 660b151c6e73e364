// companion.cpp - a second, small plug-in for the tests: it stands in for the
// remote-control plug-in that other plug-ins ask to pass keys on directly.
// It writes one line per request it receives into /ProgramFiles/Companion.txt
// on the disk, where a test reads them back, and leaves every key alone.
#include <stdio.h>
#include <string.h>

#include "tklib.h"

#define TAP_SECTION(name) __attribute__((section(name), used, retain))

extern "C" {

TAP_SECTION("._tap_header")
const unsigned char __tap_Header__[32] = {'T', 'F', 'A', 'P', 'M', 'I', 'P', 'S', 16, 0, 0, 0};
TAP_SECTION("._tap_id") extern const uint32_t __tap_ud__ = kRemoteDirectModeID;
TAP_SECTION("._tap_program_name") const char __tap_program_name__[64] = "Companion";
TAP_SECTION("._tap_program_version") const char __tap_program_version__[64] = "V1.0";
TAP_SECTION("._tap_author_name") const char __tap_author_name__[64] = "The Velumo developers";
TAP_SECTION("._tap_description")
const char __tap_description__[128] = "Records the requests other plug-ins send it";
TAP_SECTION("._tap_etcinfo") const char __tap_etc_str__[64] = __DATE__;

} // extern "C"

static void Record(const char *line) {
  TAP_Hdd_ChangeDir("/ProgramFiles");
  if (!TAP_Hdd_Exist("Companion.txt")) TAP_Hdd_Create("Companion.txt", ATTR_NORMAL);
  TYPE_File *f = TAP_Hdd_Fopen("Companion.txt");
  if (!f) return;
  TAP_Hdd_Fseek(f, 0, SEEK_ENDING);
  TAP_Hdd_Fwrite(line, strlen(line), 1, f);
  TAP_Hdd_Fclose(f);
}

static int CompanionMain(void) {
  return 1;
}

static dword CompanionEventHandler(word event, dword param1, dword) {
  if (event == EVT_STOP) {
    TAP_Exit();
    return 0;
  }
  if (event != EVT_TAPCOM) return param1;
  char line[128];
  const TYPE_TAPCOM *channel = reinterpret_cast<const TYPE_TAPCOM *>(param1);
  if (!channel || channel->Magic != kTAPCOMMagic) {
    Record("no channel\n");
    return 0;
  }
  snprintf(line, sizeof line, "from %08lX to %08lX service %lu params %lu %lu status %lu\n",
           channel->FromID, channel->ToID, channel->ServiceID, channel->Param1, channel->Param2,
           channel->Status);
  Record(line);
  return 0;
}

extern "C" int __TAP_Init_(TYPE_TapEntry *entry) {
  if (entry) {
    entry->Main = CompanionMain;
    entry->EventHandler = CompanionEventHandler;
  }
  return 0;
}
