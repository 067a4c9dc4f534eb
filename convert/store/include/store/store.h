// The binder store: link folders, libraries, cabinets and binders on disk.
// Reads report problems instead of guessing; writes refuse an inconsistent
// level and never delete anything they did not create.
#pragma once

#include <string>
#include <vector>

#include "binderlib/binderini.h"
#include "binderlib/binderlib.h"
#include "binderlib/folderlist.h"

namespace zv::store {

using companion::binder::BinderSummary;
using companion::binder::Level;
using companion::binder::PageEntry;

// ---- listing -----------------------------------------------------------
struct ChildInfo {
  std::string entry;    // NameList entry as stored ("Ex" prefix kept)
  std::string name;     // folder name
  std::string path;     // full path
  int position = 0;     // PosList (cabinets) or 1..n
  std::string type;     // TypeList entry, "" when none
  bool exists = false;  // the folder exists
};

struct Listing {
  std::vector<ChildInfo> children;
  std::vector<std::string> problems;  // empty when the level is sound
  bool ok() const { return problems.empty(); }
};

Listing ListLibraries(const std::string& linkFolder);
Listing ListCabinets(const std::string& libraryFolder);
// Binders of a cabinet in NameList order.
Listing ListBinders(const std::string& cabinetFolder);

struct BinderListEntry {
  ChildInfo child;
  std::string title;  // as stored (line-break bytes kept)
  int pageTotal = 0;
  bool secured = false;
  int kind = 0;  // BinderKind
  std::vector<std::string> problems;
};
// Binders of a cabinet with their titles and page counts, read under each
// binder's short lock only when lockTimeoutSeconds > 0 (0: plain reads). A
// binder whose lock is not had within the time-out is listed with kind -1,
// a problem and nothing read.
std::vector<BinderListEntry> ListBindersWithInfo(const std::string& cabinetFolder, int lockTimeoutSeconds = 0);

// ---- creation ----------------------------------------------------------
enum class CreateStatus {
  Ok,
  MissingParent,  // the parent folder does not exist
  BadName,        // empty, "," or "/" in it, "." or ".."
  Exists,         // folder or list entry already there
  LimitReached,   // 7th library, 21st cabinet, 22nd binder
  LockFailed,
  Corrupt,  // the parent's Folder.ini lists are inconsistent
  WriteFailed,
};
const char* CreateStatusText(CreateStatus s);

struct CreateResult {
  CreateStatus status = CreateStatus::WriteFailed;
  std::string path;  // the new folder on success
  // DeriveBinder: the copy from the source binder failed (the new binder
  // was removed again, before anyone could see it).
  bool derivationFailed = false;
  bool ok() const { return status == CreateStatus::Ok; }
};

// A new library in a link folder / a new cabinet in a library: the folder,
// its Folder.ini (from templateIni when given) and Folder.dat, then the name
// appended to the parent's lists (limit checked under the parent's short
// lock). When the append fails the new empty folder is removed again.
CreateResult CreateLibrary(const std::string& linkFolder, const std::string& name, const std::string& templateIni = {});
CreateResult CreateCabinet(const std::string& libraryFolder, const std::string& name,
                           const std::string& templateIni = {});
// A new binder (through CreateBinder2) in a cabinet.
CreateResult CreateBinder(const std::string& cabinetFolder, const companion::binder::BinderDescription& description);

// Derives a new binder in `cabinetFolder` from `sourceBinder`: BinderInfo
// and BinderInfo2 are copied key by key except the keys of the binder key
// table, of which only the display keys, the title fonts, EdocBinder and
// Password are copied; the background image is copied as
// "<new name>BkImage.<ext>"; Version is the larger of the source's and the
// supported version; MaxUploadPage (and UnreadList with markUnread) written.
// The source is read under its short lock (LockFailed when not had); all of
// it is written before the new binder is appended to the cabinet's list.
CreateResult DeriveBinder(const std::string& sourceBinder, const std::string& cabinetFolder,
                          const std::string& newTitle, int maxUploadPage, bool markUnread);

// The BinderInfo / BinderInfo2 keys of the binder key table.
const std::vector<std::string>& BinderInfoKeyTable();
const std::vector<std::string>& BinderInfo2KeyTable();

// ---- binder reads --------------------------------------------------------
using companion::binder::BinderKind;
using companion::binder::ReadBinder;

// PDF output mode for secured page files, from [EnvSetting] PDFMode of the
// product settings file: only under language 1041 is the key honoured
// (missing 0, 0, 1); any other value there is an error (-1). Other
// languages: 0.
int ReadPdfMode(const std::string& productSettingsPath, int languageId);

// ---- locks ---------------------------------------------------------------
struct LockEntry {
  std::string name;   // file name
  std::string where;  // "any store folder", "binder", "cabinet"
  std::string meaning;
  bool createdExclusively = false;  // true: presence is the lock; false: held open
};
const std::vector<LockEntry>& LockTable();
// The locks of the table that are held now in `folder` (a held-open lock
// held by a live process, or an exclusively created lock file present).
std::vector<std::string> HeldLocks(const std::string& folder);

// ---- consistency -----------------------------------------------------------
// Checks a binder, cabinet, library or link folder and everything below it:
// every ini names files and folders that exist, counts and lists agree, no
// lock of the lock table is held. The level is told from the files found.
// Returns the problems, one line each ("<path>: <what>"); empty when sound.
std::vector<std::string> CheckStore(const std::string& path);

// The level of a store folder: 0 binder, 1 cabinet, 2 library, 3 link
// folder, -1 not a store folder.
int DetectLevel(const std::string& path);

}  // namespace zv::store
