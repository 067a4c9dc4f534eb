// Test helper: one "computer" of the import-list tests.
//   implist_helper write <first> <count> <baseUnixSeconds> <pc> <link>
//     writes result files as the monitor does (under ~ImpList.Locked, one
//     exclusive name per second, then LastImpTime), record i addressed to
//     Taro (i%3==0), Hanako (1) or both (2).
//   implist_helper collect <passes> [<step> <nth>]
//     runs collation passes; with a step the process kills itself with
//     SIGKILL at the nth time the pass reaches that step.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "implist/collate.h"
#include "platform/filelock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"

namespace ini = zv::platform::ini;

static std::string Stamp(std::int64_t s) {
  std::time_t t = static_cast<std::time_t>(s);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y%m%d%H%M%S", &tm);
  return buf;
}

static int Write(int first, int count, std::int64_t base, const std::string& pc, const std::string& link) {
  const std::string program = zv::platform::ProgramFolder();
  const std::string rslt = zv::platform::JoinPath(program, "Rslt");
  const std::string env = zv::platform::JoinPath(program, "EnvSetInfo.ini");
  zv::platform::MakeFolders(rslt);
  for (int i = first; i < first + count; ++i) {
    zv::platform::HeldLock lock = zv::platform::AcquireShortLockFile(rslt, "~ImpList.Locked", 30);
    if (!lock) return 3;
    std::string stamp, path;
    for (std::int64_t s = base + i / 2;; ++s) {
      stamp = Stamp(s);
      path = zv::platform::JoinPath(rslt, "ImpRslt_" + stamp + ".ini");
      if (zv::platform::CreateExclusive(path)) break;
    }
    const char* users = i % 3 == 0 ? "Taro," : i % 3 == 1 ? "Hanako," : "Taro,Hanako,";
    {
      ini::WriteGroup g(path);
      auto w = [&](const char* k, const std::string& v) { ini::WriteString(path, "Rslt", k, v); };
      w("Time", stamp);
      w("HostName", "fileserver");
      w("File", "/scan/" + pc + "/" + std::to_string(i) + ".pdf");
      w("Name", "doc " + std::to_string(i));
      w("Result", "1");
      w("Binder", "Inbox");
      w("Index", "Lib\\Cab");
      w("BinderPath", link + "/Lib/Cab/Inbox");
      w("LinkFolderPath", link);
      w("LinkFolderName", "Shared");
      w("SetNumber", "1");
      w("Keyword", "0");
      w("ImpUser1", users);
      w("ParentPCName", pc);
      w("ImpMode", "0");
      w("UserName", pc + "-user");
      if (!g.Commit()) return 4;
    }
    {
      ini::WriteGroup g(env);
      if (ini::GetString(env, "option", "LastImpTime") < stamp) ini::WriteString(env, "option", "LastImpTime", stamp);
    }
    zv::platform::ReleaseLockFile(lock, rslt, "~ImpList.Locked");
  }
  return 0;
}

int main(int argc, char** argv) {
  if (argc < 2) return 64;
  const std::string mode = argv[1];
  if (mode == "write" && argc == 7)
    return Write(std::atoi(argv[2]), std::atoi(argv[3]), std::atoll(argv[4]), argv[5], argv[6]);
  if (mode != "collect" || argc < 3) return 64;
  if (argc == 5) {
    static std::string step = argv[3];
    static int nth = std::atoi(argv[4]);
    zv::implist::SetStepHookForTesting([](std::string_view s) {
      if (s == step && --nth <= 0) ::kill(::getpid(), SIGKILL);
    });
  }
  std::atomic<bool> stop{false};
  int bad = 0;
  for (int i = 0; i < std::atoi(argv[2]); ++i) {
    const auto r = zv::implist::RunPass(zv::implist::SurveyConfig::Load(), stop);
    if (!r.ran) ++bad;
    ini::ClearCache();
  }
  std::printf("%d\n", bad);
  return 0;
}
