// The folder check: walks one folder of one setting and imports every
// eligible file, moves the sources into dated succeeded and failed folders
// and keeps the lock list of sources that could not be moved away.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "monitor/settings/catalogue.h"
#include "monitor/watch/engine.h"
#include "platform/fs.h"

namespace zv::monitor {

// The result of the last import (0 filed, 1 binder busy, -1 failed).
int CheckFolder(WatchFrame& frame, int n, const std::string& scanFolder, const std::string& subFolder,
                const std::string& targetFolder, AutoFileSetting setting, int moveSucceeded,
                const std::string& succeededFolder, int moveFailed, const std::string& failedFolder, int restoreStatus,
                int filesOnly, int settingNo, int stagingInUse, int depth, int otherFax);

// Lock-list state of a file:
//  -9 the status cannot be confirmed (empty path, missing, a folder);
//   1 the file was imported before and its entry is consumed (storedResult);
//  -1 its entry exists but the file (or with checkFolder its folder) is not
//     free yet; -2 no entry and the file is still held open; 0 free.
// In-progress entries (ReadState 1) are never consumed here.
int GetLockedFlag(WatchFrame& frame, const std::string& path, int& storedResult, int checkFolder);

// Records a file in the lock list (or rewrites its entry's Result and
// ReadState). 1 on success, 0 when nothing was recorded, 2 when the list
// could not be raised.
int SetLockFileList(WatchFrame& frame, const std::string& path, int result, int checked, int readState,
                    const std::string& createTime);

// Crash safety: an import in progress is recorded in the lock list with
// ReadState 1 before the insertion starts (together with the import's
// status writes); once the insertion has returned, the import's time
// (seconds), the binder that took the pages and their number are noted for
// the entry (NoteImportedPages), and
// it is removed once the source has been handled. At start an entry left
// over by a crash is settled: only when its recorded binder holds exactly
// the recorded number of pages keyed with that import's time stamp are the
// pages proven to be this import's, and the entry becomes a finished one
// (Result 0, ReadState 3), so the source is moved or deleted without
// importing it again. Otherwise (nothing recorded, or pages of another
// writer in the same second) it is removed and the file is imported anew:
// a document filed twice is better than one lost. Returns the number of
// entries settled.
int RecoverInterruptedImports(WatchFrame& frame);

// Records the binder and page count of an import in progress (the
// in-progress lock-list entry of `path` with that identity), and its import
// time when `stamp` is not negative (else the entry's Result), durably in
// the monitor's own file "~HopvaleFiled.ini" beside the settings file: no
// environment lock and no replacement of the shared settings file. False
// when there is no such entry or the note could not be written.
bool NoteImportedPages(WatchFrame& frame, const std::string& path, const std::string& identity,
                       const std::string& binder, int pages, std::int64_t stamp = -1);

// The stop request of the user or of another program: the status cell or
// [Option] MonitorStatus of the settings file is 1. A stop found only in the
// file is taken into the cell.
bool MonitorStopRequested(WatchFrame& frame);

// The attach-info text of a setting for a source file.
std::string BuildAttachInfo(const AutoFileSetting& setting, const std::string& fileName);

// The recipients of the result notice by SendResult, each name followed by
// ","; `noticeDue` false when no result file is to be written.
std::string ResolveRecipients(WatchFrame& frame, const AutoFileSetting& setting, bool& noticeDue);

// Moves an imported (or failed) source into <base>/<YYYYMMDD>, with
// "_002".."_999" names when taken. `targetFile` is the file in the target
// folder when staging was used (deleted after the move), else empty.
// Returns 1 moved, 0 kept (recorded in the lock list), 2 deleted.
int MoveSourceToSaveFolder(WatchFrame& frame, const std::string& source, const std::string& targetFile,
                           const std::string& baseFolder, std::int64_t stamp, int result, const std::string& identity);

// The same into a save folder already open: the dated folder and its
// "_001".."_999" alternatives are created and entered without following
// links; one that is a link counts as one that cannot be accessed.
int MoveSourceToSaveFolder(WatchFrame& frame, const std::string& source, const std::string& targetFile,
                           const platform::FolderHandle& base, std::int64_t stamp, int result,
                           const std::string& identity);

// The destination for a file name in a folder: name.ext, else name_002.ext
// up to name_999.ext; "" when none is free or the path would be too long.
std::string FreeDestinationName(const std::string& folder, const std::string& fileName);

// The identity of a file as the lock list's Date keeps it (at most 23
// characters): its creation seconds and a hash of its full platform identity.
std::string LockListIdentity(const std::string& path);

// "%Y%m%d%H%M%S" / "%Y%m%d" of a time in local time.
std::string StampText(std::int64_t unixSeconds);
std::string DayText(std::int64_t unixSeconds);

}  // namespace zv::monitor
