// The PDF files themselves: every kind of page passes a strict checker, the
// cross-reference table points at its objects, the /ID follows the content,
// and PDFs (ours and odd ones) are counted.
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <tiffio.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>
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

Bitmap Bilevel(int w, int h) {
  Bitmap b = Pattern(w, h, 1);
  for (auto& v : b.px) v = v > 128 ? 1 : 0;
  return b;
}

// A CMYK JPEG (libjpeg adds the Adobe marker: samples stored inverted).
std::string MakeCmykJpeg(int w, int h) {
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &buffer, &size);
  c.image_width = static_cast<JDIMENSION>(w);
  c.image_height = static_cast<JDIMENSION>(h);
  c.input_components = 4;
  c.in_color_space = JCS_CMYK;
  jpeg_set_defaults(&c);
  jpeg_start_compress(&c, TRUE);
  const Bitmap b = Pattern(w, h, 4);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(b.px.data() + static_cast<std::size_t>(c.next_scanline) * w * 4);
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::string out(reinterpret_cast<char*>(buffer), size);
  std::free(buffer);
  return out;
}

struct Sample {
  std::string name, bytes;
  int pages = 1;
};

std::vector<Sample> EveryKind() {
  std::vector<Sample> s;
  s.push_back({"jpeg rgb", MakeJpeg(Pattern(40, 30, 3), 150)});
  s.push_back({"jpeg gray", MakeJpeg(Pattern(31, 17, 1), 0)});
  s.push_back({"jpeg cmyk", MakeCmykJpeg(24, 16)});
  s.push_back({"png gray", MakePng(Pattern(33, 7, 1), 0, 8, 300)});
  s.push_back({"png rgb 16", MakePng(Pattern(12, 9, 3), 2, 16, 0)});
  std::vector<std::uint8_t> pal;
  for (int i = 0; i < 16; ++i) pal.insert(pal.end(), {std::uint8_t(i * 16), std::uint8_t(255 - i * 16), 40});
  s.push_back({"png palette", MakePng(Pattern(19, 7, 1, 16), 3, 4, 0, pal)});
  s.push_back({"png rgba", MakePng(Pattern(5, 4, 4), 6, 8, 96)});
  const Bitmap bits = Bilevel(96, 40);
  s.push_back({"tiff",
               MakeTiff({{bits, COMPRESSION_CCITTFAX4, PHOTOMETRIC_MINISWHITE, 1, 200},
                         {bits, COMPRESSION_CCITTFAX3, PHOTOMETRIC_MINISWHITE, 1, 100, 0, GROUP3OPT_2DENCODING},
                         {bits, COMPRESSION_CCITTFAX3, PHOTOMETRIC_MINISBLACK, 1, 0, 0, GROUP3OPT_FILLBITS},
                         {bits, COMPRESSION_PACKBITS, PHOTOMETRIC_MINISWHITE, 1, 0},
                         {Pattern(23, 11, 3), COMPRESSION_LZW, PHOTOMETRIC_RGB, 8, 0}}),
               5});
  s.push_back({"bmp 24", MakeBmp(Pattern(13, 7, 3), 24, false, 150)});
  s.push_back({"bmp 8", MakeBmp(Pattern(10, 6, 1), 8, true, 0)});
  s.push_back({"bmp 1", MakeBmp(Bilevel(21, 5), 1, false, 0)});
  std::vector<std::uint8_t> gifPal = {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};
  s.push_back({"gif", MakeGif(Pattern(9, 8, 1, 4), gifPal, 2)});
  return s;
}

// Exit status and all output of a command.
int RunCommand(const std::string& command, std::string& output) {
  output.clear();
  FILE* p = ::popen((command + " 2>&1").c_str(), "r");
  if (p == nullptr) return -1;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) output.append(buffer, n);
  return ::pclose(p);
}

