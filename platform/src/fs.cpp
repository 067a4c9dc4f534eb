// File and folder operations on POSIX.
#include "platform/fs.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <thread>

#include "fd_util.h"
#include "platform/fs_error.h"
#include "platform/iocounts.h"
#include "platform/paths.h"

namespace zv::platform {

using detail::UniqueFd;

namespace {

bool StatPath(const std::string& path, struct stat& st) { return !path.empty() && ::stat(path.c_str(), &st) == 0; }

bool LstatPath(const std::string& path, struct stat& st) { return !path.empty() && ::lstat(path.c_str(), &st) == 0; }

// Folder part for a sibling file: "." for a bare name.
std::string FolderOf(const std::string& path) {
  std::string parent = ParentFolder(path);
  if (parent.empty()) return path.size() > 0 && path[0] == '/' ? "/" : ".";
  return parent;
}

std::string RandomSuffix() {
  static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char bytes[6];
  if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
    // Entropy not ready (very early boot): fall back on time and pid.
    struct timespec ts;
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    unsigned long long v = static_cast<unsigned long long>(ts.tv_nsec) * 2654435761ULL ^
                           static_cast<unsigned long long>(ts.tv_sec) ^
                           (static_cast<unsigned long long>(::getpid()) << 32);
    for (auto& b : bytes) {
      v = v * 6364136223846793005ULL + 1442695040888963407ULL;
      b = static_cast<unsigned char>(v >> 33);
    }
  }
  std::string s;
  for (unsigned char b : bytes) s.push_back(kChars[b % (sizeof kChars - 1)]);
  return s;
}

// Creates "<dir>/.<name>.XXXXXX" with O_EXCL and mode 0666 (less the umask).
// The name part is shortened so the result fits NAME_MAX.
UniqueFd CreateSiblingWorkFile(const std::string& path, std::string& workPath) {
  std::string dir = FolderOf(path);
  std::string name = LastComponent(path);
  constexpr std::size_t kExtra = 1 + 1 + 6;  // ".", ".", suffix
  if (name.size() + kExtra > NAME_MAX) name.resize(NAME_MAX - kExtra);
  for (int attempt = 0; attempt < 100; ++attempt) {
    workPath = JoinPath(dir, "." + name + "." + RandomSuffix());
    int fd = ::open(workPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd >= 0) return UniqueFd(fd);
    if (errno != EEXIST) break;
  }
  workPath.clear();
  return UniqueFd();
}

// Every fsync of this file goes through here, so that benches can count them.
int Fsync(int fd) {
  const auto start = std::chrono::steady_clock::now();
  const int rc = ::fsync(fd);
  detail::NoteFsync(
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count());
  return rc;
}

void FsyncFolder(const std::string& dir) {
  UniqueFd d(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (d.valid()) Fsync(d.get());
}

// Give the work file the old file's owner, group and permission bits. Owner
// and group only where this process may set them (root, or a group it is in);
// the mode is set after chown, which may clear set-id bits.
void CopyOwnershipAndMode(int fd, const struct stat& old) {
  if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
      (void)::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    }
  }
  (void)::fchmod(fd, old.st_mode & 07777);
}

bool OwnerWriteCleared(const struct stat& st) { return (st.st_mode & S_IWUSR) == 0; }

bool RemoveTreeAt(int parentFd, const char* name, int depth);

// Copies the bytes of src into dst, then the mode and modification time,
// and syncs dst.
bool CopyContent(int src, int dst, const struct stat& sst, bool sync) {
  char buf[1 << 16];
  for (;;) {
    ssize_t n = ::read(src, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) break;
    if (!detail::WriteAll(dst, std::string_view(buf, static_cast<std::size_t>(n)))) return false;
  }
  if (::fchmod(dst, sst.st_mode & 07777) != 0) return false;
  // The copy keeps the source's modification time.
  struct timespec times[2] = {sst.st_atim, sst.st_mtim};
  (void)::futimens(dst, times);
  return !sync || Fsync(dst) == 0;
}

