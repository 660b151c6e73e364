// The receiver's raw logo files as the tests write and expect them: width
// and height as big-endian 32-bit words, then the pixels.
#ifndef RAWLOGO_H
#define RAWLOGO_H

#include <stdint.h>

#include <string>
#include <vector>

// A 32-bit word, most significant byte first.
std::string Be32(uint32_t v);
// A 32-bit raw logo (.qtl32, .bll32, ...): a big-endian ARGB word a pixel.
std::string Raw32(uint32_t w, uint32_t h, const std::vector<uint32_t> &pixels);

#endif
