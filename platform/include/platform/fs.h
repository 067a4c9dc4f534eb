// File and folder operations. The only place (with the lock layer) that calls
// POSIX file functions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zv::platform {

bool Exists(const std::string& path);  // follows symbolic links
// True when the path itself is a symbolic link (dangling or not).
bool IsSymlink(const std::string& path);
bool IsFile(const std::string& path);
bool IsFolder(const std::string& path);
// True when this process may create and delete entries in the folder (its
// own permissions, the file system's read-only state included).
bool MayWriteFolder(const std::string& path);
std::optional<std::uint64_t> FileSize(const std::string& path);

// Creates the folder and its missing parents; true when it exists afterwards.
bool MakeFolders(const std::string& path);
bool MakeFolder(const std::string& path);  // one level
// One level, made by this call: false when anything stands there already
// (LastFsError() says "File exists"), so a caller never takes another
// process's new folder for its own.
bool MakeNewFolder(const std::string& path);
bool RemoveFile(const std::string& path);    // true when gone afterwards
bool RemoveFolder(const std::string& path);  // empty folder only
// Deletes a folder with everything in it (or a file); never follows symbolic
// links. True when the path is gone afterwards.
bool RemoveTree(const std::string& path);
// rename(2); fails when the target exists and overwrite is false.
bool RenamePath(const std::string& from, const std::string& to, bool overwrite);
// Copies a file's bytes and mode. With overwrite false an existing target
// fails. The copy is written to a sibling work file and renamed into place,
// and synced with its folder unless `durable` is false (a scratch copy that
// lives only while this process uses it).
bool CopyFile(const std::string& from, const std::string& to, bool overwrite, bool durable = true);

std::optional<std::string> ReadFile(const std::string& path);
// How much of a replacement is on disk when it returns. `Synced`: the new
// content and its name. `FolderLater`: the content, but not yet the rename:
// the caller syncs the folder once for several files (SyncFolder), or a
// crash may bring the old file back. `None`: nothing is synced, for files
// set afresh at every start; after a crash such a file may be old, or empty
// on some file systems. A file is never torn while the system runs.
enum class Durability { Synced, FolderLater, None };

// Replaces the file atomically (sibling work file, fsync, rename, folder
// fsync), keeping the old file's mode and, where permitted, owner and group.
// Refuses a read-only target. Where no sibling can be made it writes in place.
bool WriteFileAtomic(const std::string& path, std::string_view content, Durability durability = Durability::Synced);
// Syncs a folder: the renames made in it are then on disk.
void SyncFolder(const std::string& folder);

// One file of a batch for WriteNewFilesSynced.
struct NewFile {
  std::string path;
  std::string_view content;
  // The file at `path` is in use: it is written to a sibling work file and
  // renamed over it after the sync pass, so it is either old or new.
  bool replace = false;
};
// Writes files that nothing names yet, durably and in one pass: every file
// is written first (its write-back started at once), the write-back of all
// is waited for, then each is fsync'ed (the first sync commits the metadata
// of all of them at once), then each folder once. A file already at one of
// the paths (not `replace`) is a leftover and is removed first. On failure
// the files of the batch are removed and replaced files keep their old
// content. Cheaper than WriteFileAtomic per file: one folder sync, and one
// file-system commit for the batch instead of one per file.
bool WriteNewFilesSynced(const std::vector<NewFile>& files);

// Appends text with one write(2) on an O_APPEND descriptor (the file is
// created when missing; with makeFolders its folder too), so the lines of
// other threads and processes appending to the same file never interleave.
bool AppendToFile(const std::string& path, std::string_view text, bool makeFolders = false);

// A file kept open for appending (or emptied once at Open), written one
// whole text at a time with the same single-write rule. Move-only.
class AppendFile {
 public:
  AppendFile() = default;
  AppendFile(AppendFile&& other) noexcept;
  AppendFile& operator=(AppendFile&& other) noexcept;
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;
  ~AppendFile();

  bool Open(const std::string& path, bool truncate);
  bool IsOpen() const { return fd_ >= 0; }
  bool Write(std::string_view text);
  void Close();

 private:
  int fd_ = -1;
};

struct DirEntry {
  std::string name;
  bool isFolder = false;
  bool isSymlink = false;
};
// Entries of a folder without "." and "..", in name order.
std::optional<std::vector<DirEntry>> ListFolder(const std::string& path);

struct FileStamp {
  std::uint64_t device = 0, inode = 0, size = 0;
  std::int64_t mtimeNs = 0, ctimeNs = 0;
  bool operator==(const FileStamp&) const = default;
};
std::optional<FileStamp> Stamp(const std::string& path);

// A folder held open by descriptor. Folders below it are created and entered
// relative to it without following symbolic links, so a link planted inside
// a watched folder never redirects what is created, moved or removed there.
// Move-only.
class FolderHandle {
 public:
  FolderHandle() = default;
  FolderHandle(FolderHandle&& other) noexcept;
  FolderHandle& operator=(FolderHandle&& other) noexcept;
  FolderHandle(const FolderHandle&) = delete;
  FolderHandle& operator=(const FolderHandle&) = delete;
  ~FolderHandle();

  // Opens a folder by its path; links within the path are followed (a
  // folder somebody configured). Invalid when it is no folder.
  static FolderHandle Open(const std::string& path);
  // Opens `top` (following links), then each component of `relative` below
  // it without following any link. With create, missing components are made.
  static FolderHandle OpenBelow(const std::string& top, const std::string& relative, bool create);

  bool valid() const { return fd_ >= 0; }
  const std::string& path() const { return path_; }
  std::string PathOf(const std::string& name) const;

  // The folder entry `name` (one component), never through a link; with
  // create it is made first when missing. Invalid when it is a link, no
  // folder, or cannot be made or opened.
  FolderHandle Child(const std::string& name, bool create) const;
  // Whether `name` is there at all (a link counts, also a dangling one).
  bool HasEntry(const std::string& name) const;
  bool IsLinkEntry(const std::string& name) const;
  // Entries as ListFolder gives them.
  std::optional<std::vector<DirEntry>> List() const;

  // Moves the file at `from` to `name` in this folder, never replacing an
  // entry; across file systems the bytes are copied and the source removed.
  // A source that is a symbolic link is refused. Child and MoveFileIn leave
  // the cause of a failure in LastFsError().
  bool MoveFileIn(const std::string& from, const std::string& name) const;
  // Copies a file into `name` here (replacing an existing plain file).
  bool CopyFileIn(const std::string& from, const std::string& name) const;
  // Creates `name` exclusively (never through a link); the descriptor is
  // closed again at once.
  bool CreateExclusive(const std::string& name) const;
  bool Rename(const std::string& from, const std::string& to) const;  // within this folder, replacing
  bool Remove(const std::string& name) const;                         // a file or link entry; true when gone
  bool RemoveTree(const std::string& name) const;                     // as RemoveTree, relative to this folder

 private:
  FolderHandle(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  bool MoveFileInOnce(const std::string& from, const std::string& name) const;
  int fd_ = -1;
  std::string path_;
};

}  // namespace zv::platform
