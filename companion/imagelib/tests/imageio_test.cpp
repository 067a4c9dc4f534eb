#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstring>

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

std::string Convert(const std::string& bytes, int expectPages = 1) {
  std::string pdf;
  EXPECT_EQ(ConvertImageToPdfInMemory(bytes, pdf), expectPages);
  return pdf;
}

Bitmap Bilevel(int w, int h) {
  Bitmap b = Pattern(w, h, 1);
  for (auto& v : b.px) v = v > 128 ? 1 : 0;
  return b;
}

// 8x8 cells of 0/1: a reader's rendering can be compared at cell centres.
Bitmap Cells(int w, int h) {
  Bitmap b;
  b.width = w;
  b.height = h;
  b.px.resize(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.at(x, y) = ((x / 8) * 7 + (y / 8) * 3 + (x / 8) * (y / 8)) % 3 == 0;
  return b;
}

// Packs 0/1 samples into MSB-first rows, optionally inverted.
std::string Pack1(const Bitmap& b, bool invert) {
  const std::size_t stride = (static_cast<std::size_t>(b.width) + 7) / 8;
  std::string s(stride * b.height, '\0');
  for (int y = 0; y < b.height; ++y)
    for (int x = 0; x < b.width; ++x)
      if ((b.px[static_cast<std::size_t>(y) * b.width + x] != 0) != invert)
        s[stride * y + x / 8] = static_cast<char>(s[stride * y + x / 8] | (0x80 >> (x % 8)));
  return s;
}

std::string AsString(const Bitmap& b) { return std::string(b.px.begin(), b.px.end()); }

}  // namespace

TEST(ImageJpeg, EmbeddedByteForByteWithPageSizeFromDpi) {
  const std::string jpeg = MakeJpeg(Pattern(400, 200, 3), 200);
  const auto images = InspectPdf(Convert(jpeg));
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].filter, "/DCTDecode");
  EXPECT_EQ(images[0].colorSpace, "/DeviceRGB");
  EXPECT_TRUE(images[0].raw == jpeg) << "the JPEG must not be re-encoded";
  EXPECT_NEAR(images[0].pageWidth, 144.0, 0.01);
  EXPECT_NEAR(images[0].pageHeight, 72.0, 0.01);

  // Without a resolution the page is sized at 72 dpi; gray stays gray.
  const auto gray = InspectPdf(Convert(MakeJpeg(Pattern(90, 30, 1), 0)));
  EXPECT_EQ(gray[0].colorSpace, "/DeviceGray");
  EXPECT_NEAR(gray[0].pageWidth, 90.0, 0.01);
}

TEST(ImageJpeg, DamagedOrAbsurdIsRefused) {
  const std::string jpeg = MakeJpeg(Pattern(300, 300, 3), 0);
  std::string pdf;
  EXPECT_EQ(ConvertImageToPdfInMemory(jpeg.substr(0, jpeg.size() * 2 / 3), pdf), IMAGEIO_E_CORRUPT);
  EXPECT_EQ(ConvertImageToPdfInMemory(jpeg.substr(0, 40), pdf), IMAGEIO_E_CORRUPT);
  EXPECT_TRUE(pdf.empty());

  // A frame header claiming 30000x30000 pixels.
  std::string huge = jpeg;
  const std::size_t sof = huge.find("\xFF\xC0");
  ASSERT_NE(sof, std::string::npos);
  huge[sof + 5] = huge[sof + 7] = static_cast<char>(30000 >> 8);
  huge[sof + 6] = huge[sof + 8] = static_cast<char>(30000 & 0xff);
  EXPECT_EQ(ConvertImageToPdfInMemory(huge, pdf), IMAGEIO_E_SIZE);
  ImageFileInfo info;
  EXPECT_EQ(ReadImageInfoFromMemory(huge, info), IMAGEIO_E_SIZE);
}

