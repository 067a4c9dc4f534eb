// Environment variables of this process changed for a scope. Variables for a
// child go with the child instead (platform::Process::Spawn's environment).
#pragma once

#include <optional>
#include <string>

namespace zv::testing {

// Sets (or, with nullptr, removes) a variable; the value it had before, or
// its absence, comes back at destruction, whatever Set did in between.
class ScopedEnv {
 public:
  explicit ScopedEnv(const std::string& name);  // keeps the value until Set
  ScopedEnv(const std::string& name, const char* value);
  ScopedEnv(const std::string& name, const std::string& value) : ScopedEnv(name, value.c_str()) {}
  ~ScopedEnv();
  void Set(const char* value);  // nullptr removes it
  void Set(const std::string& value) { Set(value.c_str()); }
  void Unset() { Set(nullptr); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

}  // namespace zv::testing
