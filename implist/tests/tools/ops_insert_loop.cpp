// Test helper: files a PDF at the front of a binder COUNT times as the
// monitor does (waiting for the binder's ~Write.Locked), each time with its
// own page keywords "ins<i>_<page> ".
//   ops_insert_loop BINDER PDF COUNT
#include <cstdlib>
#include <iostream>
#include <string>

#include "binderlib/binderlib.h"

int main(int argc, char** argv) {
  if (argc != 4) return 64;
  namespace bl = zv::companion::binder;
  const int pages = bl::PdfPageCount(argv[2]);
  int failed = 0;
  for (int i = 0; i < std::atoi(argv[3]); ++i) {
    bl::InsertRequest rq{
        .binderFolder = argv[1], .pdfPath = argv[2], .sourcePath = argv[2], .insertPos = bl::kInsertFront};
    for (int p = 1; p <= pages; ++p)
      rq.pageKeywords.push_back("ins" + std::to_string(i) + "_" + std::to_string(p) + " ");
    if (const int rc = bl::AddInfoToBinder4(rq); rc != 0) {
      std::cerr << "insert " << i << ": " << rc << "\n";
      ++failed;
    }
  }
  return failed == 0 ? 0 : 1;
}
