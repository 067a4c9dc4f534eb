// Inserts a PDF into a binder `count` times (front and back alternating);
// prints one line per insertion. Exit 0 when every insertion filed.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "binderlib/binderlib.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: store_insert_tool BINDER PDF COUNT [KEYWORD]\n");
    return 2;
  }
  namespace bl = zv::companion::binder;
  const int count = std::atoi(argv[3]);
  const std::string keyword = argc > 4 ? argv[4] : "k";
  for (int i = 0; i < count; ++i) {
    bl::InsertRequest rq;
    rq.binderFolder = argv[1];
    rq.pdfPath = argv[2];
    rq.insertPos = (i % 2) ? bl::kInsertFront : bl::kInsertBack;
    rq.pageKeywords = {keyword + "_" + std::to_string(i)};
    bl::InsertOutcome out;
    const int r = bl::AddInfoToBinder4(rq, &out);
    std::printf("%d %s\n", r, out.error.c_str());
    std::fflush(stdout);
    if (r != 0) return 1;
  }
  return 0;
}
