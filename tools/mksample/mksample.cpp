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

std::string Png(const Logo &l) {
  std::string out;
  png_structp p = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(p);
  if (setjmp(png_jmpbuf(p))) return "";
  png_set_write_fn(p, &out, PngWrite, PngFlush);
  png_set_IHDR(p, info, l.w, l.h, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(p, info);
  std::vector<uint8_t> row(size_t(l.w) * 4);
  for (int y = 0; y < l.h; ++y) {
    for (int x = 0; x < l.w; ++x) {
      const uint32_t v = l.px[size_t(y) * l.w + x];
      row[x * 4] = uint8_t(v >> 16);
      row[x * 4 + 1] = uint8_t(v >> 8);
      row[x * 4 + 2] = uint8_t(v);
      row[x * 4 + 3] = uint8_t(v >> 24);
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
    for (int i = 0; i < n; ++i) s += char(v >> (8 * i));
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
  const std::string logos = disk + "/ProgramFiles/Settings/Logos/trans-black/169";
  if (!MakeDirs(logos) || !MakeDirs(disk + "/ProgramFiles/Settings/Logos/3pg/169") ||
      !MakeDirs(logos + "/Radio")) {
    fprintf(stderr, "mksample: cannot create the folders in %s\n", disk.c_str());
    return 1;
  }
  const struct {
    const char *name;
    Logo logo;
    int kind; // 0 raw16, 1 raw32, 2 png, 3 bmp, 4 jpg
  } files[] = {
      {"Blue One.qtl", Draw(54, 34, 0xFF1040C0, 0xFFF0C020, true), 0},
      {"Green Two.qtl32", Draw(54, 34, 0xFF108040, 0x80FFFFFF, true), 1},
      {"Red Three.bll", Draw(60, 40, 0xFFC01020, 0xFF101010, false), 0},
      {"Violet Four.png", Draw(120, 80, 0xFF7020A0, 0xC0FFE000, true), 2},
      {"Orange Five.bmp", Draw(50, 30, 0xFFE07010, 0xFF000000, false), 3},
      {"Teal Six.jpg", Draw(160, 100, 0xFF108080, 0xFFFFFFFF, false), 4},
      {"Radio/Night Seven.ibl", Draw(50, 30, 0xFF202060, 0xFFE0E0E0, true), 0},
  };
  for (const auto &f : files) {
    const std::string bytes = f.kind == 0   ? Raw(f.logo, false)
                              : f.kind == 1 ? Raw(f.logo, true)
                              : f.kind == 2 ? Png(f.logo)
                              : f.kind == 3 ? Bmp(f.logo)
                                            : Jpeg(f.logo);
    if (bytes.empty() || !Write(logos + "/" + f.name, bytes)) {
      fprintf(stderr, "mksample: cannot write %s\n", f.name);
      return 1;
    }
  }
  return 0;
}
