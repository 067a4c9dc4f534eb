// Shared objects loaded at run time.
//
// A library of the installation is always loaded by its absolute path: a
// relative name would be resolved against the working folder, which belongs
// to the whole process and may be changed by any thread. System libraries
// (the PDF library, loaded on first use) are found by their soname through
// the system's search path. Neither way ever touches the working folder.
#pragma once

#include <string>

namespace zv::platform {

class SharedLibrary {
 public:
  SharedLibrary() = default;
  ~SharedLibrary();
  SharedLibrary(SharedLibrary&& other) noexcept;
  SharedLibrary& operator=(SharedLibrary&& other) noexcept;
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  // Loads the shared object at `path`, which must be absolute. On failure
  // the result is not valid() and error() says why (the loader's text).
  static SharedLibrary Open(const std::string& path);
  // Loads a system library by its soname ("libqpdf.so.29"), which must be a
  // bare file name.
  static SharedLibrary OpenSystem(const std::string& soname);
  // Takes over a handle that the loader gave out elsewhere (closed here).
  static SharedLibrary Adopt(void* handle);

  bool valid() const { return handle_ != nullptr; }
  explicit operator bool() const { return valid(); }
  const std::string& error() const { return error_; }

  // The address of an exported symbol, nullptr when missing.
  void* Address(const char* name) const;
  template <typename F>
  F Symbol(const char* name) const {
    return reinterpret_cast<F>(Address(name));
  }
  // Looks `name` up into `target`; false when missing.
  template <typename F>
  bool Bind(const char* name, F& target) const {
    target = Symbol<F>(name);
    return target != nullptr;
  }

  // Hands the handle over to a caller that closes it itself; this object is
  // left empty.
  void* Release();
  // Unloads now (also done on destruction).
  void Close();

 private:
  void* handle_ = nullptr;
  std::string error_;
};

// The folder of the shared object (or program) that holds `address`; "" when
// unknown.
std::string ModuleFolder(const void* address);

}  // namespace zv::platform
