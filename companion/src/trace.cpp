#include "companion/trace.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <mutex>

#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace zv::companion {

namespace {

std::mutex gSettingsMutex;
TraceSettings gSettings;

struct LocalStamp {
  std::tm tm{};
  int ms = 0;
};

// Local time of the process clock, with the milliseconds of the wall clock.
LocalStamp Now() {
  LocalStamp s;
  std::time_t t = static_cast<std::time_t>(platform::UnixSeconds());
  localtime_r(&t, &s.tm);
  auto wall = std::chrono::system_clock::now().time_since_epoch();
  s.ms = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(wall).count() % 1000);
  return s;
}

std::string DayText(const LocalStamp& s) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", s.tm.tm_year + 1900, s.tm.tm_mon + 1, s.tm.tm_mday);
  return buf;
}

std::string StampText(const LocalStamp& s) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", s.tm.tm_year + 1900, s.tm.tm_mon + 1,
                s.tm.tm_mday, s.tm.tm_hour, s.tm.tm_min, s.tm.tm_sec, s.ms);
  return buf;
}

// Appends text so that a file stays one record per line: trailing line breaks
// are dropped and inner ones are shown as "\n".
void AppendOneLine(std::string& out, std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += "\\n";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
}

std::string BaseName(std::string_view sourceFile) {
  std::size_t pos = sourceFile.find_last_of("/\\");
  return std::string(pos == std::string_view::npos ? sourceFile : sourceFile.substr(pos + 1));
}

std::string TraceFolder(const std::string& path) {
  if (!path.empty()) return path;
  std::string tmp = platform::TempFolder();
  if (tmp.empty()) return {};
  return platform::JoinPath(tmp, "ZorvanTrace");
}

// Appends one fully formatted line to the file: one write(2) on an O_APPEND
// descriptor, so lines of other threads and processes never interleave.
bool AppendToFile(const std::string& file, const std::string& line) {
  return platform::AppendToFile(file, line, /*makeFolders=*/true);
}

std::string TagFileStem(std::string_view tag) {
  while (!tag.empty() && tag.front() == '_') tag.remove_prefix(1);
  std::string stem;
  for (char c : tag) {
    // A tag never leads out of the trace folder.
    stem += (c == '/' || c == '\\') ? '_' : c;
  }
  return stem.empty() ? std::string("Trace") : stem;
}

// Trace files carry "_trace_" before the day, so they never share a name
// with the import activity log ("Hopvale_YYYYMMDD.log") when both are kept
// in one folder.
constexpr std::string_view kTraceInfix = "_trace_";

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

bool IsWordChar(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '-';
}

// A name this logger writes: "<stem>_trace_YYYYMMDD.log" (TraceLogWrite) or
// "YYYYMMDD<suffix>.log" (TraceLogAppend). A non-empty `suffix` admits only
// the second form with that suffix. Anything else in the folder (result
// lists, settings files, other logs) is never the logger's.
bool IsLoggerFileName(std::string_view name, std::string_view suffix) {
  constexpr std::string_view kExt = ".log";
  if (name.size() <= kExt.size() || !platform::EqualsNoCase(name.substr(name.size() - kExt.size()), kExt)) return false;
  const std::string_view base = name.substr(0, name.size() - kExt.size());
  if (base.size() > 8 && AllDigits(base.substr(0, 8))) {
    const std::string_view rest = base.substr(8);
    if (!suffix.empty()) return platform::EqualsNoCase(rest, suffix);
    if (rest.size() >= 2 && rest.front() == '_' && std::all_of(rest.begin(), rest.end(), IsWordChar)) return true;
  }
  if (!suffix.empty()) return false;
  if (base.size() <= kTraceInfix.size() + 8) return false;
  const std::string_view day = base.substr(base.size() - 8);
  const std::string_view infix = base.substr(base.size() - 8 - kTraceInfix.size(), kTraceInfix.size());
  return AllDigits(day) && platform::EqualsNoCase(infix, kTraceInfix);
}

void WriteLine(const std::string& path, int level, std::string_view tag, std::string_view sourceFile, int sourceLine,
               std::string_view message) {
  std::string folder = TraceFolder(path);
  if (folder.empty()) return;
  LocalStamp now = Now();
  std::string line = StampText(now);
  line += " [";
  line += std::to_string(level);
  line += "] ";
  line.append(tag.empty() ? std::string_view("-") : tag);
  line += ' ';
  line += sourceFile.empty() ? std::string("-") : BaseName(sourceFile);
  line += ':';
  line += std::to_string(sourceLine);
  line += ' ';
  AppendOneLine(line, message);
  line += '\n';
  AppendToFile(platform::JoinPath(folder, TagFileStem(tag) + std::string(kTraceInfix) + DayText(now) + ".log"), line);
}

