#include <gtest/gtest.h>
#include <unistd.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <filesystem>
#include <fstream>
#include <thread>

#include "binderlib/binderini.h"
#include "binderlib/binderlib.h"
#include "binderlib/folderlist.h"
#include "binderlib/format.h"
#include "binderlib/locks.h"
#include "binderlib/moswell.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "testing/installation.h"
#include "testing/pdf.h"
#include "testing/temp_dir.h"

namespace bl = zv::companion::binder;
namespace ini = zv::platform::ini;
namespace fs = std::filesystem;
using zv::testing::MakePdf;
using zv::testing::PdfPageTexts;

namespace {

// A PDF of blank pages: no content stream, no resources and no MediaBox
// (viewers show such a page at their default size).
void MakeBlankPdf(const std::string& path, int pages) {
  QPDF pdf;
  pdf.emptyPDF();
  for (int i = 0; i < pages; ++i) {
    auto page = pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Page >>"));
    QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(page), false);
  }
  QPDFWriter w(pdf, path.c_str());
  w.setDeterministicID(true);
  w.write();
}

std::string Slurp(const std::string& p) { return zv::platform::ReadFile(p).value_or("<missing>"); }

struct BinderFixture : ::testing::Test {
  zv::testing::Installation inst;
  std::string root = inst.root(), cab, binder, pdf3, pdf2;
  void SetUp() override {
    cab = inst.AddCabinet(inst.AddLinkFolder());
    bl::BinderDescription d;
    d.title = "B1";
    ASSERT_EQ(bl::CreateBinder2(cab, d, &binder), bl::kCreateOk);
    pdf3 = root + "/three.pdf";
    pdf2 = root + "/two.pdf";
    MakePdf(pdf3, 3, "three");
    MakePdf(pdf2, 2, "two");
  }
};

}  // namespace

TEST(Format, PageKeysAndFileNames) {
  EXPECT_EQ(bl::PageKey(12, "FilePageID"), "Page12FilePageID");
  auto p = bl::ParsePageKey("page7ContentText");
  ASSERT_TRUE(p);
  EXPECT_EQ(p->page, 7);
  EXPECT_EQ(p->suffix, "ContentText");
  EXPECT_FALSE(bl::ParsePageKey("PageTotal"));
  EXPECT_FALSE(bl::ParsePageKey("Page0Flag"));
  EXPECT_FALSE(bl::ParsePageKey("Page07Flag"));
  // Id 1 lives in <name>.pdf; other ids in <name><id>.pdf; ".pwb" when secured.
  EXPECT_EQ(bl::PageFilePath("/s/Cab/B/", 1, false), "/s/Cab/B/B.pdf");
  EXPECT_EQ(bl::PageFilePath("/s/Cab/B", 12, true), "/s/Cab/B/B12.pwb");
  EXPECT_EQ(bl::PageFileIdFromName("B", "B.pdf", false), 1);
  EXPECT_EQ(bl::PageFileIdFromName("B", "B12.pdf", false), 12);
  EXPECT_FALSE(bl::PageFileIdFromName("B", "B12.pwb", false));
  EXPECT_FALSE(bl::PageFileIdFromName("B", "B012.pdf", false));
  EXPECT_FALSE(bl::PageFileIdFromName("B", "Bx.pdf", false));
  EXPECT_EQ(bl::SplitList("a,b,,c"), (std::vector<std::string>{"a", "b", "", "c"}));
  EXPECT_TRUE(bl::SplitList("").empty());
  EXPECT_EQ(bl::StripExPrefix("ExBinder"), "Binder");
  EXPECT_FALSE(bl::ParseStrictInt("12x"));
  EXPECT_EQ(bl::ParseStrictInt(" -3 "), -3);
}

TEST(Moswell, RoundTripAndPlainValues) {
  for (std::string pw : {"a", "ab", "abc", "pässwörd-1234", "x,y=z"}) {
    const std::string enc = zv::companion::moswell::EncodePassword(pw);
    EXPECT_EQ(enc.rfind("MW1:", 0), 0u);
    EXPECT_EQ(enc.find(pw), std::string::npos);
    EXPECT_EQ(zv::companion::moswell::DecodePassword(enc), pw);
  }
  EXPECT_EQ(zv::companion::moswell::DecodePassword("plain"), "plain");
  EXPECT_FALSE(zv::companion::moswell::DecodePassword("MW1:@@@"));
}