// Every in-use entry of the cross-reference table must point at "<n> 0 obj",
// the table must be found where startxref says, and entries are 20 bytes.
void ExpectSoundXref(const std::string& pdf, const std::string& name) {
  const std::size_t sx = pdf.rfind("startxref\n");
  ASSERT_NE(sx, std::string::npos) << name;
  const std::size_t xref = std::stoull(pdf.substr(sx + 10));
  ASSERT_EQ(pdf.compare(xref, 7, "xref\n0 "), 0) << name;
  const std::size_t line = pdf.find('\n', xref + 5);
  const int size = std::stoi(pdf.substr(xref + 7, line - xref - 7));
  const std::size_t first = line + 1;
  EXPECT_EQ(pdf.substr(first, 20), "0000000000 65535 f \n") << name;
  for (int i = 1; i < size; ++i) {
    const std::string entry = pdf.substr(first + 20 * static_cast<std::size_t>(i), 20);
    ASSERT_TRUE(std::regex_match(entry, std::regex("[0-9]{10} 00000 n \n"))) << name << " entry " << i;
    const std::string head = std::to_string(i) + " 0 obj\n";
    EXPECT_EQ(pdf.compare(std::stoull(entry.substr(0, 10)), head.size(), head), 0) << name << " object " << i;
  }
  const std::string after = pdf.substr(first + 20 * static_cast<std::size_t>(size));
  EXPECT_EQ(after.rfind("trailer << /Root 1 0 R /Size " + std::to_string(size) + " /ID [<", 0), 0u) << name;
  EXPECT_TRUE(pdf.ends_with("%%EOF\n")) << name;
}

std::string IdOf(const std::string& pdf) {
  std::smatch m;
  const std::string tail = pdf.substr(pdf.rfind("trailer"));
  if (!std::regex_search(tail, m, std::regex("/ID \\[<([0-9a-f]{32})><([0-9a-f]{32})>\\]")) || m[1] != m[2]) return {};
  return m[1];
}

}  // namespace

TEST(PdfOutput, EveryKindOfPagePassesTheStrictCheck) {
  std::string out;
  if (RunCommand("qpdf --version", out) != 0) GTEST_SKIP() << "the qpdf command is not installed";
  const TempDir tmp;
  const std::string dir = tmp.path();
  for (const Sample& s : EveryKind()) {
    std::string pdf;
    ASSERT_EQ(ConvertImageToPdfInMemory(s.bytes, pdf), s.pages) << s.name;
    const bool sixteen = s.name == "png rgb 16";
    EXPECT_EQ(pdf.substr(0, 9), sixteen ? "%PDF-1.5\n" : "%PDF-1.4\n") << s.name;
    // The second line is a comment of high bytes: the file is binary.
    EXPECT_EQ(pdf[9], '%');
    for (int i = 10; i < 14; ++i) EXPECT_GE(static_cast<unsigned char>(pdf[i]), 128) << s.name;
    ExpectSoundXref(pdf, s.name);
    EXPECT_EQ(IdOf(pdf).size(), 32u) << s.name;

    const std::string path = dir + "/check.pdf";
    WriteText(path, pdf);
    const int rc = RunCommand("qpdf --check '" + path + "'", out);
    EXPECT_EQ(rc, 0) << s.name << "\n" << out;
    EXPECT_NE(out.find("No syntax or stream encoding errors found"), std::string::npos) << s.name << "\n" << out;
    EXPECT_EQ(out.find("WARNING"), std::string::npos) << s.name << "\n" << out;
  }
}

TEST(PdfOutput, IdFollowsTheContent) {
  const Bitmap a = Pattern(20, 10, 3);
  Bitmap b = a;
  b.at(19, 9, 2) ^= 0x55;  // one sample of the last row
  std::string pa, pa2, pb;
  ASSERT_EQ(ConvertImageToPdfInMemory(MakePng(a, 2, 8, 0), pa), 1);
  ASSERT_EQ(ConvertImageToPdfInMemory(MakePng(a, 2, 8, 0), pa2), 1);
  ASSERT_EQ(ConvertImageToPdfInMemory(MakePng(b, 2, 8, 0), pb), 1);
  EXPECT_EQ(pa, pa2);
  EXPECT_FALSE(IdOf(pa).empty());
  EXPECT_NE(IdOf(pa), IdOf(pb));
  // Same picture, other resolution: only the page size differs.
  std::string pc;
  ASSERT_EQ(ConvertImageToPdfInMemory(MakePng(a, 2, 8, 300), pc), 1);
  EXPECT_NE(IdOf(pa), IdOf(pc));
}

