// The dravel command, run as a program against a store in a private folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>

#include "binderlib/locks.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "testing/files.h"
#include "testing/installation.h"
#include "testing/pdf.h"

namespace zv::dravel {
namespace {

namespace test = zv::testing;

std::string LastLine(const std::string& out) {
  std::string last, line;
  std::istringstream in(out);
  while (std::getline(in, line))
    if (!line.empty()) last = line;
  return last;
}

class DravelCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    // The insertion loads the image library and the secured-PDF check from
    // the viewer's program folder.
    box.LinkIntoViewer("libPixmoor.so", ZV_PIXMOOR_LIB);
    box.LinkIntoViewer("libGantry.so", ZV_GANTRY_LIB);
    link = box.Path("link");
    platform::MakeFolders(link);
    platform::MakeFolders(link + "/Rslt");
    lib = Make({"mklib", link, "Lib"});
    cab = Make({"mkcab", lib, "Cab"});
    binder = Make({"mkbinder", cab, "Accounts"});
  }
  // The command runs in the installation through its environment.
  test::RunResult Dravel(const std::vector<std::string>& args) const {
    return test::RunProgram(ZV_DRAVEL_EXE, args, box.Environment());
  }
  std::string Make(const std::vector<std::string>& args) {
    const test::RunResult r = Dravel(args);
    EXPECT_EQ(r.exitCode, 0) << args[0] << ": " << r.err;
    return LastLine(r.out);
  }
  test::Installation box;
  std::string link, lib, cab, binder;
};

TEST_F(DravelCommand, BuildsAStoreAndFilesPages) {
  EXPECT_EQ(lib, link + "/Lib");
  EXPECT_EQ(cab, lib + "/Cab");
  EXPECT_EQ(binder, cab + "/Accounts");
  const std::string pdf = box.Path("three.pdf");
  test::MakePdf(pdf, {{595, 842}, {595, 842}, {842, 595}});

  test::RunResult r = Dravel({"insert", pdf, binder, "--keyword", "INV"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("result 0\n"), std::string::npos);
  EXPECT_NE(r.out.find("pages 3\n"), std::string::npos);
  r = Dravel({"insert", pdf, binder, "--front", "--keyword", "TOP"});
  ASSERT_EQ(r.exitCode, 0) << r.err;

  // Pages filed in front come first; keywords find them again.
  r = Dravel({"find", binder, "TOP"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "1\n2\n3\n");
  r = Dravel({"find", binder, "INV_2"});
  EXPECT_EQ(r.out, "5\n");

  r = Dravel({"show", binder});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("title \"Accounts\""), std::string::npos);
  EXPECT_NE(r.out.find("pages 6\n"), std::string::npos);
  EXPECT_NE(r.out.find("keyword \"INV_3\""), std::string::npos);

  r = Dravel({"ls", link});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("library Lib"), std::string::npos);
  EXPECT_NE(r.out.find("cabinet Cab"), std::string::npos);
  EXPECT_NE(r.out.find("\"Accounts\" 6 pages"), std::string::npos);

  for (const std::string& level : {binder, cab, lib, link}) {
    r = Dravel({"check", level});
    EXPECT_EQ(r.exitCode, 0) << level << "\n" << r.out << r.err;
  }
}

TEST_F(DravelCommand, InsertOutcomes) {
  const std::string pdf = box.Path("one.pdf");
  test::MakePdf(pdf, {{595, 842}});
  // Busy: the viewer has the binder open.
  {
    platform::HeldLock open = companion::binder::HoldBinderOpen(binder);
    ASSERT_TRUE(open.valid());
    const test::RunResult r = Dravel({"insert", pdf, binder});
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("result 1\n"), std::string::npos);
    EXPECT_NE(r.out.find("error -100000\n"), std::string::npos);
  }
  // Refused: not a PDF, a damaged PDF, a missing source, a missing binder.
  platform::WriteFileAtomic(box.Path("note.txt"), "text");
  platform::WriteFileAtomic(box.Path("broken.pdf"), "%PDF-1.4\nnothing here\n");
  const std::vector<std::vector<std::string>> refused = {
      {"insert", box.Path("note.txt"), binder},
      {"insert", box.Path("broken.pdf"), binder},
      {"insert", box.Path("missing.pdf"), binder},
      {"insert", pdf, cab + "/NoSuchBinder"},
  };
  for (const auto& args : refused) {
    const test::RunResult r = Dravel(args);
    EXPECT_EQ(r.exitCode, 2) << args[1] << "\n" << r.out;
    EXPECT_NE(r.out.find("result -1\n"), std::string::npos) << args[1];
    EXPECT_FALSE(r.err.empty());
  }
  const test::RunResult check = Dravel({"check", binder});
  EXPECT_EQ(check.exitCode, 0) << check.out;  // nothing half-filed
  EXPECT_NE(Dravel({"show", binder}).out.find("pages 0\n"), std::string::npos);
}

