// The PNG reader against libpng: every kind PNG defines decodes to libpng's
// pixels (the whole-byte kinds to its very samples, 16-bit ones low byte
// first), what PNG does not define is refused with its code, and corrupt
// files never get through.
#include <dirent.h>
#include <string.h>
#include <zlib.h>

#include <algorithm>
#include <random>

#include "needs.h"
#include "oracle.h"
#include "pngcodec.h"
#include "testdisk.h"

namespace {

std::vector<uint8_t> Samples(const PngSpec &s, uint32_t seed) {
  const int channels = s.colorType == 2 ? 3 : s.colorType == 4 ? 2 : s.colorType == 6 ? 4 : 1;
  std::vector<uint8_t> v((size_t(s.width) * channels * s.depth + 7) / 8 * s.height);
  std::mt19937 rng(seed);
  // Smooth gradients with noise: every filter type gets something to do.
  for (size_t i = 0; i < v.size(); ++i) v[i] = uint8_t(i * 7 + (rng() & 3));
  return v;
}

// 16-bit samples as the codec delivers them: low byte first.
std::vector<uint8_t> LowByteFirst(std::vector<uint8_t> v, int depth) {
  if (depth == 16)
    for (size_t i = 0; i + 1 < v.size(); i += 2) std::swap(v[i], v[i + 1]);
  return v;
}

class Reader : public SimTest {
protected:
  void TearDown() override {
    ExpectNothingHeld();
    SimTest::TearDown();
  }
  // Decodes through the file route; returns the result and the pixels.
  int Decode(const std::string &file, png_image &png, std::vector<uint8_t> &out) {
    EXPECT_TRUE(WriteHostFile(Host("/ProgramFiles/t.png"), file));
    memset(&png, 0, sizeof png);
    EXPECT_EQ(1, TAP_Hdd_ChangeDir("/ProgramFiles"));
    int r = png_open_file_read(&png, "t.png");
    if (r == PNG_R_OK) {
      out.assign(size_t(png.width) * png.height * png.bpp, 0xEE);
      r = png_get_data(&png, out.data());
    }
    png_close_file(&png);
    return r;
  }
  int DecodeMem(const std::string &file, png_image &png, std::vector<uint8_t> &out) {
    memset(&png, 0, sizeof png);
    int r = png_open_mem_read(&png, file.data(), uint32_t(file.size()));
    if (r == PNG_R_OK) {
      out.assign(size_t(png.width) * png.height * png.bpp, 0xEE);
      r = png_get_data(&png, out.data());
    }
    png_close_file(&png);
    return r;
  }
};

TEST_F(Reader, EverySupportedKindMatchesLibpng) {
  int cases = 0;
  for (int type : {0, 2, 4, 6})
    for (int depth : {8, 16})
      for (int filters : {0x08, 0x10, 0x20, 0x40, 0x80, 0xF8}) {
        PngSpec s;
        s.width = 13 + uint32_t(type);
        s.height = 7;
        s.colorType = type;
        s.depth = depth;
        s.filters = filters;
        s.idatSize = filters == 0xF8 ? 37 : 8192; // many small IDAT chunks
        s.textBefore = s.textAfter = filters == 0x80;
        const std::vector<uint8_t> in = Samples(s, uint32_t(type * 100 + depth + filters));
        const std::string file = LibpngWrite(s, in);
        ASSERT_FALSE(file.empty());
        uint32_t w, h;
        int ct, d;
        bool il;
        std::vector<uint8_t> expected;
        ASSERT_TRUE(LibpngRead(file, w, h, ct, d, il, expected));
        png_image png;
        std::vector<uint8_t> out;
        ASSERT_EQ(PNG_R_OK, Decode(file, png, out)) << type << "/" << depth << "/" << filters;
        EXPECT_EQ(LowByteFirst(expected, depth), out) << type << "/" << depth << "/" << filters;
        EXPECT_EQ(s.width, png.width);
        EXPECT_EQ(uint8_t(type), png.color_type);
        ASSERT_EQ(PNG_R_OK, DecodeMem(file, png, out));
        EXPECT_EQ(LowByteFirst(expected, depth), out);
        ++cases;
      }
  EXPECT_EQ(48, cases);
}

// Noise, few values and long flat runs make the Paeth predictor pick each
// of its three neighbours and meet every tie; four-byte pixels take their
// own route through the reader.  Widths of 1 to 9 pixels end the rows at
// every offset.
TEST_F(Reader, PaethOnNoiseAndTiesMatchesLibpng) {
  std::mt19937 rng(20121217);
  for (int type : {6, 2, 4, 0})
    for (uint32_t width = 1; width <= 9; ++width)
      for (int texture = 0; texture < 3; ++texture) {
        PngSpec s;
        s.width = width;
        s.height = 6;
        s.colorType = type;
        s.filters = 0x80; // Paeth only
        const int channels = type == 2 ? 3 : type == 4 ? 2 : type == 6 ? 4 : 1;
        std::vector<uint8_t> in(size_t(width) * channels * s.height);
        for (uint8_t &v : in)
          v = texture == 0   ? uint8_t(rng())
              : texture == 1 ? uint8_t(rng() % 3 * 127)
                             : uint8_t(rng() % 16 == 0 ? rng() : 200);
        const std::string file = LibpngWrite(s, in);
        ASSERT_FALSE(file.empty());
        png_image png;
        std::vector<uint8_t> out;
        ASSERT_EQ(PNG_R_OK, DecodeMem(file, png, out));
        EXPECT_EQ(in, out) << "type " << type << ", width " << width << ", texture " << texture;
      }
}

// A valid 3 x 2 greyscale file whose bytes the tests below bend.
std::string Small() {
  PngSpec s;
  s.width = 3;
  s.height = 2;
  return LibpngWrite(s, {1, 2, 3, 4, 5, 6});
}

void Put32(std::string &s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + size_t(i)] = char(v >> (24 - 8 * i));
}

