// The private-profile functions: a read cache of parsed files, locked
// read-modify-write, and per-thread write groups.
//
// Lock file: a write to "<dir>/<name>" holds an OFD lock on the hidden
// sibling "<dir>/.<name>.lock" from reading the file to replacing it. Where
// that sibling cannot be made (a writable file in a folder we may not write),
// the ini file itself is locked instead and never deleted on release; every
// writer makes the same choice for such a folder, so they still exclude each
// other.
//
// Cache: a parsed file is reused while its path still names the same inode
// with the same size, modification and change time. A file whose change time
// is too close to "now" is not cached: a second change within the same
// timestamp tick (same size, recycled inode) would otherwise look unchanged.
#include "platform/ini.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "fd_util.h"
#include "ini_doc.h"
#include "platform/clock.h"
#include "platform/filelock.h"
#include "platform/fs.h"
#include "platform/iocounts.h"
#include "platform/paths.h"

namespace zv::platform::ini {

using detail::Doc;

namespace {

// A write that gives up loses a setting, so it waits as long as other writers
// may reasonably hold the file: the lock is taken afresh for every write and a
// busy writer in a tight loop can win it again and again (a sanitizer build or
// a loaded machine stretches each turn), so the wait is generous.
constexpr int kWriteLockTimeoutMs = 60'000;
constexpr int kLockPollMs = 5;
constexpr std::int64_t kSettleLocalNs = 100'000'000;      // well above a timestamp tick
constexpr std::int64_t kSettleNetworkNs = 3'000'000'000;  // server clocks drift
constexpr std::size_t kMaxCachedFiles = 256;

enum class Kind { Missing, File, NotFile, Error };

struct Probe {
  Kind kind = Kind::Error;
  FileStamp stamp;
  bool readOnly = false;
};

Probe FromStat(int rc, const struct stat& st) {
  Probe p;
  if (rc != 0) {
    p.kind = (errno == ENOENT || errno == ENOTDIR) ? Kind::Missing : Kind::Error;
    return p;
  }
  if (!S_ISREG(st.st_mode)) {
    p.kind = Kind::NotFile;
    return p;
  }
  p.kind = Kind::File;
  p.stamp = platform::detail::StampOf(st);
  p.readOnly = (st.st_mode & S_IWUSR) == 0;
  return p;
}

Probe StatProbe(const std::string& path) {
  struct stat st;
  int rc = ::stat(path.c_str(), &st);
  return FromStat(rc, st);
}

std::int64_t NowRealNs() {
  struct timespec ts;
  ::clock_gettime(CLOCK_REALTIME, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

bool Settled(const FileStamp& s, bool network) {
  std::int64_t margin = network ? kSettleNetworkNs : kSettleLocalNs;
  std::int64_t newest = s.ctimeNs > s.mtimeNs ? s.ctimeNs : s.mtimeNs;
  return newest < NowRealNs() - margin;
}

// ------------------------------------------------------------------ cache

struct CacheEntry {
  FileStamp stamp;
  std::shared_ptr<const Doc> doc;
  // A file changed too recently to trust its stamp keeps the bytes it was
  // parsed from: a later read that finds the same bytes takes the parse
  // again instead of parsing anew (a big file written often, like the
  // settings file during a batch, would otherwise be parsed for every key).
  bool settled = true;
  std::shared_ptr<const std::string> bytes;
};

struct Cache {
  std::mutex mu;
  std::unordered_map<std::string, CacheEntry> entries;
  std::unordered_map<std::string, bool> network;
};

Cache& TheCache() {
  static Cache* c = new Cache;  // never destroyed: usable from exiting threads
  return *c;
}

bool IsNetwork(const std::string& path) {
  Cache& c = TheCache();
  {
    std::lock_guard<std::mutex> lock(c.mu);
    auto it = c.network.find(path);
    if (it != c.network.end()) return it->second;
  }
  bool net = IsNetworkPath(path);
  std::lock_guard<std::mutex> lock(c.mu);
  if (c.network.size() >= kMaxCachedFiles * 4) c.network.clear();
  c.network[path] = net;
  return net;
}

std::shared_ptr<const Doc> CachedDoc(const std::string& path, const FileStamp& stamp) {
  Cache& c = TheCache();
  std::lock_guard<std::mutex> lock(c.mu);
  auto it = c.entries.find(path);
  if (it == c.entries.end()) return nullptr;
  if (it->second.settled && it->second.stamp == stamp) return it->second.doc;
  if (it->second.settled) c.entries.erase(it);
  return nullptr;
}

// The parse of exactly these bytes of the file, when the cache holds one.
std::shared_ptr<const Doc> CachedParseOf(const std::string& path, std::string_view bytes) {
  Cache& c = TheCache();
  std::lock_guard<std::mutex> lock(c.mu);
  auto it = c.entries.find(path);
  if (it == c.entries.end() || !it->second.bytes || *it->second.bytes != bytes) return nullptr;
  return it->second.doc;
}

void StoreEntry(const std::string& path, CacheEntry entry) {
  Cache& c = TheCache();
  std::lock_guard<std::mutex> lock(c.mu);
  if (c.entries.size() >= kMaxCachedFiles && !c.entries.count(path)) c.entries.erase(c.entries.begin());
  c.entries[path] = std::move(entry);
}

void StoreDoc(const std::string& path, const FileStamp& stamp, std::shared_ptr<const Doc> doc) {
  StoreEntry(path, CacheEntry{stamp, std::move(doc), true, nullptr});
}

// A parse whose stamp cannot be trusted yet, kept with its bytes.
void StoreUnsettled(const std::string& path, std::shared_ptr<const Doc> doc, std::string bytes) {
  StoreEntry(path,
             CacheEntry{FileStamp{}, std::move(doc), false, std::make_shared<const std::string>(std::move(bytes))});
}

void ForgetDoc(const std::string& path) {
  Cache& c = TheCache();
  std::lock_guard<std::mutex> lock(c.mu);
  c.entries.erase(path);
}

struct Loaded {
  Kind kind = Kind::Error;
  std::shared_ptr<const Doc> doc;  // set when kind is File
  bool readOnly = false;
};

// The file as it is now: from the cache when its stamp still matches,
// otherwise read (and parsed) again. On a network file system the file is
// opened before the cache is trusted, so the client revalidates its
// attributes with the server.
Loaded LoadDoc(const std::string& path) {
  Loaded out;
  if (path.empty()) return out;
  bool network = IsNetwork(path);
  std::shared_ptr<const Doc> unsettled;
  for (int attempt = 0; attempt < 5; ++attempt) {
    if (!network) {
      Probe p = StatProbe(path);
      out.kind = p.kind;
      out.readOnly = p.readOnly;
      if (p.kind != Kind::File) {
        if (p.kind == Kind::Missing) ForgetDoc(path);
        return out;
      }
      if (auto doc = CachedDoc(path, p.stamp)) {
        out.doc = std::move(doc);
        return out;
      }
    }
    // O_NONBLOCK: a FIFO planted under the name must not hang the reader.
    platform::detail::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    Probe before = FromStat(fd.valid() ? ::fstat(fd.get(), &st) : -1, st);
    out.kind = before.kind;
    out.readOnly = before.readOnly;
    if (before.kind != Kind::File) {
      if (before.kind == Kind::Missing) ForgetDoc(path);
      return out;
    }
    if (network) {
      if (auto doc = CachedDoc(path, before.stamp)) {
        out.doc = std::move(doc);
        return out;
      }
    }
    std::string bytes;
    if (!platform::detail::ReadAll(fd.get(), bytes)) {
      out.kind = Kind::Error;
      return out;
    }
    Probe after = FromStat(::fstat(fd.get(), &st), st);
    std::shared_ptr<const Doc> doc = CachedParseOf(path, bytes);
    const bool known = doc != nullptr;
    if (!doc) doc = Doc::Parse(bytes);
    if (after.kind == Kind::File && after.stamp == before.stamp) {
      if (Settled(after.stamp, network)) {
        StoreDoc(path, after.stamp, doc);
      } else if (!known) {
        StoreUnsettled(path, doc, std::move(bytes));
      }
      out.doc = std::move(doc);
      return out;
    }
    // Rewritten in place while we read: read it again.
    unsettled = std::move(doc);
  }
  out.doc = std::move(unsettled);
  return out;
}

// ------------------------------------------------------------------ paths

// The canonical spelling of a folder: the path the kernel keeps for an open
// handle on it (one readlink for the whole path), or realpath's answer
// (a readlink per component) where /proc is not there to ask.
std::optional<std::string> CanonicalFolder(const std::string& folder) {
  platform::detail::UniqueFd fd(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!fd.valid()) return std::nullopt;
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd.get());
  std::string buf(PATH_MAX, '\0');
  const ssize_t n = ::readlink(link, buf.data(), buf.size());
  if (n > 0 && static_cast<std::size_t>(n) < buf.size() && buf[0] == '/') {
    buf.resize(static_cast<std::size_t>(n));
    // A folder removed meanwhile reads " (deleted)": let realpath fail on it.
    constexpr std::string_view kDeleted = " (deleted)";
    if (buf.size() < kDeleted.size() || buf.compare(buf.size() - kDeleted.size(), kDeleted.size(), kDeleted) != 0)
      return buf;
  }
  char* real = ::realpath(folder.c_str(), nullptr);
  if (!real) return std::nullopt;
  std::string r = real;
  std::free(real);
  return r;
}

// The file a write really changes: a symbolic link is followed to its file,
// and the folder is spelled canonically, so that every spelling of one file
// shares one lock and one write group.
std::string ResolveTarget(const std::string& file) {
  platform::detail::NotePathResolution();
  struct stat st;
  if (::lstat(file.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = ::realpath(file.c_str(), nullptr)) {
      std::string r = real;
      std::free(real);
      return r;
    }
    return file;
  }
  std::string parent = ParentFolder(file);
  if (parent.empty()) parent = (!file.empty() && file[0] == '/') ? "/" : ".";
  const std::optional<std::string> real = CanonicalFolder(parent);
  if (!real) return file;
  return JoinPath(*real, LastComponent(file));
}

// ------------------------------------------------------------------ locking

class IniLock {
 public:
  IniLock() = default;
  IniLock(HeldLock held, bool onFile) : held_(std::move(held)), onFile_(onFile) {}
  IniLock(IniLock&& o) noexcept : held_(std::move(o.held_)), onFile_(o.onFile_) {}
  IniLock& operator=(IniLock&&) = delete;
  IniLock(const IniLock&) = delete;
  IniLock& operator=(const IniLock&) = delete;
  ~IniLock() {
    // The ini file itself must never be deleted on release.
    if (onFile_) {
      held_.CloseOnly();
    } else {
      held_.Release();
    }
  }
  bool valid() const { return held_.valid(); }

 private:
  HeldLock held_;
  bool onFile_ = false;
};

IniLock AcquireIniLock(const std::string& target, int timeoutMs) {
  const std::string lockPath = SiblingLockPath(target);
  std::string dir = ParentFolder(target);
  if (dir.empty()) dir = (!target.empty() && target[0] == '/') ? "/" : ".";
  const std::int64_t start = SteadyMs();
  for (;;) {
    if (HeldLock h = HeldLock::TryAcquire(lockPath)) return IniLock(std::move(h), false);
    if (!IsFolder(dir)) return {};
    if (::access(dir.c_str(), W_OK) != 0 && !Exists(lockPath)) {
      // No sibling can be made here: lock the file itself.
      if (!IsFile(target)) return {};
      if (HeldLock h = HeldLock::TryAcquire(target)) return IniLock(std::move(h), true);
    }
    if (SteadyMs() - start >= timeoutMs) return {};
    SleepMs(kLockPollMs);
  }
}

// ------------------------------------------------------------------ groups

struct Group {
  IniLock lock;
  std::unique_ptr<Doc> doc;
  bool dirty = false;
  bool readOnly = false;
  // The folder the target lies in (device and inode) and its name: another
  // spelling names this target when it is no link and names that folder
  // and that name.
  dev_t folderDev = 0;
  ino_t folderIno = 0;
  std::string name;
};

// Write groups belong to the thread that opened them; keyed by resolved target.
thread_local std::unordered_map<std::string, Group> t_groups;

// Device and inode of the folder a spelling's last component lies in.
bool FolderIdentity(const std::string& file, dev_t& dev, ino_t& ino) {
  std::string parent = ParentFolder(file);
  if (parent.empty()) parent = (!file.empty() && file[0] == '/') ? "/" : ".";
  struct stat st;
  if (::stat(parent.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  dev = st.st_dev;
  ino = st.st_ino;
  return true;
}

// The open group of this thread that `file` names, if any. Every call looks
// at the file system afresh (a link swapped meanwhile is noticed), but
// cheaply: a spelling that is no link needs its folder's identity only when
// its name is one of a group's, and only a link is resolved in full. With
// `target` the resolved target is returned when it was worked out (empty
// otherwise).
Group* FindGroup(const std::string& file, std::string* target = nullptr) {
  if (t_groups.empty()) return nullptr;
  struct stat st;
  const bool link = ::lstat(file.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
  if (!link) {
    const std::string name = LastComponent(file);
    bool named = false, unnamed = false;  // unnamed: a group to be found by its full spelling only
    for (const auto& entry : t_groups) {
      unnamed = unnamed || entry.second.name.empty();
      named = named || entry.second.name == name;
    }
    if (!named && !unnamed) return nullptr;
    dev_t dev = 0;
    ino_t ino = 0;
    if (named && FolderIdentity(file, dev, ino)) {
      for (auto& [key, group] : t_groups) {
        if (group.name == name && group.folderDev == dev && group.folderIno == ino) {
          if (target) *target = key;
          return &group;
        }
      }
      if (!unnamed) return nullptr;
    }
  }
  std::string t = ResolveTarget(file);
  auto it = t_groups.find(t);
  if (target) *target = std::move(t);
  return it == t_groups.end() ? nullptr : &it->second;
}

// ------------------------------------------------------------------ helpers

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

// Names and values that would change the file's structure when written are
// refused: a line break would smuggle in lines (even sections), "=" in a key
// would split it elsewhere, a key starting with "[" would read as a section,
// and "]" in a section name would cut it short.
bool ValidSection(std::string_view section) {
  return !HasLineBreak(section) && section.find(']') == std::string_view::npos;
}
bool ValidKey(std::string_view key) {
  std::string_view k = detail::TrimBlanks(key);
  return !HasLineBreak(k) && k.find('=') == std::string_view::npos && (k.empty() || k[0] != '[');
}
bool ValidValue(std::string_view value) { return !HasLineBreak(value); }

// Applies a change to the file: inside an open group of this thread to the
// pending image, otherwise as one locked read-modify-write.
bool Change(const std::string& file, bool createsFile, const std::function<bool(Doc&)>& change) {
  if (file.empty()) return false;
  std::string target;
  if (Group* g = FindGroup(file, &target)) {
    if (g->readOnly) return false;
    if (change(*g->doc)) g->dirty = true;
    return true;
  }
  if (target.empty()) target = ResolveTarget(file);
  Probe p = StatProbe(target);
  if (p.kind == Kind::NotFile || p.kind == Kind::Error) return false;
  if (p.kind == Kind::Missing && !createsFile) return true;
  if (p.kind == Kind::File && p.readOnly) return false;

  IniLock lock = AcquireIniLock(target, kWriteLockTimeoutMs);
  if (!lock.valid()) return false;
  Loaded l = LoadDoc(target);
  if (l.kind == Kind::Missing && !createsFile) return true;
  if (l.kind != Kind::File && l.kind != Kind::Missing) return false;
  if (l.kind == Kind::File && l.readOnly) return false;
  std::unique_ptr<Doc> doc = l.doc ? std::make_unique<Doc>(*l.doc) : std::make_unique<Doc>();
  if (!change(*doc)) return true;  // nothing to do
  std::string bytes = doc->Serialize();
  bool ok = WriteFileAtomic(target, bytes);
  ForgetDoc(target);
  if (ok) StoreUnsettled(target, std::shared_ptr<const Doc>(std::move(doc)), std::move(bytes));
  return ok;
}

template <typename F>
auto WithDoc(const std::string& file, F&& f) {
  if (Group* g = FindGroup(file)) return f(static_cast<const Doc*>(g->doc.get()));
  Loaded l = LoadDoc(file);
  return f(l.doc.get());
}

}  // namespace

// ------------------------------------------------------------------ reading

std::string GetString(const std::string& file, std::string_view section, std::string_view key,
                      std::string_view defaultValue) {
  auto raw = WithDoc(
      file, [&](const Doc* d) -> std::optional<std::string> { return d ? d->RawValue(section, key) : std::nullopt; });
  if (!raw) return std::string(detail::TrimBlanksRight(defaultValue));
  return std::string(detail::Unquote(*raw));
}

int GetInt(const std::string& file, std::string_view section, std::string_view key, int defaultValue) {
  std::string s = GetString(file, section, key, {});
  // An absent key, like an empty value, reads as the default (Windows reads
  // the text first and falls back on the default when it is empty).
  if (s.empty()) return defaultValue;
  std::size_t i = 0;
  while (i < s.size() && detail::IsBlank(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  std::uint32_t v = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) v = v * 10u + static_cast<std::uint32_t>(s[i] - '0');
  if (negative) v = 0u - v;
  return static_cast<int>(v);
}

std::vector<std::string> SectionNames(const std::string& file) {
  return WithDoc(file, [](const Doc* d) { return d ? d->SectionNames() : std::vector<std::string>{}; });
}

std::vector<std::string> KeyNames(const std::string& file, std::string_view section) {
  return WithDoc(file, [&](const Doc* d) { return d ? d->KeyNames(section) : std::vector<std::string>{}; });
}

std::vector<std::pair<std::string, std::string>> SectionEntries(const std::string& file, std::string_view section) {
  return WithDoc(
      file, [&](const Doc* d) { return d ? d->Entries(section) : std::vector<std::pair<std::string, std::string>>{}; });
}

bool SectionExists(const std::string& file, std::string_view section) {
  return WithDoc(file, [&](const Doc* d) { return d && d->HasSection(section); });
}

// ------------------------------------------------------------------ writing

bool WriteString(const std::string& file, std::string_view section, std::string_view key, std::string_view value) {
  if (!ValidSection(section) || !ValidKey(key) || !ValidValue(value)) return false;
  return Change(file, true, [&](Doc& d) { return d.Set(section, key, value); });
}

bool WriteInt(const std::string& file, std::string_view section, std::string_view key, int value) {
  return WriteString(file, section, key, std::to_string(value));
}

bool DeleteKey(const std::string& file, std::string_view section, std::string_view key) {
  return Change(file, false, [&](Doc& d) { return d.RemoveKey(section, key); });
}

bool DeleteSection(const std::string& file, std::string_view section) {
  return Change(file, false, [&](Doc& d) { return d.RemoveSection(section); });
}

bool WritePrivateProfileString(const char* section, const char* key, const char* value, const std::string& file) {
  if (!section && !key && !value) return Flush(file);
  if (!section) return false;
  if (!key) return DeleteSection(file, section);
  if (!value) return DeleteKey(file, section, key);
  return WriteString(file, section, key, value);
}

// ------------------------------------------------------------------ groups

bool BeginGroup(const std::string& file, int timeoutMs) {
  if (file.empty()) return false;
  std::string target = ResolveTarget(file);
  if (t_groups.count(target)) return true;  // already open: the first Flush ends it
  Probe p = StatProbe(target);
  if (p.kind == Kind::NotFile || p.kind == Kind::Error) return false;
  IniLock lock = AcquireIniLock(target, timeoutMs);
  if (!lock.valid()) return false;
  Loaded l = LoadDoc(target);
  if (l.kind != Kind::File && l.kind != Kind::Missing) return false;
  Group g{std::move(lock),
          l.doc ? std::make_unique<Doc>(*l.doc) : std::make_unique<Doc>(),
          false,
          l.kind == Kind::File && l.readOnly,
          0,
          0,
          LastComponent(target)};
  // Without the folder's identity the group is found by its full spelling.
  if (!FolderIdentity(target, g.folderDev, g.folderIno)) g.name.clear();
  t_groups.emplace(std::move(target), std::move(g));
  return true;
}

bool InGroup(const std::string& file) { return FindGroup(file) != nullptr; }

bool Flush(const std::string& file, Durability durability) {
  if (file.empty()) return false;
  std::string target;
  if (!FindGroup(file, &target)) return true;  // nothing pending
  auto it = t_groups.find(target);
  if (it == t_groups.end()) return true;
  bool ok = true;
  if (it->second.dirty) {
    std::string bytes = it->second.doc->Serialize();
    ok = WriteFileAtomic(it->first, bytes, durability);
    ForgetDoc(it->first);
    // The next read finds these bytes and takes this image instead of a parse.
    if (ok) StoreUnsettled(it->first, std::shared_ptr<const Doc>(std::move(it->second.doc)), std::move(bytes));
  }
  t_groups.erase(it);  // releases the lock after the replacement
  return ok;
}

bool FlushTogether(const std::vector<std::string>& files, Durability durability) {
  bool ok = true;
  std::vector<std::string> folders;
  for (const std::string& file : files) {
    std::string target;
    Group* g = file.empty() ? nullptr : FindGroup(file, &target);
    if (!g) continue;
    const bool dirty = g->dirty;
    if (!Flush(target, durability == Durability::None ? Durability::None : Durability::FolderLater)) {
      ok = false;
    } else if (dirty) {
      std::string folder = ParentFolder(target);
      if (folder.empty()) folder = (!target.empty() && target[0] == '/') ? "/" : ".";
      if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(folder);
    }
  }
  if (durability == Durability::Synced)
    for (const std::string& folder : folders) SyncFolder(folder);
  return ok;
}

WriteGroup::WriteGroup(std::string file, int timeoutMs) : file_(std::move(file)) { ok_ = BeginGroup(file_, timeoutMs); }

WriteGroup::~WriteGroup() {
  if (!done_ && ok_) Flush(file_);
}

// False when the group never opened (its writes were then committed one by
// one) or when the commit failed.
bool WriteGroup::Commit() {
  if (done_) return ok_;
  done_ = true;
  if (!ok_) return false;
  ok_ = Flush(file_);
  return ok_;
}

void ClearCache() {
  Cache& c = TheCache();
  std::lock_guard<std::mutex> lock(c.mu);
  c.entries.clear();
  c.network.clear();
}

std::string SiblingLockPath(const std::string& file) {
  std::string name = LastComponent(file);
  std::string dir = ParentFolder(file);
  constexpr std::size_t kExtra = 1 + 5;  // "." and ".lock"
  if (name.size() + kExtra > NAME_MAX) name.resize(NAME_MAX - kExtra);
  std::string lockName = "." + name + ".lock";
  if (dir.empty()) return (!file.empty() && file[0] == '/') ? "/" + lockName : lockName;
  return JoinPath(dir, lockName);
}

}  // namespace zv::platform::ini
