// bmptojpg.cpp - the BMP file written by the logo export converted into a
// JPEG file beside it, through the encoder's bitmap front end.
#include <string.h>

#include "bmp2jpg.h"
#include "logo.h"

// Both names are relative to the current directory, which the caller has
// set.
int bmptojpg(const char *source, const char *target) {
  DibImage dib;
  TAP_MemSet(&dib, 0, sizeof dib);
  TYPE_File *in = source ? TAP_Hdd_Fopen(source) : nullptr;
  if (!in) return LogoResultRc(kJpegNoSource);
  // Creating the target would empty the very file we are about to read.
  if (!target || strcmp(source, target) == 0 || !TAP_Hdd_Create(target, ATTR_NORMAL)) {
    TAP_Hdd_Fclose(in);
    return LogoResultRc(kJpegNoTarget);
  }
  TYPE_File *out = TAP_Hdd_Fopen(target);
  if (!out) {
    TAP_Hdd_Fclose(in);
    TAP_Hdd_Delete(target);
    return LogoResultRc(kJpegNoTarget);
  }
  int rc = 0;
  if (!ReadDIBFile(&dib, in)) {
    TAP_Print("%s: Read error.\n", source);
    rc = LogoResultRc(kJpegUnreadable);
  } else if (!BMPtoJPEG(100, 0, 1, IJ_SAMPLING_411, &dib, out)) {
    TAP_Print("%s Write error.\n", target);
    rc = LogoResultRc(kJpegFailed);
  }
  TAP_Hdd_Fclose(in);
  TAP_Hdd_Fclose(out);
  // A target without a complete stream is not left to pass for a picture.
  if (rc) TAP_Hdd_Delete(target);
  DestoryDIB(&dib);
  return rc;
}
