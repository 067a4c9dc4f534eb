// The work desk as the monitor reaches it: the work-desk folder (what the
// work-desk library reports) and the import of a document into it, which
// leaves each page as a PDF file in that folder.
//
// Work-desk folder: [WorkDesk] Folder of the viewer's environment file, else
// <viewer program folder>/WorkDesk. While the work desk works on its folder
// it holds "<folder>/~Working.Locked" open.
#pragma once

#include <string>

namespace zv::monitor {

inline constexpr const char* kWorkingLockName = "~Working.Locked";
// Results of WorkDeskImportFile that mean "the work desk is busy, try again".
inline constexpr int kWorkDeskBusy = -10;
inline constexpr int kWorkDeskBusy2 = -228;

std::string GetWorkDeskFolder();

// Imports `source` into `workDeskFolder`: every page of a PDF becomes
// "<name>_<stamp>_<page>.pdf" there. Returns the page count (> 0) on success,
// kWorkDeskBusy while the work desk holds its working lock, -1 for a source
// that is not a usable PDF, -2 for a folder that cannot be written.
// `pageCount` receives the number of pages written.
int WorkDeskImportFile(const std::string& workDeskFolder, const std::string& source,
                       const std::string& stamp, int* pageCount);

}  // namespace zv::monitor
