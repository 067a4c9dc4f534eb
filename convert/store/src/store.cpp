#include "store/store.h"

#include <cerrno>
#include <random>

#include "binderlib/format.h"
#include "binderlib/locks.h"
#include "platform/fs.h"
#include "platform/fs_error.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "store/iniimage.h"

namespace zv::store {

namespace bl = companion::binder;
namespace ini = platform::ini;

namespace {

Listing ListLevel(const std::string& folder, Level level) {
  Listing out;
  bl::FolderList list = bl::ReadFolderList(folder, level, true);
  out.problems = list.problems;
  for (std::size_t i = 0; i < list.entries.size(); ++i) {
    ChildInfo c;
    c.entry = list.entries[i];
    c.name = list.names[i];
    c.path = bl::Join(folder, c.name);
    c.position = i < list.positions.size() ? list.positions[i] : static_cast<int>(i) + 1;
    if (i < list.types.size()) c.type = list.types[i];
    c.exists = platform::IsFolder(c.path);
    out.children.push_back(std::move(c));
  }
  return out;
}

bool UsableName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find(',') == std::string::npos;
}

CreateStatus FromAppend(bl::AppendResult r) {
  switch (r) {
    case bl::AppendResult::Ok: return CreateStatus::Ok;
    case bl::AppendResult::LockFailed: return CreateStatus::LockFailed;
    case bl::AppendResult::LimitReached: return CreateStatus::LimitReached;
    case bl::AppendResult::Duplicate: return CreateStatus::Exists;
    case bl::AppendResult::Corrupt: return CreateStatus::Corrupt;
    case bl::AppendResult::BadName: return CreateStatus::BadName;
    case bl::AppendResult::WriteFailed: return CreateStatus::WriteFailed;
  }
  return CreateStatus::WriteFailed;
}

CreateResult CreateLevel(const std::string& parent, Level parentLevel, Level childLevel, const std::string& name,
                         const std::string& templateIni) {
  CreateResult r;
  if (!platform::IsFolder(parent)) return {CreateStatus::MissingParent, {}};
  if (!UsableName(name)) return {CreateStatus::BadName, {}};
  // Refuse early (without creating anything) when the parent is full or
  // damaged; the append below checks again under the lock.
  bl::FolderList list = bl::ReadFolderList(parent, parentLevel, false);
  const bool noIni = !platform::IsFile(bl::Join(parent, bl::kFolderIni));
  if (!noIni && !list.ok()) return {CreateStatus::Corrupt, {}};
  if (static_cast<int>(list.names.size()) >= bl::ChildLimit(parentLevel)) {
    return {CreateStatus::LimitReached, {}};
  }
  const std::string path = bl::Join(parent, name);
  if (platform::Exists(path)) return {CreateStatus::Exists, {}};
  // The new level is made complete under a hidden work name and then put in
  // place in one rename that never replaces anything: another creator of the
  // same name sees either nothing or a level with its Folder.ini, so nobody
  // writes into a level whose Folder.ini is yet to be written over it, and
  // nobody takes another process's new folder for its own.
  static thread_local std::mt19937_64 random{std::random_device{}()};
  const std::string work = bl::Join(parent, ".~" + name + "." + std::to_string(random()) + ".new");
  if (!platform::MakeNewFolder(work)) return {CreateStatus::WriteFailed, {}};
  if (!bl::WriteNewFolderIni(work, childLevel, templateIni)) {
    platform::RemoveTree(work);
    return {CreateStatus::WriteFailed, {}};
  }
  if (!platform::RenamePath(work, path, false)) {
    const bool taken = platform::LastFsError().code == EEXIST;
    platform::RemoveTree(work);
    return {taken ? CreateStatus::Exists : CreateStatus::WriteFailed, {}};
  }
  const auto a = bl::AppendChild(parent, parentLevel, name);
  if (a != bl::AppendResult::Ok) {
    // Removed again only while it holds nothing but its own list files: a
    // level another program has begun to fill meanwhile stays.
    bool untouched = true;
    for (const auto& e : platform::ListFolder(path).value_or(std::vector<platform::DirEntry>{})) {
      untouched = untouched && (e.name == bl::kFolderIni || e.name == bl::kFolderDat || e.name.starts_with("."));
    }
    if (untouched) platform::RemoveTree(path);
    return {FromAppend(a), {}};
  }
  r.status = CreateStatus::Ok;
  r.path = path;
  return r;
}

}  // namespace

Listing ListLibraries(const std::string& linkFolder) { return ListLevel(linkFolder, Level::LinkFolder); }
Listing ListCabinets(const std::string& libraryFolder) { return ListLevel(libraryFolder, Level::Library); }
Listing ListBinders(const std::string& cabinetFolder) { return ListLevel(cabinetFolder, Level::Cabinet); }

