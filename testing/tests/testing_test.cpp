// The test support that every module's tests stand on.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/clock.h"
#include "platform/fs.h"
#include "testing/files.h"
#include "testing/installation.h"
#include "testing/pdf.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace zv::testing {
namespace {

TEST(TempDir, RemovalTakesReadOnlyFoldersButNeverFollowsALink) {
  TempDir outside;
  ASSERT_TRUE(WriteText(outside / "keep/precious", "keep"));
  std::string gone;
  {
    TempDir dir;
    gone = dir.path();
    ASSERT_TRUE(WriteText(dir / "ro/f", "x"));
    std::filesystem::permissions(dir / "ro", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    std::filesystem::create_directory_symlink(outside / "keep", dir / "link");
    std::filesystem::create_symlink(outside / "keep/precious", dir / "filelink");
  }
  EXPECT_FALSE(platform::Exists(gone));
  EXPECT_EQ(ReadText(outside / "keep/precious"), "keep");
}

TEST(ScopedEnv, RestoresTheValueOrItsAbsence) {
  ::unsetenv("ZV_TESTING_A");
  ::setenv("ZV_TESTING_B", "before", 1);
  {
    ScopedEnv a("ZV_TESTING_A", "1");
    ScopedEnv b("ZV_TESTING_B", nullptr);
    EXPECT_STREQ(getenv("ZV_TESTING_A"), "1");
    EXPECT_EQ(getenv("ZV_TESTING_B"), nullptr);
    b.Set("changed");
  }
  EXPECT_EQ(getenv("ZV_TESTING_A"), nullptr);
  EXPECT_STREQ(getenv("ZV_TESTING_B"), "before");
  ::unsetenv("ZV_TESTING_B");
}

TEST(Installation, AChildSeesWhatTheTestSeesAndAllIsUndoneAfterwards) {
  const std::string tmpBefore = getenv("TMPDIR") ? getenv("TMPDIR") : "<none>";
  std::string root;
  {
    Installation inst;
    root = inst.root();
    inst.AddViewer();
    const std::string binder = inst.AddBinder(inst.AddCabinet(inst.AddLinkFolder()));
    EXPECT_TRUE(platform::IsFolder(binder));
    EXPECT_STREQ(getenv("ZORVAN_VIEWER_DIR"), inst.viewer().c_str());
    const RunResult r =
        RunProgram("/bin/sh", {"-c", "echo \"$ZORVAN_PROGRAM_DIR|$TMPDIR\"; \"$ZORVAN_VIEWER_DIR/zorvan-viewer\" >&2"},
                   inst.Environment());
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, inst.program() + "|" + inst.temp() + "\n");
    EXPECT_EQ(r.err, "Zorvan Reader 4.0\n");
  }
  EXPECT_FALSE(platform::Exists(root));
  EXPECT_EQ(getenv("TMPDIR") ? getenv("TMPDIR") : "<none>", tmpBefore);
}

// A test on a fake clock still gets its program's result; the limit is real
// time.
TEST(RunProgram, TimesOnTheRealClock) {
  platform::FakeClock clock;
  platform::ScopedClock useClock(clock);
  EXPECT_EQ(RunProgram("/bin/sh", {"-c", "sleep 0.3; echo done; exit 3"}).exitCode, 3);
  EXPECT_EQ(RunProgram("/bin/sh", {"-c", "sleep 0.3; echo done"}).out, "done\n");
  EXPECT_EQ(RunProgram("/bin/sleep", {"5"}, {}, 200).exitCode, -1);
}

TEST(MakePdf, PagesSizesTextAndLocks) {
  TempDir dir;
  MakePdf(dir / "a.pdf", 3, "scan");
  EXPECT_EQ(PdfPageTexts(dir / "a.pdf"), (std::vector<std::string>{"scan 1", "scan 2", "scan 3"}));
  MakePdf(dir / "b.pdf", 3, "scan");
  EXPECT_EQ(ReadText(dir / "a.pdf"), ReadText(dir / "b.pdf")) << "the same PDF every time";
  MakePdf(dir / "locked.pdf", PdfPages(2), PdfLock{"secret"});
  EXPECT_EQ(PdfPageCount(dir / "locked.pdf"), -1);
  EXPECT_EQ(PdfPageTexts(dir / "locked.pdf", "secret").size(), 2u);
}

}  // namespace
}  // namespace zv::testing
