// The trace logger: diagnostic lines of every deliverable.
//
// Files: <trace-log path>/<module tag without leading "_">_trace_YYYYMMDD.log,
// one per module and day. Each call writes one line
//   "YYYY-MM-DD hh:mm:ss.mmm [L] <tag> <source file>:<line> <message>\n"
// with one write(2) on an O_APPEND descriptor, so threads and processes can
// append to one file. Nothing is written when the enabled flag is 0.
#pragma once

#include <string>
#include <string_view>

namespace zv::companion {

// The settings a deliverable passes to every call.
struct TraceSettings {
  std::string path;  // folder of the trace files; empty: the temporary folder's "ZorvanTrace"
  int enabled = 0;   // 0 writes nothing; otherwise the level that is written (1 or more)
  int termDays = 7;  // retention for TraceLogPurge
};

// One line; `enabled` is the enabled flag or level (0 writes nothing).
void TraceLogWrite(const std::string& path, int enabled, std::string_view tag, std::string_view sourceFile,
                   int sourceLine, std::string_view message);

// A line for a result code: "<message> code=<code> value=<value>" tagged
// with the module file name without extension ("Dravel", "Marloft"), written
// with the process settings when `level` (below 1 counts as 1) is at most
// their enabled level. `detail` is not shown.
void TraceLogWriteCode(int level, std::string_view moduleName, std::string_view sourceFile, int sourceLine,
                       const void* detail, int code, int value, std::string_view message);

// Deletes the files in `folder` matching `mask` ("*.*", "*.log"; * and ?)
// whose names this logger writes ("<stem>_trace_YYYYMMDD.log", or
// "YYYYMMDD<suffix>.log" of TraceLogAppend; with a non-empty `suffix` only
// the latter with that suffix) and whose modification time is older than
// `days` days. Other files of the folder are never touched. Nothing when
// disabled or days <= 0.
// Returns the number of files deleted.
int TraceLogPurge(const std::string& folder, std::string_view mask, int days, int enabled, std::string_view suffix);

// Appends "YYYY-MM-DD hh:mm:ss <line>" to
// "<TraceLogAppendFolder(baseFolder, suffix)>/YYYYMMDD<suffix>.log" (created
// when missing, folders included), one write(2) per line like TraceLogWrite.
// The files live in their own folder so that TraceLogPurge of that folder
// (the skip log purges "<base>/AutoImpLog_skip") finds them.
// Returns 1 on success, 0 on failure, -1 when disabled.
int TraceLogAppend(const std::string& baseFolder, std::string_view suffix, std::string_view line, int enabled);
// "<baseFolder>/AutoImpLog<suffix>": where TraceLogAppend puts its files.
std::string TraceLogAppendFolder(const std::string& baseFolder, std::string_view suffix);

// A logger state for callers that keep one (folder check, insertion).
// TraceLogBegin takes the process settings, the tag and the highest level
// written; TraceLogLine writes a line of that level or below (no source
// position: "-:0").
struct TraceLogger {
  TraceSettings settings;
  std::string tag;
  int level = 1;
};
void TraceLogBegin(TraceLogger& logger, int level, std::string_view tag);
void TraceLogLine(const TraceLogger& logger, std::string_view message, int level);

// Global settings of this process, read once at start-up by the deliverable.
void SetProcessTraceSettings(const TraceSettings& settings);
TraceSettings ProcessTraceSettings();

// Process-wide convenience: writes with the process settings.
void Trace(std::string_view tag, std::string_view sourceFile, int sourceLine, std::string_view message);

}  // namespace zv::companion

// ZV_TRACE("_Tag", "Routine: text") -- file and line filled in.
#define ZV_TRACE(tag, message) ::zv::companion::Trace((tag), __FILE__, __LINE__, (message))
