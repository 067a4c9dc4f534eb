#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "binderlib/locks.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "store/iniimage.h"
#include "store/store.h"
#include "testing/installation.h"
#include "testing/pdf.h"
#include "testing/temp_dir.h"

namespace bl = zv::companion::binder;
namespace ini = zv::platform::ini;
namespace fs = std::filesystem;
using namespace zv::store;

namespace {
std::string Slurp(const std::string& p) { return zv::platform::ReadFile(p).value_or("<missing>"); }
struct Store : ::testing::Test {
  zv::testing::Installation inst;
  std::string Cabinet() { return inst.AddCabinet(inst.AddLinkFolder()); }
};
}  // namespace

TEST_F(Store, LimitsRefuseTheSeventhLibrary21stCabinet22ndBinder) {
  const std::string link = inst.AddLinkFolder();
  std::ofstream(link + "/Folder.ini") << "[FolderInfo]\nNameList=\n";
  std::string lib;
  for (int i = 1; i <= 6; ++i) {
    auto r = CreateLibrary(link, "L" + std::to_string(i));
    ASSERT_TRUE(r.ok()) << CreateStatusText(r.status);
    lib = r.path;
  }
  EXPECT_EQ(CreateLibrary(link, "L7").status, CreateStatus::LimitReached);
  EXPECT_FALSE(fs::exists(link + "/L7"));
  EXPECT_EQ(ini::GetString(link + "/Folder.ini", "FolderInfo", "TypeList"), "0,0,0,0,0,0");
  std::string cab;
  for (int i = 1; i <= 20; ++i) {
    auto r = CreateCabinet(lib, "C" + std::to_string(i));
    ASSERT_TRUE(r.ok()) << i;
    cab = r.path;
  }
  EXPECT_EQ(CreateCabinet(lib, "C21").status, CreateStatus::LimitReached);
  for (int i = 1; i <= 21; ++i) {
    ASSERT_TRUE(CreateBinder(cab, {.title = "B" + std::to_string(i)}).ok()) << i;
  }
  EXPECT_EQ(CreateBinder(cab, {.title = "B22"}).status, CreateStatus::LimitReached);
  EXPECT_FALSE(fs::exists(cab + "/B22"));
  EXPECT_EQ(ListBinders(cab).children.size(), 21u);
  EXPECT_EQ(Slurp(cab + "/Folder.dat"), Slurp(cab + "/Folder.ini"));
  EXPECT_TRUE(CheckStore(link).empty()) << CheckStore(link)[0];
  EXPECT_EQ(DetectLevel(link), 3);
  EXPECT_EQ(DetectLevel(lib), 2);
  EXPECT_EQ(DetectLevel(cab), 1);
  EXPECT_EQ(DetectLevel(cab + "/B1"), 0);
}

TEST_F(Store, ListsReadExPrefixAndDefaultPositions) {
  const std::string cab = Cabinet();
  fs::create_directories(cab + "/Alpha");
  fs::create_directories(cab + "/Exhibit");  // a real name starting with "Ex"
  std::ofstream(cab + "/Folder.ini") << "[BinderInfo]\nNameList=ExAlpha,Exhibit\nTypeList=7\n";
  auto l = ListBinders(cab);
  ASSERT_EQ(l.children.size(), 2u);
  EXPECT_EQ(l.children[0].name, "Alpha");
  EXPECT_EQ(l.children[1].name, "Exhibit");
  EXPECT_EQ(l.children[1].position, 2);
  EXPECT_TRUE(l.ok()) << l.problems[0];
}

TEST_F(Store, CorruptFolderIniIsReportedAndNeverWritten) {
  const std::string cab = Cabinet();
  ASSERT_TRUE(CreateBinder(cab, {.title = "B1"}).ok());
  // Lists of different length.
  ini::WriteString(cab + "/Folder.ini", "BinderInfo", "PosList", "1,2");
  const std::string before = Slurp(cab + "/Folder.ini");
  EXPECT_FALSE(ListBinders(cab).ok());
  EXPECT_EQ(CreateBinder(cab, {.title = "B2"}).status, CreateStatus::Corrupt);
  EXPECT_EQ(Slurp(cab + "/Folder.ini"), before);
  EXPECT_FALSE(fs::exists(cab + "/B2"));
  // Garbage positions and an entry naming a missing folder.
  ini::WriteString(cab + "/Folder.ini", "BinderInfo", "PosList", "1,x");
  ini::WriteString(cab + "/Folder.ini", "BinderInfo", "NameList", "B1,Gone");
  auto problems = CheckStore(cab);
  ASSERT_GE(problems.size(), 2u);
  EXPECT_EQ(CreateBinder(cab, {.title = "B3"}).status, CreateStatus::Corrupt);
  EXPECT_TRUE(fs::exists(cab + "/B1/B1.ini"));
}

