// The PNG reader against libpng: every supported kind decodes to libpng's
// samples (16-bit ones low byte first), everything else is refused with its
// code, and corrupt files never get through.
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

TEST_F(Reader, UnsupportedKindsAreRefusedWithTheirHeader) {
  struct Case {
    int type, depth;
    bool interlace;
  } cases[] = {{3, 8, false}, {0, 4, false}, {0, 1, false}, {6, 8, true}, {2, 16, true}};
  for (const Case &c : cases) {
    PngSpec s;
    s.width = 9;
    s.height = 5;
    s.colorType = c.type;
    s.depth = c.depth;
    s.interlace = c.interlace;
    png_image png;
    std::vector<uint8_t> out;
    EXPECT_EQ(PNG_R_UNSUPPORTED, Decode(LibpngWrite(s, Samples(s, 1)), png, out)) << c.type;
    EXPECT_EQ(9u, png.width);
    EXPECT_EQ(5u, png.height);
    EXPECT_EQ(c.depth, png.depth);
    EXPECT_EQ(c.type, png.color_type);
    EXPECT_EQ(c.interlace ? 1 : 0, png.interlace);
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

TEST_F(Reader, OversizedHeadersAreRefusedBeforeAllocation) {
  for (uint32_t size : {0u, 4097u * 4096u, 0xFFFFFFFFu}) {
    std::string f = Small();
    Put32(f, 16, size);
    Put32(f, 20, size ? 4096 : 1);
    Put32(f, 29, Crc(f, 12, 17));
    png_image png;
    std::vector<uint8_t> out;
    const dword before = Sim_AllocCount();
    EXPECT_EQ(PNG_R_UNSUPPORTED, Decode(f, png, out)) << size;
    EXPECT_EQ(before, Sim_AllocCount());
  }
}

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
  int decoded = 0, refused = 0;
  for (const std::string &name : names) {
    std::string file;
    ASSERT_TRUE(ReadHostFile(dir + "/" + name, file));
    uint32_t w, h;
    int ct, depth;
    bool il;
    std::vector<uint8_t> expected;
    const bool libpng = LibpngRead(file, w, h, ct, depth, il, expected);
    png_image png;
    std::vector<uint8_t> out;
    const int r = Decode(file, png, out);
    if (name[0] == 'x') {
      EXPECT_LT(r, 0) << name << " is corrupt";
    }
    if (r == PNG_R_OK) {
      ++decoded;
      ASSERT_TRUE(libpng) << name;
      EXPECT_EQ(LowByteFirst(expected, depth), out) << name;
    } else {
      ++refused;
      const bool supported = libpng && !il && (depth == 8 || depth == 16) && ct != 3;
      EXPECT_FALSE(supported) << name << " was refused with " << r;
      EXPECT_TRUE(r == PNG_R_UNSUPPORTED || r == PNG_R_HEADER || r == PNG_R_CRC ||
                  r == PNG_R_FILE || r == PNG_R_EOF || r == PNG_R_ZLIB || r == PNG_R_FILTER)
          << name << ": " << r;
    }
  }
  EXPECT_GT(decoded, 20);
  EXPECT_GT(refused, 20);
}

TEST(PngCodec, BytesPerPixelAndTexts) {
  png_image png;
  memset(&png, 0, sizeof png);
  const int table[][3] = {{0, 8, 1}, {0, 16, 2}, {2, 8, 3}, {2, 16, 6}, {3, 8, 1},
                          {4, 8, 2}, {4, 16, 4}, {6, 8, 4}, {6, 16, 8}, {5, 8, -1}};
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
