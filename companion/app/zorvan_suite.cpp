// Stand-in for the suite's main program: its registration tells the monitor
// that the suite is installed. It only reports its version.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::puts(
        "Usage: zorvan-suite [--help]\n"
        "Stand-in for the main program of the document-filing suite: prints its\n"
        "version and exits. It exists so that an installation can register it.");
    return 0;
  }
  std::printf("Zorvan %s\n", ZV_VERSION);
  return 0;
}
