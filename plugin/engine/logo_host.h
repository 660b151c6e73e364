// logo_host.h - what the logo engine needs of the program it runs in: a log.
// The plug-in writes each line to Velumo.log and the network terminal
// (log.cpp); logoconv, which has no reader for them, drops them.
#ifndef LOGO_HOST_H
#define LOGO_HOST_H

// One line, always / only with the Debug setting on.  Only the format is
// interpreted, never the finished text.
void WriteLog(const char *format, ...) __attribute__((format(printf, 1, 2)));
void WriteDebugLog(const char *format, ...) __attribute__((format(printf, 1, 2)));

#endif
