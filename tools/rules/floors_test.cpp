// The house rules, checked on the source tree:
// - a module includes only headers of its own floor or the floors below;
// - Qt is included only by ui/common, the */ui modules and the work desk's
//   drag-source tool (and their CMakeLists.txt alone bring Qt in);
// - shared objects are loaded only through platform/library.h.
// A planted tree with one fault of each kind proves the check can fail.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The floors from the ground up. The longest folder that a path starts with
// gives its floor; "*/ui" stands for the ui folder of any subsystem, "*/app"
// for any program's main(), "*/tests" and "*/bench" for any module's tests
// and benches.
const std::vector<std::pair<std::string, int>> kFloors = {
    {"platform", 0},
    {"companion", 1},
    {"convert/store", 2},
    {"convert/conversion", 2},
    {"convert", 3},
    {"keywordpage", 3},
    {"sort", 4},
    {"implist", 4},
    {"sendfile", 4},
    {"monitor/settings", 5},
    {"monitor/log", 6},
    {"monitor/print", 7},
    {"monitor/watch", 8},
    {"ui/common", 9},
    {"*/ui", 10},
    {"*/app", 11},
    // Tests and benches sit on top of every floor, and so does their shared
    // support.
    {"*/tests", 12},
    {"*/bench", 12},
    {"testing", 12},
};
// Top-level folders that hold no module.
const std::vector<std::string> kNotModules = {"tools", "testdata", "docs", "build", "monitor", "ui"};

std::optional<int> FloorOf(const std::string& path) {
  std::optional<int> best;
  std::size_t bestLength = 0;
  auto consider = [&](std::size_t length, int floor) {
    if (length > bestLength || (length == bestLength && best && floor > *best)) {
      bestLength = length;
      best = floor;
    }
  };
  for (const auto& [folder, floor] : kFloors) {
    if (folder.starts_with("*/")) {
      // Any folder named so, below a subsystem's folder. The top-level ui/
      // holds only ui/common (its headers live under include/ui/common).
      if (folder == "*/ui" && path.starts_with("ui/")) continue;
      const std::string name = "/" + folder.substr(2) + "/";
      const std::size_t at = path.find(name);
      if (at != std::string::npos && at > 0) consider(at + name.size() - 1, floor);
    } else if (path == folder || path.starts_with(folder + "/")) {
      consider(folder.size(), floor);
    }
  }
  return best;
}

bool IsSource(const fs::path& p) {
  static const std::vector<std::string> kinds = {".cpp", ".cc", ".c", ".h", ".hh", ".hpp"};
  return std::find(kinds.begin(), kinds.end(), p.extension().string()) != kinds.end();
}

// The work desk's drag-source stand-in is a program of its own that must
// offer a real drag from a window (the drop target's tests and a drop by
// hand need it); it sits with the work-desk stand-ins it belongs to, so its
// one folder may use Qt although the companion floor may not.
const char* const kQtToolFolder = "companion/workdesk/dragsource/";

bool AllowsQt(const std::string& path) {
  if (path.starts_with("ui/common/") || path.starts_with(kQtToolFolder)) return true;
  const std::size_t at = path.find("/ui/");
  return at != std::string::npos && at > 0 && !path.starts_with("ui/");
}

std::string Read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Relative(const fs::path& p, const fs::path& root) {
  return fs::path(p).lexically_normal().lexically_relative(root).generic_string();
}

