// Internals of paths.cpp shared with its tests.
#pragma once

#include <string>

namespace zv::platform::detail {

// Makes `dir` a private folder of this user: created 0700 when missing;
// refused (false) when it is a symbolic link, not a folder, or owned by
// someone else; an own folder open to others is narrowed to 0700.
bool EnsurePrivateFolder(const std::string& dir);

}  // namespace zv::platform::detail
