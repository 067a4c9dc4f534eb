// Test images made in memory with the codec libraries, and PDF inspection
// (the image library's own; files and folders come from testing/).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zv::test {

// A bitmap of one byte per sample, rows top-down.
struct Bitmap {
  int width = 0, height = 0, channels = 1;
  std::vector<std::uint8_t> px;
  std::uint8_t& at(int x, int y, int c = 0) { return px[(static_cast<std::size_t>(y) * width + x) * channels + c]; }
};
// Deterministic pattern: stripes, a diagonal and noise, so row order,
// channel order and inversion errors all show.
Bitmap Pattern(int width, int height, int channels, int levels = 256);

std::string MakeJpeg(const Bitmap& b, int dpi);
// colorType: 0 gray, 2 RGB, 3 palette, 4 gray+alpha, 6 RGBA (libpng values).
std::string MakePng(const Bitmap& b, int colorType, int bitDepth, int dpi,
                    const std::vector<std::uint8_t>& paletteRgb = {});
struct TiffPage {
  Bitmap bitmap;        // 1 channel of 0/1 for bilevel pages
  int compression = 1;  // libtiff COMPRESSION_*
  int photometric = 0;  // PHOTOMETRIC_*
  int bitsPerSample = 8;
  float dpi = 0;         // 0: no resolution tags
  int rowsPerStrip = 0;  // 0: one strip
  int group3Options = 0;
};
std::string MakeTiff(const std::vector<TiffPage>& pages);
std::string MakeBmp(const Bitmap& b, int bits, bool topDown, int dpi);  // 8 bits: gray palette; 1: b/w
std::string MakeGif(const Bitmap& indexes, const std::vector<std::uint8_t>& paletteRgb, int transparent);

struct PdfImage {
  double pageWidth = 0, pageHeight = 0;  // MediaBox
  int width = 0, height = 0, bpc = 0;
  std::string filter, colorSpace;  // "/DCTDecode", "/DeviceGray", "/Indexed"
  std::string decodeParms;         // unparsed dictionary text
  std::string decode;              // /Decode array text, or empty
  std::string raw;                 // stream bytes as stored
  std::string decoded;             // Flate streams decoded, else empty
  std::string palette;             // Indexed lookup string
};
std::vector<PdfImage> InspectPdf(const std::string& pdfBytes);

// Renders page `page` (1-based) with pdftoppm as gray at `dpi`; empty when
// pdftoppm is missing.
Bitmap RenderGray(const std::string& pdfPath, int page, int dpi);

}  // namespace zv::test
