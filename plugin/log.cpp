// log.cpp - the diagnostics log: every line goes to Velumo.log in the
// settings folder and to the network terminal, with a time stamp.
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "Velumo.h"
#include "tklib.h"

static char debugpuffer[2000];
static char puffer[1024];
static const char *debugTS;
static TYPE_File *debugfile;
static byte Sec;

// A text cut to the buffer keeps its line end, or the terminal would glue
// the next line onto it.
static void SendNet(const char *text) {
  strncpy(puffer, text, sizeof puffer - 1);
  puffer[sizeof puffer - 1] = '\0';
  const size_t length = strlen(text);
  if (length >= sizeof puffer && text[length - 1] == '\n') puffer[sizeof puffer - 2] = '\n';
  PrintNet(puffer);
}

static void WriteLine(const char *format, va_list args) {
  HDD_TAP_PushDir();
  snprintf(debugpuffer, sizeof debugpuffer, "/ProgramFiles/Settings/%s", "Velumo");
  // Without the settings folder the line goes to the terminal only: a file
  // of the same name in whatever folder is current is not the log.
  const bool inFolder = HDD_ChangeDir(debugpuffer);

  const dword now = Now(&Sec); // before Sec is read
  char *stamp = TimeFormat(now, Sec, 5);
  if (*stamp) strcat(stamp, " ");
  debugTS = stamp;
  SendNet(debugTS);
  SendNet("Velumo");
  SendNet(": ");

  // A message fills at most the message buffer (a longer one is cut and
  // still ends its line); the network terminal takes the first 1022
  // characters of it and the line end.
  if (vsnprintf(debugpuffer, sizeof debugpuffer, format, args) >= int(sizeof debugpuffer)) {
    debugpuffer[sizeof debugpuffer - 2] = '\n';
    debugpuffer[sizeof debugpuffer - 1] = '\0';
  }
  SendNet(debugpuffer);

  if (inFolder && (debugfile = TAP_Hdd_Fopen("Velumo.log")) != nullptr) {
    TAP_Hdd_Fseek(debugfile, 0, SEEK_ENDING);
    if (*debugTS) TAP_Hdd_Fwrite(debugTS, dword(strlen(debugTS)), 1, debugfile);
    if (*debugpuffer) TAP_Hdd_Fwrite(debugpuffer, dword(strlen(debugpuffer)), 1, debugfile);
    TAP_Hdd_Fclose(debugfile);
    debugfile = nullptr;
  }
  HDD_TAP_PopDir();
}

void WriteLog(const char *format, ...) {
  va_list args;
  va_start(args, format);
  WriteLine(format, args);
  va_end(args);
}

void WriteDebugLog(const char *format, ...) {
  if (!debug) return;
  va_list args;
  va_start(args, format);
  WriteLine(format, args);
  va_end(args);
}
