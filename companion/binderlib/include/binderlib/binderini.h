// Reading a binder ini whole into a checked summary: the keys the system
// uses (with their defaults) and the page list. Reads never change a file.
#pragma once

#include <string>
#include <vector>

namespace zv::companion::binder {

struct PageEntry {
  int number = 0;           // 1-based display order
  int flag = 0;             // Page<n>Flag (2: no page file)
  int fileId = 0;           // Page<n>FilePageID (multi-file binders)
  std::string keyword;      // first Page<n>Content value
  std::string contentText;  // Page<n>ContentText
  std::string filePath;     // the page file (multi-file, flag != 2), else empty
};

struct BinderSummary {
  bool exists = false;  // the binder ini exists
  std::string folder;
  std::string iniPath;
  std::string name;  // folder name
  std::string title;
  int version = 1;
  int pageTotal = 0;
  int maxPageId = 0;
  int contentTotal = 0;
  int filePageMode = 1;  // 1 multi-file, 0 single-file
  // MaxUploadPage as stored (0 or less refuses every page); only meaningful
  // when hasMaxUploadPage. Callers ask UploadLimit with their default.
  int maxUploadPage = -1;
  bool hasMaxUploadPage = false;
  int UploadLimit(int missingDefault) const { return hasMaxUploadPage ? maxUploadPage : missingDefault; }
  int cardBinder = 0;
  int extBinderType = 0;
  int unarranged = 0;
  std::string password;  // as stored (see moswell.h)
  bool secured() const { return !password.empty(); }
  // Every page of PageInfo in display order, pages with flag 2 (no page file
  // of their own) included; PageTotal and the page limit count only the
  // others (CountedPages).
  std::vector<PageEntry> pages;
  int CountedPages() const;
  // Problems: garbage numbers, PageTotal not matching the counted pages, a page
  // without FilePageID, a FilePageID above MaxPageID or used twice, a listed
  // page file missing, a missing main page file. Empty when sound.
  std::vector<std::string> problems;
  bool ok() const { return exists && problems.empty(); }
};

// Reads <binder>/<name>.ini. checkFiles also checks that every page file the
// ini names exists.
BinderSummary ReadBinder(const std::string& binderFolder, bool checkFiles = true);

// The binder kind: 0 normal, 1 card, 2 postcard, 3 photo, 4 other card
// kind; -1 when the folder does not exist.
int BinderKind(const std::string& binderFolder);

}  // namespace zv::companion::binder
