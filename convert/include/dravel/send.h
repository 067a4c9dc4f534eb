// Pages dropped from the work desk into a binder (the send-file insertion)
// and the page count of a dropped file; the exports AddPagesToBinderForSendFile
// and GetFileTotalPageForSendFile run these.
#pragma once

#include <string>

namespace zv::dravel {

// The send's insert position (0 front, anything else back) as the binder
// library's constant (kInsertFront / kInsertBack). The only place that maps
// one onto the other.
int SendPositionToBinder(int sendPosition);

// See AddPagesToBinderForSendFile in dravel.h.
int SendPages(void* owner, const std::string& binderFolder, const std::string& undoDataPath, int pageCount,
              int insertPosition, bool securedBinder);
// See GetFileTotalPageForSendFile in dravel.h.
int FileTotalPage(const std::string& path);

// Test hook: called with a step name while a send runs ("locked",
// "tmp-ini", "page-files", "pdf-replaced", "committed"), so a crash test can
// stop the process there.
using SendStepHook = void (*)(const char* step);
void SetSendStepHook(SendStepHook hook);

}  // namespace zv::dravel
