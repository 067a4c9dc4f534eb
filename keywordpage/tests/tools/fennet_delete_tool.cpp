// Deletes pages from a binder and, when a step is named, dies by SIGKILL at
// that step of the deletion. Usage: fennet_delete_tool PAGEFILE FIRST LAST [STEP]
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "keywordpage/keywordpage.h"

namespace {
const char* g_step = nullptr;
void OnStep(const char* step) {
  if (g_step && std::strcmp(step, g_step) == 0) std::raise(SIGKILL);
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return 64;
  if (argc > 4) g_step = argv[4];
  zv::keywordpage::SetDeleteStepHook(OnStep);
  const int rc = zv::keywordpage::DeletePages(argv[1], std::atoi(argv[2]), std::atoi(argv[3]), false);
  std::cout << rc << "\n";
  return rc == 0 ? 0 : 1;
}
