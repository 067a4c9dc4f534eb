// The import list window on the offscreen platform: which records it shows,
// the column texts in both languages, sorting (across a year end, kept over a
// restart), the popup modes, no notification area, the settings dialog and
// the program's single instance as real processes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <ctime>
#include <filesystem>
#include <mutex>

#include "companion/common.h"
#include "companion/trace.h"
#include "implist/ui/list_window.h"
#include "implist/ui/settings_dialog.h"
#include "platform/clock.h"
#include "platform/filelock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/text.h"
#include "testing/files.h"
#include "testing/installation.h"

namespace zv::implist::ui {
namespace {

namespace ini = platform::ini;
using companion::Language;

class FakeTray : public zv::ui::TrayBackend {
 public:
  explicit FakeTray(bool available) : available_(available) {}
  bool Available() const override { return available_; }
  bool Add(const QIcon&, const QString&) override { return shown = true; }
  bool Modify(const QIcon&, const QString&) override { return true; }
  void Remove() override { shown = false; }
  void ShowMessage(const QString& title, const QString&, const QIcon&, int ms) override {
    balloons.push_back(title);
    balloonMs = ms;
  }
  void HideMessage() override {}
  bool shown = false;
  std::vector<QString> balloons;
  int balloonMs = 0;

 private:
  bool available_;
};

class FakeSound : public SoundPlayer {
 public:
  explicit FakeSound(std::vector<std::string>* played) : played_(played) {}
  bool Play(const std::string& file) override {
    played_->push_back(file);
    return true;
  }

