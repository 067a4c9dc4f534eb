// Calls one export of the shared sort-folder library, as a program of the
// suite would: sort_export_tool LIBRARY from-folder LINK SORT NAME
// Prints the result.
#include <cstdio>
#include <cstring>

#include "platform/library.h"
#include "sort/Wimbrel.h"

int main(int argc, char** argv) {
  if (argc != 6 || std::strcmp(argv[2], "from-folder") != 0) return 2;
  auto lib = zv::platform::SharedLibrary::Open(argv[1]);
  auto fn = lib.Symbol<decltype(&FromFolderToBinder)>("FromFolderToBinder");
  if (fn == nullptr) return 3;
  std::printf("%d\n", fn(argv[3], argv[4], argv[5], 0));
  return 0;
}
