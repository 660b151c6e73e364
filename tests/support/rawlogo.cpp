#include "rawlogo.h"

std::string Be32(uint32_t v) {
  return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

std::string Raw32(uint32_t w, uint32_t h, const std::vector<uint32_t> &pixels) {
  std::string s = Be32(w) + Be32(h);
  for (uint32_t p : pixels) s += Be32(p);
  return s;
}
