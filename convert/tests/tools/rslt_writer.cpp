// Writes import results for the concurrency test: rslt_writer TAG TIME COUNT.
// Every result has the same import time and the name "<TAG> <n>".
#include <cstdlib>
#include <cstring>
#include <string>

#include "dravel/dravel.h"

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  const std::string tag = argv[1];
  const long long time = std::atoll(argv[2]);
  const int count = std::atoi(argv[3]);
  for (int i = 0; i < count; ++i) {
    DravelImpRecord r;
    std::memset(&r, 0, sizeof r);
    r.impTime = time;
    r.result = 1;
    const std::string name = tag + " " + std::to_string(i);
    std::strncpy(r.name, name.c_str(), sizeof r.name - 1);
    r.userList = "someone,";
    OutPutImpRsltFile(r);
  }
  return 0;
}