uint32_t Crc(const std::string &s, size_t at, size_t n);

std::string Chunk(const std::string &type, const std::string &data) {
  std::string c(4, '\0');
  Put32(c, 0, uint32_t(data.size()));
  c += type + data + "CRC!";
  Put32(c, c.size() - 4, Crc(c, 4, 4 + data.size()));
  return c;
}
// f with chunk put before the first chunk of type at, or without that chunk.
std::string Before(const std::string &f, const std::string &at, const std::string &chunk) {
  return f.substr(0, f.find(at) - 4) + chunk + f.substr(f.find(at) - 4);
}
std::string Without(const std::string &f, const std::string &at) {
  const size_t pos = f.find(at) - 4;
  return f.substr(0, pos) + f.substr(pos + 12 + get_ul(reinterpret_cast<const byte *>(&f[pos])));
}

TEST_F(Reader, PaletteAndTransparencyFaults) {
  PngSpec s;
  s.width = 4;
  s.colorType = 3;
  s.depth = 2;
  const std::string pal = LibpngWrite(s, {0x1B}), bare = Without(pal, "PLTE");
  s.colorType = 0;
  s.depth = 8;
  const std::string grey = LibpngWrite(s, {5, 5, 5, 5});
  s.colorType = 6;
  const std::string rgba = LibpngWrite(s, std::vector<uint8_t>(16, 5));
  std::string badCrc = pal;
  badCrc[badCrc.find("PLTE") + 4] ^= 1;
  const struct {
    std::string file;
    int result;
  } cases[] = {
      {bare, PNG_R_PALETTE},
      {Before(bare, "IDAT", Chunk("PLTE", "abc")), PNG_R_OK},     // indices 1 .. 3 beyond it
      {Before(pal, "IDAT", Chunk("PLTE", "abc")), PNG_R_PALETTE}, // a second one
      {Before(bare, "IDAT", Chunk("PLTE", "abcd")), PNG_R_CRC},   // not whole entries
      {Before(bare, "IDAT", Chunk("PLTE", std::string(15, 'p'))), PNG_R_CRC}, // 5 at 2 bits
      {badCrc, PNG_R_CRC},
      {Before(pal, "PLTE", Chunk("tRNS", "a")), PNG_R_PALETTE}, // before PLTE
      {Before(pal, "IDAT", Chunk("tRNS", "12345")), PNG_R_CRC}, // beyond the palette
      {Before(grey, "IDAT", Chunk("tRNS", "1234")), PNG_R_CRC}, // a grey key is 2 bytes
      {Before(grey, "IDAT", Chunk("PLTE", "ab")), PNG_R_OK},    // grey: skipped
      {Before(rgba, "IDAT", Chunk("tRNS", "1")), PNG_R_OK},     // alpha: ignored
  };
  for (const auto &c : cases) {
    png_image png;
    std::vector<uint8_t> out;
    EXPECT_EQ(c.result, Decode(c.file, png, out)) << &c - cases;
  }
  png_image png;
  std::vector<uint8_t> out;
  ASSERT_EQ(PNG_R_OK, Decode(cases[1].file, png, out));
  EXPECT_EQ(0xFF616263u, png_image_pixel(&png, &out[0]));
  EXPECT_EQ(0xFF000000u, png_image_pixel(&png, &out[1])); // opaque black, like libpng
}

