// The hidden frame: the tray menu and its rules, Start and Stop, the version
// dialog, creation without a notification area, and the close path.
#include <QtTest>

#include <QLabel>

#include "companion/common.h"
#include "monitor/ui/main_frame.h"
#include "platform/clock.h"
#include "support/ui_fakes.h"

using namespace zv::monitor;
using namespace zv::monitor::ui;
using zv::monitor::ui::test::FakeTrayBackend;
using zv::monitor::ui::test::ProgramFolder;

namespace {

struct Frame {
  FakeTrayBackend* backend = new FakeTrayBackend;
  int menus = 0;
  int dialogs = 0;
  int propertyFlagDuringDialog = -1;
  QString versionUser;
  bool menuOpenMarkDuringMenu = false;
  std::function<QAction*(QMenu&)> pick;  // chooses an action of the shown menu
  std::unique_ptr<CMainFrame> frame;

  explicit Frame(const ProgramFolder& folder) {
    FrameHooks hooks;
    hooks.runMenu = [this](QMenu& m) -> QAction* {
      ++menus;
      menuOpenMarkDuringMenu = frame->shell().MenuOpen();
      return pick ? pick(m) : nullptr;
    };
    hooks.runDialog = [this, &folder](QDialog& d) {
      ++dialogs;
      propertyFlagDuringDialog = folder.Work("PropertyFlag");
      if (auto* user = d.findChild<QLabel*>("user")) versionUser = user->text();
      return 1;
    };
    frame = std::make_unique<CMainFrame>(folder.env().folder, std::unique_ptr<TrayBackend>(backend), hooks);
  }
};

QAction* ActionOf(QMenu& m, int id) {
  for (QAction* a : m.actions())
    if (!a->isSeparator() && a->data().toInt() == id) return a;
  return nullptr;
}

}  // namespace

class MainFrameTest : public QObject {
  Q_OBJECT
 private slots:
  void menuOrderAndEnableRules() {
    QMenu m;
    BuildTrayMenu(m, 0, true);
    QStringList texts;
    for (QAction* a : m.actions()) texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
    QCOMPARE(texts,
             (QStringList{"Setting...", "File List...", "-", "Start", "Stop", "Exit", "-", "Version Information"}));
    QCOMPARE(m.defaultAction(), ActionOf(m, kCmdSetting));

    struct Row {
      int status;
      bool start;
      bool stop;
    };
    for (Row r :
         {Row{0, false, true}, Row{1, true, false}, Row{2, false, false}, Row{3, false, true}, Row{4, false, true}}) {
      BuildTrayMenu(m, r.status, true);
      QVERIFY2(ActionOf(m, kCmdStart)->isEnabled() == r.start, qPrintable(QString::number(r.status)));
      QVERIFY2(ActionOf(m, kCmdStop)->isEnabled() == r.stop, qPrintable(QString::number(r.status)));
    }
    BuildTrayMenu(m, 0, false);
    QVERIFY(ActionOf(m, kCmdFileList) == nullptr);
    QVERIFY(ActionOf(m, kCmdSetting) != nullptr);
    QCOMPARE(m.actions().size(), 7);
  }

  void rightClickShowsMenuOnlyWhenIdle() {
    ProgramFolder folder;
    Frame f(folder);
    QVERIFY(f.frame->OnCreate(false));
    f.backend->Click(TrayEvent::RightClick);
    QCOMPARE(f.menus, 1);
    QVERIFY(f.menuOpenMarkDuringMenu);
    QVERIFY(!f.frame->shell().MenuOpen());

    folder.SetWork("ImportFlag", 1);  // a file is being imported
    f.backend->Click(TrayEvent::RightClick);
    folder.SetWork("ImportFlag", 0);
    folder.SetWork("PropertyFlag", 1);  // the settings dialog is open
    f.backend->Click(TrayEvent::RightClick);
    folder.SetWork("PropertyFlag", 0);
    folder.SetOption("MonitorStatus", 2);  // importing, as the settings file says
    f.backend->Click(TrayEvent::RightClick);
    QCOMPARE(f.menus, 1);
  }

  void stopAndStartFromTheMenu() {
    ProgramFolder folder;
    folder.SetProduct("ProductName", "Monitor");
    Frame f(folder);
    QVERIFY(f.frame->OnCreate(false));
    QCOMPARE(f.backend->tooltip, QStringLiteral("Monitor - Online"));

    f.pick = [](QMenu& m) { return ActionOf(m, kCmdStop); };
    f.backend->Click(TrayEvent::RightClick);
    QTRY_COMPARE(f.frame->status(), 1);  // the command runs after the menu closed
    QCOMPARE(folder.Option("MonitorStatus"), 1);
    QCOMPARE(f.backend->tooltip, QStringLiteral("Monitor - Offline"));
    QCOMPARE(f.frame->tray().iconId(), kIconOffline);

    f.pick = [](QMenu& m) { return ActionOf(m, kCmdStart)->isEnabled() ? ActionOf(m, kCmdStart) : nullptr; };
    f.backend->Click(TrayEvent::RightClick);
    QTRY_COMPARE(f.frame->status(), 0);
    QCOMPARE(folder.Option("MonitorStatus"), 0);
    QCOMPARE(f.frame->tray().iconId(), kIconOnline);
  }

  void versionDialogHoldsPropertyFlag() {
    ProgramFolder folder;
    folder.SetProduct("User", "abcdefghijklmnopqrstuvwxyz");
    Frame f(folder);
    QVERIFY(f.frame->OnCreate(false));
    f.frame->OnCommand(kCmdAbout);
    QCOMPARE(f.dialogs, 1);
    QCOMPARE(f.propertyFlagDuringDialog, 1);
    QCOMPARE(folder.Work("PropertyFlag"), 0);
    QVERIFY(f.versionUser.endsWith(QStringLiteral("abcdefghijklmnopqrst")));

    folder.SetWork("ImportFlag", 1);
    f.frame->OnCommand(kCmdAbout);
    QCOMPARE(f.dialogs, 1);
  }

  void trayRefusingTheIconEndsCreation() {
    std::vector<std::string> shown;
    zv::companion::SetMessageBoxHook([&shown](const std::string& text, const std::string&, int) {
      shown.push_back(text);
      return zv::companion::kIdOk;
    });
    zv::platform::FakeClock clock;
    zv::platform::ScopedClock scoped(clock);
    ProgramFolder folder;
    {
      Frame f(folder);  // a notification area that refuses the icon
      f.backend->failingAdds = -1;
      QVERIFY(!f.frame->OnCreate(false));
      QCOMPARE(shown.size(), std::size_t{1});
      QVERIFY(QString::fromStdString(shown[0]).startsWith("Failed to display the task tray icon"));
    }
    zv::companion::SetMessageBoxHook(nullptr);
  }
};

QTEST_MAIN(MainFrameTest)
#include "main_frame_test.moc"