TEST(ImagePng, GrayRgbPaletteKeptLosslessly) {
  const Bitmap gray = Pattern(33, 17, 1);
  auto g = InspectPdf(Convert(MakePng(gray, 0, 8, 300)));
  EXPECT_EQ(g[0].filter, "/FlateDecode");
  EXPECT_EQ(g[0].colorSpace, "/DeviceGray");
  EXPECT_EQ(g[0].decoded, AsString(gray));
  EXPECT_NEAR(g[0].pageWidth, 33 * 72.0 / 300, 0.05);

  const Bitmap rgb = Pattern(21, 13, 3);
  auto r = InspectPdf(Convert(MakePng(rgb, 2, 8, 0)));
  EXPECT_EQ(r[0].colorSpace, "/DeviceRGB");
  EXPECT_EQ(r[0].decoded, AsString(rgb));

  // 4-bit palette stays indexed at 4 bits with its colour table.
  const Bitmap idx = Pattern(19, 7, 1, 16);
  std::vector<std::uint8_t> pal;
  for (int i = 0; i < 16; ++i)
    pal.insert(pal.end(), {static_cast<std::uint8_t>(i * 16), 7, static_cast<std::uint8_t>(255 - i)});
  auto p = InspectPdf(Convert(MakePng(idx, 3, 4, 0, pal)));
  EXPECT_EQ(p[0].colorSpace, "/Indexed");
  EXPECT_EQ(p[0].bpc, 4);
  EXPECT_EQ(p[0].palette, std::string(pal.begin(), pal.end()));
  const std::size_t stride = (19 * 4 + 7) / 8;
  ASSERT_EQ(p[0].decoded.size(), stride * 7);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 19; ++x) {
      const auto byte = static_cast<unsigned char>(p[0].decoded[stride * y + x / 2]);
      EXPECT_EQ((x % 2 ? byte & 15 : byte >> 4), idx.px[static_cast<std::size_t>(y) * 19 + x]);
    }
}

TEST(ImagePng, AlphaIsDroppedOntoWhite) {
  Bitmap rgba = Pattern(4, 2, 4);
  for (int x = 0; x < 4; ++x) rgba.at(x, 0, 3) = 0, rgba.at(x, 1, 3) = 255;
  rgba.at(1, 1, 3) = 128;
  auto r = InspectPdf(Convert(MakePng(rgba, 6, 8, 0)));
  EXPECT_EQ(r[0].colorSpace, "/DeviceRGB");
  ASSERT_EQ(r[0].decoded.size(), 4u * 2 * 3);
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(static_cast<unsigned char>(r[0].decoded[c]), 255) << "transparent shows white";
    EXPECT_EQ(static_cast<unsigned char>(r[0].decoded[12 + c]), rgba.at(0, 1, c)) << "opaque kept";
    EXPECT_EQ(static_cast<unsigned char>(r[0].decoded[15 + c]), (rgba.at(1, 1, c) * 128 + 255 * 127 + 127) / 255);
  }
}

TEST(ImagePng, BadCrcOrTruncationIsRefused) {
  std::string png = MakePng(Pattern(40, 40, 3), 2, 8, 0);
  std::string pdf;
  std::string badCrc = png;
  const std::size_t idat = badCrc.find("IDAT");
  ASSERT_NE(idat, std::string::npos);
  const std::uint32_t len =
      (static_cast<unsigned char>(badCrc[idat - 4]) << 24) | (static_cast<unsigned char>(badCrc[idat - 3]) << 16) |
      (static_cast<unsigned char>(badCrc[idat - 2]) << 8) | static_cast<unsigned char>(badCrc[idat - 1]);
  badCrc[idat + 4 + len] = static_cast<char>(badCrc[idat + 4 + len] ^ 0x55);
  EXPECT_EQ(ConvertImageToPdfInMemory(badCrc, pdf), IMAGEIO_E_CORRUPT);
  EXPECT_EQ(ConvertImageToPdfInMemory(png.substr(0, png.size() - 30), pdf), IMAGEIO_E_CORRUPT);
}

