#include "binderlib/folderlist.h"

#include <algorithm>
#include <set>

#include "binderlib/format.h"
#include "binderlib/locks.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/text.h"

namespace zv::companion::binder {

namespace ini = platform::ini;

const char* ListSection(Level level) { return level == Level::Cabinet ? kSecBinderInfo : kSecFolderInfo; }

int ChildLimit(Level level) {
  switch (level) {
    case Level::LinkFolder: return kMaxLibraries;
    case Level::Library: return kMaxCabinets;
    case Level::Cabinet: return kMaxBinders;
  }
  return 0;
}

namespace {

// The folder an entry names. "Ex" is a marker, not part of the name; a
// folder whose real name starts with "Ex" is still found when only the
// unstripped name exists on disk.
std::string ResolveEntry(const std::string& folder, const std::string& entry) {
  if (!HasExPrefix(entry)) return entry;
  std::string stripped = StripExPrefix(entry);
  if (!platform::IsFolder(Join(folder, stripped)) && platform::IsFolder(Join(folder, entry))) {
    return entry;
  }
  return stripped;
}

}  // namespace

FolderList ReadFolderList(const std::string& folder, Level level, bool checkFolders) {
  FolderList list;
  const std::string iniPath = Join(folder, kFolderIni);
  if (!platform::IsFile(iniPath)) {
    list.problems.push_back(iniPath + ": Folder.ini missing");
    return list;
  }
  const char* section = ListSection(level);
  list.entries = SplitList(ini::GetString(iniPath, section, kKeyNameList));
  // A cabinet's TypeList is a template value, not a per-entry list.
  if (level != Level::Cabinet) list.types = SplitList(ini::GetString(iniPath, section, kKeyTypeList));
  if (level != Level::Cabinet) {
    std::string edoc = ini::GetString(iniPath, section, kKeyEdocNameList);
    list.edocNameList = std::string(platform::Utf8CutBytes(edoc, kEdocNameListMaxBytes));
  }
  std::set<std::string> seen;
  for (const auto& e : list.entries) {
    std::string name = ResolveEntry(folder, e);
    if (name.empty()) {
      list.problems.push_back(iniPath + ": empty NameList entry");
    } else if (!seen.insert(platform::ToLowerAscii(name)).second) {
      list.problems.push_back(iniPath + ": \"" + name + "\" listed twice");
    } else if (checkFolders && !platform::IsFolder(Join(folder, name))) {
      list.problems.push_back(iniPath + ": \"" + name + "\" names a missing folder");
    }
    list.names.push_back(std::move(name));
  }
  if (level == Level::Cabinet) {
    const std::string pos = ini::GetString(iniPath, section, kKeyPosList);
    for (const auto& k : ini::KeyNames(iniPath, section)) {
      if (platform::EqualsNoCase(k, kKeyPosList)) list.hasPosList = true;
    }
    if (list.hasPosList) {
      const auto parts = SplitList(pos);
      if (parts.size() != list.entries.size()) {
        list.problems.push_back(iniPath + ": PosList has " + std::to_string(parts.size()) + " entries, NameList " +
                                std::to_string(list.entries.size()));
      }
      for (const auto& p : parts) {
        auto v = ParseStrictInt(p);
        if (!v) {
          list.problems.push_back(iniPath + ": PosList entry \"" + p + "\" is not a number");
          list.positions.push_back(0);
        } else {
          list.positions.push_back(*v);
        }
      }
    }
  }
  if (!list.hasPosList) {
    list.positions.clear();
    for (std::size_t i = 0; i < list.entries.size(); ++i) list.positions.push_back(int(i) + 1);
  }
  if (!list.types.empty() && list.types.size() != list.entries.size()) {
    list.problems.push_back(iniPath + ": TypeList has " + std::to_string(list.types.size()) + " entries, NameList " +
                            std::to_string(list.entries.size()));
  }
  return list;
}

const char* AppendResultText(AppendResult r) {
  switch (r) {
    case AppendResult::Ok: return "ok";
    case AppendResult::LockFailed: return "the folder is locked by another process";
    case AppendResult::LimitReached: return "the folder already holds the most entries allowed";
    case AppendResult::Duplicate: return "the name is already listed";
    case AppendResult::Corrupt: return "the folder's Folder.ini lists are inconsistent";
    case AppendResult::BadName: return "the name is not usable";
    case AppendResult::WriteFailed: return "Folder.ini could not be written";
  }
  return "?";
}

bool RefreshFolderDat(const std::string& folder) {
  return platform::CopyFile(Join(folder, kFolderIni), Join(folder, kFolderDat), true);
}

AppendResult AppendChild(const std::string& folder, Level level, const std::string& name, int timeoutSeconds) {
  if (name.empty() || name.find(',') != std::string::npos || name.find('/') != std::string::npos || name == "." ||
      name == "..") {
    return AppendResult::BadName;
  }
  ShortLock lock(folder, timeoutSeconds);
  if (!lock) return AppendResult::LockFailed;
  return AppendChildHeld(folder, level, name);
}

AppendResult AppendChildHeld(const std::string& folder, Level level, const std::string& name) {
  if (name.empty() || name.find(',') != std::string::npos || name.find('/') != std::string::npos || name == "." ||
      name == "..") {
    return AppendResult::BadName;
  }
  const std::string iniPath = Join(folder, kFolderIni);
  ini::WriteGroup group(iniPath);
  if (!group.ok()) return AppendResult::LockFailed;
  FolderList list = ReadFolderList(folder, level, false);
  if (!platform::IsFile(iniPath)) list.problems.clear();  // a level without Folder.ini yet
  if (!list.ok()) return AppendResult::Corrupt;
  for (const auto& n : list.names) {
    if (platform::EqualsNoCase(n, name)) return AppendResult::Duplicate;
  }
  if (static_cast<int>(list.names.size()) >= ChildLimit(level)) return AppendResult::LimitReached;

  const char* section = ListSection(level);
  auto entries = list.entries;
  entries.push_back(name);
  bool ok = ini::WriteString(iniPath, section, kKeyNameList, JoinList(entries));
  if (level != Level::Cabinet) {
    auto types = list.types;
    types.resize(list.entries.size(), "0");  // a missing TypeList counts as all "0"
    types.push_back("0");
    ok = ok && ini::WriteString(iniPath, section, kKeyTypeList, JoinList(types));
  }
  if (level == Level::Cabinet) {
    std::vector<std::string> pos;
    int next = 0;
    for (int p : list.positions) {
      pos.push_back(std::to_string(p));
      next = std::max(next, p);
    }
    pos.push_back(std::to_string(next + 1));
    ok = ok && ini::WriteString(iniPath, section, kKeyPosList, JoinList(pos));
  }
  if (!ok) return AppendResult::WriteFailed;
  if (!group.Commit()) return AppendResult::WriteFailed;
  RefreshFolderDat(folder);
  return AppendResult::Ok;
}

bool WriteNewFolderIni(const std::string& folder, Level level, const std::string& templateIni) {
  const std::string iniPath = Join(folder, kFolderIni);
  std::string content;
  if (!templateIni.empty()) {
    if (auto t = platform::ReadFile(templateIni)) content = *t;
  }
  if (!platform::WriteFileAtomic(iniPath, content)) return false;
  const char* section = ListSection(level);
  ini::WriteGroup group(iniPath);
  bool ok = group.ok();
  ok = ok && ini::WriteString(iniPath, section, kKeyNameList, "");
  if (level == Level::Cabinet) {
    ok = ok && ini::DeleteKey(iniPath, section, kKeyPosList);
    if (templateIni.empty()) ok = ok && ini::WriteString(iniPath, section, kKeyTypeList, "");
  } else {
    ok = ok && ini::WriteString(iniPath, section, kKeyTypeList, "");
  }
  ok = group.Commit() && ok;
  return ok && RefreshFolderDat(folder);
}

}  // namespace zv::companion::binder
