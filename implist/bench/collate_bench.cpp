// 1,000 result files gathered, delivered to 50 users (five addressees
// each) and this user's inbox drained, in one pass, against writing the same
// final files once each through the ini layer (ListData.ini, the 50 inboxes
// and the local list, one write group each). Prints both times and the
// ratio. Targets: ratio at most 20, pass under 3 s.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "implist/collate.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "testing/installation.h"

namespace ini = zv::platform::ini;
using Clock = std::chrono::steady_clock;

namespace {

std::string Stamp(std::int64_t s) { return zv::platform::LocalTimeText(s, "%Y%m%d%H%M%S"); }

std::string Users(int i) {
  std::string s;
  for (int k = 0; k < 5; ++k) s += "u" + std::to_string((i + k * 10) % 50) + ",";
  return s;
}

std::vector<std::pair<std::string, std::string>> Keys(int i, std::int64_t t, const std::string& link) {
  return {{"Time", Stamp(t)},
          {"HostName", "fs"},
          {"File", "/scan/" + std::to_string(i) + ".pdf"},
          {"Name", "doc"},
          {"Result", "1"},
          {"Binder", "Inbox"},
          {"Index", "Lib\\Cab"},
          {"BinderPath", link + "/Lib/Cab/Inbox"},
          {"LinkFolderPath", link},
          {"LinkFolderName", "L"},
          {"SetNumber", "1"},
          {"Keyword", "0"},
          {"ImpUser1", Users(i)},
          {"ParentPCName", "pc"},
          {"ImpMode", "0"},
          {"UserName", "u"}};
}

}  // namespace

int main() {
  zv::testing::Installation inst;
  const std::string link = inst.AddLinkFolder("Link");
  ini::WriteString(inst.userSettings(), "Product", "User", "u0");
  ini::WriteInt(inst.program() + "/Quibbin.ini", "ImpListSettings", "DispListMax", 1000);
  const std::string rslt = inst.program() + "/Rslt";
  zv::platform::MakeFolders(rslt);
  zv::platform::MakeFolders(link + "/Rslt");
  const std::int64_t base = zv::platform::UnixSeconds() - 7200;
  for (int i = 0; i < 1000; ++i) {
    const std::string f = rslt + "/ImpRslt_" + Stamp(base + i) + ".ini";
    ini::WriteGroup g(f);
    for (const auto& [k, v] : Keys(i, base + i, link)) ini::WriteString(f, "Rslt", k, v);
  }
  inst.WriteSettings({{"LastImpTime", Stamp(base + 1000)}});
  ini::ClearCache();

  std::atomic<bool> stop{false};
  const auto t0 = Clock::now();
  const zv::implist::PassResult r = zv::implist::RunPass(zv::implist::SurveyConfig::Load(), stop);
  const double pass = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();

  // The reference: the same final files, each written once.
  const std::string ref = inst.Path("ref");
  zv::platform::MakeFolders(ref);
  const auto t1 = Clock::now();
  std::map<int, std::vector<int>> byUser;
  for (int i = 0; i < 1000; ++i)
    for (int k = 0; k < 5; ++k) byUser[(i + k * 10) % 50].push_back(i);
  auto writeList = [&](const std::string& f, const std::vector<int>& items) {
    ini::WriteGroup g(f);
    for (int i : items)
      for (const auto& [k, v] : Keys(i, base + i, link)) ini::WriteString(f, std::to_string(base + i) + "_1", k, v);
  };
  std::vector<int> all(1000);
  for (int i = 0; i < 1000; ++i) all[i] = i;
  writeList(ref + "/ListData.ini", all);
  for (const auto& [u, items] : byUser) writeList(ref + "/ImpListData_u" + std::to_string(u) + ".ini", items);
  writeList(ref + "/ImpListData.ini", byUser[0]);
  const double once = std::chrono::duration<double, std::milli>(Clock::now() - t1).count();

  std::printf("pass: gathered %d, delivered %d, taken %d in %.1f ms\n", r.gathered, r.delivered, r.taken, pass);
  std::printf("the same files written once each: %.1f ms\n", once);
  std::printf("ratio %.2f (target <= 20), pass %s 3 s\n", pass / once, pass < 3000 ? "under" : "OVER");
  return r.gathered == 1000 && r.delivered == 5000 ? 0 : 1;
}
