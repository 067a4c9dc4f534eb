// Talking to another process of the same user on this computer: one request
// line over a local (unix-domain) socket, whether a process still lives, and
// who owns a file.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zv::platform {

// Connects to the socket at `socketPath`, sends `line` and a line feed and
// reads one answer line (without its line feed). Nothing when the socket
// cannot be reached, the peer closes without a whole line, the answer is
// longer than 256 bytes or `timeoutMs` passes (connect, write and read
// together).
std::optional<std::string> RequestLine(const std::string& socketPath, std::string_view line, int timeoutMs);

// True while a process with this id exists (a zombie counts as gone only
// once reaped).
bool ProcessAlive(int pid);

// The owner's user id of what the path names, not following a final
// symbolic link; nothing when it cannot be looked at.
std::optional<unsigned> OwnerOf(const std::string& path);
// The effective user id of this process.
unsigned EffectiveUser();

}  // namespace zv::platform
