// The safe write of the settings file: every save goes through a ".new" copy
// that replaces the file in one rename, with a ".bak" copy of the state
// before the save kept beside it.
#pragma once

#include <functional>
#include <string>

namespace zv::monitor {

// Under the environment lock of the file's folder:
//  1. copies `file` to "<file>.bak" and "<file>.new" (each copy tried up to 3
//     times, 1 s apart, and confirmed after 100 ms by up to 3 checks 1 s
//     apart); a missing settings file fails at once;
//  2. calls writeSection("<file>.new") inside one write group of that file;
//  3. commits by renaming "<file>.new" over `file` in one step, so the
//     settings file is never missing, not even after a crash.
// A settings file that cannot be replaced (read-only, or the rename fails)
// stays as it was. On any failure "<file>.new" is deleted, kIdsCannotSave is
// shown (exclamation icon) and the result is false. "<file>.bak" is kept.
bool SafeWriteSettings(const std::string& file, const std::function<bool(const std::string& newFile)>& writeSection);

}  // namespace zv::monitor
