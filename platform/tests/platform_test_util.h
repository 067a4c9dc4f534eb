// Helpers for the platform tests: a scratch folder and small file utilities.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/fs.h"

namespace zv::platform::testing {

class ScratchDir {
 public:
  ScratchDir() {
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/zvplat-XXXXXX";
    if (char* p = ::mkdtemp(tmpl.data())) path_ = p;
  }
  ~ScratchDir() {
    if (!path_.empty()) {
      // Restore write access a test may have taken away, so cleanup works.
      ::chmod(path_.c_str(), 0700);
      RemoveTree(path_);
    }
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline void Put(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

inline std::string Get(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline mode_t ModeOf(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return 0;
  return st.st_mode & 07777;
}

inline bool RunningAsRoot() { return ::geteuid() == 0; }

}  // namespace zv::platform::testing
