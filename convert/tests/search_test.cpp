// Choosing the binder for an import: overflow names, the "#n" split, the
// order in which existing overflow binders are tried, new cabinets and
// libraries when levels are full, and the rollback of a level whose parent
// cannot be updated.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "binderlib/binderini.h"
#include "binderlib/binderlib.h"
#include "binderlib/folderlist.h"
#include "binderlib/format.h"
#include "dravel/search.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/text.h"
#include "store/store.h"
#include "testing/installation.h"
#include "testing/pdf.h"

namespace zv::dravel {
namespace {

namespace test = zv::testing;

namespace bl = companion::binder;

std::string SharpNum(const std::string& in, int* result) {
  char buf[DRAVEL_PATH_MAX] = {};
  std::memcpy(buf, in.data(), in.size());
  *result = GetSharpNum2(buf);
  return buf;
}

TEST(SharpNumber, SplitsOverflowSuffixes) {
  struct Case {
    const char* in;
    const char* out;
    int result;
  } cases[] = {
      {"####", "", -1},           // nothing but "#"
      {"#5", "", -1},             // the number leaves nothing
      {"Report", "Report", 0},    // no "#": unchanged
      {"Report#3", "Report", 0},  // second pass has no suffix left
      {"A#2#3", "A", 0},          // applied again until stable
      {"A##5", "A", 0},           // "#" before the number dropped too
      {"Report##", "Report", 0},  // trailing "#" only
      {"A#x3", "A#x3", 0},        // not only digits after the "#"
      {"請求書#12", "請求書", 0},
  };
  for (const auto& c : cases) {
    int r = 99;
    EXPECT_EQ(SharpNum(c.in, &r), c.out) << c.in;
    EXPECT_EQ(r, c.result) << c.in;
  }
  // The one-pass split keeps the number.
  EXPECT_EQ(SplitSharpNumber("請求書#12").number, 12);
  EXPECT_EQ(SplitSharpNumber("請求書#12").base, "請求書");
  EXPECT_EQ(SplitSharpNumber("B#99999999999999").number, 999'999'999);  // no overflow
}

TEST(OverflowNames, FitTheWidthWithoutSplittingCharacters) {
  EXPECT_EQ(OverflowName("Binder", 2, kBinderNameWidth), "Binder#2");
  // 30 wide characters (width 60): cut to whole characters only.
  std::string wide;
  for (int i = 0; i < 30; ++i) wide += "書";
  const std::string b2 = OverflowName(wide, 2, kBinderNameWidth);    // 23 chars + "#2" = 48
  const std::string b10 = OverflowName(wide, 10, kBinderNameWidth);  // 22 chars + "#10" = 47
  EXPECT_EQ(platform::DisplayWidth(b2), 48u);
  EXPECT_EQ(b2, wide.substr(0, 23 * 3) + "#2");
  EXPECT_EQ(platform::DisplayWidth(b10), 47u);
  EXPECT_EQ(b10, wide.substr(0, 22 * 3) + "#10");
  // An odd start: "a" then wide characters, so a cut at the limit would fall
  // inside a character.
  const std::string mixed = "a" + wide;
  const std::string c = OverflowName(mixed, 3, kCabinetNameWidth);  // room 30: "a" + 14 chars
  EXPECT_EQ(c, mixed.substr(0, 1 + 14 * 3) + "#3");
  EXPECT_EQ(OverflowName(mixed, 7, kLibraryNameWidth), mixed.substr(0, 1 + 18 * 3) + "#7");
}

// A link folder with one library "Lib", one cabinet "Cab" and a binder.
class SearchStore : public ::testing::Test {
 protected:
  // The store's lock releases pause between attempts; a fake clock lets
  // them pass at once.
  void SetUp() override {
    platform::SetClock(&clock_);
    link_ = sandbox_.Path("link");
    ASSERT_TRUE(platform::MakeFolder(link_));
    ASSERT_TRUE(bl::WriteNewFolderIni(link_, bl::Level::LinkFolder));
    lib_ = store::CreateLibrary(link_, "Lib").path;
    cab_ = store::CreateCabinet(lib_, "Cab").path;
    ASSERT_FALSE(cab_.empty());
    pdf1_ = sandbox_.Path("one.pdf");
    test::MakePdf(pdf1_, {{595, 842}});
  }

