// Shared pieces of the format readers and the PDF writer.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <zlib.h>

#include "imagelib/imageio.h"

namespace zv::companion::imageio {

// Thrown inside the library only; the public functions turn it into a code.
class ImageError : public std::runtime_error {
 public:
  ImageError(int code, const std::string& what) : std::runtime_error(what), code_(code) {}
  int code() const { return code_; }

 private:
  int code_;
};

[[noreturn]] inline void Fail(int code, const std::string& what) { throw ImageError(code, what); }

// Refuses zero and absurd sizes; call before allocating anything sized by them.
void CheckDimensions(std::uint64_t width, std::uint64_t height);

enum class Filter { kDct, kCcitt, kFlate };
enum class Space { kGray, kRgb, kCmyk, kIndexed };

// One page ready for the PDF: an encoded image stream and how to read it.
struct PageImage {
  ImagePageInfo info;
  Filter filter = Filter::kFlate;
  Space space = Space::kGray;
  int bitsPerComponent = 8;
  std::string palette;  // Indexed: RGB triplets
  bool invert = false;  // /Decode reversed (min-is-white, inverted CMYK)
  int ccittK = -1;      // CCITT parameters
  bool blackIs1 = false;
  bool encodedByteAlign = false;
  std::string data;       // the stream's bytes as they go into the file
  std::string_view view;  // or: bytes borrowed from the source (passed through)
  // or: bytes read from the source file only while the PDF is written, into
  // a buffer the writer reuses for every page (see ReadTiffFile).
  std::function<void(std::string& buffer)> fetch;
  std::string_view bytes() const { return data.empty() ? view : std::string_view(data); }
};

// Readers. With decode false only `info` of each page is filled (headers
// only); with decode true the stream data too. Throw ImageError.
void ReadJpeg(std::string_view bytes, bool decode, std::vector<PageImage>& pages);
void ReadPng(std::string_view bytes, bool decode, std::vector<PageImage>& pages);
void ReadTiff(std::string_view bytes, bool decode, std::vector<PageImage>& pages);
// A TIFF read from its file, the fax strips left in the file until the PDF
// is written. False, with `pages` untouched, when libtiff cannot open the file
// as a TIFF at all (then read it whole and take the general path, which
// reports why). `size` is the file's size; strips past it are refused.
bool ReadTiffFile(const std::string& path, std::uint64_t size, std::vector<PageImage>& pages);
void ReadBmp(std::string_view bytes, bool decode, std::vector<PageImage>& pages);
void ReadGif(std::string_view bytes, bool decode, std::vector<PageImage>& pages);

// The PDF document for the pages. Throws ImageError.
std::string WritePdf(const std::vector<PageImage>& pages);
// Same, written to `path` (created or truncated).
void WritePdfFile(const std::vector<PageImage>& pages, const std::string& path);

// Page count and page sizes (points, 72 dpi) of a PDF. IMAGEIO_OK or an
// IMAGEIO_E_* code; nothing thrown.
int ReadPdfInfo(std::string_view bytes, ImageFileInfo& info);

// Deflate in pieces, so a decoded image never has to exist whole in memory.
class FlateWriter {
 public:
  FlateWriter();
  ~FlateWriter();
  FlateWriter(const FlateWriter&) = delete;
  FlateWriter& operator=(const FlateWriter&) = delete;
  void Write(const void* data, std::size_t size);
  std::string Finish();

 private:
  void Pump(int flush);
  z_stream z_{};
  std::string out_;
  bool finished_ = false;
};

// Composites an alpha sample onto white.
inline std::uint8_t OnWhite(std::uint8_t value, std::uint8_t alpha) {
  return static_cast<std::uint8_t>((value * alpha + 255 * (255 - alpha) + 127) / 255);
}

}  // namespace zv::companion::imageio
