// The smaller exports: trace-log settings, library loading, paper sizes,
// the binder list of a cabinet, and the shared library's export table.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>
#include <thread>

#include "binderlib/format.h"
#include "dravel/core.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/library.h"
#include "platform/paths.h"
#include "testing/files.h"
#include "testing/installation.h"
#include "testing/pdf.h"
#include "testing/scoped_env.h"

namespace zv::dravel {
namespace {

namespace test = zv::testing;

namespace ini = platform::ini;

// ---- ReadTraceLogInfo ----------------------------------------------------

TEST(ReadTraceLogInfo, OffOrDefaultFolder) {
  test::Installation box;
  char folder[DRAVEL_PATH_MAX] = "";
  int days = 0;
  EXPECT_EQ(ReadTraceLogInfo(folder, &days), 0);  // no EnvSetInfo.ini at all
  box.WriteSettings({{"TraceLogEnabled", "0"}, {"TraceLogPath", box.Path("logs")}});
  EXPECT_EQ(ReadTraceLogInfo(folder, &days), 0);
  EXPECT_FALSE(platform::Exists(box.Path("logs")));
  box.WriteSettings({{"TraceLogEnabled", "1"}, {"TraceLogPath", ""}});
  ASSERT_EQ(ReadTraceLogInfo(folder, &days), 1);
  EXPECT_EQ(std::string(folder), box.program() + "/AutoImpInfo");
  EXPECT_EQ(days, 7);
  EXPECT_TRUE(platform::IsFolder(folder));
}

TEST(ReadTraceLogInfo, PathRules) {
  test::Installation box;
  char folder[DRAVEL_PATH_MAX] = "";
  int days = 0;
  box.WriteSettings({{"TraceLogEnabled", "1"}, {"TraceLogPath", box.Path("a/b/c")}, {"TraceLogTerm", "30"}});
  EXPECT_EQ(ReadTraceLogInfo(folder, &days), 1);
  EXPECT_TRUE(platform::IsFolder(box.Path("a/b/c")));
  EXPECT_EQ(days, 30);
  // A network path of the other world, or any relative path, is refused.
  box.WriteSettings({{"TraceLogEnabled", "1"}, {"TraceLogPath", "\\\\server\\share\\logs"}});
  EXPECT_EQ(ReadTraceLogInfo(folder, &days), 0);
  box.WriteSettings({{"TraceLogEnabled", "1"}, {"TraceLogPath", "logs"}});
  EXPECT_EQ(ReadTraceLogInfo(folder, &days), 0);
  // A file in the folder's place.
  platform::WriteFileAtomic(box.Path("afile"), "x");
  box.WriteSettings({{"TraceLogEnabled", "1"}, {"TraceLogPath", box.Path("afile")}});
  EXPECT_EQ(ReadTraceLogInfo(folder, &days), 0);
  // A path that would not fit the caller's buffer is refused, not cut.
  box.WriteSettings({{"TraceLogEnabled", "1"}, {"TraceLogPath", box.Path(std::string(300, 'x'))}});
  std::memset(folder, 0, sizeof folder);
  EXPECT_EQ(ReadTraceLogInfo(folder, &days), 0);
  EXPECT_EQ(folder[DRAVEL_PATH_MAX - 1], '\0');
}

// ---- MyLoadLibrary ---------------------------------------------------------

TEST(MyLoadLibrary, NameMapping) {
  EXPECT_EQ(SharedObjectName("Pixmoor.dll"), "libPixmoor.so");
  EXPECT_EQ(SharedObjectName("Gantry.DLL"), "libGantry.so");
  EXPECT_EQ(SharedObjectName("Plain"), "libPlain.so");
  EXPECT_EQ(SharedObjectName("libfoo.so"), "libfoo.so");
  EXPECT_EQ(SharedObjectName("libfoo.so.1"), "libfoo.so.1");
}

// The library comes from the viewer's folder by its absolute path; the
// working folder, which every thread of the process shares, never changes.
TEST(MyLoadLibrary, LoadsByAbsolutePathAndLeavesTheWorkingFolder) {
  test::Installation box;
  ASSERT_TRUE(platform::CopyFile(ZV_PROBE_LIB, box.viewer() + "/libZvLoadProbe.so", true));
  // Work from a folder of its own, away from the viewer's.
  const std::filesystem::path original = std::filesystem::current_path();
  ASSERT_TRUE(platform::MakeFolders(box.Path("elsewhere")));
  std::filesystem::current_path(box.Path("elsewhere"));
  const std::filesystem::path here = std::filesystem::current_path();
  using Fn = const char* (*)();

  {
    platform::SharedLibrary probe = platform::SharedLibrary::Adopt(MyLoadLibrary("zvloadprobe.DLL"));
    ASSERT_TRUE(probe);  // the case differs from the file
    auto fn = probe.Symbol<Fn>("ZvLoadProbeFolder");
    ASSERT_NE(fn, nullptr);
    EXPECT_EQ(std::filesystem::path(fn()), here);
  }

  // One thread loads and unloads while another keeps looking at the working
  // folder.
  std::atomic<bool> done{false};
  std::atomic<int> moved{0}, loaded{0};
  std::thread watcher([&] {
    while (!done.load()) {
      std::error_code ec;
      if (std::filesystem::current_path(ec) != here) moved.fetch_add(1);
    }
  });
  std::thread loader([&] {
    for (int i = 0; i < 200; ++i) {
      platform::SharedLibrary probe = platform::SharedLibrary::Adopt(MyLoadLibrary("ZvLoadProbe.dll"));
      if (probe) loaded.fetch_add(1);
    }
    done.store(true);
  });
  loader.join();
  watcher.join();
  EXPECT_EQ(loaded.load(), 200);
  EXPECT_EQ(moved.load(), 0);

  EXPECT_EQ(MyLoadLibrary(""), nullptr);
  EXPECT_EQ(MyLoadLibrary("Missing.dll"), nullptr);
  // A viewer folder given relative to the working folder is refused: what it
  // names would depend on whichever folder is current.
  ASSERT_TRUE(platform::MakeFolders(box.Path("elsewhere/viewer")));
  ASSERT_TRUE(platform::CopyFile(ZV_PROBE_LIB, box.Path("elsewhere/viewer/libZvLoadProbe.so"), true));
  test::ScopedEnv viewerDir("ZORVAN_VIEWER_DIR", "viewer");
  EXPECT_EQ(MyLoadLibrary("ZvLoadProbe.dll"), nullptr);
  viewerDir.Set(box.Path("no-such-folder"));
  EXPECT_EQ(MyLoadLibrary("ZvLoadProbe.dll"), nullptr);
  EXPECT_EQ(std::filesystem::current_path(), here);
  std::filesystem::current_path(original);
}

// ---- paper sizes -------------------------------------------------------------

TEST(PaperSize, PrinterOutputTable) {
  const std::pair<unsigned char, short> table[] = {{1, 8}, {2, 9}, {3, 11}, {5, 12}, {6, 13}, {96, 1}};
  for (const auto& [code, size] : table) {
    short out = -7;
    EXPECT_EQ(GetPrinterOutputSize("printer", "port", code, &out), 0) << int(code);
    EXPECT_EQ(out, size) << int(code);
  }
  short out = -7;
  EXPECT_EQ(GetPrinterOutputSize("printer", "port", 4, &out), 2);
  EXPECT_EQ(out, -7);
  EXPECT_EQ(GetPrinterOutputSize("printer", "port", 0, &out), -1);
  EXPECT_EQ(GetPrinterOutputSize("", "port", 2, &out), -1);
  EXPECT_EQ(GetPrinterOutputSize("printer", "", 2, &out), -1);
  EXPECT_EQ(out, -7);
}

TEST(PaperSize, FirstPageOfPdf) {
  test::Installation box;
  const std::string a4 = box.Path("a4.pdf"), a3land = box.Path("a3l.pdf"), rotated = box.Path("rot.pdf"),
                    odd = box.Path("odd.pdf");
  test::MakePdf(a4, {{595.28, 841.89}, {841.89, 1190.55}});
  test::MakePdf(a3land, {{1190.55, 841.89}});
  test::MakePdf(rotated, {{595.28, 841.89, 90}});
  test::MakePdf(odd, {{100, 100}});
  int code = 0, orientation = 0;
  ASSERT_EQ(GetTargetPaperSize(nullptr, a4.c_str(), &code, &orientation), 1);
  EXPECT_EQ(code, 2);
  EXPECT_EQ(orientation, 1);
  ASSERT_EQ(GetTargetPaperSize(nullptr, a3land.c_str(), &code, &orientation), 1);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(orientation, 2);
  ASSERT_EQ(GetTargetPaperSize(nullptr, rotated.c_str(), &code, &orientation), 1);
  EXPECT_EQ(code, 2);
  EXPECT_EQ(orientation, 2);
  EXPECT_EQ(GetTargetPaperSize(nullptr, odd.c_str(), &code, &orientation), 0);
  EXPECT_EQ(GetTargetPaperSize(nullptr, "", &code, &orientation), 0);
  EXPECT_EQ(GetTargetPaperSize(nullptr, box.Path("missing.pdf").c_str(), &code, &orientation), 0);
  platform::WriteFileAtomic(box.Path("junk.pdf"), "this is no pdf at all");
  EXPECT_EQ(GetTargetPaperSize(nullptr, box.Path("junk.pdf").c_str(), &code, &orientation), 0);
}

// ---- GetAllBinderInfo ---------------------------------------------------------

void MakeBinder(const std::string& cabinet, const std::string& name, const std::string& title) {
  const std::string folder = cabinet + "/" + name;
  platform::MakeFolders(folder);
  ini::WriteString(folder + "/" + name + ".ini", "BinderInfo", "Title", title);
}

TEST(GetAllBinderInfo, ListsInNameListOrder) {
  test::Installation box;
  const std::string cab = box.Path("cab");
  MakeBinder(cab, "B1", "First");
  MakeBinder(cab, "B2", std::string("Top") + '\x18' + '\x19' + "Bottom");
  MakeBinder(cab, "B3", "Third");
  ini::WriteString(cab + "/Folder.ini", "BinderInfo", "NameList", "B1,ExB2,B3,");
  DravelBinderInfo recs[5];
  ASSERT_EQ(GetAllBinderInfo(cab.c_str(), recs, 5), 3);
  EXPECT_EQ(recs[0].position, 1);  // no PosList: 1, 2, 3
  EXPECT_EQ(recs[2].position, 3);
  EXPECT_STREQ(recs[0].title, "First");
  EXPECT_STREQ(recs[1].title, "Top..Bottom");
  EXPECT_EQ(std::string(recs[1].path), cab + "/B2");     // "Ex" is not part of the folder
  ASSERT_EQ(GetAllBinderInfo(cab.c_str(), recs, 2), 2);  // stops at the capacity
  ini::WriteString(cab + "/Folder.ini", "BinderInfo", "PosList", "5,3,9,");
  ASSERT_EQ(GetAllBinderInfo(cab.c_str(), recs, 5), 3);
  EXPECT_EQ(recs[0].position, 5);
  EXPECT_EQ(recs[2].position, 9);
}

TEST(GetAllBinderInfo, LongTitleNeverRunsIntoThePath) {
  test::Installation box;
  const std::string cab = box.Path("cab");
  std::string title;
  while (title.size() < 400) title += "長い題名";  // three-byte characters
  MakeBinder(cab, "B1", title);
  ini::WriteString(cab + "/Folder.ini", "BinderInfo", "NameList", "B1,");
  DravelBinderInfo rec;
  std::memset(&rec, 'Z', sizeof rec);
  ASSERT_EQ(GetAllBinderInfo(cab.c_str(), &rec, 1), 1);
  const std::size_t len = strnlen(rec.title, sizeof rec.title);
  ASSERT_LT(len, sizeof rec.title);
  EXPECT_EQ(len % 3, 0u);  // cut between characters
  EXPECT_EQ(title.compare(0, len, rec.title), 0);
  EXPECT_EQ(std::string(rec.path), cab + "/B1");
}

TEST(GetAllBinderInfo, MissingOrBrokenLists) {
  test::Installation box;
  const std::string cab = box.Path("cab");
  platform::MakeFolders(cab);
  DravelBinderInfo recs[4];
  EXPECT_EQ(GetAllBinderInfo(cab.c_str(), recs, 4), 0);  // no Folder.ini
  const std::string deep = box.Path(std::string(250, 'd'));
  EXPECT_EQ(GetAllBinderInfo(deep.c_str(), recs, 4), 0);  // path too long
  MakeBinder(cab, "B1", "One");
  MakeBinder(cab, "B2", "Two");
  ini::WriteString(cab + "/Folder.ini", "BinderInfo", "NameList", "B1,B2,");
  ini::WriteString(cab + "/Folder.ini", "BinderInfo", "PosList", "1,");
  EXPECT_EQ(GetAllBinderInfo(cab.c_str(), recs, 4), -1);  // lists of different length
}

// ---- the shared library --------------------------------------------------------

TEST(SharedLibrary, ExportsOnlyTheCInterface) {
  const platform::SharedLibrary lib = platform::SharedLibrary::Open(ZV_DRAVEL_LIB);
  ASSERT_TRUE(lib) << lib.error();
  const std::set<std::string> interface {
    "CreateImpLockFile", "DeleteImpLockFile", "GetAndCheckImpSendUserdat", "OutPutImpRsltFile", "ReadTraceLogInfo",
        "MyLoadLibrary", "GetPrinterOutputSize", "GetTargetPaperSize", "GetAllBinderInfo", "CheckFolderName",
        "InsertFileToBinder", "Zorvan_ConvertPDF", "SearchInsertBinder", "GetSharpNum2", "AddPagesToBinderForSendFile",
        "AddPagesToBinderForSendFile2", "GetFileTotalPageForSendFile"
  };
  for (const std::string& name : interface) EXPECT_NE(lib.Address(name.c_str()), nullptr) << name;
  // Nothing else: internal C++ functions and the static layers inside stay
  // hidden.
  const test::RunResult nm = test::RunProgram("nm", {"-D", "--defined-only", ZV_DRAVEL_LIB});
  ASSERT_EQ(nm.exitCode, 0) << nm.err;
  std::set<std::string> exported;
  std::istringstream lines(nm.out);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string addr, type, name;
    if (fields >> addr >> type >> name && (type == "T" || type == "D" || type == "B" || type == "W"))
      exported.insert(name);
  }
  EXPECT_EQ(exported, interface);
  using Fn = int (*)(const char*, const char*, unsigned char, short*);
  auto fn = lib.Symbol<Fn>("GetPrinterOutputSize");
  short size = 0;
  ASSERT_NE(fn, nullptr);
  EXPECT_EQ(fn("p", "q", 2, &size), 0);
  EXPECT_EQ(size, 9);
}

}  // namespace
}  // namespace zv::dravel

namespace zv::dravel {
namespace {

// Damaged and odd PDFs: an answer for each, no crash, no hang.
TEST(PaperSize, DamagedFilesGiveAnAnswer) {
  const std::string corpus = std::string(ZV_CORPUS_DIR);
  const auto entries = platform::ListFolder(corpus);
  ASSERT_TRUE(entries) << "no corpus at " << corpus;
  int found = 0;
  for (const auto& e : *entries) {
    if (!e.name.ends_with(".pdf")) continue;
    int code = -5, orientation = -5;
    const int r = GetTargetPaperSize(nullptr, (corpus + "/" + e.name).c_str(), &code, &orientation);
    EXPECT_TRUE(r == 0 || r == 1) << e.name;
    if (r == 1) {
      ++found;
      EXPECT_TRUE(orientation == 1 || orientation == 2) << e.name;
      EXPECT_GT(code, 0) << e.name;
    }
  }
  EXPECT_GT(found, 0);
}

}  // namespace
}  // namespace zv::dravel