  std::string NewBinder(const std::string& cabinet, const std::string& name, int maxUpload) {
    bl::BinderDescription d;
    d.title = name;
    d.maxUploadPage = maxUpload;
    const store::CreateResult r = store::CreateBinder(cabinet, d);
    EXPECT_TRUE(r.ok()) << name << ": " << store::CreateStatusText(r.status);
    return r.path;
  }
  // One page filed, so a binder with MaxUploadPage 1 is full.
  void AddPage(const std::string& binder) {
    ASSERT_EQ(bl::AddInfoToBinder(binder, pdf1_, pdf1_, 0, bl::kInsertBack, 0), bl::kInsertOk) << binder;
  }
  std::string FullBinder(const std::string& cabinet, const std::string& name) {
    const std::string b = NewBinder(cabinet, name, 1);
    AddPage(b);
    return b;
  }
  static std::vector<std::string> Names(const std::string& folder, bl::Level level) {
    return bl::ReadFolderList(folder, level, false).names;
  }

  void TearDown() override { platform::SetClock(nullptr); }

  platform::FakeClock clock_;
  test::Installation sandbox_;
  std::string link_, lib_, cab_, pdf1_;
};

TEST_F(SearchStore, MissingLimitMeansThousandPagesAndOversizeFileCreatesNothing) {
  const std::string bin = NewBinder(cab_, "Bin", 0);  // no MaxUploadPage key
  AddPage(bin);
  ASSERT_EQ(bl::ReadBinder(bin, false).maxUploadPage, -1);

  SearchOutcome o = SearchBinderForPages(bin, 999);
  EXPECT_EQ(o.result, 0);
  EXPECT_EQ(o.binder, bin);
  EXPECT_EQ(o.maxUploadPage, 1000);
  EXPECT_EQ(o.pageCount, 1);

  // More pages than any binder of the family may hold: refused, no empty
  // overflow binder left behind.
  o = SearchBinderForPages(bin, 1001);
  EXPECT_EQ(o.result, -1);
  EXPECT_EQ(o.errorCode, kSearchFileTooLarge);
  EXPECT_EQ(o.messageId, 67);
  EXPECT_EQ(LastSearchErrorCode(), kSearchFileTooLarge);
  EXPECT_EQ(Names(cab_, bl::Level::Cabinet), std::vector<std::string>{"Bin"});

  // 1 + 1000 does not fit but 1000 alone does: a new "#2" binder, which
  // inherits the missing limit.
  o = SearchBinderForPages(bin, 1000);
  ASSERT_EQ(o.result, 0) << o.message;
  EXPECT_TRUE(o.createdBinder);
  EXPECT_EQ(o.binder, cab_ + "/Bin#2");
  EXPECT_EQ(o.maxUploadPage, 1000);
  EXPECT_EQ(bl::ReadBinder(o.binder, false).maxUploadPage, -1);
  EXPECT_EQ((std::vector<std::string>{"Bin", "Bin#2"}), Names(cab_, bl::Level::Cabinet));
  EXPECT_TRUE(store::CheckStore(link_).empty());

  // A binder ini that is not there.
  o = SearchBinderForPages(cab_ + "/Nope", 1);
  EXPECT_EQ(o.errorCode, kSearchBinderMissing);
  EXPECT_EQ(o.messageId, 63);
}

TEST_F(SearchStore, LimitOfZeroOrLessTakesNothingAndFlagTwoPagesDoNotCount) {
  // A stored limit of 0 or less is no missing limit: nothing fits, and no
  // overflow binder is made for it.
  const std::string none = NewBinder(cab_, "None", 0);
  for (const char* limit : {"\"-1\"", "0"}) {
    platform::ini::WriteString(bl::BinderIniPath(none), bl::kSecBinderInfo, bl::kKeyMaxUploadPage, limit);
    const SearchOutcome o = SearchBinderForPages(none, 1);
    EXPECT_EQ(o.result, -1) << limit;
    EXPECT_EQ(o.errorCode, kSearchFileTooLarge) << limit;
  }
  // Two pages, one of them without a page file (flag 2): one counts.
  const std::string two = NewBinder(cab_, "Two", 2);
  AddPage(two);
  platform::ini::WriteString(bl::BinderIniPath(two), bl::kSecPageInfo, "Page2Flag", "2");
  const SearchOutcome o = SearchBinderForPages(two, 1);
  ASSERT_EQ(o.result, 0) << o.message;
  EXPECT_EQ(o.binder, two);
  EXPECT_EQ(o.pageCount, 1);
  EXPECT_EQ((std::vector<std::string>{"None", "Two"}), Names(cab_, bl::Level::Cabinet));
}

TEST_F(SearchStore, ExistingOverflowBindersAreTriedByAscendingNumber) {
  const std::string bin = FullBinder(cab_, "Bin");
  // Not of the family: never taken.
  NewBinder(cab_, "Other#2", 5);
  NewBinder(cab_, "Bin#x", 5);
  // "#2" was deleted, "#3" and "#5" have room; "#5" is listed first.
  const std::string b5 = NewBinder(cab_, "Bin#5", 1);
  const std::string b3 = NewBinder(cab_, "Bin#3", 1);

  SearchOutcome o = SearchBinderForPages(bin, 1);
  ASSERT_EQ(o.result, 0) << o.message;
  EXPECT_EQ(o.binder, b3);
  EXPECT_FALSE(o.createdBinder);
  AddPage(b3);

  o = SearchBinderForPages(bin, 1);
  EXPECT_EQ(o.binder, b5);
  AddPage(b5);
  // All full (searched from an overflow binder of the family): the new
  // number follows the highest, not the gap at "#2".
  o = SearchBinderForPages(b3, 1);
  ASSERT_EQ(o.result, 0) << o.message;
  EXPECT_TRUE(o.createdBinder);
  EXPECT_EQ(o.binder, cab_ + "/Bin#6");
  EXPECT_EQ(o.maxUploadPage, 1);

  // Without permission to create, the full family is an error.
  AddPage(o.binder);
  SearchOptions noCreate;
  noCreate.allowCreate = false;
  o = SearchBinderForPages(bin, 1, noCreate);
  EXPECT_EQ(o.errorCode, kSearchNoCreate);
  EXPECT_EQ(Names(cab_, bl::Level::Cabinet).size(), 6u);
}

TEST_F(SearchStore, LongJapaneseNamesStayOneFamily) {
  std::string title;
  for (int i = 0; i < 24; ++i) title += "契";  // width 48: the "#n" must cut it
  const std::string bin = FullBinder(cab_, title);
  SearchOutcome o = SearchBinderForPages(bin, 1);
  ASSERT_EQ(o.result, 0) << o.message;
  EXPECT_EQ(bl::FolderName(o.binder), title.substr(0, 23 * 3) + "#2");
  AddPage(o.binder);
  // The cut "#2" is recognised as the family's, so the next is "#3".
  o = SearchBinderForPages(bin, 1);
  ASSERT_EQ(o.result, 0) << o.message;
  EXPECT_EQ(bl::FolderName(o.binder), title.substr(0, 23 * 3) + "#3");
}

TEST_F(SearchStore, FullLevelsOverflowIntoNewCabinetsAndLibraries) {
  const std::string bin = FullBinder(cab_, "Bin");
  for (int i = 2; i <= bl::kMaxBinders; ++i) NewBinder(cab_, "Other" + std::to_string(i), 5);

  // The 22nd binder: a new cabinet "Cab#2" in the same library.
  SearchOutcome o = SearchBinderForPages(bin, 1);
  ASSERT_EQ(o.result, 0) << o.message;
  EXPECT_TRUE(o.createdCabinet);
  EXPECT_EQ(o.binder, lib_ + "/Cab#2/Bin#2");
  EXPECT_EQ(Names(lib_, bl::Level::Library), (std::vector<std::string>{"Cab", "Cab#2"}));
  // The next import finds "Bin#2" there instead of making another cabinet.
  o = SearchBinderForPages(bin, 1);
  EXPECT_EQ(o.binder, lib_ + "/Cab#2/Bin#2");
  EXPECT_FALSE(o.createdCabinet);
  AddPage(o.binder);

  // The library is filled up to 20 cabinets, "Cab#2" to 21 binders.
  for (int i = 2; i <= bl::kMaxBinders; ++i) NewBinder(lib_ + "/Cab#2", "X" + std::to_string(i), 5);
  for (int i = 3; i <= bl::kMaxCabinets; ++i) ASSERT_TRUE(store::CreateCabinet(lib_, "C" + std::to_string(i)).ok());
  // The 21st cabinet: a new library "Lib#2" with a cabinet "Cab".
  o = SearchBinderForPages(bin, 1);
  ASSERT_EQ(o.result, 0) << o.message;
  EXPECT_TRUE(o.createdLibrary);
  EXPECT_TRUE(o.createdCabinet);
  EXPECT_EQ(o.binder, link_ + "/Lib#2/Cab/Bin#3");
  EXPECT_TRUE(store::CheckStore(link_).empty());

  // Six libraries, all of the family full: the 7th is refused.
  AddPage(o.binder);
  for (int i = 3; i <= 6; ++i) ASSERT_TRUE(store::CreateLibrary(link_, "L" + std::to_string(i)).ok());
  for (int i = 2; i <= bl::kMaxBinders; ++i) NewBinder(link_ + "/Lib#2/Cab", "Y" + std::to_string(i), 5);
  for (int i = 2; i <= bl::kMaxCabinets; ++i) {
    ASSERT_TRUE(store::CreateCabinet(link_ + "/Lib#2", "D" + std::to_string(i)).ok());
  }
  o = SearchBinderForPages(bin, 1);
  EXPECT_EQ(o.result, -1);
  EXPECT_EQ(o.errorCode, kSearchLibraryMax);
  EXPECT_EQ(o.messageId, 68);
  EXPECT_EQ(Names(link_, bl::Level::LinkFolder).size(), 6u);
}

TEST_F(SearchStore, NewLevelIsRemovedWhenItsParentCannotBeUpdated) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes read-only files";
  const std::string bin = FullBinder(cab_, "Bin");
  for (int i = 2; i <= bl::kMaxBinders; ++i) NewBinder(cab_, "Other" + std::to_string(i), 5);
  const std::string libIni = lib_ + "/Folder.ini";
  ASSERT_EQ(chmod(libIni.c_str(), 0444), 0);
  SearchOutcome o = SearchBinderForPages(bin, 1);
  EXPECT_EQ(o.result, -1);
  EXPECT_EQ(o.errorCode, kSearchCabinetUpdate);
  EXPECT_EQ(o.messageId, 59);
  EXPECT_FALSE(platform::Exists(lib_ + "/Cab#2"));
  EXPECT_EQ(Names(lib_, bl::Level::Library), std::vector<std::string>{"Cab"});
  chmod(libIni.c_str(), 0644);

