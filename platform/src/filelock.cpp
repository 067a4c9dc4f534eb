// Lock files and the exclusive-open probe on open-file-description locks.
#include "platform/filelock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <unordered_map>

#include "fd_util.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/iocounts.h"
#include "platform/paths.h"

namespace zv::platform {

namespace {

constexpr int kInodeRetries = 8;
constexpr std::int64_t kPollMs = 100;
constexpr std::int64_t kStableMs = 2000;

bool SetOfdLock(int fd, short type) {
  struct flock fl = {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = 0;
  fl.l_len = 0;  // the whole file, also as it grows
  for (;;) {
    if (::fcntl(fd, F_OFD_SETLK, &fl) == 0) return true;
    if (errno != EINTR) return false;
  }
}

bool SameInode(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// True when the path names the file open as fd.
bool PathNamesFd(const std::string& path, int fd) {
  struct stat byFd, byPath;
  if (::fstat(fd, &byFd) != 0) return false;
  if (::lstat(path.c_str(), &byPath) != 0) return false;
  return SameInode(byFd, byPath);
}

}  // namespace

// ---------------------------------------------------------------- HeldLock

HeldLock::HeldLock(HeldLock&& other) noexcept : path_(std::move(other.path_)), fd_(other.fd_) { other.fd_ = -1; }

HeldLock& HeldLock::operator=(HeldLock&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) Release();
    path_ = std::move(other.path_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

HeldLock::~HeldLock() {
  if (fd_ >= 0) Release();
}

HeldLock HeldLock::TryAcquire(const std::string& path, bool truncate) {
  if (path.empty()) return {};
  for (int attempt = 0; attempt < kInodeRetries; ++attempt) {
    // O_NOFOLLOW: a link planted under the lock name must not make us create
    // or truncate a file elsewhere.
    detail::UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666));
    if (!fd.valid()) return {};  // refused like a failed exclusive create
    if (!SetOfdLock(fd.get(), F_WRLCK)) return {};
    // The previous holder may have deleted the file between our open and our
    // lock; then we hold an orphaned inode and must try again.
    if (!PathNamesFd(path, fd.get())) continue;
    if (truncate && ::ftruncate(fd.get(), 0) != 0) return {};
    return HeldLock(path, fd.release());
  }
  return {};
}

bool HeldLock::RemoveFileIfOurs() {
  if (fd_ < 0) return false;
  struct stat byFd, byPath;
  if (::fstat(fd_, &byFd) != 0) return false;
  if (::lstat(path_.c_str(), &byPath) != 0) return errno == ENOENT;
  // Someone deleted our file and another holder made a new one: that one is
  // theirs, and our inode is no longer at the path.
  if (!SameInode(byFd, byPath)) return true;
  if (::unlink(path_.c_str()) == 0) return true;
  return errno == ENOENT;
}

bool HeldLock::Release() {
  if (fd_ < 0) return false;
  bool gone = RemoveFileIfOurs();
  CloseOnly();
  return gone;
}

void HeldLock::CloseOnly() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

// ---------------------------------------------------------------- probes

bool CreateExclusive(const std::string& path) {
  if (path.empty()) return false;
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

bool IsLockHeld(const std::string& path) {
  if (path.empty()) return false;
  detail::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd.valid()) {
    if (errno == ENOENT || errno == ENOTDIR) return false;
    // Not readable by us: ask through a write descriptor where possible.
    fd.reset(::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid()) return false;
  }
  struct flock fl = {};
  fl.l_type = F_RDLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = 0;
  fl.l_len = 0;
  if (::fcntl(fd.get(), F_OFD_GETLK, &fl) != 0) return false;
  return fl.l_type != F_UNLCK;
}

struct ExclusiveOpenProbe::Impl {
  struct Observation {
    FileStamp stamp;
    std::int64_t sinceMs = 0;  // when this stamp was first seen
  };
  std::mutex mutex;
  std::unordered_map<std::string, Observation> seen;
};

ExclusiveOpenProbe::ExclusiveOpenProbe() : impl_(new Impl) {}
ExclusiveOpenProbe::~ExclusiveOpenProbe() { delete impl_; }

namespace {

enum class LeaseResult { Free, InUse, Unavailable };

LeaseResult TryWriteLease(const std::string& path) {
  detail::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW));
  if (!fd.valid()) {
    // Opening can itself be refused while another process holds a lease
    // (EWOULDBLOCK with O_NONBLOCK): that process is using the file.
    if (errno == EWOULDBLOCK) return LeaseResult::InUse;
    return LeaseResult::Unavailable;
  }
  struct stat st;
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return LeaseResult::Unavailable;
  if (::fcntl(fd.get(), F_SETLEASE, F_WRLCK) == 0) {
    ::fcntl(fd.get(), F_SETLEASE, F_UNLCK);
    return LeaseResult::Free;
  }
  if (errno == EAGAIN || errno == EBUSY) return LeaseResult::InUse;
  // EACCES/EPERM: not the owner and no CAP_LEASE; EINVAL: no lease support.
  return LeaseResult::Unavailable;
}

}  // namespace

