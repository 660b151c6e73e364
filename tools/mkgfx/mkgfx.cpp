// mkgfx - draws the toolkit's key symbols and window graphics.
//
// Every picture the menu, the message and info boxes, the colour picker and
// the keyboard put on the screen is a firmware graphic record: 32-bit ARGB
// pixels, deflated with zlib, each pixel stored little-endian (blue byte
// first) so the same data draws alike on the receiver and on the desktop.
// This tool paints them with a small anti-aliased rasteriser (labels with
// FreeType in Carlito Bold) and writes the records as C++ sources into
// toolkit/gfx/.  The product build never runs it: the sources are committed,
// and `make generate` rebuilds them.
//
//   mkgfx BOLD.ttf OUTDIR [SHEET.png]
//
// The optional sheet shows every graphic over the menu's background colour,
// for looking them over.
#include <ft2build.h>
#include FT_FREETYPE_H
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

// ---- colours and the canvas ---------------------------------------------

struct Rgba {
  float r, g, b, a; // straight alpha, 0..1
};

Rgba Argb(uint32_t c) {
  return {float((c >> 16) & 255) / 255.f, float((c >> 8) & 255) / 255.f, float(c & 255) / 255.f,
          float(c >> 24) / 255.f};
}

Rgba Mix(Rgba a, Rgba b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
          a.a + (b.a - a.a) * t};
}

using Paint = std::function<Rgba(float x, float y)>;
using Shape = std::function<bool(float x, float y)>;

Paint Solid(uint32_t c) {
  const Rgba v = Argb(c);
  return [v](float, float) { return v; };
}

// Top to bottom between y0 and y1.
Paint VGradient(uint32_t top, uint32_t bottom, float y0, float y1) {
  const Rgba a = Argb(top), b = Argb(bottom);
  return [=](float, float y) { return Mix(a, b, std::clamp((y - y0) / (y1 - y0), 0.f, 1.f)); };
}

struct Canvas {
  int w, h;
  std::vector<Rgba> px;
  Canvas(int width, int height)
      : w(width), h(height), px(size_t(width * height), Rgba{0, 0, 0, 0}) {}

  // Source over destination with straight alpha.
  void Blend(int x, int y, Rgba s, float cover) {
    if (x < 0 || y < 0 || x >= w || y >= h || cover <= 0) return;
    Rgba &d = px[size_t(y * w + x)];
    const float sa = s.a * cover;
    const float oa = sa + d.a * (1 - sa);
    if (oa <= 0) return;
    d.r = (s.r * sa + d.r * d.a * (1 - sa)) / oa;
    d.g = (s.g * sa + d.g * d.a * (1 - sa)) / oa;
    d.b = (s.b * sa + d.b * d.a * (1 - sa)) / oa;
    d.a = oa;
  }

  // Fills a shape, 8 x 8 samples a pixel for smooth edges.
  void Fill(const Shape &inside, const Paint &paint) {
    constexpr int kS = 8;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        int hits = 0;
        for (int sy = 0; sy < kS; ++sy)
          for (int sx = 0; sx < kS; ++sx)
            if (inside(x + (sx + 0.5f) / kS, y + (sy + 0.5f) / kS)) ++hits;
        if (hits) Blend(x, y, paint(x + 0.5f, y + 0.5f), float(hits) / (kS * kS));
      }
  }

  uint32_t Word(int x, int y) const {
    const Rgba &p = px[size_t(y * w + x)];
    auto q = [](float v) { return uint32_t(std::lround(std::clamp(v, 0.f, 1.f) * 255)); };
    // Fully transparent pixels carry no colour: keeps the data compact.
    if (q(p.a) == 0) return 0;
    return q(p.a) << 24 | q(p.r) << 16 | q(p.g) << 8 | q(p.b);
  }
};

// ---- shapes ---------------------------------------------------------------

Shape RoundRect(float x0, float y0, float x1, float y1, float r) {
  return [=](float x, float y) {
    if (x < x0 || x > x1 || y < y0 || y > y1) return false;
    const float cx = std::clamp(x, x0 + r, x1 - r), cy = std::clamp(y, y0 + r, y1 - r);
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
  };
}

Shape Rect(float x0, float y0, float x1, float y1) {
  return [=](float x, float y) { return x >= x0 && x < x1 && y >= y0 && y < y1; };
}

