// Page search and page deletion on a binder's files.
//
// A deletion keeps every kept page's file and file id: page files are named
// by id, not by page number, so only the page-numbered keys move. The ini is
// edited in place (every line the deletion does not change stays as it was)
// and replaced once; that replacement is the commit point. Before it the
// ini's copy "<name>_old.ini" is written and a single page file is renamed to
// "<name>_old.pdf"; the binder recovery (binderlib/recover.h) rolls an
// uncommitted deletion back and finishes a committed one, here and in every
// other writer of the binder after a crash.
#include "keywordpage/keywordpage.h"

#include <algorithm>
#include <map>
#include <new>
#include <set>
#include <string_view>
#include <vector>

#include "binderlib/binderini.h"
#include "binderlib/binderlib.h"
#include "binderlib/format.h"
#include "binderlib/moswell.h"
#include "binderlib/recover.h"
#include "keywordpage/Fennet.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace zv::keywordpage {

namespace bl = companion::binder;
namespace ini = platform::ini;

namespace {

DeleteStepHook g_hook = nullptr;
void Step(const char* s) {
  if (g_hook) g_hook(s);
}

constexpr std::size_t kMaxPathBytes = 250;
constexpr const char* kSufEBookID = "EBookID";
constexpr const char* kKeyBackupFolder = "Backup";

// The binder folder of "<folder>/<name>.pdf|.pwb", name being the folder's
// name; "" when the path does not name a binder's page file.
std::string BinderOf(const std::string& pageFile) {
  const std::string folder = platform::ParentFolder(pageFile);
  if (folder.empty()) return {};
  const std::string file = platform::LastComponent(pageFile);
  const std::string ext = platform::Extension(file);
  if (!platform::EqualsNoCase(ext, "pdf") && !platform::EqualsNoCase(ext, "pwb")) return {};
  if (platform::StripExtension(file) != bl::FolderName(folder)) return {};
  return folder;
}

}  // namespace

void SetDeleteStepHook(DeleteStepHook hook) { g_hook = hook; }

int FindPage(const std::string& pageFile, const std::string& text) {
  if (pageFile.empty() || text.empty()) return -1;
  if (!platform::IsFile(pageFile)) return -1;
  const std::string folder = BinderOf(pageFile);
  if (folder.empty()) return -1;
  const bl::BinderSummary b = bl::ReadBinder(folder, false);
  if (!b.exists || !platform::ReadFile(b.iniPath)) return -1;  // missing or unreadable
  int number = 0;
  for (const auto& p : b.pages) {
    if (p.flag == bl::kPageFlagNoFile) continue;
    ++number;
    if (p.keyword.find(text) != std::string::npos) return number;
  }
  return 0;
}