TEST(ImageTiff, FaxPagesPassThroughWithParameters) {
  const Bitmap a = Cells(200, 120), b = Cells(64, 300), c = Cells(96, 40);
  std::vector<TiffPage> pages = {
      {a, COMPRESSION_CCITTFAX4, PHOTOMETRIC_MINISWHITE, 1, 200},
      {b, COMPRESSION_CCITTFAX3, PHOTOMETRIC_MINISWHITE, 1, 100, 0, GROUP3OPT_2DENCODING},
      {c, COMPRESSION_CCITTFAX3, PHOTOMETRIC_MINISBLACK, 1, 0, 0, GROUP3OPT_FILLBITS},
  };
  const std::string tiff = MakeTiff(pages);
  const std::string pdf = Convert(tiff, 3);
  const auto images = InspectPdf(pdf);
  ASSERT_EQ(images.size(), 3u);
  EXPECT_EQ(images[0].filter, "/CCITTFaxDecode");
  EXPECT_EQ(images[0].decodeParms, "<< /Columns 200 /K -1 /Rows 120 >>");
  EXPECT_NEAR(images[0].pageWidth, 72.0, 0.01);
  EXPECT_NEAR(images[0].pageHeight, 43.2, 0.01);
  EXPECT_EQ(images[1].decodeParms, "<< /Columns 64 /K 4 /Rows 300 >>");
  EXPECT_NEAR(images[1].pageHeight, 216.0, 0.01);
  EXPECT_EQ(images[2].decodeParms, "<< /BlackIs1 true /Columns 96 /EncodedByteAlign true /K 0 /Rows 40 >>");
  EXPECT_NEAR(images[2].pageWidth, 96.0, 0.01);

  // What a reader shows must be the TIFF's picture: black where the TIFF has
  // black (1 in min-is-white, 0 in min-is-black).
  const TempDir tmp;
  const std::string dir = tmp.path();
  WriteText(dir + "/f.pdf", pdf);
  const Bitmap* sources[] = {&a, &b, &c};
  const int dpis[] = {200, 100, 72};
  const bool blackIsOne[] = {true, true, false};
  for (int i = 0; i < 3; ++i) {
    const Bitmap shown = RenderGray(dir + "/f.pdf", i + 1, dpis[i]);
    if (shown.px.empty()) GTEST_SKIP() << "pdftoppm not available";
    ASSERT_EQ(shown.width, sources[i]->width);
    ASSERT_EQ(shown.height, sources[i]->height);
    int wrong = 0;
    for (int y = 4; y < shown.height; y += 8)
      for (int x = 4; x < shown.width; x += 8) {
        const std::size_t k = static_cast<std::size_t>(y) * shown.width + x;
        wrong += ((shown.px[k] < 128) != ((sources[i]->px[k] != 0) == blackIsOne[i]));
      }
    EXPECT_EQ(wrong, 0) << "page " << i + 1;
  }
}

TEST(ImageTiff, DecodedPagesAreLossless) {
  const Bitmap bits = Bilevel(50, 30);
  const Bitmap rgb = Pattern(23, 11, 3);
  std::vector<TiffPage> pages = {
      {bits, COMPRESSION_CCITTFAX4, PHOTOMETRIC_MINISWHITE, 1, 0, 8},  // several strips
      {rgb, COMPRESSION_LZW, PHOTOMETRIC_RGB, 8, 0},
      {Pattern(17, 9, 1), COMPRESSION_ADOBE_DEFLATE, PHOTOMETRIC_MINISBLACK, 8, 0, 4},
      {bits, COMPRESSION_PACKBITS, PHOTOMETRIC_MINISBLACK, 1, 0},
  };
  const auto images = InspectPdf(Convert(MakeTiff(pages), 4));
  ASSERT_EQ(images.size(), 4u);
  EXPECT_EQ(images[0].filter, "/FlateDecode");
  EXPECT_EQ(images[0].bpc, 1);
  EXPECT_EQ(images[0].decode, "[ 1 0 ]");
  EXPECT_EQ(images[0].decoded, Pack1(bits, false));
  EXPECT_EQ(images[1].colorSpace, "/DeviceRGB");
  EXPECT_EQ(images[1].decoded, AsString(rgb));
  EXPECT_EQ(images[2].decoded, AsString(Pattern(17, 9, 1)));
  EXPECT_EQ(images[3].decode, "");
  EXPECT_EQ(images[3].decoded, Pack1(bits, false));
}

