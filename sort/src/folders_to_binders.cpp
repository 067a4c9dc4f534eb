// Folders to binders: every library, cabinet and binder folder of the sort
// folder that has no counterpart in the link folder becomes one.
//
// The check pass walks the whole sort folder and makes a plan without
// creating anything; the create pass carries the plan out through the store,
// whose creation functions check the limits again under the parent's lock.
#include <algorithm>
#include <cerrno>
#include <optional>

#include "binderlib/format.h"
#include "companion/common.h"
#include "internal.h"
#include "platform/attributes.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/fs_error.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "store/store.h"

namespace zv::sort {

namespace bl = companion::binder;
using namespace detail;

namespace {

enum class Kind { Library = 1, Cabinet = 2, Binder = 3 };

struct Step {
  Kind kind;
  std::string parent;      // store folder that receives the item
  std::string name;        // folder name of the new item
  std::string title;       // binders: the title
  std::string sortFolder;  // the sort folder it stands for
};

// The items of one store folder, as the walk knows them: the listed ones and
// the ones the plan adds.
struct Known {
  std::vector<std::string> names;   // folder names (libraries, cabinets, binders)
  std::vector<std::string> titles;  // binders: titles, parallel to names
  std::vector<std::string> onDisk;  // every entry of the folder
  int listed = 0;                   // how many names the store lists
};

std::optional<std::size_t> FindNoCase(const std::vector<std::string>& list, std::string_view what) {
  // An exact match first, then one that differs in ASCII case only.
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list[i] == what) return i;
  }
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (platform::EqualsNoCase(list[i], what)) return i;
  }
  return std::nullopt;
}

Known KnownItems(const std::string& folder, Kind childKind) {
  Known k;
  if (!platform::IsFolder(folder)) return k;
  if (childKind == Kind::Binder) {
    for (auto& b : store::ListBindersWithInfo(folder)) {
      k.names.push_back(b.child.name);
      k.titles.push_back(b.title);
    }
  } else {
    const store::Listing l = childKind == Kind::Library ? store::ListLibraries(folder) : store::ListCabinets(folder);
    for (auto& c : l.children) k.names.push_back(c.name);
  }
  k.listed = static_cast<int>(k.names.size());
  if (auto entries = platform::ListFolder(folder)) {
    for (auto& e : *entries) k.onDisk.push_back(e.name);
  }
  return k;
}

// The sub-folders of a sort folder that count: no files, no hidden folders,
// no symbolic links.
std::vector<std::string> SortChildren(const std::string& folder) {
  std::vector<std::string> out;
  auto entries = platform::ListFolder(folder);
  if (!entries) return out;
  for (auto& e : *entries) {
    if (!e.isFolder || e.isSymlink) continue;
    if (platform::IsHidden(Join(folder, e.name))) continue;
    out.push_back(e.name);
  }
  return out;
}

class Walker {
 public:
  explicit Walker(const Run& run) : run_(run), ui_(UiOf(run)) {}

  // The check pass: false when the run must stop (already reported).
  bool Plan() {
    Known libs = KnownItems(run_.linkFolder, Kind::Library);
    for (const auto& name : SortChildren(run_.sortFolder)) {
      std::string l1, l2;
      if (CheckName(name, 1, l1, l2, run_.sortFolder) != 1) continue;
      const std::string sortLib = Join(run_.sortFolder, name);
      std::string libPath;
      if (!Place(Kind::Library, run_.linkFolder, libs, name, name, sortLib, libPath)) return false;
      Known cabs = KnownItems(libPath, Kind::Cabinet);
      for (const auto& cabName : SortChildren(sortLib)) {
        if (CheckName(cabName, 2, l1, l2, sortLib) != 1) continue;
        const std::string sortCab = Join(sortLib, cabName);
        std::string cabPath;
        if (!Place(Kind::Cabinet, libPath, cabs, cabName, cabName, sortCab, cabPath)) return false;
        Known binders = KnownItems(cabPath, Kind::Binder);
        for (const auto& binderName : SortChildren(sortCab)) {
          if (CheckName(binderName, 3, l1, l2, sortCab) != 1) continue;
          std::string ignored;
          if (!Place(Kind::Binder, cabPath, binders, binderName, TitleOfParts(l1, l2), Join(sortCab, binderName),
                     ignored))
            return false;
        }
      }
    }
    return true;
  }

