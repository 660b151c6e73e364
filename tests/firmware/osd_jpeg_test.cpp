// The firmware's JPEG decoder: pictures written here with libjpeg, decoded
// to the requested size, and files it must refuse without leaking memory.
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <functional>
#include <string>
#include <vector>

// jpeglib.h relies on stdio.h and stddef.h coming first.
#include <jpeglib.h>

#include "testdisk.h"

namespace {

using PixelFn = std::function<void(int x, int y, unsigned char *out)>;

// Writes a JPEG of the given colour space with libjpeg at quality 100 and no
// chroma subsampling, so that colours come back close to what went in.
std::string EncodeJpeg(int w, int h, J_COLOR_SPACE space, int comps, const PixelFn &fn,
                       bool progressive = false) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char *mem = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &mem, &size);
  c.image_width = JDIMENSION(w);
  c.image_height = JDIMENSION(h);
  c.input_components = comps;
  c.in_color_space = space;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 100, TRUE);
  for (int i = 0; i < c.num_components; ++i) c.comp_info[i].h_samp_factor = 1;
  for (int i = 0; i < c.num_components; ++i) c.comp_info[i].v_samp_factor = 1;
  if (progressive) jpeg_simple_progression(&c);
  jpeg_start_compress(&c, TRUE);
  std::vector<unsigned char> row(size_t(w) * comps);
  while (c.next_scanline < c.image_height) {
    for (int x = 0; x < w; ++x) fn(x, int(c.next_scanline), &row[size_t(x) * comps]);
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&c, rows, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::string bytes(reinterpret_cast<char *>(mem), size);
  free(mem);
  return bytes;
}

std::string SolidRgb(int w, int h, unsigned r, unsigned g, unsigned b) {
  return EncodeJpeg(w, h, JCS_RGB, 3, [=](int, int, unsigned char *o) {
    o[0] = static_cast<unsigned char>(r);
    o[1] = static_cast<unsigned char>(g);
    o[2] = static_cast<unsigned char>(b);
  });
}

// Red, green, blue and white quadrants.
std::string Quadrants(int size, bool progressive = false) {
  return EncodeJpeg(
      size, size, JCS_RGB, 3,
      [=](int x, int y, unsigned char *o) {
        const bool right = x >= size / 2, bottom = y >= size / 2;
        o[0] = (!right && !bottom) || (right && bottom) ? 255 : 0;
        o[1] = (right && !bottom) || (right && bottom) ? 255 : 0;
        o[2] = bottom ? 255 : 0;
      },
      progressive);
}

::testing::AssertionResult Near(uint32_t got, unsigned r, unsigned g, unsigned b, unsigned tol) {
  const unsigned gr = (got >> 16) & 0xFF, gg = (got >> 8) & 0xFF, gb = got & 0xFF;
  auto off = [&](unsigned a, unsigned e) { return a > e ? a - e : e - a; };
  if ((got >> 24) == 0xFF && off(gr, r) <= tol && off(gg, g) <= tol && off(gb, b) <= tol)
    return ::testing::AssertionSuccess();
  char buf[96];
  snprintf(buf, sizeof buf, "got 0x%08X, expected about 0xFF%02X%02X%02X", unsigned(got), r, g, b);
  return ::testing::AssertionFailure() << buf;
}

class JpegTest : public SimTest {
protected:
  // Puts a file into the plug-in's current directory, /ProgramFiles.
  void Put(const std::string &name, const std::string &bytes) {
    ASSERT_TRUE(WriteHostFile(Host("/ProgramFiles/" + name), bytes));
  }
  // Decodes a file of the current directory with the flags callers pass.
  uint32_t *Decode(const char *name, dword w, dword h) {
    return TAP_Osd_DecompressJpeg(name, w, h, 0);
  }
  void Free(uint32_t *px) {
    EXPECT_EQ(1, TAP_MemFree(px));
    EXPECT_EQ(0u, Sim_HeapBlocksTotal());
  }
  void ExpectRefused(const char *name, dword w, dword h) {
    EXPECT_EQ(nullptr, Decode(name, w, h)) << name << " " << w << "x" << h;
    EXPECT_EQ(0u, Sim_HeapBlocksTotal());
  }
};

