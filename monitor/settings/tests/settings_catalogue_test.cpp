#include <gtest/gtest.h>

#include "companion/common.h"
#include "monitor/settings/catalogue.h"
#include "monitor/settings/lock_list.h"
#include "monitor/settings/profile.h"
#include "monitor/settings/status.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "support/message_capture.h"
#include "testing/files.h"
#include "testing/temp_dir.h"

namespace zv::monitor {
namespace {

using test::MessageCapture;
using testing::TempDir;
using testing::WriteText;

SettingContext Context() {
  SettingContext c;
  c.workDeskFolder = "/desk/work";
  c.viewerCurrentFolder = "/links/current";
  c.detectNetwork = false;
  return c;
}

TEST(SettingsOptions, ClampsOutOfRangeValues) {
  TempDir dir;
  const std::string f = dir / "EnvSetInfo.ini";
  WriteText(f,
            "[Option]\nMaxUser=0\nDisableSearchBinder=2\nRetryNum=3\nTimeBalloon=100\n"
            "WaitLocal=-5\nWaitNetwork=2147483647\nServiceMode=1\nInstallMode=Server\n"
            "RecreateBinder=0\n[AutoFileRead]\nSetTotal=3\nDropFolder=3\n");
  MonitorOptions o = ReadMonitorOptions(f, "alice");
  EXPECT_EQ(o.maxUser, 50);
  EXPECT_EQ(o.disableSearchBinder, 0);
  EXPECT_EQ(o.retryNum, 5);
  EXPECT_EQ(o.timeBalloon, 5);
  EXPECT_EQ(o.waitLocal, 1000);
  EXPECT_EQ(o.waitNetwork, 5000);
  EXPECT_EQ(o.serviceMode, 0) << "service mode is kept only for the system account";
  EXPECT_FALSE(o.serverInstall) << "InstallMode compares case-sensitively";
  EXPECT_TRUE(o.recreatedBinderCheck);
  EXPECT_EQ(o.dropFolder, 0);
  EXPECT_EQ(ReadMonitorOptions(f, "root").serviceMode, 1);

  WriteText(f,
            "[Option]\nRetryNum=2000\nTimeBalloon=99\nWaitNetwork=4294967296\nWaitLocal=250\n"
            "MaxUser=7\nDisableSearchBinder=1\n[AutoFileRead]\nSetTotal=4\nDropFolder=3\n");
  o = ReadMonitorOptions(f, "alice");
  EXPECT_EQ(o.retryNum, 5);
  EXPECT_EQ(o.timeBalloon, 99);
  EXPECT_EQ(o.waitNetwork, 5000) << "values above 32 bits must not wrap into range";
  EXPECT_EQ(o.waitLocal, 250);
  EXPECT_EQ(o.maxUser, 7);
  EXPECT_EQ(o.disableSearchBinder, 1);
  EXPECT_EQ(o.dropFolder, 3);
}

TEST(SettingsOptions, CountValidationMessages) {
  TempDir dir;
  const std::string f = dir / "EnvSetInfo.ini";
  WriteText(f, "[Option]\n");
  EXPECT_EQ(ValidateSettingCounts(ReadMonitorOptions(f, "u")), 20099) << "SetTotal missing";
  WriteText(f, "[AutoFileRead]\nSetTotal=2\nSetTotalMax=0\n");
  EXPECT_EQ(ValidateSettingCounts(ReadMonitorOptions(f, "u")), 20098);
  WriteText(f, "[AutoFileRead]\nSetTotal=2\n[FaxMonitor]\nSetTotalMax=-1\n");
  EXPECT_EQ(ValidateSettingCounts(ReadMonitorOptions(f, "u")), 20100);
  WriteText(f, "[AutoFileRead]\nSetTotal=0\n");
  EXPECT_EQ(ValidateSettingCounts(ReadMonitorOptions(f, "u")), 0);
}

TEST(SettingsRecord, ClampsAndDerivesFields) {
  TempDir dir;
  const std::string f = dir / "EnvSetInfo.ini";
  WriteText(f,
            "[Option]\nSucceededTerm=12\nFailedTerm=40\nmove_failed=1\nMaxUser=0\n"
            "[AutoFileRead]\nSetTotal=1\nbCheck1=1\nSetName1=\"Scans \"\n"
            "TarFolder1= /in/scan/ \nTarBinder1=/links/L1/lib/cab/binder\nInsertPos1=3\n"
            "SetNumber1=-1\nSucceededTerm1=-1\nFailedTerm1=5\nmove_succeeded1=-1\nmove_failed1=-1\n"
            "TextInfoFlag1=8\nSendResult1=5\nSearchBinder1=1\nSetDate1=12345678901234567\n"
            "SendUser1count=2\nSendUser1user1=ann\nSendUser1user2=bob\n");
  AutoFileSetting s;
  ASSERT_TRUE(ReadAutoFileSetting(f, 1, ReadMonitorOptions(f, "u"), Context(), s));
  EXPECT_EQ(s.check, 1);
  EXPECT_EQ(s.setName, "Scans ") << "quotes removed, inner blanks kept";
  EXPECT_EQ(s.targetFolder, "/in/scan/");
  EXPECT_EQ(s.insertPos, 1);
  EXPECT_EQ(s.setNumber, 1001);
  EXPECT_EQ(s.succeededTerm, 12);
  EXPECT_EQ(s.failedTerm, 5);
  EXPECT_EQ(s.moveSucceeded, 0);
  EXPECT_EQ(s.moveFailed, 1);
  EXPECT_EQ(s.textInfoFlag, 0);
  EXPECT_EQ(s.sendResult, 2);
  EXPECT_EQ(s.searchBinder, 0) << "DisableSearchBinder 0 forces the search off";
  EXPECT_EQ(s.setDate, "123456789012345");
  EXPECT_EQ(s.linkFolder, "/links/L1");
  EXPECT_EQ(s.workDesk, 0);
  EXPECT_EQ(s.succeededFolderSet, 0);
  EXPECT_EQ(s.succeededFolder, "/in/scan/Success");
  EXPECT_EQ(s.failedFolder, "/in/scan/Fail");
  EXPECT_EQ(s.userCount, 2) << "MaxUser 0 behaves as 50";
  EXPECT_EQ(s.users, "ann,bob");
}

TEST(SettingsRecord, RetentionTermsOutsideTheirRange) {
  // A negative term would let the clean-up remove today's folder.
  TempDir dir;
  const std::string f = dir / "EnvSetInfo.ini";
  WriteText(f,
            "[Option]\nSucceededTerm=-1\nFailedTerm=1000\n"
            "[AutoFileRead]\nSetTotal=1\nSucceededTerm1=-2\nFailedTerm1=999\n");
  const MonitorOptions o = ReadMonitorOptions(f, "u");
  EXPECT_EQ(o.succeededTerm, 30);
  EXPECT_EQ(o.failedTerm, 30);
  AutoFileSetting s;
  ASSERT_TRUE(ReadAutoFileSetting(f, 1, o, Context(), s));
  EXPECT_EQ(s.succeededTerm, 30) << "-2 takes the [Option] value";
  EXPECT_EQ(s.failedTerm, 999);
  WriteText(f, "[Option]\nFailedTerm=0\n[AutoFileRead]\nSetTotal=1\nFailedTerm1=1000\n");
  ASSERT_TRUE(ReadAutoFileSetting(f, 1, ReadMonitorOptions(f, "u"), Context(), s));
  EXPECT_EQ(s.failedTerm, 0);
}

TEST(SettingsRecord, RecipientCountAboveMaxUserReadsAsNone) {
  TempDir dir;
  const std::string f = dir / "EnvSetInfo.ini";
  WriteText(f,
            "[Option]\nMaxUser=1\nDisableSearchBinder=1\n[AutoFileRead]\nSetTotal=2\n"
            "SendUser1count=2\nSendUser1user1=a\nSendUser1user2=b\nSearchBinder1=1\n"
            "SendUser2count=-3\nInsertPos2=2\nTextInfoFlag2=7\nSendResult2=0\n");
  const MonitorOptions o = ReadMonitorOptions(f, "u");
  AutoFileSetting s1, s2;
  ASSERT_TRUE(ReadAutoFileSetting(f, 1, o, Context(), s1));
  ASSERT_TRUE(ReadAutoFileSetting(f, 2, o, Context(), s2));
  EXPECT_EQ(s1.userCount, 0);
  EXPECT_EQ(s1.users, "");
  EXPECT_EQ(s1.searchBinder, 1);
  EXPECT_EQ(s2.userCount, 0);
  EXPECT_EQ(s2.insertPos, 2);
  EXPECT_EQ(s2.textInfoFlag, 7);
  EXPECT_EQ(s2.sendResult, 0);
}

TEST(SettingsRecord, WorkDeskAndLinkFolderRules) {
  TempDir dir;
  const std::string f = dir / "EnvSetInfo.ini";
  WriteText(f,
            "[AutoFileRead]\nSetTotal=3\nTarBinder1=/DESK/Work/\nbWorkDesk2=1\n"
            "TarBinder2=/l/a/b/c\nbWorkDesk3=1\n");
  const MonitorOptions o = ReadMonitorOptions(f, "u");
  AutoFileSetting s;
  ASSERT_TRUE(ReadAutoFileSetting(f, 1, o, Context(), s));
  EXPECT_EQ(s.workDesk, 1) << "the work-desk folder matches without regard to case";
  EXPECT_EQ(s.linkFolder, "");
  ASSERT_TRUE(ReadAutoFileSetting(f, 2, o, Context(), s));
  EXPECT_EQ(s.workDesk, 0) << "a binder other than the work desk clears the flag";
  EXPECT_EQ(s.linkFolder, "/l");
  ASSERT_TRUE(ReadAutoFileSetting(f, 3, o, Context(), s));
  EXPECT_EQ(s.workDesk, 0);
  EXPECT_EQ(s.linkFolder, "/links/current") << "empty binder: the viewer's current folder";

  SettingContext noDesk = Context();
  noDesk.workDeskFolder.clear();
  ASSERT_TRUE(ReadAutoFileSetting(f, 3, o, noDesk, s));
  EXPECT_EQ(s.workDesk, 1) << "an unknown work desk leaves the stored flag alone";

  EXPECT_EQ(LinkFolderOfBinder("/mnt/share/L/lib/cab/bind/"), "/mnt/share/L");
  EXPECT_EQ(LinkFolderOfBinder("lib/cab/bind"), "");
  EXPECT_EQ(LinkFolderOfBinder("/lib/cab/bind"), "/");
}

TEST(SettingsRecord, EmptyRecipientStopsReadingWithMessage) {
  TempDir dir;
  const EnvFiles env = EnvFiles::ForFolder(dir.path());
  WriteText(env.settings,
            "[Option]\nModified=1\n[AutoFileRead]\nSetTotal=3\nSetTotalMax=4\n"
            "SetName1=one\nSetName2=two\nSendUser2count=2\nSendUser2user1=x\nSendUser2user2=\n"
            "SetName3=three\n");
  std::vector<AutoFileSetting> settings(4);
  settings[1].setName = "old two";
  settings[2].setName = "old three";
  MessageCapture messages;
  const MonitorOptions o = ReadMonitorOptions(env.settings, "u");
  EXPECT_FALSE(ReadAutoFileSettings(env, o, Context(), settings));
  EXPECT_EQ(settings[0].setName, "one");
  EXPECT_EQ(settings[1].setName, "old two");
  EXPECT_EQ(settings[2].setName, "old three");
  ASSERT_TRUE(messages.Saw(63246));
  EXPECT_EQ(messages.shown().back().caption, o.productName);
  EXPECT_EQ(messages.shown().back().style, companion::kMbIconWarning);
  EXPECT_EQ(ReadChangeFlag(env.settings, ChangeFlag::Modified), 0)
      << "the file was read as far as it can be: a raised flag would re-read (and re-report) it every cycle";

  ProfileWrite("AutoFileRead", "SendUser2user2", "y", env.settings);
  EXPECT_TRUE(ReadAutoFileSettings(env, o, Context(), settings));
  EXPECT_EQ(settings[1].users, "x,y");
  EXPECT_EQ(settings[2].setName, "three");
  EXPECT_EQ(ReadChangeFlag(env.settings, ChangeFlag::Modified), 0);
}

TEST(SettingsRecord, SetTotalAboveCapacityReadsOnlyCapacity) {
  TempDir dir;
  const EnvFiles env = EnvFiles::ForFolder(dir.path());
  WriteText(env.settings, "[AutoFileRead]\nSetTotal=9\nSetTotalMax=2\nSetName2=b\nSetName3=c\n");
  std::vector<AutoFileSetting> settings;
  EXPECT_TRUE(ReadAutoFileSettings(env, ReadMonitorOptions(env.settings, "u"), Context(), settings));
  ASSERT_EQ(settings.size(), 2u);
  EXPECT_EQ(settings[1].setName, "b");
}

TEST(SettingsExceptLists, DropEmptyEntriesAndIgnoreCase) {
  TempDir dir;
  const std::string f = dir / "EnvSetInfo.ini";
  WriteText(f,
            "[exceptFiles]\nFileCount=3\nFile1=Thumbs.db\nFile2=\nFile3=desktop.INI\n"
            "[exceptExt]\nFileCount=2\nFile1=.TMP\nFile2=bak\n");
  const ExceptLists l = ReadExceptLists(f);
  EXPECT_EQ(l.files.size(), 2u);
  EXPECT_TRUE(l.Excludes("/in/THUMBS.DB"));
  EXPECT_TRUE(l.Excludes("/in/Desktop.ini"));
  EXPECT_TRUE(l.Excludes("/in/x.tmp"));
  EXPECT_TRUE(l.Excludes("/in/y.BAK"));
  EXPECT_FALSE(l.Excludes("/in/report.pdf"));
  EXPECT_FALSE(l.Excludes("/in/noext"));
}

TEST(SettingsLockList, AppendFindRewrite) {
  TempDir dir;
  const std::string f = dir / "EnvSetInfo.ini";
  ASSERT_TRUE(AppendLockListEntry(f, {"/in/a.pdf", "1700000000", 0, 3}));
  ASSERT_TRUE(AppendLockListEntry(f, {"/in/b.pdf", "1700000001", -1, 3}));
  ASSERT_TRUE(AppendLockListEntry(f, {"/in/c.pdf", "1700000002", 1, 3}));
  auto entries = ReadLockList(f);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(FindLockListEntry(entries, "/IN/B.PDF"), 1);
  EXPECT_EQ(FindLockListEntry(entries, "/in/d.pdf"), -1);
  ASSERT_TRUE(UpdateLockListEntry(f, 2, 5, 2));
  entries = ReadLockList(f);
  EXPECT_EQ(entries[1].result, 5);
  EXPECT_EQ(entries[1].readState, 2);

  entries.erase(entries.begin());  // consumed
  ASSERT_TRUE(WriteLockList(f, entries, 3));
  entries = ReadLockList(f);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].file, "/in/b.pdf");
  EXPECT_EQ(entries[1].file, "/in/c.pdf");
  EXPECT_EQ(ProfileRead("FileLockList", "File3", "gone", f), "gone");
  EXPECT_EQ(ProfileRead("FileLockList", "Result9", -9, f), -9);
}

