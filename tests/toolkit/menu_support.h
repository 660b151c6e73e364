// Helpers for the menu, font and window tests: a fixture that gives every
// test a fresh menu stack, and pixel blocks read from the OSD plane or
// rendered apart for comparison.
#ifndef MENU_SUPPORT_H
#define MENU_SUPPORT_H

#include <stdint.h>

#include <ostream>
#include <string>
#include <vector>

#include "testdisk.h"
#include "tklib.h"

// A rectangle of ARGB pixels, row by row.
struct Block {
  int w = 0, h = 0;
  std::vector<uint32_t> px;
  uint32_t At(int x, int y) const { return px[size_t(y) * size_t(w) + size_t(x)]; }
  Block Crop(int x, int y, int cw, int ch) const {
    Block b;
    b.w = cw;
    b.h = ch;
    for (int r = 0; r < ch; ++r)
      for (int c = 0; c < cw; ++c) b.px.push_back(At(x + c, y + r));
    return b;
  }
  bool operator==(const Block &o) const { return w == o.w && h == o.h && px == o.px; }
  bool operator!=(const Block &o) const { return !(*this == o); }
};
// Size and the first pixels, so that a failed comparison stays readable.
void PrintTo(const Block &b, std::ostream *os);

// A block of the plane being drawn, or of the screen as of the last sync.
Block DrawnBlock(int x, int y, int w, int h);
Block ShownBlock(int x, int y, int w, int h);
uint32_t Drawn(int x, int y);
uint32_t Shown(int x, int y);

// A graphic as it looks drawn over a solid colour (sprite or plain).
Block GraphicOver(const GraphicDescriptor &gd, uint32_t back, bool sprite);
// Text drawn with FM_PutStringAA at (0, 0) of a w x h area filled with back,
// without a background colour of its own.
Block TextOver(const char *text, const FontData &font, uint32_t colour, uint32_t back, int w,
               int h);

// Columns of the band (y0..y1) between x0 and x1 whose pixels differ from
// back anywhere: the first and the last one, or -1 when there is none.
int FirstInk(int x0, int x1, int y0, int y1, uint32_t back);
int LastInk(int x0, int x1, int y0, int y1, uint32_t back);

// A fresh menu stack and closed windows for every test; every test must
// leave the heap as it found it.
class MenuTest : public SimTest {
protected:
  void SetUp() override;
  void TearDown() override;
  // The plug-in's file list: title "Velumo V1.0", items with values, three
  // legend lines.
  static void BuildFileList(int items);
};

#endif
