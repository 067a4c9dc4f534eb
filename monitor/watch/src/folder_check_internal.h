// What the files of the folder check share: the job of one file and the
// steps one file passes through that live in another file.
#pragma once

#include <cstdint>
#include <string>

#include "monitor/settings/catalogue.h"
#include "monitor/settings/lock_list.h"
#include "monitor/watch/engine.h"
#include "platform/paths.h"

namespace zv::monitor {

inline std::string Join(const std::string& a, const std::string& b) { return platform::JoinPath(a, b); }

struct FileJob {
  int n = 0;
  int settingNo = 0;
  const AutoFileSetting* setting = nullptr;
  std::string path;          // the scanned file (a staged copy with staging)
  std::string targetFile;    // the file in the target folder (== path without staging)
  std::string targetFolder;  // argument 5
  std::string name;
  std::string identity;  // creation time of the target file
  int moveSucceeded = 0, moveFailed = 0;
  std::string succeededFolder, failedFolder;  // given (may be empty)
  int restoreStatus = 0;
  bool staging = false;
  // [EnvSetting]
  int insertIndex = 1, a3b4 = 0, securityPdf = 1, dataChange = 0;
};

// lock_list.cpp
// SetLockFileList's work, for a caller that holds the environment lock and
// flushes the settings file itself.
int SetLockFileListHeld(WatchFrame& frame, const std::string& path, int result, int checked, int readState,
                        const std::string& createTime);
// Drops the in-progress entry of a file again (the import and its source
// handling are over). A finished entry written meanwhile for the same file
// is kept. The caller holds the environment lock.
void DropInProgressEntry(WatchFrame& frame, const std::string& path, const std::string& identity);

// source_handling.cpp
// The source handling of walk step 13 and import step 15.
void HandleSource(WatchFrame& frame, const FileJob& job, int result, std::int64_t stamp);
// A default save folder (none given, sources moved) that is a symbolic
// link: never entered, so the file waits until it is put right.
bool DefaultSaveFolderIsLink(const std::string& targetFolder, int mode, const std::string& given, bool success);

// import_file.cpp
// The start of an import: `ImportFlag` 1 in the status file, the monitor
// status 2 in the cell and the settings file, and the file's in-progress
// entry in the lock list, under one environment lock (the status file is
// replaced first). A stop asked for meanwhile (the cell or the file holds 1)
// is obeyed instead: nothing is written, false. Under the lock, so a stop
// written by another program is either seen here or written after this.
bool ClaimImportStatus(WatchFrame& frame, const FileJob& job);
// Import of one file (steps 1 to 17). Returns the import result.
int ImportOneFile(WatchFrame& frame, FileJob& job);

}  // namespace zv::monitor
