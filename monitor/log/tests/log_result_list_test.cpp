#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "monitor/log/result_list.h"
#include "platform/attributes.h"
#include "platform/fs.h"
#include "support/log_support.h"

namespace zv::monitor {
namespace {

using testing::LogFixture;
using testing::ReadText;

constexpr const char* kHeader = "Date,Time,Result,File,Binder,Error,Code,Pattern,Setting-No.,Monitor Name";

ImpResultRow Row(std::string file) {
  ImpResultRow r;
  ResultRowDateTime(testing::kStartTime, 1041, r.date, r.time);
  r.result = 1;
  r.sourcePath = "/scan/" + file;
  r.actualBinder = "/links/L/C/B";
  r.destination = "Title";
  r.settingNumber = 1;
  r.monitorName = "Mon";
  return r;
}

std::string ListPath(const LogFixture& f) { return f / "AutoImpInfo/ImpResult.csv"; }

TEST(ImpResultList, QuotesOnlyFieldsHoldingDelimiterQuoteOrLineBreak) {
  LogFixture f;
  ImpResultRow r = Row("a,b.pdf");
  r.actualBinder = "Bi\"nd";
  r.destination = "Title\nTwo";
  r.errorText = "";
  r.monitorName = "Mon;x";
  EXPECT_EQ(ResultListRecord(r, ','),
            "2024/03/05,09:13:02,OK,\"/scan/a,b.pdf\",\"Bi\"\"nd\",\"Title\nTwo\",,0,Auto,1,Mon;x");
  r.result = 0;
  r.code = -101;
  r.pattern = 7;
  EXPECT_EQ(ResultListRecord(r, ';'),
            "2024/03/05;09:13:02;NG;/scan/a,b.pdf;\"Bi\"\"nd\";\"Title\nTwo\";;-101;unknown;1;\"Mon;x\"");
  EXPECT_EQ(ResultListDelimiter(1036), ';');
  EXPECT_EQ(ResultListDelimiter(1041), ',');
  EXPECT_EQ(ResultListDelimiter(1033), ',');

  // French settings write ";" through the whole writer; the header stays.
  f.context.languageId = 1036;
  ASSERT_EQ(WriteImpResultList(f.context, Row("x.pdf")), 1);
  EXPECT_EQ(ReadText(ListPath(f)),
            std::string(kHeader) + "\n2024/03/05;09:13:02;OK;/scan/x.pdf;/links/L/C/B;Title;;0;Auto;1;Mon\n");
}

TEST(ImpResultList, KeepsTheNewestRecordsUpToTheMaximum) {
  LogFixture f("ImpResultMaxRecord=1\n");
  EXPECT_EQ(WriteImpResultList(f.context, Row("1.pdf")), 0);
  EXPECT_FALSE(platform::Exists(ListPath(f)));

  f.SetOptions("ImpResultMaxRecord=2\n");
  ImpResultRow two = Row("2.pdf");
  two.errorText = "line one\r\nline two";  // one record over two lines
  for (const ImpResultRow& r : {Row("1.pdf"), two, Row("3.pdf")}) ASSERT_EQ(WriteImpResultList(f.context, r), 1);
  EXPECT_EQ(ReadText(ListPath(f)), std::string(kHeader) + "\n" + ResultListRecord(Row("3.pdf"), ',') + "\n" +
                                       ResultListRecord(two, ',') + "\n");

  // A list written elsewhere with CR LF line ends is read as well.
  f.SetOptions("ImpResultMaxRecord=3\n");
  testing::WriteText(ListPath(f), "old header\r\nr1\r\nr2\r\nr3\r\n");
  ASSERT_EQ(WriteImpResultList(f.context, Row("4.pdf")), 1);
  EXPECT_EQ(ReadText(ListPath(f)), std::string(kHeader) + "\n" + ResultListRecord(Row("4.pdf"), ',') + "\nr1\nr2\n");
  EXPECT_FALSE(platform::Exists(f / "AutoImpInfo/~ImpResult.csv.tmp"));
}

TEST(ImpResultList, LongRecordIsCutWithoutBreakingItsQuotes) {
  ImpResultRow r = Row("a.pdf");
  r.errorText.clear();
  for (int i = 0; i < 600; ++i) r.errorText += "ab\"";
  std::string rec = ResultListRecord(r, ',');
  EXPECT_LE(rec.size(), 2047u);
  EXPECT_GT(rec.size(), 2040u);
  EXPECT_EQ(std::count(rec.begin(), rec.end(), '"') % 2, 0);
  EXPECT_EQ(rec.back(), '"');
}

TEST(ImpResultList, WritesNothingWithoutSettingsFolderOrWritableList) {
  LogFixture f;
  ImpResultRow r = Row("a.pdf");
  EXPECT_EQ(WriteImpResultList(f.context.InfoFolder(), f / "missing.ini", r, 1033), 0);
  EXPECT_EQ(WriteImpResultList(f.context.InfoFolder(), "", r, 1033), 0);
  EXPECT_EQ(WriteImpResultList(f / "no/such/AutoImpInfo", f.context.SettingsFile(), r, 1033), 0);
  EXPECT_FALSE(platform::Exists(f / "no"));
  EXPECT_FALSE(platform::Exists(f.context.InfoFolder()));
  EXPECT_EQ(WriteImpResultList(f.context, r), 1);  // AutoImpInfo made: its parent exists

  if (::geteuid() == 0) GTEST_SKIP() << "root writes read-only files";
  const std::string before = ReadText(ListPath(f));
  ASSERT_TRUE(platform::SetReadOnly(ListPath(f), true));
  EXPECT_EQ(WriteImpResultList(f.context, Row("b.pdf")), 0);
  EXPECT_EQ(ReadText(ListPath(f)), before);
  platform::SetReadOnly(ListPath(f), false);
}

}  // namespace
}  // namespace zv::monitor
