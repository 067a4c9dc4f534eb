// What the sort-folder core's files share.
#pragma once

#include <string>
#include <string_view>

#include "companion/strings.h"
#include "sort/sort.h"

namespace zv::sort::detail {

inline constexpr const char* kTag = "_Wimbrel";

// Text of the sort-folder table.
std::string Text(int id);
// A text with its first "%d" and its first "%s" filled in.
std::string Format(int id, long long number, std::string_view text);
std::string Format(int id, std::string_view text);
std::string Format(int id, long long a, long long b);

// The Ui of a run (the default one when none is given).
Ui& UiOf(const Run& run);

// "<folder>/<name>".
std::string Join(std::string_view folder, std::string_view name);

// The folder-name check of the conversion library: 1 usable, 0 refused
// (reported in the error list), -1 not a name to check.
int CheckName(const std::string& name, int level, std::string& line1, std::string& line2, const std::string& location);

// Message ids of the sort-folder table.
enum : int {
  kCreateBindersCaption = 1,
  kCreateBindersAsk = 2,
  kNothingToCreate = 3,
  kProgressTitle = 4,
  kDoneCaption = 5,
  kBindersDone = 6,
  kLibraryFailed = 7,
  kCabinetFailed = 8,
  kBinderFailed = 9,
  kLibraryLimit = 10,
  kCabinetLimit = 11,
  kBinderLimit = 12,
  kFolderFailed = 13,
  kFoldersDone = 14,
  kFolderNameErrors = 15,
  kForeignFolder = 24,
  kUnusableTitles = 25,
  kSharedFolder = 26,
  kNested = 28,
  kChangedMeanwhile = 30,
};

}  // namespace zv::sort::detail

#define ZV_SORT_TRACE(run, msg) ::zv::sort::TraceLine((run), __FILE__, __LINE__, (msg))
