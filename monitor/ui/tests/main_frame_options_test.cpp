// The window thread reads the monitor options (version dialog, tray menu)
// while the watch thread re-reads them after a settings change. Run under
// ThreadSanitizer (tools/test --tsan) this shows that the readers only ever
// see whole copies; in every build it shows that they see the new values.
#include <QtTest>

#include <QLabel>

#include "monitor/ui/main_frame.h"
#include "support/ui_fakes.h"

using namespace zv::monitor;
using namespace zv::monitor::ui;
using zv::monitor::ui::test::FakeTrayBackend;
using zv::monitor::ui::test::ProgramFolder;

class MainFrameOptionsTest : public QObject {
  Q_OBJECT
 private slots:
  void windowReadsWhileTheWatchThreadReloads() {
    ProgramFolder folder;
    const std::string& ini = folder.env().settings;
    ProfileWrite("AutoFileRead", "SetTotal", 1, ini);  // one (disabled) setting: the loop looks at Modified
    ProfileWrite("AutoFileRead", "bCheck1", 0, ini);
    folder.SetOption("WaitLocal", 0);
    QString version;
    int menus = 0;
    FrameHooks hooks;
    hooks.runMenu = [&menus](QMenu&) -> QAction* {
      ++menus;
      return nullptr;
    };
    hooks.runDialog = [&version](QDialog& d) {
      if (auto* l = d.findChild<QLabel*>("version")) version = l->text();
      return 1;
    };
    CMainFrame frame(folder.env().folder, std::make_unique<FakeTrayBackend>(), hooks);
    QVERIFY(frame.OnCreate(true));
    for (int round = 1; round <= 5; ++round) {
      const std::string v = "V9.0L" + std::to_string(round);
      folder.SetProduct("Version", v);
      folder.SetOption("Modified", 1);
      QElapsedTimer timer;
      timer.start();
      while (folder.Option("Modified") != 0 && timer.elapsed() < 10'000) {
        frame.OnCommand(kCmdAbout);
        frame.RunTrayMenu();
        // The dialog holds PropertyFlag, which holds the loop back: leave it gaps.
        QTest::qWait(20);
      }
      QCOMPARE(folder.Option("Modified"), 0);
      // The re-read is published before the flag is reset.
      frame.OnCommand(kCmdAbout);
      QVERIFY2(version.endsWith(QString::fromStdString(v)), qPrintable(version));
    }
    QVERIFY(menus > 0);
    frame.CloseActions();
  }
};

QTEST_MAIN(MainFrameOptionsTest)
#include "main_frame_options_test.moc"