Shape Circle(float cx, float cy, float r) {
  return [=](float x, float y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; };
}

struct Pt {
  float x, y;
};

Shape Polygon(std::vector<Pt> pts) {
  return [pts](float x, float y) {
    bool in = false;
    for (size_t i = 0, j = pts.size() - 1; i < pts.size(); j = i++) {
      if ((pts[i].y > y) != (pts[j].y > y) &&
          x < (pts[j].x - pts[i].x) * (y - pts[i].y) / (pts[j].y - pts[i].y) + pts[i].x)
        in = !in;
    }
    return in;
  };
}

Shape Union(Shape a, Shape b) {
  return [a, b](float x, float y) { return a(x, y) || b(x, y); };
}

// A thick line between two points with round ends.
Shape Line(Pt a, Pt b, float width) {
  return [=](float x, float y) {
    const float dx = b.x - a.x, dy = b.y - a.y;
    const float t = std::clamp(((x - a.x) * dx + (y - a.y) * dy) / (dx * dx + dy * dy), 0.f, 1.f);
    const float px = a.x + t * dx - x, py = a.y + t * dy - y;
    return px * px + py * py <= width * width / 4;
  };
}

// Triangles pointing in a direction, inside the box (x0, y0)-(x1, y1).
Shape TriRight(float x0, float y0, float x1, float y1) {
  return Polygon({{x0, y0}, {x1, (y0 + y1) / 2}, {x0, y1}});
}
Shape TriLeft(float x0, float y0, float x1, float y1) {
  return Polygon({{x1, y0}, {x0, (y0 + y1) / 2}, {x1, y1}});
}
Shape TriUp(float x0, float y0, float x1, float y1) {
  return Polygon({{x0, y1}, {(x0 + x1) / 2, y0}, {x1, y1}});
}
Shape TriDown(float x0, float y0, float x1, float y1) {
  return Polygon({{x0, y0}, {x1, y0}, {(x0 + x1) / 2, y1}});
}

// ---- text -------------------------------------------------------------------

FT_Face gBold;

int TextWidth(const std::string &text, int pixels) {
  FT_Set_Pixel_Sizes(gBold, 0, FT_UInt(pixels));
  int w = 0;
  for (unsigned char c : text) {
    FT_Load_Char(gBold, c, FT_LOAD_TARGET_LIGHT);
    w += int(gBold->glyph->advance.x >> 6);
  }
  return w;
}

// Centres the text on (cx, the box between y0 and y1) by its capital height.
void Text(Canvas &cv, const std::string &text, int pixels, float cx, float y0, float y1,
          uint32_t colour) {
  const Rgba c = Argb(colour);
  FT_Set_Pixel_Sizes(gBold, 0, FT_UInt(pixels));
  const float cap = float(gBold->size->metrics.ascender >> 6) * 0.62f;
  const int baseline = int(std::lround((y0 + y1) / 2 + cap / 2));
  int pen = int(std::lround(cx - TextWidth(text, pixels) / 2.f));
  for (unsigned char ch : text) {
    FT_Load_Char(gBold, ch, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT);
    const FT_GlyphSlot g = gBold->glyph;
    for (unsigned r = 0; r < g->bitmap.rows; ++r)
      for (unsigned col = 0; col < g->bitmap.width; ++col) {
        const unsigned char v = g->bitmap.buffer[int(r) * g->bitmap.pitch + int(col)];
        cv.Blend(pen + g->bitmap_left + int(col), baseline - g->bitmap_top + int(r), c,
                 float(v) / 255.f);
      }
    pen += int(g->advance.x >> 6);
  }
}

// ---- the house style ----------------------------------------------------------

constexpr uint32_t kBack = 0xFF101010;   // menu background
constexpr uint32_t kBody = 0xFF1C1C1C;   // window body
constexpr uint32_t kLabel = 0xFFF4F4F4;  // key labels and symbols
constexpr uint32_t kKeyTop = 0xFF6A6A6A; // grey key, lit top
constexpr uint32_t kKeyBottom = 0xFF343434;
constexpr uint32_t kKeyRim = 0xFF9A9A9A;

// A grey remote-control key: a rounded body with a light rim.
void GreyKey(Canvas &cv, float radius) {
  const float w = float(cv.w), h = float(cv.h);
  cv.Fill(RoundRect(0, 0, w, h, radius), Solid(kKeyRim));
  cv.Fill(RoundRect(1, 1, w - 1, h - 1, radius - 1), VGradient(kKeyTop, kKeyBottom, 1, h - 1));
}

