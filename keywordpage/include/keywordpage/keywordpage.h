// Finding a binder's page by keyword and taking pages out of a binder; the
// C exports of libFennet.so (Fennet.h) run these.
#pragma once

#include <string>

namespace zv::keywordpage {

// See FindPageWithKeyword3 in Fennet.h.
int FindPage(const std::string& pageFile, const std::string& text);
// See DelPageFromBinder in Fennet.h.
int DeletePages(const std::string& pageFile, int first, int last, bool pair);

// Test hook: called with a step name while a deletion runs ("journal",
// "page-file", "committed"), so a crash test can stop the process there.
using DeleteStepHook = void (*)(const char* step);
void SetDeleteStepHook(DeleteStepHook hook);

}  // namespace zv::keywordpage
