// Fax TIFFs converted from their files (strips read as the PDF is written)
// must come out exactly as the same bytes converted in memory.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "imagelib/imageio.h"
#include "support/image_maker.h"
#include "testing/files.h"
#include "testing/temp_dir.h"

using namespace zv::companion;
using namespace zv::test;
using zv::testing::ReadText;
using zv::testing::TempDir;
using zv::testing::WriteText;

namespace {

Bitmap Cells(int w, int h) {
  Bitmap b;
  b.width = w;
  b.height = h;
  b.px.resize(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.at(x, y) = ((x / 8) * 5 + (y / 8) * 3) % 4 == 0;
  return b;
}

// A G4 page stored least significant bit first (libtiff reverses the bytes on
// the way out), the fill order the PDF filter cannot read as it is.
std::string LsbFirstFax(const std::string& path, const Bitmap& b) {
  TIFF* t = TIFFOpen(path.c_str(), "w");
  if (t == nullptr) return {};
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, b.width);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, b.height);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(t, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, b.height);
  std::vector<unsigned char> row((b.width + 7) / 8);
  for (int y = 0; y < b.height; ++y) {
    std::fill(row.begin(), row.end(), 0);
    for (int x = 0; x < b.width; ++x)
      if (b.px[static_cast<std::size_t>(y) * b.width + x] != 0)
        row[x / 8] = static_cast<unsigned char>(row[x / 8] | (0x80 >> (x % 8)));
    TIFFWriteScanline(t, row.data(), static_cast<uint32_t>(y), 0);
  }
  TIFFClose(t);
  return ReadText(path);
}

std::string InMemory(const std::string& bytes, int pages) {
  std::string pdf;
  EXPECT_EQ(ConvertImageToPdfInMemory(bytes, pdf), pages);
  return pdf;
}

TEST(ImageTiffFile, SameBytesAsInMemoryForEveryKindOfPage) {
  const TempDir tmp;
  const std::string dir = tmp.path();
  // Fax pages passed through, with a decoded page (several strips) between.
  const std::string mixed = MakeTiff({
      {Cells(200, 120), COMPRESSION_CCITTFAX4, PHOTOMETRIC_MINISWHITE, 1, 200},
      {Cells(64, 50), COMPRESSION_CCITTFAX4, PHOTOMETRIC_MINISWHITE, 1, 0, 8},
      {Cells(96, 40), COMPRESSION_CCITTFAX3, PHOTOMETRIC_MINISBLACK, 1, 0, 0, GROUP3OPT_FILLBITS},
      {Pattern(17, 9, 3), COMPRESSION_LZW, PHOTOMETRIC_RGB, 8, 0},
  });
  WriteText(dir + "/mixed.tif", mixed);
  ASSERT_EQ(ConvertImageFileToPdf(dir + "/mixed.tif", dir + "/mixed.pdf"), 4);
  EXPECT_EQ(ReadText(dir + "/mixed.pdf"), InMemory(mixed, 4));
  const auto images = InspectPdf(ReadText(dir + "/mixed.pdf"));
  ASSERT_EQ(images.size(), 4u);
  EXPECT_EQ(images[0].filter, "/CCITTFaxDecode");
  EXPECT_EQ(images[1].filter, "/FlateDecode");
  EXPECT_EQ(images[2].filter, "/CCITTFaxDecode");

  const std::string lsb = LsbFirstFax(dir + "/lsb.tif", Cells(80, 64));
  ASSERT_FALSE(lsb.empty());
  ASSERT_EQ(ConvertImageFileToPdf(dir + "/lsb.tif", dir + "/lsb.pdf"), 1);
  EXPECT_EQ(ReadText(dir + "/lsb.pdf"), InMemory(lsb, 1));
}

TEST(ImageTiffFile, StripPastTheEndFailsWithoutTarget) {
  const TempDir tmp;
  const std::string dir = tmp.path();
  const std::string tiff = MakeTiff({{Cells(80, 80), COMPRESSION_CCITTFAX4, PHOTOMETRIC_MINISWHITE, 1, 0}});
  // Point the strip past the end of the file (the directory follows the strip).
  std::string bad = tiff;
  std::uint32_t dirAt;
  std::memcpy(&dirAt, &bad[4], 4);
  std::uint16_t entries;
  std::memcpy(&entries, &bad[dirAt], 2);
  bool patched = false;
  for (int e = 0; e < entries; ++e) {
    const std::size_t at = dirAt + 2 + 12 * static_cast<std::size_t>(e);
    std::uint16_t tag;
    std::memcpy(&tag, &bad[at], 2);
    if (tag == TIFFTAG_STRIPOFFSETS) {
      const std::uint32_t far = static_cast<std::uint32_t>(bad.size()) + 5000;
      std::memcpy(&bad[at + 8], &far, 4);
      patched = true;
    }
  }
  ASSERT_TRUE(patched);
  WriteText(dir + "/bad.tif", bad);
  EXPECT_EQ(ConvertImageFileToPdf(dir + "/bad.tif", dir + "/bad.pdf"), IMAGEIO_E_CORRUPT);
  EXPECT_TRUE(ReadText(dir + "/bad.pdf").empty());
  // Not a TIFF at all (libtiff refuses it): the general path still reports it.
  WriteText(dir + "/text.tif", "plain text, not an image");
  EXPECT_EQ(ConvertImageFileToPdf(dir + "/text.tif", dir + "/text.pdf"), IMAGEIO_E_UNSUPPORTED);
}

}  // namespace
