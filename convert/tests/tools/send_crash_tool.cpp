// Sends dropped pages into a binder under its ~Write.Locked, as the send
// tool does, and dies by SIGKILL at the named step.
// STAMP, when given, is the send's keyword stamp.
// Usage: send_crash_tool BINDER UNDODATA COUNT POSITION SECURED STEP [STAMP]
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "binderlib/locks.h"
#include "dravel/send.h"

namespace {
const char* g_step = nullptr;
void OnStep(const char* step) {
  if (g_step && std::strcmp(step, g_step) == 0) std::raise(SIGKILL);
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 7 && argc != 8) return 64;
  g_step = argv[6];
  zv::dravel::SetSendStepHook(OnStep);
  zv::companion::binder::ShortLock lock(argv[1], 60);
  if (!lock) return 65;
  const int rc = zv::dravel::SendPages(nullptr, argv[1], argv[2], std::atoi(argv[3]), std::atoi(argv[4]),
                                       std::atoi(argv[5]) != 0, {argc == 8 ? argv[7] : "", 0});
  std::cout << rc << "\n";
  return rc == 0 ? 0 : 1;
}
