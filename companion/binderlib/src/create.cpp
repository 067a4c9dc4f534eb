// Binder creation and binder title.
#include <algorithm>
#include <ctime>

#include "binderlib/binderlib.h"
#include "binderlib/folderlist.h"
#include "binderlib/format.h"
#include "binderlib/locks.h"
#include "binderlib/moswell.h"
#include "companion/trace.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/text.h"

namespace zv::companion::binder {

namespace ini = platform::ini;

bool GetBinderTitle(const std::string& binderFolder, std::string& title) {
  const std::string iniPath = BinderIniPath(binderFolder);
  if (!platform::IsFile(iniPath)) return false;
  title = ini::GetString(iniPath, kSecBinderInfo, kKeyTitle);
  return true;
}

namespace {

std::string NowText() { return platform::LocalTimeText(platform::UnixSeconds(), "%Y/%m/%d %H:%M:%S"); }

bool UsableName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find(',') == std::string::npos && name.size() < 256;
}

// Writes the new binder's ini: the template's text verbatim (or nothing),
// then the keys of a fresh binder in one group.
bool WriteBinderIni(const std::string& binderFolder, const BinderDescription& d) {
  const std::string iniPath = BinderIniPath(binderFolder);
  std::string content;
  int templateVersion = kDefaultVersion;
  if (!d.templateIni.empty()) {
    auto t = platform::ReadFile(d.templateIni);
    if (!t) return false;
    content = *t;
    templateVersion = ini::GetInt(d.templateIni, kSecVersion, kKeyVersion, kDefaultVersion);
  }
  if (!platform::WriteFileAtomic(iniPath, content)) return false;
  ini::WriteGroup group(iniPath);
  if (!group.ok()) return false;
  bool ok = true;
  // A template's pages are not the new binder's.
  ok = ini::DeleteSection(iniPath, kSecPageInfo) && ok;
  ok = ini::DeleteSection(iniPath, kSecEBookInfo) && ok;
  ok = ini::DeleteSection(iniPath, kSecOcrText) && ok;
  ok = ini::WriteInt(iniPath, kSecVersion, kKeyVersion, std::max(templateVersion, kSupportedBinderVersion)) && ok;
  ok = ini::WriteString(iniPath, kSecBinderInfo, kKeyTitle, d.title) && ok;
  ok = ini::WriteString(iniPath, kSecBinderInfo, kKeyCreateTime, d.createTime.empty() ? NowText() : d.createTime) && ok;
  if (d.maxUploadPage > 0) {
    ok = ini::WriteString(iniPath, kSecBinderInfo, kKeyMaxUploadPage, "\"" + std::to_string(d.maxUploadPage) + "\"") &&
         ok;
  }
  if (d.markUnread) ok = ini::WriteString(iniPath, kSecBinderInfo, kKeyUnreadList, "\"1\"") && ok;
  if (!d.password.empty()) {
    ok = ini::WriteString(iniPath, kSecBinderInfo, kKeyPassword, moswell::EncodePassword(d.password)) && ok;
  }
  ok = ini::WriteInt(iniPath, kSecBinderInfo, kKeyPageTotal, 0) && ok;
  ok = ini::WriteInt(iniPath, kSecPageInfo, kKeyMaxPageID, 0) && ok;
  ok = ini::WriteInt(iniPath, kSecPageInfo, kKeyContentTotal, 0) && ok;
  return group.Commit() && ok;
}

}  // namespace

int CreateBinder2(const std::string& cabinetFolder, const BinderDescription& d, std::string* outFolder) {
  const std::string name = d.folderName.empty() ? TitleWithoutBreaks(d.title) : d.folderName;
  if (!UsableName(name) || !platform::IsFolder(cabinetFolder)) return kCreateBadParameter;
  if (!platform::IsFile(Join(cabinetFolder, kFolderIni))) return kCreateCorrupt;

  // The folder lock keeps other creators out for the whole creation; when it
  // cannot be had the short lock alone still protects the list update.
  FolderLock folderLock = FolderLock::Acquire(cabinetFolder);
  if (!folderLock) {
    ZV_TRACE("_Binderlib", "CreateBinder2: Folder.Locked not had, going on under ~Write.Locked");
  }
  ShortLock lock(cabinetFolder, 600);
  if (!lock) return kCreateLockFailed;

  FolderList list = ReadFolderList(cabinetFolder, Level::Cabinet, false);
  if (!list.ok()) return kCreateCorrupt;
  for (const auto& n : list.names) {
    if (platform::EqualsNoCase(n, name)) return kCreateExists;
  }
  if (static_cast<int>(list.names.size()) >= kMaxBinders) return kCreateLimit;
  const std::string folder = Join(cabinetFolder, name);
  if (platform::Exists(folder)) return kCreateExists;
  if (!platform::MakeNewFolder(folder)) return platform::Exists(folder) ? kCreateExists : kCreateWriteFailed;

  const bool secured = !d.password.empty();
  if (!WriteBinderIni(folder, d) || !platform::WriteFileAtomic(MainPageFilePath(folder, secured), "")) {
    platform::RemoveTree(folder);
    return kCreateWriteFailed;
  }
  if (d.complete && !d.complete(folder)) {
    platform::RemoveTree(folder);
    return kCreateWriteFailed;
  }
  const AppendResult r = AppendChildHeld(cabinetFolder, Level::Cabinet, name);
  if (r != AppendResult::Ok) {
    platform::RemoveTree(folder);
    switch (r) {
      case AppendResult::LimitReached: return kCreateLimit;
      case AppendResult::Duplicate: return kCreateExists;
      case AppendResult::Corrupt: return kCreateCorrupt;
      case AppendResult::BadName: return kCreateBadParameter;
      default: return kCreateWriteFailed;
    }
  }
  if (outFolder) *outFolder = folder;
  return kCreateOk;
}

}  // namespace zv::companion::binder