// A coloured round key with a glossy top.
void ColourKey(Canvas &cv, uint32_t light, uint32_t dark, uint32_t rim) {
  const float r = cv.w / 2.f;
  cv.Fill(Circle(r, r, r), Solid(rim));
  cv.Fill(Circle(r, r, r - 1.2f), VGradient(light, dark, 1, float(cv.h) - 1));
  cv.Fill(RoundRect(r - r * 0.55f, 2.2f, r + r * 0.55f, r * 0.85f, r * 0.3f), Solid(0x50FFFFFF));
}

void RoundGreyKey(Canvas &cv) {
  const float r = cv.w / 2.f;
  cv.Fill(Circle(r, r, r), Solid(kKeyRim));
  cv.Fill(Circle(r, r, r - 1), VGradient(kKeyTop, kKeyBottom, 1, float(cv.h) - 1));
}

// ---- the records ----------------------------------------------------------

struct Graphic {
  std::string name; // the record is _<name>_Gd, its data _<name>_Cpm
  Canvas canvas;
};

std::vector<Graphic> gButtons, gWindows;

Canvas &Add(std::vector<Graphic> &list, const std::string &name, int w, int h) {
  list.push_back(Graphic{name, Canvas(w, h)});
  return list.back().canvas;
}

// A key carrying a short label; wide enough for it.
void LabelKey(const std::string &name, const std::string &label, int minWidth = 20) {
  const int w = std::max(minWidth, TextWidth(label, 11) + 10);
  Canvas &cv = Add(gButtons, name, w, 20);
  GreyKey(cv, 4);
  Text(cv, label, 11, w / 2.f, 0, 20, kLabel);
}

// A transport key: a grey key with a white symbol.
Canvas &SymbolKey(const std::string &name) {
  Canvas &cv = Add(gButtons, name, 26, 18);
  GreyKey(cv, 4);
  return cv;
}

