// Loading a library from the viewer's program folder.
//
// Library names of the suite map to shared objects of ours named after them:
// the extension ".dll" (any case) is dropped and the name becomes
// "lib<name>.so" -- "Pixmoor.dll" loads "libPixmoor.so", "Gantry.DLL"
// "libGantry.so". Where the exact name is not in the folder, a name that
// differs only in ASCII case is taken ("pixmoor.dll" finds "libPixmoor.so").
// The library is loaded by its absolute path and the working folder is never
// changed: it belongs to the whole process, and the monitor loads libraries
// on its watch thread while other threads resolve relative paths. The shared
// objects find their own dependencies in the viewer's folder through their
// RUNPATH ($ORIGIN), not through the working folder.
#include "companion/export_guard.h"
#include "companion/services.h"
#include "dravel/core.h"
#include "platform/fs.h"
#include "platform/library.h"
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

static void* MyLoadLibraryBody(const char* name) {
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
  platform::SharedLibrary library = platform::SharedLibrary::Open(path);
  if (!library) ZV_DRAVEL_TRACE("MyLoadLibrary: " + library.error());
  // The caller owns the handle from here (platform::SharedLibrary::Adopt closes it).
  return library.Release();
}

extern "C" DRAVEL_API void* MyLoadLibrary(const char* name) {
  return zv::companion::ExportGuard("_Dravel", "MyLoadLibrary", nullptr, [&] { return MyLoadLibraryBody(name); });
}