TEST(ImageTiff, JpegCompressedPagesAreRendered) {
  const std::vector<TiffPage> pages = {{Pattern(64, 48, 3), COMPRESSION_JPEG, PHOTOMETRIC_RGB, 8, 0, 16}};
  const auto images = InspectPdf(Convert(MakeTiff(pages)));
  EXPECT_EQ(images[0].colorSpace, "/DeviceRGB");
  ASSERT_EQ(images[0].decoded.size(), 64u * 48 * 3);
  // Lossy in the file itself, so only close: compare the mean.
  long long sumOut = 0, sumIn = 0;
  const Bitmap src = Pattern(64, 48, 3);
  for (std::size_t i = 0; i < src.px.size(); ++i)
    sumOut += static_cast<unsigned char>(images[0].decoded[i]), sumIn += src.px[i];
  EXPECT_NEAR(static_cast<double>(sumOut) / src.px.size(), static_cast<double>(sumIn) / src.px.size(), 4.0);
  // Top band is brighter than the rest in the pattern; so in the output (rows not flipped).
  EXPECT_NE(images[0].decoded.substr(0, 64 * 3), images[0].decoded.substr(47 * 64 * 3, 64 * 3));
}

TEST(ImageTiff, StripPastTheEndIsRefused) {
  const std::string tiff = MakeTiff({{Bilevel(80, 80), COMPRESSION_CCITTFAX4, PHOTOMETRIC_MINISWHITE, 1, 0}});
  std::string pdf;
  // Chop the file so that the strip's offset plus count run past its end.
  std::string cut = tiff;
  ImageFileInfo info;
  ASSERT_EQ(ReadImageInfoFromMemory(tiff, info), IMAGEIO_OK);
  const std::string lzw = MakeTiff({{Pattern(60, 60, 3), COMPRESSION_LZW, PHOTOMETRIC_RGB, 8, 0}});
  // Both writers put the strips first and the directory last; move the
  // strip offset far away.
  for (const std::string* src : {&tiff, &lzw}) {
    std::string bad = *src;
    const std::uint32_t dirAt = static_cast<unsigned char>(bad[4]) | (static_cast<unsigned char>(bad[5]) << 8) |
                                (static_cast<unsigned char>(bad[6]) << 16) |
                                (static_cast<std::uint32_t>(static_cast<unsigned char>(bad[7])) << 24);
    const int entries = static_cast<unsigned char>(bad[dirAt]) | (static_cast<unsigned char>(bad[dirAt + 1]) << 8);
    bool patched = false;
    for (int e = 0; e < entries; ++e) {
      const std::size_t at = dirAt + 2 + 12 * static_cast<std::size_t>(e);
      const int tag = static_cast<unsigned char>(bad[at]) | (static_cast<unsigned char>(bad[at + 1]) << 8);
      if (tag == TIFFTAG_STRIPOFFSETS) {
        const std::uint32_t far = static_cast<std::uint32_t>(bad.size()) + 5000;
        std::memcpy(&bad[at + 8], &far, 4);
        patched = true;
      }
    }
    ASSERT_TRUE(patched);
    EXPECT_EQ(ConvertImageToPdfInMemory(bad, pdf), IMAGEIO_E_CORRUPT);
  }
}

TEST(ImageBmp, DepthsAndRowOrder) {
  const Bitmap rgb = Pattern(13, 7, 3);
  for (bool topDown : {false, true}) {
    auto r = InspectPdf(Convert(MakeBmp(rgb, 24, topDown, 150)));
    EXPECT_EQ(r[0].colorSpace, "/DeviceRGB");
    EXPECT_EQ(r[0].decoded, AsString(rgb)) << "topDown " << topDown;
    EXPECT_NEAR(r[0].pageWidth, 13 * 72.0 / 150, 0.05);
  }
  const Bitmap gray = Pattern(10, 6, 1);
  auto p = InspectPdf(Convert(MakeBmp(gray, 8, false, 0)));
  EXPECT_EQ(p[0].colorSpace, "/Indexed");
  EXPECT_EQ(p[0].decoded, AsString(gray));
  EXPECT_EQ(static_cast<unsigned char>(p[0].palette[3 * 200]), 55) << "palette stored B,G,R; red = 255 - i";
  const Bitmap bits = Bilevel(21, 5);
  auto o = InspectPdf(Convert(MakeBmp(bits, 1, false, 0)));
  EXPECT_EQ(o[0].bpc, 1);
  EXPECT_EQ(o[0].decoded, Pack1(bits, false));
}

