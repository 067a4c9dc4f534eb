#include "monitor/settings/lock_list.h"

#include "monitor/settings/profile.h"
#include "platform/text.h"

namespace zv::monitor {

namespace {
std::string Key(const char* name, int j) { return name + std::to_string(j); }
}  // namespace

std::vector<LockListEntry> ReadLockList(const std::string& f) {
  std::vector<LockListEntry> entries;
  const int total = ProfileRead(kLockListSection, "SetTotal", 0, f);
  for (int j = 1; j <= total; ++j) {
    LockListEntry e;
    e.file = ProfileRead(kLockListSection, Key("File", j), "", f);
    e.date = std::string(platform::Utf8CutBytes(ProfileRead(kLockListSection, Key("Date", j), "", f), 23));
    e.result = ProfileRead(kLockListSection, Key("Result", j), -9, f);
    e.readState = ProfileRead(kLockListSection, Key("ReadState", j), kReadStateDone, f);
    e.binder = ProfileRead(kLockListSection, Key("Binder", j), "", f);
    e.pages = ProfileRead(kLockListSection, Key("Pages", j), -1, f);
    entries.push_back(std::move(e));
  }
  return entries;
}

int FindLockListEntry(const std::vector<LockListEntry>& entries, const std::string& path) {
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (!entries[i].file.empty() && platform::EqualsNoCase(entries[i].file, path)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

namespace {
bool WriteEntry(const std::string& f, int j, const LockListEntry& e) {
  bool ok = ProfileWrite(kLockListSection, Key("File", j), e.file, f);
  ok = ProfileWrite(kLockListSection, Key("Date", j), e.date, f) && ok;
  ok = ProfileWrite(kLockListSection, Key("Result", j), e.result, f) && ok;
  ok = ProfileWrite(kLockListSection, Key("ReadState", j), e.readState, f) && ok;
  if (!e.binder.empty()) {
    ok = ProfileWrite(kLockListSection, Key("Binder", j), e.binder, f) && ok;
    ok = ProfileWrite(kLockListSection, Key("Pages", j), e.pages, f) && ok;
  } else {
    // Renumbering must not leave another entry's pages under this number.
    for (const char* name : {"Binder", "Pages"}) ok = ProfileDeleteKey(kLockListSection, Key(name, j), f) && ok;
  }
  return ok;
}
}  // namespace

bool WriteLockList(const std::string& f, const std::vector<LockListEntry>& entries, int previousTotal) {
  bool ok = true;
  int j = 1;
  for (const LockListEntry& e : entries) ok = WriteEntry(f, j++, e) && ok;
  for (; j <= previousTotal; ++j) {
    for (const char* name : {"File", "Date", "Result", "ReadState", "Binder", "Pages"}) {
      ok = ProfileDeleteKey(kLockListSection, Key(name, j), f) && ok;
    }
  }
  ok = ProfileWrite(kLockListSection, "SetTotal", static_cast<int>(entries.size()), f) && ok;
  return ok;
}

bool AppendLockListEntry(const std::string& f, const LockListEntry& entry) {
  const int total = ProfileRead(kLockListSection, "SetTotal", 0, f);
  const int j = (total < 0 ? 0 : total) + 1;
  if (!ProfileWrite(kLockListSection, "SetTotal", j, f)) return false;
  return WriteEntry(f, j, entry);
}

bool UpdateLockListEntry(const std::string& f, int j, int result, int readState) {
  bool ok = ProfileWrite(kLockListSection, Key("Result", j), result, f);
  return ProfileWrite(kLockListSection, Key("ReadState", j), readState, f) && ok;
}

}  // namespace zv::monitor
