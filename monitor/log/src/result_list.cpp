#include "monitor/log/result_list.h"

#include <algorithm>
#include <vector>

#include "log_file.h"
#include "monitor/settings/profile.h"
#include "monitor/settings/text_ids.h"
#include "platform/attributes.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace zv::monitor {

namespace {

constexpr std::size_t kRecordMax = 2047;  // a record line fits a 2,048-byte buffer
constexpr std::string_view kListName = "ImpResult.csv";
constexpr std::string_view kWorkName = "~ImpResult.csv.tmp";

bool NeedsQuotes(std::string_view field, char delimiter) {
  for (char c : field) {
    if (c == delimiter || c == '"' || c == '\r' || c == '\n') return true;
  }
  return false;
}

std::string CsvField(std::string_view field, char delimiter) {
  if (!NeedsQuotes(field, delimiter)) return std::string(field);
  std::string out = "\"";
  for (char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

std::string PatternText(int pattern) {
  switch (pattern) {
    case kPatternTargetFolder: return MonitorText(kIdsPatternTargetFolder);
    case kPatternFax: return MonitorText(kIdsPatternFax);
    case kPatternFaxOther: return MonitorText(kIdsPatternFaxOther);
    case kPatternSortFolder: return MonitorText(kIdsPatternSortFolder);
    default: return MonitorText(kIdsUnknown);
  }
}

// Splits CSV text into records: a line break inside a quoted field belongs
// to its record. A trailing CR of each record is dropped.
std::vector<std::string> SplitRecords(std::string_view text) {
  std::vector<std::string> records;
  bool quoted = false;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (c == '\n' && !quoted) {
      std::string_view rec = text.substr(start, i - start);
      if (!rec.empty() && rec.back() == '\r') rec.remove_suffix(1);
      records.emplace_back(rec);
      start = i + 1;
    }
  }
  if (start < text.size()) {
    std::string_view rec = text.substr(start);
    if (!rec.empty() && rec.back() == '\r') rec.remove_suffix(1);
    records.emplace_back(rec);
  }
  return records;
}

// Makes the list's folder: an existing folder, or a missing one whose parent
// exists.
bool EnsureFolder(const std::string& folder) {
  if (platform::IsFolder(folder)) return true;
  if (platform::Exists(folder)) return false;
  if (!platform::IsFolder(platform::ParentFolder(platform::TrimTrailingSeparator(folder)))) return false;
  return platform::MakeFolder(folder);
}

}  // namespace

void ResultRowDateTime(std::int64_t unixSeconds, int languageId, std::string& date, std::string& time) {
  std::tm tm = detail::LocalTime(unixSeconds);
  if (languageId == 0) languageId = platform::UserLanguageId();
  const bool japanese = languageId == 1041;
  date = detail::FormatTime(japanese ? "%Y/%m/%d" : "%x", tm);
  time = detail::FormatTime(japanese ? "%H:%M:%S" : "%X", tm);
}

char ResultListDelimiter(int languageId) {
  switch (languageId) {
    case 1031:  // German
    case 1034:  // Spanish
    case 1036:  // French
    case 1040:  // Italian
    case 1046:  // Portuguese (Brazil)
    case 1049:  // Russian
      return ';';
    default: return ',';
  }
}

std::string ResultListRecord(const ImpResultRow& row, char delimiter) {
  const std::string fields[] = {
      row.date,
      row.time,
      MonitorText(row.result != 0 ? kIdsResultOk : kIdsResultNg),
      row.sourcePath,
      row.actualBinder,
      row.destination,
      row.errorText,
      std::to_string(row.code),
      PatternText(row.pattern),
      std::to_string(row.settingNumber),
      row.monitorName,
  };
  std::string line;
  bool first = true;
  for (const std::string& raw : fields) {
    std::size_t room = kRecordMax - line.size();
    if (!first) {
      if (room == 0) break;
      --room;
    }
    std::string encoded = CsvField(raw, delimiter);
    bool cut = false;
    if (encoded.size() > room) {
      // Cut the field's own text, never its quoting, so the row stays whole:
      // the longest prefix (on a character boundary) whose encoded form fits.
      std::size_t lo = 0, hi = std::min(raw.size(), room);
      while (lo < hi) {
        std::size_t mid = (lo + hi + 1) / 2;
        if (CsvField(platform::Utf8CutBytes(raw, mid), delimiter).size() <= room) {
          lo = mid;
        } else {
          hi = mid - 1;
        }
      }
      encoded = CsvField(platform::Utf8CutBytes(raw, lo), delimiter);
      cut = true;
    }
    if (!first) line += delimiter;
    line += encoded;
    first = false;
    if (cut) break;
  }
  return line;
}

bool ImpResultListEnabled(const std::string& settingsFile) {
  return ProfileRead("Option", "ImpResultLogEnabled", 0, settingsFile) == 1;
}

int WriteImpResultList(const std::string& folder, const std::string& settingsFile, const ImpResultRow& row,
                       int languageId) {
  if (settingsFile.empty() || !platform::IsFile(settingsFile)) return 0;
  if (folder.empty() || !EnsureFolder(folder)) return 0;

  if (languageId == 0) languageId = platform::UserLanguageId();
  std::string record = ResultListRecord(row, ResultListDelimiter(languageId));

  const int maxRecords = ProfileRead("Option", "ImpResultMaxRecord", 200, settingsFile);
  if (maxRecords <= 1) return 0;

  const std::string list = platform::JoinPath(folder, kListName);
  const std::string work = platform::JoinPath(folder, kWorkName);

  std::string content = MonitorText(kIdsResultListHeader);
  content += '\n';
  content += record;
  content += '\n';
  if (auto old = platform::ReadFile(list)) {
    std::vector<std::string> records = SplitRecords(*old);
    // Record 1 is the old header; records 2 to N follow the new one.
    for (std::size_t i = 1; i < records.size() && i < static_cast<std::size_t>(maxRecords); ++i) {
      content += records[i];
      content += '\n';
    }
  }

  if (!platform::WriteFileAtomic(work, content)) return 0;
  // A read-only list is never replaced.
  if (platform::Exists(list) && platform::IsReadOnly(list)) {
    platform::RemoveFile(work);
    return 0;
  }
  // Renaming over the old list replaces it in one step: a crash leaves the
  // old list or the new one, never none.
  if (!platform::RenamePath(work, list, true)) {
    platform::RemoveFile(work);
    return 0;
  }
  return 1;
}

int WriteImpResultList(const LogContext& context, const ImpResultRow& row) {
  return WriteImpResultList(context.InfoFolder(), context.SettingsFile(), row, context.EffectiveLanguageId());
}

}  // namespace zv::monitor
