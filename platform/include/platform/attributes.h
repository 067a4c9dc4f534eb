// File attributes: read-only, hidden, creation time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zv::platform {

// Read-only: the owner write bit is clear.
bool IsReadOnly(const std::string& path);
bool SetReadOnly(const std::string& path, bool readOnly);

// Hidden: a leading "."; a name listed in the folder's ".hidden" file; Samba's
// user.DOSATTRIB hidden bit; or one of the system's own transient and lock
// file names ("~.tmp", "~Imp_tmp", "~_Imp_tmp", "*.Locked", "*.Lock",
// "Locked", "Conv_Locked") and office owner files ("~$*").
bool IsHidden(const std::string& path);
// Adds the name to / removes it from the folder's ".hidden" list.
bool SetHidden(const std::string& path, bool hidden);
// The system's own transient names, judged by name alone.
bool IsSystemTransientName(const std::string& name);

// System and temporary bits: only where user.DOSATTRIB carries them.
bool IsSystemOrTemporary(const std::string& path);

// Birth time (statx) in nanoseconds since 1970 where the file system records
// it; otherwise nullopt.
std::optional<std::int64_t> CreationTimeNs(const std::string& path);

// A file's identity for the lock list: its birth time where recorded, else its
// modification time, together with its inode number, as text. (The inode goes
// with the birth time too: birth times have the kernel's coarse tick, so a
// replacement made within the same tick would otherwise look the same.)
std::string FileIdentity(const std::string& path);

}  // namespace zv::platform
