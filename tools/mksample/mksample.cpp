// mksample - lays out the sample disk: a few channel logos of every kind the
// plug-in reads, drawn here from simple shapes (no picture is copied in).
//   mksample DISK
#include <errno.h>
#include <png.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <jpeglib.h>

#include <string>
#include <vector>

namespace {

struct Logo {
  int w, h;
  std::vector<uint32_t> px; // 0xAARRGGBB
};

// A rounded badge with a stripe and a ring, transparent around it.
Logo Draw(int w, int h, uint32_t colour, uint32_t accent, bool transparentCorners) {
  Logo l{w, h, std::vector<uint32_t>(size_t(w) * h)};
  const double cx = (w - 1) / 2.0, cy = (h - 1) / 2.0, r = (h < w ? h : w) * 0.42;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double dx = (x - cx) / (w / double(h)), dy = y - cy, d = dx * dx + dy * dy;
      uint32_t p = colour;
      if (y > h / 2 - h / 10 && y < h / 2 + h / 10) p = accent;
      if (d < r * r && d > (r - 3) * (r - 3)) p = 0xFFFFFFFF;
      const bool corner = (x < 3 || x >= w - 3) && (y < 3 || y >= h - 3);
      if (transparentCorners && corner) p &= 0x00FFFFFF;
      l.px[size_t(y) * w + x] = p;
    }
  return l;
}

