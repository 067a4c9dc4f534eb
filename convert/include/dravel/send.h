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

// What a send-file tool's send records with the pages, in the same binder
// ini replacement: "<keywordStamp>_<i> " in front of the i-th inserted
// page's keyword (none when empty), and the binder's Version raised to
// `binderVersion` (never lowered; 0 leaves it).
struct SendMarks {
  std::string keywordStamp;
  int binderVersion = 0;
};

// See AddPagesToBinderForSendFile and AddPagesToBinderForSendFile2 in
// dravel.h.
int SendPages(void* owner, const std::string& binderFolder, const std::string& undoDataPath, int pageCount,
              int insertPosition, bool securedBinder, const SendMarks& marks = {});
// See GetFileTotalPageForSendFile in dravel.h.
int FileTotalPage(const std::string& path);

// Test hook: called with a step name while a send runs ("locked",
// "tmp-ini", "page-files", "pdf-replaced", "committed"), so a crash test can
// stop the process there.
using SendStepHook = void (*)(const char* step);
void SetSendStepHook(SendStepHook hook);

}  // namespace zv::dravel
