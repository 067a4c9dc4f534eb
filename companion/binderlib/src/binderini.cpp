#include "binderlib/binderini.h"

#include <map>
#include <set>

#include "binderlib/format.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/text.h"

namespace zv::companion::binder {

namespace ini = platform::ini;

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

const std::string* Find(const Entries& entries, std::string_view key) {
  for (const auto& [k, v] : entries) {
    if (platform::EqualsNoCase(k, key)) return &v;
  }
  return nullptr;
}

// A number key: missing -> default; present but garbage -> a problem and the
// default.
int Number(const Entries& entries, std::string_view key, int def, const std::string& where,
           std::vector<std::string>& problems) {
  const std::string* v = Find(entries, key);
  if (!v) return def;
  if (v->empty()) return def;
  auto n = ParseStrictInt(*v);
  if (!n) {
    problems.push_back(where + ": " + std::string(key) + " \"" + *v + "\" is not a number");
    return def;
  }
  return *n;
}

}  // namespace

int BinderSummary::CountedPages() const {
  int n = 0;
  for (const auto& p : pages) {
    if (p.flag != kPageFlagNoFile) ++n;
  }
  return n;
}

BinderSummary ReadBinder(const std::string& binderFolder, bool checkFiles) {
  BinderSummary b;
  b.folder = binderFolder;
  b.name = FolderName(binderFolder);
  b.iniPath = BinderIniPath(binderFolder);
  if (!platform::IsFile(b.iniPath)) {
    b.problems.push_back(b.iniPath + ": binder ini missing");
    return b;
  }
  b.exists = true;
  const std::string& where = b.iniPath;
  auto& pr = b.problems;
  const Entries info = ini::SectionEntries(b.iniPath, kSecBinderInfo);
  const Entries version = ini::SectionEntries(b.iniPath, kSecVersion);
  const Entries pageInfo = ini::SectionEntries(b.iniPath, kSecPageInfo);

  if (const auto* t = Find(info, kKeyTitle)) b.title = *t;
  if (const auto* p = Find(info, kKeyPassword)) b.password = *p;
  b.version = Number(version, kKeyVersion, kDefaultVersion, where, pr);
  b.pageTotal = Number(info, kKeyPageTotal, 0, where, pr);
  b.filePageMode = Number(info, kKeyFilePageMode, kDefaultFilePageMode, where, pr);
  {
    const std::size_t before = pr.size();
    const std::string* v = Find(info, kKeyMaxUploadPage);
    b.maxUploadPage = Number(info, kKeyMaxUploadPage, -1, where, pr);
    b.hasMaxUploadPage = v != nullptr && !v->empty() && pr.size() == before;
  }
  b.cardBinder = Number(info, kKeyCardBinder, 0, where, pr);
  b.extBinderType = Number(info, kKeyExtBinderType, 0, where, pr);
  b.unarranged = Number(info, kKeyUnarranged, 0, where, pr);
  b.maxPageId = Number(pageInfo, kKeyMaxPageID, 0, where, pr);
  b.contentTotal = Number(pageInfo, kKeyContentTotal, 0, where, pr);
  if (b.pageTotal < 0) pr.push_back(where + ": PageTotal is negative");
  if (b.maxPageId < 0) pr.push_back(where + ": MaxPageID is negative");

  // Pages: every "Page<n>..." key of PageInfo, first value wins.
  std::map<int, PageEntry> pages;
  std::map<int, std::pair<std::string, std::string>> flagText, idText;
  for (const auto& [k, v] : pageInfo) {
    auto parsed = ParsePageKey(k);
    if (!parsed) continue;
    PageEntry& p = pages[parsed->page];
    p.number = parsed->page;
    const std::string& suf = parsed->suffix;
    if (platform::EqualsNoCase(suf, kSufFlag)) {
      flagText.emplace(parsed->page, std::make_pair(k, v));
    } else if (platform::EqualsNoCase(suf, kSufFilePageID)) {
      idText.emplace(parsed->page, std::make_pair(k, v));
    } else if (platform::EqualsNoCase(suf, kSufContent)) {
      if (p.keyword.empty()) p.keyword = v;
    } else if (platform::EqualsNoCase(suf, kSufContentText)) {
      p.contentText = v;
    }
  }
  const bool multi = b.filePageMode != 0;
  std::set<int> ids;
  int expected = 1;
  for (auto& [n, p] : pages) {
    if (n != expected) {
      pr.push_back(where + ": page " + std::to_string(expected) + " missing (next is " + std::to_string(n) + ")");
      expected = n;
    }
    ++expected;
    if (auto f = flagText.find(n); f != flagText.end()) {
      auto v = ParseStrictInt(f->second.second);
      if (!v)
        pr.push_back(where + ": " + f->second.first + " is not a number");
      else
        p.flag = *v;
    }
    if (!multi || p.flag == kPageFlagNoFile) continue;
    auto idIt = idText.find(n);
    if (idIt == idText.end()) {
      pr.push_back(where + ": page " + std::to_string(n) + " has no FilePageID");
      continue;
    }
    auto id = ParseStrictInt(idIt->second.second);
    if (!id || *id < 1) {
      pr.push_back(where + ": " + idIt->second.first + " \"" + idIt->second.second + "\" is not a file id");
      continue;
    }
    p.fileId = *id;
    if (*id > b.maxPageId) {
      pr.push_back(where + ": page " + std::to_string(n) + " FilePageID " + std::to_string(*id) + " above MaxPageID " +
                   std::to_string(b.maxPageId));
    }
    if (!ids.insert(*id).second) {
      pr.push_back(where + ": FilePageID " + std::to_string(*id) + " used twice");
    }
    p.filePath = PageFilePath(binderFolder, *id, b.secured());
    if (checkFiles && !platform::IsFile(p.filePath)) {
      pr.push_back(where + ": page " + std::to_string(n) + " file " + p.filePath + " missing");
    }
  }
  for (auto& [n, p] : pages) b.pages.push_back(std::move(p));
  if (multi && b.CountedPages() != b.pageTotal) {
    pr.push_back(where + ": PageTotal " + std::to_string(b.pageTotal) + " but " + std::to_string(b.CountedPages()) +
                 " pages listed");
  }
  if (checkFiles && !platform::IsFile(MainPageFilePath(binderFolder, b.secured()))) {
    pr.push_back(where + ": main page file " + MainPageFilePath(binderFolder, b.secured()) + " missing");
  }
  return b;
}

int BinderKind(const std::string& binderFolder) {
  if (!platform::IsFolder(binderFolder)) return -1;
  const std::string iniPath = BinderIniPath(binderFolder);
  const int card = ini::GetInt(iniPath, kSecBinderInfo, kKeyCardBinder, 0);
  if (card != 1) return 0;
  switch (ini::GetInt(iniPath, kSecBinderInfo, kKeyExtBinderType, 0)) {
    case 0: return 1;
    case 1: return 2;
    case 2: return 3;
    default: return 4;
  }
}

}  // namespace zv::companion::binder
