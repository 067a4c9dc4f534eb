#include "monitor/settings/status.h"

#include <string>

#include "companion/trace.h"
#include "monitor/settings/env_lock.h"
#include "monitor/settings/profile.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace zv::monitor {

namespace {

struct FlagKey {
  const char* section;
  const char* key;
};

FlagKey KeyOf(ChangeFlag flag) {
  switch (flag) {
    case ChangeFlag::Modified: return {"Option", "Modified"};
    case ChangeFlag::FaxModified: return {"Option", "FaxModified"};
    // The sort-folder writers have always spelled this section in lower case;
    // readers match sections without regard to case, so both find it.
    case ChangeFlag::SortModified: return {"option", "SortModified"};
  }
  return {"Option", "Modified"};
}

}  // namespace

bool WriteChangeFlag(const std::string& settingsFile, ChangeFlag flag) {
  const FlagKey k = KeyOf(flag);
  bool ok = ProfileWrite(k.section, k.key, 1, settingsFile);
  ok = ProfileWrite("Product", "LastModified", std::to_string(static_cast<long long>(platform::UnixSeconds())),
                    settingsFile) &&
       ok;
  return ok;
}

bool ResetChangeFlag(const EnvFiles& env, ChangeFlag flag) {
  const FlagKey k = KeyOf(flag);
  EnvLockGuard guard(env.folder, {env.settings});
  bool ok = ProfileWrite(k.section, k.key, 0, env.settings);
  return guard.Commit() && ok;
}

int ReadChangeFlag(const std::string& settingsFile, ChangeFlag flag) {
  const FlagKey k = KeyOf(flag);
  return ProfileRead(k.section, k.key, 0, settingsFile);
}

bool SetWorkFlag(const EnvFiles& env, std::string_view name, bool on) {
  EnvLockGuard guard(env.folder, {env.status});
  bool ok = ProfileWrite("work", name, on ? "1" : "0", env.status);
  return guard.Commit() && ok;
}

int GetMonitorState(const EnvFiles& env) {
  const int importFlag = ProfileRead("work", kImportFlag, 0, env.status);
  const int propertyFlag = ProfileRead("work", kPropertyFlag, 0, env.status);
  const int status = ProfileRead("Option", "MonitorStatus", 0, env.settings);
  if (importFlag == 1 || status == kStatusImporting) return 1;
  if (propertyFlag == 1) return 2;
  if (status == kStatusFaxWatch || status == kStatusSortWatch) return status;
  return 0;
}

bool WriteMonitorStatus(const EnvFiles& env, int status) {
  EnvLockGuard guard(env.folder, {env.settings});
  bool ok = ProfileWrite("Option", "MonitorStatus", status, env.settings);
  return guard.Commit() && ok;
}

int RefreshHostName(const EnvFiles& env, std::string_view computerName, const companion::ViewerFolders& folders) {
  const std::string newName(platform::Trim(computerName));
  if (newName.empty()) return 0;
  const std::string oldName(platform::Trim(ProfileRead("Product", "HostName", "", env.settings)));
  if (platform::EqualsNoCase(oldName, newName)) return 0;

  EnvLockGuard guard(env.folder, {env.settings});
  int written = 0;
  if (ProfileWrite("Product", "HostName", newName, env.settings)) {
    ++written;
  } else {
    ZV_TRACE("_Hopvale", "RefreshHostName: cannot write " + env.settings);
  }
  // A file without an owner is taken over here; its result-area copies are
  // left to the copy refresh of the watch thread, which never overwrites a
  // copy another computer owns.
  for (const std::string& link : folders.link) {
    if (link.empty() || oldName.empty()) continue;
    const std::string copy = ResultAreaCopyPath(link);
    if (!platform::IsFile(copy)) continue;
    // Only a copy this computer owned under its old name follows the rename.
    if (!platform::EqualsNoCase(ProfileRead("Product", "HostName", "", copy), oldName)) continue;
    if (ProfileWrite("Product", "HostName", newName, copy)) {
      ++written;
    } else {
      ZV_TRACE("_Hopvale", "RefreshHostName: cannot write " + copy);
    }
  }
  if (!guard.Commit()) return 0;
  return written;
}

int RefreshResultAreaCopies(const EnvFiles& env, std::string_view computerName,
                            const companion::ViewerFolders& folders) {
  const std::string self(platform::Trim(computerName));
  int copies = 0;
  for (const std::string& link : folders.link) {
    if (link.empty() || !platform::IsFolder(link)) continue;
    const std::string rslt = platform::JoinPath(platform::TrimTrailingSeparator(link), kResultFolderName);
    if (!platform::IsFolder(rslt) && !platform::MakeFolder(rslt)) {
      ZV_TRACE("_Hopvale", "RefreshResultAreaCopies: cannot create " + rslt);
      continue;
    }
    const std::string copy = ResultAreaCopyPath(link);
    if (platform::IsFile(copy)) {
      const std::string owner = ProfileRead("Product", "HostName", "", copy);
      if (!owner.empty() && !platform::EqualsNoCase(owner, self)) continue;
    }
    if (platform::CopyFile(env.settings, copy, true)) {
      ++copies;
    } else {
      ZV_TRACE("_Hopvale", "RefreshResultAreaCopies: cannot copy to " + copy);
    }
  }
  return copies;
}

}  // namespace zv::monitor