TEST_F(JpegTest, SolidColourAtItsOwnSizeSmallerAndLarger) {
  Put("solid.jpg", SolidRgb(16, 16, 0x20, 0x80, 0xE0));
  const dword sizes[][2] = {{16, 16}, {5, 3}, {1, 1}, {40, 25}, {16, 100}};
  for (const auto &s : sizes) {
    SCOPED_TRACE(std::to_string(s[0]) + "x" + std::to_string(s[1]));
    uint32_t *px = Decode("solid.jpg", s[0], s[1]);
    ASSERT_NE(nullptr, px);
    EXPECT_EQ(1u, Sim_HeapBlocksTotal());
    for (dword i = 0; i < s[0] * s[1]; ++i) ASSERT_TRUE(Near(px[i], 0x20, 0x80, 0xE0, 3)) << i;
    Free(px);
  }
}

TEST_F(JpegTest, ScalingKeepsThePictureInPlace) {
  Put("quad.jpg", Quadrants(64));
  // Halving area by area: each output pixel covers 8 x 8 source pixels.
  uint32_t *px = Decode("quad.jpg", 8, 8);
  ASSERT_NE(nullptr, px);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const bool right = x >= 4, bottom = y >= 4;
      const unsigned r = (!right && !bottom) || (right && bottom) ? 255 : 0;
      const unsigned g = right ? 255 : 0, b = bottom ? 255 : 0;
      EXPECT_TRUE(Near(px[y * 8 + x], r, g, b, 6)) << x << "," << y;
    }
  Free(px);
  // Three by three: the centre pixel covers equal parts of all quadrants.
  px = Decode("quad.jpg", 3, 3);
  ASSERT_NE(nullptr, px);
  EXPECT_TRUE(Near(px[4], 128, 128, 128, 6));
  EXPECT_TRUE(Near(px[0], 255, 0, 0, 6));
  EXPECT_TRUE(Near(px[8], 255, 255, 255, 6));
  Free(px);
  // Enlarged, rows from the top.
  px = Decode("quad.jpg", 128, 96);
  ASSERT_NE(nullptr, px);
  EXPECT_TRUE(Near(px[10 * 128 + 10], 255, 0, 0, 6));
  EXPECT_TRUE(Near(px[10 * 128 + 120], 0, 255, 0, 6));
  EXPECT_TRUE(Near(px[90 * 128 + 10], 0, 0, 255, 6));
  EXPECT_TRUE(Near(px[90 * 128 + 120], 255, 255, 255, 6));
  Free(px);
}

TEST_F(JpegTest, LargePicturesAndProgressiveOnesScaleDown) {
  // 512 a side to 16 goes through the decoder's own 1/8 reduction first.
  Put("big.jpg", Quadrants(512));
  Put("prog.jpg", Quadrants(96, true));
  for (const char *name : {"big.jpg", "prog.jpg"}) {
    SCOPED_TRACE(name);
    uint32_t *px = Decode(name, 16, 12);
    ASSERT_NE(nullptr, px);
    EXPECT_TRUE(Near(px[2 * 16 + 2], 255, 0, 0, 8));
    EXPECT_TRUE(Near(px[2 * 16 + 13], 0, 255, 0, 8));
    EXPECT_TRUE(Near(px[10 * 16 + 2], 0, 0, 255, 8));
    EXPECT_TRUE(Near(px[10 * 16 + 13], 255, 255, 255, 8));
    Free(px);
  }
}

TEST_F(JpegTest, GreyAndCmykPicturesComeOutAsRgb) {
  Put("grey.jpg",
      EncodeJpeg(10, 10, JCS_GRAYSCALE, 1, [](int, int, unsigned char *o) { o[0] = 0x60; }));
  uint32_t *px = Decode("grey.jpg", 7, 7);
  ASSERT_NE(nullptr, px);
  for (int i = 0; i < 49; ++i) ASSERT_TRUE(Near(px[i], 0x60, 0x60, 0x60, 2)) << i;
  Free(px);

  // libjpeg marks CMYK files as Adobe's, whose inks are stored inverted
  // (255 = no ink): full magenta ink on no black gives magenta's RGB.
  Put("cmyk.jpg", EncodeJpeg(8, 8, JCS_CMYK, 4, [](int x, int, unsigned char *o) {
        o[0] = 255;
        o[1] = 0;
        o[2] = 255;
        o[3] = x < 4 ? 255 : 0; // right half: full black
      }));
  px = Decode("cmyk.jpg", 8, 8);
  ASSERT_NE(nullptr, px);
  EXPECT_TRUE(Near(px[0], 255, 0, 255, 6));
  EXPECT_TRUE(Near(px[7], 0, 0, 0, 6));
  Free(px);
}