// A name that is exactly one entry of a folder.
bool IsEntryName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// Creates ".<name>.XXXXXX" in the folder open as dirFd, exclusively and
// never through a link.
UniqueFd CreateWorkFileAt(int dirFd, const std::string& name, std::string& workName) {
  std::string base = name;
  constexpr std::size_t kExtra = 1 + 1 + 6;
  if (base.size() + kExtra > NAME_MAX) base.resize(NAME_MAX - kExtra);
  for (int attempt = 0; attempt < 100; ++attempt) {
    workName = "." + base + "." + RandomSuffix();
    int fd = ::openat(dirFd, workName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd >= 0) return UniqueFd(fd);
    if (errno != EEXIST) break;
  }
  workName.clear();
  return UniqueFd();
}

// Gives a finished work file its name in the same folder; without overwrite
// an existing entry of that name is never replaced.
bool PlaceWorkFileAt(int dirFd, const std::string& work, const std::string& name, bool overwrite) {
  if (overwrite) return ::renameat(dirFd, work.c_str(), dirFd, name.c_str()) == 0;
  if (::renameat2(dirFd, work.c_str(), dirFd, name.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  if (::linkat(dirFd, work.c_str(), dirFd, name.c_str(), 0) != 0) return false;
  ::unlinkat(dirFd, work.c_str(), 0);
  return true;
}

// Empties the folder open as dirFd; true when every entry went.
bool EmptyFolderFd(int dirFd, int depth) {
  int dupFd = ::dup(dirFd);
  if (dupFd < 0) return false;
  DIR* dir = ::fdopendir(dupFd);
  if (!dir) {
    ::close(dupFd);
    return false;
  }
  std::vector<std::string> names;
  while (dirent* e = ::readdir(dir)) {
    if (std::string_view(e->d_name) == "." || std::string_view(e->d_name) == "..") continue;
    names.emplace_back(e->d_name);
  }
  ::closedir(dir);
  bool ok = true;
  for (const auto& n : names) {
    if (!RemoveTreeAt(dirFd, n.c_str(), depth + 1)) ok = false;
  }
  return ok;
}

bool RemoveTreeAt(int parentFd, const char* name, int depth) {
  constexpr int kMaxDepth = 512;
  struct stat st;
  if (::fstatat(parentFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT;
  if (!S_ISDIR(st.st_mode)) {
    // Files, symbolic links (even to folders), sockets: the entry itself only.
    return ::unlinkat(parentFd, name, 0) == 0 || errno == ENOENT;
  }
  if (depth > kMaxDepth) return false;
  UniqueFd sub(::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!sub.valid()) {
    // A folder we own but may not read or search: give ourselves access.
    if (errno == EACCES && st.st_uid == ::geteuid() &&
        ::fchmodat(parentFd, name, (st.st_mode & 07777) | S_IRWXU, AT_SYMLINK_NOFOLLOW) == 0) {
      sub.reset(::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    if (!sub.valid()) return false;
  }
  struct stat opened;
  // The entry was swapped between fstatat and openat: leave it alone.
  if (::fstat(sub.get(), &opened) != 0 || opened.st_dev != st.st_dev || opened.st_ino != st.st_ino) return false;
  if (OwnerWriteCleared(opened) && opened.st_uid == ::geteuid()) {
    (void)::fchmod(sub.get(), (opened.st_mode & 07777) | S_IRWXU);
  }
  bool emptied = EmptyFolderFd(sub.get(), depth);
  sub.reset();
  if (!emptied) return false;
  return ::unlinkat(parentFd, name, AT_REMOVEDIR) == 0 || errno == ENOENT;
}

}  // namespace

bool Exists(const std::string& path) {
  struct stat st;
  return StatPath(path, st);
}

bool IsSymlink(const std::string& path) {
  struct stat st;
  return LstatPath(TrimTrailingSeparator(path), st) && S_ISLNK(st.st_mode);
}

bool IsFile(const std::string& path) {
  struct stat st;
  return StatPath(path, st) && S_ISREG(st.st_mode);
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return StatPath(path, st) && S_ISDIR(st.st_mode);
}

bool MayWriteFolder(const std::string& path) { return IsFolder(path) && ::access(path.c_str(), W_OK | X_OK) == 0; }

std::optional<std::uint64_t> FileSize(const std::string& path) {
  struct stat st;
  if (!StatPath(path, st) || S_ISDIR(st.st_mode)) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_size);
}

bool MakeFolder(const std::string& path) {
  if (path.empty()) return detail::FsFailed("create folder", path, EINVAL);
  std::string p = TrimTrailingSeparator(path);
  if (::mkdir(p.c_str(), 0777) == 0) return true;
  const int error = errno;
  return (error == EEXIST && IsFolder(p)) || detail::FsFailed("create folder", p, error == EEXIST ? ENOTDIR : error);
}

bool MakeNewFolder(const std::string& path) {
  if (path.empty()) return detail::FsFailed("create folder", path, EINVAL);
  const std::string p = TrimTrailingSeparator(path);
  return ::mkdir(p.c_str(), 0777) == 0 || detail::FsFailed("create folder", p, errno);
}

bool MakeFolders(const std::string& path) {
  if (path.empty()) return detail::FsFailed("create folder", path, EINVAL);
  std::string p = TrimTrailingSeparator(path);
  if (IsFolder(p)) return true;
  // Walk down from the top, creating what is missing.
  std::size_t pos = (p[0] == '/') ? 1 : 0;
  while (pos <= p.size()) {
    std::size_t slash = p.find('/', pos);
    std::string part = p.substr(0, slash == std::string::npos ? p.size() : slash);
    if (!part.empty() && part != "/" && part.back() != '/') {
      if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
        const int error = errno;
        if (!IsFolder(part)) return detail::FsFailed("create folder", part, error);
      }
    }
    if (slash == std::string::npos) break;
    pos = slash + 1;
  }
  return IsFolder(p) || detail::FsFailed("create folder", p, ENOTDIR);
}

bool RemoveFile(const std::string& path) {
  if (path.empty()) return detail::FsFailed("delete", path, EINVAL);
  if (::unlink(path.c_str()) == 0) return true;
  if (errno == ENOENT) return true;
  const int error = errno;
  struct stat st;
  return (!LstatPath(path, st) && errno == ENOENT) || detail::FsFailed("delete", path, error);
}

bool RemoveFolder(const std::string& path) {
  if (path.empty()) return detail::FsFailed("remove folder", path, EINVAL);
  std::string p = TrimTrailingSeparator(path);
  return ::rmdir(p.c_str()) == 0 || errno == ENOENT || detail::FsFailed("remove folder", p, errno);
}

bool RemoveTree(const std::string& path) {
  if (path.empty()) return detail::FsFailed("remove folder", path, EINVAL);
  std::string p = TrimTrailingSeparator(path);
  if (p == "/") return detail::FsFailed("remove folder", p, EPERM);
  std::string dir = FolderOf(p);
  std::string name = LastComponent(p);
  if (name.empty() || name == "." || name == "..") return detail::FsFailed("remove folder", p, EINVAL);
  UniqueFd parent(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!parent.valid()) return errno == ENOENT || detail::FsFailed("remove folder", dir, errno);
  const bool removed = RemoveTreeAt(parent.get(), name.c_str(), 0);
  const int error = removed ? ENOTEMPTY : errno;
  struct stat st;
  return (::fstatat(parent.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT) ||
         detail::FsFailed("remove folder", p, error);
}

bool RenamePath(const std::string& from, const std::string& to, bool overwrite) {
  const auto failed = [&](const std::string& path, int code) { return detail::FsFailed("rename", path, code); };
  const auto renamed = [&] { return ::rename(from.c_str(), to.c_str()) == 0 || failed(from, errno); };
  if (from.empty() || to.empty()) return failed(from, EINVAL);
  struct stat target;
  bool targetExists = LstatPath(to, target);
  if (targetExists) {
    if (!overwrite) return failed(to, EEXIST);
    // A read-only file is never replaced, not even through a rename.
    if (S_ISREG(target.st_mode) && OwnerWriteCleared(target)) return failed(to, EACCES);
    return renamed();
  }
  if (overwrite) return renamed();
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return failed(errno == EEXIST ? to : from, errno);
  // File systems without RENAME_NOREPLACE (some network ones): a hard link
  // claims the name exclusively for files; folders fall back on a checked rename.
  struct stat src;
  if (!LstatPath(from, src)) return failed(from, errno);
  if (!S_ISDIR(src.st_mode)) {
    if (::link(from.c_str(), to.c_str()) != 0) {
      if (errno == EEXIST) return failed(to, EEXIST);
    } else {
      ::unlink(from.c_str());
      return true;
    }
  }
  if (LstatPath(to, target)) return failed(to, EEXIST);
  return renamed();
}

bool CopyFile(const std::string& from, const std::string& to, bool overwrite, bool durable) {
  if (from.empty() || to.empty()) return false;
  UniqueFd src(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (!src.valid()) return false;
  struct stat sst;
  if (::fstat(src.get(), &sst) != 0 || !S_ISREG(sst.st_mode)) return false;
  struct stat tst;
  if (StatPath(to, tst)) {
    if (!overwrite) return false;
    if (!S_ISREG(tst.st_mode) || OwnerWriteCleared(tst)) return false;
    if (tst.st_dev == sst.st_dev && tst.st_ino == sst.st_ino) return true;  // copy onto itself
  }
  std::string work;
  UniqueFd dst = CreateSiblingWorkFile(to, work);
  if (!dst.valid()) return false;
  bool ok = CopyContent(src.get(), dst.get(), sst, durable);
  if (::close(dst.release()) != 0) ok = false;
  if (ok) {
    if (overwrite) {
      ok = ::rename(work.c_str(), to.c_str()) == 0;
    } else {
      ok = RenamePath(work, to, false);
    }
  }
  if (!ok) {
    ::unlink(work.c_str());
    return false;
  }
  if (durable) FsyncFolder(FolderOf(to));
  return true;
}

std::optional<std::string> ReadFile(const std::string& path) {
  if (path.empty()) return std::nullopt;
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return std::nullopt;
  struct stat st;
  if (::fstat(fd.get(), &st) != 0 || S_ISDIR(st.st_mode)) return std::nullopt;
  std::string out;
  if (S_ISREG(st.st_mode) && st.st_size > 0) out.reserve(static_cast<std::size_t>(st.st_size));
  if (!detail::ReadAll(fd.get(), out)) return std::nullopt;
  return out;
}

namespace {
bool ReplaceWhole(const std::string& pathIn, std::string_view content, Durability durability) {
  if (pathIn.empty()) return false;
  std::string path = pathIn;
  struct stat lst;
  if (LstatPath(path, lst) && S_ISLNK(lst.st_mode)) {
    // Write through a symbolic link to the file it names, keeping the link.
    char* real = ::realpath(path.c_str(), nullptr);
    if (real) {
      path = real;
      std::free(real);
    } else {
      return false;  // a dangling link: refuse rather than replace the link
    }
  }
  struct stat old;
  bool exists = StatPath(path, old);
  if (exists) {
    if (!S_ISREG(old.st_mode)) return false;
    if (OwnerWriteCleared(old)) return false;  // a read-only file is never written
  } else if (errno != ENOENT) {
    return false;
  }

  std::string work;
  UniqueFd fd = CreateSiblingWorkFile(path, work);
  if (!fd.valid()) {
    int err = errno;
    // No sibling possible (a folder we may not write): rewrite in place when
    // the file itself is writable.
    if (!exists || (err != EACCES && err != EPERM && err != EROFS)) return false;
    UniqueFd in(::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!in.valid()) return false;
    if (!detail::WriteAll(in.get(), content)) return false;
    if (::ftruncate(in.get(), static_cast<off_t>(content.size())) != 0) return false;
    if (Fsync(in.get()) != 0) return false;
    return ::close(in.release()) == 0;
  }

  bool ok = detail::WriteAll(fd.get(), content);
  if (ok && exists) CopyOwnershipAndMode(fd.get(), old);
  if (ok && durability != Durability::None) ok = Fsync(fd.get()) == 0;
  if (::close(fd.release()) != 0) ok = false;
  if (ok) {
    // Re-check: the file may have been made read-only while we wrote.
    struct stat now;
    if (StatPath(path, now) && OwnerWriteCleared(now)) ok = false;
  }
  if (ok) ok = ::rename(work.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(work.c_str());
    return false;
  }
  if (durability == Durability::Synced) FsyncFolder(FolderOf(path));
  return true;
}
}  // namespace

bool WriteFileAtomic(const std::string& path, std::string_view content, Durability durability) {
  const bool ok = ReplaceWhole(path, content, durability);
  if (ok) detail::NoteReplacement(path);
  return ok;
}

void SyncFolder(const std::string& folder) { FsyncFolder(folder); }

bool WriteNewFilesSynced(const std::vector<NewFile>& files) {
  std::vector<UniqueFd> open;
  std::vector<std::string> made(files.size());  // the path written, per file
  open.reserve(files.size());
  auto undo = [&] {
    open.clear();
    for (const std::string& p : made) {
      if (!p.empty()) ::unlink(p.c_str());
    }
    return false;
  };
  for (std::size_t i = 0; i < files.size(); ++i) {
    const NewFile& f = files[i];
    UniqueFd fd;
    std::string written = f.path;
    if (f.replace) {
      fd = CreateSiblingWorkFile(f.path, written);
    } else {
      struct stat st;
      if (LstatPath(f.path, st) && (S_ISDIR(st.st_mode) || ::unlink(f.path.c_str()) != 0)) return undo();
      fd = UniqueFd(::open(f.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666));
    }
    if (!fd.valid()) return undo();
    made[i] = written;
    if (!detail::WriteAll(fd.get(), f.content)) return undo();
    // Start the write-back now, while the next files are written.
    (void)::sync_file_range(fd.get(), 0, 0, SYNC_FILE_RANGE_WRITE);
    open.push_back(std::move(fd));
  }
  // Wait until the data of every file is written: what the file system
  // records at the end of each write (allocations, extent conversions) then
  // lies in one journal transaction, which the first fsync commits; the
  // fsyncs after it find their file committed and return at once.
  for (UniqueFd& fd : open) {
    (void)::sync_file_range(fd.get(), 0, 0,
                            SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
  }
  // Each fsync may still end in a flush of the disk's cache; run them side
  // by side so that the block layer merges the flushes.
  std::atomic<bool> synced{true};
  {
    const std::size_t lanes = std::min<std::size_t>(8, open.size());
    std::vector<std::thread> threads;
    threads.reserve(lanes);
    for (std::size_t lane = 0; lane < lanes; ++lane) {
      threads.emplace_back([&, lane] {
        for (std::size_t i = lane; i < open.size(); i += lanes) {
          if (Fsync(open[i].get()) != 0) synced = false;
        }
      });
    }
    for (auto& t : threads) t.join();
  }
  if (!synced) return undo();
  for (UniqueFd& fd : open) {
    if (::close(fd.release()) != 0) return undo();
  }
  open.clear();
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (!files[i].replace) continue;
    if (::rename(made[i].c_str(), files[i].path.c_str()) != 0) return undo();
    made[i].clear();  // in place now: a later failure keeps it
  }
  std::vector<std::string> folders;
  for (const NewFile& f : files) {
    std::string dir = FolderOf(f.path);
    if (std::find(folders.begin(), folders.end(), dir) == folders.end()) folders.push_back(std::move(dir));
  }
  for (const std::string& dir : folders) {
    UniqueFd d(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!d.valid() || Fsync(d.get()) != 0) return undo();
  }
  return true;
}

namespace {

std::optional<std::vector<DirEntry>> ListFolderFd(int folderFd) {
  int dupFd = ::dup(folderFd);
  if (dupFd < 0) return std::nullopt;
  DIR* dir = ::fdopendir(dupFd);
  if (!dir) {
    ::close(dupFd);
    return std::nullopt;
  }
  ::rewinddir(dir);  // the duplicate shares the offset of earlier listings
  std::vector<DirEntry> out;
  while (dirent* e = ::readdir(dir)) {
    std::string_view n = e->d_name;
    if (n == "." || n == "..") continue;
    DirEntry entry;
    entry.name = std::string(n);
    unsigned char type = e->d_type;
    if (type == DT_UNKNOWN) {
      struct stat st;
      if (::fstatat(folderFd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
        type = S_ISLNK(st.st_mode) ? DT_LNK : S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
      }
    }
    entry.isSymlink = type == DT_LNK;
    if (type == DT_DIR) {
      entry.isFolder = true;
    } else if (type == DT_LNK) {
      struct stat st;
      entry.isFolder = ::fstatat(folderFd, e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
    }
    out.push_back(std::move(entry));
  }
  ::closedir(dir);
  std::sort(out.begin(), out.end(), [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
  return out;
}

}  // namespace

std::optional<std::vector<DirEntry>> ListFolder(const std::string& path) {
  if (path.empty()) return std::nullopt;
  UniqueFd dfd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!dfd.valid()) return std::nullopt;
  return ListFolderFd(dfd.get());
}

std::optional<FileStamp> Stamp(const std::string& path) {
  struct stat st;
  if (!StatPath(path, st)) return std::nullopt;
  return detail::StampOf(st);
}

// ---------------------------------------------------------------- FolderHandle

FolderHandle::FolderHandle(FolderHandle&& other) noexcept : fd_(other.fd_), path_(std::move(other.path_)) {
  other.fd_ = -1;
}

FolderHandle& FolderHandle::operator=(FolderHandle&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    path_ = std::move(other.path_);
    other.fd_ = -1;
  }
  return *this;
}

FolderHandle::~FolderHandle() {
  if (fd_ >= 0) ::close(fd_);
}

FolderHandle FolderHandle::Open(const std::string& path) {
  if (path.empty()) return {};
  std::string p = TrimTrailingSeparator(path);
  int fd = ::open(p.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return {};
  return FolderHandle(fd, p);
}

FolderHandle FolderHandle::OpenBelow(const std::string& top, const std::string& relative, bool create) {
  FolderHandle h = Open(top);
  std::size_t pos = 0;
  while (h.valid() && pos <= relative.size()) {
    std::size_t slash = relative.find('/', pos);
    std::string part = relative.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos);
    if (part == "..") return {};
    if (!part.empty() && part != ".") h = h.Child(part, create);
    if (slash == std::string::npos) break;
    pos = slash + 1;
  }
  return h;
}

std::string FolderHandle::PathOf(const std::string& name) const { return JoinPath(path_, name); }

FolderHandle FolderHandle::Child(const std::string& name, bool create) const {
  if (fd_ < 0 || !IsEntryName(name)) {
    detail::FsFailed("open folder", PathOf(name), EINVAL);
    return {};
  }
  if (create && ::mkdirat(fd_, name.c_str(), 0777) != 0 && errno != EEXIST) {
    detail::FsFailed("create folder", PathOf(name), errno);
    return {};
  }
  // O_NOFOLLOW: a link in the entry's place is refused (ELOOP), never entered.
  int fd = ::openat(fd_, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    detail::FsFailed("open folder", PathOf(name), errno);
    return {};
  }
  return FolderHandle(fd, PathOf(name));
}

bool FolderHandle::HasEntry(const std::string& name) const {
  struct stat st;
  return fd_ >= 0 && IsEntryName(name) && ::fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

bool FolderHandle::IsLinkEntry(const std::string& name) const {
  struct stat st;
  return fd_ >= 0 && IsEntryName(name) && ::fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
         S_ISLNK(st.st_mode);
}

std::optional<std::vector<DirEntry>> FolderHandle::List() const {
  if (fd_ < 0) return std::nullopt;
  return ListFolderFd(fd_);
}

bool FolderHandle::CopyFileIn(const std::string& from, const std::string& name) const {
  if (fd_ < 0 || !IsEntryName(name) || from.empty()) return false;
  UniqueFd src(::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  if (!src.valid()) return false;
  struct stat sst, tst;
  if (::fstat(src.get(), &sst) != 0 || !S_ISREG(sst.st_mode)) return false;
  if (::fstatat(fd_, name.c_str(), &tst, AT_SYMLINK_NOFOLLOW) == 0 && (!S_ISREG(tst.st_mode) || OwnerWriteCleared(tst)))
    return false;
  std::string work;
  UniqueFd dst = CreateWorkFileAt(fd_, name, work);
  if (!dst.valid()) return false;
  bool ok = CopyContent(src.get(), dst.get(), sst, true);
  if (::close(dst.release()) != 0) ok = false;
  if (ok) ok = PlaceWorkFileAt(fd_, work, name, true);
  if (!ok) {
    ::unlinkat(fd_, work.c_str(), 0);
    return false;
  }
  Fsync(fd_);
  return true;
}

bool FolderHandle::MoveFileIn(const std::string& from, const std::string& name) const {
  if (MoveFileInOnce(from, name)) return true;
  return detail::FsFailed("rename", PathOf(name), errno != 0 ? errno : EINVAL);
}

bool FolderHandle::MoveFileInOnce(const std::string& from, const std::string& name) const {
  errno = 0;
  if (fd_ < 0 || !IsEntryName(name) || from.empty()) return false;
  struct stat src;
  if (!LstatPath(from, src)) return false;
  if (!S_ISREG(src.st_mode)) {  // never a link
    errno = S_ISLNK(src.st_mode) ? ELOOP : EINVAL;
    return false;
  }
  if (::renameat2(AT_FDCWD, from.c_str(), fd_, name.c_str(), RENAME_NOREPLACE) == 0) return true;
  bool copy = errno == EXDEV;
  if (!copy) {
    if (errno != EINVAL && errno != ENOSYS) return false;
    // No RENAME_NOREPLACE here: a hard link claims the name exclusively.
    if (::linkat(AT_FDCWD, from.c_str(), fd_, name.c_str(), 0) == 0) {
      if (::unlink(from.c_str()) == 0) return true;
      ::unlinkat(fd_, name.c_str(), 0);
      return false;
    }
    if (errno != EXDEV) return false;
    copy = true;
  }
  // Another file system (the staging folder): copy, then remove the source.
  UniqueFd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  struct stat sst;
  if (!in.valid() || ::fstat(in.get(), &sst) != 0 || !S_ISREG(sst.st_mode)) return false;
  std::string work;
  UniqueFd dst = CreateWorkFileAt(fd_, name, work);
  if (!dst.valid()) return false;
  bool ok = CopyContent(in.get(), dst.get(), sst, true);
  if (::close(dst.release()) != 0) ok = false;
  if (ok) ok = PlaceWorkFileAt(fd_, work, name, false);
  if (!ok) {
    ::unlinkat(fd_, work.c_str(), 0);
    return false;
  }
  if (::unlink(from.c_str()) != 0 && errno != ENOENT) {
    ::unlinkat(fd_, name.c_str(), 0);
    return false;
  }
  Fsync(fd_);
  return true;
}

bool FolderHandle::CreateExclusive(const std::string& name) const {
  if (fd_ < 0 || !IsEntryName(name)) return false;
  int fd = ::openat(fd_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

bool FolderHandle::Rename(const std::string& from, const std::string& to) const {
  if (fd_ < 0 || !IsEntryName(from) || !IsEntryName(to)) return false;
  return ::renameat(fd_, from.c_str(), fd_, to.c_str()) == 0;
}

bool FolderHandle::Remove(const std::string& name) const {
  if (fd_ < 0 || !IsEntryName(name)) return false;
  return ::unlinkat(fd_, name.c_str(), 0) == 0 || errno == ENOENT;
}

bool FolderHandle::RemoveTree(const std::string& name) const {
  if (fd_ < 0 || !IsEntryName(name)) return false;
  RemoveTreeAt(fd_, name.c_str(), 0);
  struct stat st;
  return ::fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT;
}

}  // namespace zv::platform

namespace zv::platform {

namespace {

int OpenForAppend(const std::string& path, bool truncate) {
  int flags = O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY;
  if (truncate) flags |= O_TRUNC;
  int fd;
  do {
    fd = ::open(path.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// One write(2) for the whole text: O_APPEND makes each write land whole at
// the end of the file. A short write (a full disk) reports failure.
bool WriteOnce(int fd, std::string_view text) {
  if (text.empty()) return true;
  ssize_t n;
  do {
    n = ::write(fd, text.data(), text.size());
  } while (n < 0 && errno == EINTR);
  return n == static_cast<ssize_t>(text.size());
}

}  // namespace

bool AppendToFile(const std::string& path, std::string_view text, bool makeFolders) {
  if (path.empty()) return false;
  detail::UniqueFd fd(OpenForAppend(path, false));
  if (!fd.valid() && makeFolders && errno == ENOENT) {
    if (!MakeFolders(ParentFolder(path))) return false;
    fd.reset(OpenForAppend(path, false));
  }
  if (!fd.valid()) return false;
  return WriteOnce(fd.get(), text);
}

AppendFile::AppendFile(AppendFile&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

AppendFile& AppendFile::operator=(AppendFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

AppendFile::~AppendFile() { Close(); }

bool AppendFile::Open(const std::string& path, bool truncate) {
  Close();
  if (path.empty()) return false;
  fd_ = OpenForAppend(path, truncate);
  return fd_ >= 0;
}

bool AppendFile::Write(std::string_view text) { return fd_ >= 0 && WriteOnce(fd_, text); }

void AppendFile::Close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

}  // namespace zv::platform