TEST_F(Store, CheckFindsBinderFaults) {
  const std::string cab = Cabinet();
  auto r = CreateBinder(cab, {.title = "B"});
  ASSERT_TRUE(r.ok());
  const std::string pdf = cab + "/../p.pdf";
  zv::testing::MakePdf(pdf, 3);
  ASSERT_EQ(bl::AddInfoToBinder(r.path, pdf, pdf, 0, 0, 0), 0);
  EXPECT_TRUE(CheckStore(r.path).empty());
  ini::WriteString(r.path + "/B.ini", "BinderInfo", "PageTotal", "4");
  EXPECT_EQ(CheckStore(r.path).size(), 1u);
  ini::WriteString(r.path + "/B.ini", "BinderInfo", "PageTotal", "3");
  fs::remove(r.path + "/B2.pdf");
  EXPECT_EQ(CheckStore(r.path).size(), 1u);
  auto held = bl::HoldBinderOpen(r.path);
  EXPECT_EQ(CheckStore(r.path).size(), 2u);
  auto listed = ListBindersWithInfo(cab);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].title, "B");
  EXPECT_EQ(listed[0].pageTotal, 3);
}

TEST(IniImage, HashLookupAndPreservingSave) {
  EXPECT_EQ(IniNameHash(""), 0u);
  EXPECT_EQ(IniNameHash("a"), 97u * 2049u);
  EXPECT_EQ(IniNameHash("Title1_UnderLine"), IniNameHash("title1_underline"));
  const zv::testing::TempDir dir;
  const std::string f = dir / "x.ini";
  std::ofstream(f) << "; note\n[BinderInfo]\nTitle=T\nOdd line\n[Other]\nK = v \n";
  IniImage img(f);
  EXPECT_EQ(img.GetString("binderinfo", "TITLE"), "T");
  EXPECT_EQ(img.GetInt("BinderInfo", "Missing", -1), -1);
  img.Set("BinderInfo", "Title", "New");
  img.SetInt("PageInfo", "MaxPageID", 4);
  img.Delete("Other", "k");
  ASSERT_TRUE(img.Save());
  const std::string text = Slurp(f);
  EXPECT_NE(text.find("; note\n"), std::string::npos);
  EXPECT_NE(text.find("Odd line\n"), std::string::npos);
  EXPECT_EQ(ini::GetString(f, "BinderInfo", "Title"), "New");
  EXPECT_EQ(ini::GetInt(f, "PageInfo", "MaxPageID", 0), 4);
  EXPECT_EQ(ini::GetString(f, "Other", "K", "gone"), "gone");
}

TEST_F(Store, DeriveCopiesOnlyTheAllowedKeys) {
  const std::string cab = Cabinet();
  auto src = CreateBinder(cab, {.title = "Full"});
  ASSERT_TRUE(src.ok());
  const std::string si = src.path + "/Full.ini";
  ini::WriteString(si, "BinderInfo", "Keyword1", "not copied");
  ini::WriteString(si, "BinderInfo", "LabelType", "3");
  ini::WriteString(si, "BinderInfo", "ViewerOnlyKey", "carried");
  ini::WriteString(si, "BinderInfo2", "Title2_FaceName", "Gothic");
  ini::WriteString(si, "BinderInfo2", "BackImage_ImageName", "bg.png");
  ini::WriteInt(si, "Version", "Version", 9);
  std::ofstream(src.path + "/bg.png") << "png";
  auto d = DeriveBinder(src.path, cab, "Full#2", 300, true);
  ASSERT_TRUE(d.ok()) << CreateStatusText(d.status);
  const std::string di = d.path + "/Full#2.ini";
  EXPECT_EQ(ini::GetString(di, "BinderInfo", "Title"), "Full#2");
  EXPECT_EQ(ini::GetString(di, "BinderInfo", "Keyword1"), "");
  EXPECT_EQ(ini::GetString(di, "BinderInfo", "LabelType"), "3");
  EXPECT_EQ(ini::GetString(di, "BinderInfo", "ViewerOnlyKey"), "carried");
  EXPECT_EQ(ini::GetString(di, "BinderInfo2", "Title2_FaceName"), "Gothic");
  EXPECT_EQ(ini::GetString(di, "BinderInfo2", "BackImage_ImageName"), "Full#2BkImage.png");
  EXPECT_EQ(Slurp(d.path + "/Full#2BkImage.png"), "png");
  EXPECT_EQ(ini::GetInt(di, "Version", "Version", 0), 9);
  EXPECT_NE(Slurp(di).find("MaxUploadPage=\"300\""), std::string::npos);
  EXPECT_TRUE(CheckStore(cab).empty()) << CheckStore(cab)[0];
}