TEST(ImageBmp, EmptyOrTruncatedIsRefused) {
  std::string pdf;
  Bitmap none;
  EXPECT_EQ(ConvertImageToPdfInMemory(MakeBmp(none, 24, false, 0), pdf), IMAGEIO_E_SIZE);
  const std::string bmp = MakeBmp(Pattern(30, 30, 3), 24, false, 0);
  EXPECT_EQ(ConvertImageToPdfInMemory(bmp.substr(0, bmp.size() - 10), pdf), IMAGEIO_E_CORRUPT);
  std::string huge = bmp;
  const std::uint32_t side = 30000;
  std::memcpy(&huge[18], &side, 4);
  std::memcpy(&huge[22], &side, 4);
  EXPECT_EQ(ConvertImageToPdfInMemory(huge, pdf), IMAGEIO_E_SIZE);
}

TEST(ImageGif, IndexedWithTransparentShownWhite) {
  const Bitmap idx = Pattern(25, 9, 1, 4);
  const std::vector<std::uint8_t> pal = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
  auto g = InspectPdf(Convert(MakeGif(idx, pal, 2)));
  EXPECT_EQ(g[0].colorSpace, "/Indexed");
  EXPECT_EQ(g[0].decoded, AsString(idx));
  EXPECT_EQ(g[0].palette.substr(0, 6), std::string(pal.begin(), pal.begin() + 6));
  EXPECT_EQ(g[0].palette.substr(6, 3), "\xff\xff\xff");
  std::string pdf;
  const std::string gif = MakeGif(idx, pal, -1);
  EXPECT_EQ(ConvertImageToPdfInMemory(gif.substr(0, gif.size() / 2), pdf), IMAGEIO_E_CORRUPT);
}

TEST(ImageInfo, PagesSizesAndResolution) {
  std::vector<TiffPage> pages = {{Bilevel(40, 30), COMPRESSION_CCITTFAX4, PHOTOMETRIC_MINISWHITE, 1, 300},
                                 {Pattern(20, 10, 3), COMPRESSION_LZW, PHOTOMETRIC_RGB, 8, 0}};
  ImageFileInfo info;
  ASSERT_EQ(ReadImageInfoFromMemory(MakeTiff(pages), info), IMAGEIO_OK);
  EXPECT_EQ(info.format, IMAGEIO_FORMAT_TIFF);
  ASSERT_EQ(info.pages.size(), 2u);
  EXPECT_EQ(info.pages[0].width, 40);
  EXPECT_DOUBLE_EQ(info.pages[0].xDpi, 300);
  EXPECT_EQ(info.pages[0].bitsPerPixel, 1);
  EXPECT_EQ(info.pages[1].height, 10);
  EXPECT_EQ(info.pages[1].xDpi, 0);
  EXPECT_EQ(ReadImageInfoFromMemory("plain text, not an image", info), IMAGEIO_E_UNSUPPORTED);
}

TEST(ImageFiles, DeterministicAndAtomic) {
  const TempDir tmp;
  const std::string dir = tmp.path();
  WriteText(dir + "/a.png", MakePng(Pattern(30, 20, 3), 2, 8, 0));
  EXPECT_EQ(ConvertImageFileToPdf(dir + "/a.png", dir + "/a.pdf"), 1);
  EXPECT_EQ(ConvertImageFileToPdf(dir + "/a.png", dir + "/b.pdf"), 1);
  EXPECT_EQ(ReadText(dir + "/a.pdf"), ReadText(dir + "/b.pdf"));

  // A failed conversion leaves an existing target as it was.
  WriteText(dir + "/bad.jpg", MakeJpeg(Pattern(64, 64, 3), 0).substr(0, 300));
  EXPECT_EQ(ConvertImageFileToPdf(dir + "/bad.jpg", dir + "/a.pdf"), IMAGEIO_E_CORRUPT);
  EXPECT_EQ(ReadText(dir + "/a.pdf"), ReadText(dir + "/b.pdf"));
  EXPECT_EQ(ConvertImageFileToPdf(dir + "/missing.png", dir + "/c.pdf"), IMAGEIO_E_NOFILE);
  EXPECT_EQ(ConvertImageFileToPdf(dir, dir + "/c.pdf"), IMAGEIO_E_NOFILE);
}
