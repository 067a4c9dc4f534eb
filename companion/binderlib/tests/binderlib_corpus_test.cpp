// Every file of the PDF corpus inserted into a fresh binder: filed with the
// right page count, or refused with the binder unchanged.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>

#include "binderlib/binderini.h"
#include "binderlib/binderlib.h"
#include "platform/fs.h"
#include "testing/installation.h"

namespace bl = zv::companion::binder;
namespace fs = std::filesystem;

TEST(Corpus, EveryFileFiledOrRefusedCleanly) {
  const std::string corpus = std::string(ZV_CORPUS_DIR);
  ASSERT_TRUE(fs::is_directory(corpus)) << "no corpus at " << corpus;
  // Expected pages; 0 means refused.
  const std::map<std::string, int> expected = {{"bad1.pdf", 0},
                                               {"bad2.pdf", 1},
                                               {"bad22.pdf", -1},
                                               {"c-empty.pdf", 0},
                                               {"issue-146.pdf", 0},
                                               {"pages-loop.pdf", 0},
                                               {"append-xref-loop.pdf", 30},
                                               {"duplicate-page-inherited.pdf", 2},
                                               {"object-stream.pdf", 1},
                                               {"minimal-linearized.pdf", 1},
                                               {"fax-decode-parms.pdf", 10},
                                               {"form-fields-and-annotations-shared.pdf", 4},
                                               {"20-pages.pdf", 0},
                                               {"enc-R3,V2,O=master.pdf", -1},
                                               {"c-r6-in.pdf", 0},
                                               {"encrypted-with-images.pdf", -1},
                                               {"many-nulls.pdf", 1},
                                               {"leading-junk.pdf", 30}};
  zv::testing::Installation inst;
  const std::string link = inst.AddLinkFolder();
  std::string cab = inst.AddCabinet(link);
  int n = 0, cabinets = 1;
  for (const auto& [file, pages] : expected) {
    SCOPED_TRACE(file);
    std::string binder;
    ASSERT_EQ(bl::CreateBinder2(cab, {.title = "C" + std::to_string(++n)}, &binder), bl::kCreateOk);
    const std::string ini = binder + "/C" + std::to_string(n) + ".ini";
    const auto before = zv::platform::ReadFile(ini);
    const auto t0 = std::chrono::steady_clock::now();
    bl::InsertOutcome out;
    bl::InsertRequest rq{.binderFolder = binder, .pdfPath = corpus + "/" + file};
    const int r = bl::AddInfoToBinder4(rq, &out);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(30));
    auto b = bl::ReadBinder(binder);
    EXPECT_TRUE(b.ok()) << (b.problems.empty() ? "" : b.problems[0]);
    if (pages == 0) {
      EXPECT_NE(r, 0);
      EXPECT_EQ(zv::platform::ReadFile(ini), before);
      EXPECT_EQ(std::distance(fs::directory_iterator(binder), fs::directory_iterator()), 2);
    } else if (r == 0) {
      if (pages > 0) {
        EXPECT_EQ(b.pageTotal, pages);
      }
      EXPECT_EQ(out.pagesInserted, b.pageTotal);
      for (auto& p : b.pages) EXPECT_EQ(bl::PdfPageCount(p.filePath), 1) << p.filePath;
    } else {
      ADD_FAILURE() << "refused (" << r << "): " << out.error;
    }
    if (n == 21) {  // a cabinet holds 21 binders
      n = 0;
      cab = inst.AddCabinet(link, "Lib", "Cab" + std::to_string(++cabinets));
    }
  }
}
