#include "monitor/log/imp_log.h"

#include <ctime>

#include "dravel/dravel.h"
#include "log_file.h"
#include "monitor/settings/profile.h"
#include "monitor/settings/text_ids.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace zv::monitor {

namespace {

constexpr std::string_view kTemplatePrefix = "Hopvale_";
constexpr std::string_view kTemplateSuffix = ".log";
constexpr std::size_t kDateLength = 8;
constexpr std::size_t kLogDirMax = 259;

bool LogOn(const LogContext& context) { return ProfileRead("Option", "ImpLogFlg", 1, context.SettingsFile()) != 0; }

std::string ConfiguredLogDir(const LogContext& context) {
  std::string dir = ProfileRead("Option", "ImpLogDir", "", context.SettingsFile());
  if (dir.size() > kLogDirMax) dir = std::string(platform::Utf8CutBytes(dir, kLogDirMax));
  return dir;
}

std::string FileNameFor(std::int64_t unixSeconds) {
  std::tm tm = detail::LocalTime(unixSeconds);
  return std::string(kTemplatePrefix) + detail::FormatTime("%Y%m%d", tm) + std::string(kTemplateSuffix);
}

// Every line opens, appends to and closes the file of the day it is written.
void AppendLine(const LogContext& context, const std::string& line) {
  std::string file = ImpLogFilePath(context, platform::UnixSeconds());
  // A line that cannot be written is dropped: the monitor goes on importing.
  (void)detail::AppendText(file, line + "\n");
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// The date part of a log file name, when the name follows the template and
// the eight characters form a valid calendar date.
bool DateOfLogName(std::string_view name, int& year, int& month, int& day) {
  if (name.size() != kTemplatePrefix.size() + kDateLength + kTemplateSuffix.size()) return false;
  if (!platform::EqualsNoCase(name.substr(0, kTemplatePrefix.size()), kTemplatePrefix)) return false;
  if (!platform::EqualsNoCase(name.substr(name.size() - kTemplateSuffix.size()), kTemplateSuffix)) {
    return false;
  }
  std::string_view digits = name.substr(kTemplatePrefix.size(), kDateLength);
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
  }
  auto number = [&](std::size_t from, std::size_t count) {
    int v = 0;
    for (std::size_t i = from; i < from + count; ++i) v = v * 10 + (digits[i] - '0');
    return v;
  };
  year = number(0, 4);
  month = number(4, 2);
  day = number(6, 2);
  if (month < 1 || month > 12) return false;
  return day >= 1 && day <= DaysInMonth(year, month);
}

// Whole days from local midnight of the date to `now` (floor; negative for a
// date in the future).
bool AgeInDays(int year, int month, int day, std::int64_t now, std::int64_t& age) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_isdst = -1;
  std::time_t midnight = std::mktime(&tm);
  if (midnight == static_cast<std::time_t>(-1)) return false;
  std::int64_t seconds = now - static_cast<std::int64_t>(midnight);
  age = seconds / 86400;
  if (seconds % 86400 != 0 && seconds < 0) --age;
  return true;
}

}  // namespace

ImpLogRecord ImpLogRecordFrom(const DravelImpRecord& record) {
  ImpLogRecord out;
  out.impTime = record.impTime;
  out.name = detail::ArrayText(record.name);
  out.srcFolder = detail::ArrayText(record.srcFolder);
  out.srcFile = detail::ArrayText(record.srcFile);
  out.success = record.result == 1;
  out.binder = detail::ArrayText(record.binder);
  out.index = detail::ArrayText(record.index);
  return out;
}

std::string ImpLogFolder(const LogContext& context) {
  std::string dir = ConfiguredLogDir(context);
  if (dir.empty() || !platform::IsFolder(dir)) dir = context.programFolder;
  return platform::TrimTrailingSeparator(dir);
}

std::string ImpLogFilePath(const LogContext& context, std::int64_t unixSeconds) {
  return platform::JoinPath(ImpLogFolder(context), FileNameFor(unixSeconds));
}

void WriteImpLogLine(const LogContext& context, int kind, std::string_view text) {
  if (kind != kImpLogApp && kind != kImpLogDel) return;
  if (!LogOn(context)) return;
  std::string line = detail::FormatTime("%Y/%m/%d %H:%M:%S", detail::LocalTime(platform::UnixSeconds()));
  line += kind == kImpLogApp ? ",APP," : ",DEL,";
  line += detail::OneLine(text);
  AppendLine(context, line);
}

void WriteImpLogImport(const LogContext& context, const ImpLogRecord& record) {
  if (!LogOn(context)) return;
  std::string line = detail::FormatTime("%Y/%m/%d %H:%M:%S", detail::LocalTime(record.impTime));
  line += ",IMP,";
  line += detail::OneLine(record.name);
  line += ',';
  line += detail::OneLine(record.srcFolder);
  line += ',';
  line += detail::OneLine(record.srcFile);
  line += ',';
  line += MonitorText(record.success ? kIdsImpLogOk : kIdsImpLogNg);
  line += ',';
  line += detail::OneLine(record.binder);
  line += ',';
  line += detail::OneLine(record.index);
  AppendLine(context, line);
}

void WriteImpLogImport(const LogContext& context, const DravelImpRecord& record) {
  WriteImpLogImport(context, ImpLogRecordFrom(record));
}

int PurgeImpLogs(const LogContext& context) {
  const std::string settings = context.SettingsFile();
  if (!LogOn(context)) return 1;
  int term = ProfileRead("Option", "ImpLogTerm", 30, settings);
  if (term == 0) return 1;
  // No fall-back here: a configured folder that is missing has nothing to purge.
  std::string folder = ConfiguredLogDir(context);
  if (folder.empty()) folder = context.programFolder;
  auto entries = platform::ListFolder(folder);
  if (!entries) return 0;
  const std::int64_t now = platform::UnixSeconds();
  for (const auto& entry : *entries) {
    if (entry.isFolder) continue;
    int year = 0, month = 0, day = 0;
    if (!DateOfLogName(entry.name, year, month, day)) continue;
    std::int64_t age = 0;
    if (!AgeInDays(year, month, day, now, age)) continue;
    if (age > term) platform::RemoveFile(platform::JoinPath(folder, entry.name));
  }
  return 1;
}

int StartImpLog(LogContext& context) {
  WriteImpLogLine(context, kImpLogApp, kImpLogStartLine);
  context.started = true;
  return PurgeImpLogs(context);
}

void EndImpLog(const LogContext& context) {
  if (!context.started) return;
  WriteImpLogLine(context, kImpLogApp, kImpLogEndLine);
}

}  // namespace zv::monitor
