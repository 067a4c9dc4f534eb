// The printer's device mode in the writer: the resolution caps the images
// of an exported office document, monochrome makes every page grey. Looked
// at in the produced PDF with poppler's tools. One office start.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include "pdfwriter/writer.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "testing/files.h"
#include "testing/temp_dir.h"

namespace co = zv::companion;
namespace pf = zv::platform;
namespace ini = zv::platform::ini;

namespace {

std::uint32_t Crc32(const std::string& data) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char c : data) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void Be32(std::string& s, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) s += static_cast<char>((v >> shift) & 0xFF);
}

// An RGB PNG of w x h colourful pixels; the image data as stored deflate
// blocks, which every reader takes.
std::string ColourPng(int w, int h) {
  std::string raw;
  for (int y = 0; y < h; ++y) {
    raw += '\0';
    for (int x = 0; x < w; ++x) {
      raw += static_cast<char>(x * 255 / w);
      raw += static_cast<char>(y * 255 / h);
      raw += static_cast<char>(200);
    }
  }
  std::string z = "\x78\x01";
  std::uint32_t a = 1, b = 0;
  for (unsigned char c : raw) a = (a + c) % 65521, b = (b + a) % 65521;
  for (std::size_t at = 0; at < raw.size(); at += 65535) {
    const std::size_t n = std::min<std::size_t>(65535, raw.size() - at);
    z += static_cast<char>(at + n == raw.size() ? 1 : 0);
    z += static_cast<char>(n & 0xFF), z += static_cast<char>(n >> 8);
    z += static_cast<char>(~n & 0xFF), z += static_cast<char>((~n >> 8) & 0xFF);
    z += raw.substr(at, n);
  }
  Be32(z, (b << 16) | a);
  auto chunk = [](std::string& out, const std::string& type, const std::string& data) {
    Be32(out, static_cast<std::uint32_t>(data.size()));
    out += type + data;
    Be32(out, Crc32(type + data));
  };
  std::string ihdr;
  Be32(ihdr, static_cast<std::uint32_t>(w));
  Be32(ihdr, static_cast<std::uint32_t>(h));
  ihdr += std::string("\x08\x02\x00\x00\x00", 5);
  std::string png = "\x89PNG\r\n\x1a\n";
  chunk(png, "IHDR", ihdr);
  chunk(png, "IDAT", z);
  chunk(png, "IEND", "");
  return png;
}

// Red text and a 300 x 300 pixel picture one inch wide (300 dpi).
std::string ColourRtf() {
  static const char* kHex = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : ColourPng(300, 300)) hex += kHex[c >> 4], hex += kHex[c & 0xF];
  return "{\\rtf1\\ansi{\\colortbl;\\red255\\green0\\blue0;}\\cf1 Red text\\par"
         "{\\pict\\pngblip\\picw300\\pich300\\picwgoal1440\\pichgoal1440 " +
         hex + "}\\par}";
}

void ColourPdf(const std::string& path) {
  QPDF pdf;
  pdf.emptyPDF();
  auto page = pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 200 200] >>"));
  page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, "1 0 0 rg 20 20 160 160 re f\n"));
  QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(page), false);
  QPDFWriter(pdf, path.c_str()).write();
}

std::string Output(const std::string& program, const std::vector<std::string>& args) {
  const zv::testing::RunResult r = zv::testing::RunProgram(program, args);
  return r.exitCode == 0 ? r.out : "<failed>";
}

// Pixels of the first page rendered at a low resolution that are not grey.
int ColouredPixels(const std::string& pdf, const std::string& scratch) {
  if (zv::testing::RunProgram("pdftoppm", {"-r", "20", "-singlefile", pdf, scratch}).exitCode != 0) return -1;
  const std::string ppm = pf::ReadFile(scratch + ".ppm").value_or("");
  std::istringstream in(ppm);
  std::string magic;
  int w = 0, h = 0, max = 0;
  in >> magic >> w >> h >> max;
  in.get();
  if (magic != "P6" || w <= 0 || h <= 0) return -1;
  const std::size_t start = static_cast<std::size_t>(in.tellg());
  if (ppm.size() < start + static_cast<std::size_t>(w) * h * 3) return -1;
  int coloured = 0;
  for (std::size_t i = start; i + 2 < ppm.size(); i += 3) {
    const int r = static_cast<unsigned char>(ppm[i]), g = static_cast<unsigned char>(ppm[i + 1]),
              b = static_cast<unsigned char>(ppm[i + 2]);
    if (std::abs(r - g) > 2 || std::abs(g - b) > 2) ++coloured;
  }
  return coloured;
}

class DeviceModeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (co::FindProgramInPath("gs").empty() || co::FindProgramInPath("pdftoppm").empty() ||
        co::FindProgramInPath("pdfimages").empty()) {
      GTEST_SKIP() << "needs gs and poppler-utils (tools/setup installs them)";
    }
    out_ = pf::JoinPath(root_, "out");
    ASSERT_TRUE(pf::MakeFolders(out_));
    ASSERT_TRUE(pf::MakeFolders(pf::JoinPath(root_, "tmp")));
    settings_ = pf::JoinPath(root_, "Tessaly.ini");
    ASSERT_TRUE(pf::CopyFile(ZV_WRITER_TEMPLATE, settings_, false));
    for (const auto& [key, value] : {std::pair<const char*, std::string>{"OutFolder", out_},
                                     {"OutName", "doc"},
                                     {"TempFolder", pf::JoinPath(root_, "tmp")},
                                     {"Result", "-9"}}) {
      ASSERT_TRUE(ini::WriteString(settings_, co::kDirectSection, key, value));
    }
    ASSERT_TRUE(ini::WriteString(settings_, co::kDevModeSection, co::kDevModePrintQuality, "100"));
    ASSERT_TRUE(ini::WriteString(settings_, co::kDevModeSection, co::kDevModeColor, "1"));
  }
  std::string Path(const std::string& name) const { return pf::JoinPath(root_, name); }

  zv::testing::TempDir dir_;
  const std::string root_ = dir_.path();
  std::string out_, settings_;
};

TEST_F(DeviceModeTest, MonochromeAtOneHundredDpiGivesGreyPagesAndCoarseImages) {
  if (co::OfficeProgram().empty()) GTEST_SKIP() << "no office program";
  ASSERT_TRUE(pf::WriteFileAtomic(Path("colour.rtf"), ColourRtf()));
  ASSERT_EQ(co::RunWriterJob(Path("colour.rtf"), settings_, ""), 1);
  const std::string pdf = pf::JoinPath(out_, "doc.pdf");
  // pdfimages -list: two header lines, then one line per image with its
  // colour space (column 6) and x resolution (column 13).
  std::istringstream list(Output("pdfimages", {"-list", pdf}));
  std::string line;
  int images = 0;
  for (int n = 0; std::getline(list, line); ++n) {
    if (n < 2) continue;
    std::istringstream row(line);
    std::vector<std::string> col;
    for (std::string c; row >> c;) col.push_back(c);
    ASSERT_GE(col.size(), 13u) << line;
    ++images;
    EXPECT_EQ(col[5], "gray") << line;
    EXPECT_LE(std::stoi(col[12]), 101) << line;
  }
  EXPECT_EQ(images, 1);
  EXPECT_EQ(ColouredPixels(pdf, Path("page")), 0);
  EXPECT_NE(Output("pdftotext", {pdf, "-"}).find("Red text"), std::string::npos);
}

TEST_F(DeviceModeTest, MonochromePrintsAPdfGreyAndColourKeepsIt) {
  ColourPdf(Path("red.pdf"));
  ASSERT_GT(ColouredPixels(Path("red.pdf"), Path("before")), 0);
  ASSERT_EQ(co::RunWriterJob(Path("red.pdf"), settings_, ""), 1);
  EXPECT_EQ(ColouredPixels(pf::JoinPath(out_, "doc.pdf"), Path("grey")), 0);
  EXPECT_FALSE(pf::Exists(pf::JoinPath(out_, "doc.pdf.~grey")));

  ASSERT_TRUE(ini::WriteString(settings_, co::kDevModeSection, co::kDevModeColor, "2"));
  ASSERT_EQ(co::RunWriterJob(Path("red.pdf"), settings_, ""), 1);
  EXPECT_GT(ColouredPixels(pf::JoinPath(out_, "doc.pdf"), Path("colour")), 0);
}

}  // namespace
