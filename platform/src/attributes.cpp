// File attributes: read-only, hidden, system/temporary, creation time.
#include "platform/attributes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/clock.h"
#include "platform/filelock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace zv::platform {

namespace {

constexpr std::uint32_t kDosHidden = 0x2;
constexpr std::uint32_t kDosSystem = 0x4;
constexpr std::uint32_t kDosTemporary = 0x100;
constexpr const char* kHiddenList = ".hidden";

std::string NameOf(const std::string& path) { return LastComponent(TrimTrailingSeparator(path)); }

std::string FolderOf(const std::string& path) {
  std::string parent = ParentFolder(TrimTrailingSeparator(path));
  if (parent.empty()) return IsAbsolutePath(path) ? "/" : ".";
  return parent;
}

// Samba keeps DOS attributes in user.DOSATTRIB; the value starts with the
// attribute as hexadecimal text ("0x22"), possibly followed by a binary
// record. Nothing readable: nullopt.
std::optional<std::uint32_t> DosAttributes(const std::string& path) {
  char buf[256];
  ssize_t n = ::getxattr(path.c_str(), "user.DOSATTRIB", buf, sizeof buf);
  if (n < 3) return std::nullopt;
  std::string_view v(buf, static_cast<std::size_t>(n));
  if (v[0] != '0' || (v[1] != 'x' && v[1] != 'X')) return std::nullopt;
  std::uint32_t value = 0;
  std::size_t digits = 0;
  for (std::size_t i = 2; i < v.size() && digits < 8; ++i, ++digits) {
    char c = v[i];
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      break;
    value = value * 16 + static_cast<std::uint32_t>(d);
  }
  if (digits == 0) return std::nullopt;
  return value;
}

// The names in a folder's ".hidden" list, one per line (CR LF accepted).
std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t nl = text.find('\n', start);
    std::size_t end = nl == std::string::npos ? text.size() : nl;
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    if (nl == std::string::npos) break;
    start = nl + 1;
  }
  return lines;
}

bool ListedInHiddenFile(const std::string& folder, const std::string& name) {
  std::optional<std::string> text = ReadFile(JoinPath(folder, kHiddenList));
  if (!text) return false;
  for (const auto& line : SplitLines(*text))
    if (line == name) return true;
  return false;
}

// Takes the sibling lock of the ".hidden" file, polling briefly.
HeldLock LockHiddenList(const std::string& listPath) {
  const std::string lockPath = ini::SiblingLockPath(listPath);
  for (int attempt = 0; attempt < 100; ++attempt) {
    HeldLock lock = HeldLock::TryAcquire(lockPath);
    if (lock) return lock;
    SleepMs(50);
  }
  return {};
}

}  // namespace

bool IsReadOnly(const std::string& path) {
  struct stat st;
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return false;
  return (st.st_mode & S_IWUSR) == 0;
}

bool SetReadOnly(const std::string& path, bool readOnly) {
  struct stat st;
  if (path.empty() || ::stat(path.c_str(), &st) != 0) return false;
  mode_t mode = st.st_mode & 07777;
  mode_t wanted = readOnly ? (mode & ~static_cast<mode_t>(S_IWUSR)) : (mode | S_IWUSR);
  if (wanted == mode) return true;
  return ::chmod(path.c_str(), wanted) == 0;
}

bool IsSystemTransientName(const std::string& name) {
  if (name.empty()) return false;
  if (EqualsNoCase(name, "~.tmp") || EqualsNoCase(name, "~Imp_tmp") || EqualsNoCase(name, "~_Imp_tmp") ||
      EqualsNoCase(name, "Locked") || EqualsNoCase(name, "Conv_Locked") || EqualsNoCase(name, "~Imp_Locked"))
    return true;
  if (name.size() >= 2 && name[0] == '~' && name[1] == '$') return true;  // office owner file
  auto endsWith = [&](std::string_view suffix) {
    return name.size() > suffix.size() &&
           EqualsNoCase(std::string_view(name).substr(name.size() - suffix.size()), suffix);
  };
  return endsWith(".Locked") || endsWith(".Lock");
}

bool IsHidden(const std::string& path) {
  std::string name = NameOf(path);
  if (name.empty() || name == "/") return false;
  if (name[0] == '.' && name != "." && name != "..") return true;
  if (IsSystemTransientName(name)) return true;
  if (ListedInHiddenFile(FolderOf(path), name)) return true;
  std::optional<std::uint32_t> dos = DosAttributes(path);
  return dos && (*dos & kDosHidden) != 0;
}

bool SetHidden(const std::string& path, bool hidden) {
  std::string name = NameOf(path);
  if (name.empty() || name == "." || name == ".." || name == "/") return false;
  struct stat st;
  if (::lstat(TrimTrailingSeparator(path).c_str(), &st) != 0) return false;
  if (name[0] == '.') return hidden;  // a dot name is always hidden
  const std::string listPath = JoinPath(FolderOf(path), kHiddenList);
  HeldLock lock = LockHiddenList(listPath);
  if (!lock) return false;
  std::optional<std::string> text = ReadFile(listPath);
  std::vector<std::string> lines = text ? SplitLines(*text) : std::vector<std::string>{};
  bool listed = false;
  std::vector<std::string> kept;
  for (auto& line : lines) {
    if (line == name) {
      listed = true;
      if (!hidden) continue;
    }
    kept.push_back(std::move(line));
  }
  bool ok = true;
  if (hidden != listed) {
    if (hidden) kept.push_back(name);
    std::string out;
    for (const auto& line : kept) {
      if (line.empty()) continue;
      out += line;
      out += '\n';
    }
    ok = WriteFileAtomic(listPath, out);
  }
  lock.Release();
  return ok;
}

bool IsSystemOrTemporary(const std::string& path) {
  std::optional<std::uint32_t> dos = DosAttributes(path);
  return dos && (*dos & (kDosSystem | kDosTemporary)) != 0;
}

std::optional<std::int64_t> CreationTimeNs(const std::string& path) {
  if (path.empty()) return std::nullopt;
  struct statx sx;
  if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME, &sx) != 0) return std::nullopt;
  if ((sx.stx_mask & STATX_BTIME) == 0) return std::nullopt;
  return static_cast<std::int64_t>(sx.stx_btime.tv_sec) * 1'000'000'000 + sx.stx_btime.tv_nsec;
}

std::string FileIdentity(const std::string& path) {
  std::optional<FileStamp> s = Stamp(path);
  if (!s) return {};
  // Birth times come from a coarse kernel clock: two files made within one
  // tick share one, so the inode number always goes with the time.
  std::optional<std::int64_t> birth = CreationTimeNs(path);
  return std::to_string(birth ? *birth : s->mtimeNs) + "-" + std::to_string(s->inode);
}

}  // namespace zv::platform
