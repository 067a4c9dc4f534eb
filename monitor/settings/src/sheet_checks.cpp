#include "monitor/settings/sheet_checks.h"

#include <cctype>

#include "monitor/settings/profile.h"
#include "monitor/settings/text_ids.h"
#include "platform/attributes.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace zv::monitor {

namespace {

std::vector<std::string> Components(const std::string& path) {
  const std::string resolved = platform::ResolvePath(path);
  std::vector<std::string> parts;
  std::size_t i = 0;
  while (i < resolved.size()) {
    std::size_t j = resolved.find('/', i);
    if (j == std::string::npos) j = resolved.size();
    if (j > i) parts.push_back(resolved.substr(i, j - i));
    i = j + 1;
  }
  return parts;
}

// -1: not comparable (empty or relative), else the number of leading
// components both share when one is a prefix of the other, with the sizes.
bool PrefixOf(const std::vector<std::string>& outer, const std::vector<std::string>& inner) {
  if (outer.size() > inner.size()) return false;
  for (std::size_t k = 0; k < outer.size(); ++k)
    if (!platform::EqualsNoCase(outer[k], inner[k])) return false;
  return true;
}

bool Comparable(const std::string& a, const std::string& b) {
  return !a.empty() && !b.empty() && platform::IsAbsolutePath(a) && platform::IsAbsolutePath(b);
}

std::string Num(int n) { return std::to_string(n); }

// A folder a watch covers: the folder itself, and its subfolders when it
// includes them.
bool Covers(const WatchedFolder& w, const std::string& folder) {
  if (w.folder.empty()) return false;
  return SameFolder(w.folder, folder) || (w.recursive && FolderInside(folder, w.folder));
}

bool OnLinkFolder(const std::string& path, const std::vector<std::string>& links) {
  for (const std::string& l : links)
    if (!l.empty() && FolderInside(path, l)) return true;
  return false;
}

}  // namespace

bool SameFolder(const std::string& a, const std::string& b) {
  if (!Comparable(a, b)) return false;
  const auto pa = Components(a), pb = Components(b);
  return pa.size() == pb.size() && PrefixOf(pa, pb);
}

bool FolderInside(const std::string& inner, const std::string& outer) {
  if (!Comparable(inner, outer)) return false;
  const auto pi = Components(inner), po = Components(outer);
  return pi.size() > po.size() && PrefixOf(po, pi);
}

void SheetErrors::Add(int id, const std::vector<std::string>& values) {
  ids_.push_back(id);
  texts_.push_back(platform::FillInOrder(MonitorText(id), values));
}

std::string SheetErrors::Messages() const {
  std::string out;
  for (const std::string& t : texts_) {
    out += t;
    if (!t.empty() && t.back() != '\n') out += '\n';
  }
  return out;
}

std::string SheetErrors::BoxText() const {
  return platform::ReplaceFirst(MonitorText(kIdsCheckInput), "%s", Messages());
}

void SheetErrors::Append(const SheetErrors& other) {
  ids_.insert(ids_.end(), other.ids_.begin(), other.ids_.end());
  texts_.insert(texts_.end(), other.texts_.begin(), other.texts_.end());
}

int CheckInterval(const std::string& textIn, SheetErrors& errors) {
  const std::string text(platform::Trim(textIn));
  if (text.empty()) {
    errors.Add(kIdsChkIntervalEmpty);
    return -1;
  }
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) {
      errors.Add(kIdsChkIntervalNotNumber);
      return -1;
    }
  }
  if (text.size() > 3 || std::stoi(text) > 360) {
    errors.Add(kIdsChkIntervalRange);
    return -1;
  }
  return std::stoi(text);
}

bool IsStoreFolder(const std::string& folder, const std::vector<std::string>& linkFolders) {
  for (const std::string& l : linkFolders)
    if (!l.empty() && (SameFolder(folder, l) || FolderInside(folder, l))) return true;
  const std::string f = platform::TrimTrailingSeparator(folder);
  const std::string ini = platform::JoinPath(f, platform::LastComponent(f) + ".ini");
  if (!platform::IsFile(ini)) return false;
  for (const std::string& s : ProfileSections(ini))
    if (platform::EqualsNoCase(s, "BinderInfo")) return true;
  return false;
}

void CheckTargetBinder(const std::string& binder, const std::string& kind, int number,
                       const std::vector<std::string>& linkFolders, SheetErrors& errors) {
  if (binder.empty() || !platform::IsAbsolutePath(binder) || !platform::IsFolder(binder) ||
      !OnLinkFolder(binder, linkFolders)) {
    errors.Add(kIdsChkBinderWrong, {kind, Num(number)});
    return;
  }
  if (!platform::MayWriteFolder(binder)) errors.Add(kIdsChkBinderNoWrite);
}

