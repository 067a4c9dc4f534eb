// Saves a recipient list and dies (SIGKILL) at a named step of the save:
//   sendfile_save_helper <list path> <step or "none"> <name>...
#include <signal.h>

#include <cstring>
#include <string>
#include <vector>

#include "sendfile/recipients.h"

namespace {
const char* g_step = "";
void Hook(const char* step) {
  if (std::strcmp(step, g_step) == 0) ::raise(SIGKILL);
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  g_step = argv[2];
  zv::sendfile::SetSaveStepHook(&Hook);
  const std::vector<std::string> names(argv + 3, argv + argc);
  return zv::sendfile::SaveUserList(argv[1], names, 0) ? 0 : 1;
}
