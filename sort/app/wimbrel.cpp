// wimbrel: the sort-folder library's two directions without dialogs.
//
//   wimbrel to-folders LINK SORT NAME --all   folders for every binder offered
//   wimbrel to-binders LINK SORT NAME --yes   libraries, cabinets and binders
//                                             for the folders of SORT
//
// Prints every path it made, one a line; the run's messages go to standard
// error. Exit status: 0 done (also when there was nothing to make), 1 the run
// failed or was refused, 2 wrong arguments.
#include <cstdio>
#include <string>
#include <string_view>

#include "companion/common.h"
#include "sort/sort.h"

namespace {

using namespace zv;

// Answers every question with OK: the command line said so already.
class CommandUi : public sort::Ui {
 public:
  int Message(const std::string& text, const std::string& caption, int style) override {
    std::string t = text;
    for (std::size_t at; (at = t.find("\r\n")) != std::string::npos;) t.replace(at, 2, "\n");
    std::fprintf(stderr, "%s%s%s\n", caption.c_str(), caption.empty() ? "" : ": ", t.c_str());
    const int kind = style & 0xF;
    return kind == companion::kMbYesNo || kind == companion::kMbYesNoCancel ? companion::kIdYes : companion::kIdOk;
  }
  void ShowFolderErrors(const std::string& text, const std::string& listPath) override {
    std::fprintf(stderr, "%s\n", text.c_str());
    if (auto f = std::fopen(listPath.c_str(), "r")) {
      char buf[4096];
      for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) std::fwrite(buf, 1, n, stderr);
      std::fclose(f);
    }
  }
};

int Usage() {
  std::fprintf(stderr,
               "usage: wimbrel to-folders LINK SORT NAME --all\n"
               "       wimbrel to-binders LINK SORT NAME --yes\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) return Usage();
  const std::string_view verb = argv[1], flag = argv[5];
  CommandUi ui;
  sort::Run run;
  run.linkFolder = argv[2];
  run.sortFolder = argv[3];
  run.linkName = argv[4];
  run.ui = &ui;
  std::string folder;
  int days = 7;
  run.trace.enabled = sort::ReadTraceLogInfoForSort(folder, days) == 1 ? 1 : 0;
  run.trace.path = folder;
  run.trace.termDays = days;

  sort::Outcome o;
  if (verb == "to-folders" && flag == "--all") {
    sort::BinderTree tree = sort::LoadBinderTree(run.linkFolder, run.linkName);
    tree.TickAll(true);
    if (tree.TickedCount() == 0) {
      std::fprintf(stderr, "no binder to make a folder for\n");
      return 0;
    }
    o = sort::BuildFoldersForBinders(run, tree);
  } else if (verb == "to-binders" && flag == "--yes") {
    o = sort::FromFolderToBinder(run, false);
  } else {
    return Usage();
  }
  for (const auto& p : o.created) std::printf("%s\n", p.c_str());
  return o.result == 1 || o.nothingToCreate ? 0 : 1;
}
