// The bitmap front end in jpgcmd's build (stdio and malloc): it must take and
// refuse exactly what the plug-in's build does and write the same bytes.
#define DIB_STDIO 1

#include <stdio.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bmp2jpg.h"
#include "bmp_files.h"
#include "jpeg_support.h"

namespace {

// A temporary file holding the bytes, positioned at its start.
FILE *FileOf(const std::string &bytes) {
  FILE *f = tmpfile();
  if (!f) return nullptr;
  if (fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || fseek(f, 0, SEEK_SET) != 0) {
    fclose(f);
    return nullptr;
  }
  return f;
}

std::string Contents(FILE *f) {
  std::string s;
  if (fseek(f, 0, SEEK_SET) != 0) return s;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
  return s;
}

TEST(DibStdio, ReadsLikeThePlugInBuild) {
  for (const bt::ReadCase &c : bt::ReadCases()) {
    SCOPED_TRACE(c.name);
    FILE *f = FileOf(c.file);
    ASSERT_NE(nullptr, f);
    DibImage dib = {};
    ASSERT_EQ(c.result, ReadDIBFile(&dib, f));
    if (c.result == 1) {
      EXPECT_EQ(c.colorFormat, dib.colorFormat);
      EXPECT_EQ(c.file.substr(bt::Field(c.file, 10, 4), size_t(dib.imageSize)),
                std::string(reinterpret_cast<char *>(dib.pixels), size_t(dib.imageSize)));
      EXPECT_EQ(long(c.file.size()), ftell(f));
    }
    DestoryDIB(&dib);
    EXPECT_EQ(nullptr, dib.pixels);
    // The header alone: the same verdict and record, and where the pixels are.
    ASSERT_EQ(0, fseek(f, 0, SEEK_SET));
    DibImage head = {};
    uint32_t offset = 0;
    ASSERT_EQ(c.result, ReadDIBHeader(&head, f, &offset));
    EXPECT_EQ(nullptr, head.pixels);
    if (c.result == 1) {
      EXPECT_EQ(uint32_t(bt::Field(c.file, 10, 4)), offset);
      EXPECT_EQ(c.colorFormat, head.colorFormat);
    }
    fclose(f);
  }
}

TEST(DibStdio, WritesTheSameBytes) {
  // The 5-5-5 case: masks, offset 66, and the file size patched at offset 2.
  bt::Bmp b;
  b.width = 3;
  b.height = 2;
  b.bitsPerPixel = 16;
  b.compression = 3;
  b.masks = {0x7C00, 0x03E0, 0x001F};
  const std::string original = bt::Build(b);
  FILE *in = FileOf(original);
  ASSERT_NE(nullptr, in);
  DibImage dib = {};
  ASSERT_EQ(1, ReadDIBFile(&dib, in));
  fclose(in);
  FILE *out = tmpfile();
  ASSERT_NE(nullptr, out);
  ASSERT_EQ(1, WriteDIBFile(&dib, out));
  std::string written = Contents(out);
  fclose(out);
  // Ours differs from the built file only in the resolution (72, not 2835).
  std::string expected = original;
  expected.replace(38, 8, bt::Le(72, 4) + bt::Le(72, 4));
  EXPECT_EQ(expected, written);
  DestoryDIB(&dib);
}

TEST(DibStdio, ConvertsLikeTheEncoder) {
  bt::Bmp b;
  b.width = 33;
  b.height = 17;
  FILE *in = FileOf(bt::Build(b));
  ASSERT_NE(nullptr, in);
  DibImage dib = {};
  ASSERT_EQ(1, ReadDIBFile(&dib, in));
  fclose(in);
  FILE *out = tmpfile();
  ASSERT_NE(nullptr, out);
  ASSERT_EQ(1, BMPtoJPEG(50, 2, 1, IJ_SAMPLING_422, &dib, out));
  const std::string s = Contents(out);
  fclose(out);

  jt::Picture p;
  p.width = 33;
  p.height = 17;
  p.channels = 3;
  for (int y = 16; y >= 0; --y) {
    const uint8_t *row = dib.pixels + size_t(y) * size_t(dib.stride);
    p.pixels.insert(p.pixels.end(), row, row + 99);
  }
  jt::Settings settings;
  settings.quality = 50;
  settings.restart = 2;
  settings.sampling = IJ_SAMPLING_422;
  EXPECT_EQ(jt::Encode(p, settings).bytes, std::vector<uint8_t>(s.begin(), s.end()));
  DestoryDIB(&dib);
}

} // namespace