// Every rule broken under `root`, one line each.
std::vector<std::string> CheckTree(const fs::path& root) {
  std::vector<std::string> faults;
  std::vector<fs::path> sources, cmakeFiles;
  // Public headers by the name they are included with.
  std::map<std::string, std::string> headers;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    const std::string rel = Relative(it->path(), root);
    if (it->is_directory()) {
      const std::string name = it->path().filename().string();
      if (name.starts_with(".") || (it.depth() == 0 && name == "build")) {
        it.disable_recursion_pending();
        continue;
      }
      if (it.depth() == 0 && std::find(kNotModules.begin(), kNotModules.end(), name) == kNotModules.end() &&
          !FloorOf(rel) && fs::exists(it->path() / "CMakeLists.txt"))
        faults.push_back(rel + ": a module without a floor");
      continue;
    }
    if (!FloorOf(rel)) continue;
    if (it->path().filename() == "CMakeLists.txt") cmakeFiles.push_back(it->path());
    if (!IsSource(it->path())) continue;
    sources.push_back(it->path());
    const std::size_t inc = rel.rfind("/include/");
    if (inc != std::string::npos) headers.emplace(rel.substr(inc + 9), rel);
  }

  static const std::regex include(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
  static const std::regex load(R"(\bdl(open|sym|close)\s*\()");
  for (const fs::path& file : sources) {
    const std::string rel = Relative(file, root);
    const int floor = *FloorOf(rel);
    std::istringstream lines(Read(file));
    int number = 0;
    for (std::string line; std::getline(lines, line);) {
      ++number;
      const std::string where = rel + ":" + std::to_string(number) + ": ";
      if (std::regex_search(line, load) && !rel.starts_with("platform/"))
        faults.push_back(where + "loads a shared object or its symbols outside platform/library.h");
      std::smatch m;
      if (!std::regex_search(line, m, include)) continue;
      const std::string name = m[2];
      const bool qt = name.starts_with("Qt") ||
                      (name.size() > 1 && name[0] == 'Q' && std::isupper(static_cast<unsigned char>(name[1])));
      if (qt && !AllowsQt(rel)) {
        faults.push_back(where + "Qt outside the ui modules: " + name);
        continue;
      }
      // The header: a public one, or a file found from the including
      // file's folder upwards.
      std::optional<std::string> target;
      if (auto h = headers.find(name); h != headers.end()) target = h->second;
      for (fs::path dir = file.parent_path(); !target && dir.has_relative_path() && dir != root;
           dir = dir.parent_path()) {
        if (fs::exists(dir / name)) target = Relative(dir / name, root);
      }
      if (!target) continue;  // a system or outside library's header
      const std::optional<int> to = FloorOf(*target);
      if (to && *to > floor) faults.push_back(where + "includes " + name + " from a floor above");
    }
  }
  for (const fs::path& file : cmakeFiles) {
    const std::string rel = Relative(file, root);
    if (!AllowsQt(rel) && Read(file).find("Qt6") != std::string::npos)
      faults.push_back(rel + ": Qt outside the ui modules");
  }
  return faults;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string all;
  for (const auto& l : lines) all += l + "\n";
  return all;
}

TEST(Floors, TheTreeKeepsTheRules) {
  const std::vector<std::string> faults = CheckTree(ZV_SOURCE_DIR);
  EXPECT_TRUE(faults.empty()) << Joined(faults);
}

void Write(const fs::path& root, const std::string& rel, const std::string& text) {
  fs::create_directories((root / rel).parent_path());
  std::ofstream(root / rel) << text;
}

TEST(Floors, ThePlantedFaultsAreFound) {
  const fs::path root = fs::temp_directory_path() / ("zv-floors-" + std::to_string(::getpid()));
  fs::remove_all(root);
  Write(root, "platform/include/platform/fs.h", "#pragma once\n");
  Write(root, "monitor/log/include/monitor/log/log.h", "#pragma once\n#include \"platform/fs.h\"\n");
  Write(root, "monitor/ui/src/tray.cpp", "#include <QMenu>\n#include \"monitor/log/log.h\"\n");
  Write(root, "monitor/ui/CMakeLists.txt", "find_package(Qt6 REQUIRED)\n");
  Write(root, "convert/src/private.h", "#pragma once\n");
  Write(root, "convert/src/a.cpp", "#include \"private.h\"\n#include <vector>\n");
  Write(root, "ui/common/include/ui/common/box.h", "#pragma once\n#include <QMessageBox>\n");
  Write(root, "ui/common/src/box.cpp", "#include \"ui/common/box.h\"\n#include \"monitor/log/log.h\"\n");
  // The drag-source tool's folder may use Qt; the rest of companion may not.
  Write(root, "companion/workdesk/dragsource/tool.cpp", "#include <QDrag>\n");
  Write(root, "companion/workdesk/dragsource/CMakeLists.txt", "find_package(Qt6 REQUIRED)\n");
  // One fault of each kind.
  Write(root, "platform/src/fs.cpp", "#include \"platform/fs.h\"\n#include \"monitor/log/log.h\"\n");
  Write(root, "companion/src/text.cpp", "  #  include <QString>\n#include <QtCore/QObject>\n");
  Write(root, "convert/CMakeLists.txt", "target_link_libraries(x Qt6::Core)\n");
  Write(root, "convert/src/load.cpp", "void* h = dlopen (name, 0);\nauto f = dlsym(h, \"F\");\n");
  Write(root, "newthing/CMakeLists.txt", "\n");

  const std::vector<std::string> faults = CheckTree(root);
  fs::remove_all(root);
  const std::string all = Joined(faults);
  EXPECT_EQ(faults.size(), 7u) << all;
  EXPECT_NE(all.find("platform/src/fs.cpp:2: includes monitor/log/log.h from a floor above"), std::string::npos) << all;
  EXPECT_NE(all.find("companion/src/text.cpp:1: Qt outside the ui modules: QString"), std::string::npos) << all;
  EXPECT_NE(all.find("convert/CMakeLists.txt: Qt outside the ui modules"), std::string::npos) << all;
  EXPECT_NE(all.find("convert/src/load.cpp:1: loads a shared object"), std::string::npos) << all;
  EXPECT_NE(all.find("convert/src/load.cpp:2: loads a shared object"), std::string::npos) << all;
  EXPECT_NE(all.find("newthing: a module without a floor"), std::string::npos) << all;
}

}  // namespace
