// time.cpp - the firmware's local time packed into one word, and time stamps.
#include <stdio.h>
#include <string.h>

#include "tklib.h"

static char sTimeStamp[25];

dword Now(byte *Seconds) {
  word mjd = 0;
  byte hour = 0, minute = 0, second = 0;
  TAP_GetTime(&mjd, &hour, &minute, &second);
  if (Seconds) *Seconds = second;
  return dword(uint32_t(mjd) << 16 | uint32_t(hour) << 8 | minute);
}

char *TimeFormat(dword DateTime, byte Seconds, int Format) {
  const uint32_t packed = uint32_t(DateTime);
  const word mjd = word(packed >> 16);
  const int hour = (packed >> 8) & 0xFF, minute = packed & 0xFF, second = Seconds;
  word year = 0;
  byte month = 0, day = 0, weekDay = 0;
  if (packed >= 0x10000) TAP_ExtractMjd(mjd, &year, &month, &day, &weekDay);
  // Formatted into room for any field values, then cut to the stamp's size
  // (only a malformed DateTime needs the room).
  char text[64];
  switch (Format) {
  case 1:
    snprintf(text, sizeof text, "%02d:%02d", hour, minute);
    break;
  case 2:
    snprintf(text, sizeof text, "%02d:%02d:%02d", hour, minute, second);
    break;
  case 3:
    snprintf(text, sizeof text, "%02d-%02d-%02d", year, month, day);
    break;
  case 4:
    snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", year, month, day, hour, minute);
    break;
  case 5:
    snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute,
             second);
    break;
  case 6:
    snprintf(text, sizeof text, "%04d%02d%02d_%02d%02d", year, month, day, hour, minute);
    break;
  default:
    text[0] = '\0';
    break;
  }
  const size_t n = strnlen(text, sizeof sTimeStamp - 1);
  memcpy(sTimeStamp, text, n);
  sTimeStamp[n] = '\0';
  return sTimeStamp;
}