TEST_F(Reader, HeaderFaults) {
  png_image png;
  std::vector<uint8_t> out;
  std::string f = Small();
  f[1] = 'Q';
  EXPECT_EQ(PNG_R_HEADER, Decode(f, png, out));
  f = Small();
  Put32(f, 8, 14); // first chunk length 14: a length error, not a header error
  EXPECT_EQ(PNG_R_CRC, Decode(f, png, out));
  f = Small();
  f[20] ^= 1; // inside IHDR: CRC mismatch
  EXPECT_EQ(PNG_R_CRC, Decode(f, png, out));
  EXPECT_EQ(PNG_R_EOF, Decode(Small().substr(0, 7), png, out));
  EXPECT_EQ(PNG_R_EOF, Decode(Small().substr(0, 20), png, out));
  EXPECT_EQ(PNG_R_FILE, png_open_file_read(&png, "missing.png"));
  EXPECT_EQ(PNG_R_FILE, Decode(Small().substr(0, 40), png, out)); // chunk loop runs dry

  // A first chunk of length 13 with a good CRC counts as the header,
  // whatever its type.
  f = Small();
  f.replace(12, 4, "XHDR");
  Put32(f, 29, Crc(f, 12, 17));
  EXPECT_EQ(PNG_R_OK, Decode(f, png, out));
  EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 4, 5, 6}), out);
}