TEST_F(BinderFixture, NewBinderHasEmptyMainFileAndIsListed) {
  EXPECT_EQ(Slurp(binder + "/B1.pdf"), "");
  EXPECT_EQ(ini::GetString(cab + "/Folder.ini", "BinderInfo", "NameList"), "B1");
  EXPECT_EQ(ini::GetString(cab + "/Folder.ini", "BinderInfo", "PosList"), "1");
  EXPECT_EQ(Slurp(cab + "/Folder.dat"), Slurp(cab + "/Folder.ini"));
  auto b = bl::ReadBinder(binder);
  EXPECT_TRUE(b.ok()) << (b.problems.empty() ? "" : b.problems[0]);
  EXPECT_EQ(b.pageTotal, 0);
  std::string second;
  ASSERT_EQ(bl::CreateBinder2(cab, {.title = "B2"}, &second), bl::kCreateOk);
  EXPECT_EQ(ini::GetString(cab + "/Folder.ini", "BinderInfo", "NameList"), "B1,B2");
  EXPECT_EQ(bl::CreateBinder2(cab, {.title = "b1"}), bl::kCreateExists);
  EXPECT_EQ(bl::CreateBinder2(cab, {.title = "a,b"}), bl::kCreateBadParameter);
}

TEST_F(BinderFixture, BackThenFrontInsertionRenumbersAndKeepsCounts) {
  ini::WriteString(binder + "/B1.ini", "Viewer", "Private", "  kept  as is");
  ASSERT_EQ(bl::AddInfoToBinder(binder, pdf3, pdf3, 0, bl::kInsertBack, 0), 0);
  ini::WriteString(binder + "/B1.ini", "PageInfo", "Page2Custom", "follows page 2");
  ini::WriteString(binder + "/B1.ini", "PageInfo", "Page2ContentNoPage", "2");
  bl::InsertRequest rq;
  rq.binderFolder = binder;
  rq.pdfPath = pdf2;
  rq.insertPos = bl::kInsertFront;
  rq.pageKeywords = {"inv_1 ", "inv_2 "};
  rq.toc = {true, "Invoice", 0, 1};
  bl::InsertOutcome out;
  ASSERT_EQ(bl::AddInfoToBinder4(rq, &out), 0) << out.error;
  EXPECT_EQ(out.newIds, (std::vector<int>{4, 5}));

  auto b = bl::ReadBinder(binder);
  ASSERT_TRUE(b.ok()) << b.problems[0];
  EXPECT_EQ(b.pageTotal, 5);
  EXPECT_EQ(b.maxPageId, 5);
  EXPECT_EQ(b.contentTotal, 1);
  std::vector<int> ids;
  for (auto& p : b.pages) ids.push_back(p.fileId);
  EXPECT_EQ(ids, (std::vector<int>{4, 5, 1, 2, 3}));
  EXPECT_EQ(b.pages[0].keyword, "inv_1");  // the ini layer trims blanks
  EXPECT_EQ(b.pages[0].contentText, "Invoice");
  // A key of the old page 2 moved with it to page 4; unknown sections stay.
  const std::string iniPath = binder + "/B1.ini";
  EXPECT_EQ(ini::GetString(iniPath, "PageInfo", "Page4Custom"), "follows page 2");
  EXPECT_EQ(ini::GetString(iniPath, "PageInfo", "Page2Custom"), "");
  // Contents entries point at their page where it went; each page file
  // holds its page alone.
  EXPECT_EQ(ini::GetInt(iniPath, "PageInfo", "Page4ContentNoPage", 0), 4);
  EXPECT_EQ(ini::GetInt(iniPath, "PageInfo", "Page1ContentNoPage", 0), 1);
  for (int page = 1; page <= 5; ++page) {
    EXPECT_EQ(ini::GetInt(iniPath, "PageInfo", "Page" + std::to_string(page) + "FilePageNumber", 0), 1);
  }
  EXPECT_NE(Slurp(iniPath).find("Private=  kept  as is"), std::string::npos);
  // The page files hold the right pages: id 1 in B1.pdf.
  EXPECT_EQ(PdfPageTexts(binder + "/B1.pdf"), std::vector<std::string>{"three 1"});
  EXPECT_EQ(PdfPageTexts(binder + "/B13.pdf"), std::vector<std::string>{"three 3"});
  EXPECT_EQ(PdfPageTexts(binder + "/B14.pdf"), std::vector<std::string>{"two 1"});
}

