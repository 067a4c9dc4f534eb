// The exported C functions of the sort-folder library.
#include <QApplication>
#include <QWindow>
#include <cstring>
#include <memory>
#include <mutex>

#include "companion/export_guard.h"
#include "sort/Wimbrel.h"
#include "sort/sort.h"
#include "sort/ui/dialogs.h"

namespace {

using namespace zv;

// The library's trace settings, read at the first call of any export (not at
// load: the program folder's settings may not be readable then).
companion::TraceSettings& ModuleTrace() {
  static companion::TraceSettings settings;
  static std::once_flag once;
  std::call_once(once, [] {
    std::string folder;
    int days = 7;
    const int usable = sort::ReadTraceLogInfoForSort(folder, days);
    settings.path = folder;
    settings.termDays = days;
    settings.enabled = usable == 1 ? 1 : 0;
  });
  return settings;
}

bool Usable(const char* s) { return s != nullptr && *s != '\0' && std::strlen(s) < WIMBREL_PATH_MAX; }

// An application object for the dialogs: the caller's, or one made for this
// call when a display is there.
class Screen {
 public:
  Screen() {
    if (QApplication::instance() != nullptr || !sort::ui::DisplayAvailable()) return;
    static int argc = 1;
    static char name[] = "Wimbrel";
    static char* argv[] = {name, nullptr};
    own_ = std::make_unique<QApplication>(argc, argv);
  }
  bool usable() const { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

 private:
  std::unique_ptr<QApplication> own_;
};

sort::Run MakeRun(const char* link, const char* sortFolder, const char* name) {
  sort::Run run;
  run.linkFolder = link;
  run.sortFolder = sortFolder;
  run.linkName = name != nullptr ? name : "";
  run.trace = ModuleTrace();
  return run;
}

int FromBinderToFolderBody(const char* link, const char* sortFolder, const char* name) {
  sort::Run run = MakeRun(Usable(link) ? link : "", Usable(sortFolder) ? sortFolder : "", name);
  if (!Usable(link) || !Usable(sortFolder) || (name != nullptr && std::strlen(name) >= WIMBREL_PATH_MAX)) {
    sort::TraceLine(run, __FILE__, __LINE__, "FromBinderToFolder: a path is missing or too long");
    return 0;
  }
  Screen screen;
  if (!screen.usable()) {
    sort::TraceLine(run, __FILE__, __LINE__, "FromBinderToFolder: no display for the binder selection");
    return 0;
  }
  sort::ui::BinderSelectionDialog dialog(run, sort::LoadBinderTree(run.linkFolder, run.linkName));
  dialog.exec();
  return dialog.made();
}

int FromFolderToBinderBody(const char* link, const char* sortFolder, const char* name, WimbrelWindow owner) {
  if (!Usable(link) || !Usable(sortFolder) || (name != nullptr && std::strlen(name) >= WIMBREL_PATH_MAX)) {
    sort::Run run = MakeRun("", "", "");
    sort::TraceLine(run, __FILE__, __LINE__, "FromFolderToBinder: a path is missing or too long");
    return 0;
  }
  sort::Run run = MakeRun(link, sortFolder, name);
  Screen screen;
  if (!screen.usable()) return sort::FromFolderToBinder(run).result;  // the default answers
  // The windows stay above the caller's window: a hidden parent made
  // transient for it.
  std::unique_ptr<QWindow> foreign;
  QWidget parent;
  if (owner != 0) {
    parent.winId();
    foreign.reset(QWindow::fromWinId(owner));
    if (foreign != nullptr && parent.windowHandle() != nullptr)
      parent.windowHandle()->setTransientParent(foreign.get());
  }
  sort::ui::QtUi ui(owner != 0 ? &parent : nullptr);
  run.ui = &ui;
  return sort::FromFolderToBinder(run).result;
}

int OpneFolderErrorTxtBody() {
  sort::Run run = MakeRun("", "", "");
  Screen screen;
  if (!screen.usable()) return sort::OpenFolderErrorList(run);
  sort::ui::QtUi ui;
  run.ui = &ui;
  return sort::OpenFolderErrorList(run);
}

int ReadTraceLogInfoForSortBody(char* folder, int* keepDays) {
  ModuleTrace();
  std::string path;
  int days = 7;
  const int r = sort::ReadTraceLogInfoForSort(path, days);
  if (keepDays != nullptr) *keepDays = days;
  // A path that does not fit the caller's buffer is refused, never cut.
  if (path.size() >= WIMBREL_PATH_MAX) return 0;
  if (folder != nullptr) std::memcpy(folder, path.c_str(), path.size() + 1);
  return r;
}

}  // namespace

extern "C" WIMBREL_API int FromBinderToFolder(const char* linkFolder, const char* sortFolder, const char* linkName) {
  return companion::ExportGuard("_Wimbrel", "FromBinderToFolder", 0,
                                [&] { return FromBinderToFolderBody(linkFolder, sortFolder, linkName); });
}

extern "C" WIMBREL_API int FromFolderToBinder(const char* linkFolder, const char* sortFolder, const char* linkName,
                                              WimbrelWindow owner) {
  return companion::ExportGuard("_Wimbrel", "FromFolderToBinder", 0,
                                [&] { return FromFolderToBinderBody(linkFolder, sortFolder, linkName, owner); });
}

extern "C" WIMBREL_API int OpneFolderErrorTxt(void) {
  return companion::ExportGuard("_Wimbrel", "OpneFolderErrorTxt", 0, [&] { return OpneFolderErrorTxtBody(); });
}

extern "C" WIMBREL_API int ReadTraceLogInfoForSort(char* folder, int* keepDays) {
  return companion::ExportGuard("_Wimbrel", "ReadTraceLogInfoForSort", 0,
                                [&] { return ReadTraceLogInfoForSortBody(folder, keepDays); });
}
