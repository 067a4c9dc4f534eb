// [FaxMonitor]: clamps of the reader, the writer read back, the fresh file.
#include <gtest/gtest.h>

#include "monitor/settings/catalogue.h"
#include "monitor/settings/fax_settings.h"
#include "monitor/settings/profile.h"
#include "monitor/settings/status.h"
#include "support/message_capture.h"
#include "testing/files.h"
#include "testing/temp_dir.h"

namespace zv::monitor {
namespace {

using testing::TempDir;
using testing::WriteText;

SettingContext Context() {
  SettingContext c;
  c.workDeskFolder = "/desk/work";
  c.viewerCurrentFolder = "/links/current";
  c.detectNetwork = false;
  return c;
}

TEST(FaxSettings, ClampsEveryValue) {
  TempDir dir;
  const std::string f = dir / "EnvSetInfo.ini";
  WriteText(f,
            "[Option]\nSucceededTerm=12\nMaxUser=2\nDisableSearchBinder=1\n"
            "[FaxMonitor]\nEnabled=1\nTarFolder= /fax/in/ \nmove_succeeded=-1\nmove_failed=2\n"
            "SucceededTerm=1000\nFailedTerm=5\ncheckTimer=-3\nSetTotalMax=2\nSetTotal=9\n"
            "bCheck1=1\nSetName1=\"Invoices\"\nTargetName1= inv*.pdf \nImpMode1=7\nTarBinder1=/links/L/Lib/Cab/Bin\n"
            "InsertPos1=3\nTextInfoFlag1=8\nSendResult1=5\nSendUser1count=3\nSearchBinder1=1\nSetNumber1=-1\n"
            "bCheck2=1\nTargetName2=*.tif\nImpMode2=1\nTarBinder2=/plain/out\nSendUser2count=1\nSendUser2user1=bob\n"
            "OtherEnabled=1\nOtherTarBinder=/desk/work\nOtherSendUsercount=1\nOtherUseruser1=carol\n");
  const MonitorOptions o = ReadMonitorOptions(f, "u");
  FaxSettings fax;
  ASSERT_TRUE(ReadFaxSettingsFrom(f, o, Context(), fax));
  EXPECT_EQ(fax.targetFolder, "/fax/in");
  EXPECT_EQ(fax.moveSucceeded, 0) << "only 1 deletes";
  EXPECT_EQ(fax.moveFailed, 0);
  EXPECT_EQ(fax.EffectiveSucceededTerm(o), 12) << "out of range reads as -1: the [Option] term";
  EXPECT_EQ(fax.EffectiveFailedTerm(o), 5);
  EXPECT_EQ(fax.checkTimer, 0);
  ASSERT_EQ(fax.entries.size(), 2u) << "SetTotal is capped at SetTotalMax";
  const FaxEntry& a = fax.entries[0];
  EXPECT_EQ(a.setName, "Invoices");
  EXPECT_EQ(a.targetName, "inv*.pdf");
  EXPECT_EQ(a.importMode, 0);
  EXPECT_EQ(a.insertPos, 1);
  EXPECT_EQ(a.textInfoFlag, 0);
  EXPECT_EQ(a.sendResult, 2);
  EXPECT_EQ(a.userCount, 0) << "a count above MaxUser reads as none";
  EXPECT_EQ(a.searchBinder, 1);
  EXPECT_EQ(a.setNumber, 1);
  EXPECT_EQ(a.linkFolder, "/links/L");
  EXPECT_EQ(fax.entries[1].importMode, 1);
  EXPECT_EQ(fax.entries[1].linkFolder, "") << "a plain folder lies on no link folder";
  EXPECT_EQ(fax.entries[1].users, "bob");
  EXPECT_EQ(fax.other.workDesk, 1) << "the other binder is the work desk";
  EXPECT_EQ(fax.other.users, "carol");

  // The record the folder check gets: the fax folder and its save rules,
  // the entry's mask; the other setting takes every name.
  const AutoFileSetting r = FaxRecord(fax, 1, o);
  EXPECT_EQ(r.targetFolder, "/fax/in");
  EXPECT_EQ(r.fileMask, "inv*.pdf");
  EXPECT_EQ(r.succeededTerm, 12);
  EXPECT_EQ(FaxRecord(fax, kFaxOtherSetting, o).fileMask, "*.*");

  // Without DisableSearchBinder=1 the search is off.
  WriteText(f, "[FaxMonitor]\nSetTotal=1\nSearchBinder1=1\n");
  ASSERT_TRUE(ReadFaxSettingsFrom(f, ReadMonitorOptions(f, "u"), Context(), fax));
  EXPECT_EQ(fax.entries[0].searchBinder, 0);
  EXPECT_EQ(fax.moveSucceeded, 1) << "missing: delete after filing";
  EXPECT_EQ(fax.moveFailed, 0) << "missing: a failed fax is kept";
}

TEST(FaxSettings, WriterReadsBackAndDropsSurplusRecipients) {
  TempDir dir;
  const std::string f = dir / "EnvSetInfo.ini";
  ASSERT_TRUE(WriteDefaultSettings(f));
  EXPECT_EQ(ProfileRead(kFaxSection, "move_failed", -1, f), 0) << "a fresh installation keeps failed faxes";
  const MonitorOptions o = ReadMonitorOptions(f, "u");

  FaxSettings fax;
  fax.enabled = 1;
  fax.targetFolder = "/fax";
  fax.entries.resize(2);
  fax.entries[0].check = 1;
  fax.entries[0].setName = "A b";
  fax.entries[0].targetName = "a*.pdf";
  fax.entries[0].users = "x,y";
  fax.entries[1].targetName = "b?.tif";
  fax.entries[1].importMode = 1;
  fax.other.check = 1;
  fax.other.users = "p,q,r";
  ASSERT_TRUE(WriteFaxSettings(f, fax));
  fax.other.users = "p";
  ASSERT_TRUE(WriteFaxSettings(f, fax));
  EXPECT_EQ(ProfileRead(kFaxSection, "OtherUseruser2", "gone", f), "gone");

  FaxSettings back;
  ASSERT_TRUE(ReadFaxSettingsFrom(f, o, Context(), back));
  ASSERT_EQ(back.entries.size(), 2u);
  EXPECT_EQ(back.enabled, 1);
  EXPECT_EQ(back.entries[0].setName, "A b");
  EXPECT_EQ(back.entries[0].users, "x,y");
  EXPECT_EQ(back.entries[1].targetName, "b?.tif");
  EXPECT_EQ(back.entries[1].importMode, 1);
  EXPECT_EQ(back.other.check, 1);
  EXPECT_EQ(back.other.users, "p");
}

TEST(FaxSettings, ReReadClearsTheFlagAlsoAfterAnUnreadableRecipient) {
  TempDir dir;
  const std::string f = dir / "EnvSetInfo.ini";
  WriteText(f, "[Option]\nFaxModified=1\n[FaxMonitor]\nSetTotal=2\nTargetName1=a\nSendUser2count=1\n");
  const EnvFiles env = EnvFiles::ForFolder(dir.path());
  test::MessageCapture messages;
  FaxSettings fax;
  EXPECT_FALSE(ReadFaxSettings(env, ReadMonitorOptions(f, "u"), Context(), fax));
  EXPECT_EQ(fax.entries[0].targetName, "a");
  EXPECT_EQ(ReadChangeFlag(f, ChangeFlag::FaxModified), 0);
  EXPECT_EQ(messages.shown().size(), 1u);
}

}  // namespace
}  // namespace zv::monitor
