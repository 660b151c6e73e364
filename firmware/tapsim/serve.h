// serve.h - tapsim's served mode: the plug-ins run live in real time and a
// web page shows the screen and works the remote control.
#ifndef TAPSIM_SERVE_H
#define TAPSIM_SERVE_H

#include <functional>

#include "web.h"

struct ServeOptions {
  web::Listen listen;
  // (Re)starts the session: disk, settings and plug-ins.  False, with its
  // message on standard error, when it could not.
  std::function<bool()> start;
  bool strict = false;
};

// Runs until SIGINT or SIGTERM; the session must have been started once.
// Returns tapsim's exit status.
int Serve(const ServeOptions &options);

#endif
