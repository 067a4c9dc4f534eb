// The work desk as the monitor reaches it: the work-desk folder, named by the
// work-desk locator library of the viewer's folder ("Tarnwick.dll"), and the
// import of a document into it through the work-desk import library
// ("Pinfold.DLL"), which leaves each page as a PDF file in that folder.
//
// While the work desk works on its folder it holds "<folder>/~Working.Locked".
#pragma once

#include <cstdint>
#include <string>

namespace zv::monitor {

inline constexpr const char* kWorkingLockName = "~Working.Locked";
// Results of WorkDesk_ImportFile that mean "the work desk is busy, try again".
inline constexpr int kWorkDeskBusy = -10;
inline constexpr int kWorkDeskBusy2 = -228;
// A busy work desk is asked again every 5 s until 10 minutes have passed
// since the first call.
inline constexpr std::int64_t kWorkDeskRetryMs = 5'000;
inline constexpr std::int64_t kWorkDeskRetryLimitMs = 10 * 60 * 1'000;

// The work-desk folder from the locator library; empty when it cannot be
// loaded or knows none. `loaded` (may be null) becomes false when the library
// could not be loaded or lacks its entry point: the start-up then reports
// kIdsCannotLoadLibrary with "Tarnwick.dll".
std::string GetWorkDeskFolder(bool* loaded = nullptr);

struct WorkDeskRequest {
  std::string folder;  // the work-desk folder (the setting's target binder)
  std::string source;  // the file to import
  int a3b4 = 0;        // [EnvSetting] A3B4 of the viewer
  int dataChange = 0;  // [EnvSetting] DataChange of the viewer
  int print = 0;       // the setting's print flag
  void* owner = nullptr;
};

struct WorkDeskOutcome {
  int result = -1;        // the import result: 0 success, -1 failure
  int libraryResult = 0;  // the last result of WorkDesk_ImportFile (0: never called)
  int calls = 0;          // calls of WorkDesk_ImportFile, busy retries included
  int pages = 0;          // pages the work desk received
  std::string message;    // the failure's message
  std::string printCopy;  // with a print flag: the copy to print after a successful import
};

// The work-desk import: the secured-PDF check of a PDF source, the import
// library (present, loaded), the image library's session, the print copy
// (as the library's insertion makes it), the call with its busy retry, and
// the unloading. Every wait goes through the platform clock.
WorkDeskOutcome ImportToWorkDesk(const WorkDeskRequest& request);

// The copy of a document that is printed after its import and deleted then,
// in the temporary folder's "Hopvale" (where the library's insertion puts
// its own). "" when it cannot be made (traced): the document is filed all
// the same, only not printed.
std::string MakePrintCopy(const std::string& source);

}  // namespace zv::monitor
