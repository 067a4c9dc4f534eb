// The daily import activity log "Hopvale_YYYYMMDD.log": one line per program
// start and end, per clean-up of old succeeded and failed files and per
// imported file.
//
//   APP: "2024/03/05 09:12:44,APP,Start --------------------------------------------------"
//   DEL: "2024/03/05 09:12:45,DEL,Start,/data/scan"
//   IMP: "2024/03/05 09:13:02,IMP,<Name>,<source folder>,<file>,OK|NG,<Binder>,<Index>"
//
// Switches ([Option] of EnvSetInfo.ini, read again at every line): ImpLogFlg
// (default 1; 0 writes and purges nothing), ImpLogDir (folder of the files;
// empty, or naming no existing folder, means the program folder), ImpLogTerm
// (days kept, default 30; 0 keeps all). The file of a line is the one of the
// local day the line is written. A line that cannot be written is dropped
// silently: the monitor goes on importing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "monitor/log/log_context.h"

struct DravelImpRecord;  // dravel/dravel.h

namespace zv::monitor {

enum ImpLogKind : int {
  kImpLogApp = 0,     // program start and end
  kImpLogImport = 1,  // written only through WriteImpLogImport
  kImpLogDel = 2,     // clean-up of old dated folders
};

// The members of the import record the IMP line shows.
struct ImpLogRecord {
  std::int64_t impTime = 0;  // seconds since 1970
  std::string name;          // the monitor setting's Name
  std::string srcFolder;
  std::string srcFile;
  bool success = false;  // the record's result flag is 1
  std::string binder;
  std::string index;
};
// The same members taken from the library's import record (text arrays read
// up to their terminator or their size).
ImpLogRecord ImpLogRecordFrom(const DravelImpRecord& record);

// Line texts the clean-up and the application use.
inline constexpr std::string_view kImpLogStartLine = "Start --------------------------------------------------";
inline constexpr std::string_view kImpLogEndLine = "End   --------------------------------------------------";
// DEL texts: prefix followed by the folder.
inline constexpr std::string_view kImpLogDelStart = "Start,";
inline constexpr std::string_view kImpLogDelError = "Error,";
inline constexpr std::string_view kImpLogDelEnd = "End  ,";

// kind 0: an APP line, 2: a DEL line, anything else nothing.
void WriteImpLogLine(const LogContext& context, int kind, std::string_view text);
// An IMP line.
void WriteImpLogImport(const LogContext& context, const ImpLogRecord& record);
void WriteImpLogImport(const LogContext& context, const DravelImpRecord& record);

// Once at program start: the APP start line (when the log is on), marks the
// context started (also when it is off), then purges old files. Returns the
// purge's result.
int StartImpLog(LogContext& context);
// Once at exit: the APP end line, when StartImpLog ran with this context and
// ImpLogFlg (read again now) is on.
void EndImpLog(const LogContext& context);

// Deletes Hopvale_YYYYMMDD.log files of the log folder whose date (a valid
// calendar date) lies more than ImpLogTerm whole days before today. Nothing
// when ImpLogFlg or ImpLogTerm is 0. Unlike the writer it does not fall back
// to the program folder when ImpLogDir names a missing folder. 1 done or
// nothing to do, 0 when the folder could not be searched.
int PurgeImpLogs(const LogContext& context);

// The folder the next line goes to, and the file of a given moment.
std::string ImpLogFolder(const LogContext& context);
std::string ImpLogFilePath(const LogContext& context, std::int64_t unixSeconds);

}  // namespace zv::monitor
