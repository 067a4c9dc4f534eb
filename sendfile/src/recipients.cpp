#include "sendfile/recipients.h"

#include "companion/services.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace zv::sendfile {

namespace ini = platform::ini;

namespace {

SaveStepHook g_saveHook = nullptr;
void Step(const char* s) {
  if (g_saveHook) g_saveHook(s);
}

std::string ListText(const std::vector<std::string>& names) {
  std::string text = "[users]\n";
  for (std::size_t i = 0; i < names.size(); ++i) text += "username" + std::to_string(i + 1) + "=\"" + names[i] + "\"\n";
  text += "count=" + std::to_string(names.size()) + "\n";
  return text;
}

bool ListAcceptable(const std::vector<std::string>& names, int maxUser) {
  if (static_cast<int>(names.size()) > MaxUserOf(maxUser)) return false;
  for (const auto& n : names) {
    std::string t = n;
    if (CheckName(t) != NameCheck::Ok || t != n) return false;
  }
  return true;
}

}  // namespace

int MaxUserOf(int stored) { return stored <= 0 ? kDefaultMaxUser : stored; }

NameCheck CheckName(std::string& name) {
  const auto first = name.find_first_not_of(" \t");
  if (first == std::string::npos) {
    name.clear();
    return NameCheck::Blank;
  }
  name = name.substr(first, name.find_last_not_of(" \t") - first + 1);
  if (platform::DisplayWidth(name) > kMaxNameWidth) return NameCheck::TooLong;
  return companion::IsValidUserName(name) ? NameCheck::Ok : NameCheck::Forbidden;
}

bool SameName(std::string_view a, std::string_view b) { return platform::EqualsNoCase(a, b); }

const char* ListStatusText(ListStatus s) {
  switch (s) {
    case ListStatus::Ok: return "ok";
    case ListStatus::Unreadable: return "list cannot be read";
    case ListStatus::BadCount: return "user count is negative or not a number";
    case ListStatus::OverMax: return "user count is over the most users";
    case ListStatus::BadName: return "a name of the list is empty or not allowed";
  }
  return "?";
}

UserList ReadUserList(const std::string& path, int maxUser) {
  UserList out;
  if (!platform::IsFile(path)) {
    out.status = ListStatus::Unreadable;
    return out;
  }
  const int count = ini::GetInt(path, "users", "count", -1);
  if (count < 0) {
    out.status = ListStatus::BadCount;
    return out;
  }
  if (count > MaxUserOf(maxUser)) {
    out.status = ListStatus::OverMax;
    return out;
  }
  // A bad name is left out and reported; the names after it stay, so a
  // list saved after editing keeps them.
  for (int i = 1; i <= count; ++i) {
    std::string name = ini::GetString(path, "users", "username" + std::to_string(i), "");
    const std::string stored = name;
    if (CheckName(name) != NameCheck::Ok || name != stored) {
      out.status = ListStatus::BadName;
      continue;
    }
    out.names.push_back(std::move(name));
  }
  return out;
}

std::string BackupPathOf(const std::string& path) {
  const std::string folder = platform::ParentFolder(path);
  return platform::JoinPath(folder, platform::StripExtension(platform::LastComponent(path)) + ".bak");
}

bool RestoreUserListFromBackup(const std::string& path) {
  if (platform::IsFile(path)) return true;
  const std::string bak = BackupPathOf(path);
  if (!platform::IsFile(bak)) return false;
  const ListStatus status = ReadUserList(bak, 1 << 30).status;
  if (status != ListStatus::Ok && status != ListStatus::BadName) return false;
  const auto bytes = platform::ReadFile(bak);
  return bytes && platform::WriteFileAtomic(path, *bytes);
}

void SetSaveStepHook(SaveStepHook hook) { g_saveHook = hook; }

bool SaveUserList(const std::string& path, const std::vector<std::string>& names, int maxUser) {
  if (!ListAcceptable(names, maxUser)) return false;
  Step("begin");
  const std::string text = ListText(names);
  if (!platform::WriteFileAtomic(path, text)) return false;
  ini::ClearCache();
  Step("replaced");
  // The back-up follows the same way; a failure here leaves the new list.
  platform::WriteFileAtomic(BackupPathOf(path), text);
  Step("backed-up");
  return true;
}

ImportStatus ImportUserList(const std::string& path, const std::string& from, int maxUser) {
  if (!platform::IsFile(from)) return ImportStatus::Missing;
  if (ini::GetInt(from, "general", "MarloftID", 0) != 1) return ImportStatus::NotExported;
  const UserList list = ReadUserList(from, maxUser);
  if (list.status != ListStatus::Ok) return ImportStatus::BadList;
  return SaveUserList(path, list.names, maxUser) ? ImportStatus::Ok : ImportStatus::WriteFailed;
}

bool ExportUserList(const std::string& path, const std::string& to) {
  const UserList list = ReadUserList(path, 1 << 30);
  if (list.status != ListStatus::Ok) return false;
  const bool ok = platform::WriteFileAtomic(to, ListText(list.names) + "[general]\nMarloftID=1\n");
  ini::ClearCache();
  return ok;
}

}  // namespace zv::sendfile
