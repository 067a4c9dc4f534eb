// The binder selection dialog on a full link folder (6 x 20 x 21 = 2,520
// binders, written as files): opening it (the tree read from the store and
// filled) and "select all". Targets: under 2 s and under 200 ms.
// Run with QT_QPA_PLATFORM=offscreen (or under a display).
#include <QApplication>
#include <QPushButton>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/fs.h"
#include "platform/paths.h"
#include "sort/sort.h"
#include "sort/ui/dialogs.h"

namespace {

using namespace zv;
using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point since) { return std::chrono::duration<double, std::milli>(Clock::now() - since).count(); }

// A link folder as the store writes it, made file by file (the store's own
// creation takes minutes for 2,520 binders).
void WriteFullLinkFolder(const std::string& link) {
  auto list = [](const char* prefix, int n) {
    std::string s;
    for (int i = 1; i <= n; ++i) s += std::string(prefix) + std::to_string(i) + ",";
    return s;
  };
  auto zeros = [](int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += "0,";
    return s;
  };
  platform::MakeFolders(link);
  platform::WriteFileAtomic(link + "/Folder.ini",
                            "[FolderInfo]\nNameList=" + list("Library ", 6) + "\nTypeList=" + zeros(6) + "\n");
  for (int l = 1; l <= 6; ++l) {
    const std::string lib = link + "/Library " + std::to_string(l);
    platform::MakeFolders(lib);
    platform::WriteFileAtomic(lib + "/Folder.ini",
                              "[FolderInfo]\nNameList=" + list("Cabinet ", 20) + "\nTypeList=" + zeros(20) + "\n");
    for (int c = 1; c <= 20; ++c) {
      const std::string cab = lib + "/Cabinet " + std::to_string(c);
      platform::MakeFolders(cab);
      platform::WriteFileAtomic(cab + "/Folder.ini", "[BinderInfo]\nNameList=" + list("Binder ", 21) + "\n");
      for (int b = 1; b <= 21; ++b) {
        const std::string name = "Binder " + std::to_string(b);
        platform::MakeFolders(cab + "/" + name);
        platform::WriteFileAtomic(
            cab + "/" + name + "/" + name + ".ini",
            "[Version]\nVersion=3\n[BinderInfo]\nTitle=" + name + "\nPageTotal=0\n[PageInfo]\nMaxPageID=0\n");
      }
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  std::string tmpl = platform::TempFolder() + "/sort-dialog-bench-XXXXXX";
  if (mkdtemp(tmpl.data()) == nullptr) return 1;
  const std::string link = tmpl + "/link";
  WriteFullLinkFolder(link);
  sort::Run run;
  run.linkFolder = link;
  run.sortFolder = tmpl + "/sort";
  run.linkName = "Local";

  auto t = Clock::now();
  sort::BinderTree tree = sort::LoadBinderTree(link, "Local");
  int offered = 0;
  for (const auto& l : tree.libraries)
    for (const auto& c : l.cabinets) offered += static_cast<int>(c.binders.size());
  sort::ui::BinderSelectionDialog dialog(run, std::move(tree));
  dialog.show();
  QApplication::processEvents();
  const double openMs = Ms(t);
  t = Clock::now();
  dialog.selectAllButton()->click();
  QApplication::processEvents();
  const double allMs = Ms(t);
  std::printf("binders offered   %d (OK %s after select all)\n", offered,
              dialog.okButton()->isEnabled() ? "enabled" : "disabled");
  std::printf("open dialog       %8.1f ms (target < 2000)\n", openMs);
  std::printf("select all        %8.1f ms (target < 200)\n", allMs);
  platform::RemoveTree(tmpl);
  return 0;
}
