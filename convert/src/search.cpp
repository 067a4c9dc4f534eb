// Choosing the binder that takes an import: the configured binder, one of
// its "#n" overflow binders, or a new one (with a new cabinet or library
// when the old one is full). The order of the walk is described in search.h.
#include "dravel/search.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "binderlib/binderini.h"
#include "binderlib/binderlib.h"
#include "binderlib/folderlist.h"
#include "binderlib/format.h"
#include "binderlib/locks.h"
#include "companion/export_guard.h"
#include "companion/strings.h"
#include "dravel/core.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "store/store.h"

namespace zv::dravel {

namespace bl = companion::binder;

namespace {

int g_lastErrorCode = 0;
int g_lastMessageId = 0;

// Members of a level's family: the names of a list that are the base itself
// or "<base>#n" as OverflowName would build it for the level's width.
struct Member {
  int number = 0;  // 1 for the base name itself
  std::string name;
  std::string path;
};

// The base of a name: the name without its "#n" suffix (the name itself when
// nothing would be left).
std::string FamilyBase(const std::string& name) {
  SharpSplit s = SplitSharpNumber(name);
  return s.number == -1 ? name : s.base;
}

// The family number of `name` (1 for the base), or 0 when not a member.
int MemberNumber(const std::string& name, const std::string& base, int width) {
  if (name == base) return 1;
  const SharpSplit s = SplitSharpNumber(name);
  if (s.number >= 2 && name == OverflowName(base, s.number, width)) return s.number;
  return 0;
}

bool Listed(const bl::FolderList& list, const std::string& name) {
  return std::find(list.names.begin(), list.names.end(), name) != list.names.end();
}

struct CabinetScan {
  std::string path;
  int number = 0;  // family number of the cabinet
  bl::FolderList list;
  std::vector<Member> binders;  // family binders, ascending number
};

struct LibraryScan {
  std::string path;
  int number = 0;
  bl::FolderList list;
  std::vector<CabinetScan> cabinets;  // family cabinets in walk order
};

class Search {
 public:
  Search(std::string binder, int pages, const SearchOptions& options)
      : binder_(std::move(binder)), pages_(pages), options_(options) {}

  SearchOutcome Run();

 private:
  SearchOutcome& Fail(int code, int messageId, const std::string& why);
  // Reads a Folder.ini under the folder's short lock; nullopt (with the
  // outcome failed) when it cannot be had or is damaged.
  std::optional<bl::FolderList> ReadList(const std::string& folder, bl::Level level, int messageId);
  // Page limit and count of a binder under its short lock; false when the
  // binder has no ini (count_ < 0 when the lock was not had).
  struct BinderState {
    bool exists = false;
    bool locked = true;
    int maxUploadPage = bl::kDefaultMaxUploadPageImport;  // 0 or less: no page fits
    bool hasMaxUploadPage = false;                        // the binder stores its own limit
    int pages = 0;
  };
  BinderState ReadState(const std::string& binderFolder);
  bool Fits(const BinderState& s) const {
    return s.exists && s.maxUploadPage > 0 && s.pages + pages_ <= s.maxUploadPage;
  }
  bool ScanCabinet(CabinetScan& cab);
  bool ScanLibrary(LibraryScan& lib, const std::string& firstCabinet);
  // Tries the family binders of a scanned cabinet; true when one was taken.
  bool TryCabinet(const CabinetScan& cab);
  bool Create(std::vector<LibraryScan>& libraries, const bl::FolderList& linkList);
  std::optional<std::string> NewCabinet(LibraryScan& lib);
  bool Take(const std::string& path, const BinderState& s);

