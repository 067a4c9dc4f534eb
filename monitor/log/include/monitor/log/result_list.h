// The import result list <program folder>/AutoImpInfo/ImpResult.csv: a header
// and the most recent imports, newest first, for a spreadsheet.
//
// Fields are joined by ";" for German, Spanish, French, Italian, Brazilian
// Portuguese and Russian, by "," otherwise. A field holding the delimiter, a
// double quote or a line break is quoted as CSV does (RFC 4180); every other
// field is written as it is. The header names ten columns, every record
// carries eleven values (actual binder and destination both under "Binder").
#pragma once

#include <cstdint>
#include <string>

#include "monitor/log/log_context.h"

namespace zv::monitor {

// Result-list pattern values.
enum ResultPattern : int {
  kPatternTargetFolder = 0,
  kPatternFax = 1,
  kPatternFaxOther = 2,
  kPatternSortFolder = 3,
};

// One row as the folder check fills it.
struct ImpResultRow {
  std::string date;  // see ResultRowDateTime
  std::string time;
  int result = 0;            // non-zero: success
  std::string sourcePath;    // source folder + "/" + file name
  std::string actualBinder;  // the import record's ActualBinder
  std::string destination;   // "WorkArea" (kIdsWorkArea) or the binder title, may be empty
  std::string errorText;     // the import's last error message, may be empty
  int code = 0;              // error code of the insertion
  int pattern = kPatternTargetFolder;
  int settingNumber = 0;
  std::string monitorName;  // the import record's Name
};

// The date and time texts of a row for an import time: "%Y/%m/%d" and
// "%H:%M:%S" for Japanese; otherwise the locale's short date ("%x") and time
// ("%X") formats.
void ResultRowDateTime(std::int64_t unixSeconds, int languageId, std::string& date, std::string& time);

// "," or ";" for a Windows language id.
char ResultListDelimiter(int languageId);

// The record line of a row (without line end): at most 2,047 bytes; a longer
// record is cut between characters and never inside a quoted field's quotes.
std::string ResultListRecord(const ImpResultRow& row, char delimiter);

// [Option] ImpResultLogEnabled is exactly 1 (read once at program start).
bool ImpResultListEnabled(const std::string& settingsFile);

// Rewrites the list with the header, this row and up to ImpResultMaxRecord - 1
// previous records (ImpResultMaxRecord read now, default 200; 1 or less
// writes nothing). folder: <program folder>/AutoImpInfo, created when missing
// and its parent exists. The new list is built in "~ImpResult.csv.tmp" and
// renamed over the old one, so a crash leaves either list whole. Returns 1
// when the list was rewritten, 0 otherwise (the old list is then untouched).
int WriteImpResultList(const std::string& folder, const std::string& settingsFile, const ImpResultRow& row,
                       int languageId = 0);
// Same, with the folder and settings file of a context.
int WriteImpResultList(const LogContext& context, const ImpResultRow& row);

}  // namespace zv::monitor
