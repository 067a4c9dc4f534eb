#include "support/temp_dir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace zv::companion::testing {

TempDir::TempDir() {
  std::string base = std::filesystem::temp_directory_path().string() + "/zv_companion_XXXXXX";
  if (::mkdtemp(base.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = base;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Read-only folders left by permission tests must not stop the clean-up.
  for (auto& e : std::filesystem::recursive_directory_iterator(
           path_, std::filesystem::directory_options::skip_permission_denied, ec)) {
    if (e.is_directory(ec) && !e.is_symlink(ec)) {
      std::filesystem::permissions(e.path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
    }
  }
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << text;
}

std::string ReadText(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

void SetAge(const std::string& path, std::int64_t secondsAgo) {
  struct timespec times[2];
  times[0].tv_sec = times[1].tv_sec = std::time(nullptr) - secondsAgo;
  times[0].tv_nsec = times[1].tv_nsec = 0;
  ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
  if (const char* old = std::getenv(name)) {
    had_ = true;
    old_ = old;
  }
  if (value) {
    ::setenv(name, value, 1);
  } else {
    ::unsetenv(name);
  }
}

ScopedEnv::~ScopedEnv() {
  if (had_) {
    ::setenv(name_.c_str(), old_.c_str(), 1);
  } else {
    ::unsetenv(name_.c_str());
  }
}

}  // namespace zv::companion::testing