  // The same one level up: the library is full and the link folder's list
  // cannot be written.
  for (int i = 2; i <= bl::kMaxCabinets; ++i) ASSERT_TRUE(store::CreateCabinet(lib_, "C" + std::to_string(i)).ok());
  const std::string linkIni = link_ + "/Folder.ini";
  ASSERT_EQ(chmod(linkIni.c_str(), 0444), 0);
  o = SearchBinderForPages(bin, 1);
  EXPECT_EQ(o.errorCode, kSearchLibraryUpdate);
  EXPECT_EQ(o.messageId, 55);
  EXPECT_FALSE(platform::Exists(link_ + "/Lib#2"));
  chmod(linkIni.c_str(), 0644);
}

TEST_F(SearchStore, ExportFillsTheRequestAndReturnsThePath) {
  const std::string bin = FullBinder(cab_, "Bin");
  DravelSearchRequest rq;
  std::memset(&rq, 0, sizeof rq);
  char path[DRAVEL_PATH_MAX] = {};
  std::strcpy(path, bin.c_str());
  ASSERT_EQ(SearchInsertBinder(path, pdf1_.c_str(), 1, &rq), 0);
  EXPECT_EQ(std::string(path), cab_ + "/Bin#2");
  EXPECT_STREQ(rq.binder, "@NONE");
  EXPECT_STREQ(rq.position, "@FRONT");
  EXPECT_STREQ(rq.colour3, "255255128");
  EXPECT_EQ(LastSearchErrorCode(), 0);

  std::strcpy(path, (cab_ + "/Gone").c_str());
  EXPECT_NE(SearchInsertBinder(path, pdf1_.c_str(), 1, nullptr), 0);
  EXPECT_EQ(LastSearchErrorCode(), kSearchBinderMissing);
  EXPECT_EQ(std::string(path), cab_ + "/Gone");  // untouched on failure
}

}  // namespace
}  // namespace zv::dravel
