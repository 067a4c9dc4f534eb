// Pages dropped from the work desk into binders of every kind; refusals and
// hostile undo data change nothing; sends killed at each step.
#include <gtest/gtest.h>
#include <unistd.h>

#include <map>

#include "binderlib/binderini.h"
#include "binderlib/binderlib.h"
#include "binderlib/format.h"
#include "binderlib/locks.h"
#include "companion/trace.h"
#include "dravel/dravel.h"
#include "dravel/send.h"
#include "platform/filelock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/library.h"
#include "platform/process.h"
#include "testing/files.h"
#include "testing/installation.h"
#include "testing/pdf.h"
#include "testing/undo_data.h"

namespace bl = zv::companion::binder;
namespace ini = zv::platform::ini;
namespace test = zv::testing;
using Texts = std::vector<std::string>;

namespace {

enum class Kind { Empty, Multi, Single, SecuredMulti, SecuredSingle };
bool IsSecured(Kind k) { return k == Kind::SecuredMulti || k == Kind::SecuredSingle; }

struct Fixture {
  test::Installation inst;
  std::string binder, ini, password;
  bool secured = false;

  explicit Fixture(Kind kind, int pages = 8) {
    inst.LinkIntoViewer("libPixmoor.so", ZV_PIXMOOR_LIB);
    inst.LinkIntoViewer("A4Hollow.pdf", ZV_A4HOLLOW_PDF);
    const std::string cab = inst.AddCabinet(inst.AddLinkFolder());
    secured = IsSecured(kind);
    if (secured) password = "pw";
    EXPECT_EQ(bl::CreateBinder2(cab, {.title = "B", .password = password}, &binder), bl::kCreateOk);
    ini = bl::BinderIniPath(binder);
    if (kind == Kind::Single || kind == Kind::SecuredSingle) ini::WriteInt(ini, "BinderInfo", "FilePageMode", 0);
    if (kind == Kind::Empty) return;
    const std::string pdf = inst.Path("b.pdf");
    test::MakePdf(pdf, pages, "b");
    EXPECT_EQ(bl::AddInfoToBinder4({.binderFolder = binder, .pdfPath = pdf, .sourcePath = pdf, .securedBinder = true}),
              0);
  }
  // Sends under the binder's lock, as the send tool does.
  int Send(const std::string& undo, int count, int position) const {
    bl::ShortLock lock(binder, 10);
    EXPECT_TRUE(lock);
    return zv::dravel::SendPages(nullptr, binder, undo, count, position, secured);
  }
  Texts Pages() const {
    const auto s = bl::ReadBinder(binder);
    if (s.filePageMode == 0) {
      const std::string main = bl::MainPageFilePath(binder, secured);
      return zv::platform::FileSize(main).value_or(0) ? test::PdfPageTexts(main, password) : Texts{};
    }
    Texts out;
    for (const auto& p : s.pages)
      if (p.flag != 2) out.push_back(test::PdfPageTexts(p.filePath, password).at(0));
    return out;
  }
  std::map<std::string, std::string> Snapshot() const {
    std::map<std::string, std::string> files;
    for (const auto& n : test::Names(binder)) files[n] = test::ReadText(binder + "/" + n);
    return files;
  }
};

Texts Labels(const std::string& label, int from, int to) {
  Texts t;
  for (int i = from; i <= to; ++i) t.push_back(label + " " + std::to_string(i));
  return t;
}
Texts operator+(Texts a, const Texts& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::vector<test::UndoPage> Dropped(const std::string& label, int n) {
  std::vector<test::UndoPage> pages;
  for (int i = 1; i <= n; ++i)
    pages.push_back({.text = label + " " + std::to_string(i), .keyword = label + std::to_string(i)});
  return pages;
}

std::string KindName(const ::testing::TestParamInfo<Kind>& info) {
  static const char* const kNames[] = {"Empty", "MultiFile", "SingleFile", "SecuredMultiFile", "SecuredSingleFile"};
  const int at = static_cast<int>(info.param) - static_cast<int>(Kind::Empty);
  return kNames[at];
}

class Sends : public ::testing::TestWithParam<Kind> {};

}  // namespace

// Position 0 puts the pages in front, anything else at the back; an odd
// count gets the blank page; OCR files never overwrite the binder's own.
TEST_P(Sends, FrontAndBackKeepEveryPage) {
  Fixture f(GetParam());
  const Texts old = GetParam() == Kind::Empty ? Texts{} : Labels("b", 1, 8);
  if (!old.empty()) ini::WriteString(f.ini, "OCRText", "Page1OCRTEXTCONTENT", "B_0001.txt");
  if (!old.empty()) ini::WriteString(f.ini, "EditInfo2", "Mark", "b2");
  test::WriteText(f.binder + "/B_0001.txt", "a file of that name");
  auto undo = Dropped("d", 3);
  undo[0].ocr = "dropped text";
  ASSERT_EQ(f.Send(test::WriteUndoData(f.inst.Path("undo1"), undo), 3, 0), 0);
  EXPECT_EQ(f.Pages(), Labels("d", 1, 3) + Texts{"?"} + old);

  ASSERT_EQ(f.Send(test::WriteUndoData(f.inst.Path("undo2"), Dropped("e", 2)), 2, 1), 0);
  EXPECT_EQ(f.Pages(), Labels("d", 1, 3) + Texts{"?"} + old + Labels("e", 1, 2));
  const auto s = bl::ReadBinder(f.binder);
  EXPECT_TRUE(s.ok()) << s.problems.front();
  EXPECT_EQ(s.pageTotal, static_cast<int>(old.size()) + 6);
  EXPECT_EQ(s.pages.at(0).keyword, "d1");
  EXPECT_EQ(ini::GetInt(f.ini, "PageInfo", "Page4Flag", 0), 1);  // the blank page is a real page
  EXPECT_EQ(test::ReadText(f.binder + "/B_0001.txt"), "a file of that name");
  const std::string ocr = ini::GetString(f.ini, "OCRText", "Page1OCRTEXTCONTENT");
  EXPECT_NE(ocr, "B_0001.txt");
  EXPECT_EQ(test::ReadText(f.binder + "/" + ocr), "dropped text");
  if (!old.empty()) {
    EXPECT_EQ(ini::GetString(f.ini, "OCRText", "Page5OCRTEXTCONTENT"), "B_0001.txt");  // moved with its page
    EXPECT_EQ(ini::GetString(f.ini, "EditInfo6", "Mark"), "b2");
    EXPECT_FALSE(ini::SectionExists(f.ini, "EditInfo2"));
  }
  for (const auto& n : test::Names(f.binder)) {
    EXPECT_EQ(n.find("_tmp"), std::string::npos) << n;
    EXPECT_EQ(n.find("_backup"), std::string::npos) << n;
    EXPECT_NE(n, "Locked");
    EXPECT_NE(n, "Conv_Locked");
  }
  if (f.secured) {
    EXPECT_EQ(test::PdfPageCount(bl::MainPageFilePath(f.binder, true)), -1);  // still encrypted
    EXPECT_EQ(test::PdfPageCount(bl::PageFilePath(f.binder, s.pages.back().fileId, true)), -1);
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, Sends,
                         ::testing::Values(Kind::Empty, Kind::Multi, Kind::Single, Kind::SecuredMulti,
                                           Kind::SecuredSingle),
                         KindName);

// Every refusal leaves every file of the binder as it was.
TEST(SendRefusals, ChangeNothing) {
  Fixture f(Kind::Single, 96);
  const std::string undo4 = test::WriteUndoData(f.inst.Path("u4"), Dropped("d", 4));
  const std::string undo5 = test::WriteUndoData(f.inst.Path("u5"), Dropped("d", 5));
  ini::WriteString(f.ini, "BinderInfo", "MaxUploadPage", "\"100\"");
  auto before = f.Snapshot();
  const auto traceBefore = zv::companion::ProcessTraceSettings();
  zv::companion::SetProcessTraceSettings({.path = f.inst.Path("trace"), .enabled = 1});
  EXPECT_EQ(f.Send(undo5, 5, 1), -4);  // 96 + 5 + the blank page
  zv::companion::SetProcessTraceSettings(traceBefore);
  const auto traces = test::Names(f.inst.Path("trace"));
  ASSERT_EQ(traces.size(), 1u);
  const std::string log = test::ReadText(f.inst.Path("trace/" + traces[0]));
  std::size_t at = 0;
  for (const char* line :
       {"Load pixmoor.dll succeed.", "Initial pixmoor.dll succeed.", "Lock binder.", "Page over max page number.",
        "Unlock binder.", "Uninitial pixmoor.dll.", "Unload pixmoor.dll."}) {
    at = log.find(line, at);
    EXPECT_NE(at, std::string::npos) << line << " in order in\n" << log;
  }
  EXPECT_EQ(f.Send(undo4, 2, 1), -3);  // the undo data lists 4 of 2
  EXPECT_EQ(f.Send(undo4, 0, 1), -2);
  EXPECT_EQ(f.Send(undo4, -1, 1), -2);
  EXPECT_EQ(f.Send(f.inst.Path("none/UndoData.ini"), 4, 1), -2);
  EXPECT_EQ(zv::dravel::SendPages(nullptr, "", undo4, 4, 1, false), -2);
  {
    bl::ShortLock lock(f.binder, 10);
    EXPECT_EQ(zv::dravel::SendPages(nullptr, f.binder, undo4, 4, 1, true), -3);  // not a secured binder
  }
  EXPECT_EQ(f.Send(test::WriteUndoData(f.inst.Path("u9"), Dropped("d", 4), 9), 4, 1), -12);
  {
    auto sender = zv::platform::HeldLock::TryAcquire(f.binder + "/~Write.Lock");
    EXPECT_EQ(f.Send(undo4, 4, 1), -6);
  }
  EXPECT_EQ(f.Snapshot(), before);
  const std::tuple<const char*, const char*, int, int> kinds[] = {
      {"BinderInfo", "CardBinder", 1, -8}, {"BinderInfo", "Unarranged", 1, -10}, {"Version", "Version", 9, -14}};
  for (const auto& [section, key, value, code] : kinds) {
    const std::string old = ini::GetString(f.ini, section, key);
    ini::WriteInt(f.ini, section, key, value);
    before = f.Snapshot();
    EXPECT_EQ(f.Send(undo4, 4, 1), code) << key;
    EXPECT_EQ(f.Snapshot(), before) << key;
    ini::WriteString(f.ini, section, key, old);
  }
  ini::WriteInt(f.ini, "BinderInfo", "CardBinder", 1);
  ini::WriteInt(f.ini, "BinderInfo", "ExtBinderType", 1);
  EXPECT_EQ(f.Send(undo4, 4, 1), -15);
  ini::WriteInt(f.ini, "BinderInfo", "CardBinder", 0);
  ::unlink(f.inst.Path("viewer/A4Hollow.pdf").c_str());
  EXPECT_EQ(f.Send(undo4, 4, 1), -5);
  f.inst.LinkIntoViewer("A4Hollow.pdf", ZV_A4HOLLOW_PDF);
  EXPECT_EQ(f.Send(undo4, 4, 1), 0);  // up to MaxUploadPage
  EXPECT_EQ(bl::ReadBinder(f.binder).pageTotal, 100);
}

// Undo data from another process names nothing outside its folder.
TEST(SendRefusals, HostileUndoDataIsRefused) {
  Fixture f(Kind::Multi);
  test::WriteText(f.inst.Path("secret.pdf"), test::ReadText(ZV_A4HOLLOW_PDF));
  const auto before = f.Snapshot();
  const std::vector<std::pair<std::string, std::string>> edits = {{"Page1FilePageName", "../secret.pdf"},
                                                                  {"Page1FilePageName", f.inst.Path("secret.pdf")},
                                                                  {"Page1FilePageName", "link.pdf"},
                                                                  {"Page1FilePageName", "sub"},
                                                                  {"Page1FilePageNumber", "2"},
                                                                  {"Page1FilePageNumber", "0"},
                                                                  {"Page1Flag", "x"},
                                                                  {"PageTotal", "100000"},
                                                                  {"PageTotal", "-2"},
                                                                  {"Page1OCRTEXTCONTENT", "../secret.pdf"}};
  for (const auto& [key, value] : edits) {
    SCOPED_TRACE(key + "=" + value);
    const std::string folder = f.inst.Path("hostile");
    zv::platform::RemoveTree(folder);
    const std::string undo = test::WriteUndoData(folder, Dropped("d", 2));
    ::symlink(f.inst.Path("secret.pdf").c_str(), (folder + "/link.pdf").c_str());
    zv::platform::MakeFolders(folder + "/sub");
    const char* section = key == "PageTotal"                     ? "BinderInfo"
                          : key.find("OCR") != std::string::npos ? "OCRText"
                                                                 : "PageInfo";
    ini::WriteString(undo, section, key, value);
    EXPECT_EQ(f.Send(undo, 2, 1), -2);
    EXPECT_EQ(f.Snapshot(), before);
  }
}

// kill -9 at each step of a send: the monitor's next import and the next
// send find the old or the new binder and no lock left blocking; the send's
// keyword tokens come and go with its pages, never one without the other.
TEST(SendCrash, KilledSendIsRolledBackOrKept) {
  for (Kind kind : {Kind::Multi, Kind::SecuredSingle}) {
    for (const char* step : {"locked", "tmp-ini", "page-files", "pdf-replaced", "committed"}) {
      if (kind == Kind::Multi && std::string(step) == "pdf-replaced") continue;
      SCOPED_TRACE(step);
      Fixture f(kind);
      const std::string undo = test::WriteUndoData(f.inst.Path("u"), Dropped("d", 2));
      const int rc = zv::platform::RunAndWait(std::string(ZV_TEST_TOOLS_DIR) + "/send_crash_tool",
                                              {f.binder, undo, "2", "1", f.secured ? "1" : "0", step, "20261208112500"},
                                              60'000, f.inst.Environment());
      ASSERT_EQ(rc, 128 + 9);
      const bool committed = std::string(step) == "committed";
      const std::string more = f.inst.Path("m.pdf");
      test::MakePdf(more, 1, "m");
      ASSERT_EQ(bl::AddInfoToBinder4({.binderFolder = f.binder,
                                      .pdfPath = more,
                                      .sourcePath = more,
                                      .securedBinder = true,
                                      .lockTimeoutSeconds = 5}),
                0);
      Texts expected = Labels("b", 1, 8) + (committed ? Labels("d", 1, 2) : Texts{}) + Texts{"m 1"};
      EXPECT_EQ(f.Pages(), expected);
      const auto s = bl::ReadBinder(f.binder);
      EXPECT_TRUE(s.ok()) << s.problems.front();
      Texts tokened;
      for (const auto& p : s.pages)
        if (p.keyword.starts_with("20261208112500_")) tokened.push_back(p.keyword);
      EXPECT_EQ(tokened, committed ? Texts({"20261208112500_1 d1", "20261208112500_2 d2"}) : Texts());
      EXPECT_EQ(f.Send(undo, 2, 0), 0);
      EXPECT_EQ(f.Pages(), Labels("d", 1, 2) + expected);
    }
  }
}

TEST(SendExports, ThroughTheLibrary) {
  Fixture f(Kind::Multi, 2);
  auto lib = zv::platform::SharedLibrary::Open(ZV_DRAVEL_LIB);
  ASSERT_TRUE(lib) << lib.error();
  auto count = lib.Symbol<int (*)(const char*, int)>("GetFileTotalPageForSendFile");
  auto send = lib.Symbol<decltype(&AddPagesToBinderForSendFile)>("AddPagesToBinderForSendFile");
  ASSERT_TRUE(count && send);
  const std::string three = f.inst.Path("three.pdf");
  test::MakePdf(three, 3);
  EXPECT_EQ(count(three.c_str(), 0), 3);
  EXPECT_EQ(count("", 0), -2);
  EXPECT_EQ(count(f.inst.Path("missing.pdf").c_str(), 0), -1);
  ::unlink(f.inst.Path("viewer/libPixmoor.so").c_str());
  EXPECT_EQ(count(three.c_str(), 0), -103);
  f.inst.LinkIntoViewer("libPixmoor.so", ZV_PIXMOOR_LIB);

  const std::string undo = test::WriteUndoData(f.inst.Path("u"), Dropped("d", 2));
  bl::ShortLock lock(f.binder, 10);
  EXPECT_EQ(send(nullptr, 0, f.binder.c_str(), undo.c_str(), 2, 0, 0, 0, 0), 0);
  EXPECT_EQ(send(nullptr, 0, nullptr, undo.c_str(), 2, 0, 0, 0, 0), -2);
  // The marking variant: one dropped page and its blank pad both carry the
  // token; the version is raised, never past what is written here.
  auto marked = lib.Symbol<decltype(&AddPagesToBinderForSendFile2)>("AddPagesToBinderForSendFile2");
  ASSERT_TRUE(marked);
  const std::string one = test::WriteUndoData(f.inst.Path("u1"), Dropped("e", 1));
  EXPECT_EQ(marked(nullptr, 0, f.binder.c_str(), one.c_str(), 1, 1, 0, 0, 0, "20261208112500",
                   bl::kSupportedBinderVersion + 1),
            -2);
  EXPECT_EQ(marked(nullptr, 0, f.binder.c_str(), one.c_str(), 1, 1, 0, 0, 0, "2026_1", 0), -2);
  EXPECT_EQ(
      marked(nullptr, 0, f.binder.c_str(), one.c_str(), 1, 1, 0, 0, 0, "20261208112500", bl::kSupportedBinderVersion),
      0);
  lock.Release();
  EXPECT_EQ(f.Pages(), Labels("d", 1, 2) + Labels("b", 1, 2) + Labels("e", 1, 1) + Texts{"?"});
  const auto s = bl::ReadBinder(f.binder);
  EXPECT_EQ(s.pages.at(4).keyword, "20261208112500_1 e1");
  EXPECT_EQ(s.pages.at(5).keyword + " ", "20261208112500_2 ");
  EXPECT_EQ(s.version, bl::kSupportedBinderVersion);
}
