// Files a PDF into a binder COUNT times as the monitor's insertion does
// (waiting for the binder's lock). Usage: fennet_insert_loop BINDER PDF COUNT
#include <cstdlib>
#include <iostream>

#include "binderlib/binderlib.h"

int main(int argc, char** argv) {
  if (argc != 4) return 64;
  int failed = 0;
  for (int i = 0; i < std::atoi(argv[3]); ++i) {
    const int rc = zv::companion::binder::AddInfoToBinder(argv[1], argv[2], argv[2], 0, 0, 0);
    if (rc != 0) {
      std::cerr << "insert " << i << ": " << rc << "\n";
      ++failed;
    }
  }
  return failed == 0 ? 0 : 1;
}