  std::string binder_;
  int pages_;
  SearchOptions options_;
  SearchOutcome out_;
  BinderState configured_;
  std::string binderBase_, cabinetBase_, libraryBase_;
  std::string cabinet_, library_, link_;
  int highestBinder_ = 1;
};

SearchOutcome& Search::Fail(int code, int messageId, const std::string& why) {
  out_.result = -1;
  out_.errorCode = code;
  out_.messageId = messageId;
  out_.message = Message(messageId);
  out_.binder.clear();
  ZV_DRAVEL_TRACE("SearchInsertBinder: " + why + " (Error Code=" + std::to_string(code) +
                  ")\n\tErrorMsg=" + out_.message);
  return out_;
}

std::optional<bl::FolderList> Search::ReadList(const std::string& folder, bl::Level level, int messageId) {
  bl::ShortLock lock(folder, options_.lockTimeoutSeconds);
  if (!lock) {
    Fail(kSearchListRead, messageId, "cannot lock " + folder);
    return std::nullopt;
  }
  bl::FolderList list = bl::ReadFolderList(folder, level, false);
  lock.Release();
  if (!list.ok()) {
    Fail(kSearchListRead, messageId, folder + ": " + list.problems.front());
    return std::nullopt;
  }
  return list;
}

Search::BinderState Search::ReadState(const std::string& binderFolder) {
  BinderState s;
  if (!platform::IsFile(bl::BinderIniPath(binderFolder))) {
    s.exists = false;
    return s;
  }
  bl::ShortLock lock(binderFolder, options_.lockTimeoutSeconds);
  if (!lock) {
    s.locked = false;
    return s;
  }
  const bl::BinderSummary b = bl::ReadBinder(binderFolder, false);
  lock.Release();
  s.exists = b.exists;
  s.hasMaxUploadPage = b.hasMaxUploadPage;
  s.maxUploadPage = b.UploadLimit(bl::kDefaultMaxUploadPageImport);
  s.pages = b.CountedPages();
  return s;
}

bool Search::Take(const std::string& path, const BinderState& s) {
  out_.result = 0;
  out_.errorCode = 0;
  out_.messageId = 0;
  out_.message.clear();
  out_.binder = path;
  out_.maxUploadPage = s.maxUploadPage;
  out_.pageCount = s.pages;
  return true;
}

bool Search::ScanCabinet(CabinetScan& cab) {
  auto list = ReadList(cab.path, bl::Level::Cabinet, 47);
  if (!list) return false;
  cab.list = std::move(*list);
  for (const auto& name : cab.list.names) {
    const int n = MemberNumber(name, binderBase_, kBinderNameWidth);
    if (n == 0) continue;
    highestBinder_ = std::max(highestBinder_, n);
    const std::string path = bl::Join(cab.path, name);
    if (path == binder_ || !platform::IsFolder(path)) continue;
    cab.binders.push_back({n, name, path});
  }
  std::stable_sort(cab.binders.begin(), cab.binders.end(),
                   [](const Member& a, const Member& b) { return a.number < b.number; });
  return true;
}

bool Search::ScanLibrary(LibraryScan& lib, const std::string& firstCabinet) {
  auto list = ReadList(lib.path, bl::Level::Library, 45);
  if (!list) return false;
  lib.list = std::move(*list);
  std::vector<Member> family;
  for (const auto& name : lib.list.names) {
    const int n = MemberNumber(name, cabinetBase_, kCabinetNameWidth);
    const std::string path = bl::Join(lib.path, name);
    if (n == 0 || !platform::IsFolder(path)) continue;
    family.push_back({n, name, path});
  }
  std::stable_sort(family.begin(), family.end(), [](const Member& a, const Member& b) { return a.number < b.number; });
  // The configured cabinet is looked at first.
  std::stable_partition(family.begin(), family.end(), [&](const Member& m) { return m.path == firstCabinet; });
  for (const auto& m : family) {
    CabinetScan cab;
    cab.path = m.path;
    cab.number = m.number;
    if (!ScanCabinet(cab)) return false;
    lib.cabinets.push_back(std::move(cab));
  }
  return true;
}

bool Search::TryCabinet(const CabinetScan& cab) {
  for (const auto& m : cab.binders) {
    const BinderState s = ReadState(m.path);
    if (!s.locked) {
      Fail(kSearchBinderLock, 66, "cannot lock " + m.path);
      return false;
    }
    if (Fits(s)) return Take(m.path, s);
  }
  return false;
}

// The name of a new cabinet in `lib`: the cabinet's base name when the
// library holds no cabinet of the family, else the next "#m".
std::optional<std::string> Search::NewCabinet(LibraryScan& lib) {
  int highest = 0;
  for (const auto& c : lib.cabinets) highest = std::max(highest, c.number);
  if (highest == 0) {
    const std::string name(platform::CutDisplayWidth(cabinetBase_, kCabinetNameWidth));
    if (!platform::Exists(bl::Join(lib.path, name)) && !Listed(lib.list, name)) return name;
    highest = 1;
  }
  for (int m = highest + 1; m < highest + 1000; ++m) {
    const std::string name = OverflowName(cabinetBase_, m, kCabinetNameWidth);
    if (!platform::Exists(bl::Join(lib.path, name)) && !Listed(lib.list, name)) return name;
  }
  return std::nullopt;
}

namespace {

// Error code and message of a failed library / cabinet creation.
std::pair<int, int> LevelFailure(store::CreateStatus s, bool library) {
  using store::CreateStatus;
  switch (s) {
    case CreateStatus::LimitReached:
      return library ? std::pair{kSearchLibraryLimit, 54} : std::pair{kSearchCabinetLimit, 58};
    case CreateStatus::LockFailed:
    case CreateStatus::Corrupt:
    case CreateStatus::WriteFailed:
      return library ? std::pair{kSearchLibraryUpdate, 55} : std::pair{kSearchCabinetUpdate, 59};
    default: return library ? std::pair{kSearchLibraryCreate, 52} : std::pair{kSearchCabinetCreate, 56};
  }
}

bool PathFits(const std::string& folder, const std::string& name) {
  // The longest file made inside a new binder is its ini "<name>.ini".
  return folder.size() + 1 + name.size() + 1 + name.size() + 4 < DRAVEL_PATH_MAX;
}

}  // namespace

bool Search::Create(std::vector<LibraryScan>& libraries, const bl::FolderList& linkList) {
  // Where the new binder goes: the first family cabinet with room.
  CabinetScan* target = nullptr;
  for (auto& lib : libraries) {
    for (auto& cab : lib.cabinets) {
      if (static_cast<int>(cab.list.names.size()) < bl::kMaxBinders) {
        target = &cab;
        break;
      }
    }
    if (target) break;
  }
  if (!options_.allowCreate) {
    Fail(kSearchNoCreate, 51, "no binder of " + binder_ + " has room and creation is not allowed");
    return false;
  }

  LibraryScan* home = nullptr;  // library that receives a new cabinet
  if (!target) {
    for (auto& lib : libraries) {
      if (static_cast<int>(lib.list.names.size()) < bl::kMaxCabinets) {
        home = &lib;
        break;
      }
    }
    if (!home) {
      if (static_cast<int>(linkList.names.size()) >= bl::kMaxLibraries) {
        ZV_DRAVEL_TRACE("SearchInsertBinder: " + Message(companion::kDravelLibraryLimit));
        Fail(kSearchLibraryMax, 68, link_ + " already holds " + std::to_string(bl::kMaxLibraries) + " libraries");
        return false;
      }
      int highest = 1;
      for (const auto& lib : libraries) highest = std::max(highest, lib.number);
      std::string name;
      for (int k = highest + 1; k < highest + 1000 && name.empty(); ++k) {
        const std::string candidate = OverflowName(libraryBase_, k, kLibraryNameWidth);
        if (!platform::Exists(bl::Join(link_, candidate)) && !Listed(linkList, candidate)) name = candidate;
      }
      if (name.empty() || bl::Join(link_, name).size() >= DRAVEL_PATH_MAX) {
        Fail(kSearchLibraryCreate, 53, "no usable name for a new library in " + link_);
        return false;
      }
      const store::CreateResult r = store::CreateLibrary(link_, name, options_.libraryTemplate);
      if (!r.ok()) {
        const auto [code, msg] = LevelFailure(r.status, true);
        Fail(code, msg, "new library " + name + ": " + store::CreateStatusText(r.status));
        return false;
      }
      ZV_DRAVEL_TRACE("SearchInsertBinder: new library " + r.path);
      out_.createdLibrary = true;
      LibraryScan lib;
      lib.path = r.path;
      lib.number = MemberNumber(name, libraryBase_, kLibraryNameWidth);
      libraries.push_back(std::move(lib));
      home = &libraries.back();
    }
    const auto name = NewCabinet(*home);
    if (!name || bl::Join(home->path, *name).size() >= DRAVEL_PATH_MAX) {
      Fail(kSearchCabinetCreate, 57, "no usable name for a new cabinet in " + home->path);
      return false;
    }
    const store::CreateResult r = store::CreateCabinet(home->path, *name, options_.cabinetTemplate);
    if (!r.ok()) {
      const auto [code, msg] = LevelFailure(r.status, false);
      Fail(code, msg, "new cabinet " + *name + ": " + store::CreateStatusText(r.status));
      return false;
    }
    ZV_DRAVEL_TRACE("SearchInsertBinder: new cabinet " + r.path);
    out_.createdCabinet = true;
    CabinetScan cab;
    cab.path = r.path;
    home->cabinets.push_back(std::move(cab));
    target = &home->cabinets.back();
  }

  // The new binder: one above the highest number of the family, skipping
  // names the receiving cabinet already has.
  std::string name;
  for (int n = highestBinder_ + 1; n < highestBinder_ + 1000 && name.empty(); ++n) {
    const std::string candidate = OverflowName(binderBase_, n, kBinderNameWidth);
    if (!platform::Exists(bl::Join(target->path, candidate)) && !Listed(target->list, candidate)) {
      name = candidate;
    }
  }
  if (name.empty() || !PathFits(target->path, name)) {
    Fail(kSearchBinderExists, 61, "no usable name for a new binder in " + target->path);
    return false;
  }
  const int maxUpload = configured_.hasMaxUploadPage && configured_.maxUploadPage > 0 ? configured_.maxUploadPage : 0;
  const store::CreateResult r = store::DeriveBinder(binder_, target->path, name, maxUpload, options_.markUnread);
  if (!r.ok()) {
    const std::string why = "new binder " + name + " in " + target->path + ": " + store::CreateStatusText(r.status);
    if (r.status == store::CreateStatus::Exists) {
      Fail(kSearchBinderExists, 61, why);
    } else if (r.derivationFailed || r.status == store::CreateStatus::MissingParent) {
      Fail(kSearchBinderDerive, 60, why);
    } else {
      Fail(kSearchBinderCreate, 62, why);
    }
    return false;
  }
  ZV_DRAVEL_TRACE("SearchInsertBinder: new binder " + r.path);
  out_.createdBinder = true;
  BinderState s = ReadState(r.path);
  if (!s.exists) {
    s = configured_;
    s.pages = 0;
  }
  return Take(r.path, s);
}

SearchOutcome Search::Run() {
  out_ = SearchOutcome{};
  binder_ = platform::TrimTrailingSeparator(binder_);
  if (binder_.empty() || !platform::IsFile(bl::BinderIniPath(binder_))) {
    return Fail(kSearchBinderMissing, 63, "binder ini of " + binder_ + " not found");
  }
  configured_ = ReadState(binder_);
  if (!configured_.locked) return Fail(kSearchBinderLock, 66, "cannot lock " + binder_);
  if (!configured_.exists) return Fail(kSearchBinderCount, 64, "cannot count the pages of " + binder_);

  // A file that is not a usable PDF is left to the caller's page check.
  if (pages_ < 1 || Fits(configured_)) {
    Take(binder_, configured_);
    return out_;
  }
  if (pages_ > configured_.maxUploadPage) {
    return Fail(kSearchFileTooLarge, 67,
                std::to_string(pages_) + " pages exceed MaxUploadPage " + std::to_string(configured_.maxUploadPage));
  }

  cabinet_ = platform::ParentFolder(binder_);
  library_ = platform::ParentFolder(cabinet_);
  link_ = platform::ParentFolder(library_);
  const std::string binderName = bl::FolderName(binder_);
  binderBase_ = FamilyBase(binderName);
  cabinetBase_ = FamilyBase(bl::FolderName(cabinet_));
  libraryBase_ = FamilyBase(bl::FolderName(library_));
  highestBinder_ = std::max(1, SplitSharpNumber(binderName).number);

  // 1. The binder's own cabinet.
  std::vector<LibraryScan> libraries(1);
  LibraryScan& own = libraries.front();
  own.path = library_;
  own.number = std::max(1, MemberNumber(bl::FolderName(library_), libraryBase_, kLibraryNameWidth));
  {
    CabinetScan cab;
    cab.path = cabinet_;
    cab.number = std::max(1, MemberNumber(bl::FolderName(cabinet_), cabinetBase_, kCabinetNameWidth));
    if (!ScanCabinet(cab)) return out_;
    if (TryCabinet(cab)) return out_;
    if (out_.errorCode) return out_;
  }
  // 2. The other cabinets of the family in the library (the own cabinet is
  // scanned again with the library so that every scan is of one moment).
  if (!ScanLibrary(own, cabinet_)) return out_;
  for (const auto& cab : own.cabinets) {
    if (cab.path == cabinet_) continue;
    if (TryCabinet(cab)) return out_;
    if (out_.errorCode) return out_;
  }
  // 3. The overflow libraries of the link folder.
  auto linkList = ReadList(link_, bl::Level::LinkFolder, 43);
  if (!linkList) return out_;
  std::vector<Member> family;
  for (const auto& name : linkList->names) {
    const int n = MemberNumber(name, libraryBase_, kLibraryNameWidth);
    const std::string path = bl::Join(link_, name);
    if (n == 0 || path == library_ || !platform::IsFolder(path)) continue;
    family.push_back({n, name, path});
  }
  std::stable_sort(family.begin(), family.end(), [](const Member& a, const Member& b) { return a.number < b.number; });
  for (const auto& m : family) {
    LibraryScan lib;
    lib.path = m.path;
    lib.number = m.number;
    if (!ScanLibrary(lib, {})) return out_;
    for (const auto& cab : lib.cabinets) {
      if (TryCabinet(cab)) return out_;
      if (out_.errorCode) return out_;
    }
    libraries.push_back(std::move(lib));
  }
  // 4. Nothing fits: a new binder (and cabinet, library) is needed.
  Create(libraries, *linkList);
  return out_;
}

void Remember(const SearchOutcome& o) {
  g_lastErrorCode = o.errorCode;
  g_lastMessageId = o.messageId;
}

}  // namespace

SearchOutcome SearchBinderForPages(const std::string& binder, int pages, const SearchOptions& options) {
  SearchOutcome o = Search(binder, pages, options).Run();
  Remember(o);
  return o;
}

SearchOutcome SearchBinderForFile(const std::string& binder, const std::string& workFile,
                                  const SearchOptions& options) {
  const int pages = workFile.empty() ? 0 : bl::PdfPageCount(workFile);
  return SearchBinderForPages(binder, pages, options);
}

int LastSearchErrorCode() { return g_lastErrorCode; }
int LastSearchMessageId() { return g_lastMessageId; }

}  // namespace zv::dravel

