// Page search and deletion on multi-file, single-file and secured binders;
// deletions killed at each step; a deletion racing the monitor's insertion.
#include <gtest/gtest.h>

#include <map>

#include "binderlib/binderini.h"
#include "binderlib/binderlib.h"
#include "binderlib/format.h"
#include "binderlib/locks.h"
#include "binderlib/moswell.h"
#include "keywordpage/Fennet.h"
#include "keywordpage/keywordpage.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/library.h"
#include "platform/process.h"
#include "testing/files.h"
#include "testing/installation.h"
#include "testing/pdf.h"

namespace bl = zv::companion::binder;
namespace ini = zv::platform::ini;
namespace kp = zv::keywordpage;
using Texts = std::vector<std::string>;

namespace {

const std::string kTools = ZV_TEST_TOOLS_DIR;

enum class Kind { Multi, Single, SecuredSingle };

struct Binder {
  std::string folder, ini, pageFile, password;
};

// A binder holding pages "p 1".."p 8" with keywords "kw1".."kw8".
Binder MakeBinder(zv::testing::Installation& inst, Kind kind, const std::string& title = "B") {
  Binder b;
  const std::string cab = inst.AddCabinet(inst.AddLinkFolder());
  if (kind == Kind::SecuredSingle) b.password = "s3cret";
  EXPECT_EQ(bl::CreateBinder2(cab, {.title = title, .password = b.password.empty() ? "" : b.password}, &b.folder),
            bl::kCreateOk);
  b.ini = bl::BinderIniPath(b.folder);
  b.pageFile = bl::MainPageFilePath(b.folder, kind == Kind::SecuredSingle);
  if (kind != Kind::Multi) ini::WriteInt(b.ini, bl::kSecBinderInfo, bl::kKeyFilePageMode, 0);
  const std::string pdf = inst.root() + "/p.pdf";
  zv::testing::MakePdf(pdf, 8, "p");
  bl::InsertRequest rq{.binderFolder = b.folder, .pdfPath = pdf, .sourcePath = pdf, .securedBinder = true};
  for (int i = 1; i <= 8; ++i) rq.pageKeywords.push_back("kw" + std::to_string(i));
  EXPECT_EQ(bl::AddInfoToBinder4(rq), 0);
  return b;
}

// The page texts in page order (counted pages only).
Texts PageTexts(const Binder& b) {
  const auto s = bl::ReadBinder(b.folder);
  if (s.filePageMode == 0) {
    if (zv::platform::FileSize(b.pageFile).value_or(0) == 0) return {};
    return zv::testing::PdfPageTexts(b.pageFile, b.password);
  }
  Texts out;
  for (const auto& p : s.pages)
    if (p.flag != bl::kPageFlagNoFile) out.push_back(zv::testing::PdfPageTexts(p.filePath).at(0));
  return out;
}

std::map<std::string, std::string> Snapshot(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& name : zv::testing::Names(folder)) files[name] = zv::testing::ReadText(folder + "/" + name);
  return files;
}

Texts Pages(std::initializer_list<int> numbers) {
  Texts t;
  for (int n : numbers) t.push_back("p " + std::to_string(n));
  return t;
}

std::string KindName(const ::testing::TestParamInfo<Kind>& info) {
  static const char* const kNames[] = {"MultiFile", "SingleFile", "SecuredSingleFile"};
  const int at = static_cast<int>(info.param) - static_cast<int>(Kind::Multi);
  return kNames[at];
}

class Deletion : public ::testing::TestWithParam<Kind> {};

}  // namespace

