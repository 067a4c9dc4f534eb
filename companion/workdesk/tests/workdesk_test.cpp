// The work desk's import and folder rules, on the static core.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/filelock.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "testing/pdf.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"
#include "workdesk/Pinfold.h"
#include "workdesk/workdesk.h"

using namespace zv;
using namespace zv::companion::workdesk;

namespace {

const std::string kCorpus = std::string(ZV_CORPUS_DIR) + "/";

using zv::testing::PdfPageCount;

int PdfFilesIn(const std::string& folder) {
  int n = 0;
  for (const auto& e : platform::ListFolder(folder).value_or(std::vector<platform::DirEntry>{}))
    if (platform::Extension(e.name) == "pdf") ++n;
  return n;
}

struct WorkDeskTest : ::testing::Test {
  zv::testing::TempDir dir;
  std::string root = dir.path();
  std::string desk = root + "/desk";
};

}  // namespace

TEST_F(WorkDeskTest, EveryPageBecomesItsOwnPdfAndNamesNeverCollide) {
  const std::string source = root + "/form.pdf";
  ASSERT_TRUE(platform::CopyFile(kCorpus + "form-fields-and-annotations-shared.pdf", source, false));
  ImportOutcome first = ImportFile(desk, source, {});
  ASSERT_EQ(first.result, 4) << first.message;
  EXPECT_FALSE(first.converted);
  for (const char* name : {"form_001.pdf", "form_002.pdf", "form_003.pdf", "form_004.pdf"})
    EXPECT_EQ(PdfPageCount(desk + "/" + name), 1) << name;
  EXPECT_FALSE(platform::Exists(desk + "/" + kWorkingLockName)) << "the working lock is released";

  // The same name again: the whole set moves to "-2" (one name per import).
  ImportOutcome second = ImportFile(desk + "/", source, {});
  ASSERT_EQ(second.result, 4);
  EXPECT_TRUE(platform::IsFile(desk + "/form-2_004.pdf"));
  // Only the first page name taken: the set still moves as a whole.
  ASSERT_TRUE(platform::CopyFile(kCorpus + "object-stream.pdf", root + "/one.pdf", false));
  ASSERT_TRUE(platform::WriteFileAtomic(desk + "/one_001.pdf", "someone else's"));
  ASSERT_EQ(ImportFile(desk, root + "/one.pdf", {}).result, 1);
  EXPECT_EQ(*platform::ReadFile(desk + "/one_001.pdf"), "someone else's");
  EXPECT_EQ(PdfPageCount(desk + "/one-2_001.pdf"), 1);
}

TEST_F(WorkDeskTest, BusyWhileTheWorkDeskHoldsItsLock) {
  ASSERT_TRUE(platform::MakeFolders(desk));
  platform::HeldLock held = platform::HeldLock::TryAcquire(desk + "/" + kWorkingLockName);
  ASSERT_TRUE(held);
  ImportOutcome busy = ImportFile(desk, kCorpus + "object-stream.pdf", {});
  EXPECT_EQ(busy.result, PINFOLD_E_BUSY);
  EXPECT_EQ(PdfFilesIn(desk), 0);
  held.Release();
  EXPECT_EQ(ImportFile(desk, kCorpus + "object-stream.pdf", {}).result, 1);
  // A lock file left behind by a work desk that died is no obstacle.
  ASSERT_TRUE(platform::WriteFileAtomic(desk + "/" + kWorkingLockName, ""));
  EXPECT_EQ(ImportFile(desk, kCorpus + "minimal-linearized.pdf", {}).result, 1);
}

TEST_F(WorkDeskTest, DamagedAndProtectedPdfsLeaveNothingBehind) {
  struct Case {
    const char* file;
    int result;
  };
  for (Case c : {Case{"c-empty.pdf", PINFOLD_E_DAMAGED}, Case{"pages-loop.pdf", PINFOLD_E_DAMAGED},
                 Case{"issue-146.pdf", PINFOLD_E_DAMAGED}, Case{"20-pages.pdf", PINFOLD_E_DAMAGED},
                 Case{"absent.pdf", PINFOLD_E_NOFILE}, Case{"bad2.pdf", 1}, Case{"leading-junk.pdf", 30},
                 Case{"duplicate-page-inherited.pdf", 2}}) {
    ImportOutcome o = ImportFile(desk, kCorpus + c.file, {});
    EXPECT_EQ(o.result, c.result) << c.file << ": " << o.message;
    if (c.result < 0) {
      EXPECT_FALSE(o.message.empty()) << c.file;
    }
  }
  EXPECT_EQ(PdfFilesIn(desk), 33);
  EXPECT_EQ(ImportFile("", kCorpus + "bad2.pdf", {}).result, PINFOLD_E_PARAM);
}

TEST_F(WorkDeskTest, NonPdfSourcesGoThroughTheImageConverter) {
  const std::string image = root + "/scan.png";
  ASSERT_TRUE(platform::WriteFileAtomic(image, "\x89PNG pretend image"));
  EXPECT_EQ(ImportFile(desk, image, {}).result, PINFOLD_E_IMAGELIB) << "no converter";

  int calls = 0;
  ImageToPdf converter = [&](const std::string& in, const std::string& out) {
    ++calls;
    EXPECT_EQ(in, image);
    return platform::CopyFile(kCorpus + "duplicate-page-inherited.pdf", out, true) ? 2 : PINFOLD_E_WRITE;
  };
  ImportOutcome o = ImportFile(desk, image, converter);
  EXPECT_EQ(o.result, 2) << o.message;
  EXPECT_TRUE(o.converted);
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(platform::IsFile(desk + "/scan_002.pdf"));

  ImageToPdf refuses = [](const std::string&, const std::string&) { return PINFOLD_E_UNSUPPORTED; };
  EXPECT_EQ(ImportFile(desk, image, refuses).result, PINFOLD_E_UNSUPPORTED);
  // "%PDF-" after some junk is still a PDF: the converter is not asked.
  EXPECT_EQ(ImportFile(desk, kCorpus + "leading-junk.pdf", refuses).result, 30);
  EXPECT_FALSE(LooksLikePdf(kCorpus + "bad1.pdf"));
}

TEST_F(WorkDeskTest, AFolderThatCannotBeWrittenIsNotBusy) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes anywhere";
  ASSERT_TRUE(platform::MakeFolders(desk));
  ASSERT_EQ(chmod(desk.c_str(), 0555), 0);
  EXPECT_EQ(ImportFile(desk, kCorpus + "object-stream.pdf", {}).result, PINFOLD_E_FOLDER);
  EXPECT_EQ(ImportFile(desk + "/sub", kCorpus + "object-stream.pdf", {}).result, PINFOLD_E_FOLDER);
  chmod(desk.c_str(), 0755);
}

TEST_F(WorkDeskTest, FolderFromTheViewerEnvironment) {
  zv::testing::ScopedEnv viewer("ZORVAN_VIEWER_DIR", root);
  EXPECT_EQ(LocateWorkDeskFolder(), root + "/WorkDesk");
  ASSERT_TRUE(platform::WriteFileAtomic(root + "/ZorvanEnv.ini", "[WorkDesk]\nFolder=/srv/desk/\n"));
  EXPECT_EQ(LocateWorkDeskFolder(), "/srv/desk");
}