TEST_F(BinderFixture, SamePagesGiveSameBytes) {
  std::string other;
  ASSERT_EQ(bl::CreateBinder2(cab, {.title = "B2"}, &other), bl::kCreateOk);
  ASSERT_EQ(bl::AddInfoToBinder(binder, pdf3, pdf3, 0, bl::kInsertBack, 0), 0);
  ASSERT_EQ(bl::AddInfoToBinder(other, pdf3, pdf3, 0, bl::kInsertBack, 0), 0);
  EXPECT_EQ(Slurp(binder + "/B12.pdf"), Slurp(other + "/B22.pdf"));
  EXPECT_NE(Slurp(binder + "/B12.pdf"), Slurp(binder + "/B13.pdf"));
}

TEST_F(BinderFixture, RefusalsLeaveTheBinderUnchanged) {
  ASSERT_EQ(bl::AddInfoToBinder(binder, pdf3, pdf3, 0, bl::kInsertBack, 0), 0);
  const std::string iniPath = binder + "/B1.ini";
  const std::string before = Slurp(iniPath);
  auto files = [&] {
    std::vector<std::string> v;
    for (auto& e : fs::directory_iterator(binder)) v.push_back(e.path().filename());
    std::sort(v.begin(), v.end());
    return v;
  };
  const auto filesBefore = files();
  // Page limit.
  ini::WriteString(iniPath, "BinderInfo", "MaxUploadPage", "\"4\"");
  const std::string limited = Slurp(iniPath);
  EXPECT_EQ(bl::AddInfoToBinder(binder, pdf2, pdf2, 0, bl::kInsertBack, 0), bl::kInsertPageLimit);
  EXPECT_EQ(Slurp(iniPath), limited);
  // A limit of 0 or less refuses every page.
  for (const char* none : {"\"0\"", "\"-1\"", "-7"}) {
    ini::WriteString(iniPath, "BinderInfo", "MaxUploadPage", none);
    const std::string refusing = Slurp(iniPath);
    EXPECT_EQ(bl::AddInfoToBinder(binder, pdf2, pdf2, 0, bl::kInsertBack, 0), bl::kInsertPageLimit) << none;
    EXPECT_EQ(Slurp(iniPath), refusing);
  }
  ini::DeleteKey(iniPath, "BinderInfo", "MaxUploadPage");
  // Keyword list of the wrong length, bad position, missing source.
  bl::InsertRequest rq{.binderFolder = binder, .pdfPath = pdf2, .pageKeywords = {"only one"}};
  EXPECT_EQ(bl::AddInfoToBinder4(rq), bl::kInsertKeywords);
  EXPECT_EQ(bl::AddInfoToBinder(binder, pdf2, pdf2, 0, 7, 0), bl::kInsertParameter);
  EXPECT_EQ(bl::AddInfoToBinder(binder, root + "/none.pdf", "", 0, 0, 0), bl::kInsertParameter);
  // Not a PDF.
  std::ofstream(root + "/text.pdf") << "hello";
  EXPECT_EQ(bl::AddInfoToBinder(binder, root + "/text.pdf", "", 0, 0, 0), bl::kInsertBadSource);
  // Card and temporary binders.
  ini::WriteString(iniPath, "BinderInfo", "CardBinder", "1");
  EXPECT_EQ(bl::AddInfoToBinder(binder, pdf2, pdf2, 0, 0, 0), bl::kInsertCardBinder);
  ini::WriteString(iniPath, "BinderInfo", "CardBinder", "0");
  ini::WriteString(iniPath, "BinderInfo", "Unarranged", "1");
  EXPECT_EQ(bl::AddInfoToBinder(binder, pdf2, pdf2, 0, 0, 0), bl::kInsertTemporaryBinder);
  ini::DeleteKey(iniPath, "BinderInfo", "Unarranged");
  ini::DeleteKey(iniPath, "BinderInfo", "CardBinder");
  // Garbage numbers and a missing page file: refused, nothing deleted.
  ini::WriteString(iniPath, "PageInfo", "MaxPageID", "3x");
  EXPECT_EQ(bl::AddInfoToBinder(binder, pdf2, pdf2, 0, 0, 0), bl::kInsertBinderAccess);
  ini::WriteString(iniPath, "PageInfo", "MaxPageID", "3");
  fs::rename(binder + "/B13.pdf", root + "/B13.pdf");
  EXPECT_EQ(bl::AddInfoToBinder(binder, pdf2, pdf2, 0, 0, 0), bl::kInsertBinderAccess);
  fs::rename(root + "/B13.pdf", binder + "/B13.pdf");
  EXPECT_EQ(files(), filesBefore);
  EXPECT_EQ(bl::ReadBinder(binder).pageTotal, 3);
}