static int SearchInsertBinderBody(char* binderPath, const char* workFile, int flag, DravelSearchRequest* request) {
  using namespace zv::dravel;
  if (binderPath == nullptr) {
    SearchOutcome o;
    o.errorCode = kSearchBinderMissing;
    o.messageId = 63;
    Remember(o);
    return -1;
  }
  SearchOptions options;
  options.allowCreate = flag != 0;
  if (request != nullptr) {
    FillSearchDefaults(*request);
    options.libraryTemplate.assign(request->libraryTemplate, strnlen(request->libraryTemplate, DRAVEL_PATH_MAX));
    options.cabinetTemplate.assign(request->cabinetTemplate, strnlen(request->cabinetTemplate, DRAVEL_PATH_MAX));
    options.markUnread = request->markUnread != 0;
  }
  const std::string binder(binderPath, strnlen(binderPath, DRAVEL_PATH_MAX - 1));
  const SearchOutcome o = SearchBinderForFile(binder, workFile ? workFile : "", options);
  if (o.result != 0) return -1;
  if (o.binder.size() >= DRAVEL_PATH_MAX) {
    // A binder whose path does not fit the caller's buffer cannot be used.
    SearchOutcome tooLong;
    tooLong.errorCode = kSearchBinderMissing;
    tooLong.messageId = 63;
    Remember(tooLong);
    return -1;
  }
  std::memcpy(binderPath, o.binder.c_str(), o.binder.size() + 1);
  return 0;
}

extern "C" DRAVEL_API int SearchInsertBinder(char* binderPath, const char* workFile, int flag,
                                             DravelSearchRequest* request) {
  return zv::companion::ExportGuard("_Dravel", "SearchInsertBinder", -1,
                                    [&] { return SearchInsertBinderBody(binderPath, workFile, flag, request); });
}
