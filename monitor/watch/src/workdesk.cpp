// The work desk the monitor imports into, reached through the work-desk
// libraries of the viewer's program folder.
#include "monitor/watch/workdesk.h"

#include "companion/services.h"
#include "companion/strings.h"
#include "dravel/dravel.h"
#include "imagelib/Pixmoor.h"
#include "monitor/settings/text_ids.h"
#include "monitor/watch/checks.h"
#include "pdfsecurity/Gantry.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/library.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "workdesk/Pinfold.h"
#include "workdesk/Tarnwick.h"

namespace zv::monitor {

namespace {

std::string Dravel(int id) { return companion::LoadString(companion::StringTable::Dravel, id); }

// A library loaded by name from the viewer's folder, unloaded at scope end.
platform::SharedLibrary LoadFromViewer(const char* name) { return platform::SharedLibrary::Adopt(MyLoadLibrary(name)); }

// The import library must lie in the viewer's folder as a file of its own
// (any case of the name, as the loader accepts it).
bool ImportLibraryPresent() {
  const std::string folder = platform::TrimTrailingSeparator(companion::ViewerProgramFolder());
  if (folder.empty()) return false;
  for (const auto& e : platform::ListFolder(folder).value_or(std::vector<platform::DirEntry>{}))
    if (!e.isFolder && platform::EqualsNoCase(e.name, "libPinfold.so")) return true;
  return false;
}

// The secured-PDF check of a PDF source: empty when it may go on, else the
// message of the refusal.
std::string RefusedBySecurityCheck(const std::string& source) {
  const auto gantry = LoadFromViewer("Gantry.DLL");
  auto check = gantry.Symbol<SecurityCheckPDFFunc>(GANTRY_SECURITY_CHECK_NAME);
  if (check == nullptr) return platform::ReplaceFirst(MonitorText(kIdsCannotLoadLibrary), "%s", "Gantry.DLL");
  const int r = check(source.c_str());
  ZV_WATCH_TRACE("WorkDesk: SecurityCheckPDF() return value is " + std::to_string(r));
  switch (r) {
    case GANTRY_NO_SECURITY: return {};
    // A secured PDF would have to be printed first; the work desk takes
    // nothing it cannot show unchanged.
    case GANTRY_PRINT_ALLOWED:
    case GANTRY_PRINT_DENIED:
    case GANTRY_PASSWORD_NEEDED: return Dravel(companion::kDravelPdfProtected);
    case GANTRY_E_UNSUPPORTED: return Dravel(companion::kDravelFileUnsupported);
    case GANTRY_E_DAMAGED:
      return platform::ReplaceFirst(Dravel(companion::kDravelParameterError), "%d", std::to_string(r));
    case GANTRY_E_MISSING: return Dravel(companion::kDravelFileMissing);
    case GANTRY_E_OTHER: return Dravel(companion::kDravelFileTypeRefused);
    default: return platform::ReplaceFirst(Dravel(companion::kDravelFunctionError), "%s", "SecurityCheckPDF");
  }
}

}  // namespace

std::string GetWorkDeskFolder(bool* loaded) {
  const auto tarnwick = LoadFromViewer("Tarnwick.dll");
  auto get = tarnwick.Symbol<GetWorkDeskFolderFunc>(TARNWICK_GETWORKDESKFOLDER_NAME);
  if (loaded != nullptr) *loaded = get != nullptr;
  if (get == nullptr) return {};
  char folder[TARNWICK_PATH_MAX] = {0};
  if (get(folder) == 0) return {};
  folder[TARNWICK_PATH_MAX - 1] = '\0';
  return platform::TrimTrailingSeparator(folder);
}

std::string MakePrintCopy(const std::string& source) {
  const std::string folder = platform::JoinPath(platform::TempFolder(), "Hopvale");
  const std::string copy = platform::JoinPath(folder, platform::LastComponent(source));
  if (!platform::TempFolder().empty() && copy.size() < DRAVEL_PATH_MAX &&
      (platform::IsFolder(folder) || platform::MakeFolders(folder)) && platform::CopyFile(source, copy, true, false))
    return copy;
  ZV_WATCH_TRACE("MakePrintFile() Error: " + copy);
  return {};
}

WorkDeskOutcome ImportToWorkDesk(const WorkDeskRequest& request) {
  WorkDeskOutcome out;
  if (platform::EqualsNoCase(platform::Extension(request.source), "pdf")) {
    out.message = RefusedBySecurityCheck(request.source);
    if (!out.message.empty()) {
      ZV_WATCH_TRACE("WorkDesk: refused by the secured-PDF check: " + request.source);
      return out;
    }
  }
  // 1, 2: the import library.
  if (!ImportLibraryPresent()) {
    out.message = MonitorText(kIdsViewerNotInstalled);
    return out;
  }
  const auto pinfold = LoadFromViewer("Pinfold.DLL");
  auto import = pinfold.Symbol<WorkDesk_ImportFileFunc>(PINFOLD_IMPORTFILE_NAME);
  if (import == nullptr) {
    out.message = platform::ReplaceFirst(MonitorText(kIdsCannotLoadLibrary), "%s", "Pinfold.DLL");
    return out;
  }
  // 3: the image library's session for the import.
  const auto pixmoor = LoadFromViewer("Pixmoor.dll");
  auto initialize = pixmoor.Symbol<ImageIO_InitializeFunc>(IMAGEIO_INITIALIZE_NAME);
  auto uninitialize = pixmoor.Symbol<ImageIO_UnInitializeFunc>(IMAGEIO_UNINITIALIZE_NAME);
  if (initialize == nullptr || uninitialize == nullptr || initialize(request.owner, "ZorvanService", 0) == 0) {
    out.message = platform::ReplaceFirst(MonitorText(kIdsWorkAreaImportFailed), "%d", "-1");
    return out;
  }
  // 4: the print copy, in the folder where the library's insertion puts its
  // own. Without it the document is filed all the same, only not printed.
  if (request.print > 0) out.printCopy = MakePrintCopy(request.source);

  // 5: the import; a busy work desk is asked again.
  const std::int64_t first = platform::SteadyMs();
  for (;;) {
    int cleared = 0;
    int pages = 0;
    char message[PINFOLD_MESSAGE_SIZE] = {0};
    out.libraryResult = import(request.folder.c_str(), request.source.c_str(), request.a3b4, request.dataChange,
                               &cleared, &pages, 0, 0, 0, 0, message);
    ++out.calls;
    out.pages = out.libraryResult > 0 ? pages : 0;
    if (out.libraryResult != kWorkDeskBusy && out.libraryResult != kWorkDeskBusy2) {
      message[PINFOLD_MESSAGE_SIZE - 1] = '\0';
      if (out.libraryResult <= 0) ZV_WATCH_TRACE(std::string("WorkDesk_ImportFile: ") + message);
      break;
    }
    if (platform::SteadyMs() - first >= kWorkDeskRetryLimitMs) break;
    platform::SleepMs(kWorkDeskRetryMs);
  }
  // 6: end the session; the libraries unload at scope end.
  uninitialize();
  ZV_WATCH_TRACE("WorkDesk_ImportFile() return value is " + std::to_string(out.libraryResult));
  if (out.libraryResult > 0) {
    out.result = 0;
  } else {
    if (!out.printCopy.empty()) platform::RemoveFile(out.printCopy);
    out.printCopy.clear();
    out.message =
        platform::ReplaceFirst(MonitorText(kIdsWorkAreaImportFailed), "%d", std::to_string(out.libraryResult));
  }
  return out;
}

}  // namespace zv::monitor