TEST_F(Reader, DataFaults) {
  png_image png;
  std::vector<uint8_t> out;
  const std::string good = Small();
  const size_t idat = good.find("IDAT");
  const uint32_t n = uint32_t(uint8_t(good[idat - 2])) << 8 | uint8_t(good[idat - 1]);
  std::string f = good;
  f[idat + 4 + 2] ^= 0x40; // a corrupted IDAT byte: caught by the CRC before zlib
  EXPECT_EQ(PNG_R_CRC, Decode(f, png, out));
  // The same with a matching CRC: now zlib sees it.
  Put32(f, idat + 4 + n, Crc(f, idat, 4 + n));
  EXPECT_EQ(PNG_R_ZLIB, Decode(f, png, out));
  // Filter type 5 stops the decoding.
  std::vector<uint8_t> filtered = {5, 1, 2, 3, 0, 4, 5, 6};
  EXPECT_EQ(PNG_R_FILTER, Decode(
                              good.substr(0, idat - 4) +
                                  [&] {
                                    std::string z(64, '\0');
                                    uLongf zn = z.size();
                                    compress(reinterpret_cast<Bytef *>(&z[0]), &zn, filtered.data(),
                                             filtered.size());
                                    z.resize(zn);
                                    std::string chunk = "IDAT" + z;
                                    std::string len(4, '\0'), crc(4, '\0');
                                    Put32(len, 0, uint32_t(z.size()));
                                    Put32(crc, 0, Crc(chunk, 0, chunk.size()));
                                    return len + chunk + crc;
                                  }() +
                                  good.substr(good.find("IEND") - 4),
                              png, out));
  // The image data stop short of the picture.
  filtered.resize(4);
  std::string z(64, '\0');
  uLongf zn = z.size();
  compress(reinterpret_cast<Bytef *>(&z[0]), &zn, filtered.data(), filtered.size());
  z.resize(zn);
  std::string chunk = "IDAT" + z, len(4, '\0'), crc(4, '\0');
  Put32(len, 0, uint32_t(z.size()));
  Put32(crc, 0, Crc(chunk, 0, chunk.size()));
  EXPECT_EQ(PNG_R_ZLIB, Decode(good.substr(0, idat - 4) + len + chunk + crc +
                                   good.substr(good.find("IEND") - 4),
                               png, out));
  // IEND before any image data.
  EXPECT_EQ(PNG_R_FILE,
            Decode(good.substr(0, idat - 4) + good.substr(good.find("IEND") - 4), png, out));
  // A second run of IDAT chunks after another chunk.
  const std::string idatChunk = good.substr(idat - 4, n + 12);
  std::string twoRuns = good.substr(0, idat + 8 + n) + std::string("\0\0\0\0tEXt", 8) +
                        std::string("\x00\x00\x00\x00", 4) /* crc, not checked */ + idatChunk +
                        good.substr(good.find("IEND") - 4);
  EXPECT_EQ(PNG_R_FILE, Decode(twoRuns, png, out));
}

uint32_t Crc(const std::string &s, size_t at, size_t n) {
  return uint32_t(
      crc32(crc32(0, Z_NULL, 0), reinterpret_cast<const Bytef *>(s.data() + at), uInt(n)));
}

// Encoders may write an IDAT chunk without data, at the start of the run,
// between two chunks or at its end; libpng takes such files, and so do we.
TEST_F(Reader, EmptyImageDataChunksAreTaken) {
  PngSpec s;
  s.width = 20;
  s.height = 10;
  s.colorType = 6;
  s.idatSize = 100; // several IDAT chunks
  const std::string good = LibpngWrite(s, Samples(s, 9));
  const std::string empty("\0\0\0\0IDAT\x35\xAF\x06\x1E", 12);
  const size_t first = good.find("IDAT") - 4;
  const size_t second = good.find("IDAT", first + 8) - 4;
  const size_t end = good.find("IEND") - 4;
  ASSERT_LT(second, end);
  const std::string files[] = {good.substr(0, first) + empty + good.substr(first),
                               good.substr(0, second) + empty + good.substr(second),
                               good.substr(0, end) + empty + good.substr(end),
                               good.substr(0, first) + empty + empty +
                                   good.substr(first, second - first) + empty +
                                   good.substr(second, end - second) + empty + good.substr(end)};
  for (const std::string &file : files) {
    SCOPED_TRACE(&file - files);
    uint32_t w, h;
    int ct, d;
    bool il;
    std::vector<uint8_t> expected;
    ASSERT_TRUE(LibpngRead(file, w, h, ct, d, il, expected));
    png_image png;
    std::vector<uint8_t> out;
    ASSERT_EQ(PNG_R_OK, Decode(file, png, out));
    EXPECT_EQ(expected, out);
    ASSERT_EQ(PNG_R_OK, DecodeMem(file, png, out));
    EXPECT_EQ(expected, out);
  }
  // Empty chunks alone hold no picture.
  EXPECT_EQ(PNG_R_ZLIB, [&] {
    png_image png;
    std::vector<uint8_t> out;
    return Decode(good.substr(0, first) + empty + empty + good.substr(end), png, out);
  }());
}

