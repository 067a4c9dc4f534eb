// Where the monitor's logs live and the few values every log writer needs.
// Writers take this record instead of reading globals, so tests point them
// at temporary folders.
#pragma once

#include <string>

namespace zv::monitor {

struct LogContext {
  // Folder of the running monitor: holds EnvSetInfo.ini (the switches of
  // every log), Hopvale.log, AutoImpInfo/ and, by default, the daily import
  // activity logs. No trailing "/".
  std::string programFolder;
  // Windows language id that chooses the import result list's delimiter and
  // date format (1041 Japanese, 1033 English, 1036 French, ...); 0 takes the
  // user's locale.
  int languageId = 0;
  // Set by StartImpLog, read by EndImpLog: the end line is written only by a
  // process that wrote (or would have written) the start line.
  bool started = false;

  // <programFolder>/EnvSetInfo.ini
  std::string SettingsFile() const;
  // <programFolder>/AutoImpInfo: ImpResult.csv and the skip-log files.
  std::string InfoFolder() const;
  // languageId, or the user's locale when it is 0.
  int EffectiveLanguageId() const;
};

// The context of the running installation (platform::ProgramFolder()).
LogContext DefaultLogContext();

}  // namespace zv::monitor
