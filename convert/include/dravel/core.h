// The C++ side of the Dravel exports: the pieces the exported functions are
// made of, for the dravel command and the tests. Not exported from the shared
// library.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dravel/dravel.h"

namespace zv::dravel {

// ---- messages and tracing -------------------------------------------------
// Text of the library's message table (ids 1 to 96) in the user's language.
std::string Message(int id);
// One trace line of the library, written with the process's trace settings.
void TraceLine(std::string_view file, int line, std::string_view message);
#define ZV_DRAVEL_TRACE(msg) ::zv::dravel::TraceLine(__FILE__, __LINE__, (msg))

// ---- program folder files -------------------------------------------------
// <program folder>/EnvSetInfo.ini.
std::string EnvSetInfoPath();

// ---- send-file log switch -------------------------------------------------
// Reads [option] SendFileToolLog (default 1) of EnvSetInfo.ini; 0 or less
// switches the send-file log off for the rest of the process.
void ReadSendFileLogSwitch();
bool SendFileLogEnabled();
// A send-file log line (with a system error number when nonzero).
void SendFileLog(std::string_view file, int line, std::string_view message, int systemError = 0);
// Test hook: switch the send-file log back on.
void ResetSendFileLogSwitch();

// ---- import result file ---------------------------------------------------
// "%Y%m%d%H%M%S" of a time in local time.
std::string FormatStamp(std::int64_t unixSeconds);
// Receivers grouped for the ImpUser keys: every 50 names (each followed by
// ",") make one value; a name after the last "," is not taken; no names give
// one empty value.
std::vector<std::string> GroupReceivers(const char* userList);
// The keys of section Rslt for a record, in the order they are written,
// with `stamp` as Time. Does not touch the record's message buffer.
std::vector<std::pair<std::string, std::string>> ResultKeys(const DravelImpRecord& record, std::string_view stamp);
// Writes the result file; the path written, or "" when nothing was written.
// The file name takes the first free second at or after the import time.
std::string WriteImpResult(const DravelImpRecord& record);

// ---- library loading --------------------------------------------------------
// The shared object that stands for a library name of the suite:
// "Pixmoor.dll" -> "libPixmoor.so", "Gantry.DLL" -> "libGantry.so"; a name
// that already ends in ".so" (or ".so.<n>") is taken as it is.
std::string SharedObjectName(std::string_view libraryName);

// ---- paper sizes ------------------------------------------------------------
// Windows paper size of a suite paper code, nullopt when not in the table
// (code 0 included).
std::optional<short> WindowsPaperSize(int paperCode);
struct PaperInfo {
  int paperCode = 0;
  int orientation = 0;  // 1 width smaller than height, else 2
};
// First page of a PDF file: its displayed box (crop box within the media
// box, rotation applied) turned into a paper code.
std::optional<PaperInfo> PdfPaperInfo(const std::string& path);

// ---- binder lists -------------------------------------------------------------
struct BinderListing {
  int position = 0;
  std::string title;  // line break shown as ".."
  std::string path;
};
// GetAllBinderInfo's reading: result 0, -1 or the number of entries.
int ListCabinetBinders(const std::string& cabinet, int capacity, std::vector<BinderListing>& out);

// ---- folder names ---------------------------------------------------------------
struct FolderNameCheck {
  int result = -1;    // 1 accepted, 0 refused, -1 not a name to check
  int messageId = 0;  // refusal message (89 to 96)
  std::string title1, title2;
};
// The check alone, without the report.
FolderNameCheck CheckName(std::string_view name, int level);
// The error list in the temporary folder.
std::string FolderErrorListPath();

}  // namespace zv::dravel

namespace zv::dravel {

// A message of the table with its "%d" / "%s" filled in (the first of each).
std::string FormatMessage(int id, int number);
std::string FormatMessage(int id, std::string_view text);

// How the import reports a result of the base library's insertion.
struct InsertReport {
  int result = 0;     // 0 filed, 1 skipped (binder busy), -1 failed
  int errorCode = 0;  // six-digit error code, 0 when none
  int messageId = 0;  // message of the table, 0 when none
  std::string message;
};
InsertReport ReportInsertResult(int insertResult);

}  // namespace zv::dravel
