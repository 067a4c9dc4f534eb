// The C entry point of libPinfold.so. Image sources go through the image
// library found beside this library.
#include <cstring>
#include <string>

#include "companion/export_guard.h"
#include "imagelib/Pixmoor.h"
#include "platform/library.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "workdesk/Pinfold.h"
#include "workdesk/workdesk.h"

namespace {

std::string OwnFolder() { return zv::platform::ModuleFolder(reinterpret_cast<const void*>(&OwnFolder)); }

int FromImageCode(int code) {
  switch (code) {
    case IMAGEIO_E_PARAM:
    case IMAGEIO_E_UNSUPPORTED: return PINFOLD_E_UNSUPPORTED;
    case IMAGEIO_E_NOFILE: return PINFOLD_E_NOFILE;
    case IMAGEIO_E_CORRUPT:
    case IMAGEIO_E_SIZE:
    case IMAGEIO_E_PAGE: return PINFOLD_E_DAMAGED;
    case IMAGEIO_E_WRITE: return PINFOLD_E_WRITE;
    default: return PINFOLD_E_INTERNAL;
  }
}

// The image library for one import; unloaded when done.
class ImageLibrary {
 public:
  ImageLibrary() {
    const std::string folder = OwnFolder();
    if (folder.empty()) return;
    library_ = zv::platform::SharedLibrary::Open(zv::platform::JoinPath(folder, "libPixmoor.so"));
    library_.Bind(IMAGEIO_INITIALIZE_NAME, init_);
    library_.Bind(IMAGEIO_UNINITIALIZE_NAME, uninit_);
    library_.Bind(IMAGEIO_SAVEFILENAME_NAME, save_);
  }

  bool usable() const { return init_ && uninit_ && save_; }

  int ToPdf(const std::string& image, const std::string& pdf) {
    if (init_(nullptr, "Pinfold ", 0) == 0) return PINFOLD_E_INTERNAL;
    const int r = save_(image.c_str(), pdf.c_str(), IMAGEIO_FORMAT_PDF, 0);
    uninit_();
    return r > 0 ? r : FromImageCode(r);
  }

 private:
  zv::platform::SharedLibrary library_;
  ImageIO_InitializeFunc init_ = nullptr;
  ImageIO_UnInitializeFunc uninit_ = nullptr;
  ImageIO_SaveFileNameFunc save_ = nullptr;
};

void SetMessage(char* message, const std::string& text) {
  if (message == nullptr) return;
  const std::string_view cut = zv::platform::Utf8CutBytes(text, PINFOLD_MESSAGE_SIZE - 1);
  std::memcpy(message, cut.data(), cut.size());
  message[cut.size()] = '\0';
}

bool Empty(const char* s) { return s == nullptr || *s == '\0'; }

}  // namespace

extern "C" __attribute__((visibility("default"))) int WorkDesk_ImportFile(const char* folder, const char* source,
                                                                          int a3b4, int dataChange, int* converted,
                                                                          int* pageCount, int reserved1, int reserved2,
                                                                          int reserved3, int reserved4, char* message) {
  // Pages are written whole: neither option changes what the work desk gets.
  (void)a3b4;
  (void)dataChange;
  if (pageCount != nullptr) *pageCount = 0;
  SetMessage(message, "");
  if (Empty(folder) || Empty(source) || reserved1 != 0 || reserved2 != 0 || reserved3 != 0 || reserved4 != 0) {
    SetMessage(message, "bad arguments");
    return PINFOLD_E_PARAM;
  }
  return zv::companion::ExportGuard(
      "_Pinfold", "WorkDesk_ImportFile", PINFOLD_E_INTERNAL,
      [&] {
        // The image library is loaded only for a source that is not a PDF.
        const zv::companion::workdesk::ImageToPdf toPdf = [](const std::string& image, const std::string& pdf) {
          ImageLibrary images;
          return images.usable() ? images.ToPdf(image, pdf) : PINFOLD_E_IMAGELIB;
        };
        const auto outcome = zv::companion::workdesk::ImportFile(folder, source, toPdf);
        if (converted != nullptr) *converted = outcome.converted ? 1 : 0;
        if (outcome.result > 0 && pageCount != nullptr) *pageCount = outcome.result;
        SetMessage(message, outcome.message);
        return outcome.result;
      },
      [&] { SetMessage(message, "internal error"); });
}