namespace {

// One planned deletion: the entries (page-list numbers) that go and what the
// kept entries' keys become.
struct Plan {
  int firstEntry = 0, lastEntry = 0;  // entries removed, inclusive
  int removedCounted = 0;             // of them, pages that count
  int entries = 0;                    // page-list length before
};

// The per-page "EditInfo<n>" sections follow their pages: those of removed
// pages go, those after the range are renamed down (moved to the end of the
// file with their keys; lines of other sections stay).
bool MoveEditInfo(const std::string& iniPath, const Plan& plan) {
  const int shift = plan.lastEntry - plan.firstEntry + 1;
  std::map<int, std::string> later;
  bool ok = true;
  for (const auto& name : ini::SectionNames(iniPath)) {
    const int page = bl::ParseEditInfoSection(name).value_or(0);
    if (page >= plan.firstEntry && page <= plan.lastEntry) ok = ini::DeleteSection(iniPath, name) && ok;
    if (page > plan.lastEntry) later.emplace(page, name);
  }
  for (const auto& [page, name] : later) {
    const auto entries = ini::SectionEntries(iniPath, name);
    ok = ini::DeleteSection(iniPath, name) && ok;
    const std::string target = bl::EditInfoSection(page - shift);
    for (const auto& [k, v] : entries) ok = ini::WriteString(iniPath, target, k, v) && ok;
  }
  return ok;
}

int ChangeIni(const bl::BinderSummary& b, const Plan& plan, const std::map<int, int>& newFileNumbers) {
  const int shift = plan.lastEntry - plan.firstEntry + 1;
  const int remaining = plan.entries - shift;
  ini::WriteGroup group(b.iniPath, 60'000);
  if (!group.ok()) return FENNET_DEL_FILES;
  bool ok = true;
  int removedContents = 0, removedEBookKeys = 0;
  for (const char* section : {bl::kSecPageInfo, bl::kSecOcrText, bl::kSecEBookInfo}) {
    struct Move {
      std::string oldKey, newKey, value;
    };
    std::vector<Move> moves;
    std::vector<std::string> drops;
    for (const auto& [k, v] : ini::SectionEntries(b.iniPath, section)) {
      auto p = bl::ParsePageKey(k);
      if (!p) continue;
      if (p->page >= plan.firstEntry && p->page <= plan.lastEntry) {
        if (std::string_view(section) == bl::kSecPageInfo && platform::EqualsNoCase(p->suffix, bl::kSufContentFlag) &&
            bl::ParseStrictInt(v).value_or(0) != 0)
          ++removedContents;
        if (std::string_view(section) == bl::kSecEBookInfo && platform::EqualsNoCase(p->suffix, kSufEBookID))
          ++removedEBookKeys;
        drops.push_back(k);
        continue;
      }
      const int page = p->page > plan.lastEntry ? p->page - shift : p->page;
      std::string value = v;
      if (std::string_view(section) == bl::kSecPageInfo && platform::EqualsNoCase(p->suffix, bl::kSufContentNoPage)) {
        // A contents entry follows its page; one whose page went points at
        // the page now in that place.
        if (auto n = bl::ParseStrictInt(v); n && *n >= plan.firstEntry) {
          value = std::to_string(*n > plan.lastEntry ? *n - shift : std::min(plan.firstEntry, std::max(remaining, 1)));
        }
      }
      if (std::string_view(section) == bl::kSecPageInfo && platform::EqualsNoCase(p->suffix, bl::kSufFilePageNumber)) {
        if (auto it = newFileNumbers.find(p->page); it != newFileNumbers.end()) value = std::to_string(it->second);
      }
      if (page != p->page || value != v) moves.push_back({k, bl::PageKey(page, p->suffix), value});
    }
    // Values move onto the keys already in place (a value replaced in its
    // line is cheap and keeps the line where it is); only keys that no kept
    // page takes over are deleted, after all writes.
    std::set<std::string> taken;
    for (const auto& m : moves) {
      ok = ini::WriteString(b.iniPath, section, m.newKey, m.value) && ok;
      taken.insert(platform::ToLowerAscii(m.newKey));
    }
    for (const auto& m : moves)
      if (m.oldKey != m.newKey) drops.push_back(m.oldKey);
    for (const auto& k : drops)
      if (!taken.count(platform::ToLowerAscii(k))) ok = ini::DeleteKey(b.iniPath, section, k) && ok;
  }
  // Single-file pages that had no FilePageNumber but whose place changed.
  for (const auto& [entry, number] : newFileNumbers) {
    const int page = entry > plan.lastEntry ? entry - shift : entry;
    const std::string key = bl::PageKey(page, bl::kSufFilePageNumber);
    if (ini::GetString(b.iniPath, bl::kSecPageInfo, key).empty())
      ok = ini::WriteInt(b.iniPath, bl::kSecPageInfo, key, number) && ok;
  }
  ok = ini::WriteInt(b.iniPath, bl::kSecBinderInfo, bl::kKeyPageTotal, b.CountedPages() - plan.removedCounted) && ok;
  if (removedContents > 0) {
    ok = ini::WriteInt(b.iniPath, bl::kSecPageInfo, bl::kKeyContentTotal,
                       std::max(0, b.contentTotal - removedContents)) &&
         ok;
  }
  if (removedEBookKeys > 0) {
    const int total = ini::GetInt(b.iniPath, bl::kSecEBookInfo, bl::kKeyEBookTotalNum, 0);
    ok =
        ini::WriteInt(b.iniPath, bl::kSecEBookInfo, bl::kKeyEBookTotalNum, std::max(0, total - removedEBookKeys)) && ok;
  }
  ok = MoveEditInfo(b.iniPath, plan) && ok;
  if (!ok) return FENNET_DEL_FILES;
  return group.Commit() ? FENNET_DEL_OK : FENNET_DEL_FILES;
}

// Puts the binder back after a failure before the commit.
int Undo(const std::string& folder, int code) {
  bl::RecoverInterruptedChange(folder);
  return code;
}

int DeleteLocked(const std::string& pageFile, int first, int last, bool pair) {
  if (pageFile.size() > kMaxPathBytes) return FENNET_DEL_PATH;
  const std::string folder = BinderOf(pageFile);
  if (folder.empty() || !platform::IsFolder(folder)) return FENNET_DEL_PATH;
  // A "Backup" folder is what another implementation's interrupted deletion
  // leaves: it may hold the only copy of pages. Never touched here.
  if (platform::Exists(bl::Join(folder, kKeyBackupFolder))) return FENNET_DEL_FILES;
  if (bl::RecoverInterruptedChange(folder).status == bl::RecoverStatus::Refused) return FENNET_DEL_FILES;
  const std::string iniPath = bl::BinderIniPath(folder);
  if (!platform::IsFile(pageFile) || !platform::IsFile(iniPath)) return FENNET_DEL_PATH;

  const bl::BinderSummary b = bl::ReadBinder(folder, false);
  const int total = b.CountedPages();
  if (first % 2 != 1 || last % 2 != 0 || first < 1 || first > last || last > total) return FENNET_DEL_RANGE;
  if (b.cardBinder == 1) return FENNET_DEL_CARD;
  if (b.unarranged == 1) return FENNET_DEL_UNARRANGED;
  if (!b.problems.empty()) return FENNET_DEL_FILES;
  for (const auto& [k, v] : ini::SectionEntries(iniPath, bl::kSecEBookInfo)) {
    auto p = bl::ParsePageKey(k);
    if (p && platform::EqualsNoCase(p->suffix, kSufEBookID) && bl::ParseStrictInt(v).value_or(v.empty() ? 0 : 1) != 0)
      return FENNET_DEL_EBOOK;
  }

  // Counted page numbers -> page-list entries.
  std::vector<int> entryOf(1, 0);
  for (const auto& p : b.pages)
    if (p.flag != bl::kPageFlagNoFile) entryOf.push_back(p.number);
  if (pair && first >= 3) {
    // The back of a double-sided sheet (flag 1) takes its sheet's pages along.
    const auto& p = b.pages[static_cast<std::size_t>(entryOf[static_cast<std::size_t>(first)] - 1)];
    if (p.flag == 1) first -= 2;
  }
  Plan plan;
  plan.entries = static_cast<int>(b.pages.size());
  plan.firstEntry = entryOf[static_cast<std::size_t>(first)];
  plan.lastEntry = entryOf[static_cast<std::size_t>(last)];
  for (int e = plan.firstEntry; e <= plan.lastEntry; ++e)
    if (b.pages[static_cast<std::size_t>(e - 1)].flag != bl::kPageFlagNoFile) ++plan.removedCounted;

  const bool multi = b.filePageMode != 0;
  const std::string main = bl::MainPageFilePath(folder, b.secured());
  std::map<int, int> newFileNumbers;  // kept entry -> its new place in the single page file
  std::string newMain;
  if (!multi) {
    std::string password;
    if (b.secured()) {
      auto pw = companion::moswell::DecodePassword(b.password);
      if (!pw || pw->empty()) return FENNET_DEL_FILES;
      password = *pw;
    }
    // Each page's place in the page file: FilePageNumber, or its place among
    // the pages with a file.
    std::map<int, int> oldPlace;
    {
      std::map<int, int> explicitPlace;
      for (const auto& [k, v] : ini::SectionEntries(iniPath, bl::kSecPageInfo)) {
        auto p = bl::ParsePageKey(k);
        if (p && platform::EqualsNoCase(p->suffix, bl::kSufFilePageNumber))
          if (auto n = bl::ParseStrictInt(v); n && *n >= 1) explicitPlace.emplace(p->page, *n);
      }
      int place = 0;
      for (const auto& p : b.pages) {
        if (p.flag == bl::kPageFlagNoFile) continue;
        ++place;
        auto it = explicitPlace.find(p.number);
        oldPlace[p.number] = it != explicitPlace.end() ? it->second : place;
      }
    }
    std::set<int> keptPlaces;
    for (const auto& [entry, place] : oldPlace)
      if (entry < plan.firstEntry || entry > plan.lastEntry) keptPlaces.insert(place);
    std::vector<bl::PageOfFile> pages;
    std::map<int, int> renumber;
    for (int place : keptPlaces) {
      pages.push_back({main, place - 1, password});
      renumber[place] = static_cast<int>(pages.size());
    }
    int implicitNew = 0;
    for (const auto& [entry, place] : oldPlace) {
      if (entry >= plan.firstEntry && entry <= plan.lastEntry) continue;
      ++implicitNew;
      const int now = renumber[place];
      if (now != place || now != implicitNew) newFileNumbers[entry] = now;
    }
    auto bytes = bl::MakeDocumentFromPages(pages, password);
    if (!bytes) return FENNET_DEL_FILES;
    newMain = std::move(*bytes);
  }

  // From here on the binder changes: first the ini's copy.
  if (!platform::CopyFile(iniPath, bl::BinderWorkFile(folder, "_old.ini"), false)) return FENNET_DEL_FILES;
  Step("journal");
  if (!multi) {
    const std::string old = bl::BinderWorkFile(folder, b.secured() ? "_old.pwb" : "_old.pdf");
    bool renamed = false;
    for (int i = 0; i < 100 && !(renamed = platform::RenamePath(main, old, false)); ++i) platform::SleepMs(50);
    if (!renamed) return Undo(folder, FENNET_DEL_RENAME);
    if (!platform::WriteFileAtomic(main, newMain)) return Undo(folder, FENNET_DEL_FILES);
    Step("page-file");
  }
  const int rc = ChangeIni(b, plan, newFileNumbers);
  if (rc != FENNET_DEL_OK) return Undo(folder, rc);
  Step("committed");
  // Removed pages' files and the work files go.
  bl::RecoverInterruptedChange(folder);
  return FENNET_DEL_OK;
}

}  // namespace

int DeletePages(const std::string& pageFile, int first, int last, bool pair) {
  try {
    return DeleteLocked(pageFile, first, last, pair);
  } catch (const std::bad_alloc&) {
    return FENNET_DEL_MEMORY;
  }
}

}  // namespace zv::keywordpage