  const std::vector<Step>& steps() const { return steps_; }
  const std::string& failure() const { return failure_; }

  // The create pass. False when a step failed (reported).
  bool Create(Outcome& out) {
    const int total = static_cast<int>(steps_.size());
    ui_.ProgressOpen(Text(kProgressTitle), total);
    int done = 0;
    bool ok = true;
    for (const Step& s : steps_) {
      ui_.ProgressStep(s.sortFolder, done, total);
      std::string made;
      if (!CreateOne(s, made, out)) {
        ok = false;
        break;
      }
      if (!made.empty()) out.created.push_back(made);
      ui_.ProgressStep(s.sortFolder, ++done, total);
    }
    ui_.ProgressClose();
    return ok;
  }

 private:
  // Finds the store item a sort folder stands for, or plans a new one.
  // `path` receives the store folder the walk goes on in.
  bool Place(Kind kind, const std::string& parent, Known& known, const std::string& name, const std::string& title,
             const std::string& sortFolder, std::string& path) {
    const bool binder = kind == Kind::Binder;
    if (auto i = FindNoCase(binder ? known.titles : known.names, binder ? title : name)) {
      path = Join(parent, known.names[*i]);
      return true;
    }
    // A folder of that name that is not a listed item: a foreign folder (the
    // link folder's own result folder, a stray copy) or a binder of another
    // title. It is never adopted.
    if (FindNoCase(known.onDisk, name) || FindNoCase(known.names, name)) {
      if (ListedMeanwhile(kind, parent, known, name, title, path)) return true;
      const std::string foreign = Join(parent, name);
      ZV_SORT_TRACE(run_,
                    "FromFolderToBinder: not a store item, run ended: " + foreign + " SortFolder = " + sortFolder);
      Show(Format(kForeignFolder, foreign));
      return false;
    }
    const int count = static_cast<int>(known.names.size()) + 1;
    if (count > Limit(kind)) {
      LimitReached(kind, parent, sortFolder);
      return false;
    }
    // A folder that may not be written would hold the creation in the
    // store's lock wait for many minutes and then fail: it is refused now,
    // before anything is made.
    if (platform::IsFolder(parent) && !platform::MayWriteFolder(parent)) {
      Failed({kind, parent, name, title, sortFolder}, store::CreateStatus::WriteFailed, EACCES);
      return false;
    }
    known.names.push_back(name);
    if (binder) known.titles.push_back(title);
    steps_.push_back({kind, parent, name, title, sortFolder});
    path = Join(parent, name);
    return true;
  }

  // Another program may be making that very item: its folder is there
  // before its name is listed. Give its list update a moment.
  bool ListedMeanwhile(Kind kind, const std::string& parent, Known& known, const std::string& name,
                       const std::string& title, std::string& path) {
    const bool binder = kind == Kind::Binder;
    for (int attempt = 0; attempt < 20; ++attempt) {
      platform::SleepMs(100);
      const Known fresh = KnownItems(parent, kind);
      if (auto i = FindNoCase(binder ? fresh.titles : fresh.names, binder ? title : name)) {
        known.names.push_back(fresh.names[*i]);
        if (binder) known.titles.push_back(fresh.titles[*i]);
        path = Join(parent, fresh.names[*i]);
        return true;
      }
      // Still not listed, or listed as a binder of another title: no wait.
      if (FindNoCase(fresh.names, name) || !FindNoCase(fresh.onDisk, name)) break;
    }
    return false;
  }

  static int Limit(Kind kind) {
    switch (kind) {
      case Kind::Library: return bl::kMaxLibraries;
      case Kind::Cabinet: return bl::kMaxCabinets;
      case Kind::Binder: return bl::kMaxBinders;
    }
    return 0;
  }

