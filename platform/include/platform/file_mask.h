// File-name masks as the desktop's path specs match them.
#pragma once

#include <string_view>

namespace zv::platform {

// True when the file name `name` matches `mask`:
// - letters compare without regard to ASCII case; other bytes exactly;
// - "*" matches any run of characters (none included), "?" exactly one
//   character (one UTF-8 sequence, never half of one);
// - a mask ending in ".*" also matches a name without an extension, so
//   "*.*" matches every name;
// - a mask ending in "." (not ".*") matches only names without an extension
//   ("*." every such name, "read*." "readme" but not "readme.txt");
// - "[", "]" and every other character stand for themselves;
// - an empty mask, and a mask holding "/", match nothing; so does an empty
//   name or one holding "/" (a path, not a name).
// A name has an extension when it holds a "." after its first character.
bool MatchesFileMask(std::string_view mask, std::string_view name);

}  // namespace zv::platform
