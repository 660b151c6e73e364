/* ijenc_example.c - how a program uses libijenc.a on its own: a picture made
 * in memory becomes a JPEG file.  Plain C, linked with nothing but the
 * library.
 *
 * usage: ijenc_example OUT.jpg */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "ijenc.h"

enum { kWidth = 97, kHeight = 50 };

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: ijenc_example OUT.jpg\n");
    return 2;
  }
  /* A colour gradient, top row first, 3 bytes a pixel as B, G, R. */
  static uint8_t pixels[kWidth * kHeight * 3];
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      uint8_t *p = pixels + (y * kWidth + x) * 3;
      p[0] = (uint8_t)(x * 255 / (kWidth - 1));
      p[1] = (uint8_t)(y * 255 / (kHeight - 1));
      p[2] = (uint8_t)(255 - x * 255 / (kWidth - 1));
    }

  IjImageSpec image = {kWidth, kHeight, 8, 24, 3, IJ_FMT_BGR, IJ_SAMPLING_422, 1, 96, 96};
  IjEncoder *encoder = calloc(1, sizeof *encoder);
  IjStream stream;
  memset(&stream, 0, sizeof stream);
  stream.capacity = 65536;
  stream.buffer = malloc((size_t)stream.capacity);
  if (!encoder || !stream.buffer) return 1;

  int32_t length = 0;
  IjStatus st = ijxCompressInit(85, 0, 1, &image, NULL, NULL, &stream, encoder);
  if (st >= 0) st = ijxGetCompBufLen(&length, encoder);
  void *work = st >= 0 ? malloc((size_t)length) : NULL;
  if (st >= 0) st = work ? ijxCompBufInit(work, length, encoder) : IJ_STS_ARG;
  const uint8_t *source = pixels;
  const int32_t step = kWidth * 3;
  if (st >= 0) st = ijxCompress(&source, &step, &stream, encoder);
  if (st >= 0) st = ijxCompress(NULL, NULL, &stream, encoder);
  if (st < 0) {
    fprintf(stderr, "ijenc_example: encoder status %d\n", (int)st);
    return 1;
  }

  const size_t bytes = ((size_t)stream.position + 7) / 8;
  FILE *f = fopen(argv[1], "wb");
  const int ok = f && fwrite(stream.buffer, 1, bytes, f) == bytes;
  if (f && fclose(f) != 0) return 1;
  free(work);
  free(stream.buffer);
  free(encoder);
  if (!ok) return 1;
  printf("%u bytes\n", (unsigned)bytes);
  return 0;
}
