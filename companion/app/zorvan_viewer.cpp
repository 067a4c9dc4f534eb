// Stand-in for the suite's viewer: answers the version query and opens a
// binder's first page (or any file) in the desktop's default application.
#include <cstdio>
#include <string>

#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/process.h"

namespace platform = zv::platform;

namespace {

constexpr const char* kHelp =
    "Usage: zorvan-viewer [--version | --help | --print-target PATH | PATH]\n"
    "Stand-in for the document viewer of the suite.\n"
    "  --version            print \"Zorvan Reader 4.0\" and exit\n"
    "  PATH                 a binder folder: open its first page file; a file: open it;\n"
    "                       both with the desktop's default application (xdg-open)\n"
    "  --print-target PATH  print the file that PATH would open, open nothing\n"
    "It does not display or edit binders itself.\n";

// The first page file of a binder folder: "<folder>/<name><id>.pdf" of the
// first page that has a file, or "<folder>/<name>.pdf" for a single-file
// binder; the folder itself when neither exists.
std::string FirstPageFile(const std::string& folder) {
  std::string name = platform::LastComponent(platform::TrimTrailingSeparator(folder));
  std::string ini = platform::JoinPath(folder, name + ".ini");
  if (!platform::IsFile(ini)) return folder;
  if (platform::ini::GetInt(ini, "BinderInfo", "FilePageMode", 1) == 0) {
    std::string single = platform::JoinPath(folder, name + ".pdf");
    return platform::IsFile(single) ? single : folder;
  }
  if (!platform::ini::SectionExists(ini, "PageInfo")) return folder;
  for (int page = 1; page <= 10000; ++page) {
    std::string p = "Page" + std::to_string(page);
    int id = platform::ini::GetInt(ini, "PageInfo", p + "FilePageID", -1);
    int flag = platform::ini::GetInt(ini, "PageInfo", p + "Flag", -1);
    if (id < 0 && flag < 0) break;  // past the last page
    if (flag == 2 || id < 0) continue;
    std::string file = platform::JoinPath(folder, name + std::to_string(id) + ".pdf");
    if (platform::IsFile(file)) return file;
  }
  return folder;
}

std::string Target(const std::string& path) { return platform::IsFolder(path) ? FirstPageFile(path) : path; }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kHelp, stderr);
    return 2;
  }
  std::string arg = argv[1];
  if (arg == "--version") {
    std::puts("Zorvan Reader 4.0");
    return 0;
  }
  if (arg == "--help" || arg == "-h") {
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (arg == "--print-target") {
    if (argc < 3) {
      std::fputs(kHelp, stderr);
      return 2;
    }
    std::puts(Target(argv[2]).c_str());
    return 0;
  }
  if (!platform::Exists(arg)) {
    std::fprintf(stderr, "zorvan-viewer: %s does not exist\n", arg.c_str());
    return 1;
  }
  return platform::ShellOpen(Target(arg)) ? 0 : 1;
}