bool Write(const std::string &path, const std::string &bytes) {
  FILE *f = fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

void Be32(std::string &s, uint32_t v) {
  for (int i = 3; i >= 0; --i) s += char(v >> (8 * i));
}

std::string Raw(const Logo &l, bool wide) {
  std::string s;
  Be32(s, uint32_t(l.w));
  Be32(s, uint32_t(l.h));
  for (uint32_t p : l.px) {
    if (wide) {
      Be32(s, p);
      continue;
    }
    const uint32_t r = uint32_t(((p >> 16) & 0xFF) / 8.2258),
                   g = uint32_t(((p >> 8) & 0xFF) / 8.2258), b = uint32_t((p & 0xFF) / 8.2258);
    const uint32_t opaque = (p >> 24) == 0xFF && (r | g | b) ? 1 : 0;
    const uint32_t v = opaque << 15 | r << 10 | g << 5 | b;
    s += char(v >> 8);
    s += char(v);
  }
  return s;
}

void PngWrite(png_structp p, png_bytep data, png_size_t n) {
  static_cast<std::string *>(png_get_io_ptr(p))->append(reinterpret_cast<char *>(data), n);
}
void PngFlush(png_structp) {}

// colourType 0, 2, 4 or 6, depth 8 or 16.
std::string Png(const Logo &l, int colourType = 6, int depth = 8) {
  std::string out;
  png_structp p = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(p);
  if (setjmp(png_jmpbuf(p))) return "";
  png_set_write_fn(p, &out, PngWrite, PngFlush);
  png_set_IHDR(p, info, l.w, l.h, depth, colourType, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(p, info);
  const int channels = colourType == 0 ? 1 : colourType == 2 ? 3 : colourType == 4 ? 2 : 4;
  std::vector<uint8_t> row(size_t(l.w) * channels * (depth / 8));
  for (int y = 0; y < l.h; ++y) {
    size_t o = 0;
    for (int x = 0; x < l.w; ++x) {
      const uint32_t v = l.px[size_t(y) * l.w + x];
      const uint8_t r = uint8_t(v >> 16), g = uint8_t(v >> 8), b = uint8_t(v), a = uint8_t(v >> 24);
      const uint8_t grey = uint8_t((r * 30 + g * 59 + b * 11) / 100);
      uint8_t samples[4] = {r, g, b, a};
      int n = 4;
      if (colourType == 0) samples[0] = grey, n = 1;
      if (colourType == 2) n = 3;
      if (colourType == 4) samples[0] = grey, samples[1] = a, n = 2;
      for (int i = 0; i < n; ++i) {
        row[o++] = samples[i];
        if (depth == 16) row[o++] = samples[i]; // the same value in both bytes
      }
    }
    png_write_row(p, row.data());
  }
  png_write_end(p, info);
  png_destroy_write_struct(&p, &info);
  return out;
}

std::string Bmp(const Logo &l) {
  const uint32_t row = uint32_t(l.w * 3 + 3) / 4 * 4, size = row * uint32_t(l.h);
  std::string s = "BM";
  auto le = [&s](uint32_t v, int n) {
    // Bytes past the fourth are zero (a shift by 32 or more is undefined).
    for (int i = 0; i < n; ++i) s += char(i < 4 ? v >> (8 * i) : 0);
  };
  le(54 + size, 4), le(0, 4), le(54, 4), le(40, 4), le(uint32_t(l.w), 4), le(uint32_t(l.h), 4);
  le(1, 2), le(24, 2), le(0, 4), le(size, 4), le(0, 16);
  for (int y = l.h - 1; y >= 0; --y) {
    for (int x = 0; x < l.w; ++x) {
      const uint32_t v = l.px[size_t(y) * l.w + x];
      s += char(v), s += char(v >> 8), s += char(v >> 16);
    }
    for (uint32_t i = uint32_t(l.w) * 3; i < row; ++i) s += '\0';
  }
  return s;
}

std::string Jpeg(const Logo &l) {
  jpeg_compress_struct c;
  jpeg_error_mgr e;
  c.err = jpeg_std_error(&e);
  jpeg_create_compress(&c);
  unsigned char *mem = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &mem, &size);
  c.image_width = JDIMENSION(l.w);
  c.image_height = JDIMENSION(l.h);
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 90, TRUE);
  jpeg_start_compress(&c, TRUE);
  std::vector<unsigned char> row(size_t(l.w) * 3);
  for (int y = 0; y < l.h; ++y) {
    for (int x = 0; x < l.w; ++x) {
      const uint32_t v = l.px[size_t(y) * l.w + x];
      row[x * 3] = uint8_t(v >> 16), row[x * 3 + 1] = uint8_t(v >> 8), row[x * 3 + 2] = uint8_t(v);
    }
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  std::string out(reinterpret_cast<char *>(mem), size);
  jpeg_destroy_compress(&c);
  free(mem);
  return out;
}

bool MakeDirs(const std::string &path) {
  for (size_t i = 1; i <= path.size(); ++i)
    if (i == path.size() || path[i] == '/')
      if (mkdir(path.substr(0, i).c_str(), 0755) != 0 && errno != EEXIST) return false;
  return true;
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: mksample DISK\n");
    return 2;
  }
  const std::string disk = argv[1];
  const std::string settings = disk + "/ProgramFiles/Settings";
  const std::string logos = settings + "/Logos/trans-black/169";
  const std::string more = settings + "/Logos/3pg/169";
  if (!MakeDirs(logos + "/Radio") || !MakeDirs(logos + "/Archiv") || !MakeDirs(more) ||
      !MakeDirs(settings + "/Velumo")) {
    fprintf(stderr, "mksample: cannot create the folders in %s\n", disk.c_str());
    return 1;
  }
  enum Kind { Raw16, Raw32, PngFile, BmpFile, JpgFile };
  struct File {
    std::string path;
    Logo logo;
    Kind kind;
    int colourType, depth;
  };
  const std::vector<File> files = {
      {logos + "/Alpha One.bll", Draw(60, 40, 0xFFC01020, 0xFF101010, false), Raw16, 0, 0},
      {logos + "/Alpha Two.bll32", Draw(60, 40, 0xFFB02040, 0x80FFFFFF, true), Raw32, 0, 0},
      {logos + "/\xC4rzte TV.qtl", Draw(54, 34, 0xFF1040C0, 0xFFF0C020, true), Raw16, 0, 0},
      {logos + "/Bayern Eins.qtl32", Draw(54, 34, 0xFF108040, 0x80FFFFFF, true), Raw32, 0, 0},
      {logos + "/Comedy.qsl", Draw(36, 22, 0xFFE0A000, 0xFF202020, false), Raw16, 0, 0},
      {logos + "/Comedy Plus.qsl32", Draw(36, 22, 0xFFE06000, 0xC0202020, true), Raw32, 0, 0},
      {logos + "/Doku.ibl", Draw(50, 30, 0xFF606060, 0xFF00C0FF, false), Raw16, 0, 0},
      {logos + "/Doku HD.ibl32", Draw(50, 30, 0xFF505070, 0x8000C0FF, true), Raw32, 0, 0},
      {logos + "/\xD6"
               "ffentlich.png",
       Draw(120, 80, 0xFF7020A0, 0xC0FFE000, true), PngFile, 6, 8},
      {logos + "/Grau.png", Draw(60, 40, 0xFF808080, 0xFFFFFFFF, false), PngFile, 0, 8},
      {logos + "/Grau Alpha.png", Draw(60, 40, 0xFF404040, 0x80FFFFFF, true), PngFile, 4, 8},
      {logos + "/Nachrichten.png", Draw(60, 40, 0xFF0050A0, 0xFFE0E0E0, false), PngFile, 2, 8},
      {logos + "/Nachrichten 16.png", Draw(60, 40, 0xFF0070C0, 0xC0E0E0E0, true), PngFile, 6, 16},
      {logos + "/Orange.bmp", Draw(50, 30, 0xFFE07010, 0xFF000000, false), BmpFile, 0, 0},
      {logos + "/Teal Sechs.jpg", Draw(160, 100, 0xFF108080, 0xFFFFFFFF, false), JpgFile, 0, 0},
      {logos + "/\x05Zeta.qtl", Draw(54, 34, 0xFF202060, 0xFFE0E0E0, true), Raw16, 0, 0},
      {logos + "/Radio/Nacht.ibl", Draw(50, 30, 0xFF202060, 0xFFE0E0E0, true), Raw16, 0, 0},
      {more + "/Zwei.qtl", Draw(54, 34, 0xFF600020, 0xFFFFC0C0, true), Raw16, 0, 0},
  };
  for (const File &f : files) {
    const std::string bytes = f.kind == Raw16     ? Raw(f.logo, false)
                              : f.kind == Raw32   ? Raw(f.logo, true)
                              : f.kind == PngFile ? Png(f.logo, f.colourType, f.depth)
                              : f.kind == BmpFile ? Bmp(f.logo)
                                                  : Jpeg(f.logo);
    if (bytes.empty() || !Write(f.path, bytes)) {
      fprintf(stderr, "mksample: cannot write %s\n", f.path.c_str());
      return 1;
    }
  }
  // A directory list of three folders, the name sort, and debug lines.
  const std::string ini = "Path01=/ProgramFiles/Settings/Logos/trans-black/169\r\n"
                          "Path02=/ProgramFiles/Settings/Logos/3pg/169\r\n"
                          "Path03=/ProgramFiles/Settings/Logos/trans-black/169/Radio\r\n"
                          "PathCur=1\r\nSort=2\r\nDebug=1\r\n";
  if (!Write(settings + "/Velumo/Velumo.ini", ini)) {
    fprintf(stderr, "mksample: cannot write the settings\n");
    return 1;
  }
  return 0;
}
