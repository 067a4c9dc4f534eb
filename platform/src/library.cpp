#include "platform/library.h"

#include <dlfcn.h>

#include <utility>

#include "platform/paths.h"

namespace zv::platform {
namespace {

std::string LoaderError(const std::string& what) {
  const char* why = dlerror();
  return why != nullptr ? std::string(why) : what + ": cannot be loaded";
}

}  // namespace

SharedLibrary::~SharedLibrary() { Close(); }

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), error_(std::move(other.error_)) {}

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, nullptr);
    error_ = std::move(other.error_);
  }
  return *this;
}

SharedLibrary SharedLibrary::Open(const std::string& path) {
  SharedLibrary lib;
  if (path.empty() || path.front() != '/') {
    lib.error_ = (path.empty() ? std::string("(empty)") : path) + ": not an absolute path";
    return lib;
  }
  lib.handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (lib.handle_ == nullptr) lib.error_ = LoaderError(path);
  return lib;
}

SharedLibrary SharedLibrary::OpenSystem(const std::string& soname) {
  SharedLibrary lib;
  if (soname.empty() || soname.find('/') != std::string::npos) {
    lib.error_ = (soname.empty() ? std::string("(empty)") : soname) + ": not a bare library name";
    return lib;
  }
  lib.handle_ = dlopen(soname.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (lib.handle_ == nullptr) lib.error_ = LoaderError(soname);
  return lib;
}

SharedLibrary SharedLibrary::Adopt(void* handle) {
  SharedLibrary lib;
  lib.handle_ = handle;
  if (handle == nullptr) lib.error_ = "no library";
  return lib;
}

void* SharedLibrary::Address(const char* name) const {
  if (handle_ == nullptr || name == nullptr) return nullptr;
  return dlsym(handle_, name);
}

void* SharedLibrary::Release() { return std::exchange(handle_, nullptr); }

void SharedLibrary::Close() {
  if (handle_ != nullptr) dlclose(std::exchange(handle_, nullptr));
}

std::string ModuleFolder(const void* address) {
  Dl_info info{};
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
  return ParentFolder(info.dli_fname);
}

}  // namespace zv::platform
