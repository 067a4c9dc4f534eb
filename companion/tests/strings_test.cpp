#include "companion/strings.h"

#include <gtest/gtest.h>

#include "../src/string_tables.h"
#include "testing/scoped_env.h"

namespace zv::companion {
namespace {

using testing::ScopedEnv;

TEST(StringTables, SortedUniqueAndEveryEntryHasText) {
  struct Table {
    const detail::StringEntry* entries;
    std::size_t count;
  };
  for (Table t : {Table{detail::kMonitorStrings, detail::kMonitorStringsCount},
                  Table{detail::kDravelStrings, detail::kDravelStringsCount},
                  Table{detail::kImportListStrings, detail::kImportListStringsCount}}) {
    for (std::size_t i = 0; i < t.count; ++i) {
      EXPECT_TRUE(t.entries[i].english != nullptr || t.entries[i].japanese != nullptr) << t.entries[i].id;
      if (i > 0) {
        EXPECT_LT(t.entries[i - 1].id, t.entries[i].id) << "at index " << i;
      }
    }
  }
  EXPECT_GT(detail::kMonitorStringsCount, 100u);
}

TEST(StringTables, MonitorTextsAsTheProgramShowsThem) {
  auto en = [](int id) { return LoadString(StringTable::Monitor, id, Language::English); };
  EXPECT_EQ(en(20010), "Zorvan Folder Monitor Software");
  EXPECT_EQ(en(20020),
            "The monitored folder for \"Tossmark\" is not specified.\n \nReview and correct Zorvan folder "
            "monitor settings.");
  EXPECT_EQ(en(20078), "%03d:    %s - Start reading file %s \n");
  EXPECT_EQ(en(57675), "Date,Time,Result,File,Binder,Error,Code,Pattern,Setting-No.,Monitor Name");
  EXPECT_EQ(en(61100), "No write persimmion in save-folder(Success)(%s)");
  EXPECT_EQ(en(62700), "[FAX]Skip FAX-Settings/Editing Target Binder/No write permission in Target Binder(%s)");
  EXPECT_EQ(en(63090), "[File]Read Only/Hidden /System/Temporary(%s)");
  EXPECT_EQ(en(63130), "[File]Cannot acceess save-folder(Fail)(%s)");
  EXPECT_EQ(en(63266), "Sort");
  EXPECT_EQ(en(57706), "Fail");
}

TEST(StringTables, OneLanguageServesBothAndUnknownIdsAreEmpty) {
  const std::string jaOnly = "通知ユーザー情報の読み込みに失敗しました。\r\n環境を確認してください。";
  EXPECT_EQ(LoadString(StringTable::Monitor, 63246, Language::Japanese), jaOnly);
  EXPECT_EQ(LoadString(StringTable::Monitor, 63246, Language::English), jaOnly);
  EXPECT_EQ(LoadString(StringTable::Monitor, 20012, Language::Japanese), "Online");

  EXPECT_TRUE(HasString(StringTable::Monitor, 61010));
  EXPECT_FALSE(HasString(StringTable::Monitor, 61011));
  EXPECT_EQ(LoadString(StringTable::Monitor, 61011, Language::English), "");
  EXPECT_EQ(LoadString(StringTable::Monitor, 0, Language::English), "");
  EXPECT_FALSE(HasString(StringTable::SendFile, 20010));
  EXPECT_EQ(LoadString(StringTable::SendFile, 20010), "");
}

TEST(StringTables, LanguageFromLocaleOrForced) {
  {
    ScopedEnv all("LC_ALL", "ja_JP.UTF-8");
    EXPECT_EQ(UserLanguage(), Language::Japanese);
    ForceLanguage(Language::English);
    EXPECT_EQ(UserLanguage(), Language::English);
    ResetLanguage();
    EXPECT_EQ(UserLanguage(), Language::Japanese);
  }
  ScopedEnv all("LC_ALL", "C");
  EXPECT_EQ(UserLanguage(), Language::English);
  ForceLanguage(Language::Japanese);
  EXPECT_EQ(LoadString(StringTable::Monitor, 20011), "Offline");
  ResetLanguage();
}

}  // namespace
}  // namespace zv::companion