void MakeButtons() {
  for (int d = 0; d <= 9; ++d) {
    Canvas &cv = Add(gButtons, "Button_" + std::to_string(d), 18, 18);
    GreyKey(cv, 4);
    Text(cv, std::to_string(d), 13, 9, 0, 18, kLabel);
  }
  LabelKey("Button_ar", "A/R");
  LabelKey("Button_audio", "AUDIO");
  LabelKey("Button_aux", "AUX");
  {
    Canvas &cv = Add(gButtons, "Button_blue", 18, 18);
    ColourKey(cv, 0xFF5A8CFF, 0xFF1438B4, 0xFF0A2070);
  }
  LabelKey("Button_cut", "CUT");
  {
    Canvas &cv = Add(gButtons, "Button_down", 18, 18);
    RoundGreyKey(cv);
    cv.Fill(TriDown(4.5f, 6, 13.5f, 13), Solid(kLabel));
  }
  LabelKey("Button_exit", "EXIT");
  LabelKey("Button_fav", "FAV");
  {
    Canvas &cv = SymbolKey("Button_ffwd");
    cv.Fill(Union(TriRight(5, 4, 13, 14), TriRight(13, 4, 21, 14)), Solid(kLabel));
  }
  LabelKey("Button_filelist", "FILES");
  {
    Canvas &cv = Add(gButtons, "Button_green", 18, 18);
    ColourKey(cv, 0xFF64E678, 0xFF14962D, 0xFF0A5A19);
  }
  LabelKey("Button_guide", "GUIDE");
  {
    Canvas &cv = Add(gButtons, "Button_info", 18, 18);
    RoundGreyKey(cv);
    Text(cv, "i", 14, 9, 0, 18, kLabel);
  }
  {
    Canvas &cv = SymbolKey("Button_jumpend");
    cv.Fill(Union(Union(TriRight(4, 4, 11, 14), TriRight(11, 4, 18, 14)), Rect(18, 4, 21, 14)),
            Solid(kLabel));
  }
  {
    Canvas &cv = SymbolKey("Button_jumpstart");
    cv.Fill(Union(Union(Rect(5, 4, 8, 14), TriLeft(8, 4, 15, 14)), TriLeft(15, 4, 22, 14)),
            Solid(kLabel));
  }
  {
    Canvas &cv = Add(gButtons, "Button_left", 18, 18);
    RoundGreyKey(cv);
    cv.Fill(TriLeft(5, 4.5f, 12, 13.5f), Solid(kLabel));
  }
  LabelKey("Button_list", "LIST");
  LabelKey("Button_m", "M");
  LabelKey("Button_menu", "MENU");
  {
    // A loudspeaker, struck through.
    Canvas &cv = SymbolKey("Button_mute");
    cv.Fill(Polygon({{5, 7}, {8, 7}, {12, 3.5f}, {12, 14.5f}, {8, 11}, {5, 11}}), Solid(kLabel));
    cv.Fill(Union(Line({15, 6}, {21, 12}, 1.8f), Line({21, 6}, {15, 12}, 1.8f)), Solid(0xFFFF5A5A));
  }
  LabelKey("Button_ok", "OK", 40);
  LabelKey("Button_option", "OPT");
  {
    Canvas &cv = SymbolKey("Button_pause");
    cv.Fill(Union(Rect(8.5f, 4, 11.5f, 14), Rect(14.5f, 4, 17.5f, 14)), Solid(kLabel));
  }
  {
    Canvas &cv = SymbolKey("Button_play");
    cv.Fill(TriRight(9, 3.5f, 18, 14.5f), Solid(kLabel));
  }
  LabelKey("Button_progminus", "P-");
  LabelKey("Button_progplus", "P+");
  LabelKey("Button_recall", "RCL");
  {
    Canvas &cv = SymbolKey("Button_record");
    cv.Fill(Circle(13, 9, 5), Solid(0xFFF03030));
  }
  {
    Canvas &cv = Add(gButtons, "Button_red", 18, 18);
    ColourKey(cv, 0xFFFF6E5A, 0xFFC81414, 0xFF780A0A);
  }
  {
    Canvas &cv = Add(gButtons, "Button_right", 18, 18);
    RoundGreyKey(cv);
    cv.Fill(TriRight(6, 4.5f, 13, 13.5f), Solid(kLabel));
  }
  {
    Canvas &cv = SymbolKey("Button_rwd");
    cv.Fill(Union(TriLeft(5, 4, 13, 14), TriLeft(13, 4, 21, 14)), Solid(kLabel));
  }
  LabelKey("Button_sat", "SAT");
  LabelKey("Button_select", "SEL");
  LabelKey("Button_sleep", "SLEEP");
  {
    Canvas &cv = SymbolKey("Button_step");
    cv.Fill(Union(TriRight(7, 4, 15, 14), Rect(16, 4, 19, 14)), Solid(kLabel));
  }
  {
    Canvas &cv = SymbolKey("Button_stop");
    cv.Fill(Rect(8.5f, 4.5f, 17.5f, 13.5f), Solid(kLabel));
  }
  LabelKey("Button_subtitle", "SUB");
  LabelKey("Button_ttx", "TTX");
  LabelKey("Button_tv_radio", "TV/R");
  {
    Canvas &cv = Add(gButtons, "Button_up", 18, 18);
    RoundGreyKey(cv);
    cv.Fill(TriUp(4.5f, 5, 13.5f, 12), Solid(kLabel));
  }
  LabelKey("Button_vf", "V.F");
  LabelKey("Button_volminus", "V-");
  LabelKey("Button_volplus", "V+");
  {
    Canvas &cv = Add(gButtons, "Button_white", 18, 18);
    ColourKey(cv, 0xFFFFFFFF, 0xFFB4B4B4, 0xFF646464);
  }
  {
    Canvas &cv = Add(gButtons, "Button_yellow", 18, 18);
    ColourKey(cv, 0xFFFFF064, 0xFFD2A00A, 0xFF7D5F05);
  }
  {
    // A key without a function: an empty, dimmed outline.
    Canvas &cv = Add(gButtons, "Button_nouse", 18, 18);
    cv.Fill(RoundRect(0, 0, 18, 18, 4), Solid(0xFF505050));
    cv.Fill(RoundRect(1.5f, 1.5f, 16.5f, 16.5f, 3), Solid(0xFF202020));
  }
}

// The scroll bar's track, shared by the bar and the knob so that the knob
// slides over it without a visible seam: bar column 1 is knob column 0.
constexpr float kTrackX0 = 5, kTrackX1 = 11;
constexpr float kTrackY0 = 13, kTrackY1 = 355;

