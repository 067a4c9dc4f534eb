// Paper sizes: the printer's paper for a paper code, and the paper of a
// document's first page.
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <cmath>

#include "companion/common.h"
#include "companion/export_guard.h"
#include "dravel/core.h"
#include "imagelib/Pixmoor.h"
#include "platform/fs.h"
#include "platform/library.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace zv::dravel {

std::optional<short> WindowsPaperSize(int paperCode) {
  switch (paperCode) {
    case 1: return 8;   // A3
    case 2: return 9;   // A4
    case 3: return 11;  // A5
    case 5: return 12;  // B4
    case 6: return 13;  // B5
    case 96: return 1;  // Letter
    default: return std::nullopt;
  }
}

std::optional<PaperInfo> PdfPaperInfo(const std::string& path) {
  try {
    QPDF pdf;
    pdf.setSuppressWarnings(true);
    pdf.setAttemptRecovery(true);
    pdf.processFile(path.c_str());
    const auto pages = QPDFPageDocumentHelper(pdf).getAllPages();
    if (pages.empty()) return std::nullopt;
    QPDFPageObjectHelper page = pages.front();
    // The displayed box: the crop box where there is one, else the media box.
    QPDFObjectHandle box = page.getCropBox(false, false);
    if (!box.isRectangle()) return std::nullopt;
    const QPDFObjectHandle::Rectangle r = box.getArrayAsRectangle();
    double width = std::fabs(r.urx - r.llx), height = std::fabs(r.ury - r.lly);
    if (!std::isfinite(width) || !std::isfinite(height) || width < 1 || height < 1 || width > 200000 || height > 200000)
      return std::nullopt;
    QPDFObjectHandle rotate = page.getAttribute("/Rotate", false);
    long long degrees = rotate.isInteger() ? rotate.getIntValue() : 0;
    degrees = ((degrees % 360) + 360) % 360;
    if (degrees == 90 || degrees == 270) std::swap(width, height);
    // Points are pixels at 72 dpi; ten times finer keeps the fractions.
    const int w = static_cast<int>(std::lround(width * 10)), h = static_cast<int>(std::lround(height * 10));
    const int code = companion::ComPaperSize(w, h, 720, 720);
    if (code <= 0) return std::nullopt;
    return PaperInfo{code, w < h ? 1 : 2};
  } catch (const std::exception& e) {
    ZV_DRAVEL_TRACE("GetTargetPaperSize: " + path + ": " + e.what());
    return std::nullopt;
  }
}

namespace {

// First page of an image file, read by the image library of the viewer's
// folder.
std::optional<PaperInfo> ImagePaperInfo(const std::string& path) {
  const platform::SharedLibrary library = platform::SharedLibrary::Adopt(MyLoadLibrary("Pixmoor.dll"));
  if (!library) {
    ZV_DRAVEL_TRACE("GetTargetPaperSize: the image library is not available");
    return std::nullopt;
  }
  auto initialize = library.Symbol<ImageIO_InitializeFunc>(IMAGEIO_INITIALIZE_NAME);
  auto uninitialize = library.Symbol<ImageIO_UnInitializeFunc>(IMAGEIO_UNINITIALIZE_NAME);
  auto getFileInfo = library.Symbol<ImageIO_GetFileInfoFunc>(IMAGEIO_GETFILEINFO_NAME);
  std::optional<PaperInfo> found;
  if (initialize != nullptr && uninitialize != nullptr && getFileInfo != nullptr &&
      initialize(nullptr, "Dravel ", 0) != 0) {
    ImageIOFileInfo info{};
    info.structSize = sizeof info;
    if (getFileInfo(path.c_str(), 0, &info) == IMAGEIO_OK && info.format != IMAGEIO_FORMAT_PDF && info.width > 0 &&
        info.height > 0) {
      // An image without a resolution is taken at 72 dpi, as it is filed.
      const int xDpi = info.xDpi > 0 ? info.xDpi : 72, yDpi = info.yDpi > 0 ? info.yDpi : 72;
      const int code = companion::ComPaperSize(info.width, info.height, xDpi, yDpi);
      // Orientation by the physical size: fax pages have unequal resolutions.
      const bool portrait = static_cast<double>(info.width) / xDpi < static_cast<double>(info.height) / yDpi;
      if (code > 0) found = PaperInfo{code, portrait ? 1 : 2};
    }
    uninitialize();
  }
  return found;
}

}  // namespace

}  // namespace zv::dravel

using namespace zv;

static int GetPrinterOutputSizeBody(const char* printer, const char* port, unsigned char paperCode, short* paperSize) {
  if (printer == nullptr || port == nullptr || *printer == '\0' || *port == '\0' || paperCode == 0 ||
      paperSize == nullptr)
    return -1;
  const auto size = dravel::WindowsPaperSize(paperCode);
  if (!size) return 2;
  *paperSize = *size;
  return 0;
}

extern "C" DRAVEL_API int GetPrinterOutputSize(const char* printer, const char* port, unsigned char paperCode,
                                               short* paperSize) {
  return zv::companion::ExportGuard("_Dravel", "GetPrinterOutputSize", -1,
                                    [&] { return GetPrinterOutputSizeBody(printer, port, paperCode, paperSize); });
}

static int GetTargetPaperSizeBody(void* /*owner*/, const char* path, int* paperCode, int* orientation) {
  if (path == nullptr || *path == '\0' || !platform::IsFile(path)) return 0;
  // A PDF is read here; any other file is asked of the image library.
  const auto info = platform::EqualsNoCase(platform::Extension(path), "pdf") ? dravel::PdfPaperInfo(path)
                                                                             : dravel::ImagePaperInfo(path);
  if (!info) return 0;
  if (paperCode != nullptr) *paperCode = info->paperCode;
  if (orientation != nullptr) *orientation = info->orientation;
  return 1;
}

extern "C" DRAVEL_API int GetTargetPaperSize(void* owner, const char* path, int* paperCode, int* orientation) {
  return zv::companion::ExportGuard("_Dravel", "GetTargetPaperSize", 0,
                                    [&] { return GetTargetPaperSizeBody(owner, path, paperCode, orientation); });
}