std::string ModuleTag(std::string_view moduleName) {
  std::string name = platform::LastComponent(moduleName);
  std::size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

// "*" any run, "?" one byte; ASCII case folded as file names compare on the
// platform the masks come from. "*.*" matches every name, also one without a dot.
bool MaskMatches(std::string_view mask, std::string_view name) {
  if (mask.empty() || mask == "*" || mask == "*.*") return true;
  std::size_t m = 0, n = 0, starM = std::string_view::npos, starN = 0;
  auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || fold(mask[m]) == fold(name[n]))) {
      ++m;
      ++n;
    } else if (m < mask.size() && mask[m] == '*') {
      starM = m++;
      starN = n;
    } else if (starM != std::string_view::npos) {
      m = starM + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

}  // namespace

void TraceLogWrite(const std::string& path, int enabled, std::string_view tag, std::string_view sourceFile,
                   int sourceLine, std::string_view message) {
  if (enabled == 0) return;
  WriteLine(path, enabled, tag, sourceFile, sourceLine, message);
}

void TraceLogWriteCode(int level, std::string_view moduleName, std::string_view sourceFile, int sourceLine,
                       const void* /*detail: an opaque caller record, not shown*/, int code, int value,
                       std::string_view message) {
  TraceSettings s = ProcessTraceSettings();
  if (s.enabled == 0) return;
  if (level < 1) level = 1;
  if (level > s.enabled) return;
  std::string text(message);
  text += " code=" + std::to_string(code) + " value=" + std::to_string(value);
  WriteLine(s.path, level, ModuleTag(moduleName), sourceFile, sourceLine, text);
}

int TraceLogPurge(const std::string& folder, std::string_view mask, int days, int enabled, std::string_view suffix) {
  if (enabled == 0 || days <= 0 || folder.empty()) return 0;
  auto entries = platform::ListFolder(folder);
  if (!entries) return 0;
  const std::int64_t limitNs = (platform::UnixSeconds() - static_cast<std::int64_t>(days) * 86400) * 1'000'000'000LL;
  int deleted = 0;
  for (const auto& e : *entries) {
    if (e.isFolder || e.isSymlink) continue;
    if (!MaskMatches(mask, e.name)) continue;
    if (!IsLoggerFileName(e.name, suffix)) continue;
    std::string full = platform::JoinPath(folder, e.name);
    auto stamp = platform::Stamp(full);
    if (!stamp || stamp->mtimeNs >= limitNs) continue;
    if (platform::RemoveFile(full)) ++deleted;
  }
  return deleted;
}

std::string TraceLogAppendFolder(const std::string& baseFolder, std::string_view suffix) {
  return platform::JoinPath(baseFolder, "AutoImpLog" + std::string(suffix));
}

int TraceLogAppend(const std::string& baseFolder, std::string_view suffix, std::string_view line, int enabled) {
  if (enabled == 0) return -1;
  if (baseFolder.empty()) return 0;
  std::string folder = TraceLogAppendFolder(baseFolder, suffix);
  if (!platform::MakeFolders(folder)) return 0;
  LocalStamp now = Now();
  std::string text = StampText(now);
  text += ' ';
  AppendOneLine(text, line);
  text += '\n';
  std::string file = platform::JoinPath(folder, DayText(now) + std::string(suffix) + ".log");
  return AppendToFile(file, text) ? 1 : 0;
}

void TraceLogBegin(TraceLogger& logger, int level, std::string_view tag) {
  logger.settings = ProcessTraceSettings();
  logger.tag = std::string(tag);
  logger.level = level < 1 ? 1 : level;
}

void TraceLogLine(const TraceLogger& logger, std::string_view message, int level) {
  if (logger.settings.enabled == 0) return;
  if (level < 1) level = 1;
  if (level > logger.level) return;
  WriteLine(logger.settings.path, level, logger.tag, {}, 0, message);
}

void SetProcessTraceSettings(const TraceSettings& settings) {
  std::lock_guard lock(gSettingsMutex);
  gSettings = settings;
}

TraceSettings ProcessTraceSettings() {
  std::lock_guard lock(gSettingsMutex);
  return gSettings;
}

void Trace(std::string_view tag, std::string_view sourceFile, int sourceLine, std::string_view message) {
  TraceSettings s = ProcessTraceSettings();
  TraceLogWrite(s.path, s.enabled, tag, sourceFile, sourceLine, message);
}

}  // namespace zv::companion