TEST_F(BinderFixture, OpenBinderIsBusyAndStaleOpenLockIsRemoved) {
  {
    auto held = bl::HoldBinderOpen(binder);
    ASSERT_TRUE(held.valid());
    EXPECT_EQ(bl::TestBinderOpen(binder), bl::OpenState::Open);
    EXPECT_EQ(bl::AddInfoToBinder(binder, pdf2, pdf2, 0, 0, 0), bl::kInsertBusy);
    held.CloseOnly();  // the viewer died: the file stays, nobody holds it
  }
  ASSERT_TRUE(fs::exists(binder + "/~Open.Locked"));
  EXPECT_EQ(bl::AddInfoToBinder(binder, pdf2, pdf2, 0, 0, 0), 0);
  EXPECT_FALSE(fs::exists(binder + "/~Open.Locked"));
  // Send locks left by a send that died block nothing and are cleared; a
  // live sender (holding ~Write.Lock) makes the insertion wait.
  std::ofstream(binder + "/Conv_Locked") << "";
  std::ofstream(binder + "/Locked") << "";
  EXPECT_EQ(bl::AddInfoToBinder(binder, pdf2, pdf2, 0, 0, 0), 0);
  EXPECT_FALSE(fs::exists(binder + "/Conv_Locked"));
  EXPECT_FALSE(fs::exists(binder + "/Locked"));
  auto sender = zv::platform::HeldLock::TryAcquire(binder + "/~Write.Lock");
  ASSERT_TRUE(sender.valid());
  EXPECT_EQ(bl::AddInfoToBinder(binder, pdf2, pdf2, 0, 0, 0), bl::kInsertBusy);
}

TEST_F(BinderFixture, OrphansOfAnInterruptedInsertionAreRemoved) {
  ASSERT_EQ(bl::AddInfoToBinder(binder, pdf2, pdf2, 0, 0, 0), 0);
  std::ofstream(binder + "/B13.pdf") << "half a page";
  std::ofstream(binder + "/B19.pdf") << "another";
  ASSERT_EQ(bl::AddInfoToBinder(binder, pdf3, pdf3, 0, 0, 0), 0);
  EXPECT_FALSE(fs::exists(binder + "/B19.pdf"));
  EXPECT_EQ(PdfPageTexts(binder + "/B13.pdf"), std::vector<std::string>{"three 1"});
  EXPECT_TRUE(bl::ReadBinder(binder).ok());
}

TEST_F(BinderFixture, SecuredBinderKeepsEncryptedPages) {
  std::string secured;
  ASSERT_EQ(bl::CreateBinder2(cab, {.title = "S", .password = "s3cret"}, &secured), bl::kCreateOk);
  EXPECT_TRUE(fs::exists(secured + "/S.pwb"));
  EXPECT_EQ(ini::GetString(secured + "/S.ini", "BinderInfo", "Password").find("s3cret"), std::string::npos);
  EXPECT_EQ(bl::AddInfoToBinder(secured, pdf2, pdf2, 0, 0, 0), bl::kInsertUnsupported);
  bl::InsertRequest rq{.binderFolder = secured, .pdfPath = pdf2, .securedBinder = true};
  ASSERT_EQ(bl::AddInfoToBinder4(rq), 0);
  EXPECT_EQ(PdfPageTexts(secured + "/S2.pwb", "s3cret"), std::vector<std::string>{"two 2"});
  EXPECT_ANY_THROW(PdfPageTexts(secured + "/S2.pwb"));
  EXPECT_TRUE(bl::ReadBinder(secured).ok());
}