  void LimitReached(Kind kind, const std::string& parent, const std::string& sortFolder) {
    const std::string sortParent = platform::ParentFolder(sortFolder);
    switch (kind) {
      case Kind::Library:
        ZV_SORT_TRACE(
            run_, "FromFolderToBinder: Lib Count > 6 ERROR LinkPath = " + parent + " SortFolder = " + sortParent + " ");
        Show(Format(kLibraryLimit, run_.linkName.empty() ? parent : run_.linkName));
        break;
      case Kind::Cabinet:
        ZV_SORT_TRACE(run_, "FromFolderToBinder: Cab Count > 20 ERROR szLibFolder = " + parent +
                                " SortLibFolder = " + sortParent);
        Show(Format(kCabinetLimit, bl::FolderName(parent)));
        break;
      case Kind::Binder:
        ZV_SORT_TRACE(run_, "FromFolderToBinder: Binder Count > 21 ERROR szSortCabFolder = " + sortParent +
                                " szCabFolder = " + parent);
        Show(Format(kBinderLimit, bl::FolderName(parent)));
        break;
    }
  }

  void Show(const std::string& text) {
    failure_ = text;
    ui_.Message(text, "", companion::kMbOk | companion::kMbIconWarning);
  }

  // The item may have been made by another writer since the plan: then it is
  // listed now (give its list update a moment) and the walk goes on with it.
  bool MadeMeanwhile(const Step& s) {
    for (int attempt = 0; attempt < 20; ++attempt) {
      if (Listed(s)) return true;
      platform::SleepMs(100);
    }
    return false;
  }
  bool Listed(const Step& s) const {
    const Known k = KnownItems(s.parent, s.kind);
    const bool binder = s.kind == Kind::Binder;
    return FindNoCase(binder ? k.titles : k.names, binder ? s.title : s.name).has_value();
  }

  // Traces and shows a creation that failed (or would fail).
  void Failed(const Step& s, store::CreateStatus status, int code) {
    const std::string why = std::string(store::CreateStatusText(status));
    const std::string item = Join(s.parent, s.name);
    switch (s.kind) {
      case Kind::Library:
        if (status == store::CreateStatus::MissingParent)
          ZV_SORT_TRACE(run_, "CreateLib: szLinkPath is not exist or not accessed ! szLinkPath = " + s.parent +
                                  " , szLibName = " + s.name);
        else if (status == store::CreateStatus::LockFailed)
          ZV_SORT_TRACE(
              run_, "CreateLib: Make Libary Lock File False! szLinkPath = " + s.parent + " , szLibName = " + s.name);
        else
          ZV_SORT_TRACE(run_, "CreateLib: Libary CreateDirectory(" + item +
                                  ") False LastError = " + std::to_string(code) + " szLinkPath = " + s.parent +
                                  " , szLibName = " + s.name + " (" + why + ")");
        break;
      case Kind::Cabinet:
        if (status == store::CreateStatus::MissingParent)
          ZV_SORT_TRACE(run_, "CreateCab: szLibPath is not exist or not accessed ! szLibPath = " + s.parent +
                                  " , szCabName = " + s.name);
        else if (status == store::CreateStatus::LockFailed)
          ZV_SORT_TRACE(
              run_, "CreateCab: Make Cabniet Lock File False! szLibPath = " + s.parent + " , szCabName = " + s.name);
        else
          ZV_SORT_TRACE(run_, "CreateCab: Cabniet CreateDirectory(" + item +
                                  ") False LastError = " + std::to_string(code) + " szLibPath = " + s.parent +
                                  " , szCabName = " + s.name + " (" + why + ")");
        break;
      case Kind::Binder:
        if (status == store::CreateStatus::MissingParent)
          ZV_SORT_TRACE(run_, "CreateBinder: szCabPath is not exist or not accessed ! BinderTitle = " + s.title +
                                  " , szCabName = " + s.parent);
        else if (status == store::CreateStatus::LockFailed)
          ZV_SORT_TRACE(run_, "CreateBinder: Make Binder Lock File False! szCabPath = " + s.parent +
                                  " , BinderTitle = " + s.title);
        else
          ZV_SORT_TRACE(run_, "CreateBinder: CreateBinder2 False! LastError = " + std::to_string(code) +
                                  " szCabPath = " + s.parent + " , BinderTitle = " + s.title + " (" + why + ")");
        break;
    }
    if (status == store::CreateStatus::Exists) {
      Show(Format(kChangedMeanwhile, item));
    } else {
      const int id = s.kind == Kind::Library   ? kLibraryFailed
                     : s.kind == Kind::Cabinet ? kCabinetFailed
                                               : kBinderFailed;
      Show(Format(id, code, item));
    }
  }