TEST_F(Reader, MemoryRouteNeverReadsPastItsEnd) {
  const std::string good = Small();
  png_image png;
  std::vector<uint8_t> out;
  // (IEND's own CRC is never read: the last four bytes may be missing.)
  for (size_t cut = 0; cut < good.size() - 4; ++cut) {
    // A copy of exactly the cut length, so that a read past it would show.
    const std::string part = good.substr(0, cut);
    EXPECT_LT(DecodeMem(part, png, out), 0) << cut;
  }
  EXPECT_EQ(PNG_R_OK, DecodeMem(good, png, out));
  memset(&png, 0, sizeof png);
  EXPECT_EQ(PNG_R_ARGUMENTS, png_open_mem_read(&png, nullptr, 100));
}

TEST_F(Reader, CallbackRoute) {
  struct Source {
    std::string data;
    size_t pos = 0;
  } source{Small()};
  auto read = [](void *buffer, dword size, dword count, dword handle) -> dword {
    Source *s = reinterpret_cast<Source *>(handle);
    const size_t want = size_t(size) * count, n = std::min(want, s->data.size() - s->pos);
    if (buffer) memcpy(buffer, s->data.data() + s->pos, n);
    s->pos += n;
    return dword(n / size);
  };
  png_image png;
  memset(&png, 0, sizeof png);
  ASSERT_EQ(PNG_R_OK, png_open_read(&png, read, dword(&source)));
  std::vector<uint8_t> out(6);
  ASSERT_EQ(PNG_R_OK, png_get_data(&png, out.data()));
  EXPECT_EQ((std::vector<uint8_t>{1, 2, 3, 4, 5, 6}), out);
  memset(&png, 0, sizeof png);
  png.from_file = 1;
  EXPECT_EQ(PNG_R_ARGUMENTS, png_open_read(&png, nullptr, 0));
}

TEST_F(Reader, AllocationFailuresAreReported) {
  PngSpec s;
  s.width = 20;
  s.height = 10;
  s.colorType = 6;
  const std::string file = LibpngWrite(s, Samples(s, 3));
  for (dword nth = 1; nth <= 6; ++nth) {
    png_image png;
    std::vector<uint8_t> out;
    Sim_FailAllocNth(nth);
    const int r = Decode(file, png, out);
    Sim_FailAllocNth(0);
    EXPECT_TRUE(r == PNG_R_MEMORY || r == PNG_R_ZLIB || r == PNG_R_OK) << nth << ": " << r;
  }
}

// Refused when the header is read, before any allocation, the header
// filled in: pictures too large or empty, and what PNG does not define.
TEST_F(Reader, HeadersRefusedBeforeAllocation) {
  const struct {
    uint32_t w, h;
    int depth, type, interlace;
  } cases[] = {{0, 1, 8, 0, 0},
               {4097 * 4096, 4096, 8, 0, 0},
               {0xFFFFFFFF, 4096, 8, 0, 0},
               {3, 2, 4, 2, 0},
               {3, 2, 16, 3, 0},
               {3, 2, 1, 4, 0},
               {3, 2, 2, 6, 0},
               {3, 2, 3, 0, 0},
               {3, 2, 8, 5, 0},
               {3, 2, 8, 0, 2}};
  for (const auto &c : cases) {
    std::string f = Small();
    Put32(f, 16, c.w);
    Put32(f, 20, c.h);
    f[24] = char(c.depth);
    f[25] = char(c.type);
    f[28] = char(c.interlace);
    Put32(f, 29, Crc(f, 12, 17));
    png_image png;
    std::vector<uint8_t> out;
    const dword before = Sim_AllocCount();
    EXPECT_EQ(PNG_R_UNSUPPORTED, Decode(f, png, out)) << c.w << ", " << c.type << "/" << c.depth;
    EXPECT_EQ(before, Sim_AllocCount());
    EXPECT_TRUE(png.depth == c.depth && png.color_type == c.type && png.interlace == c.interlace);
  }
}

