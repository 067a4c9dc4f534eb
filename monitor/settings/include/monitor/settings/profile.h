// The one access path to every ini file of the monitor: the settings file,
// the status file, the result-area copies, the viewer's files.
//
// Reads take no lock. Writes made between AcquireEnvLock and ReleaseEnvLock
// (or inside an EnvLockGuard) collect in one write group per file and replace
// the file once when the group is flushed; a write outside any group is
// committed at once.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zv::monitor {

// Text form: the value with surrounding blanks and one pair of matching
// quotes removed; `defaultValue` for a missing file, section or key.
std::string ProfileRead(std::string_view section, std::string_view key, std::string_view defaultValue,
                        const std::string& file);
// Integer form: decimal with the usual profile rules (a present non-number
// reads 0, 32-bit wrap-around).
int ProfileRead(std::string_view section, std::string_view key, int defaultValue, const std::string& file);

// Section names of the file / key names of a section, in file order.
std::vector<std::string> ProfileSections(const std::string& file);
std::vector<std::string> ProfileKeys(std::string_view section, const std::string& file);

// Sets a key. False when the file could not be written (it is then unchanged).
bool ProfileWrite(std::string_view section, std::string_view key, std::string_view value, const std::string& file);
bool ProfileWrite(std::string_view section, std::string_view key, int value, const std::string& file);
// The raw call shape: a null value deletes the key, a null key the whole
// section, and section, key and value all null flush the file (commit its
// open write group).
// (Named apart from ProfileWrite so a literal 0 value stays unambiguous.)
bool ProfileWriteRaw(const char* section, const char* key, const char* value, const std::string& file);

bool ProfileDeleteKey(std::string_view section, std::string_view key, const std::string& file);
bool ProfileDeleteSection(std::string_view section, const std::string& file);
// Commits the file's open write group (nothing when none is open).
bool ProfileFlush(const std::string& file);

}  // namespace zv::monitor
