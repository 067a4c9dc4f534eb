// The C entry points of libPixmoor.so.
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "companion/export_guard.h"
#include "companion/trace.h"
#include "imagelib/Pixmoor.h"
#include "imagelib/imageio.h"

#define PIXMOOR_API extern "C" __attribute__((visibility("default")))

namespace {

// Open sessions, innermost last: the caller name of each.
std::vector<std::string>& Sessions() {
  static std::vector<std::string> sessions;
  return sessions;
}

void TraceFailure(const char* routine, const char* path, int code) {
  try {
    const std::string prefix = Sessions().empty() ? std::string() : Sessions().back();
    ZV_TRACE("_Pixmoor", prefix + routine + ": " + (path ? path : "(null)") + " failed, code=" + std::to_string(code));
  } catch (...) {
  }
}

bool Empty(const char* s) { return s == nullptr || *s == '\0'; }

template <typename Body>
int Guard(const char* routine, int failure, Body&& body) {
  return zv::companion::ExportGuard("_Pixmoor", routine, failure, std::forward<Body>(body));
}

}  // namespace

PIXMOOR_API int ImageIO_Initialize(void* ownerWindow, const char* callerName, int flags) {
  (void)ownerWindow;
  if (callerName == nullptr || flags != 0) return 0;
  return Guard("ImageIO_Initialize", 0, [&] {
    Sessions().emplace_back(callerName);
    return 1;
  });
}

PIXMOOR_API int ImageIO_UnInitialize(void) {
  if (Sessions().empty()) return 0;
  Sessions().pop_back();
  return 1;
}

PIXMOOR_API int ImageIO_GetFileInfo(const char* path, int page, ImageIOFileInfo* info) {
  if (Empty(path) || info == nullptr || info->structSize != static_cast<int>(sizeof(ImageIOFileInfo)))
    return IMAGEIO_E_PARAM;
  if (page < 0) return IMAGEIO_E_PAGE;
  return Guard("ImageIO_GetFileInfo", IMAGEIO_E_INTERNAL, [&] {
    zv::companion::ImageFileInfo file;
    const int rc = zv::companion::ReadImageInfo(path, file);
    if (rc != IMAGEIO_OK) {
      TraceFailure("ImageIO_GetFileInfo", path, rc);
      return rc;
    }
    if (static_cast<std::size_t>(page) >= file.pages.size()) return static_cast<int>(IMAGEIO_E_PAGE);
    const zv::companion::ImagePageInfo& p = file.pages[static_cast<std::size_t>(page)];
    info->format = file.format;
    info->pageCount = static_cast<int>(file.pages.size());
    info->width = p.width;
    info->height = p.height;
    info->xDpi = static_cast<int>(p.xDpi + 0.5);
    info->yDpi = static_cast<int>(p.yDpi + 0.5);
    info->bitsPerPixel = p.bitsPerPixel;
    return static_cast<int>(IMAGEIO_OK);
  });
}

PIXMOOR_API int ImageIO_CheckSupport(const char* path) {
  if (Empty(path)) return 0;
  return Guard("ImageIO_CheckSupport", 0, [&] {
    zv::companion::ImageFileInfo file;
    if (zv::companion::ReadImageInfo(path, file) != IMAGEIO_OK) return 0;
    return file.format == IMAGEIO_FORMAT_PDF ? 0 : file.format;
  });
}

PIXMOOR_API int ImageIO_GetSaveFuncInfo(int format, ImageIOSaveInfo* info) {
  if (info == nullptr || info->structSize != static_cast<int>(sizeof(ImageIOSaveInfo))) return IMAGEIO_E_PARAM;
  if (format != IMAGEIO_FORMAT_PDF) return IMAGEIO_E_UNSUPPORTED;
  info->format = IMAGEIO_FORMAT_PDF;
  info->multiPage = 1;
  info->defaultDpi = 72;
  std::memset(info->extension, 0, sizeof info->extension);
  std::memcpy(info->extension, "pdf", 3);
  return IMAGEIO_OK;
}

PIXMOOR_API int ImageIO_SaveFileName(const char* source, const char* target, int format, int flags) {
  if (Empty(source) || Empty(target) || flags != 0) return IMAGEIO_E_PARAM;
  if (format != IMAGEIO_FORMAT_PDF) return IMAGEIO_E_UNSUPPORTED;
  return Guard("ImageIO_SaveFileName", IMAGEIO_E_INTERNAL, [&] {
    const int rc = zv::companion::ConvertImageFileToPdf(source, target);
    if (rc < 1) TraceFailure("ImageIO_SaveFileName", source, rc);
    return rc;
  });
}
