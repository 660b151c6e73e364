// serve_off.cpp - tapsim built without an HTTP library (the receiver build):
// --serve says so instead of running.
#include <stdio.h>

#include "serve.h"

int Serve(const ServeOptions &) {
  fprintf(stderr, "tapsim: this tapsim was built without --serve (it needs cpp-httplib)\n");
  return 2;
}
