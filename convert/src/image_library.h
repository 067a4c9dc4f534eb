// The image library (Pixmoor) as one call of ours uses it: loaded by name
// from the viewer's folder, its functions bound, a session opened on
// request, and the session closed and the library unloaded at the end.
#pragma once

#include "companion/services.h"
#include "imagelib/Pixmoor.h"
#include "platform/library.h"

namespace zv::dravel {

class ImageLibrary {
 public:
  ImageLibrary() = default;
  ImageLibrary(const ImageLibrary&) = delete;
  ImageLibrary& operator=(const ImageLibrary&) = delete;
  ~ImageLibrary() { Unload(); }

  // False when the library is missing or lacks one of the functions (it is
  // then unloaded again).
  bool Load() {
    lib_ = platform::SharedLibrary::Adopt(MyLoadLibrary("Pixmoor.dll"));
    if (lib_ && lib_.Bind(IMAGEIO_INITIALIZE_NAME, initialize) && lib_.Bind(IMAGEIO_UNINITIALIZE_NAME, uninitialize) &&
        lib_.Bind(IMAGEIO_GETFILEINFO_NAME, getFileInfo) && lib_.Bind(IMAGEIO_CHECKSUPPORT_NAME, checkSupport) &&
        lib_.Bind(IMAGEIO_GETSAVEFUNCINFO_NAME, getSaveFuncInfo) && lib_.Bind(IMAGEIO_SAVEFILENAME_NAME, saveFileName))
      return true;
    lib_.Close();
    return false;
  }
  bool loaded() const { return static_cast<bool>(lib_); }

  // Opens the session; `callerName` prefixes the library's trace lines.
  bool Initialize(void* owner, const char* callerName) {
    initialised_ = initialize(owner, callerName, 0) == 1;
    return initialised_;
  }
  bool initialised() const { return initialised_; }

  void Unload() {
    if (initialised_) uninitialize();
    initialised_ = false;
    lib_.Close();
  }

  ImageIO_InitializeFunc initialize = nullptr;
  ImageIO_UnInitializeFunc uninitialize = nullptr;
  ImageIO_GetFileInfoFunc getFileInfo = nullptr;
  ImageIO_CheckSupportFunc checkSupport = nullptr;
  ImageIO_GetSaveFuncInfoFunc getSaveFuncInfo = nullptr;
  ImageIO_SaveFileNameFunc saveFileName = nullptr;

 private:
  platform::SharedLibrary lib_;
  bool initialised_ = false;
};

}  // namespace zv::dravel
