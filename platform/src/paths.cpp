// Paths and places of an installation.
#include "platform/paths.h"

#include "paths_internal.h"

#include <pwd.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

namespace zv::platform {

namespace {

std::string EnvOrEmpty(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

// The path itself, or its nearest ancestor that exists.
std::string NearestExisting(const std::string& path) {
  std::string p = path.empty() ? std::string(".") : path;
  struct stat st;
  for (;;) {
    if (::stat(p.c_str(), &st) == 0) return p;
    if (errno != ENOENT && errno != ENOTDIR) return p;
    std::string parent = ParentFolder(p);
    if (parent.empty()) return IsAbsolutePath(p) ? "/" : ".";
    if (parent == p) return p;
    p = parent;
  }
}

bool IsNetworkMagic(unsigned long magic) {
  switch (magic) {
    case 0x6969UL:      // NFS
    case 0x517BUL:      // SMB
    case 0xFF534D42UL:  // CIFS
    case 0xFE534D42UL:  // SMB2
    case 0x65735546UL:  // FUSE (sshfs and friends)
    case 0x01021997UL:  // 9p
    case 0x5346414FUL:  // AFS
    case 0x6B414653UL:  // kAFS
    case 0x73757245UL:  // CODA
    case 0x564CUL:      // NCP
    case 0x00C36400UL:  // Ceph
    case 0x47504653UL:  // GPFS
    case 0x0BD00BD0UL:  // Lustre
    case 0x013111A8UL:  // IBRIX
    case 0x7461636FUL:  // OCFS2
    case 0x01161970UL:  // GFS2
      return true;
    default: return false;
  }
}

}  // namespace

namespace detail {

bool EnsurePrivateFolder(const std::string& dir) {
  if (dir.empty()) return false;
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st;
  if (::lstat(dir.c_str(), &st) != 0) return false;
  // Someone else's folder or a link planted in /tmp would let them read or
  // replace our files.
  if (S_ISLNK(st.st_mode) || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return false;
  if ((st.st_mode & 077) != 0 && ::chmod(dir.c_str(), 0700) != 0) return false;
  return true;
}

}  // namespace detail

std::string JoinPath(std::string_view folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  std::string out(folder);
  while (!name.empty() && name.front() == '/') name.remove_prefix(1);
  if (out.back() != '/') out.push_back('/');
  out.append(name);
  return out;
}

std::string TrimTrailingSeparator(std::string_view path) {
  if (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  return std::string(path);
}

std::string LastComponent(std::string_view path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return std::string(path);
  return std::string(path.substr(slash + 1));
}

std::string ParentFolder(std::string_view path) {
  std::size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return {};
  if (slash == 0) return path.size() > 1 ? "/" : "";
  return std::string(path.substr(0, slash));
}

std::string Extension(std::string_view path) {
  std::string last = LastComponent(path);
  std::size_t dot = last.rfind('.');
  if (dot == std::string::npos) return {};
  return last.substr(dot + 1);
}

std::string StripExtension(std::string_view name) {
  std::size_t slash = name.rfind('/');
  std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return std::string(name);
  return std::string(name.substr(0, dot));
}

bool IsAbsolutePath(std::string_view path) { return !path.empty() && path.front() == '/'; }

bool IsNetworkPath(const std::string& path) {
  if (path.empty()) return false;
  struct statfs sf;
  std::string p = NearestExisting(path);
  if (::statfs(p.c_str(), &sf) != 0) return false;
  return IsNetworkMagic(static_cast<unsigned long>(sf.f_type) & 0xFFFFFFFFUL);
}

namespace {

constexpr int kNetworkProbeMs = 3000;

// One look at a path, shared by every caller that asks while it runs.
struct Look {
  std::mutex m;
  std::condition_variable cv;
  bool done = false;
  bool answered = false;
  bool network = false;
  std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
};

struct ProbeState {
  std::mutex m;
  std::condition_variable seamChanged;
  std::function<bool(const std::string&)> stalls;
  unsigned generation = 0;
  int limitMs = 0;
  std::unordered_map<std::string, std::shared_ptr<Look>> running;
  // Every look's thread, joined once its look is done: a thread that has
  // answered is never left to end on its own while the process exits (the
  // exit would race its last steps).
  std::vector<std::pair<std::shared_ptr<Look>, std::thread>> threads;
  pid_t pid = ::getpid();  // the process whose threads these are
};

// A child made by fork() has none of its parent's threads: what it inherited
// is dropped unjoined (a join would wait on a thread that is not there).
void ForgetInheritedLooks(ProbeState& ps) {
  if (ps.pid == ::getpid()) return;
  new std::vector<std::pair<std::shared_ptr<Look>, std::thread>>(std::move(ps.threads));  // never joined
  ps.threads.clear();
  ps.running.clear();
  ps.pid = ::getpid();
}

bool LookDone(Look& look) {
  std::lock_guard<std::mutex> lk(look.m);
  return look.done;
}

// Joins the threads whose looks are done. Caller holds ps.m.
void ReapLooks(ProbeState& ps) {
  std::erase_if(ps.threads, [](auto& t) {
    if (!LookDone(*t.first)) return false;
    t.second.join();
    return true;
  });
}

void JoinLooksAtExit();

ProbeState& Probes() {
  static ProbeState* state = [] {
    std::atexit(JoinLooksAtExit);
    return new ProbeState;  // a look stuck on a dead mount may outlive static destruction
  }();
  return *state;
}

// At exit: join every look that answers within a moment; one stuck on a dead
// mount is let go.
void JoinLooksAtExit() {
  ProbeState& ps = Probes();
  std::vector<std::pair<std::shared_ptr<Look>, std::thread>> threads;
  {
    // Not held while waiting: a look needs the lock to finish.
    std::lock_guard<std::mutex> lk(ps.m);
    ForgetInheritedLooks(ps);
    threads.swap(ps.threads);
  }
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
  for (auto& [look, thread] : threads) {
    std::unique_lock<std::mutex> ll(look->m);
    if (look->cv.wait_until(ll, until, [&] { return look->done; })) {
      ll.unlock();
      thread.join();
    } else {
      thread.detach();
    }
  }
}

void RunLook(const std::string& path, const std::shared_ptr<Look>& look) {
  ProbeState& ps = Probes();
  {
    std::unique_lock<std::mutex> lk(ps.m);
    if (ps.stalls && ps.stalls(path)) {
      const unsigned gen = ps.generation;
      ps.seamChanged.wait(lk, [&] { return ps.generation != gen; });
    }
  }
  const std::string p = NearestExisting(path);
  struct stat st;
  const bool ok = ::stat(p.c_str(), &st) == 0;
  struct statfs sf;
  const bool network =
      ok && ::statfs(p.c_str(), &sf) == 0 && IsNetworkMagic(static_cast<unsigned long>(sf.f_type) & 0xFFFFFFFFUL);
  {
    std::lock_guard<std::mutex> lk(ps.m);
    auto it = ps.running.find(path);
    if (it != ps.running.end() && it->second == look) ps.running.erase(it);
  }
  std::lock_guard<std::mutex> lk(look->m);
  look->done = true;
  look->answered = ok;
  look->network = network;
  look->cv.notify_all();
}

}  // namespace

PathReach ProbePath(const std::string& path, int timeoutMs) {
  if (path.empty()) return PathReach::Unreachable;
  const auto limit = std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  ProbeState& ps = Probes();
  std::shared_ptr<Look> look;
  {
    std::lock_guard<std::mutex> lk(ps.m);
    ForgetInheritedLooks(ps);
    ReapLooks(ps);
    auto it = ps.running.find(path);
    if (it != ps.running.end()) {
      look = it->second;
      // Stuck for longer than a whole limit: the volume is gone for now.
      if (std::chrono::steady_clock::now() - look->started >= limit) return PathReach::Unreachable;
    } else {
      look = std::make_shared<Look>();
      try {
        // On a dead hard mount the look may never return, and the caller
        // must not hang with it: the thread is joined only once it is done.
        ps.threads.emplace_back(look, std::thread([path, look] { RunLook(path, look); }));
      } catch (...) {
        return PathReach::Unreachable;
      }
      ps.running.emplace(path, look);
    }
  }
  std::unique_lock<std::mutex> lk(look->m);
  look->cv.wait_until(lk, look->started + limit, [&] { return look->done; });
  if (!look->done || !look->answered) return PathReach::Unreachable;
  return look->network ? PathReach::Network : PathReach::Local;
}

bool PathAnswers(const std::string& path, int timeoutMs) {
  return !path.empty() && ProbePath(path, timeoutMs) != PathReach::Unreachable;
}

int NetworkProbeLimitMs() {
  ProbeState& ps = Probes();
  std::lock_guard<std::mutex> lk(ps.m);
  return ps.limitMs > 0 ? ps.limitMs : kNetworkProbeMs;
}

void SetPathStallForTesting(std::function<bool(const std::string&)> stalls, int limitMs) {
  ProbeState& ps = Probes();
  std::lock_guard<std::mutex> lk(ps.m);
  ps.stalls = std::move(stalls);
  ps.limitMs = ps.stalls ? limitMs : 0;
  // Looks held up by the old seam are released below; nobody waits on them.
  ps.running.clear();
  ++ps.generation;
  ps.seamChanged.notify_all();
}

std::optional<std::uint64_t> FreeSpace(const std::string& path) {
  struct statvfs sv;
  if (path.empty() || ::statvfs(path.c_str(), &sv) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(sv.f_bavail) * static_cast<std::uint64_t>(sv.f_frsize);
}

std::string ExecutableFolder() {
  std::vector<char> buf(4096);
  for (;;) {
    ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < buf.size()) {
      std::string exe(buf.data(), static_cast<std::size_t>(n));
      std::string parent = ParentFolder(exe);
      return parent.empty() ? std::string("/") : parent;
    }
    buf.resize(buf.size() * 2);
  }
}

std::string ProgramFolder() {
  std::string dir = EnvOrEmpty(kProgramDirVar);
  if (!dir.empty()) {
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
  }
  return ExecutableFolder();
}

std::string TempFolder() {
  std::string tmp = EnvOrEmpty("TMPDIR");
  if (!tmp.empty()) return TrimTrailingSeparator(tmp);
  std::string dir = "/tmp/zorvan-" + std::to_string(::geteuid());
  return detail::EnsurePrivateFolder(dir) ? dir : std::string();
}

std::string AppDataFolder() {
  std::string xdg = EnvOrEmpty("XDG_CONFIG_HOME");
  if (IsAbsolutePath(xdg)) return TrimTrailingSeparator(xdg);
  std::string home = EnvOrEmpty("HOME");
  if (home.empty()) {
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_dir) home = pw->pw_dir;
  }
  if (home.empty()) return {};
  return JoinPath(TrimTrailingSeparator(home), ".config");
}

std::string RuntimeFolder() {
  std::string rt = EnvOrEmpty("XDG_RUNTIME_DIR");
  if (IsAbsolutePath(rt)) return TrimTrailingSeparator(rt);
  return TempFolder();
}

std::string PrivateFolder(std::string_view name) {
  const std::string base = RuntimeFolder();
  if (base.empty() || name.empty() || name.find('/') != std::string_view::npos) return {};
  const std::string dir = JoinPath(base, name);
  return detail::EnsurePrivateFolder(dir) ? dir : std::string();
}

std::string UserName() {
  std::vector<char> buf(16384);
  passwd pw;
  passwd* result = nullptr;
  if (::getpwuid_r(::geteuid(), &pw, buf.data(), buf.size(), &result) == 0 && result && result->pw_name &&
      *result->pw_name)
    return result->pw_name;
  std::string user = EnvOrEmpty("USER");
  if (!user.empty()) return user;
  return std::to_string(::geteuid());
}

std::string ComputerName() {
  char buf[256] = {};
  if (::gethostname(buf, sizeof buf - 1) != 0) return {};
  std::string name(buf);
  std::size_t dot = name.find('.');
  if (dot != std::string::npos) name.resize(dot);
  return name;
}

}  // namespace zv::platform