void Track(Canvas &cv, float dx, float dy) {
  cv.Fill(Rect(0, 0, float(cv.w), float(cv.h)), Solid(kBack));
  cv.Fill(RoundRect(kTrackX0 + dx, kTrackY0 + dy, kTrackX1 + dx, kTrackY1 + dy, 3),
          Solid(0xFF303030));
}

// The cursor bar tile, repeated side by side: it varies only from top to
// bottom, so the seams between tiles do not show.
void CursorTile(Canvas &cv, uint32_t top, uint32_t mid, uint32_t bottom, uint32_t edge) {
  cv.Fill(Rect(0, 0, 100, 17), VGradient(top, mid, 0, 17));
  cv.Fill(Rect(0, 17, 100, 34), VGradient(mid, bottom, 17, 34));
  cv.Fill(Rect(0, 0, 100, 1), Solid(edge));
  cv.Fill(Rect(0, 33, 100, 34), Solid(0xFF0A1E3C));
}

// The frame of the boxes: body, title band and an orange rule under it.
void WindowFrame(Canvas &cv) {
  const float w = float(cv.w), h = float(cv.h);
  cv.Fill(Rect(0, 0, w, h), Solid(0xFF5A5A5A));
  cv.Fill(Rect(1, 1, w - 1, h - 1), Solid(kBody));
  cv.Fill(Rect(1, 1, w - 1, 36), VGradient(0xFF3C3C3C, 0xFF262626, 1, 36));
  cv.Fill(Rect(1, 36, w - 1, 38), Solid(0xFFE89211));
}

void SelectedBackground(Canvas &cv) {
  const float w = float(cv.w), h = float(cv.h);
  cv.Fill(Rect(0, 0, w, h), Solid(kBody));
  cv.Fill(RoundRect(0, 0, w, h, 4), VGradient(0xFFFFC85A, 0xFFE8900E, 0, h));
}

void MakeWindows() {
  CursorTile(Add(gWindows, "SelectionBar_Blue_100x34", 100, 34), 0xFF5AAAF0, 0xFF2D7DD2, 0xFF1E5FAA,
             0xFF96CDFF);
  CursorTile(Add(gWindows, "SelectionBar_Blue_100x34Dark", 100, 34), 0xFF2D5A8C, 0xFF1E4673,
             0xFF14325A, 0xFF46739B);
  {
    Canvas &cv = Add(gWindows, "ScrollBarVisible", 16, 368);
    Track(cv, 0, 0);
    const uint32_t arrow = 0xFF8C8C8C;
    cv.Fill(TriUp(3.5f, 3, 12.5f, 10), Solid(arrow));
    cv.Fill(TriDown(3.5f, 358, 12.5f, 365), Solid(arrow));
  }
  {
    Canvas &cv = Add(gWindows, "ScrollBarInvisible", 16, 368);
    cv.Fill(Rect(0, 0, 16, 368), Solid(kBack));
  }
  {
    Canvas &cv = Add(gWindows, "ScrollBarKnob", 14, 20);
    Track(cv, -1, -100); // a stretch from the middle of the track
    cv.Fill(RoundRect(1, 0, 13, 20, 3.5f), Solid(0xFFD2D2D2));
    cv.Fill(RoundRect(2, 1, 12, 19, 2.5f), VGradient(0xFFC8C8C8, 0xFF8C8C8C, 1, 19));
    for (int i = 0; i < 3; ++i)
      cv.Fill(Rect(4, 7.f + 2.5f * i, 10, 8.f + 2.5f * i), Solid(0xFF5A5A5A));
  }
  {
    Canvas &cv = Add(gWindows, "pfeil_l", 10, 15);
    cv.Fill(TriLeft(1, 1.5f, 8.5f, 13.5f), Solid(0xFFB4C8E6));
  }
  {
    Canvas &cv = Add(gWindows, "pfeil_r", 10, 15);
    cv.Fill(TriRight(1.5f, 1.5f, 9, 13.5f), Solid(0xFFB4C8E6));
  }
  {
    Canvas &cv = Add(gWindows, "pfeil_l_bright", 10, 15);
    cv.Fill(TriLeft(1, 1.5f, 8.5f, 13.5f), Solid(0xFFFFFFFF));
  }
  {
    Canvas &cv = Add(gWindows, "pfeil_r_bright", 10, 15);
    cv.Fill(TriRight(1.5f, 1.5f, 9, 13.5f), Solid(0xFFFFFFFF));
  }
  WindowFrame(Add(gWindows, "InfoBox", 380, 190));
  SelectedBackground(Add(gWindows, "MessageBoxSelectedButtonBackground", 100, 25));
  {
    // Three channel stripes, black to full red, green and blue; value v lies
    // at x 11 + v, where the mark (drawn at v + 8, 7 pixels wide) points.
    Canvas &cv = Add(gWindows, "ColorPicker", 360, 155);
    WindowFrame(cv);
    const uint32_t full[3] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
    for (int ch = 0; ch < 3; ++ch) {
      const float y = 44.f + 22 * ch;
      cv.Fill(Rect(10, y - 1, 268, y + 11), Solid(0xFF484848));
      const Rgba black = Argb(0xFF000000), top = Argb(full[ch]);
      cv.Fill(Rect(11, y, 267, y + 10), [=](float x, float) {
        return Mix(black, top, std::clamp((x - 11.5f) / 255.f, 0.f, 1.f));
      });
    }
    cv.Fill(Rect(210, 115, 272, 135), Solid(0xFF484848));
  }
  {
    Canvas &cv = Add(gWindows, "ColorPicker_CursorNone", 7, 6);
    cv.Fill(Rect(0, 0, 7, 6), Solid(kBody));
  }
  {
    Canvas &cv = Add(gWindows, "ColorPicker_CursorDeselected", 7, 6);
    cv.Fill(TriUp(0, 0, 7, 6), Solid(0xFFE6E6FA));
  }
  SelectedBackground(Add(gWindows, "ColorPicker_ValueBackroundSelected", 60, 17));
  {
    Canvas &cv = Add(gWindows, "TextCursor14", 6, 16);
    const uint32_t c = 0xFFFFAF0E;
    cv.Fill(Rect(2, 0, 4, 16), Solid(c));
    cv.Fill(Rect(0, 0, 6, 1.5f), Solid(c));
    cv.Fill(Rect(0, 14.5f, 6, 16), Solid(c));
  }
}

