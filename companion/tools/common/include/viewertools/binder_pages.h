// What the viewer's tools read from a binder: its pages in order.
#pragma once

#include <string>
#include <vector>

#include "binderlib/binderini.h"
#include "binderlib/binderlib.h"

namespace zv::companion::viewertools {

// The binder's counted pages (every page but those without a page file) in
// binder order, each as its page file and the page's place in that file,
// opened with `password`.
std::vector<binder::PageOfFile> BinderPages(const binder::BinderSummary& b, const std::string& password);

}  // namespace zv::companion::viewertools
