#include "testing/scoped_env.h"

#include <cstdlib>

namespace zv::testing {

ScopedEnv::ScopedEnv(const std::string& name) : name_(name) {
  if (const char* old = std::getenv(name.c_str())) old_ = old;
}

ScopedEnv::ScopedEnv(const std::string& name, const char* value) : ScopedEnv(name) { Set(value); }

void ScopedEnv::Set(const char* value) {
  if (value)
    ::setenv(name_.c_str(), value, 1);
  else
    ::unsetenv(name_.c_str());
}

ScopedEnv::~ScopedEnv() { Set(old_ ? old_->c_str() : nullptr); }

}  // namespace zv::testing
