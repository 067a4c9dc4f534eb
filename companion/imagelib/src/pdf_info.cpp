// Page count and page sizes of a PDF, read with the PDF library's C
// interface, loaded on first use. Image conversion never needs it, and a
// converter process should not pay for loading it (and its crypto
// libraries) at start-up; a process that already has it loaded gets it for
// nothing here.
#include <cmath>
#include <mutex>
#include <new>

#include <qpdf/Constants.h>
#include <qpdf/qpdf-c.h>

#include "image_internal.h"
#include "platform/library.h"

#ifndef ZV_QPDF_SONAME
#define ZV_QPDF_SONAME "libqpdf.so"
#endif

namespace zv::companion::imageio {
namespace {

struct PdfLibrary {
  decltype(&qpdf_init) init = nullptr;
  decltype(&qpdf_cleanup) cleanup = nullptr;
  decltype(&qpdf_silence_errors) silenceErrors = nullptr;
  decltype(&qpdf_set_suppress_warnings) suppressWarnings = nullptr;
  decltype(&qpdf_read_memory) readMemory = nullptr;
  decltype(&qpdf_has_error) hasError = nullptr;
  decltype(&qpdf_get_error) getError = nullptr;
  decltype(&qpdf_get_error_code) errorCode = nullptr;
  decltype(&qpdf_get_num_pages) pageCount = nullptr;
  decltype(&qpdf_get_page_n) page = nullptr;
  decltype(&qpdf_oh_is_dictionary) isDictionary = nullptr;
  decltype(&qpdf_oh_has_key) hasKey = nullptr;
  decltype(&qpdf_oh_get_key) key = nullptr;
  decltype(&qpdf_oh_is_array) isArray = nullptr;
  decltype(&qpdf_oh_get_array_n_items) arraySize = nullptr;
  decltype(&qpdf_oh_get_array_item) item = nullptr;
  decltype(&qpdf_oh_is_number) isNumber = nullptr;
  decltype(&qpdf_oh_get_numeric_value) number = nullptr;
  decltype(&qpdf_oh_release_all) releaseAll = nullptr;
  bool loaded = false;
};

const PdfLibrary& Library() {
  static PdfLibrary lib;
  static std::once_flag once;
  std::call_once(once, [] {
    platform::SharedLibrary h = platform::SharedLibrary::OpenSystem(ZV_QPDF_SONAME);
    if (!h) h = platform::SharedLibrary::OpenSystem("libqpdf.so");
    if (!h) return;
    // Kept loaded for the life of the process: the functions bound stay valid.
    lib.loaded = h.Bind("qpdf_init", lib.init) && h.Bind("qpdf_cleanup", lib.cleanup) &&
                 h.Bind("qpdf_silence_errors", lib.silenceErrors) &&
                 h.Bind("qpdf_set_suppress_warnings", lib.suppressWarnings) &&
                 h.Bind("qpdf_read_memory", lib.readMemory) && h.Bind("qpdf_has_error", lib.hasError) &&
                 h.Bind("qpdf_get_error", lib.getError) && h.Bind("qpdf_get_error_code", lib.errorCode) &&
                 h.Bind("qpdf_get_num_pages", lib.pageCount) && h.Bind("qpdf_get_page_n", lib.page) &&
                 h.Bind("qpdf_oh_is_dictionary", lib.isDictionary) && h.Bind("qpdf_oh_has_key", lib.hasKey) &&
                 h.Bind("qpdf_oh_get_key", lib.key) && h.Bind("qpdf_oh_is_array", lib.isArray) &&
                 h.Bind("qpdf_oh_get_array_n_items", lib.arraySize) && h.Bind("qpdf_oh_get_array_item", lib.item) &&
                 h.Bind("qpdf_oh_is_number", lib.isNumber) && h.Bind("qpdf_oh_get_numeric_value", lib.number) &&
                 h.Bind("qpdf_oh_release_all", lib.releaseAll);
    if (lib.loaded) h.Release();
  });
  return lib;
}

// The document, released however the reading ends.
class Document {
 public:
  explicit Document(const PdfLibrary& lib) : lib_(lib), data_(lib.init()) {
    if (data_ == nullptr) throw std::bad_alloc();
    // Failures are checked after each step; nothing goes to stderr.
    lib_.silenceErrors(data_);
    lib_.suppressWarnings(data_, QPDF_TRUE);
  }
  ~Document() {
    // An error never taken would be reported on stderr by the cleanup.
    if (lib_.hasError(data_)) lib_.getError(data_);
    lib_.cleanup(&data_);
  }
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;
  qpdf_data get() const { return data_; }

 private:
  const PdfLibrary& lib_;
  qpdf_data data_;
};

// The page's /MediaBox, inherited from its ancestors where it has none.
// Missing or malformed: an empty box.
void MediaBox(const PdfLibrary& lib, qpdf_data q, qpdf_oh node, double box[4]) {
  box[0] = box[1] = box[2] = box[3] = 0;
  // The depth bound stops a /Parent loop.
  for (int depth = 0; depth < 64 && lib.isDictionary(q, node); ++depth) {
    if (lib.hasKey(q, node, "/MediaBox")) {
      const qpdf_oh a = lib.key(q, node, "/MediaBox");
      if (!lib.isArray(q, a) || lib.arraySize(q, a) != 4) return;
      double values[4];
      for (int i = 0; i < 4; ++i) {
        const qpdf_oh v = lib.item(q, a, i);
        if (!lib.isNumber(q, v)) return;
        values[i] = lib.number(q, v);
      }
      for (int i = 0; i < 4; ++i) box[i] = values[i];
      return;
    }
    if (!lib.hasKey(q, node, "/Parent")) return;
    node = lib.key(q, node, "/Parent");
  }
}

int Points(double length) {
  const double v = std::fabs(length);
  if (!std::isfinite(v) || v > 1e9) return 0;
  return static_cast<int>(std::lround(v));
}

}  // namespace

int ReadPdfInfo(std::string_view bytes, ImageFileInfo& info) {
  const PdfLibrary& lib = Library();
  if (!lib.loaded) return IMAGEIO_E_UNSUPPORTED;
  try {
    Document doc(lib);
    const qpdf_data q = doc.get();
    if (lib.readMemory(q, "document", bytes.data(), bytes.size(), nullptr) & QPDF_ERRORS) {
      const qpdf_error e = lib.getError(q);
      return e != nullptr && lib.errorCode(q, e) == qpdf_e_password ? IMAGEIO_E_UNSUPPORTED : IMAGEIO_E_CORRUPT;
    }
    const int count = lib.pageCount(q);
    if (count <= 0 || count > 1'000'000 || lib.hasError(q)) return IMAGEIO_E_CORRUPT;
    for (int i = 0; i < count; ++i) {
      double box[4];
      MediaBox(lib, q, lib.page(q, static_cast<std::size_t>(i)), box);
      lib.releaseAll(q);
      ImagePageInfo p;
      p.width = Points(box[2] - box[0]);
      p.height = Points(box[3] - box[1]);
      p.xDpi = p.yDpi = 72;
      info.pages.push_back(p);
    }
    if (lib.hasError(q)) {
      info.pages.clear();
      return IMAGEIO_E_CORRUPT;
    }
  } catch (const std::bad_alloc&) {
    return IMAGEIO_E_MEMORY;
  }
  info.format = IMAGEIO_FORMAT_PDF;
  return IMAGEIO_OK;
}

}  // namespace zv::companion::imageio
