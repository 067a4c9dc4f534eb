// The C entry point of libGantry.so.
#include "companion/export_guard.h"
#include "pdfsecurity/Gantry.h"
#include "pdfsecurity/pdfsecurity.h"

extern "C" __attribute__((visibility("default"))) int SecurityCheckPDF(const char* path) {
  return zv::companion::ExportGuard("_Gantry", "SecurityCheckPDF", GANTRY_E_OTHER, [&] {
    if (path == nullptr) return static_cast<int>(GANTRY_E_OTHER);
    return static_cast<int>(zv::companion::CheckPdfSecurity(path));
  });
}
