// Paths and places of an installation. Paths are native POSIX byte strings
// joined with "/".
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace zv::platform {

// Environment variable naming the program folder in place of the folder of
// the running executable; child programs inherit it.
inline constexpr const char* kProgramDirVar = "ZORVAN_PROGRAM_DIR";

std::string JoinPath(std::string_view folder, std::string_view name);
// One trailing "/" removed (never from "/" itself).
std::string TrimTrailingSeparator(std::string_view path);
std::string LastComponent(std::string_view path);   // "a/b/c.pdf" -> "c.pdf"
std::string ParentFolder(std::string_view path);    // "a/b/c.pdf" -> "a/b"
std::string Extension(std::string_view path);       // without the dot; "" when none
std::string StripExtension(std::string_view name);  // "c.tar.gz" -> "c.tar"
bool IsAbsolutePath(std::string_view path);

// True when the path lies on a network file system (NFS, CIFS/SMB, FUSE, 9p),
// told by statfs of the path or of its nearest existing ancestor.
bool IsNetworkPath(const std::string& path);
// True when the path (or its nearest existing ancestor) answers a stat within
// timeoutMs; a dead hard mount gives false instead of hanging the caller.
bool PathAnswers(const std::string& path, int timeoutMs);

// Where a path lies, found within a time limit: the statfs and the stat run
// on a helper thread, so a dead hard mount gives Unreachable instead of
// hanging the caller. While an earlier look at the same path is still stuck,
// no further helper is started: the caller waits on that look (and gets
// Unreachable at once when it has been stuck for longer than the limit).
enum class PathReach { Local, Network, Unreachable };
PathReach ProbePath(const std::string& path, int timeoutMs);
// The time limit callers use for a look at a network path: 3 s.
int NetworkProbeLimitMs();

// Test seam: paths for which `stalls` answers true behave as if on a dead
// network mount (the helper's look does not return until the seam is
// replaced), and NetworkProbeLimitMs() gives limitMs when it is positive.
// An empty function restores the real behaviour.
void SetPathStallForTesting(std::function<bool(const std::string&)> stalls, int limitMs = 0);
// Free bytes available to the caller (statvfs f_bavail * f_frsize).
std::optional<std::uint64_t> FreeSpace(const std::string& path);

// Folder of the running executable, or $ZORVAN_PROGRAM_DIR; no trailing "/".
std::string ProgramFolder();
// Folder of the running executable itself (where sibling programs live),
// regardless of the override.
std::string ExecutableFolder();
// $TMPDIR, else /tmp/zorvan-<uid> created 0700 and refused (empty result)
// when it is a symbolic link or owned by someone else.
std::string TempFolder();
// $XDG_CONFIG_HOME, else ~/.config.
std::string AppDataFolder();
// $XDG_RUNTIME_DIR, else the temporary folder.
std::string RuntimeFolder();
// "<RuntimeFolder()>/<name>", a folder of this user only: created with mode
// 0700 (tightened to it when found wider); empty when it cannot be made or
// is a symbolic link or another user's.
std::string PrivateFolder(std::string_view name);
// User name of the process ("root" stands for the Windows SYSTEM account).
std::string UserName();
// Host name without its domain part.
std::string ComputerName();

}  // namespace zv::platform
