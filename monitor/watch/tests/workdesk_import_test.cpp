// The engine's work-desk import through the work-desk libraries of the
// viewer's folder: the folder, the checks before the call, the busy retry.
#include <gtest/gtest.h>
#include <unistd.h>

#include "companion/strings.h"
#include "monitor/settings/text_ids.h"
#include "monitor/watch/workdesk.h"
#include "platform/clock.h"
#include "platform/filelock.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "support/watch_env.h"
#include "testing/files.h"
#include "testing/pdf.h"

namespace zv::monitor {
namespace {

using test::Installation;
namespace pf = platform;

const std::string kCorpus = std::string(ZV_CORPUS_DIR) + "/";

class WorkDesk : public ::testing::Test {
 protected:
  void SetUp() override {
    // The installation links the work-desk libraries into the viewer's folder.
    ASSERT_TRUE(pf::Exists(Viewer("libTarnwick.so")));
    ASSERT_TRUE(pf::Exists(Viewer("libPinfold.so")));
    desk = GetWorkDeskFolder();
    source = inst.Path("scan/report.pdf");
    testing::MakePdf(source, 3);
  }
  std::string Viewer(const std::string& name) const { return inst.Path("viewer/" + name); }
  WorkDeskOutcome Import(const std::string& file) {
    WorkDeskRequest r;
    r.folder = desk;
    r.source = file;
    return ImportToWorkDesk(r);
  }
  int PdfsOnDesk() const {
    int n = 0;
    for (const auto& name : testing::Names(desk)) n += pf::Extension(name) == "pdf";
    return n;
  }

  Installation inst;
  pf::FakeClock clock;
  pf::ScopedClock useClock{clock};
  std::string desk, source;
};

// Holds the work desk's lock for a number of waits, then lets it go.
class ReleasingClock : public pf::FakeClock {
 public:
  ReleasingClock(pf::HeldLock& lock, int sleeps) : lock_(lock), left_(sleeps) {}
  void SleepMs(std::int64_t ms) override {
    FakeClock::SleepMs(ms);
    if (--left_ == 0) lock_.Release();
  }

