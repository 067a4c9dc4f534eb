#include "binderlib/recover.h"

#include <set>

#include "binderlib/format.h"
#include "platform/filelock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/text.h"

namespace zv::companion::binder {

namespace ini = platform::ini;

namespace {

constexpr const char* kExtensions[] = {"pdf", "pwb"};
constexpr const char* kOcrContent = "OCRTEXTCONTENT";

bool Secured(const std::string& iniPath) { return !ini::GetString(iniPath, kSecBinderInfo, kKeyPassword).empty(); }

std::set<int> FileIds(const std::string& iniPath) {
  std::set<int> ids;
  if (ini::GetInt(iniPath, kSecBinderInfo, kKeyFilePageMode, kDefaultFilePageMode) == 0) return ids;
  for (const auto& [k, v] : ini::SectionEntries(iniPath, kSecPageInfo)) {
    auto p = ParsePageKey(k);
    if (!p || !platform::EqualsNoCase(p->suffix, kSufFilePageID)) continue;
    if (auto id = ParseStrictInt(v); id && *id >= 1) ids.insert(*id);
  }
  return ids;
}

// OCR text file names of the binder, plain names only (a name with a path in
// it is never followed).
std::set<std::string> OcrFiles(const std::string& iniPath) {
  std::set<std::string> names;
  for (const auto& [k, v] : ini::SectionEntries(iniPath, kSecOcrText)) {
    auto p = ParsePageKey(k);
    if (!p || !platform::EqualsNoCase(p->suffix, kOcrContent)) continue;
    if (!v.empty() && v.find('/') == std::string::npos && v != "." && v != "..") names.insert(v);
  }
  return names;
}

void Note(RecoverOutcome& out, RecoverStatus status, const std::string& what) {
  if (status == RecoverStatus::Refused || out.status == RecoverStatus::Clean) out.status = status;
  if (!out.what.empty()) out.what += "; ";
  out.what += what;
}

void RecoverSend(const std::string& folder, const std::string& iniPath, RecoverOutcome& out) {
  const std::string tmpIni = BinderWorkFile(folder, "_tmp.ini");
  const std::string backupIni = BinderWorkFile(folder, "_backup.ini");
  if (platform::Exists(tmpIni)) {
    // Not committed: the binder's page file comes back, new page files go.
    for (const char* ext : kExtensions) {
      const std::string backup = BinderWorkFile(folder, std::string("_backup.") + ext);
      const std::string main = BinderWorkFile(folder, std::string(".") + ext);
      if (platform::IsFile(backup) && !platform::RenamePath(backup, main, true)) {
        Note(out, RecoverStatus::Refused, "the page file cannot be restored from " + backup);
        return;
      }
    }
    if (!platform::IsFile(iniPath) && platform::IsFile(backupIni)) platform::RenamePath(backupIni, iniPath, false);
    for (const char* ext : kExtensions) platform::RemoveFile(BinderWorkFile(folder, std::string("_tmp.") + ext));
    platform::RemoveFile(backupIni);
    RemoveOrphanPageFiles(ReadBinder(folder, false));
    platform::RemoveFile(tmpIni);
    Note(out, RecoverStatus::Recovered, "an uncommitted send was rolled back");
    return;
  }
  bool found = false;
  if (!platform::IsFile(iniPath) && platform::IsFile(backupIni)) {
    platform::RenamePath(backupIni, iniPath, false);
    found = true;
  }
  for (const char* suffix : {"_backup.pdf", "_backup.pwb", "_tmp.pdf", "_tmp.pwb", "_backup.ini"}) {
    const std::string f = BinderWorkFile(folder, suffix);
    if (platform::Exists(f)) {
      platform::RemoveFile(f);
      found = true;
    }
  }
  if (found) Note(out, RecoverStatus::Recovered, "the work files of a finished send were removed");
}

void RecoverDeletion(const std::string& folder, const std::string& iniPath, RecoverOutcome& out) {
  const std::string oldIni = BinderWorkFile(folder, "_old.ini");
  if (!platform::IsFile(oldIni)) {
    // Without the ini copy an old page file is not ours to judge: restore it
    // only where nothing else is.
    for (const char* ext : kExtensions) {
      const std::string old = BinderWorkFile(folder, std::string("_old.") + ext);
      const std::string main = BinderWorkFile(folder, std::string(".") + ext);
      if (!platform::Exists(old)) continue;
      if (!platform::Exists(main) && platform::RenamePath(old, main, false)) {
        Note(out, RecoverStatus::Recovered, "the page file was restored from " + old);
      } else {
        Note(out, RecoverStatus::Refused, old + " is left from an interrupted deletion");
      }
    }
    return;
  }
  if (!platform::IsFile(iniPath) && !platform::CopyFile(oldIni, iniPath, false)) {
    Note(out, RecoverStatus::Refused, "the binder ini cannot be restored from " + oldIni);
    return;
  }
  const auto before = platform::ReadFile(oldIni);
  const auto now = platform::ReadFile(iniPath);
  if (!before || !now) {
    Note(out, RecoverStatus::Refused, "the binder ini or " + oldIni + " cannot be read");
    return;
  }
  if (*before == *now) {
    // Not committed: the old page file goes back.
    for (const char* ext : kExtensions) {
      const std::string old = BinderWorkFile(folder, std::string("_old.") + ext);
      if (platform::Exists(old) && !platform::RenamePath(old, BinderWorkFile(folder, std::string(".") + ext), true)) {
        Note(out, RecoverStatus::Refused, "the page file cannot be restored from " + old);
        return;
      }
    }
    platform::RemoveFile(oldIni);
    Note(out, RecoverStatus::Recovered, "an uncommitted deletion was rolled back");
    return;
  }
  // Committed: the removed pages' files go (the main page file is emptied,
  // never removed), then the work files, the ini copy last.
  const bool secured = Secured(iniPath);
  const std::set<int> kept = FileIds(iniPath);
  for (int id : FileIds(oldIni)) {
    if (kept.count(id)) continue;
    const std::string f = PageFilePath(folder, id, secured);
    if (id == 1) {
      if (platform::FileSize(f).value_or(0) > 0) platform::WriteFileAtomic(f, "");
    } else {
      platform::RemoveFile(f);
    }
  }
  const std::set<std::string> keptOcr = OcrFiles(iniPath);
  for (const auto& name : OcrFiles(oldIni)) {
    const std::string f = Join(folder, name);
    if (!keptOcr.count(name) && !platform::IsSymlink(f)) platform::RemoveFile(f);
  }
  for (const char* ext : kExtensions) platform::RemoveFile(BinderWorkFile(folder, std::string("_old.") + ext));
  platform::RemoveFile(oldIni);
  Note(out, RecoverStatus::Recovered, "a committed deletion was finished");
}

}  // namespace

std::string BinderWorkFile(const std::string& binderFolder, const std::string& suffix) {
  return Join(binderFolder, FolderName(binderFolder) + suffix);
}

void RemoveOrphanPageFiles(const BinderSummary& b) {
  if (!b.exists) return;
  auto entries = platform::ListFolder(b.folder);
  if (!entries) return;
  for (const auto& e : *entries) {
    if (e.isFolder) continue;
    for (bool secured : {false, true}) {
      auto id = PageFileIdFromName(b.name, e.name, secured);
      if (id && *id > b.maxPageId && *id != 1) platform::RemoveFile(Join(b.folder, e.name));
    }
  }
}

RecoverOutcome RecoverInterruptedChange(const std::string& binderFolder) {
  RecoverOutcome out;
  const std::string iniPath = BinderIniPath(binderFolder);
  // Send locks count only while their holder's ~Write.Lock is held.
  if (!platform::IsLockHeld(Join(binderFolder, kSendWriteLock))) {
    for (const char* name : {kSendLocked, kConvLocked}) {
      const std::string f = Join(binderFolder, name);
      if (platform::Exists(f) && platform::RemoveFile(f))
        Note(out, RecoverStatus::Recovered, std::string("stale ") + name + " removed");
    }
  }
  RecoverSend(binderFolder, iniPath, out);
  if (out.status == RecoverStatus::Refused) return out;
  RecoverDeletion(binderFolder, iniPath, out);
  return out;
}

}  // namespace zv::companion::binder