TEST_F(JpegTest, NamesAreTakenFromTheCurrentDirectory) {
  const std::string solid = SolidRgb(4, 4, 200, 100, 50);
  ASSERT_EQ(0, mkdir(Host("/Logos").c_str(), 0755));
  ASSERT_TRUE(WriteHostFile(Host("/Logos/a.jpg"), solid));
  ExpectRefused("a.jpg", 4, 4);
  uint32_t *px = Decode("../Logos/a.jpg", 4, 4);
  ASSERT_NE(nullptr, px);
  EXPECT_TRUE(Near(px[0], 200, 100, 50, 3));
  Free(px);
  ASSERT_EQ(1, TAP_Hdd_ChangeDir("/Logos"));
  px = Decode("a.jpg", 4, 4);
  ASSERT_NE(nullptr, px);
  Free(px);
  // Names that would leave the disk, missing names and folders give null.
  ExpectRefused("../../../../etc/passwd", 4, 4);
  ExpectRefused("missing.jpg", 4, 4);
  ExpectRefused("", 4, 4);
  ExpectRefused(nullptr, 4, 4);
  ASSERT_EQ(0, mkdir(Host("/Logos/dir.jpg").c_str(), 0755));
  ExpectRefused("dir.jpg", 4, 4);
}

TEST_F(JpegTest, BrokenFilesGiveNullAndLeaveNothingAllocated) {
  const std::string good = Quadrants(64);
  Put("good.jpg", good);
  const size_t cuts[] = {0, 2, 100, good.size() / 2, good.size() - 2};
  for (size_t cut : cuts) {
    SCOPED_TRACE(cut);
    Put("cut.jpg", good.substr(0, cut));
    ExpectRefused("cut.jpg", 64, 64);
  }
  Put("text.jpg", "This is not a picture at all.\n");
  ExpectRefused("text.jpg", 8, 8);
  // Entropy data replaced by a marker in the middle of the picture.
  std::string corrupt = good;
  const size_t sos = corrupt.find("\xFF\xDA");
  ASSERT_NE(std::string::npos, sos);
  corrupt.replace(sos + 200, 2, "\xFF\xD0");
  Put("corrupt.jpg", corrupt);
  ExpectRefused("corrupt.jpg", 64, 64);

  // The good one still decodes after all that.
  uint32_t *px = Decode("good.jpg", 64, 64);
  ASSERT_NE(nullptr, px);
  Free(px);
}

TEST_F(JpegTest, SizesAndMemoryAreBounded) {
  const std::string good = SolidRgb(16, 16, 1, 2, 3);
  Put("good.jpg", good);
  ExpectRefused("good.jpg", 0, 16);
  ExpectRefused("good.jpg", 16, 0);
  ExpectRefused("good.jpg", 8193, 1);
  ExpectRefused("good.jpg", 1, 100000);

  // Pictures wider or taller than 8192 pixels are refused even when sound:
  // a header of a few bytes can claim a gigapixel.
  Put("wide.jpg", SolidRgb(8192, 8, 10, 20, 30));
  Put("wider.jpg", SolidRgb(8193, 8, 10, 20, 30));
  Put("tall.jpg", SolidRgb(8, 8193, 10, 20, 30));
  uint32_t *wide = Decode("wide.jpg", 64, 8);
  ASSERT_NE(nullptr, wide);
  EXPECT_TRUE(Near(wide[63], 10, 20, 30, 3));
  Free(wide);
  ExpectRefused("wider.jpg", 64, 8);
  ExpectRefused("tall.jpg", 8, 64);

  // The result block comes from the plug-in heap: when it cannot be had,
  // nothing is returned and nothing is left behind.
  Sim_FailAllocNth(1);
  ExpectRefused("good.jpg", 16, 16);
  Sim_FailAllocAbove(1000);
  ExpectRefused("good.jpg", 16, 16);
  uint32_t *px = Decode("good.jpg", 15, 16); // 960 bytes
  ASSERT_NE(nullptr, px);
  Free(px);
}

} // namespace