 private:
  pf::HeldLock& lock_;
  int left_;
};

TEST_F(WorkDesk, FolderComesFromTheLocatorLibrary) {
  bool loaded = false;
  EXPECT_EQ(GetWorkDeskFolder(&loaded), inst.Path("viewer/WorkDesk"));
  EXPECT_TRUE(loaded);
  ASSERT_TRUE(pf::RemoveFile(Viewer("libTarnwick.so")));
  EXPECT_EQ(GetWorkDeskFolder(&loaded), "");
  EXPECT_FALSE(loaded) << "the start-up reports 57684 for this";
}

TEST_F(WorkDesk, PagesArriveAndTheImageLibrarySessionCloses) {
  WorkDeskOutcome o = Import(source);
  EXPECT_EQ(o.result, 0) << o.message;
  EXPECT_EQ(o.libraryResult, 3);
  EXPECT_EQ(o.pages, 3);
  EXPECT_EQ(o.calls, 1);
  EXPECT_EQ(PdfsOnDesk(), 3);
  EXPECT_EQ(clock.totalSleptMs(), 0);
  // A file the work desk cannot take is a failure with its result.
  const std::string text = inst.Path("scan/notes.txt");
  ASSERT_TRUE(pf::WriteFileAtomic(text, "words"));
  o = Import(text);
  EXPECT_EQ(o.result, -1);
  EXPECT_EQ(o.message, "Program failed to import to WorkArea. (-3)");
}

TEST_F(WorkDesk, BusyWorkDeskIsAskedEveryFiveSecondsForTenMinutes) {
  ASSERT_TRUE(pf::MakeFolders(desk));
  pf::HeldLock held = pf::HeldLock::TryAcquire(pf::JoinPath(desk, kWorkingLockName));
  ASSERT_TRUE(held);
  WorkDeskOutcome o = Import(source);
  EXPECT_EQ(o.result, -1);
  EXPECT_EQ(o.libraryResult, kWorkDeskBusy);
  EXPECT_EQ(o.calls, 121) << "at 0 s, 5 s, ... 600 s";
  EXPECT_EQ(clock.sleeps(), 120);
  EXPECT_EQ(clock.totalSleptMs(), kWorkDeskRetryLimitMs);
  EXPECT_EQ(o.message, "Program failed to import to WorkArea. (-10)");
  EXPECT_EQ(PdfsOnDesk(), 0);

  // The work desk lets go after three waits: the fourth call imports.
  ReleasingClock releasing(held, 3);
  pf::SetClock(&releasing);
  o = Import(source);
  pf::SetClock(&clock);
  EXPECT_EQ(o.result, 0) << o.message;
  EXPECT_EQ(o.calls, 4);
  EXPECT_EQ(releasing.totalSleptMs(), 3 * kWorkDeskRetryMs);
  EXPECT_EQ(PdfsOnDesk(), 3);
}

TEST_F(WorkDesk, SecuredPdfIsRefusedBeforeTheWorkDeskSeesIt) {
  for (const char* file : {"enc-R3,V2,O=master.pdf", "20-pages.pdf"}) {
    const std::string secured = inst.Path(std::string("scan/") + file);
    ASSERT_TRUE(pf::CopyFile(kCorpus + file, secured, false));
    WorkDeskOutcome o = Import(secured);
    EXPECT_EQ(o.result, -1) << file;
    EXPECT_EQ(o.calls, 0) << file;
    EXPECT_EQ(o.message, companion::LoadString(companion::StringTable::Dravel, 71)) << file;
  }
  // Encrypted without restrictions is no secured PDF.
  const std::string open = inst.Path("scan/open.pdf");
  ASSERT_TRUE(pf::CopyFile(kCorpus + "encrypted-with-images.pdf", open, false));
  EXPECT_EQ(Import(open).result, 0);
}

TEST_F(WorkDesk, MissingLibrariesEndTheImportWithTheirMessages) {
  // The image library is needed for the session even for a PDF.
  ASSERT_TRUE(pf::RenamePath(Viewer("libPixmoor.so"), Viewer("off-Pixmoor"), false));
  EXPECT_EQ(Import(source).message, "Program failed to import to WorkArea. (-1)");
  ASSERT_TRUE(pf::RenamePath(Viewer("off-Pixmoor"), Viewer("libPixmoor.so"), false));

  ASSERT_TRUE(pf::RenamePath(Viewer("libGantry.so"), Viewer("off-Gantry"), false));
  EXPECT_EQ(Import(source).message, "Program could not load the DLL. (Gantry.DLL)");
  ASSERT_TRUE(pf::RenamePath(Viewer("off-Gantry"), Viewer("libGantry.so"), false));

  ASSERT_TRUE(pf::RemoveFile(Viewer("libPinfold.so")));
  ASSERT_TRUE(pf::WriteFileAtomic(Viewer("libpinfold.so"), "not a shared object"));
  WorkDeskOutcome o = Import(source);
  EXPECT_EQ(o.result, -1);
  EXPECT_EQ(o.message, "Program could not load the DLL. (Pinfold.DLL)");
  ASSERT_TRUE(pf::RemoveFile(Viewer("libpinfold.so")));
  EXPECT_EQ(Import(source).message, MonitorText(kIdsViewerNotInstalled));
  EXPECT_EQ(PdfsOnDesk(), 0);
}

TEST_F(WorkDesk, WatchCycleFilesAWorkDeskSettingsDocumentThere) {
  inst.SetAuto("bWorkDesk1", "1");
  inst.SetAuto("TarBinder1", desk);
  ASSERT_TRUE(pf::MakeFolders(desk));  // an installed work desk has its folder
  test::Engine engine(inst);
  ASSERT_EQ(engine.frame.settings[0].workDesk, 1);
  for (int i = 0; i < 3 && test::DatedFolder(inst.Path("scan/Success")).empty(); ++i) engine.Cycle();
  const std::string success = test::DatedFolder(inst.Path("scan/Success"));
  ASSERT_FALSE(success.empty());
  EXPECT_TRUE(pf::IsFile(pf::JoinPath(success, "report.pdf")));
  EXPECT_EQ(PdfsOnDesk(), 3);
  EXPECT_TRUE(test::BinderKeywords(inst.binder()).empty()) << "nothing went into the binder";
}

}  // namespace
}  // namespace zv::monitor