// Another importer walking the cabinet must never find the derived binder
// listed before it carries the source's password (it would file plain pages
// into what becomes a secured binder).
TEST_F(Store, DerivedBinderIsSecuredBeforeItIsListed) {
  const std::string cab = Cabinet();
  auto src = CreateBinder(cab, {.title = "Sec", .password = "pw"});
  ASSERT_TRUE(src.ok());
  ini::WriteString(src.path + "/Sec.ini", "BinderInfo", "LabelType", "3");
  std::atomic<bool> done{false};
  std::atomic<int> seenPlain{0}, seenListed{0};
  std::thread importer([&] {
    while (!done) {
      const std::string list = Slurp(cab + "/Folder.ini");
      for (int n = 2; n <= 6; ++n) {
        const std::string name = "Sec#" + std::to_string(n);
        if (list.find(name) == std::string::npos) continue;
        ++seenListed;
        const std::string binderIni = Slurp(cab + "/" + name + "/" + name + ".ini");
        if (binderIni.find("Password=") == std::string::npos || !fs::exists(cab + "/" + name + "/" + name + ".pwb")) {
          ++seenPlain;
        }
      }
    }
  });
  for (int n = 2; n <= 6; ++n) {
    auto d = DeriveBinder(src.path, cab, "Sec#" + std::to_string(n), 0, false);
    EXPECT_TRUE(d.ok()) << CreateStatusText(d.status);
  }
  done = true;
  importer.join();
  EXPECT_GT(seenListed, 0);
  EXPECT_EQ(seenPlain, 0);
  EXPECT_EQ(ini::GetString(cab + "/Sec#6/Sec#6.ini", "BinderInfo", "LabelType"), "3");
  EXPECT_TRUE(CheckStore(cab).empty()) << CheckStore(cab)[0];

  // What is read under a binder's ~Write.Locked is read only when it was
  // had: the source of a derivation, the binders of a listing.
  zv::platform::FakeClock clock;
  zv::platform::ScopedClock useClock(clock);
  bl::ShortLock held(src.path, 1);
  ASSERT_TRUE(held);
  EXPECT_EQ(DeriveBinder(src.path, cab, "Sec#7", 0, false).status, CreateStatus::LockFailed);
  EXPECT_FALSE(fs::exists(cab + "/Sec#7"));
  const auto listed = ListBindersWithInfo(cab, 1);
  ASSERT_EQ(listed.size(), 6u);
  EXPECT_EQ(listed[0].title, "");
  EXPECT_EQ(listed[0].kind, -1);
  EXPECT_FALSE(listed[0].problems.empty());
  EXPECT_EQ(listed[1].title, "Sec#2");
}

TEST_F(Store, KindsAndPdfMode) {
  const std::string cab = Cabinet();
  auto b = CreateBinder(cab, {.title = "K"});
  ASSERT_TRUE(b.ok());
  const std::string f = b.path + "/K.ini";
  EXPECT_EQ(BinderKind(b.path), 0);
  ini::WriteInt(f, "BinderInfo", "CardBinder", 1);
  const int kinds[] = {1, 2, 3, 4};
  for (int ext = 0; ext < 4; ++ext) {
    ini::WriteInt(f, "BinderInfo", "ExtBinderType", ext);
    EXPECT_EQ(BinderKind(b.path), kinds[ext]);
  }
  EXPECT_EQ(BinderKind(cab + "/none"), -1);
  const std::string env = cab + "/../env.ini";
  EXPECT_EQ(ReadPdfMode(env, 1041), 0);
  ini::WriteString(env, "EnvSetting", "PDFMode", "1");
  EXPECT_EQ(ReadPdfMode(env, 1041), 1);
  EXPECT_EQ(ReadPdfMode(env, 1033), 0);
  ini::WriteString(env, "EnvSetting", "PDFMode", "2");
  EXPECT_EQ(ReadPdfMode(env, 1041), -1);
}