  bool CreateOne(const Step& s, std::string& made, Outcome& out) {
    store::CreateResult r;
    if (platform::IsFolder(s.parent) && !platform::MayWriteFolder(s.parent)) {
      Failed(s, store::CreateStatus::WriteFailed, EACCES);
      out.failure = failure_;
      return false;
    }
    if (s.kind == Kind::Binder) {
      bl::BinderDescription d;
      d.title = s.title;
      d.folderName = s.name;
      r = store::CreateBinder(s.parent, d);
    } else if (s.kind == Kind::Library) {
      r = store::CreateLibrary(s.parent, s.name);
    } else {
      r = store::CreateCabinet(s.parent, s.name);
    }
    if (r.ok()) {
      made = r.path;
      return true;
    }
    if (r.status == store::CreateStatus::Exists && MadeMeanwhile(s)) return true;
    // A full level that already lists the item: the other program made it.
    if (r.status == store::CreateStatus::LimitReached && Listed(s)) return true;
    if (r.status == store::CreateStatus::LimitReached) {
      // Another writer filled the level after the check pass.
      LimitReached(s.kind, s.parent, s.sortFolder);
      out.failure = failure_;
      return false;
    }
    const int code = r.status == store::CreateStatus::WriteFailed && platform::LastFsError()
                         ? platform::LastFsError().code
                         : static_cast<int>(r.status);
    Failed(s, r.status, code);
    out.failure = failure_;
    return false;
  }

  const Run& run_;
  Ui& ui_;
  std::vector<Step> steps_;
  std::string failure_;
};

}  // namespace

Outcome FromFolderToBinder(const Run& run, bool ask) {
  Outcome out;
  Ui& ui = UiOf(run);
  if (ask && ui.Message(Text(kCreateBindersAsk), Text(kCreateBindersCaption),
                        companion::kMbOkCancel | companion::kMbIconQuestion) == companion::kIdCancel) {
    return out;
  }
  platform::RemoveFile(FolderErrorListPath());
  if (!FoldersApart(run)) {
    ZV_SORT_TRACE(run, "FromFolderToBinder: the sort folder and the link folder overlap! SortFolderPath = " +
                           run.sortFolder + " , LinkFolderPath = " + run.linkFolder);
    out.failure = Text(kNested);
    ui.Message(out.failure, "", companion::kMbOk | companion::kMbIconWarning);
    return out;
  }
  Walker walker(run);
  if (!walker.Plan()) {
    out.failure = walker.failure();
    return out;
  }
  if (OpenFolderErrorList(run) == 0) {
    out.failure = Text(kFolderNameErrors);
    return out;
  }
  if (walker.steps().empty()) {
    ZV_SORT_TRACE(run, "FromFolderToBinder: No Target to Create! SortFolderPath = " + run.sortFolder +
                           " , LinkFolderPath = " + run.linkFolder);
    ui.Message(Text(kNothingToCreate), "", companion::kMbOk | companion::kMbIconInfo);
    out.nothingToCreate = true;
    return out;
  }
  if (!walker.Create(out)) return out;
  ZV_SORT_TRACE(run, "FromFolderToBinder: Create Target Folders Success! SortFolderPath = " + run.sortFolder +
                         " , LinkFolderPath = " + run.linkFolder);
  ui.Message(Text(kBindersDone), Text(kDoneCaption), companion::kMbOk | companion::kMbIconInfo);
  out.result = 1;
  return out;
}

}  // namespace zv::sort
