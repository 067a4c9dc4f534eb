// Reading image files (JPEG, PNG, TIFF, BMP, GIF) and writing them as PDF.
// Results use the IMAGEIO_* codes of Pixmoor.h. Nothing here throws.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "imagelib/Pixmoor.h"

namespace zv::companion {

// Limits checked on the header, before any pixel buffer is allocated.
inline constexpr std::uint32_t kImageMaxSide = 65535;
inline constexpr std::uint64_t kImageMaxPixels = 200'000'000;
inline constexpr std::uint64_t kImageMaxFileBytes = 1ull << 30;
inline constexpr int kImageMaxPages = 10000;

struct ImagePageInfo {
  int width = 0;
  int height = 0;
  double xDpi = 0;  // 0: the file gives no resolution
  double yDpi = 0;
  int bitsPerPixel = 0;
};

struct ImageFileInfo {
  int format = IMAGEIO_FORMAT_UNKNOWN;
  std::vector<ImagePageInfo> pages;
};

// The format the leading bytes announce (no validation).
int SniffImageFormat(std::string_view bytes);

// Headers of every page. IMAGEIO_OK or an IMAGEIO_E_* code. PDF files are
// answered too (page sizes in points, 72 dpi).
int ReadImageInfo(const std::string& path, ImageFileInfo& info);
int ReadImageInfoFromMemory(std::string_view bytes, ImageFileInfo& info);

// One PDF page per image page. On success `pdf` holds the document and the
// result is the page count; otherwise an IMAGEIO_E_* code.
int ConvertImageToPdfInMemory(std::string_view bytes, std::string& pdf);
// Same, from a file into a file (replaced atomically, untouched on failure).
int ConvertImageFileToPdf(const std::string& source, const std::string& target);

}  // namespace zv::companion
