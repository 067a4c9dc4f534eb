// Holds a lock file for the lock tests: lock_holder FOLDER NAME MS READYFILE.
// Takes the lock, creates READYFILE, holds the lock MS milliseconds,
// releases it and exits 0.
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "dravel/dravel.h"

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  const DravelHandle h = CreateImpLockFile(argv[1], argv[2], 10);
  if (h <= 0) return 3;
  std::ofstream(argv[4]) << "ready\n";
  std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[3])));
  return DeleteImpLockFile(h, argv[1], argv[2]) == 1 ? 0 : 4;
}
