// Loading a library from the viewer's program folder.
//
// Library names of the suite map to shared objects of ours named after them:
// the extension ".dll" (any case) is dropped and the name becomes
// "lib<name>.so" -- "Pixmoor.dll" loads "libPixmoor.so", "Gantry.DLL"
// "libGantry.so". Where the exact name is not in the folder, a name that
// differs only in ASCII case is taken ("pixmoor.dll" finds "libPixmoor.so").
// The current folder is switched to the viewer's folder during the load, as
// callers expect; the shared objects themselves find their dependencies
// through their RUNPATH ($ORIGIN).
#include <dlfcn.h>

#include <filesystem>
#include <system_error>

#include "companion/services.h"
#include "dravel/core.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace zv::dravel {

std::string SharedObjectName(std::string_view libraryName) {
  std::string name(libraryName);
  const std::string lower = platform::ToLowerAscii(name);
  if (lower.size() > 3 && (lower.ends_with(".so") || lower.find(".so.") != std::string::npos)) return name;
  if (lower.ends_with(".dll")) name.resize(name.size() - 4);
  return "lib" + name + ".so";
}

namespace {

std::string FindInFolder(const std::string& folder, const std::string& fileName) {
  const std::string exact = platform::JoinPath(folder, fileName);
  if (platform::IsFile(exact)) return exact;
  if (auto entries = platform::ListFolder(folder)) {
    for (const auto& e : *entries)
      if (!e.isFolder && platform::EqualsNoCase(e.name, fileName)) return platform::JoinPath(folder, e.name);
  }
  return {};
}

}  // namespace
}  // namespace zv::dravel

using namespace zv;

extern "C" DRAVEL_API void* MyLoadLibrary(const char* name) {
  if (name == nullptr || *name == '\0') return nullptr;
  const std::string folder = platform::TrimTrailingSeparator(companion::ViewerProgramFolder());
  if (folder.empty() || !platform::IsFolder(folder)) {
    ZV_DRAVEL_TRACE(std::string("MyLoadLibrary: no viewer program folder for ") + name);
    return nullptr;
  }
  const std::string path = dravel::FindInFolder(folder, dravel::SharedObjectName(name));
  if (path.empty()) {
    ZV_DRAVEL_TRACE("MyLoadLibrary: " + dravel::SharedObjectName(name) + " not in " + folder);
    return nullptr;
  }
  std::error_code ec;
  const std::filesystem::path previous = std::filesystem::current_path(ec);
  const bool switched = !ec && (std::filesystem::current_path(folder, ec), !ec);
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = dlerror();
    ZV_DRAVEL_TRACE("MyLoadLibrary: " + path + ": " + (why != nullptr ? why : "load failed"));
  }
  if (switched) std::filesystem::current_path(previous, ec);
  return handle;
}
