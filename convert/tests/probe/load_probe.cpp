// A shared object for the library-loading test: remembers the current
// folder at the moment it was loaded.
#include <unistd.h>

namespace {
char g_loadFolder[4096] = "";
__attribute__((constructor)) void RememberFolder() {
  if (getcwd(g_loadFolder, sizeof g_loadFolder) == nullptr) g_loadFolder[0] = '\0';
}
}  // namespace

extern "C" __attribute__((visibility("default"))) const char* ZvLoadProbeFolder() { return g_loadFolder; }