void CheckRecipients(int sendResult, const std::vector<std::string>& users, SheetErrors& errors) {
  if (sendResult != 3) return;
  for (const std::string& u : users) {
    if (u.find(',') != std::string::npos) {
      errors.Add(kIdsRecipientsUnreadable);
      return;
    }
  }
  if (users.empty()) errors.Add(kIdsChkNoRecipient);
}

void CheckTargetSetting(const std::vector<TargetCheck>& all, std::size_t index, const WatchedPlaces& places,
                        SheetErrors& errors) {
  const TargetCheck& s = all[index];
  if (!s.enabled) return;
  const std::string& f = s.folder;
  bool folderUsable = false;
  if (f.empty()) {
    errors.Add(kIdsChkFolderEmpty);
  } else if (!platform::IsAbsolutePath(f)) {
    errors.Add(kIdsChkSourceWrong);
  } else if (!platform::Exists(f)) {
    errors.Add(kIdsChkFolderMissing);
  } else if (!platform::IsFolder(f)) {
    errors.Add(kIdsChkSourceWrong);
  } else {
    folderUsable = true;
  }
  if (!f.empty() && platform::IsAbsolutePath(f)) {
    for (std::size_t k = 0; k < all.size(); ++k) {
      if (k == index || !all[k].enabled) continue;
      const int n = static_cast<int>(k) + 1;
      if (SameFolder(all[k].folder, f)) {
        errors.Add(kIdsChkFolderDuplicated, {Num(n)});
      } else if (all[k].recursive && FolderInside(f, all[k].folder)) {
        errors.Add(kIdsChkWatchedBySetting, {Num(n)});
      }
    }
    if (SameFolder(places.fax.folder, f)) {
      errors.Add(kIdsChkSameAsFax);
    } else if (places.fax.recursive && FolderInside(f, places.fax.folder)) {
      errors.Add(kIdsChkWatchedByFax);
    }
    if (SameFolder(places.sortTop, f) || FolderInside(f, places.sortTop)) errors.Add(kIdsChkWatchedBySort);
    if (folderUsable && IsStoreFolder(f, places.linkFolders)) errors.Add(kIdsChkBinderAsFolder);
  }
  if (folderUsable) {
    if (!platform::MayWriteFolder(f)) {
      errors.Add(kIdsChkNoWrite);
    } else if (!platform::ListFolder(f)) {
      errors.Add(kIdsChkNoReadDelete);
    }
    // An explicit save folder not made yet must be possible to make.
    for (const std::string& save : {s.succeededFolder, s.failedFolder}) {
      if (save.empty() || platform::Exists(save)) continue;
      std::string up = platform::ParentFolder(platform::ResolvePath(save));
      while (!up.empty() && up != "/" && !platform::Exists(up)) up = platform::ParentFolder(up);
      if (up.empty() || !platform::MayWriteFolder(up)) {
        errors.Add(kIdsChkCannotMake);
        break;
      }
    }
  }
  CheckInterval(s.checkTimer, errors);
  if (!s.workDesk)
    CheckTargetBinder(s.binder, MonitorText(kIdsKindAutoFile), static_cast<int>(index) + 1, places.linkFolders, errors);
  CheckRecipients(s.sendResult, s.users, errors);
}

void CheckFaxPage(const FaxCheck& fax, const WatchedPlaces& places, SheetErrors& errors) {
  if (!fax.enabled) return;
  const std::string& f = fax.folder;
  if (f.empty()) {
    errors.Add(kIdsChkFaxFolderEmpty);
  } else if (!platform::IsAbsolutePath(f)) {
    errors.Add(kIdsChkFaxFolderWrong);
  } else if (!platform::IsFolder(f)) {
    errors.Add(kIdsChkFaxFolderInvalid);
  } else {
    if (!platform::MayWriteFolder(f)) {
      errors.Add(kIdsChkFaxNoWrite);
    } else if (!platform::ListFolder(f)) {
      errors.Add(kIdsChkFaxNoReadDelete);
    }
    if (IsStoreFolder(f, places.linkFolders)) errors.Add(kIdsChkBinderAsFolder);
  }
  if (!f.empty() && platform::IsAbsolutePath(f)) {
    bool same = false;
    for (std::size_t k = 0; k < places.targets.size(); ++k) {
      const WatchedFolder& t = places.targets[k];
      if (SameFolder(t.folder, f)) {
        same = true;
      } else if (t.recursive && FolderInside(f, t.folder)) {
        errors.Add(kIdsChkFaxWatchedBySetting, {Num(static_cast<int>(k) + 1)});
      }
    }
    if (same) errors.Add(kIdsChkFaxSameAsTarget);
    if (SameFolder(places.sortTop, f) || FolderInside(f, places.sortTop)) errors.Add(kIdsChkFaxWatchedBySort);
  }
  CheckInterval(fax.checkTimer, errors);
  const std::string kind = MonitorText(kIdsKindFax);
  for (std::size_t k = 0; k < fax.entries.size(); ++k) {
    const FaxEntryCheck& e = fax.entries[k];
    const int n = static_cast<int>(k) + 1;
    if (e.targetName.empty()) {
      errors.Add(kIdsChkFaxNameEmpty);
    } else if (e.targetName.find(';') != std::string::npos) {
      errors.Add(kIdsChkFaxNameSemicolon);
    } else {
      for (std::size_t j = 0; j < k; ++j) {
        if (platform::EqualsNoCase(fax.entries[j].targetName, e.targetName)) {
          errors.Add(kIdsChkFaxNameDuplicated, {Num(static_cast<int>(j) + 1)});
          break;
        }
      }
    }
    if (!e.workDesk) CheckTargetBinder(e.binder, kind, n, places.linkFolders, errors);
    CheckRecipients(e.sendResult, e.users, errors);
  }
  if (fax.otherEnabled && !fax.otherWorkDesk) {
    if (fax.otherBinder.empty()) {
      errors.Add(kIdsChkOtherNoBinder);
    } else if (!platform::IsFolder(fax.otherBinder)) {
      errors.Add(kIdsChkOtherBinderMissing);
    } else if (!OnLinkFolder(fax.otherBinder, places.linkFolders)) {
      errors.Add(kIdsChkOtherNotOnLink);
    } else if (!platform::MayWriteFolder(fax.otherBinder)) {
      errors.Add(kIdsChkOtherNoWrite);
    }
  }
  if (fax.otherEnabled) CheckRecipients(fax.otherSendResult, fax.otherUsers, errors);
}

