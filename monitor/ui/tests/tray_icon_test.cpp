// The tray icon: retries of its creation, the tooltip cut and the rules for
// right and double clicks.
#include <QtTest>

#include "monitor/ui/tray_icon.h"
#include "platform/clock.h"
#include "support/ui_fakes.h"

using namespace zv::monitor;
using namespace zv::monitor::ui;
using zv::monitor::ui::test::FakeTrayBackend;
using zv::monitor::ui::test::ProgramFolder;

namespace {

struct Tray {
  FakeTrayBackend* backend = new FakeTrayBackend;
  CTrayIcon icon{std::unique_ptr<TrayBackend>(backend)};
};

}  // namespace

class TrayIconTest : public QObject {
  Q_OBJECT
 private slots:
  void retryNumIsClamped_data() {
    QTest::addColumn<int>("retryNum");
    QTest::addColumn<int>("expectedAdds");
    QTest::newRow("3 reads as 5") << 3 << 5;
    QTest::newRow("2000 reads as 5") << 2000 << 5;
    QTest::newRow("7 stays") << 7 << 7;
  }
  void retryNumIsClamped() {
    QFETCH(int, retryNum);
    QFETCH(int, expectedAdds);
    ProgramFolder folder;
    folder.SetOption("RetryNum", retryNum);
    zv::platform::FakeClock clock;
    zv::platform::ScopedClock scoped(clock);
    Tray t;
    t.backend->failingAdds = -1;
    QVERIFY(!t.icon.Create(folder.env(), "Monitor", kIconOnline));
    QCOMPARE(t.backend->adds, expectedAdds);
    QCOMPARE(clock.totalSleptMs(), 500LL * expectedAdds);
    QVERIFY(!t.icon.visible());
  }

  void createSucceedsOnLaterAttemptOrAfterTimeout() {
    ProgramFolder folder;
    zv::platform::FakeClock clock;
    zv::platform::ScopedClock scoped(clock);
    {
      Tray t;  // the shell comes up while we retry
      t.backend->failingAdds = 2;
      QVERIFY(t.icon.Create(folder.env(), "Monitor", kIconOnline));
      QCOMPARE(t.backend->adds, 3);
      QVERIFY(t.icon.visible());
    }
    {
      Tray t;  // the add timed out but the icon arrived: the modify finds it
      t.backend->failingAdds = -1;
      t.backend->failByTimeout = true;
      t.backend->presentAfterTimeout = true;
      QVERIFY(t.icon.Create(folder.env(), "Monitor", kIconOnline));
      QCOMPARE(t.backend->adds, 1);
    }
  }

  void tooltipCutOnCharacterBoundary() {
    ProgramFolder folder;
    Tray t;
    QVERIFY(t.icon.Create(folder.env(), "x", kIconOnline));
    // 45 three-byte characters: 135 bytes before " - Online" is added.
    std::string product;
    for (int i = 0; i < 45; ++i) product += "\xe7\x9b\xa3";  // 監
    t.icon.SetTooltip(StatusTooltip(product, 0));
    const std::string shown = t.backend->tooltip.toStdString();
    QCOMPARE(shown.size(), std::size_t{126});  // 42 whole characters, not 127 bytes
    QCOMPARE(QString::fromUtf8(shown.c_str()).size(), 42);
    QVERIFY(!QString::fromUtf8(shown.c_str()).contains(QChar::ReplacementCharacter));
    QCOMPARE(t.icon.tooltip(), shown);

    const std::string shortTip = StatusTooltip("Monitor", 1);
    t.icon.SetTooltip(shortTip);
    QCOMPARE(t.backend->tooltip, QStringLiteral("Monitor - Offline"));

    t.icon.Remove();
    t.icon.SetTooltip("ignored while hidden");
    QCOMPARE(t.icon.tooltip(), shortTip);
  }

  void statusTextsAndIcons() {
    QCOMPARE(StatusTooltip("P", 4), std::string("P - Monitoring Sort Folder"));
    QCOMPARE(StatusTooltip("P", 9), std::string("P - Error"));
    QCOMPARE(StatusIconId(3, true), kIconOnlineService);
    for (int id : {kIconOnline, kIconOnlineService, kIconOffline, kIconImporting, kIconBlink, kIconError, kIconUser})
      QVERIFY2(!LoadTrayIcon(id).pixmap(16, 16).isNull(), qPrintable(QString::number(id)));
  }
};

QTEST_MAIN(TrayIconTest)
#include "tray_icon_test.moc"
