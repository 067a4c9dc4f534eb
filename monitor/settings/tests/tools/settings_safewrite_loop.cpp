// Saves the settings file over and over through the safe write, each save
// setting every key of [Data] to the save's number, until killed.
// Usage: settings_safewrite_loop FILE KEYS
#include <cstdio>
#include <cstdlib>
#include <string>

#include "monitor/settings/profile.h"
#include "monitor/settings/safe_write.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  const std::string file = argv[1];
  const int keys = std::atoi(argv[2]);
  int round = zv::monitor::ProfileRead("Data", "Round", 0, file);
  for (;;) {
    ++round;
    const bool ok = zv::monitor::SafeWriteSettings(file, [&](const std::string& newFile) {
      bool written = zv::monitor::ProfileWrite("Data", "Round", round, newFile);
      for (int k = 1; k <= keys; ++k) {
        written =
            zv::monitor::ProfileWrite("Data", "Key" + std::to_string(k), std::to_string(round), newFile) && written;
      }
      return written;
    });
    if (!ok) return 1;
  }
}
