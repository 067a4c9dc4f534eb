// Why a file operation failed: the operation, the path and the system's
// error number, kept for the thread that saw it. The operations of fs.h
// that move, rename, delete or create answer with a bool; right after one of
// them answers false, LastFsError() tells why, so that a trace line can say
// "rename Fail/20261208/a.pdf: Permission denied" instead of "failed".
#pragma once

#include <string>

namespace zv::platform {

struct FsError {
  std::string op;    // "rename", "delete", "remove folder", "create folder"
  std::string path;  // the path the operation failed on
  int code = 0;      // errno; 0 when nothing failed

  explicit operator bool() const { return code != 0; }
  // "<op> <path>: <system text>"; "" when nothing failed.
  std::string Message() const;
};

// The last failure of MakeFolder, MakeFolders, RemoveFile, RemoveFolder,
// RemoveTree or RenamePath on this thread (not cleared by a success: read it
// right after a false).
const FsError& LastFsError();
void ClearFsError();

namespace detail {
// Records a failure and returns false, for the operations' failure exits.
bool FsFailed(const char* op, const std::string& path, int code);
}  // namespace detail

}  // namespace zv::platform
