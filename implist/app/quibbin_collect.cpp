// quibbin-collect: one collation pass of the import-list viewer, for
// checking an installation by hand. Prints what the pass did.
#include <atomic>
#include <cstdio>

#include "implist/collate.h"

int main() {
  const zv::implist::SurveyConfig config = zv::implist::SurveyConfig::Load();
  std::atomic<bool> stop{false};
  const zv::implist::PassResult r = zv::implist::RunPass(config, stop);
  if (!r.ran) {
    std::fprintf(stderr, "the import results are busy (~ImpList.Locked is held); try again\n");
    return 2;
  }
  std::printf("user=%s gathered=%d delivered=%d taken=%d\n", config.user.c_str(), r.gathered, r.delivered, r.taken);
  for (const auto& u : r.failedUsers) std::printf("still owed: %s\n", u.c_str());
  return r.failedUsers.empty() ? 0 : 1;
}
