// Sort-folder names checked for use as library, cabinet and binder names.
#include <gtest/gtest.h>

#include "companion/strings.h"
#include "dravel/core.h"
#include "platform/fs.h"
#include "testing/installation.h"

namespace zv::dravel {
namespace {

namespace test = zv::testing;

struct Outcome {
  int result;
  std::string title1, title2;
};

Outcome Check(const std::string& name, int level) {
  char t1[DRAVEL_PATH_MAX] = "old", t2[DRAVEL_PATH_MAX] = "old";
  const int r = CheckFolderName(name.c_str(), level, t1, t2, "/sort/top");
  return {r, t1, t2};
}

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

class FolderName : public ::testing::Test {
 protected:
  test::Installation box;
};

TEST_F(FolderName, NamesThatAreNotChecked) {
  for (const char* name : {"Succeed", "FAIL", "fail", "Binder#", "Binder##", "Binder#2", "Binder#17", ""}) {
    for (int level = 1; level <= 3; ++level) EXPECT_EQ(Check(name, level).result, -1) << name << " " << level;
  }
  EXPECT_EQ(Check("Name", 0).result, -1);
  EXPECT_EQ(Check("Name", 4).result, -1);
  // A "#" inside, or digits without "#", are ordinary names.
  EXPECT_EQ(Check("A#B", 3).result, 1);
  EXPECT_EQ(Check("Binder2", 3).result, 1);
  EXPECT_EQ(Check("#5", 3).result, -1);  // nothing left before the number
  EXPECT_FALSE(platform::Exists(FolderErrorListPath()));
}

TEST_F(FolderName, LengthLimitsCountDisplayWidth) {
  EXPECT_EQ(Check(std::string(40, 'L'), 1).result, 1);
  EXPECT_EQ(Check(std::string(41, 'L'), 1).result, 0);
  EXPECT_EQ(Check(std::string(32, 'C'), 2).result, 1);
  EXPECT_EQ(Check(std::string(33, 'C'), 2).result, 0);
  EXPECT_EQ(Check(std::string(24, 'B'), 3).result, 1);
  EXPECT_EQ(Check(std::string(25, 'B'), 3).result, 0);
  // Wide characters count two: 12 fit a binder name (36 bytes), 13 do not.
  const Outcome ok = Check(Repeat("書", 12), 3);
  EXPECT_EQ(ok.result, 1);
  EXPECT_EQ(ok.title1, Repeat("書", 12));
  EXPECT_EQ(ok.title2, "");
  EXPECT_EQ(Check(Repeat("書", 13), 3).result, 0);
  EXPECT_EQ(Check(Repeat("庫", 20), 1).result, 1);
  EXPECT_EQ(Check(Repeat("庫", 20) + "x", 1).result, 0);
  // Half-width katakana counts one.
  EXPECT_EQ(Check(Repeat("ｶ", 24), 3).result, 1);
}

TEST_F(FolderName, TitleSeparator) {
  const Outcome two = Check("Accounts$$2024", 3);
  EXPECT_EQ(two.result, 1);
  EXPECT_EQ(two.title1, "Accounts");
  EXPECT_EQ(two.title2, "2024");
  // Each part has its own limit, so the whole may be longer than 24.
  const Outcome wide = Check(Repeat("経", 12) + "$$" + Repeat("理", 12), 3);
  EXPECT_EQ(wide.result, 1);
  EXPECT_EQ(wide.title2, Repeat("理", 12));
  // Runs of three or more "$" are ordinary characters.
  const Outcome plain = Check("A$$$B", 3);
  EXPECT_EQ(plain.result, 1);
  EXPECT_EQ(plain.title1, "A$$$B");
  EXPECT_EQ(plain.title2, "");
  EXPECT_EQ(Check("$$$$$", 3).result, 1);
  // Refusals, each with its message.
  struct Case {
    std::string name;
    int message;
  };
  const Case cases[] = {
      {"$$Front", 92},
      {"$$", 92},
      {"Back$$", 93},
      {"A$$B$$C", 94},
      {std::string(25, 'x') + "$$y", 95},
      {"y$$" + std::string(25, 'x'), 96},
      {std::string(25, 'z'), 91},
  };
  for (const Case& c : cases) {
    const FolderNameCheck check = CheckName(c.name, 3);
    EXPECT_EQ(check.result, 0) << c.name;
    EXPECT_EQ(check.messageId, c.message) << c.name;
    const Outcome o = Check(c.name, 3);
    EXPECT_EQ(o.result, 0);
    EXPECT_EQ(o.title1, "");  // outputs are cleared
    EXPECT_EQ(o.title2, "");
  }
  // "$$" means nothing in library and cabinet names.
  EXPECT_EQ(Check("$$Lib", 1).result, 1);
}

TEST_F(FolderName, RefusalsAreAppendedToTheErrorList) {
  companion::ForceLanguage(companion::Language::Japanese);
  EXPECT_EQ(Check("$$Front", 3).result, 0);
  EXPECT_EQ(Check(std::string(41, 'L'), 1).result, 0);
  companion::ResetLanguage();
  const std::string path = box.temp() + "/Zorvan/AutoImp_FolderError.txt";
  const auto text = platform::ReadFile(path);
  ASSERT_TRUE(text.has_value());
  const std::string expected =
      "フォルダの場所  ：/sort/top\n対象のフォルダ名：$$Front\n"
      "エラー内容      ：フォルダ名の先頭にバインダタイトルの区切り文字($$)は指定できません。\n"
      "フォルダの場所  ：/sort/top\n対象のフォルダ名：" +
      std::string(41, 'L') +
      "\n"
      "エラー内容      ：フォルダ名が長すぎます。40 文字(半角換算)以内で指定してください。\n";
  EXPECT_EQ(*text, expected);
}

TEST(MessageTable, EveryIdHasItsText) {
  for (int id = 1; id <= 96; ++id) EXPECT_FALSE(Message(id).empty()) << id;
  EXPECT_EQ(Message(72), "<Unknown>");
  EXPECT_EQ(Message(6), "Function \"%s\" Error.");
  EXPECT_EQ(FormatMessage(33, -3), "Failed in access to the binder file (CODE=-3)");
  EXPECT_EQ(FormatMessage(70, "Pixmoor.dll"), "DLL Load Error. (Pixmoor.dll)");
}

TEST(InsertResults, ReportedAsTheImportReportsThem) {
  EXPECT_EQ(ReportInsertResult(0).result, 0);
  EXPECT_EQ(ReportInsertResult(0).errorCode, 0);
  const InsertReport busy = ReportInsertResult(-6);
  EXPECT_EQ(busy.result, 1);
  EXPECT_EQ(busy.messageId, 81);
  const std::pair<int, int> codes[] = {{-1, 340001},  {-2, 340002},  {-3, 340003},  {-4, 340004},
                                       {-7, 340006},  {-8, 340008},  {-9, 340009},  {-10, 340010},
                                       {-12, 331104}, {-13, 340013}, {-14, 340014}, {-5, 340100}};
  for (const auto& [r, code] : codes) {
    const InsertReport rep = ReportInsertResult(r);
    EXPECT_EQ(rep.result, -1) << r;
    EXPECT_EQ(rep.errorCode, code) << r;
  }
  EXPECT_EQ(ReportInsertResult(-8).message,
            "Failed to save the file. (CODE=-8) Files cannot be imported to the card binder or the photo binder.");
}

}  // namespace
}  // namespace zv::dravel
