// The private-profile (ini file) functions with Windows semantics.
//
// Reading: sections and keys match without regard to ASCII case, the first
// of duplicates wins, surrounding blanks and one pair of matching quotes are
// dropped, a missing file, section or key gives the default (trailing blanks
// removed). Lines may end in CR LF, LF or a bare CR; a UTF-8 BOM is skipped.
// Repeated reads of an unchanged file come from a cache keyed by path, inode,
// size, modification and change time; a changed file is always read again.
//
// Writing: everything a write does not touch stays byte for byte. A change
// replaces the file atomically. Every read-modify-write holds a lock on a
// hidden sibling lock file from the read to the replacement, so writers in
// other processes and on other computers never lose each other's changes.
// A read-only file is never written.
//
// Groups: BeginGroup(file) opens a write group for the calling thread; the
// writes of that thread to that file then collect in memory (reads of that
// thread see them) and the file is replaced once at Flush(file), which also
// ends the group. The sibling lock is held from BeginGroup to Flush. A write
// outside any group is committed at once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/fs.h"

namespace zv::platform::ini {

using platform::Durability;

std::string GetString(const std::string& file, std::string_view section, std::string_view key,
                      std::string_view defaultValue = {});
// Leading blanks, optional sign, decimal digits up to the first non-digit; a
// present non-numeric value is 0; 32-bit wrap-around, returned as int.
int GetInt(const std::string& file, std::string_view section, std::string_view key, int defaultValue);
// Section names / key names of a section, in file order (first of duplicate
// keys only once).
std::vector<std::string> SectionNames(const std::string& file);
std::vector<std::string> KeyNames(const std::string& file, std::string_view section);
// Every key of a section with its value as GetString would read it, in file
// order -- one parse for a whole section.
std::vector<std::pair<std::string, std::string>> SectionEntries(const std::string& file, std::string_view section);
bool SectionExists(const std::string& file, std::string_view section);

// Sets a key ("" writes "key="). False on failure (read-only file, folder in
// the way, I/O error); the file is then unchanged. Text that would change
// the file's structure is refused the same way: a line break anywhere, "]" in
// a section name, "=" in a key or a key starting with "[".
bool WriteString(const std::string& file, std::string_view section, std::string_view key, std::string_view value);
bool WriteInt(const std::string& file, std::string_view section, std::string_view key, int value);
// Deleting an absent key or section, or anything of a missing file, succeeds.
bool DeleteKey(const std::string& file, std::string_view section, std::string_view key);
bool DeleteSection(const std::string& file, std::string_view section);

// The Windows call shape: a null value deletes the key, a null key the
// section, all three null flush `file`; a null section otherwise fails.
bool WritePrivateProfileString(const char* section, const char* key, const char* value, const std::string& file);

// Write groups (see above). BeginGroup fails when the sibling lock cannot be
// had within timeoutMs (the group is then not open and writes commit at once).
bool BeginGroup(const std::string& file, int timeoutMs = 60'000);
bool InGroup(const std::string& file);
// Commits an open group (or does nothing) and ends it. False when the commit
// failed; the file is then unchanged. `durability` as for
// platform::WriteFileAtomic.
bool Flush(const std::string& file, Durability durability = Durability::Synced);

// Commits the open groups of several files, in the order given, and ends
// them; each folder that received a replacement is synced once at the end
// (Durability::Synced) or not at all (FolderLater); with None nothing is
// synced. False when a commit failed.
bool FlushTogether(const std::vector<std::string>& files, Durability durability = Durability::Synced);

// RAII group: begins in the constructor, flushes in the destructor unless
// Commit() was called.
class WriteGroup {
 public:
  explicit WriteGroup(std::string file, int timeoutMs = 60'000);
  ~WriteGroup();
  WriteGroup(const WriteGroup&) = delete;
  WriteGroup& operator=(const WriteGroup&) = delete;
  bool ok() const { return ok_; }
  // Flushes now; false when the group never opened or the commit failed.
  bool Commit();

 private:
  std::string file_;
  bool ok_ = false;
  bool done_ = false;
};

// Drops every cached parse (tests, or after a process changed its mind).
void ClearCache();

// Name of the hidden sibling lock file guarding writes to `file`:
// "<dir>/.<name>.lock" (the name part shortened to fit a file name). It exists
// only while a writer holds it. Where it cannot be created (a writable file in
// a folder that is not) writers lock the ini file itself instead.
std::string SiblingLockPath(const std::string& file);

}  // namespace zv::platform::ini
