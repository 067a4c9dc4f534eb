// GetAllBinderInfo on a full cabinet (21 binders). Target: under 5 ms.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <string>

#include "dravel/dravel.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"

namespace {

struct Cabinet {
  std::string root, cabinet;
  Cabinet() {
    std::string tmpl = zv::platform::TempFolder() + "/binderinfo-bench-XXXXXX";
    root = mkdtemp(tmpl.data()) ? tmpl : std::string();
    cabinet = root + "/cab";
    zv::platform::MakeFolders(cabinet);
    std::string names, positions;
    for (int i = 1; i <= 21; ++i) {
      const std::string name = "Binder" + std::to_string(i);
      zv::platform::MakeFolders(cabinet + "/" + name);
      const std::string ini = cabinet + "/" + name + "/" + name + ".ini";
      std::string text = "[Version]\nVersion=3\n[BinderInfo]\nTitle=Binder number " + std::to_string(i) +
                         "\x18\x19second line\nPageTotal=40\nFilePageMode=1\n[PageInfo]\nMaxPageID=40\n";
      for (int p = 1; p <= 40; ++p)
        text += "Page" + std::to_string(p) + "Flag=0\nPage" + std::to_string(p) + "FilePageID=" + std::to_string(p) +
                "\nPage" + std::to_string(p) + "Content=kw_" + std::to_string(p) + "\n";
      zv::platform::WriteFileAtomic(ini, text);
      names += "Ex" + name + ",";
      positions += std::to_string(i) + ",";
    }
    zv::platform::WriteFileAtomic(cabinet + "/Folder.ini",
                                  "[BinderInfo]\nNameList=" + names + "\nPosList=" + positions + "\nTypeList=0\n");
  }
  ~Cabinet() { zv::platform::RemoveTree(root); }
};

void BM_GetAllBinderInfo(benchmark::State& state) {
  static Cabinet cabinet;
  DravelBinderInfo records[21];
  for (auto _ : state) {
    const int n = GetAllBinderInfo(cabinet.cabinet.c_str(), records, 21);
    if (n != 21) state.SkipWithError("wrong binder count");
    benchmark::DoNotOptimize(records);
  }
}
BENCHMARK(BM_GetAllBinderInfo)->Unit(benchmark::kMicrosecond);

// The same with the ini read cache emptied before every call.
void BM_GetAllBinderInfoColdCache(benchmark::State& state) {
  static Cabinet cabinet;
  DravelBinderInfo records[21];
  for (auto _ : state) {
    zv::platform::ini::ClearCache();
    const int n = GetAllBinderInfo(cabinet.cabinet.c_str(), records, 21);
    if (n != 21) state.SkipWithError("wrong binder count");
    benchmark::DoNotOptimize(records);
  }
}
BENCHMARK(BM_GetAllBinderInfoColdCache)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
