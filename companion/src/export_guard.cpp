#include "companion/export_guard.h"

#include <string>

#include "companion/trace.h"

namespace zv::companion {

void TraceEscapedException(std::string_view tag, std::string_view routine, const char* what) noexcept {
  try {
    std::string line(routine);
    line += ": unexpected failure: ";
    line += what != nullptr ? what : "unknown exception";
    Trace(tag, __FILE__, __LINE__, line);
  } catch (...) {
    // Out of memory even for the trace line: the result code still tells.
  }
}

}  // namespace zv::companion