TEST(SettingsDefaults, FreshFileCarriesEveryDefaultAndKeepsOthers) {
  TempDir dir;
  const EnvFiles env = EnvFiles::ForFolder(dir.path());
  WriteText(env.settings, "; other program\n[Viewer]\nKeep=me\n");
  ASSERT_TRUE(WriteDefaultSettings(env.settings));
  const MonitorOptions o = ReadMonitorOptions(env.settings, "root");
  EXPECT_EQ(ValidateSettingCounts(o), 0);
  EXPECT_EQ(o.setTotal, 5);
  EXPECT_EQ(o.setTotalMax, 30);
  EXPECT_EQ(o.faxSetTotalMax, 1000);
  EXPECT_EQ(o.productName, "Zorvan Folder Monitor Software");
  EXPECT_FALSE(o.hostName.empty());
  EXPECT_EQ(o.hostName, platform::Trim(platform::ComputerName()));
  EXPECT_EQ(o.waitNetwork, 5000);
  EXPECT_EQ(o.showBalloon, -1);
  EXPECT_EQ(ProfileRead("FolderMonitorSet", "SetTotalMax", 0, env.settings), 2520);
  EXPECT_EQ(ProfileRead("FolderMonitorSet", "LinkFoder", "x", env.settings), "");
  EXPECT_EQ(ProfileRead("AutoFileRead", "SetNumber5", 0, env.settings), -1);
  EXPECT_EQ(ProfileRead("Viewer", "Keep", "", env.settings), "me");
  EXPECT_EQ(testing::ReadText(env.settings).rfind("; other program\n", 0), 0u);
  std::vector<AutoFileSetting> settings;
  EXPECT_TRUE(ReadAutoFileSettings(env, o, Context(), settings));
  EXPECT_EQ(settings[4].setNumber, 1005);
  EXPECT_EQ(settings[4].sendResult, 2);
  EXPECT_EQ(settings[4].succeededTerm, 30);
}

}  // namespace
}  // namespace zv::monitor
