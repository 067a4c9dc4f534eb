// A fresh temporary folder per test, removed afterwards, and small helpers
// for preparing files.
#pragma once

#include <cstdint>
#include <string>

namespace zv::companion::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

void WriteText(const std::string& path, const std::string& text);
std::string ReadText(const std::string& path);
// Sets the modification time to `secondsAgo` before now.
void SetAge(const std::string& path, std::int64_t secondsAgo);

// Sets or clears an environment variable for the lifetime of the guard.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  bool had_ = false;
  std::string old_;
};

}  // namespace zv::companion::testing
