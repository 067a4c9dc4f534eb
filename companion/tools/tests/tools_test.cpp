// The viewer's companion tools as the import list starts them: Quillet
// assembles a binder's pages and hands them to the PDF application at the
// start page (a secured binder's copy stays encrypted), Ormley opens the
// work-desk folder.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "binderlib/binderini.h"
#include "binderlib/binderlib.h"
#include "binderlib/format.h"
#include "dunmore/dunmore.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/process.h"
#include "testing/fake_print.h"
#include "testing/files.h"
#include "testing/installation.h"
#include "testing/pdf.h"
#include "testing/scoped_env.h"

namespace bl = zv::companion::binder;
namespace ini = zv::platform::ini;
using zv::testing::Installation;

namespace {

// A binder of `pages` pages "p 1".."p n"; single-file and secured when a
// password is given.
std::string MakeBinder(Installation& inst, int pages, const std::string& password = {},
                       const std::string& title = "Bind er") {
  const std::string cab = inst.AddCabinet(inst.AddLinkFolder());
  std::string folder;
  EXPECT_EQ(bl::CreateBinder2(cab, {.title = title, .password = password}, &folder), bl::kCreateOk);
  if (!password.empty()) ini::WriteInt(bl::BinderIniPath(folder), bl::kSecBinderInfo, bl::kKeyFilePageMode, 0);
  const std::string pdf = inst.root() + "/src.pdf";
  zv::testing::MakePdf(pdf, pages, "p");
  EXPECT_EQ(bl::AddInfoToBinder4({.binderFolder = folder, .pdfPath = pdf, .sourcePath = pdf, .securedBinder = true}),
            0);
  return folder;
}

// Waits (real time) until the file exists.
bool AppearsWithin(const std::string& path, int ms) {
  for (int waited = 0; waited < ms; waited += 50) {
    if (zv::platform::IsFile(path)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return zv::platform::IsFile(path);
}

struct Viewed {
  int exitCode = -1;
  int result = -99;
  std::string page, copy;  // what the PDF application was given
};

// Runs Quillet with a recording PDF application.
Viewed View(Installation& inst, const std::string& pageFile, int start) {
  const std::string out = inst.Path("app");
  zv::platform::MakeFolders(out);
  zv::platform::RemoveFile(out + "/page");
  const std::string app = inst.Path("pdf-app");
  zv::testing::WriteText(app, "#!/bin/sh\ncp \"$2\" \"" + out + "/copy.pdf\"\necho \"$1\" > \"" + out + "/page\"\n");
  std::filesystem::permissions(app, std::filesystem::perms(0755));
  const std::string opFile = inst.program() + "/~ImpView.ini";
  auto env = inst.Environment();
  env.push_back("ZORVAN_PDF_VIEWER=" + app + " %p %f");
  env.push_back("XDG_RUNTIME_DIR=" + inst.temp());
  Viewed v;
  v.exitCode =
      zv::testing::RunProgram(ZV_QUILLET, {pageFile, std::to_string(start), "0", opFile}, env, 60'000).exitCode;
  ini::ClearCache();
  v.result = ini::GetInt(opFile, "Quillet_Output", "Result", -99);
  if (v.result == 0 && AppearsWithin(out + "/page", 10'000)) {
    v.page = zv::testing::Lines(zv::testing::ReadText(out + "/page")).at(0);
    v.copy = out + "/copy.pdf";
  }
  return v;
}

TEST(Quillet, AssemblesTheBinderAndOpensItAtTheStartPage) {
  Installation inst;
  const std::string folder = MakeBinder(inst, 5);
  const Viewed v = View(inst, bl::MainPageFilePath(folder, false), 4);
  EXPECT_EQ(v.exitCode, 0);
  ASSERT_EQ(v.result, 0);
  EXPECT_EQ(v.page, "4");
  EXPECT_EQ(zv::testing::PdfPageTexts(v.copy), (std::vector<std::string>{"p 1", "p 2", "p 3", "p 4", "p 5"}));
  // A start page past the end opens the last page.
  EXPECT_EQ(View(inst, bl::MainPageFilePath(folder, false), 9).page, "5");
}

TEST(Quillet, SecuredBinderCopyIsEncryptedWithTheBinderPassword) {
  Installation inst;
  const std::string folder = MakeBinder(inst, 3, "pa ss");
  const Viewed v = View(inst, bl::MainPageFilePath(folder, false), 2);
  ASSERT_EQ(v.result, 0);
  EXPECT_EQ(v.page, "2");
  EXPECT_EQ(zv::testing::PdfPageCount(v.copy), -1) << "readable without the password";
  EXPECT_EQ(zv::testing::PdfPageTexts(v.copy, "pa ss"), (std::vector<std::string>{"p 1", "p 2", "p 3"}));
  // Nothing the tool left behind opens without the password.
  for (const auto& name : zv::testing::Names(inst.temp() + "/Quillet"))
    EXPECT_EQ(zv::testing::PdfPageCount(inst.temp() + "/Quillet/" + name), -1) << name;
}

TEST(Quillet, MissingBinderAndBadArgumentsAnswerWithACode) {
  Installation inst;
  EXPECT_EQ(View(inst, inst.Path("links/none/none.pdf"), 1).result, -2);
  const std::string opFile = inst.program() + "/~ImpView.ini";
  EXPECT_NE(zv::testing::RunProgram(ZV_QUILLET, {"x", "one", "0", opFile}, inst.Environment()).exitCode, 0);
  ini::ClearCache();
  EXPECT_EQ(ini::GetInt(opFile, "Quillet_Output", "Result", 0), -7);
}

TEST(Ormley, OpensTheWorkDeskFolder) {
  Installation inst;
  const std::string bin = inst.Path("bin");
  zv::platform::MakeFolders(bin);
  zv::testing::WriteText(bin + "/xdg-open", "#!/bin/sh\necho \"$1\" > \"" + inst.root() + "/opened\"\n");
  std::filesystem::permissions(bin + "/xdg-open", std::filesystem::perms(0755));
  auto env = inst.Environment();
  env.push_back("PATH=" + bin + ":/usr/bin:/bin");
  EXPECT_EQ(zv::testing::RunProgram(ZV_ORMLEY, {}, env).exitCode, 0);
  EXPECT_EQ(zv::testing::ReadText(inst.root() + "/opened"), inst.viewer() + "/WorkDesk\n");
  EXPECT_TRUE(zv::platform::IsFolder(inst.viewer() + "/WorkDesk"));
}

// A print operation file for pages first..last of the binder.
std::string PrintFile(const Installation& inst, const std::string& folder, int first, int last, int dialog = 0) {
  const std::string op = inst.program() + "/~ImpPrint.ini";
  zv::platform::RemoveFile(op);
  ini::WriteString(op, "Dunmore_Input", "Action", "2");
  ini::WriteString(op, "Dunmore_Input", "OpeFilePath", bl::MainPageFilePath(folder, false));
  ini::WriteInt(op, "Dunmore_Input", "PrintStartPage", first);
  ini::WriteInt(op, "Dunmore_Input", "PrintEndPage", last);
  ini::WriteInt(op, "Dunmore_Input", "PrintDlgDsp", dialog);
  return op;
}

TEST(Dunmore, PrintsTheRangeInClearFromASecuredBinderAndLeavesNoCopy) {
  namespace dm = zv::companion::dunmore;
  Installation inst;
  zv::testing::ScopedEnv runtime("XDG_RUNTIME_DIR", inst.temp().c_str());
  const std::string folder = MakeBinder(inst, 5, "se cret");
  zv::testing::RecordingPrintBackend backend;
  backend.AddDestination("office");
  backend.AddDestination("home");
  backend.defaultName = "office";
  std::string op = PrintFile(inst, folder, 2, 3);
  ASSERT_EQ(dm::Run(op, backend, {}), dm::kOk);
  ini::ClearCache();
  EXPECT_EQ(ini::GetInt(op, "Dunmore_Output", "Result", -99), 0);
  ASSERT_EQ(backend.jobs().size(), 1u);
  EXPECT_EQ(backend.jobs()[0].job.destination, "office");
  ASSERT_TRUE(zv::testing::WriteText(inst.root() + "/job.pdf", backend.jobs()[0].data));
  EXPECT_EQ(zv::testing::PdfPageTexts(inst.root() + "/job.pdf"), (std::vector<std::string>{"p 2", "p 3"}));
  EXPECT_TRUE(zv::testing::Names(inst.temp() + "/Dunmore").empty());

  // The chosen destination; a cancelled choice prints nothing.
  op = PrintFile(inst, folder, 1, 5, 1);
  std::vector<std::string> offered;
  EXPECT_EQ(dm::Run(op, backend,
                    [&](const std::vector<std::string>& names, std::string& chosen) {
                      offered = names;
                      chosen = "home";
                      return true;
                    }),
            dm::kOk);
  EXPECT_EQ(offered, (std::vector<std::string>{"office", "home"}));
  EXPECT_EQ(backend.jobs().at(1).job.destination, "home");
  EXPECT_EQ(dm::Run(op, backend, [](const std::vector<std::string>&, std::string&) { return false; }), dm::kCancelled);
  EXPECT_EQ(dm::Run(PrintFile(inst, folder, 5, 6), backend, {}), dm::kRangeOutside);
  EXPECT_EQ(dm::Run(PrintFile(inst, inst.Path("links/x/y/z/B"), 1, 1), backend, {}), dm::kNoBinder);
  backend.failure = zv::platform::print::Status::Unreachable;
  EXPECT_EQ(dm::Run(PrintFile(inst, folder, 1, 1), backend, {}), dm::kPrintFailed);
  EXPECT_EQ(backend.jobs().size(), 2u);
}

TEST(Dunmore, PrintsThroughTheMachinesScheduler) {
  std::string whyNot;
  const auto queue = zv::testing::FindPdfQueue(whyNot);
  if (!queue) GTEST_SKIP() << whyNot;
  Installation inst;
  const std::string folder = MakeBinder(inst, 4, {}, "zvdunmore");
  const std::string op = PrintFile(inst, folder, 3, 4);
  auto env = inst.Environment();
  env.push_back("LPDEST=" + queue->name);
  env.push_back("XDG_RUNTIME_DIR=" + inst.temp());
  env.push_back("DISPLAY");
  env.push_back("WAYLAND_DISPLAY");
  const auto run = zv::testing::RunProgram(ZV_DUNMORE, {op}, env, 60'000);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::string out = zv::testing::WaitForPdfOutput(*queue, "zvdunmore");
  ASSERT_FALSE(out.empty()) << "no output in " << queue->outFolder;
  EXPECT_EQ(zv::testing::PdfPageCount(out), 2);
  zv::platform::RemoveFile(out);  // nothing left in the queue's folder
}

}  // namespace