// Every kind, depth, filter, size, interlacing and transparency PngSuite
// has: libpng's pixels (tRNS expanded, 16 bits reduced to the high byte).
TEST_F(Reader, PngSuite) {
  const std::string dir = TestDataDir("pngsuite");
  if (dir.empty()) SKIP_OR_FAIL_ON_CI("no PngSuite in ../shared/testdata");
  DIR *d = opendir(dir.c_str());
  ASSERT_NE(nullptr, d);
  std::vector<std::string> names;
  while (dirent *e = readdir(d))
    if (strstr(e->d_name, ".png")) names.push_back(e->d_name);
  closedir(d);
  std::sort(names.begin(), names.end());
  int decoded = 0, refused = 0, twins = 0;
  for (const std::string &name : names) {
    std::string file;
    ASSERT_TRUE(ReadHostFile(dir + "/" + name, file));
    png_image png;
    std::vector<uint8_t> out;
    const int r = Decode(file, png, out);
    if (name[0] == 'x') { // corrupt, every one
      EXPECT_LT(r, 0) << name;
      EXPECT_TRUE(r == PNG_R_UNSUPPORTED || r == PNG_R_HEADER || r == PNG_R_CRC ||
                  r == PNG_R_FILE || r == PNG_R_EOF || r == PNG_R_ZLIB || r == PNG_R_FILTER)
          << name << ": " << r;
      ++refused;
      continue;
    }
    uint32_t w, h;
    std::vector<uint32_t> expected;
    ASSERT_TRUE(LibpngReadArgb(file, w, h, expected)) << name;
    ASSERT_EQ(PNG_R_OK, r) << name;
    std::vector<uint32_t> pixels(size_t(w) * h);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = png_image_pixel(&png, &out[i * png.bpp]);
    EXPECT_EQ(expected, pixels) << name;
    ++decoded;
    // basiXXXX.png is basnXXXX.png interlaced: the same bytes out.
    std::string twin;
    if (name.compare(0, 4, "basi") == 0 && ReadHostFile(dir + "/basn" + name.substr(4), twin)) {
      std::vector<uint8_t> twinOut;
      EXPECT_EQ(PNG_R_OK, Decode(twin, png, twinOut));
      EXPECT_EQ(twinOut, out) << name;
      ++twins;
    }
  }
  EXPECT_GT(decoded, 150);
  EXPECT_EQ(14, refused);
  EXPECT_EQ(15, twins);
}

TEST(PngCodec, BytesPerPixelAndTexts) {
  png_image png;
  memset(&png, 0, sizeof png);
  const int table[][3] = {{0, 8, 1}, {0, 16, 2}, {2, 8, 3}, {2, 16, 6}, {3, 8, 1},
                          {0, 1, 1}, {0, 4, 1},  {3, 2, 1}, {4, 8, 2},  {4, 16, 4},
                          {6, 8, 4}, {6, 16, 8}, {5, 8, -1}};
  for (const auto &t : table) {
    png.color_type = uint8_t(t[0]);
    png.depth = uint8_t(t[1]);
    EXPECT_EQ(t[2], png_get_bpp(&png)) << t[0] << "/" << t[1];
  }
  EXPECT_STREQ("PNG done", png_error_string(PNG_R_DONE, 0));
  EXPECT_STREQ("kein Fehler", png_error_string(PNG_R_OK, 1));
  EXPECT_STREQ("CRC or chunk length error.", png_error_string(PNG_R_CRC, 0));
  EXPECT_STREQ("Pr\xFC"
               "fsumme oder Chunk-L\xE4nge falsch",
               png_error_string(PNG_R_CRC, 1));
  EXPECT_STREQ("The PNG is unsupported by this decoder, too bad for you!",
               png_error_string(PNG_R_UNSUPPORTED, 0));
  EXPECT_STREQ("Das PNG wird aufgrund seiner Farbpalette nicht von diesem Decoder unterst\xFCtzt.",
               png_error_string(PNG_R_PALETTE, 2));
  EXPECT_STREQ("Unknown error.", png_error_string(-13, 0));
  EXPECT_STREQ("unbekannter Fehler", png_error_string(2, 1));
  byte b[4];
  set_ul(b, 0x12345678);
  EXPECT_EQ(0x12, b[0]);
  EXPECT_EQ(0x12345678u, get_ul(b));
}

} // namespace