// 3-4 of 8 go; the kept pages keep their files; keys that the deletion does
// not know move with their page or stay byte for byte.
TEST_P(Deletion, RemovesTheRangeAndKeepsEverythingElse) {
  zv::testing::Installation inst;
  Binder b = MakeBinder(inst, GetParam());
  ini::WriteString(b.ini, "OCRText", "Page3OCRTEXTCONTENT", "B_0003.txt");
  ini::WriteString(b.ini, "OCRText", "Page6OCRTEXTCONTENT", "B_0006.txt");
  zv::testing::WriteText(b.folder + "/B_0003.txt", "three");
  zv::testing::WriteText(b.folder + "/B_0006.txt", "six");
  ini::WriteString(b.ini, bl::kSecPageInfo, "Page7Custom", "z");
  ini::ClearCache();
  zv::testing::WriteText(
      b.ini, zv::testing::ReadText(b.ini) + "; a comment\n[Foreign]\nkey = v  \n[EditInfo3]\nA=3\n[EditInfo5]\nA=5\n");

  ASSERT_EQ(kp::DeletePages(b.pageFile, 3, 4, false), 0);
  EXPECT_EQ(PageTexts(b), Pages({1, 2, 5, 6, 7, 8}));
  const auto s = bl::ReadBinder(b.folder);
  EXPECT_TRUE(s.ok()) << s.problems.front();
  EXPECT_EQ(s.pageTotal, 6);
  EXPECT_EQ(s.pages.at(2).keyword, "kw5");
  const std::string text = zv::testing::ReadText(b.ini);
  EXPECT_NE(text.find("; a comment\n[Foreign]\nkey = v  \n"), std::string::npos) << text;
  EXPECT_EQ(ini::GetString(b.ini, bl::kSecPageInfo, "Page5Custom"), "z");
  EXPECT_EQ(ini::GetString(b.ini, "EditInfo3", "A"), "5");  // the blocks follow their pages
  EXPECT_FALSE(ini::SectionExists(b.ini, "EditInfo5"));
  EXPECT_EQ(ini::GetString(b.ini, "OCRText", "Page4OCRTEXTCONTENT"), "B_0006.txt");
  EXPECT_EQ(ini::GetString(b.ini, "OCRText", "Page3OCRTEXTCONTENT"), "");
  EXPECT_FALSE(zv::platform::Exists(b.folder + "/B_0003.txt"));
  EXPECT_TRUE(zv::platform::Exists(b.folder + "/B_0006.txt"));
  for (const auto& name : zv::testing::Names(b.folder)) EXPECT_EQ(name.find("_old"), std::string::npos) << name;
  if (GetParam() == Kind::SecuredSingle) {
    EXPECT_EQ(zv::testing::PdfPageCount(b.pageFile), -1);  // still encrypted
  }

  // Every page gone: an empty page file and PageTotal 0.
  for (int i = 0; i < 3; ++i) ASSERT_EQ(kp::DeletePages(b.pageFile, 1, 2, false), 0);
  EXPECT_EQ(zv::platform::FileSize(b.pageFile), 0u);
  EXPECT_EQ(bl::ReadBinder(b.folder).pageTotal, 0);
  EXPECT_TRUE(bl::ReadBinder(b.folder).ok());
}

