// The C entry point of libGantry.so.
#include "pdfsecurity/Gantry.h"
#include "pdfsecurity/pdfsecurity.h"

extern "C" __attribute__((visibility("default"))) int SecurityCheckPDF(const char* path) {
  try {
    if (path == nullptr) return GANTRY_E_OTHER;
    return static_cast<int>(zv::companion::CheckPdfSecurity(path));
  } catch (...) {
    return GANTRY_E_OTHER;
  }
}
