// Operations on listed imports: removal by the exact page tokens (never the
// wrong import's pages, never across an inserting process), and the tool
// protocol against stub tools (missing and stale answers, a hanging tool,
// paths with blanks and Japanese characters).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <thread>

#include "binderlib/binderini.h"
#include "binderlib/binderlib.h"
#include "binderlib/format.h"
#include "implist/operations.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/process.h"
#include "store/store.h"
#include "testing/files.h"
#include "testing/installation.h"
#include "testing/pdf.h"

namespace zv::implist {
namespace {

namespace bl = companion::binder;
namespace ini = platform::ini;
using testing::Installation;
using Texts = std::vector<std::string>;

const std::string kInsertLoop = std::string(ZV_TEST_TOOLS_DIR) + "/ops_insert_loop";

// Files `pages` pages "<label> 1".. at the back, page i with keyword
// "<keyword>_<i> " (or the given keywords).
void Import(const Installation& inst, const std::string& folder, const std::string& label, int pages,
            const std::string& keyword, Texts keywords = {}) {
  const std::string pdf = inst.root() + "/" + label + ".pdf";
  testing::MakePdf(pdf, pages, label);
  if (keywords.empty())
    for (int i = 1; i <= pages; ++i) keywords.push_back(keyword + "_" + std::to_string(i) + " ");
  ASSERT_EQ(
      bl::AddInfoToBinder4(
          {.binderFolder = folder, .pdfPath = pdf, .sourcePath = pdf, .pageKeywords = keywords, .securedBinder = true}),
      0);
}

std::string NewBinder(Installation& inst, const std::string& link = "Local", const std::string& title = "B",
                      const std::string& password = {}) {
  std::string folder;
  EXPECT_EQ(
      bl::CreateBinder2(inst.AddCabinet(inst.AddLinkFolder(link)), {.title = title, .password = password}, &folder),
      bl::kCreateOk);
  return folder;
}

// Texts of the binder's pages in order (one file per page).
Texts PageTexts(const std::string& folder) {
  Texts out;
  for (const auto& p : bl::ReadBinder(folder).pages)
    if (p.flag != bl::kPageFlagNoFile) out.push_back(testing::PdfPageTexts(p.filePath).at(0));
  return out;
}

std::map<std::string, std::string> Snapshot(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& name : testing::Names(folder)) files[name] = testing::ReadText(folder + "/" + name);
  return files;
}

// A list row for an import into `folder`, appended to the context's list file.
Row AddRow(const OpContext& ctx, const std::string& folder, const std::string& keyword, int pages,
           const std::string& time = {}) {
  Record r;
  r.Set("Time", time.empty() ? keyword : time);
  r.Set("Name", "doc " + keyword);
  r.Set("Result", "1");
  r.Set("Binder", "B");
  r.Set("bWorkDesk", "0");
  r.Set("BinderPath", folder);
  r.Set("Keyword", keyword);
  r.Set("Page", std::to_string(pages));
  const std::string section = AppendRecord(ctx.listFile, r, 0);
  EXPECT_FALSE(section.empty());
  return *ReadRow(ctx.listFile, section);
}

OpContext Context(const Installation& inst, const std::string& programFolder = {}) {
  OpContext ctx;
  ctx.programFolder = programFolder.empty() ? inst.program() : programFolder;
  platform::MakeFolders(ctx.programFolder + "/Rslt");
  ctx.listFile = ctx.programFolder + "/Rslt/ImpListData.ini";
  ctx.settingsFile = ctx.programFolder + "/Quibbin.ini";
  return ctx;
}

std::vector<int> Ids(const OpResult& r) {
  std::vector<int> ids;
  for (const auto& m : r.messages) ids.push_back(m.id);
  return ids;
}

TEST(RemoveFromBinder, OnlyTheSelectedImportsPagesGoAndTwoImportsOfOneSecondAreRefused) {
  Installation inst;
  const std::string folder = NewBinder(inst);
  const OpContext ctx = Context(inst);
  Import(inst, folder, "a", 2, "20261208101500");
  Import(inst, folder, "s", 4, "20261208101501");
  // Not tokens of the selected import: no blank before them.
  Import(inst, folder, "d", 2, "", {"ref:20261208101501_1 ", "ref:20261208101501_2 "});
  // Two imports of one second carry the same tokens.
  Import(inst, folder, "e", 2, "20261208101502");
  Import(inst, folder, "f", 2, "20261208101502");
  const Row s = AddRow(ctx, folder, "20261208101501", 4);
  const Row e = AddRow(ctx, folder, "20261208101502", 2);

  const OpResult r = RemoveRowsFromBinder(ctx, {s, e});
  EXPECT_EQ(Ids(r), (std::vector<int>{kTxtBinderEdited, kTxtRemoveDone}));
  EXPECT_EQ(r.removedSections, Texts{s.section});
  EXPECT_EQ(PageTexts(folder), (Texts{"a 1", "a 2", "d 1", "d 2", "e 1", "e 2", "f 1", "f 2"}));
  EXPECT_TRUE(store::CheckStore(folder).empty());
  ini::ClearCache();
  EXPECT_FALSE(ini::SectionExists(ctx.listFile, s.section));
  EXPECT_TRUE(ini::SectionExists(ctx.listFile, e.section));
  EXPECT_EQ(ini::GetString(ctx.settingsFile, "ImpListSettings", "DeleteLockFlag"), "0");
}

TEST(RemoveFromBinder, EditedBindersAndMonitorImportsStayByteIdentical) {
  Installation inst;
  const std::string folder = NewBinder(inst);
  const OpContext ctx = Context(inst);
  Import(inst, folder, "a", 4, "20261208101500");
  Import(inst, folder, "b", 2, "20261208101501");
  // The viewer moved page 3 before page 2.
  const std::string iniPath = bl::BinderIniPath(folder);
  std::map<std::string, std::string> two, three;
  for (const auto& [k, v] : ini::SectionEntries(iniPath, "PageInfo")) {
    if (auto p = bl::ParsePageKey(k); p && p->page == 2) two[p->suffix] = v;
    if (auto p = bl::ParsePageKey(k); p && p->page == 3) three[p->suffix] = v;
  }
  for (const auto& [suffix, v] : three) ini::WriteString(iniPath, "PageInfo", bl::PageKey(2, suffix), v);
  for (const auto& [suffix, v] : two) ini::WriteString(iniPath, "PageInfo", bl::PageKey(3, suffix), v);
  const auto before = Snapshot(folder);

  const Row edited = AddRow(ctx, folder, "20261208101500", 4);
  const Row monitor = AddRow(ctx, folder, "0", 0, "20261208101501");
  const Row tooLong = AddRow(ctx, folder, "20261208101501", 4);  // the record promises more pages than carry tokens
  const OpResult r = RemoveRowsFromBinder(ctx, {edited, monitor, tooLong});
  EXPECT_EQ(Ids(r), (std::vector<int>{kTxtBinderEdited, kTxtMonitorImportKept, kTxtBinderEdited}));
  EXPECT_TRUE(r.removedSections.empty());
  EXPECT_EQ(Snapshot(folder), before);
  EXPECT_EQ(ini::GetString(ctx.settingsFile, "ImpListSettings", "DeleteLockFlag"), "0");
}

TEST(RemoveFromBinder, SendAppendedAtAnOddTotalIsRefusedWithItsCode) {
  Installation inst;
  const std::string folder = NewBinder(inst);
  const OpContext ctx = Context(inst);
  Import(inst, folder, "a", 1, "20261208101500");
  // A sent page and its blank: an even run starting on page 2.
  Import(inst, folder, "s", 2, "", {"20261208101501_1 ", ""});
  const auto before = Snapshot(folder);
  const OpResult r = RemoveRowsFromBinder(ctx, {AddRow(ctx, folder, "20261208101501", 2)});
  ASSERT_EQ(Ids(r), std::vector<int>{kTxtRemoveFailed});
  EXPECT_EQ(r.messages[0].text, OpsText(kTxtRemoveFailed, {"2", "3", "-6"}));
  EXPECT_NE(r.messages[0].text.find("2-3"), std::string::npos);
  EXPECT_EQ(Snapshot(folder), before);
}

TEST(RemoveFromBinder, NeverOverlapsAnInsertingProcess) {
  Installation inst;
  const std::string folder = NewBinder(inst);
  const OpContext ctx = Context(inst);
  std::vector<Row> rows;
  for (int i = 0; i < 16; ++i) {
    const std::string kw = "202612081016" + std::to_string(10 + i);
    Import(inst, folder, "k" + std::to_string(i), 2, kw);
    rows.push_back(AddRow(ctx, folder, kw, 2));
  }
  const std::string pdf = inst.root() + "/ins.pdf";
  testing::MakePdf(pdf, 2, "ins");
  platform::Process inserter = platform::Process::Spawn(kInsertLoop, {folder, pdf, "30"}, {}, inst.Environment());
  ASSERT_TRUE(inserter.valid());
  // The monitor is told to hold off while removals run.
  std::atomic<bool> done{false}, flagSeen{false};
  std::thread watcher([&] {
    while (!done && !flagSeen) {
      if (ini::GetString(ctx.settingsFile, "ImpListSettings", "DeleteLockFlag") == "1") flagSeen = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });
  // Busy answers are tried again; each removal searches and deletes under
  // the binder's short lock, so the front insertions never shift its pages.
  for (int round = 0; round < 3000 && !rows.empty(); ++round) {
    const OpResult r = RemoveRowsFromBinder(ctx, rows);
    std::erase_if(rows, [&](const Row& row) {
      return std::find(r.removedSections.begin(), r.removedSections.end(), row.section) != r.removedSections.end();
    });
    for (const auto& m : r.messages) ASSERT_TRUE(m.id == kTxtBinderBusyRemove || m.id == kTxtRemoveDone) << m.text;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  done = true;
  watcher.join();
  EXPECT_TRUE(flagSeen);
  EXPECT_EQ(ini::GetString(ctx.settingsFile, "ImpListSettings", "DeleteLockFlag"), "0");
  EXPECT_EQ(inserter.Wait(120'000), 0);
  EXPECT_TRUE(rows.empty());
  const Texts texts = PageTexts(folder);
  EXPECT_EQ(texts.size(), 60u);
  for (const auto& t : texts) EXPECT_EQ(t.rfind("ins ", 0), 0u) << t;
  EXPECT_TRUE(store::CheckStore(folder).empty());
}

// ---- the tool protocol ------------------------------------------------------

// A stub tool in the viewer's folder: records its arguments (one per line)
// and a copy of its operation file, then does `then`.
void StubTool(const Installation& inst, const std::string& name, const std::string& opArg, const std::string& then) {
  const std::string path = inst.viewer() + "/" + name;
  const std::string log = inst.root() + "/" + name;
  testing::WriteText(path, "#!/bin/sh\nprintf '%s\\n' \"$@\" >> \"" + log + ".args\"\ncp \"" + opArg + "\" \"" + log +
                               ".op\"\n" + then + "\n");
  std::filesystem::permissions(path, std::filesystem::perms(0755));
}
const std::string kAnswerView = "printf '[Quillet_Output]\\nResult=0\\n' >> \"$4\"";

TEST(ToolProtocol, ViewWithBlanksAndJapaneseInEveryPath) {
  Installation inst;
  const std::string folder = NewBinder(inst, "リンク 1", "綴り 帳", "pass word");
  const OpContext ctx = Context(inst, inst.Path("プログラム フォルダ"));
  Import(inst, folder, "x", 1, "20261208101459");
  Import(inst, folder, "a", 2, "20261208101500");
  Import(inst, folder, "s", 3, "20261208101501");
  StubTool(inst, kViewTool, "$4", kAnswerView);

  const OpResult r = ViewRows(ctx, {AddRow(ctx, folder, "20261208101501", 3)}, true);
  EXPECT_TRUE(r.ok);
  EXPECT_TRUE(r.messages.empty());
  const std::string opFile = ctx.programFolder + "/~ImpView.ini";
  EXPECT_EQ(testing::Lines(testing::ReadText(inst.root() + "/Quillet.args")),
            (Texts{folder + "/綴り 帳.pdf", "4", "1", opFile}));
  const std::string seen = inst.root() + "/Quillet.op";
  for (const auto& [key, value] : std::map<std::string, std::string>{
           {"DspSizeMode", "0"}, {"DspErrMsg", "1"}, {"WaitMode", "0"}, {"KeyDspMode", "0"}, {"ShowPswDlg", "1"}})
    EXPECT_EQ(ini::GetString(seen, "Quillet_Input", key), value) << key;
  EXPECT_EQ(testing::ReadText(seen).find("pass"), std::string::npos) << "the binder password left the binder";
  EXPECT_FALSE(platform::Exists(folder + "/" + kImpLockName));

  // A monitor import is found by its time's tokens; a time whose tokens
  // stand twice opens page 1 with a notice.
  platform::RemoveFile(inst.root() + "/Quillet.args");
  EXPECT_TRUE(ViewRows(ctx, {AddRow(ctx, folder, "0", 0, "20261208101500")}, false).ok);
  Import(inst, folder, "t", 1, "20261208101500");
  const OpResult twice = ViewRows(ctx, {AddRow(ctx, folder, "0", 0, "20261208101500")}, false);
  EXPECT_EQ(Ids(twice), std::vector<int>{kTxtPageNotFound});
  const Texts args = testing::Lines(testing::ReadText(inst.root() + "/Quillet.args"));
  ASSERT_EQ(args.size(), 8u);
  EXPECT_EQ(args[1], "2");
  EXPECT_EQ(args[5], "1");
  // Two rows: the viewer refuses.
  EXPECT_EQ(Ids(ViewRows(ctx, {AddRow(ctx, folder, "1", 1), AddRow(ctx, folder, "2", 1)}, false)),
            std::vector<int>{kTxtViewOneRowOnly});
}

TEST(ToolProtocol, MissingAndStaleResultsAreFailures) {
  Installation inst;
  const std::string folder = NewBinder(inst);
  const OpContext ctx = Context(inst);
  Import(inst, folder, "a", 2, "20261208101500");
  const Row row = AddRow(ctx, folder, "20261208101500", 2);
  StubTool(inst, kViewTool, "$4", "exit 0");
  const std::string stale = "[Quillet_Output]\nResult=0\n";
  for (bool staleFile : {false, true}) {
    if (staleFile) testing::WriteText(ctx.programFolder + "/~ImpView.ini", stale);
    const OpResult r = ViewRows(ctx, {row}, false);
    EXPECT_FALSE(r.ok);
    ASSERT_EQ(Ids(r), std::vector<int>{kTxtViewerFailedCode});
    EXPECT_EQ(r.messages[0].text, OpsText(kTxtViewerFailedCode, {"-1"}));
  }
  // A print tool's missing answer.
  StubTool(inst, kBinderTool, "$1", "exit 0");
  EXPECT_EQ(Ids(PrintRows(ctx, {row})), std::vector<int>{kTxtPrintFailed});
}

TEST(ToolProtocol, HangingToolIsStoppedAtItsLimitOnTheTestClock) {
  Installation inst;
  const std::string folder = NewBinder(inst);
  const OpContext ctx = Context(inst);
  Import(inst, folder, "a", 2, "20261208101500");
  const Row row = AddRow(ctx, folder, "20261208101500", 2);
  StubTool(inst, kViewTool, "$4", "exec sleep 3000");
  platform::FakeClock clock;
  const auto started = std::chrono::steady_clock::now();
  OpResult r;
  {
    platform::ScopedClock scoped(clock);
    r = ViewRows(ctx, {row}, false);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
  EXPECT_GE(clock.SteadyMs(), 300'000);
  ASSERT_EQ(Ids(r), std::vector<int>{kTxtToolStopped});
  EXPECT_EQ(r.messages[0].text, OpsText(kTxtToolStopped, {"300"}));
  EXPECT_FALSE(platform::Exists(folder + "/" + kImpLockName));
}

TEST(ToolProtocol, PrintHandsEachRowsRangeToTheTool) {
  Installation inst;
  const std::string folder = NewBinder(inst, "Link A", "Bind B");
  const OpContext ctx = Context(inst);
  Import(inst, folder, "a", 2, "20261208101500");
  Import(inst, folder, "s", 3, "20261208101501");
  StubTool(inst, kBinderTool, "$1", "printf '[Dunmore_Output]\\nResult=0\\n' >> \"$1\"");
  const OpResult r =
      PrintRows(ctx, {AddRow(ctx, folder, "20261208101501", 3), AddRow(ctx, folder, "0", 0, "20261208101500")});
  EXPECT_TRUE(r.ok) << (r.messages.empty() ? "" : r.messages[0].text);
  const std::string opFile = ctx.programFolder + "/~ImpPrint.ini";
  EXPECT_EQ(testing::Lines(testing::ReadText(inst.root() + "/Dunmore.args")), (Texts{opFile, opFile}));
  // The copy is the second run's file.
  const std::string seen = inst.root() + "/Dunmore.op";
  EXPECT_EQ(ini::GetString(seen, "Dunmore_Input", "Action"), "2");
  EXPECT_EQ(ini::GetString(seen, "Dunmore_Input", "LibraryName"), "Lib");
  EXPECT_EQ(ini::GetString(seen, "Dunmore_Input", "CabinetName"), "Cab");
  EXPECT_EQ(ini::GetString(seen, "Dunmore_Input", "OpeFilePath"), folder + "/Bind B.pdf");
  EXPECT_EQ(ini::GetString(seen, "Dunmore_Input", "PrintStartPage"), "1");
  EXPECT_EQ(ini::GetString(seen, "Dunmore_Input", "PrintEndPage"), "2");
}

}  // namespace
}  // namespace zv::implist
