// serve_off.cpp - tapsim built without an HTTP library (the receiver build):
// --serve says so instead of running.
#include <stdio.h>

#include "serve.h"
#include "tapsim.h"

int Serve(const ServeOptions &) {
  fprintf(stderr, "tapsim: this tapsim was built without --serve (it needs cpp-httplib)\n");
  Sim_Shutdown();
  return 2;
}