TEST_F(BinderFixture, SingleFileBinderIsRebuilt) {
  const std::string iniPath = binder + "/B1.ini";
  ini::WriteInt(iniPath, "BinderInfo", "FilePageMode", 0);
  bl::InsertRequest rq{.binderFolder = binder, .pdfPath = pdf3, .toc = {true, "Three", 0, 1}};
  ASSERT_EQ(bl::AddInfoToBinder4(rq), 0);
  // A page filed before the page numbers were written, and a page without
  // a page file (flag 2) at the end.
  ini::DeleteKey(iniPath, "PageInfo", "Page2FilePageNumber");
  ini::WriteInt(iniPath, "PageInfo", "Page4Flag", 2);
  ASSERT_EQ(bl::AddInfoToBinder(binder, pdf2, pdf2, 0, bl::kInsertFront, 0), 0);
  const std::vector<std::string> texts = PdfPageTexts(binder + "/B1.pdf");
  EXPECT_EQ(texts, (std::vector<std::string>{"two 1", "two 2", "three 1", "three 2", "three 3"}));
  // Every page with a file names its own place in B1.pdf.
  const std::vector<std::string> shown = {"two 1", "two 2", "three 1", "three 2", "three 3"};
  for (int page = 1; page <= 5; ++page) {
    const int n = ini::GetInt(iniPath, "PageInfo", "Page" + std::to_string(page) + "FilePageNumber", 0);
    ASSERT_TRUE(n >= 1 && n <= 5) << page;
    EXPECT_EQ(texts[n - 1], shown[page - 1]) << page;
  }
  EXPECT_EQ(ini::GetInt(iniPath, "PageInfo", "Page6Flag", 0), 2);
  EXPECT_EQ(ini::GetString(iniPath, "PageInfo", "Page6FilePageNumber"), "");
  EXPECT_EQ(ini::GetInt(iniPath, "PageInfo", "Page3ContentNoPage", 0), 3);
  EXPECT_EQ(bl::ReadBinder(binder).CountedPages(), 5);
  EXPECT_FALSE(fs::exists(binder + "/B12.pdf"));
}

// Pages with flag 2 have no page file: they keep their place in the page
// list, but neither PageTotal nor the page limit counts them.
TEST_F(BinderFixture, FlagTwoPagesHoldAPlaceButDoNotCount) {
  const std::string iniPath = binder + "/B1.ini";
  ASSERT_EQ(bl::AddInfoToBinder(binder, pdf2, pdf2, 0, bl::kInsertBack, 0), 0);
  ini::WriteInt(iniPath, "PageInfo", "Page3Flag", 2);
  ini::WriteString(iniPath, "PageInfo", "Page3ContentText", "Divider");
  ini::WriteString(iniPath, "BinderInfo", "MaxUploadPage", "\"5\"");
  auto b = bl::ReadBinder(binder);
  ASSERT_TRUE(b.ok()) << b.problems[0];
  EXPECT_EQ(b.pages.size(), 3u);
  EXPECT_EQ(b.CountedPages(), 2);

  ASSERT_EQ(bl::AddInfoToBinder(binder, pdf3, pdf3, 0, bl::kInsertBack, 0), 0);  // 2 + 3 = 5
  b = bl::ReadBinder(binder);
  ASSERT_TRUE(b.ok()) << b.problems[0];
  EXPECT_EQ(b.pageTotal, 5);
  ASSERT_EQ(b.pages.size(), 6u);
  EXPECT_EQ(b.pages[2].contentText, "Divider");
  EXPECT_EQ(b.pages[3].fileId, 3);  // the new pages follow the divider
  EXPECT_EQ(bl::AddInfoToBinder(binder, pdf2, pdf2, 0, bl::kInsertBack, 0), bl::kInsertPageLimit);
}

