// Two real processes: a running tray program and later copies started with
// and without "-p" (which opens the settings dialog there); then a stop
// signal closes the first, dialog open, as a log-off does.
#include <QtTest>

#include <QDir>
#include <QProcess>

#include "monitor/settings/profile.h"
#include "support/ui_fakes.h"
#include "testing/temp_dir.h"

using zv::monitor::ui::test::ProgramFolder;

namespace {

const QString kTool = QStringLiteral(ZV_TEST_TOOLS_DIR "/hopvale_tray_tool");

QString ReadAll(const QString& folder) {
  QString text;
  for (const QFileInfo& f : QDir(folder).entryInfoList(QDir::Files)) {
    QFile file(f.filePath());
    if (file.open(QIODevice::ReadOnly)) text += QString::fromUtf8(file.readAll());
  }
  return text;
}

}  // namespace

class TrayProcessTest : public QObject {
  Q_OBJECT
 private slots:
  void secondInstanceRequestsAndClose() {
    ProgramFolder folder;
    folder.SetOption("MonitorStatus", 1);  // stopped by the user before
    zv::monitor::ProfileWrite("AutoFileRead", "SetTotal", 0, folder.env().settings);
    const zv::testing::TempDir homeDir, traceDir;
    const QString home = QString::fromStdString(homeDir.path()), trace = QString::fromStdString(traceDir.path());
    const QString socket = home + "/Hopvale.socket";
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", home);
    env.insert("TMPDIR", home);
    env.insert("ZORVAN_REGISTRY_MACHINE", home + "/machine.ini");
    env.insert("ZORVAN_REGISTRY_USER", home + "/user.ini");
    env.insert("ZORVAN_PROGRAM_DIR", QString::fromStdString(folder.env().folder));

    {  // a socket left behind by a crashed instance
      QFile stale(socket);
      QVERIFY(stale.open(QIODevice::WriteOnly));
    }
    QProcess first;
    first.setProcessEnvironment(env);
    first.setProcessChannelMode(QProcess::ForwardedChannels);
    first.start(kTool, {"first", QString::fromStdString(folder.env().folder), socket, trace});
    QVERIFY(first.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(ReadAll(trace).contains("Start AutoImp Monitor"), 10000);

    for (const QStringList& args : {QStringList{"second", socket}, QStringList{"second", socket, "-p"}}) {
      QProcess second;
      second.setProcessEnvironment(env);
      second.start(kTool, args);
      QVERIFY(second.waitForFinished(10000));
      QCOMPARE(second.exitCode(), 0);
    }
    // "-p" opened the settings dialog in the running copy: it holds
    // PropertyFlag while it is open.
    QTRY_VERIFY_WITH_TIMEOUT(ReadAll(trace).contains("open the settings dialog"), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(folder.Work("PropertyFlag"), 1, 5000);
    const QString log = ReadAll(trace);
    QVERIFY(log.contains("request \"raise\""));
    QVERIFY(log.contains("request \"settings\""));
    QVERIFY(log.contains("no system tray"));

    first.terminate();  // SIGTERM, as at log-off, with the dialog still open
    QVERIFY(first.waitForFinished(20000));
    QCOMPARE(first.exitStatus(), QProcess::NormalExit);
    QCOMPARE(first.exitCode(), 0);
    QVERIFY(ReadAll(trace).contains("Hopvale Close."));
    QCOMPARE(folder.Option("MonitorStatus"), 0);  // comes back online next time
    QCOMPARE(folder.Work("PropertyFlag"), 0);
  }
};

QTEST_MAIN(TrayProcessTest)
#include "tray_process_test.moc"
