#include <charconv>
#include <ostream>

#include "monitor/settings/env_lock.h"
#include "monitor/settings/profile.h"
#include "monitor/settings/tools.h"

namespace zv::monitor {

namespace {

void Usage(std::ostream& err) {
  err << "usage: iniprofile [--env-lock FOLDER] COMMAND ...\n"
         "  get FILE SECTION KEY [DEFAULT]\n"
         "  getint FILE SECTION KEY DEFAULT\n"
         "  set FILE SECTION KEY VALUE\n"
         "  delete FILE SECTION [KEY]\n"
         "  sections FILE\n"
         "  keys FILE SECTION\n";
}

bool ParseInt(const std::string& s, int& out) {
  const char* b = s.data();
  const char* e = s.data() + s.size();
  auto [p, ec] = std::from_chars(b, e, out);
  return ec == std::errc() && p == e;
}

}  // namespace

int RunIniProfile(const std::vector<std::string>& argsIn, std::ostream& out, std::ostream& err) {
  std::vector<std::string> args = argsIn;
  std::string lockFolder;
  if (!args.empty() && args[0] == "--env-lock") {
    if (args.size() < 2 || args[1].empty()) {
      Usage(err);
      return 2;
    }
    lockFolder = args[1];
    args.erase(args.begin(), args.begin() + 2);
  }
  if (args.empty()) {
    Usage(err);
    return 2;
  }
  const std::string& cmd = args[0];
  const std::size_t n = args.size();

  if (cmd == "get" && (n == 4 || n == 5)) {
    out << ProfileRead(args[2], args[3], n == 5 ? args[4] : std::string(), args[1]) << '\n';
    return 0;
  }
  if (cmd == "getint" && n == 5) {
    int def = 0;
    if (!ParseInt(args[4], def)) {
      err << "iniprofile: DEFAULT must be an integer: " << args[4] << '\n';
      return 2;
    }
    out << ProfileRead(args[2], args[3], def, args[1]) << '\n';
    return 0;
  }
  if (cmd == "sections" && n == 2) {
    for (const std::string& s : ProfileSections(args[1])) out << s << '\n';
    return 0;
  }
  if (cmd == "keys" && n == 3) {
    for (const std::string& k : ProfileKeys(args[2], args[1])) out << k << '\n';
    return 0;
  }

  const bool isSet = cmd == "set" && n == 5;
  const bool isDelete = cmd == "delete" && (n == 3 || n == 4);
  if (!isSet && !isDelete) {
    Usage(err);
    return 2;
  }
  const std::string& file = args[1];
  bool ok = false;
  if (!lockFolder.empty()) {
    EnvLockGuard guard(lockFolder, {file});
    if (!guard.locked()) err << "iniprofile: environment lock not taken, writing anyway\n";
    if (isSet) {
      ok = ProfileWrite(args[2], args[3], args[4], file);
    } else {
      ok = n == 4 ? ProfileDeleteKey(args[2], args[3], file) : ProfileDeleteSection(args[2], file);
    }
    ok = guard.Commit() && ok;
  } else if (isSet) {
    ok = ProfileWrite(args[2], args[3], args[4], file);
  } else {
    ok = n == 4 ? ProfileDeleteKey(args[2], args[3], file) : ProfileDeleteSection(args[2], file);
  }
  if (!ok) {
    err << "iniprofile: cannot write " << file << '\n';
    return 1;
  }
  return 0;
}

}  // namespace zv::monitor
