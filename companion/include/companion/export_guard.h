// The one way an exported C function runs its body: whatever exception
// escapes is caught here, traced with the function's name, and turned into
// the function's failure result. Callers of the libraries are C code (or
// behave like it) and must never see an exception.
//
//   extern "C" int GetThing(char* out) {
//     return zv::companion::ExportGuard("_Tag", "GetThing", 0, [&] { return GetThingBody(out); });
//   }
#pragma once

#include <exception>
#include <string_view>
#include <type_traits>
#include <utility>

namespace zv::companion {

// Writes "<routine>: unexpected failure: <what>" with the process's trace
// settings; `what` may be null. Never throws.
void TraceEscapedException(std::string_view tag, std::string_view routine, const char* what) noexcept;

// Runs `body`; on an exception traces it, runs `onFailure` (for exports that
// also set an error code or clear their outputs; its own exceptions are
// swallowed) and returns `failure`.
template <typename Body, typename OnFailure>
std::invoke_result_t<Body&> ExportGuard(std::string_view tag, std::string_view routine,
                                        std::type_identity_t<std::invoke_result_t<Body&>> failure, Body&& body,
                                        OnFailure&& onFailure) noexcept {
  try {
    return body();
  } catch (const std::exception& e) {
    TraceEscapedException(tag, routine, e.what());
  } catch (...) {
    TraceEscapedException(tag, routine, nullptr);
  }
  try {
    onFailure();
  } catch (...) {
  }
  return failure;
}

template <typename Body>
std::invoke_result_t<Body&> ExportGuard(std::string_view tag, std::string_view routine,
                                        std::type_identity_t<std::invoke_result_t<Body&>> failure,
                                        Body&& body) noexcept {
  return ExportGuard(tag, routine, std::move(failure), std::forward<Body>(body), [] {});
}

// For exports without a result.
template <typename Body>
void ExportGuardVoid(std::string_view tag, std::string_view routine, Body&& body) noexcept {
  try {
    body();
  } catch (const std::exception& e) {
    TraceEscapedException(tag, routine, e.what());
  } catch (...) {
    TraceEscapedException(tag, routine, nullptr);
  }
}

}  // namespace zv::companion