// ---- output ------------------------------------------------------------------

bool Deflate(const Canvas &cv, std::vector<unsigned char> &out) {
  std::vector<unsigned char> raw;
  raw.reserve(size_t(cv.w * cv.h * 4));
  for (int y = 0; y < cv.h; ++y)
    for (int x = 0; x < cv.w; ++x) {
      const uint32_t v = cv.Word(x, y);
      for (int i = 0; i < 4; ++i) raw.push_back((unsigned char)(v >> (8 * i)));
    }
  uLongf size = compressBound(uLong(raw.size()));
  out.resize(size);
  if (compress2(out.data(), &size, raw.data(), uLong(raw.size()), 9) != Z_OK) return false;
  out.resize(size);
  return true;
}

bool Write(const std::string &path, const char *what, const std::vector<Graphic> &list) {
  FILE *f = fopen(path.c_str(), "w");
  if (!f) return false;
  fprintf(f, "// Generated by tools/mkgfx; do not edit.\n");
  fprintf(f, "// %s: ARGB pixels, deflated, each word little-endian.\n", what);
  fprintf(f, "#include \"tklib.h\"\n");
  for (const Graphic &g : list) {
    std::vector<unsigned char> data;
    if (!Deflate(g.canvas, data)) return false;
    fprintf(f, "\n// %d x %d\nstatic const byte _%s_Cpm[%zu] = {\n", g.canvas.w, g.canvas.h,
            g.name.c_str(), data.size());
    for (size_t i = 0; i < data.size(); ++i)
      fprintf(f, "%s%u,%s", i % 20 == 0 ? "  " : " ", data[i],
              i % 20 == 19 || i + 1 == data.size() ? "\n" : "");
    fprintf(f,
            "};\nconst GraphicDescriptor _%s_Gd = {GD_VERSION, 0, GD_PSIZE_ARGB, "
            "GD_COMPRESS_DEFLATE,\n                                   _%s_Cpm, %d, %d, %d};\n",
            g.name.c_str(), g.name.c_str(), g.canvas.w * g.canvas.h * 4, g.canvas.w, g.canvas.h);
  }
  return fclose(f) == 0;
}

