// The C entry points of libFennet.so.
#include "companion/export_guard.h"
#include "keywordpage/Fennet.h"
#include "keywordpage/keywordpage.h"

#define FENNET_API extern "C" __attribute__((visibility("default")))

FENNET_API int FindPageWithKeyword3(const char* pageFile, const char* text) {
  if (pageFile == nullptr || text == nullptr) return -1;
  return zv::companion::ExportGuard("_Fennet", "FindPageWithKeyword3", -1,
                                    [&] { return zv::keywordpage::FindPage(pageFile, text); });
}

FENNET_API int DelPageFromBinder(const char* pageFile, int first, int last, int pair) {
  if (pageFile == nullptr || *pageFile == '\0') return FENNET_DEL_PATH;
  return zv::companion::ExportGuard("_Fennet", "DelPageFromBinder", FENNET_DEL_FILES,
                                    [&] { return zv::keywordpage::DeletePages(pageFile, first, last, pair != 0); });
}