void CheckSortPage(const std::string& top, const std::string& linkFolder, const WatchedPlaces& places,
                   SheetErrors& errors) {
  if (top.empty()) {
    errors.Add(kIdsChkTopEmpty);
  } else if (!platform::IsAbsolutePath(top)) {
    errors.Add(kIdsChkTopWrong);
  } else {
    if (!linkFolder.empty() &&
        (SameFolder(top, linkFolder) || FolderInside(top, linkFolder) || FolderInside(linkFolder, top)))
      errors.Add(kIdsChkTopIsLink);
    if (!platform::Exists(top)) {
      errors.Add(kIdsChkTopMissing);
    } else if (!platform::IsFolder(top)) {
      errors.Add(kIdsChkSourceWrong);
    } else {
      if (platform::IsReadOnly(top) || platform::IsHidden(top) || platform::IsSystemOrTemporary(top))
        errors.Add(kIdsChkTopAttributes);
      if (!platform::MayWriteFolder(top)) {
        errors.Add(kIdsChkNoWrite);
      } else if (!platform::ListFolder(top)) {
        errors.Add(kIdsChkNoReadDelete);
      }
    }
    for (std::size_t k = 0; k < places.targets.size(); ++k)
      if (Covers(places.targets[k], top)) errors.Add(kIdsChkTopWatchedBySetting, {Num(static_cast<int>(k) + 1)});
    if (Covers(places.fax, top)) errors.Add(kIdsChkTopWatchedByFax);
  }
  if (linkFolder.empty()) {
    errors.Add(kIdsChkNoLinkFolder);
  } else if (!platform::IsFolder(linkFolder)) {
    errors.Add(kIdsChkLinkMissing);
  } else if (!platform::MayWriteFolder(linkFolder)) {
    errors.Add(kIdsChkLinkNoWrite);
  }
}

SaveFolderVerdict CheckSaveFolder(const std::string& folder, const std::string& kind, const std::string& which,
                                  const WatchedPlaces& places, SheetErrors& errors) {
  if (folder.empty()) {
    errors.Add(kIdsChkSaveEmpty);
    return SaveFolderVerdict::Refused;
  }
  if (!platform::IsAbsolutePath(folder)) {
    errors.Add(kIdsChkSaveWrong);
    return SaveFolderVerdict::Refused;
  }
  const std::size_t before = errors.ids().size();
  for (const WatchedFolder& t : places.targets) {
    if (Covers(t, folder)) {
      errors.Add(kIdsChkSaveSameAsTarget, {kind, which});
      break;
    }
  }
  if (Covers(places.fax, folder)) errors.Add(kIdsChkSaveSameAsFax, {kind, which});
  if (SameFolder(places.sortTop, folder) || FolderInside(folder, places.sortTop))
    errors.Add(kIdsChkSaveInSort, {kind, which});
  if (errors.ids().size() != before) return SaveFolderVerdict::Refused;
  if (!platform::Exists(folder)) return SaveFolderVerdict::AskCreate;
  if (!platform::IsFolder(folder)) {
    errors.Add(kIdsChkSaveWrong);
    return SaveFolderVerdict::Refused;
  }
  if (!platform::MayWriteFolder(folder)) {
    errors.Add(kIdsChkSaveNoWrite);
    return SaveFolderVerdict::Refused;
  }
  return SaveFolderVerdict::Ok;
}

std::string CutTextInfo(const std::string& text) {
  return std::string(platform::Utf8CutBytes(text, kTextInfoMaxBytes));
}

}  // namespace zv::monitor
