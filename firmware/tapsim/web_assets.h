// web_assets.h - the page of tapsim's served mode, compiled into the
// program from firmware/tapsim/web/ by the build (cmake/embed.cmake).
#ifndef TAPSIM_WEB_ASSETS_H
#define TAPSIM_WEB_ASSETS_H

#include <stddef.h>

struct WebAsset {
  const char *path; // the URL path, "/" for the page
  const unsigned char *data;
  size_t size;
  const char *type; // Content-Type
};

extern const WebAsset kWebAssets[];
extern const size_t kWebAssetCount;

#endif
