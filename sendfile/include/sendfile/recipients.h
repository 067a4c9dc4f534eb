// The list of users a send can notify (ImpSendUser.dat): reading and
// checking it, saving it, its back-up, import and export.
//
// The file: section "users", key "count" and keys "username1".."username<n>"
// (each name quoted). A save replaces the file in one atomic step and then
// writes the same bytes as "<name>.bak" (ImpSendUser.bak) the same way, so a
// process killed at any point leaves the old or the new list, never none.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zv::sendfile {

inline constexpr int kDefaultMaxUser = 50;
inline constexpr std::size_t kMaxNameWidth = 20;

// [option] MaxUser of a settings file: 0 or less, or missing, counts as 50.
int MaxUserOf(int stored);

enum class NameCheck { Ok, Blank, TooLong, Forbidden };
// Trims blanks at both ends of `name` and checks it: 1 to 20 display
// columns, no control character, none of \ / : , ' ? " < > | *.
NameCheck CheckName(std::string& name);
// Names compare without regard to letter case.
bool SameName(std::string_view a, std::string_view b);

enum class ListStatus { Ok, Unreadable, BadCount, OverMax, BadName };
const char* ListStatusText(ListStatus s);
struct UserList {
  ListStatus status = ListStatus::Ok;
  std::vector<std::string> names;  // every good name (BadName: the bad ones left out)
};
UserList ReadUserList(const std::string& path, int maxUser);

// "<path without extension>.bak".
std::string BackupPathOf(const std::string& path);
// A missing list comes back from its back-up (when that is a readable
// list). True when the list exists afterwards.
bool RestoreUserListFromBackup(const std::string& path);

// Test hook: called at "begin", "replaced" and "backed-up" of a save.
using SaveStepHook = void (*)(const char* step);
void SetSaveStepHook(SaveStepHook hook);

// Writes the names (every one must pass CheckName unchanged; at most
// maxUser). False (nothing changed) on a bad list or a failed write.
bool SaveUserList(const std::string& path, const std::vector<std::string>& names, int maxUser);

enum class ImportStatus { Ok, Missing, NotExported, BadList, WriteFailed };
// Replaces the list by an exported file's names, after checking all of them.
ImportStatus ImportUserList(const std::string& path, const std::string& from, int maxUser);
// Writes the list to `to` with [general] MarloftID=1.
bool ExportUserList(const std::string& path, const std::string& to);

}  // namespace zv::sendfile