// Refusals change no byte.
TEST_P(Deletion, RefusalsLeaveEveryFileAsItWas) {
  zv::testing::Installation inst;
  Binder b = MakeBinder(inst, GetParam());
  auto before = Snapshot(b.folder);
  EXPECT_EQ(kp::DeletePages(b.pageFile, 2, 3, false), FENNET_DEL_RANGE);
  EXPECT_EQ(kp::DeletePages(b.pageFile, 7, 10, false), FENNET_DEL_RANGE);
  EXPECT_EQ(kp::DeletePages(b.folder + "/Other.pdf", 1, 2, false), FENNET_DEL_PATH);
  EXPECT_EQ(kp::DeletePages(b.folder + "/" + std::string(250, 'x') + ".pdf", 1, 2, false), FENNET_DEL_PATH);
  EXPECT_EQ(Snapshot(b.folder), before);
  const std::pair<const char*, int> refusals[] = {
      {"CardBinder", FENNET_DEL_CARD}, {"Unarranged", FENNET_DEL_UNARRANGED}, {"Page5EBookID", FENNET_DEL_EBOOK}};
  for (const auto& [key, code] : refusals) {
    const char* section = code == FENNET_DEL_EBOOK ? bl::kSecEBookInfo : bl::kSecBinderInfo;
    ini::WriteInt(b.ini, section, key, 1);
    before = Snapshot(b.folder);
    EXPECT_EQ(kp::DeletePages(b.pageFile, 1, 2, false), code) << key;
    EXPECT_EQ(Snapshot(b.folder), before) << key;
    ini::DeleteKey(b.ini, section, key);
  }
  // A Backup folder is what an interrupted deletion of another program
  // leaves: refused, never removed.
  zv::testing::WriteText(b.folder + "/Backup/B5.pdf", "only copy");
  before = Snapshot(b.folder);
  EXPECT_EQ(kp::DeletePages(b.pageFile, 1, 2, false), FENNET_DEL_FILES);
  EXPECT_EQ(Snapshot(b.folder), before);
  EXPECT_EQ(zv::testing::ReadText(b.folder + "/Backup/B5.pdf"), "only copy");
}

INSTANTIATE_TEST_SUITE_P(Kinds, Deletion, ::testing::Values(Kind::Multi, Kind::Single, Kind::SecuredSingle), KindName);

// Page numbers count every page but flag-2 ones, for search and deletion
// alike; after a front insertion file ids are out of page order and no kept
// page's file is overwritten.
TEST(Numbering, FlagTwoPagesAndFrontInsertedIds) {
  zv::testing::Installation inst;
  Binder b = MakeBinder(inst, Kind::Multi);
  const std::string front = inst.root() + "/f.pdf";
  zv::testing::MakePdf(front, 2, "f");
  ASSERT_EQ(bl::AddInfoToBinder(b.folder, front, front, 0, bl::kInsertFront, 0), 0);  // f1 f2 p1..p8
  ini::WriteInt(b.ini, bl::kSecPageInfo, "Page3Flag", 2);                             // p1 has no page now
  ini::WriteInt(b.ini, bl::kSecBinderInfo, bl::kKeyPageTotal, 9);
  EXPECT_EQ(kp::FindPage(b.pageFile, "kw4"), 5);  // f1 f2 p2 p3 p4
  EXPECT_EQ(kp::FindPage(b.pageFile, "kw1"), 0);  // a page without file is not found
  EXPECT_EQ(kp::FindPage(b.pageFile, ""), -1);
  EXPECT_EQ(kp::FindPage(b.folder + "/missing.pdf", "kw4"), -1);

  ASSERT_EQ(kp::DeletePages(b.pageFile, 3, 4, false), 0);  // p2 p3
  EXPECT_EQ(PageTexts(b), (Texts{"f 1", "f 2", "p 4", "p 5", "p 6", "p 7", "p 8"}));
  EXPECT_EQ(ini::GetInt(b.ini, bl::kSecPageInfo, "Page3Flag", 0), 2);  // the flag-2 page stays in place
  EXPECT_TRUE(bl::ReadBinder(b.folder).ok());

  // The back of a sheet (flag 1) takes its sheet along with the pair switch.
  ini::WriteInt(b.ini, bl::kSecPageInfo, "Page6Flag", 1);  // p 6, counted page 5
  ASSERT_EQ(kp::DeletePages(b.pageFile, 5, 6, true), 0);   // p 4 .. p 7
  EXPECT_EQ(PageTexts(b), (Texts{"f 1", "f 2", "p 8"}));
}