void Chunk(FILE *f, const char *type, const std::vector<unsigned char> &data) {
  auto be32 = [f](uint32_t v) {
    const unsigned char b[4] = {(unsigned char)(v >> 24), (unsigned char)(v >> 16),
                                (unsigned char)(v >> 8), (unsigned char)v};
    fwrite(b, 1, 4, f);
  };
  be32(uint32_t(data.size()));
  uLong crc = crc32(0, reinterpret_cast<const Bytef *>(type), 4);
  if (!data.empty()) crc = crc32(crc, data.data(), uInt(data.size()));
  fwrite(type, 1, 4, f);
  if (!data.empty()) fwrite(data.data(), 1, data.size(), f);
  be32(uint32_t(crc));
}

// Every graphic, three times enlarged, side by side over the menu background,
// as an RGB PNG picture.
bool Sheet(const std::string &path) {
  std::vector<const Graphic *> all;
  for (const Graphic &g : gButtons) all.push_back(&g);
  for (const Graphic &g : gWindows) all.push_back(&g);
  const int scale = 3, width = 1200;
  int x = 0, y = 0, rowH = 0;
  std::vector<std::pair<int, int>> at;
  for (const Graphic *g : all) {
    const int w = g->canvas.w * scale, h = g->canvas.h * scale;
    if (x + w > width) {
      x = 0;
      y += rowH + 8;
      rowH = 0;
    }
    at.emplace_back(x, y);
    x += w + 8;
    rowH = std::max(rowH, h);
  }
  const int height = y + rowH;
  const size_t stride = size_t(width) * 3 + 1; // a filter byte (none) per row
  std::vector<unsigned char> raw(stride * size_t(height), 0x10);
  for (int row = 0; row < height; ++row) raw[size_t(row) * stride] = 0;
  for (size_t i = 0; i < all.size(); ++i) {
    const Canvas &cv = all[i]->canvas;
    for (int yy = 0; yy < cv.h * scale; ++yy)
      for (int xx = 0; xx < cv.w * scale; ++xx) {
        const uint32_t p = cv.Word(xx / scale, yy / scale);
        const unsigned a = p >> 24;
        unsigned char *d =
            &raw[size_t(at[i].second + yy) * stride + 1 + size_t(at[i].first + xx) * 3];
        for (int c = 0; c < 3; ++c)
          d[c] = (unsigned char)((((p >> (16 - 8 * c)) & 255) * a + 0x10 * (255 - a)) / 255);
      }
  }
  uLongf size = compressBound(uLong(raw.size()));
  std::vector<unsigned char> idat(size);
  if (compress2(idat.data(), &size, raw.data(), uLong(raw.size()), 6) != Z_OK) return false;
  idat.resize(size);
  FILE *f = fopen(path.c_str(), "wb");
  if (!f) return false;
  fwrite("\x89PNG\r\n\x1a\n", 1, 8, f);
  std::vector<unsigned char> ihdr = {0,
                                     0,
                                     (unsigned char)(width >> 8),
                                     (unsigned char)width,
                                     0,
                                     0,
                                     (unsigned char)(height >> 8),
                                     (unsigned char)height,
                                     8,
                                     2,
                                     0,
                                     0,
                                     0};
  Chunk(f, "IHDR", ihdr);
  Chunk(f, "IDAT", idat);
  Chunk(f, "IEND", {});
  return fclose(f) == 0;
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 3 && argc != 4) {
    fprintf(stderr, "usage: %s BOLD.ttf OUTDIR [SHEET.png]\n", argv[0]);
    return 2;
  }
  FT_Library lib;
  if (FT_Init_FreeType(&lib) || FT_New_Face(lib, argv[1], 0, &gBold)) {
    fprintf(stderr, "mkgfx: cannot load %s\n", argv[1]);
    return 1;
  }
  MakeButtons();
  MakeWindows();
  const std::string dir = argv[2];
  if (!Write(dir + "/buttons.cpp", "key symbols for the legend lines", gButtons) ||
      !Write(dir + "/windows.cpp", "cursor bar, scroll bar, arrows and window graphics",
             gWindows)) {
    fprintf(stderr, "mkgfx: cannot write into %s\n", argv[2]);
    return 1;
  }
  if (argc == 4 && !Sheet(argv[3])) {
    fprintf(stderr, "mkgfx: cannot write %s\n", argv[3]);
    return 1;
  }
  FT_Done_Face(gBold);
  FT_Done_FreeType(lib);
  return 0;
}
