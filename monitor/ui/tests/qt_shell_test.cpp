// The engine's shell: calls from the watch thread land on the window thread;
// blinking (timer 1001) and balloon hiding (timer 1002).
#include <QtTest>

#include <thread>

#include "monitor/ui/qt_shell.h"
#include "support/ui_fakes.h"

using namespace zv::monitor;
using namespace zv::monitor::ui;
using zv::monitor::ui::test::FakeTrayBackend;
using zv::monitor::ui::test::ProgramFolder;

namespace {

struct Shell {
  FakeTrayBackend* backend = new FakeTrayBackend;
  CTrayIcon tray{std::unique_ptr<TrayBackend>(backend)};
  QtShell shell{tray};
  std::vector<int> icons;

  explicit Shell(int showBalloon = 1) {
    ProgramFolder folder;
    tray.Create(folder.env(), "Monitor", kIconOnline);
    shell.SetProduct("Monitor", false);
    shell.SetBalloonOptions(showBalloon, 5);
    shell.NoteIconShown(true);
  }
};

}  // namespace

class QtShellTest : public QObject {
  Q_OBJECT
 private slots:
  void watchThreadCallsRunOnWindowThread() {
    Shell s;
    const int modifiesBefore = s.backend->modifies;
    std::thread worker([&s] {
      s.shell.SetStatusIcon(1);
      s.shell.SetTooltip("Monitor - Importing:Scans");
      s.shell.ShowBalloon("a.pdf", "File was imported successfully.", 3);
    });
    worker.join();
    QCOMPARE(s.backend->modifies, modifiesBefore);  // nothing touched from the worker
    QTRY_COMPARE(s.backend->tooltip, QStringLiteral("Monitor - Importing:Scans"));
    QCOMPARE(s.backend->lastThread, QThread::currentThread());
    QCOMPARE(s.tray.iconId(), kIconOffline);
    QCOMPARE(s.backend->messageTitle, QStringLiteral("File was imported successfully."));
    QCOMPARE(s.backend->messageMs, 3000);
    QVERIFY(s.shell.balloonShown());
  }

  void blinkSwitchesThreeTimesWithOneBalloon() {
    Shell quiet(0);  // balloons off: still blinks
    quiet.shell.StartBlink();
    Shell s;
    QVERIFY(s.shell.StartBlink());
    QCOMPARE(s.tray.iconId(), kIconBlink);
    QCOMPARE(s.shell.blinkIntervalMs(), 500);
    QTRY_VERIFY_WITH_TIMEOUT(!s.shell.blinking(), 4000);
    QCOMPARE(s.tray.iconId(), kIconImporting);  // 20121, 20008, 20121
    QCOMPARE(s.backend->messages, 1);
    QCOMPARE(s.backend->messageTitle, QStringLiteral("File import started."));
    QCOMPARE(s.backend->messageText, QStringLiteral("Click here to disable the notification setting."));
    QCOMPARE(s.backend->messageMs, 5000);
    QVERIFY(!quiet.shell.blinking());
    QCOMPARE(quiet.tray.iconId(), kIconImporting);
    QCOMPARE(quiet.backend->messages, 0);
  }

  void balloonTimeOutsideRangeIsFiveSecondsAndHides() {
    Shell s;
    for (int seconds : {0, 150}) {
      s.shell.ShowBalloon("t", "title", seconds);
      QCOMPARE(s.shell.balloonTimeoutMs(), 5000);
      QCOMPARE(s.backend->messageMs, 5000);
    }
    s.shell.ShowBalloon("t", "title", 1);
    QCOMPARE(s.tray.balloonTitle(), std::string("title"));
    QTRY_VERIFY_WITH_TIMEOUT(s.tray.balloonTitle().empty(), 3000);
    QVERIFY(!s.shell.balloonShown());
  }

  void keepAliveNoticesALostIcon() {
    Shell s;
    QVERIFY(s.shell.KeepIconAlive());
    s.backend->present = false;  // the panel restarted
    s.shell.KeepIconAlive();
    QVERIFY(!s.shell.KeepIconAlive());
    QVERIFY(s.shell.RestoreIcon());  // adds again
    QVERIFY(s.tray.visible());
  }
};

QTEST_MAIN(QtShellTest)
#include "qt_shell_test.moc"