 private:
  std::vector<std::string>* played_;
};

// The local time stamp `days` days before now.
std::string DaysAgo(int days) {
  const std::time_t t = static_cast<std::time_t>(platform::UnixSeconds() - days * 86400);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y%m%d%H%M%S", &tm);
  return buf;
}

Record MakeRecord(const std::string& time, const std::string& name, const std::string& host = "",
                  const std::string& link = "", const std::string& set = "1") {
  Record r;
  r.Set("Time", time);
  r.Set("HostName", host.empty() ? platform::ComputerName() : host);
  r.Set("Name", name);
  r.Set("Result", "1");
  r.Set("Binder", "Inbox");
  r.Set("index", "Mail");
  r.Set("LinkFolderPath", link);
  r.Set("LinkFolderName", "Local");
  r.Set("SetNumber", set);
  r.Set("Keyword", "20260101000000");
  r.Set("ImpUser1", "taro,");
  return r;
}

std::vector<QString> Column(const ImpListModel& m, int column) {
  std::vector<QString> out;
  for (int i = 0; i < m.rowCount(); ++i) out.push_back(m.Text(i, column));
  return out;
}

TEST(ListFilter, ShowsWhatTheSettingsAndTheMonitorSettingsAllow) {
  testing::TempDir dir;
  const std::string monitor = dir / "EnvSetInfo.ini";
  ini::WriteString(monitor, "AutoFileRead", "TarFolder1", "/t1");
  ini::WriteString(monitor, "AutoFileRead", "bCheck1", "1");
  ini::WriteString(monitor, "AutoFileRead", "TarFolder2", "/t2");
  ini::WriteString(monitor, "AutoFileRead", "bCheck2", "0");  // switched off
  ini::WriteString(monitor, "AutoFileRead", "TarFolder3", "/t3");
  ini::WriteString(monitor, "AutoFileRead", "bCheck3", "1");
  ViewerSettings s;
  s.setFlag = 1;
  s.link[0].path = "/links/Local/";
  s.link[0].displayImp = "1,";
  s.link[1].path = "/links/Off";
  s.link[1].enabled = 0;
  s.link[1].displayImp = "1,";
  const std::string here = platform::ComputerName();
  ListFilter f = ListFilter::Make(s, here, monitor);

  EXPECT_FALSE(f.Shows(MakeRecord("20260101000000", "a", " ")));                          // no host
  EXPECT_TRUE(f.Shows(MakeRecord("20260101000000", "a", "elsewhere", "/x", "3")));        // another computer's
  EXPECT_TRUE(f.Shows(MakeRecord("20260101000000", "a", here, "/LINKS/local", "1")));     // listed, case and "/" aside
  EXPECT_FALSE(f.Shows(MakeRecord("20260101000000", "a", here, "/links/Local", "3")));    // not in DisplayImp
  EXPECT_FALSE(f.Shows(MakeRecord("20260101000000", "a", here, "/links/Local", "2")));    // setting switched off
  EXPECT_FALSE(f.Shows(MakeRecord("20260101000000", "a", here, "/links/Local", "7")));    // setting missing
  EXPECT_FALSE(f.Shows(MakeRecord("20260101000000", "a", here, "/links/Off", "1")));      // entry disabled
  EXPECT_TRUE(f.Shows(MakeRecord("20260101000000", "a", here, "/links/Local", "1051")));  // above MaxSetNumber
  Record sent = MakeRecord("20260101000000", "a", here, "/links/Local", "3");
  sent.Set("ImpMode", "1");
  EXPECT_TRUE(f.Shows(sent));  // sent by a user: always
  // Without a link folder: DispWkFlag 0 shows, 1 hides, 2 shows when no entry claims it.
  const Record desk = MakeRecord("20260101000000", "a", here, "", "1");
  for (int wk : {0, 1, 2}) {
    f.dispWkFlag = wk;
    EXPECT_EQ(f.Shows(desk), wk != 1) << wk;
  }
  f.dispWkFlag = 2;
  EXPECT_FALSE(f.Shows(MakeRecord("20260101000000", "a", here, "/links/Unknown", "1")));
  // Before the user saved settings, everything of this computer is shown.
  f.ownComputerCheck = false;
  EXPECT_TRUE(f.Shows(MakeRecord("20260101000000", "a", here, "/links/Local", "3")));
}

TEST(ListModel, ColumnTextsInJapaneseAndEnglish) {
  Record r = MakeRecord("20260305091510", "Invoice");
  Record folder = r, desk = r, noIndex = r;
  r.Set("Result", "0");
  folder.Set("Keyword", "0");
  desk.Set("bWorkDesk", "1");
  noIndex.Set("index", "");
  const ListRow ja = MakeRow("s", r, Language::Japanese);
  const ListRow en = MakeRow("s", r, Language::English);
  EXPECT_EQ(ja.text[0], QStringLiteral("2026/03/05 09:15"));
  EXPECT_EQ(en.text[0], QStringLiteral("03/05/2026 09:15"));
  EXPECT_EQ(ja.text[1], QStringLiteral("Invoice"));
  EXPECT_EQ(ja.text[2], QStringLiteral("×"));
  EXPECT_EQ(MakeRow("s", noIndex, Language::Japanese).text[2], QStringLiteral("○"));
  EXPECT_EQ(ja.text[3], QStringLiteral("Local:Inbox\\Mail"));
  EXPECT_EQ(MakeRow("s", noIndex, Language::English).text[3], QStringLiteral("Local:Inbox"));
  EXPECT_EQ(MakeRow("s", folder, Language::Japanese).text[3], QStringLiteral("フォルダ:Inbox\\Mail"));
  EXPECT_EQ(MakeRow("s", folder, Language::English).text[3], QStringLiteral("Folder:Inbox\\Mail"));
  EXPECT_EQ(MakeRow("s", desk, Language::Japanese).text[3], QStringLiteral("作業デスク:Mail"));
  EXPECT_EQ(MakeRow("s", desk, Language::English).text[3], QStringLiteral("Work Desk:Mail"));

  ImpListModel m;
  m.SetLanguage(Language::Japanese);
  m.sort(0, Qt::AscendingOrder);
  EXPECT_EQ(m.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("取り込み日時 ↑"));
  EXPECT_EQ(m.headerData(3, Qt::Horizontal, Qt::DisplayRole).toString(),
            QStringLiteral("リンクフォルダ名称：バインダ名／インデックス"));
  m.SetLanguage(Language::English);
  m.sort(1, Qt::DescendingOrder);
  EXPECT_EQ(m.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Import Date"));
  EXPECT_EQ(m.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("Name ↓"));
}

TEST(ListModel, TheTimeColumnSortsByTheStoredTimeAcrossAYearEnd) {
  ImpListModel m;
  std::vector<ListRow> rows;
  for (const char* t : {"20260101000100", "20251231235900", "202601020800", "20251230120000"})
    rows.push_back(MakeRow(t, MakeRecord(t, t), Language::English));
  m.SetRows(rows);
  m.sort(0, Qt::AscendingOrder);
  // Shown as "%m/%d/%Y": sorted as text, January would come before December.
  EXPECT_EQ(Column(m, 0),
            (std::vector<QString>{"12/30/2025 12:00", "12/31/2025 23:59", "01/01/2026 00:01", "01/02/2026 08:00"}));
  m.sort(0, Qt::DescendingOrder);
  EXPECT_EQ(m.Row(0).section, "202601020800");
  EXPECT_EQ(m.Row(3).section, "20251230120000");
}

// A window on an installation whose local list holds a few records.
class Window : public ::testing::Test {
 protected:
  void SetUp() override {
    link = inst.AddLinkFolder("Local");
    ini::WriteString(inst.userSettings(), "Product", "User", "taro");
    platform::MakeFolders(inst.Path("program/Rslt"));
    ini::WriteString(quibbin, "ImpListSettings", "Interval", "999");
    for (const auto& [days, n] : std::vector<std::pair<int, const char*>>{{2, "b-dec"}, {1, "c-jan"}, {3, "a-dec"}})
      AppendRecord(local, MakeRecord(DaysAgo(days), n), 2);
  }
  std::unique_ptr<ImpListWindow> Make(bool trayAvailable = true) {
    WindowParts parts;
    auto tray = std::make_unique<FakeTray>(trayAvailable);
    fakeTray = tray.get();
    parts.tray = std::move(tray);
    parts.sound = std::make_unique<FakeSound>(&played);
    parts.ask = [this](QWidget*, const QString& text, QMessageBox::StandardButtons) {
      asked.push_back(text);
      return answer;
    };
    parts.operations = MakeToolRowOperations(parts.ask);
    return std::make_unique<ImpListWindow>(std::move(parts));
  }
  testing::Installation inst;
  std::string link;
  const std::string quibbin = inst.Path("program/Quibbin.ini");
  const std::string local = inst.Path("program/Rslt/ImpListData.ini");
  FakeTray* fakeTray = nullptr;
  std::vector<std::string> played;
  std::vector<QString> asked;
  QMessageBox::StandardButton answer = QMessageBox::Yes;
};

TEST_F(Window, HeaderClicksSortAndTheChoiceSurvivesARestart) {
  {
    auto w = Make();
    w->Refill();
    EXPECT_EQ(Column(w->model(), 1), (std::vector<QString>{"a-dec", "b-dec", "c-jan"}));
    w->SortBy(1);
    w->SortBy(1);  // the sorted column again: descending
    EXPECT_EQ(Column(w->model(), 1), (std::vector<QString>{"c-jan", "b-dec", "a-dec"}));
  }
  ini::ClearCache();
  EXPECT_EQ(ini::GetString(quibbin, "SaveData", "sort_col", ""), "1");
  EXPECT_EQ(ini::GetString(quibbin, "SaveData", "sort_Direct", ""), "1");
  auto w = Make();
  w->Refill();
  EXPECT_EQ(w->model().sortColumn(), 1);
  EXPECT_EQ(Column(w->model(), 1), (std::vector<QString>{"c-jan", "b-dec", "a-dec"}));
  w->SortBy(1);  // twice clicked returns to ascending
  EXPECT_EQ(Column(w->model(), 1), (std::vector<QString>{"a-dec", "b-dec", "c-jan"}));
}

TEST_F(Window, PopupModesOnNews) {
  ini::WriteString(quibbin, "ImpListSettings", "ShowBaloon", "1");
  ini::WriteString(quibbin, "ImpListSettings", "TimeBalloon", "100");
  ini::WriteString(quibbin, "ImpListSettings", "SoundEnabled", "1");
  ini::WriteString(quibbin, "ImpListSettings", "WaveFile", "/sounds/new.wav");
  QWidget other;
  for (int mode : {0, 1, 2}) {
    ini::WriteString(quibbin, "ImpListSettings", "Popup", std::to_string(mode));
    auto w = Make();
    w->Start();
    w->StopWorker();
    w->hide();
    other.show();
    other.activateWindow();
    QApplication::processEvents();
    w->OnNews();
    QApplication::processEvents();
    EXPECT_EQ(w->isVisible(), mode != 0) << mode;
    EXPECT_EQ(w->model().rowCount(), 3);
    EXPECT_EQ(fakeTray->balloons.size(), 1u);
    EXPECT_EQ(fakeTray->balloonMs, 5000);  // outside 1..99: 5 seconds
    if (mode == 0) continue;
    // Already shown, another window in front: only Popup 2 brings it forward.
    other.activateWindow();
    QApplication::processEvents();
    w->OnNews();
    QApplication::processEvents();
    EXPECT_EQ(w->isActiveWindow(), mode == 2) << mode;
  }
  EXPECT_EQ(played, std::vector<std::string>(5, "/sounds/new.wav"));
}

// A short silent PCM sound file.
std::string SilentWave(const std::string& path) {
  std::string w = "RIFF";
  auto le = [&w](std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) w += static_cast<char>((v >> (8 * i)) & 0xff);
  };
  const std::uint32_t samples = 8000;
  le(36 + samples * 2, 4);
  w += "WAVEfmt ";
  le(16, 4), le(1, 2), le(1, 2), le(8000, 4), le(16000, 4), le(2, 2), le(16, 2);
  w += "data";
  le(samples * 2, 4);
  w += std::string(samples * 2, '\0');
  platform::WriteFileAtomic(path, w);
  return path;
}

TEST_F(Window, WithoutANotificationAreaOrAnAudioDeviceTheWindowStillWorks) {
  ini::WriteString(quibbin, "ImpListSettings", "Popup", "0");
  ini::WriteString(quibbin, "ImpListSettings", "ShowBaloon", "1");
  ini::WriteString(quibbin, "ImpListSettings", "SoundEnabled", "1");
  ini::WriteString(quibbin, "ImpListSettings", "WaveFile", SilentWave(inst.Path("new.wav")));
  WindowParts parts;
  parts.tray = std::make_unique<zv::ui::QtTrayBackend>();  // offscreen: no notification area
  parts.sound = MakeQtSoundPlayer();                       // the real one, on whatever output there is
  ImpListWindow w(std::move(parts));
  w.Start();
  EXPECT_FALSE(w.trayShown());
  EXPECT_TRUE(w.isVisible());  // nothing else would lead to it
  const std::int64_t start = platform::SteadyMs();
  w.OnNews();
  QApplication::processEvents();
  EXPECT_LT(platform::SteadyMs() - start, 1000);
  EXPECT_EQ(w.model().rowCount(), 3);
}

TEST_F(Window, UpdateRunsAPassAndClosingDoesNotWaitForAHeldInbox) {
  // A record addressed to this user in the link folder: the pass drains
  // that inbox, whose lock another computer holds.
  platform::MakeFolders(platform::JoinPath(link, "Rslt"));
  AppendRecord(platform::JoinPath(link, "Rslt/ImpListData_taro.ini"), MakeRecord(DaysAgo(0), "d-new", "", link), 1);
  platform::HeldLock held = platform::HeldLock::TryAcquire(platform::JoinPath(link, "Rslt/~ImpListData_taro.Locked"));
  ASSERT_TRUE(held);
  auto w = Make();
  w->Start();
  QApplication::processEvents();
  platform::SleepMs(1500);  // the first pass is now waiting for the inbox
  const std::int64_t start = platform::SteadyMs();
  answer = QMessageBox::Yes;
  EXPECT_TRUE(w->close());
  EXPECT_LT(platform::SteadyMs() - start, 2500);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_TRUE(asked[0].contains(QStringLiteral("Do you really want")) || asked[0].contains(QStringLiteral("本当に")));

  // Released: Update brings the record in.
  held.Release();
  auto w2 = Make();
  w2->Start();
  QApplication::processEvents();
  w2->RequestPass(true);
  const std::int64_t deadline = platform::SteadyMs() + 15000;
  while (w2->model().rowCount() < 4 && platform::SteadyMs() < deadline) {
    QApplication::processEvents();
    platform::SleepMs(20);
  }
  EXPECT_EQ(w2->model().rowCount(), 4);
  answer = QMessageBox::No;  // "No" minimises and keeps running
  EXPECT_FALSE(w2->close());
  EXPECT_TRUE(w2->isMinimized());
}

// The start message waits for its answer while the worker already collects;
// PerformFlag times a pass that brought news; a link folder that stops
// answering is named once per outage; monitor settings saved after the
// viewer's show in the status line until the viewer's are saved.
TEST_F(Window, NoticesNeverHoldUpCollection) {
  platform::MakeFolders(platform::JoinPath(link, "Rslt"));
  AppendRecord(platform::JoinPath(link, "Rslt/ImpListData_taro.ini"), MakeRecord(DaysAgo(0), "d-new", "", link), 1);
  ini::WriteString(quibbin, "ImpListSettings", "PerformFlag", "1");
  const std::string traces = inst.Path("trace");
  companion::SetProcessTraceSettings({traces, 1, 7});
  auto drained = [&] {
    for (const auto& s : ini::SectionNames(local))
      if (ini::GetString(local, s, "Name", "") == "d-new") return true;
    return false;
  };
  std::mutex mu;
  std::vector<std::string> boxes;
  bool drainedMeanwhile = false;
  struct Restore {
    ~Restore() {
      companion::SetMessageBoxHook(nullptr);
      platform::SetPathStallForTesting(nullptr);
      companion::SetProcessTraceSettings({});
    }
  } restore;  // also when an assertion ends the test early
  companion::SetMessageBoxHook([&](const std::string& text, const std::string&, int style) {
    if (text == TextStd(kTxtFirstUse)) {  // the window thread, as under a modal box
      const std::int64_t end = platform::SteadyMs() + 10'000;
      while (!(drainedMeanwhile = drained()) && platform::SteadyMs() < end) platform::SleepMs(20);
    }
    std::lock_guard<std::mutex> lock(mu);
    boxes.push_back(text);
    return companion::DefaultButton(style);
  });
  auto w = Make();
  auto waitFor = [&](const std::function<bool()>& done) {
    const std::int64_t end = platform::SteadyMs() + 15'000;
    while (!done() && platform::SteadyMs() < end) {
      QApplication::processEvents();
      platform::SleepMs(20);
    }
  };
  auto boxCount = [&] {
    std::lock_guard<std::mutex> lock(mu);
    return boxes.size();
  };
  auto pass = [&] {
    const int before = w->passes();
    w->RequestPass(false);
    waitFor([&] { return w->passes() > before; });
  };
  w->Start();
  waitFor([&] { return boxCount() >= 1 && w->passes() >= 1; });
  EXPECT_TRUE(drainedMeanwhile);
  ASSERT_EQ(boxes, std::vector<std::string>{TextStd(kTxtFirstUse)});  // a link folder is set: no other message
  std::string trace;
  waitFor([&] {
    trace = testing::ReadText(platform::JoinPath(traces, "ImpList_trace_" + DaysAgo(0).substr(0, 8) + ".log"));
    return trace.find("取り込み結果表示更新,") != std::string::npos;
  });
  const std::size_t at = trace.find("取り込み結果表示更新,0,1,");
  ASSERT_NE(at, std::string::npos) << trace;
  const std::string ms = trace.substr(at + std::string("取り込み結果表示更新,0,1,").size());
  EXPECT_EQ(std::stoll(ms) % 10, 0) << ms;

  const std::string silent = platform::TrimTrailingSeparator(link);
  auto stall = [&](bool on) {
    platform::SetPathStallForTesting(
        on ? std::function<bool(const std::string&)>([silent](const std::string& p) { return p.starts_with(silent); })
           : nullptr,
        200);
  };
  stall(true);
  pass();
  pass();
  EXPECT_EQ(boxCount(), 2u);
  stall(false);
  pass();
  stall(true);
  pass();
  stall(false);
  ASSERT_EQ(boxCount(), 3u);
  EXPECT_EQ(boxes[1], platform::FillInOrder(TextStd(kTxtLinkUnreachable), {silent}));
  EXPECT_EQ(boxes[2], boxes[1]);

  const QString changed = Text(kTxtMonitorSettingsChanged);
  ini::WriteString(quibbin, "ImpListSettings", "SetFlag", "1");
  ini::WriteString(quibbin, "ImpListSettings", "LastModified", "1765000000");
  ini::WriteString(inst.settings(), "Product", "LastModified", "1765000100");
  pass();
  EXPECT_TRUE(w->status()->text().contains(changed)) << w->status()->text().toStdString();
  ini::WriteString(quibbin, "ImpListSettings", "LastModified", "1765000200");
  pass();
  EXPECT_FALSE(w->status()->text().contains(changed));
}

TEST_F(Window, SettingsDialogRangesAndOnlyItsKeysWritten) {
  const std::string before =
      "; kept as it is\n[ImpListSettings]\nLastGetImpData=20261208101010\nCustomKey=keep me\nInterval=30\n"
      "[SaveData]\nsort_col=2\n[Other]\nA = 1\n";
  platform::WriteFileAtomic(quibbin, before);
  ini::WriteString(inst.settings(), "AutoFileRead", "SetTotal", "2");
  ini::WriteString(inst.settings(), "AutoFileRead", "TarFolder1", "/t1");
  ini::WriteString(inst.settings(), "AutoFileRead", "TarFolder2", "/t2");
  ini::WriteString(inst.settings(), "AutoFileRead", "SetName2", "Scans");
  std::vector<QString> asked2;
  QMessageBox::StandardButton reply = QMessageBox::No;
  SettingsDialog d(quibbin, ViewerSettings::Read(quibbin), ReadMonitorSettings(inst.settings()),
                   companion::ReadViewerFolders(), "pc-here", [&](QWidget*, const QString& t, auto) {
                     asked2.push_back(t);
                     return reply;
                   });
  EXPECT_EQ(std::make_pair(d.interval->minimum(), d.interval->maximum()), std::make_pair(0, 999));
  EXPECT_EQ(std::make_pair(d.fileHoldPeriod->minimum(), d.fileHoldPeriod->maximum()), std::make_pair(0, 999));
  EXPECT_EQ(std::make_pair(d.listDataPeriod->minimum(), d.listDataPeriod->maximum()), std::make_pair(1, 99));
  EXPECT_EQ(std::make_pair(d.dispListMax->minimum(), d.dispListMax->maximum()), std::make_pair(1, 1000));
  EXPECT_EQ(d.interval->value(), 30);
  ASSERT_EQ(d.displayImp->count(), 2);
  d.displayImp->item(1)->setCheckState(Qt::Checked);
  d.interval->setValue(5);
  d.dispListMax->setValue(1200);  // clamped by the dialog
  d.accept();                     // a short interval: "No" goes back, nothing written
  ASSERT_EQ(asked2.size(), 1u);
  EXPECT_EQ(testing::ReadText(quibbin), before);
  reply = QMessageBox::Yes;
  d.accept();
  EXPECT_EQ(d.result(), QDialog::Accepted);
  ini::ClearCache();
  const std::string after = testing::ReadText(quibbin);
  for (const char* line : {"; kept as it is\n", "LastGetImpData=20261208101010\n", "CustomKey=keep me\n",
                           "[SaveData]\nsort_col=2\n", "[Other]\nA = 1\n", "Interval=5\n", "DispListMax=1000\n"})
    EXPECT_NE(after.find(line), std::string::npos) << line;
  EXPECT_EQ(ini::GetString(quibbin, "ImpList1", "DisplayImp1", ""), "2,");
  EXPECT_EQ(ini::GetString(quibbin, "ImpList1", "LinkFolderPath", ""), link);
  EXPECT_EQ(ini::GetString(quibbin, "ImpListSettings", "SetFlag", ""), "1");
}

TEST_F(Window, ASecondStartMakesTheFirstCollectWithinASecond) {
  ini::WriteString(inst.settings(), "Option", "LastImpTime", "99999999999999");
  ini::WriteString(quibbin, "ImpListSettings", "Popup", "0");
  ini::WriteString(quibbin, "ImpListSettings", "logoutput", "1");
  platform::MakeFolders(inst.Path("run"));
  std::vector<std::string> env = inst.Environment();
  env.push_back("XDG_RUNTIME_DIR=" + inst.Path("run"));
  env.push_back("QT_QPA_PLATFORM=offscreen");
  auto result = [&](const char* stamp, const char* name) {
    Record r = MakeRecord(stamp, name);
    r.Set("LinkFolderPath", "");  // the work desk: straight into the local list
    for (const auto& [k, v] : r.keys)
      ini::WriteString(inst.Path(std::string("program/Rslt/ImpRslt_") + stamp + ".ini"), "Rslt", k, v);
  };
  auto listed = [&](const char* name, int withinMs) {
    const std::int64_t end = platform::SteadyMs() + withinMs;
    do {
      ini::ClearCache();
      for (const auto& s : ini::SectionNames(local))
        if (ini::GetString(local, s, "Name", "") == name) return true;
      platform::SleepMs(20);
    } while (platform::SteadyMs() < end);
    return false;
  };
  const std::string now = DaysAgo(0);
  result(now.c_str(), "first");
  platform::Process first = platform::Process::Spawn(ZV_QUIBBIN_EXE, {}, {}, env);
  ASSERT_TRUE(first.valid());
  ASSERT_TRUE(listed("first", 15000));  // the pass at start
  platform::SleepMs(1100);              // another second: another result file
  const std::string later = DaysAgo(0);
  result(later.c_str(), "second");
  const testing::RunResult second = testing::RunProgram(ZV_QUIBBIN_EXE, {}, env, 20000);
  EXPECT_EQ(second.exitCode, 0) << second.err;
  EXPECT_TRUE(listed("second", 1000));  // Interval is 999 s: only the request runs a pass now
  EXPECT_TRUE(first.IsRunning());
  first.Terminate(5000);  // a log-off: ends without the question
  const std::vector<std::string> log = testing::Lines(testing::ReadText(inst.Path("program/Quibbin.log")));
  ASSERT_FALSE(log.empty());
  EXPECT_NE(log.back().find(" <Info> 取り込みファイル一覧終了"), std::string::npos) << log.back();
  EXPECT_TRUE(std::any_of(log.begin(), log.end(),
                          [](const std::string& l) { return l.ends_with(" <Info> ImpListData.ini更新処理要求終了"); }));
}

// The row buttons are off while an operation runs off the window thread
// (here the work desk's tool, which takes a second), on again at its end.
TEST_F(Window, RowButtonsWaitWhileAnOperationRuns) {
  Record desk = MakeRecord(DaysAgo(1), "desk");
  desk.Set("bWorkDesk", "1");
  AppendRecord(local, desk, 2);
  const std::string tool = inst.viewer() + "/Ormley";
  testing::WriteText(tool, "#!/bin/sh\nsleep 1\n");
  std::filesystem::permissions(tool, std::filesystem::perms(0755));
  auto w = Make();
  w->Refill();
  const auto names = Column(w->model(), 1);
  w->table()->selectRow(static_cast<int>(std::find(names.begin(), names.end(), "desk") - names.begin()));
  QPushButton* view = nullptr;
  for (QPushButton* b : w->findChildren<QPushButton*>())
    if (b->text() == Text(kTxtButtonView)) view = b;
  ASSERT_NE(view, nullptr);
  // The window thread keeps serving its events meanwhile.
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
  timer.start(20);
  view->click();
  EXPECT_TRUE(w->operating());
  EXPECT_FALSE(view->isEnabled());
  const std::int64_t end = platform::SteadyMs() + 10'000;
  while (w->operating() && platform::SteadyMs() < end) QApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_FALSE(w->operating());
  EXPECT_TRUE(view->isEnabled());
  EXPECT_GE(ticks, 20) << "the window thread was blocked";
  EXPECT_TRUE(asked.empty()) << asked.front().toStdString();
}

}  // namespace
}  // namespace zv::implist::ui

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
