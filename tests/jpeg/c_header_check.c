/* The public header must be plain C: this unit is compiled as C. */
#include "ijenc.h"

int ijenc_c_header_check(void) {
  IjEncoder enc = {0};
  IjStream stream = {0};
  IjImageSpec desc = {0};
  int32_t length = 0;
  (void)stream;
  (void)desc;
  return ijxGetCompBufLen(&length, &enc) == IJ_STS_OK && length == 0 ? 1 : 0;
}
