// The C entry points of libPixmoor.so.
#include <cstring>
#include <string>
#include <vector>

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
    ZV_TRACE("_Pixmoor", prefix + routine + ": " + (path ? path : "(null)") +
                             " failed, code=" + std::to_string(code));
  } catch (...) {
  }
}

bool Empty(const char* s) { return s == nullptr || *s == '\0'; }

}  // namespace

PIXMOOR_API int ImageIO_Initialize(void* ownerWindow, const char* callerName, int flags) {
  (void)ownerWindow;
  if (callerName == nullptr || flags != 0) return 0;
  try {
    Sessions().emplace_back(callerName);
    return 1;
  } catch (...) {
    return 0;
  }
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
  try {
    zv::companion::ImageFileInfo file;
    const int rc = zv::companion::ReadImageInfo(path, file);
    if (rc != IMAGEIO_OK) {
      TraceFailure("ImageIO_GetFileInfo", path, rc);
      return rc;
    }
    if (static_cast<std::size_t>(page) >= file.pages.size()) return IMAGEIO_E_PAGE;
    const zv::companion::ImagePageInfo& p = file.pages[static_cast<std::size_t>(page)];
    info->format = file.format;
    info->pageCount = static_cast<int>(file.pages.size());
    info->width = p.width;
    info->height = p.height;
    info->xDpi = static_cast<int>(p.xDpi + 0.5);
    info->yDpi = static_cast<int>(p.yDpi + 0.5);
    info->bitsPerPixel = p.bitsPerPixel;
    return IMAGEIO_OK;
  } catch (...) {
    return IMAGEIO_E_INTERNAL;
  }
}

PIXMOOR_API int ImageIO_CheckSupport(const char* path) {
  if (Empty(path)) return 0;
  try {
    zv::companion::ImageFileInfo file;
    if (zv::companion::ReadImageInfo(path, file) != IMAGEIO_OK) return 0;
    return file.format == IMAGEIO_FORMAT_PDF ? 0 : file.format;
  } catch (...) {
    return 0;
  }
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
  try {
    const int rc = zv::companion::ConvertImageFileToPdf(source, target);
    if (rc < 1) TraceFailure("ImageIO_SaveFileName", source, rc);
    return rc;
  } catch (...) {
    return IMAGEIO_E_INTERNAL;
  }
}
