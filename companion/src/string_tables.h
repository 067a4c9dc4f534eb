// How a deliverable's string table file registers its entries.
//
// Each table is an array sorted by id (ascending, no duplicates). A text
// given in one language only leaves the other pointer null; the lookup then
// serves the given text for both languages.
#pragma once

#include <cstddef>

namespace zv::companion::detail {

struct StringEntry {
  int id;
  const char* english;   // null: no English text
  const char* japanese;  // null: no Japanese text
};

extern const StringEntry kMonitorStrings[];
extern const std::size_t kMonitorStringsCount;
// The monitor's settings dialog (looked up after kMonitorStrings).
extern const StringEntry kMonitorSheetStrings[];
extern const std::size_t kMonitorSheetStringsCount;

extern const StringEntry kDravelStrings[];
extern const std::size_t kDravelStringsCount;

extern const StringEntry kSortFolderStrings[];
extern const std::size_t kSortFolderStringsCount;

extern const StringEntry kImportListStrings[];
extern const std::size_t kImportListStringsCount;

}  // namespace zv::companion::detail
