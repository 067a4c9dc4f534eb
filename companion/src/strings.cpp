#include "companion/strings.h"

#include <algorithm>
#include <atomic>
#include <span>

#include "platform/text.h"
#include "string_tables.h"

namespace zv::companion {

namespace {

// -1: follow the locale; otherwise the forced Language value.
std::atomic<int> gForcedLanguage{-1};

std::span<const detail::StringEntry> TableOf(StringTable table) {
  switch (table) {
    case StringTable::Monitor: return {detail::kMonitorStrings, detail::kMonitorStringsCount};
    case StringTable::Dravel: return {detail::kDravelStrings, detail::kDravelStringsCount};
    case StringTable::SortFolder: return {detail::kSortFolderStrings, detail::kSortFolderStringsCount};
    case StringTable::ImportList: return {detail::kImportListStrings, detail::kImportListStringsCount};
    case StringTable::KeywordPage:
    case StringTable::SendFile: break;
  }
  return {};
}

const detail::StringEntry* Find(StringTable table, int id) {
  auto entries = TableOf(table);
  auto it = std::lower_bound(entries.begin(), entries.end(), id,
                             [](const detail::StringEntry& e, int key) { return e.id < key; });
  if (it == entries.end() || it->id != id) {
    // The settings dialog's texts are a table of their own.
    if (table != StringTable::Monitor) return nullptr;
    std::span<const detail::StringEntry> sheet{detail::kMonitorSheetStrings, detail::kMonitorSheetStringsCount};
    auto at = std::lower_bound(sheet.begin(), sheet.end(), id,
                               [](const detail::StringEntry& e, int key) { return e.id < key; });
    return at == sheet.end() || at->id != id ? nullptr : &*at;
  }
  return &*it;
}

}  // namespace

Language UserLanguage() {
  int forced = gForcedLanguage.load();
  if (forced >= 0) return static_cast<Language>(forced);
  return platform::UserLanguageId() == 1041 ? Language::Japanese : Language::English;
}

void ForceLanguage(Language language) { gForcedLanguage.store(static_cast<int>(language)); }

void ResetLanguage() { gForcedLanguage.store(-1); }

std::string LoadString(StringTable table, int id) { return LoadString(table, id, UserLanguage()); }

std::string LoadString(StringTable table, int id, Language language) {
  const detail::StringEntry* e = Find(table, id);
  if (e == nullptr) return {};
  const char* wanted = language == Language::Japanese ? e->japanese : e->english;
  const char* other = language == Language::Japanese ? e->english : e->japanese;
  if (wanted != nullptr) return wanted;
  return other != nullptr ? other : "";
}

bool HasString(StringTable table, int id) { return Find(table, id) != nullptr; }

}  // namespace zv::companion