std::vector<BinderListEntry> ListBindersWithInfo(const std::string& cabinetFolder, int lockTimeoutSeconds) {
  std::vector<BinderListEntry> out;
  Listing l = ListBinders(cabinetFolder);
  for (auto& c : l.children) {
    BinderListEntry e;
    e.child = c;
    if (!c.exists) {
      e.problems.push_back(c.path + ": folder missing");
      e.kind = -1;
      out.push_back(std::move(e));
      continue;
    }
    bl::ShortLock lock;
    if (lockTimeoutSeconds > 0) {
      lock = bl::ShortLock(c.path, lockTimeoutSeconds);
      if (!lock) {
        // What a writer is changing is not read half-way.
        e.problems.push_back(c.path + ": ~Write.Locked not had");
        e.kind = -1;
        out.push_back(std::move(e));
        continue;
      }
    }
    BinderSummary b = bl::ReadBinder(c.path, false);
    e.title = b.title;
    e.pageTotal = b.CountedPages();
    e.secured = b.secured();
    e.kind = bl::BinderKind(c.path);
    e.problems = b.problems;
    out.push_back(std::move(e));
  }
  return out;
}

const char* CreateStatusText(CreateStatus s) {
  switch (s) {
    case CreateStatus::Ok: return "created";
    case CreateStatus::MissingParent: return "the parent folder does not exist";
    case CreateStatus::BadName: return "the name is not usable";
    case CreateStatus::Exists: return "a folder or entry of that name already exists";
    case CreateStatus::LimitReached: return "the parent already holds the most entries allowed";
    case CreateStatus::LockFailed: return "the parent folder is locked";
    case CreateStatus::Corrupt: return "the parent's Folder.ini lists are inconsistent";
    case CreateStatus::WriteFailed: return "the folder or its files could not be written";
  }
  return "?";
}

CreateResult CreateLibrary(const std::string& linkFolder, const std::string& name, const std::string& templateIni) {
  return CreateLevel(linkFolder, Level::LinkFolder, Level::Library, name, templateIni);
}

CreateResult CreateCabinet(const std::string& libraryFolder, const std::string& name, const std::string& templateIni) {
  return CreateLevel(libraryFolder, Level::Library, Level::Cabinet, name, templateIni);
}

CreateResult CreateBinder(const std::string& cabinetFolder, const bl::BinderDescription& description) {
  CreateResult r;
  if (!platform::IsFolder(cabinetFolder)) return {CreateStatus::MissingParent, {}};
  const int rc = bl::CreateBinder2(cabinetFolder, description, &r.path);
  switch (rc) {
    case bl::kCreateOk: r.status = CreateStatus::Ok; break;
    case bl::kCreateBadParameter: r.status = CreateStatus::BadName; break;
    case bl::kCreateLockFailed: r.status = CreateStatus::LockFailed; break;
    case bl::kCreateLimit: r.status = CreateStatus::LimitReached; break;
    case bl::kCreateExists: r.status = CreateStatus::Exists; break;
    case bl::kCreateCorrupt: r.status = CreateStatus::Corrupt; break;
    default: r.status = CreateStatus::WriteFailed; break;
  }
  return r;
}

const std::vector<std::string>& BinderInfoKeyTable() {
  static const std::vector<std::string> keys = {
      "Title",         "Department",    "Manager",        "Date",       "Label",     "BackColor",      "Direction",
      "MaxUploadPage", "PageTotal",     "ContentDisplay", "Margin",     "A4Adjust",  "FilePageUnit",   "UnreadList",
      "FilePageMode",  "WriteLockUser", "Keyword1",       "Keyword2",   "Keyword3",  "Keyword4",       "Keyword5",
      "Keyword6",      "Keyword7",      "Keyword8",       "PageRatio",  "LabelType", "HideTitle",      "HideDate",
      "CardBinder",    "ExtBinderType", "AccessTime",     "CreateTime", "Password",  "BinderPassword", "PSWReEncoded",
      "PswReEncode",   "Unarranged",    "EdocBinder"};
  return keys;
}

namespace {
const std::vector<std::string>& TitleFontKeys() {
  static const std::vector<std::string> keys = [] {
    std::vector<std::string> k;
    for (int line = 1; line <= 2; ++line) {
      for (const char* a : {"Height", "Weight", "Italic", "Underline", "StrikeOut", "CharSet", "FaceName", "Color"}) {
        k.push_back("Title" + std::to_string(line) + "_" + a);
      }
    }
    return k;
  }();
  return keys;
}
}  // namespace

const std::vector<std::string>& BinderInfo2KeyTable() {
  static const std::vector<std::string> keys = [] {
    std::vector<std::string> k = {"BackImage_iShowFlag", "BackImage_iPos", "BackImage_ImageName"};
    for (const auto& f : TitleFontKeys()) k.push_back(f);
    return k;
  }();
  return keys;
}

namespace {
bool InTable(const std::vector<std::string>& table, std::string_view key) {
  for (const auto& k : table) {
    if (platform::EqualsNoCase(k, key)) return true;
  }
  return false;
}
}  // namespace

