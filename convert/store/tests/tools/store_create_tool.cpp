// Creates libraries L1..L6 in a link folder and cabinets C1..C20 in each,
// as another program doing the same at the same moment would; whatever
// exists already is left to the store's answer. store_create_tool LINK
#include <string>

#include "store/store.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string link = argv[1];
  for (int l = 1; l <= 6; ++l) {
    const std::string lib = link + "/L" + std::to_string(l);
    zv::store::CreateLibrary(link, "L" + std::to_string(l));
    for (int c = 1; c <= 20; ++c) zv::store::CreateCabinet(lib, "C" + std::to_string(c));
  }
  return 0;
}
