// pngcodec.h - the plug-in's small PNG codec: reading every PNG the standard
// allows (all colour types and depths, PLTE and tRNS, Adam7 interlacing) and
// writing one-IDAT files, through the firmware's file calls, from memory or
// through caller callbacks.
//
// What png_get_data delivers, width x height x bpp bytes, rows from the top,
// an interlaced picture in the same layout as its non-interlaced twin:
// - colour types 0, 2, 4, 6 at 8 or 16 bits: the samples in the file's
//   channel order, 16-bit ones low byte first;
// - greyscale at 1, 2 or 4 bits: one byte a pixel, scaled to 0..255;
// - palette (colour type 3) at any depth: one palette index a byte; the
//   palette, with tRNS's alpha, is in png_image once png_get_data is done.
// A tRNS colour key (greyscale, truecolour) is left to the caller, in
// png_image as well: png_image_pixel applies both.
#ifndef PNG_CODEC_H
#define PNG_CODEC_H

#include <stdint.h>

#include "tap.h"

enum {
  PNG_R_DONE = 1,
  PNG_R_OK = 0,
  PNG_R_FILE = -1,
  PNG_R_HEADER = -2,
  PNG_R_READ = -3,
  PNG_R_EOF = -4,
  PNG_R_CRC = -5,
  PNG_R_MEMORY = -6,
  PNG_R_ZLIB = -7,
  PNG_R_FILTER = -8,
  PNG_R_UNSUPPORTED = -9,
  PNG_R_ARGUMENTS = -10,
  PNG_R_DEPTH = -11,
  PNG_R_PALETTE = -12,
};

// Pictures of more pixels than this are refused when the header is read: no
// receiver has room for their pixels.
constexpr uint64_t kPngMaxPixels = 16u << 20;

// (buffer, size, count, handle) -> units read or written; a null buffer on a
// read means: skip size x count bytes.
typedef dword (*png_read_callback)(void *buffer, dword size, dword count, dword handle);
typedef dword (*png_write_callback)(const void *buffer, dword size, dword count, dword handle);

struct png_image {
  void *zstream;
  png_read_callback read_callback;
  png_write_callback write_callback;
  dword handle;
  const byte *mem_base;
  uint32_t mem_pos;
  uint32_t mem_len; // bytes of an in-memory PNG; reads never go past them
  int32_t from_file;
  byte *raw;        // the rows being inflated and undone, while png_get_data runs
  uint32_t raw_len; // bytes the image data inflate to, filter bytes included
  uint32_t width;
  uint32_t height;
  uint8_t depth;
  uint8_t color_type;
  uint8_t compression;
  uint8_t filter;
  uint8_t interlace;
  uint8_t bpp;
  // Filled by png_get_data from PLTE and tRNS.
  uint16_t palette_size; // PLTE's entries; indices beyond them are opaque black
  uint8_t has_key;       // 1: tRNS gave a colour key
  uint16_t key[3];       // grey, or red, green, blue, at the file's depth
  uint32_t palette[256]; // 0xAARRGGBB, alpha from tRNS (255 without)
};

// Console trace of the codec's steps, for diagnosis on the receiver.
extern int32_t tapprint;

int png_open_file_read(png_image *png, const char *filename);
int png_open_mem_read(png_image *png, const void *buffer, uint32_t length);
int png_open_read(png_image *png, png_read_callback read_callback, dword handle);
int png_open(png_image *png, png_read_callback read_callback, dword handle);
int png_open_file(png_image *png, const char *filename);
int png_get_data(png_image *png, byte *out);
int png_close_file(png_image *png);
int png_get_bpp(const png_image *png);
const char *png_error_string(int code, int german);

int png_open_write(png_image *png, png_write_callback write_callback, dword handle);
int png_open_file_write(png_image *png, const char *filename);
int png_set_data(png_image *png, uint32_t width, uint32_t height, int8_t depth, uint8_t color_type,
                 void *data);
int png_save(uint32_t width, uint32_t height, int8_t depth, int32_t unused, uint8_t color_type,
             void *data, const char *filename);
int png_save_raw(const char *filename);
int png_save_c(const char *filename);
void png_entfernen(char *name);
int png_show(int32_t region, int32_t bg_x, int32_t bg_y, int32_t max_x, int32_t max_y, int32_t x,
             int32_t y, const char *filename, const void *buffer, uint32_t buffer_len,
             int32_t bg_plane, uint32_t bg_colour, int32_t messages);
void png_print_info(const png_image *png, int32_t region, int32_t x, int32_t y, int32_t german);

// One decoded pixel as 0xAARRGGBB: 16-bit samples (low byte first) reduced
// to their high byte, alpha 255 for the kinds without alpha.
uint32_t png_pixel_argb(const byte *p, uint8_t color_type, bool wide);
// One pixel of png_get_data's output as 0xAARRGGBB, whatever the kind: the
// palette looked up, a pixel of the tRNS colour key with alpha 0.
uint32_t png_image_pixel(const png_image *png, const byte *p);

uint32_t pngAlphaGetBG(int32_t x, int32_t y, int32_t plane);
uint8_t pngAlphaBlend(uint8_t alpha, uint8_t fg, uint8_t bg);
uint32_t pngAlphaBlendRGB(uint8_t alpha, uint32_t fg, uint32_t bg);

// Byte order of the PNG stream.
uint32_t get_ul(const byte *bytes);
void set_ul(byte *bytes, uint32_t value);

#endif