TEST_F(BinderFixture, StaleFolderLockDoesNotBlock) {
  {
    auto first = bl::FolderLock::TryOnce(cab);
    ASSERT_TRUE(first.held());
    EXPECT_FALSE(bl::FolderLock::TryOnce(cab).held());
  }
  // Left behind by a process that died: present, unheld.
  std::ofstream(cab + "/Folder.Locked") << "x";
  auto again = bl::FolderLock::TryOnce(cab);
  EXPECT_TRUE(again.held());
  again.Release();
  EXPECT_FALSE(fs::exists(cab + "/Folder.Locked"));
}

TEST(PdfCount, WalksThePageTree) {
  const zv::testing::TempDir tmp;
  const std::string& dir = tmp.path();
  MakePdf(dir + "/p.pdf", 4);
  EXPECT_EQ(bl::PdfPageCount(dir + "/p.pdf"), 4);
  EXPECT_EQ(bl::PdfPageCountA3B4(dir + "/p.pdf", 1), 4);
  // A /Count that lies does not change the count.
  std::string bytes = Slurp(dir + "/p.pdf");
  auto pos = bytes.find("/Count 4");
  ASSERT_NE(pos, std::string::npos);
  bytes.replace(pos, 8, "/Count 9");
  std::ofstream(dir + "/lie.pdf", std::ios::binary) << bytes;
  EXPECT_EQ(bl::PdfPageCount(dir + "/lie.pdf"), 4);
  EXPECT_EQ(bl::PdfPageCount(dir + "/missing.pdf"), -1);
  // Blank pages (no contents, no boxes) are pages for both counts.
  MakeBlankPdf(dir + "/blank.pdf", 3);
  EXPECT_EQ(bl::PdfPageCount(dir + "/blank.pdf"), 3);
  EXPECT_EQ(bl::PdfPageCountA3B4(dir + "/blank.pdf", 1), 3);
}

// Pages of several files, one of them secured, into one new document; a
// password encrypts the result; a page outside its file writes nothing.
TEST(DocumentFromPages, PicksPagesAcrossFilesAndEncrypts) {
  zv::testing::TempDir dir;
  MakePdf(dir / "a.pdf", 3, "a");
  MakePdf(dir / "s.pdf", zv::testing::PdfPages(2, "s"), zv::testing::PdfLock{"pw"});
  const std::vector<bl::PageOfFile> pages = {{dir / "a.pdf", 2}, {dir / "s.pdf", 1, "pw"}, {dir / "a.pdf", 0}};
  ASSERT_TRUE(bl::WriteDocumentFromPages(pages, "", dir / "out.pdf"));
  EXPECT_EQ(PdfPageTexts(dir / "out.pdf"), (std::vector<std::string>{"a 3", "s 2", "a 1"}));

  ASSERT_TRUE(bl::WriteDocumentFromPages(pages, "secret", dir / "out.pwb"));
  EXPECT_EQ(zv::testing::PdfPageCount(dir / "out.pwb"), -1);  // not readable without the password
  EXPECT_EQ(PdfPageTexts(dir / "out.pwb", "secret"), (std::vector<std::string>{"a 3", "s 2", "a 1"}));

  std::string error;
  EXPECT_FALSE(bl::WriteDocumentFromPages({{dir / "a.pdf", 3}}, "", dir / "out.pdf", &error));
  EXPECT_NE(error.find("no page 4"), std::string::npos) << error;
  EXPECT_EQ(PdfPageTexts(dir / "out.pdf"), (std::vector<std::string>{"a 3", "s 2", "a 1"}));
  EXPECT_EQ(bl::MakeDocumentFromPages({}, ""), std::string());
}

// A send that starts while the insertion waits for the binder's lock is
// seen once the lock is had: the insertion skips instead of writing beside it.
TEST_F(BinderFixture, SendStartedDuringTheLockWaitIsSeen) {
  bl::ShortLock held(binder, 5);
  ASSERT_TRUE(held);
  int rc = 99;
  std::thread importer([&] {
    rc = bl::AddInfoToBinder4({.binderFolder = binder, .pdfPath = pdf2, .sourcePath = pdf2, .lockTimeoutSeconds = 30});
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // past its first check, waiting for the lock
  auto sender = zv::platform::HeldLock::TryAcquire(binder + "/~Write.Lock");
  ASSERT_TRUE(sender.valid());
  held.Release();
  importer.join();
  EXPECT_EQ(rc, bl::kInsertBusy);
}