// kill -9 at each step: the next deletion or the next monitor import finds
// the old or the new binder, never a mix, and no page is lost.
TEST(Crash, KilledDeletionIsRolledBackOrFinished) {
  for (Kind kind : {Kind::Multi, Kind::Single, Kind::SecuredSingle}) {
    for (const char* step : {"journal", "page-file", "committed"}) {
      if (kind == Kind::Multi && std::string(step) == "page-file") continue;
      SCOPED_TRACE(step);
      zv::testing::Installation inst;
      Binder b = MakeBinder(inst, kind);
      const int rc = zv::platform::RunAndWait(kTools + "/fennet_delete_tool", {b.pageFile, "3", "6", step}, 60'000);
      ASSERT_EQ(rc, 128 + 9);
      const bool committed = std::string(step) == "committed";
      // The monitor's next import runs the recovery under its lock.
      const std::string more = inst.root() + "/m.pdf";
      zv::testing::MakePdf(more, 2, "m");
      ASSERT_EQ(
          bl::AddInfoToBinder4({.binderFolder = b.folder, .pdfPath = more, .sourcePath = more, .securedBinder = true}),
          0);
      Texts expected = committed ? Pages({1, 2, 7, 8}) : Pages({1, 2, 3, 4, 5, 6, 7, 8});
      expected.insert(expected.end(), {"m 1", "m 2"});
      EXPECT_EQ(PageTexts(b), expected);
      const auto s = bl::ReadBinder(b.folder);
      EXPECT_TRUE(s.ok()) << s.problems.front();
      for (const auto& name : zv::testing::Names(b.folder)) EXPECT_EQ(name.find("_old"), std::string::npos) << name;
      for (int id = 3; kind == Kind::Multi && committed && id <= 6; ++id) {
        EXPECT_FALSE(zv::platform::Exists(bl::PageFilePath(b.folder, id, false))) << id;
      }
    }
  }
}

// A deletion under the binder's lock while another process files through the
// monitor's insertion in a loop: every inserted page is there at the end.
TEST(Crash, DeletionRacesInsertionsWithoutLosingPages) {
  zv::testing::Installation inst;
  Binder b = MakeBinder(inst, Kind::Single);
  const std::string ins = inst.root() + "/i.pdf";
  zv::testing::MakePdf(ins, 2, "i");
  auto inserter = zv::platform::Process::Spawn(kTools + "/fennet_insert_loop", {b.folder, ins, "15"});
  ASSERT_TRUE(inserter.valid());
  for (int i = 0; i < 4; ++i) {
    bl::ShortLock lock(b.folder, 60);
    ASSERT_TRUE(lock);
    ASSERT_EQ(kp::DeletePages(b.pageFile, 1, 2, false), 0);  // p1..p8 go, two at a time
  }
  ASSERT_EQ(inserter.Wait(120'000), 0);
  const Texts texts = PageTexts(b);
  EXPECT_EQ(texts.size(), 30u);
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "i 1"), 15);
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "i 2"), 15);
}

TEST(Exports, ThroughTheSharedLibrary) {
  zv::testing::Installation inst;
  Binder b = MakeBinder(inst, Kind::Multi);
  auto lib = zv::platform::SharedLibrary::Open(ZV_FENNET_LIB);
  ASSERT_TRUE(lib) << lib.error();
  auto find = lib.Symbol<FindPageWithKeyword3Func>(FENNET_FINDPAGE_NAME);
  auto del = lib.Symbol<DelPageFromBinderFunc>(FENNET_DELPAGE_NAME);
  ASSERT_TRUE(find && del);
  EXPECT_EQ(find(b.pageFile.c_str(), "kw3"), 3);
  EXPECT_EQ(find(nullptr, "kw3"), -1);
  EXPECT_EQ(find(b.folder.c_str(), "kw3"), -1);
  EXPECT_EQ(del(nullptr, 1, 2, 0), FENNET_DEL_PATH);
  EXPECT_EQ(del(b.pageFile.c_str(), 1, 2, 0), 0);
  EXPECT_EQ(find(b.pageFile.c_str(), "kw3"), 1);
  EXPECT_EQ(lib.Address("DeletePages"), nullptr);  // nothing but the exports leaves the library
}
