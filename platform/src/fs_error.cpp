#include "platform/fs_error.h"

#include <cstring>

namespace zv::platform {
namespace {

thread_local FsError t_lastError;

}  // namespace

std::string FsError::Message() const {
  if (code == 0) return {};
  char buffer[256];
  // The GNU strerror_r returns the text (not always in the buffer).
  const char* text = strerror_r(code, buffer, sizeof buffer);
  return op + " " + path + ": " + text;
}

const FsError& LastFsError() { return t_lastError; }

void ClearFsError() { t_lastError = FsError{}; }

namespace detail {

bool FsFailed(const char* op, const std::string& path, int code) {
  try {
    t_lastError.op = op;
    t_lastError.path = path;
  } catch (...) {
    // Out of memory: the number alone still tells something.
  }
  t_lastError.code = code != 0 ? code : EIO;
  return false;
}

}  // namespace detail
}  // namespace zv::platform
