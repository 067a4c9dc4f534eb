#include "imagelib/imageio.h"

#include <unistd.h>

#include <new>

#include "image_internal.h"
#include "platform/fs.h"

namespace zv::companion {
namespace {

using imageio::ImageError;
using imageio::PageImage;

void ReadAny(int format, std::string_view bytes, bool decode, std::vector<PageImage>& pages) {
  switch (format) {
    case IMAGEIO_FORMAT_JPEG: imageio::ReadJpeg(bytes, decode, pages); break;
    case IMAGEIO_FORMAT_PNG: imageio::ReadPng(bytes, decode, pages); break;
    case IMAGEIO_FORMAT_TIFF: imageio::ReadTiff(bytes, decode, pages); break;
    case IMAGEIO_FORMAT_BMP: imageio::ReadBmp(bytes, decode, pages); break;
    case IMAGEIO_FORMAT_GIF: imageio::ReadGif(bytes, decode, pages); break;
    default: imageio::Fail(IMAGEIO_E_UNSUPPORTED, "not an image format we read");
  }
  if (pages.empty()) imageio::Fail(IMAGEIO_E_CORRUPT, "no pages");
}

// Runs `body`, turning every failure into a code.
template <typename F>
int Guarded(F&& body) {
  try {
    return body();
  } catch (const ImageError& e) {
    return e.code();
  } catch (const std::bad_alloc&) {
    return IMAGEIO_E_MEMORY;
  } catch (const std::length_error&) {
    return IMAGEIO_E_MEMORY;
  } catch (...) {
    return IMAGEIO_E_INTERNAL;
  }
}

// A readable file within the size limit; its size in `size`.
int CheckFile(const std::string& path, std::uint64_t& size) {
  if (path.empty()) return IMAGEIO_E_PARAM;
  if (!platform::IsFile(path)) return IMAGEIO_E_NOFILE;
  const auto found = platform::FileSize(path);
  if (!found || *found > kImageMaxFileBytes) return IMAGEIO_E_NOFILE;
  size = *found;
  return IMAGEIO_OK;
}

int LoadFile(const std::string& path, std::string& bytes) {
  std::uint64_t size = 0;
  if (const int rc = CheckFile(path, size); rc != IMAGEIO_OK) return rc;
  auto content = platform::ReadFile(path);
  if (!content) return IMAGEIO_E_NOFILE;
  bytes = std::move(*content);
  return IMAGEIO_OK;
}

}  // namespace

int SniffImageFormat(std::string_view b) {
  auto starts = [&](std::string_view magic) { return b.substr(0, magic.size()) == magic; };
  if (starts("\xFF\xD8\xFF")) return IMAGEIO_FORMAT_JPEG;
  if (starts("\x89PNG\r\n\x1A\n")) return IMAGEIO_FORMAT_PNG;
  if (starts(std::string_view("II*\0", 4)) || starts(std::string_view("MM\0*", 4)) ||
      starts(std::string_view("II+\0", 4)) || starts(std::string_view("MM\0+", 4)))
    return IMAGEIO_FORMAT_TIFF;
  if (starts("GIF87a") || starts("GIF89a")) return IMAGEIO_FORMAT_GIF;
  if (starts("BM") && b.size() >= 26) return IMAGEIO_FORMAT_BMP;
  // PDF readers accept a little junk before the header.
  if (b.substr(0, 1024).find("%PDF-") != std::string_view::npos) return IMAGEIO_FORMAT_PDF;
  return IMAGEIO_FORMAT_UNKNOWN;
}

int ReadImageInfoFromMemory(std::string_view bytes, ImageFileInfo& info) {
  info = ImageFileInfo{};
  const int format = SniffImageFormat(bytes);
  if (format == IMAGEIO_FORMAT_PDF) return imageio::ReadPdfInfo(bytes, info);
  return Guarded([&] {
    std::vector<PageImage> pages;
    ReadAny(format, bytes, false, pages);
    info.format = format;
    for (const PageImage& p : pages) info.pages.push_back(p.info);
    return IMAGEIO_OK;
  });
}

int ReadImageInfo(const std::string& path, ImageFileInfo& info) {
  std::string bytes;
  const int rc = LoadFile(path, bytes);
  if (rc != IMAGEIO_OK) return rc;
  return ReadImageInfoFromMemory(bytes, info);
}

int ConvertImageToPdfInMemory(std::string_view bytes, std::string& pdf) {
  return Guarded([&] {
    std::vector<PageImage> pages;
    ReadAny(SniffImageFormat(bytes), bytes, true, pages);
    pdf = imageio::WritePdf(pages);
    return static_cast<int>(pages.size());
  });
}

int ConvertImageFileToPdf(const std::string& source, const std::string& target) {
  if (target.empty()) return IMAGEIO_E_PARAM;
  std::uint64_t size = 0;
  if (const int rc = CheckFile(source, size); rc != IMAGEIO_OK) return rc;
  // Written beside the target and renamed over it, so a failure never leaves
  // a half-written target. No fsync: the caller files the result at once and
  // its own store makes that durable.
  const std::string work = target + ".~" + std::to_string(::getpid()) + ".tmp";
  const int pages = Guarded([&] {
    std::vector<PageImage> images;
    // A TIFF (faxes run to hundreds of pages) is read from the file as the
    // PDF is written rather than loaded whole first.
    std::string bytes;
    if (!imageio::ReadTiffFile(source, size, images)) {
      auto content = platform::ReadFile(source);
      if (!content) return IMAGEIO_E_NOFILE;
      bytes = std::move(*content);
      ReadAny(SniffImageFormat(bytes), bytes, true, images);
    }
    try {
      imageio::WritePdfFile(images, work);
    } catch (const ImageError&) {
      throw;                               // the source failed while being read, not the output
    } catch (const std::runtime_error&) {  // the writer's system errors
      imageio::Fail(IMAGEIO_E_WRITE, "cannot write the PDF");
    }
    return static_cast<int>(images.size());
  });
  if (pages < 1 || !platform::RenamePath(work, target, true)) {
    platform::RemoveFile(work);
    return pages < 1 ? pages : IMAGEIO_E_WRITE;
  }
  return pages;
}

}  // namespace zv::companion