CreateResult DeriveBinder(const std::string& sourceBinder, const std::string& cabinetFolder,
                          const std::string& newTitle, int maxUploadPage, bool markUnread) {
  const std::string srcIni = bl::BinderIniPath(sourceBinder);
  if (!platform::IsFile(srcIni)) return {CreateStatus::MissingParent, {}};
  IniImage src;
  {
    bl::ShortLock lock(sourceBinder, 600);
    if (!lock) return {CreateStatus::LockFailed, {}};
    src.Load(srcIni);
  }

  bl::BinderDescription d;
  d.title = newTitle;
  d.maxUploadPage = maxUploadPage;
  d.markUnread = markUnread ? 1 : 0;
  // Everything taken from the source is written before the new binder is
  // listed in its cabinet: an importer that finds it there must already see
  // its password (and file nothing plain into a binder that is to be
  // secured).
  bool copied = true;
  d.complete = [&](const std::string& folder) {
    copied = false;
    IniImage dst(bl::BinderIniPath(folder));
    static const std::vector<std::string> copiedFromTable = {"PageRatio", "LabelType",  "HideTitle",
                                                             "HideDate",  "EdocBinder", "Password"};
    for (const char* section : {bl::kSecBinderInfo, bl::kSecBinderInfo2}) {
      const auto& table = section == bl::kSecBinderInfo ? BinderInfoKeyTable() : BinderInfo2KeyTable();
      for (const auto& [k, v] : src.Entries(section)) {
        if (!InTable(table, k)) dst.Set(section, k, v);  // not a table key: copied verbatim
      }
    }
    for (const auto& k : copiedFromTable) {
      if (auto v = src.Get(bl::kSecBinderInfo, k)) dst.Set(bl::kSecBinderInfo, k, *v);
    }
    for (const char* k : {"BackImage_iShowFlag", "BackImage_iPos"}) {
      if (auto v = src.Get(bl::kSecBinderInfo2, k)) dst.Set(bl::kSecBinderInfo2, k, *v);
    }
    for (const auto& k : TitleFontKeys()) {
      if (auto v = src.Get(bl::kSecBinderInfo2, k)) dst.Set(bl::kSecBinderInfo2, k, *v);
    }
    // The background image, copied as "<new name>BkImage.<ext>".
    const std::string image = src.GetString(bl::kSecBinderInfo2, bl::kKeyBackImageName);
    if (!image.empty() && platform::IsFile(bl::Join(sourceBinder, image))) {
      const std::string ext = platform::Extension(image);
      const std::string copyName = bl::FolderName(folder) + "BkImage" + (ext.empty() ? "" : "." + ext);
      if (platform::CopyFile(bl::Join(sourceBinder, image), bl::Join(folder, copyName), true)) {
        dst.Set(bl::kSecBinderInfo2, bl::kKeyBackImageName, copyName);
      }
    }
    const int srcVersion = src.GetInt(bl::kSecVersion, bl::kKeyVersion, bl::kDefaultVersion);
    dst.SetInt(bl::kSecVersion, bl::kKeyVersion, std::max(srcVersion, bl::kSupportedBinderVersion));
    if (maxUploadPage > 0) {
      dst.Set(bl::kSecBinderInfo, bl::kKeyMaxUploadPage, "\"" + std::to_string(maxUploadPage) + "\"");
    }
    if (markUnread) dst.Set(bl::kSecBinderInfo, bl::kKeyUnreadList, "\"1\"");
    if (!dst.Save()) return false;
    // A secured source makes a secured binder: its main file is a ".pwb".
    if (!src.GetString(bl::kSecBinderInfo, bl::kKeyPassword).empty() &&
        !platform::RenamePath(bl::MainPageFilePath(folder, false), bl::MainPageFilePath(folder, true), false)) {
      return false;
    }
    copied = true;
    return true;
  };
  CreateResult r = CreateBinder(cabinetFolder, d);
  r.derivationFailed = !copied;
  return r;
}

int ReadPdfMode(const std::string& productSettingsPath, int languageId) {
  if (languageId != 1041) return 0;
  const std::string v = ini::GetString(productSettingsPath, "EnvSetting", "PDFMode", "");
  if (v.empty()) return 0;
  auto n = bl::ParseStrictInt(v);
  if (n && (*n == 0 || *n == 1)) return *n;
  return -1;
}

const std::vector<LockEntry>& LockTable() {
  static const std::vector<LockEntry> table = {
      {bl::kWriteLocked, "any store folder", "short exclusive access to Folder.ini or a binder", false},
      {bl::kOpenLocked, "binder", "the binder is open in the viewer", false},
      {bl::kFolderLocked, "cabinet", "a binder is being appended to the cabinet", false},
      {bl::kSendWriteLock, "binder", "a send operation is changing the binder", false},
      {bl::kSendLocked, "binder", "a send operation is changing the binder", true},
      {bl::kConvLocked, "binder", "a send conversion is running on the binder", true},
  };
  return table;
}

std::vector<std::string> HeldLocks(const std::string& folder) {
  std::vector<std::string> held;
  // Locked and Conv_Locked count only while their sender holds ~Write.Lock.
  const bool sending = bl::SendOperationActive(folder);
  for (const auto& l : LockTable()) {
    const std::string path = bl::Join(folder, l.name);
    if (l.createdExclusively ? sending && platform::Exists(path) : platform::IsLockHeld(path)) {
      held.push_back(l.name);
    }
  }
  return held;
}

}  // namespace zv::store
