// The rendering of one document for printing.
#include "ferrule/render.h"

#include <random>

#include "imagelib/imageio.h"
#include "pdfwriter/writer.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace zv::companion::ferrule {

namespace {

// An office document that takes longer than this to render is not printed.
constexpr int kOfficeTimeLimitSeconds = 120;

std::string NewWorkFolder() {
  const std::string base = platform::TempFolder();
  if (base.empty()) return {};
  std::random_device random;
  for (int attempt = 0; attempt < 20; ++attempt) {
    const std::string path = platform::JoinPath(base, "Ferrule-" + std::to_string(random() % 100000000u));
    if (platform::MakeNewFolder(path)) return path;
  }
  return {};
}

}  // namespace

RenderResult RenderForPrint(const std::string& source, std::string& workFolder, const std::string& name,
                            PrintableDocument& out, std::string& why) {
  out = PrintableDocument{};
  const std::string ext = platform::ToLowerAscii(platform::Extension(source));
  // The image library also knows a PDF by its content.
  ImageFileInfo image;
  const bool known = ReadImageInfo(source, image) == IMAGEIO_OK;
  const bool pdf = ext == "pdf" || (known && image.format == IMAGEIO_FORMAT_PDF);
  const bool office = !pdf && !known && !OfficeImportFilter(ext).empty();
  if (!pdf && !known && !office) {
    why = "not a document this plug-in prints: " + source;
    return RenderResult::Unknown;
  }
  out.mimeType = "application/pdf";
  if (pdf) {
    out.file = source;
    out.kind = "pdf";
    out.pages = PdfPageCount(source);
  } else {
    if (workFolder.empty()) workFolder = NewWorkFolder();
    out.file = platform::JoinPath(workFolder, name + ".pdf");
    if (known) {
      out.kind = "image";
      out.pages = workFolder.empty() ? -1 : ConvertImageFileToPdf(source, out.file);
      if (out.pages < 1) {
        why = "the image cannot be made a PDF: " + source + " (" + std::to_string(out.pages) + ")";
        return RenderResult::Failed;
      }
    } else {
      out.kind = "office";
      std::string reason = "no temporary folder";
      if (workFolder.empty() || !OfficeConvert(source, workFolder, out.file, 0, kOfficeTimeLimitSeconds, {}, reason)) {
        why = "the document cannot be rendered: " + source + ": " + reason;
        return RenderResult::Failed;
      }
      out.pages = PdfPageCount(out.file);
    }
  }
  if (out.pages < 1) {
    why = "no page to print in " + source;
    return RenderResult::Failed;
  }
  return RenderResult::Ready;
}

}  // namespace zv::companion::ferrule
