// Folders to binders for a full link folder (6 x 20 x 21 = 2,520 binders)
// against a direct loop of the store's create functions over the same names,
// the check pass alone, and the linking walk against listing the binders of
// every cabinet. All in one run, so the ratios compare like with like.
//
//   sort_bench [libraries cabinets binders [rounds]]   (default 6 20 21 3)
//
// Both creations are bound by the store's synced writes, so on a shared disk
// one run says little: each round runs both, in alternating order, into
// fresh link folders, and the medians are compared.
//
// Targets: folders to binders at most 1.3x the direct loop; the check pass
// under 2 s; linking at most 2x the listing.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/fs.h"
#include "platform/paths.h"
#include "sort/sort.h"
#include "store/store.h"

namespace {

using namespace zv;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

class Silent : public sort::Ui {
 public:
  int Message(const std::string&, const std::string&, int) override { return 1; }
};

}  // namespace

int main(int argc, char** argv) {
  int libs = 6, cabs = 20, binders = 21, rounds = 3;
  if (argc >= 4) {
    libs = std::atoi(argv[1]);
    cabs = std::atoi(argv[2]);
    binders = std::atoi(argv[3]);
  }
  if (argc >= 5) rounds = std::max(1, std::atoi(argv[4]));
  std::string tmpl = platform::TempFolder() + "/sort-bench-XXXXXX";
  if (mkdtemp(tmpl.data()) == nullptr) return 1;
  const std::string root = tmpl, sortFolder = root + "/sort";
  auto name = [](const char* p, int i) { return std::string(p) + " " + std::to_string(i); };
  for (int l = 1; l <= libs; ++l)
    for (int c = 1; c <= cabs; ++c)
      for (int b = 1; b <= binders; ++b)
        platform::MakeFolders(sortFolder + "/" + name("Library", l) + "/" + name("Cabinet", c) + "/" +
                              name("Binder", b));
  const int total = libs * cabs * binders;

  // The direct loop: the store's create functions over the same names.
  auto directLoop = [&](const std::string& direct) {
    platform::MakeFolders(direct);
    const auto t = Clock::now();
    for (int l = 1; l <= libs; ++l) {
      const auto lib = store::CreateLibrary(direct, name("Library", l));
      for (int c = 1; c <= cabs; ++c) {
        const auto cab = store::CreateCabinet(lib.path, name("Cabinet", c));
        for (int b = 1; b <= binders; ++b) {
          companion::binder::BinderDescription d;
          d.title = name("Binder", b);
          if (!store::CreateBinder(cab.path, d).ok()) std::fprintf(stderr, "direct creation failed\n");
        }
      }
    }
    return Seconds(t);
  };
  Silent ui;
  sort::Run run;
  run.sortFolder = sortFolder;
  run.ui = &ui;
  auto mirror = [&](const std::string& link) {
    platform::MakeFolders(link);
    run.linkFolder = link;
    const auto t = Clock::now();
    const sort::Outcome o = sort::FromFolderToBinder(run, false);
    if (o.result != 1) std::fprintf(stderr, "folders to binders failed: %s\n", o.failure.c_str());
    return Seconds(t);
  };
  std::vector<double> directTimes, mirrorTimes, ratios;
  std::string mirrored;
  for (int r = 0; r < rounds; ++r) {
    const std::string direct = root + "/direct" + std::to_string(r);
    mirrored = root + "/mirrored" + std::to_string(r);
    double d = 0, m = 0;
    if (r % 2 == 0) {
      d = directLoop(direct);
      m = mirror(mirrored);
    } else {
      m = mirror(mirrored);
      d = directLoop(direct);
    }
    directTimes.push_back(d);
    mirrorTimes.push_back(m);
    ratios.push_back(m / d);
    std::printf("round %d: direct %.3f s, folders to binders %.3f s, ratio %.2f\n", r + 1, d, m, m / d);
  }
  auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  const double directSeconds = median(directTimes), mirrorSeconds = median(mirrorTimes);
  run.linkFolder = mirrored;

  // The check pass over a link folder that holds every item already: it
  // reads every binder's title and creates nothing.
  auto t = Clock::now();
  const sort::Outcome again = sort::FromFolderToBinder(run, false);
  const double checkSeconds = Seconds(t);
  if (!again.nothingToCreate) std::fprintf(stderr, "second run found something to create\n");

  t = Clock::now();
  std::size_t listed = 0;
  for (const auto& lib : store::ListLibraries(mirrored).children)
    for (const auto& cab : store::ListCabinets(lib.path).children)
      listed += store::ListBindersWithInfo(cab.path).size();
  const double listSeconds = Seconds(t);
  t = Clock::now();
  const sort::LinkResult links = sort::LinkSortFolder(sortFolder, mirrored);
  const double linkSeconds = Seconds(t);

  std::printf("binders                      %d (listed %zu, linked %zu)\n", total, listed, links.links.size());
  std::printf("direct store loop            %8.3f s   (medians of %d rounds)\n", directSeconds, rounds);
  std::printf("folders to binders           %8.3f s   median ratio %.2f (target <= 1.3)\n", mirrorSeconds,
              median(ratios));
  std::printf("check pass, all existing     %8.3f s   (target < 2 s)\n", checkSeconds);
  std::printf("listing every cabinet        %8.3f s\n", listSeconds);
  std::printf("linking walk                 %8.3f s   ratio %.2f (target <= 2)\n", linkSeconds,
              linkSeconds / listSeconds);
  platform::RemoveTree(root);
  return 0;
}