bool ExclusiveOpenProbe::CanOpenExclusively(const std::string& path) {
  if (path.empty()) return false;
  // A symbolic link is never free: whatever it names is not the watched
  // folder's file to take.
  if (IsSymlink(path) || !IsFile(path)) {
    Forget(path);
    return false;
  }
  if (!forceFallback_ && !IsNetworkPath(path)) {
    switch (TryWriteLease(path)) {
      case LeaseResult::Free: return true;
      case LeaseResult::InUse: return false;
      case LeaseResult::Unavailable: break;
    }
  }
  // Stability fallback: a lock holder, or a file that changed within two
  // seconds, is in use; the first sighting also counts as in use.
  if (IsLockHeld(path)) return false;
  std::optional<FileStamp> stamp = Stamp(path);
  if (!stamp) return false;
  std::int64_t now = SteadyMs();
  std::lock_guard<std::mutex> lk(impl_->mutex);
  auto it = impl_->seen.find(path);
  if (it == impl_->seen.end()) {
    impl_->seen.emplace(path, Impl::Observation{*stamp, now});
    return false;
  }
  if (!(it->second.stamp == *stamp)) {
    it->second = Impl::Observation{*stamp, now};
    return false;
  }
  return now - it->second.sinceMs >= kStableMs;
}

void ExclusiveOpenProbe::Forget(const std::string& path) {
  std::lock_guard<std::mutex> lk(impl_->mutex);
  impl_->seen.erase(path);
}

// ---------------------------------------------------------------- protocol

namespace {

std::string LockPathOf(const std::string& folder, const std::string& name) {
  return TrimTrailingSeparator(folder) + "/" + name;
}

// The attempts of both lock-file protocols: create-always, no sharing;
// between attempts a 100 ms pause and the caller's wait; give up when more
// whole seconds than the time-out (60 when not positive) have passed.
HeldLock TryLockFileUntil(const std::string& path, int timeoutSeconds, const std::function<void()>& waitHook) {
  const std::int64_t limitSeconds = timeoutSeconds > 0 ? timeoutSeconds : 60;
  Clock& clock = GetClock();
  const std::int64_t start = clock.SteadyMs();
  for (;;) {
    // Create-always: a stale file's content never matters.
    HeldLock lock = HeldLock::TryAcquire(path, true);
    if (lock) {
      detail::NoteLockAcquired();
      return lock;
    }
    std::int64_t wholeSeconds = (clock.SteadyMs() - start) / 1000;
    if (wholeSeconds > limitSeconds) return {};
    detail::NoteLockBusyPoll();
    clock.SleepMs(kPollMs);
    if (waitHook) waitHook();
  }
}

}  // namespace

HeldLock AcquireLockFile(const std::string& folder, const std::string& name, int timeoutSeconds,
                         const std::function<void()>& waitHook) {
  if (folder.empty() || name.empty()) return {};
  HeldLock lock = TryLockFileUntil(LockPathOf(folder, name), timeoutSeconds, waitHook);
  // The environment lock's protocol pauses 100 ms once the attempts end,
  // also after giving up, before the holder writes.
  detail::NoteLockSettlePause();
  GetClock().SleepMs(kPollMs);
  return lock;
}

HeldLock AcquireShortLockFile(const std::string& folder, const std::string& name, int timeoutSeconds) {
  if (folder.empty() || name.empty()) return {};
  return TryLockFileUntil(LockPathOf(folder, name), timeoutSeconds, {});
}

int ReleaseLockFile(HeldLock& lock, const std::string& folder, const std::string& name) {
  if (folder.empty() || name.empty() || !lock.valid()) return 0;
  const std::string dir = TrimTrailingSeparator(folder);
  const std::string path = LockPathOf(folder, name);
  // The descriptor knows its own path; the name given here only decides
  // whether a folder now stands where the lock file was.
  if (!IsFolder(dir)) {
    lock.CloseOnly();
    return 0;
  }
  Clock& clock = GetClock();
  int result = 0;
  bool decided = false;
  // The file is deleted while its lock is still held, so nobody else can
  // have it: the first attempt needs no pause; only retries wait.
  for (int attempt = 0; attempt < 10 && !decided; ++attempt) {
    if (attempt > 0) clock.SleepMs(kPollMs);
    if (IsFolder(path)) {
      decided = true;  // a folder in its place: result 0
      break;
    }
    if (lock.RemoveFileIfOurs()) {
      result = 1;
      decided = true;
    }
  }
  lock.CloseOnly();
  return result;
}

}  // namespace zv::platform