TEST(PdfOutput, PageSizesFromResolutionAndAbsurdOnesRefused) {
  const Bitmap bits = Bilevel(40, 20);
  // 100 dpi; a resolution that would make a page of billions of points; none.
  const std::string tiff = MakeTiff({{bits, COMPRESSION_CCITTFAX4, PHOTOMETRIC_MINISWHITE, 1, 100},
                                     {bits, COMPRESSION_CCITTFAX4, PHOTOMETRIC_MINISWHITE, 1, 1e-5f},
                                     {bits, COMPRESSION_CCITTFAX4, PHOTOMETRIC_MINISWHITE, 1, 0}});
  std::string pdf;
  ASSERT_EQ(ConvertImageToPdfInMemory(tiff, pdf), 3);
  const auto images = InspectPdf(pdf);
  ASSERT_EQ(images.size(), 3u);
  EXPECT_DOUBLE_EQ(images[0].pageWidth, 28.8);
  EXPECT_DOUBLE_EQ(images[0].pageHeight, 14.4);
  EXPECT_DOUBLE_EQ(images[1].pageWidth, 40);
  EXPECT_DOUBLE_EQ(images[1].pageHeight, 20);
  EXPECT_DOUBLE_EQ(images[2].pageWidth, 40);
  EXPECT_NE(pdf.find("/MediaBox [ 0 0 28.8 14.4 ]"), std::string::npos);
  EXPECT_NE(pdf.find("q 28.8 0 0 14.4 0 0 cm /Im0 Do Q\n"), std::string::npos);
}

TEST(PdfInfo, CountsOursAndOddOnesRefusesDamage) {
  const Bitmap bits = Bilevel(144, 72);
  std::string pdf;
  ASSERT_EQ(ConvertImageToPdfInMemory(MakeTiff({{bits, COMPRESSION_CCITTFAX4, PHOTOMETRIC_MINISWHITE, 1, 72},
                                                {bits, COMPRESSION_CCITTFAX4, PHOTOMETRIC_MINISWHITE, 1, 144}}),
                                      pdf),
            2);
  ImageFileInfo info;
  ASSERT_EQ(ReadImageInfoFromMemory(pdf, info), IMAGEIO_OK);
  EXPECT_EQ(info.format, IMAGEIO_FORMAT_PDF);
  ASSERT_EQ(info.pages.size(), 2u);
  EXPECT_EQ(info.pages[0].width, 144);
  EXPECT_EQ(info.pages[1].width, 72);
  EXPECT_EQ(info.pages[1].height, 36);
  EXPECT_EQ(info.pages[1].xDpi, 72);

  // Garbage after the header: no pages to find.
  EXPECT_EQ(ReadImageInfoFromMemory("%PDF-1.4\n" + std::string(300, 'x'), info), IMAGEIO_E_CORRUPT);
  EXPECT_TRUE(info.pages.empty());

  const std::string corpus = std::string(ZV_CORPUS_DIR) + "/";
  // The page box inherited from the pages tree.
  ASSERT_EQ(ReadImageInfo(corpus + "duplicate-page-inherited.pdf", info), IMAGEIO_OK);
  ASSERT_EQ(info.pages.size(), 2u);
  EXPECT_EQ(info.pages[0].width, 612);
  EXPECT_EQ(info.pages[0].height, 792);
  EXPECT_EQ(ReadImageInfo(corpus + "20-pages.pdf", info), IMAGEIO_E_UNSUPPORTED) << "password needed";
  EXPECT_EQ(ReadImageInfo(corpus + "pages-loop.pdf", info), IMAGEIO_E_CORRUPT);
  EXPECT_EQ(ReadImageInfo(corpus + "c-empty.pdf", info), IMAGEIO_E_CORRUPT);
  ASSERT_EQ(ReadImageInfo(corpus + "object-stream.pdf", info), IMAGEIO_OK);
  EXPECT_EQ(info.pages.size(), 1u);
}