TEST_F(DravelCommand, ErrorsAndHelp) {
  test::RunResult r = Dravel({"mkcab", lib, "Cab"});
  EXPECT_NE(r.exitCode, 0);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);  // one line
  for (const char* cmd : {"ls", "show", "mklib", "mkcab", "mkbinder", "insert", "find", "check"}) {
    r = Dravel({cmd, "--help"});
    EXPECT_EQ(r.exitCode, 0) << cmd;
    EXPECT_NE(r.out.find(std::string("dravel ") + cmd), std::string::npos) << cmd;
  }
  EXPECT_NE(Dravel({}).exitCode, 0);
  EXPECT_NE(Dravel({"frobnicate"}).exitCode, 0);
  EXPECT_NE(Dravel({"show"}).exitCode, 0);
  EXPECT_NE(Dravel({"show", box.Path("nothing")}).exitCode, 0);
  EXPECT_NE(Dravel({"check", box.Path("nothing")}).exitCode, 0);
  // A held short lock is a problem that check reports.
  platform::HeldLock held = platform::HeldLock::TryAcquire(binder + "/~Write.Locked");
  ASSERT_TRUE(held.valid());
  r = Dravel({"check", binder});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.out.find("~Write.Locked"), std::string::npos);
}

TEST_F(DravelCommand, LimitsAreRefused) {
  for (int i = 2; i <= 6; ++i) EXPECT_EQ(Dravel({"mklib", link, "Lib" + std::to_string(i)}).exitCode, 0);
  const test::RunResult r = Dravel({"mklib", link, "Lib7"});
  EXPECT_NE(r.exitCode, 0);
  EXPECT_FALSE(platform::Exists(link + "/Lib7"));
}

}  // namespace
}  // namespace zv::dravel

namespace zv::dravel {
namespace {

TEST_F(DravelCommand, PagesAndDeleteGoThroughTheKeywordLibrary) {
  const std::string pdf = box.Path("four.pdf");
  test::MakePdf(pdf, 4, "p");
  ASSERT_EQ(Dravel({"insert", pdf, binder, "--keyword", "INV"}).exitCode, 0);
  test::RunResult r = Dravel({"pages", binder, "--keyword", "INV_3"});
  EXPECT_NE(r.exitCode, 0);  // the library is not in the program folder yet
  EXPECT_NE(r.err.find("libFennet.so"), std::string::npos) << r.err;

  ASSERT_EQ(::symlink(ZV_FENNET_LIB, (box.program() + "/libFennet.so").c_str()), 0);
  r = Dravel({"pages", binder, "--keyword", "INV_3"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "3\n");
  EXPECT_EQ(Dravel({"pages", binder, "--keyword", "nothing"}).exitCode, 1);

  r = Dravel({"delete", binder, "2", "3"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("bad range"), std::string::npos) << r.err;
  r = Dravel({"delete", binder, "1", "2", "--pair"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(Dravel({"pages", binder, "--keyword", "INV_3"}).out, "1\n");
  EXPECT_EQ(test::PdfPageTexts(binder + "/Accounts3.pdf").at(0), "p 3");  // ids are kept
  EXPECT_EQ(platform::FileSize(binder + "/Accounts.pdf"), 0u);            // id 1 went
  EXPECT_EQ(Dravel({"check", binder}).exitCode, 0);
}

}  // namespace
}  // namespace zv::dravel
