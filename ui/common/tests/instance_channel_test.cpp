// The single-instance channel between two copies of a program, and the
// message box look of a style word.
#include <QtTest>

#include <QFile>
#include <QLibraryInfo>
#include <future>
#include <string>
#include <vector>

#include "companion/common.h"
#include "companion/strings.h"
#include "testing/temp_dir.h"
#include "ui/common/instance_channel.h"
#include "ui/common/message_box.h"
#include "ui/common/translations.h"

using namespace zv::ui;

namespace {

// Sends from another thread while this one serves the socket.
bool Send(const std::string& socket, const std::string& request) {
  auto sent = std::async(std::launch::async, [&] { return SendInstanceRequest(socket, request, 5000); });
  while (sent.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  return sent.get();
}

}  // namespace

class InstanceChannelTest : public QObject {
  Q_OBJECT
 private slots:
  void requestsReachTheRunningInstance() {
    const zv::testing::TempDir dir;
    const std::string socket = dir / "App.socket";
    {  // left behind by a crashed instance
      QFile stale(QString::fromStdString(socket));
      QVERIFY(stale.open(QIODevice::WriteOnly));
    }
    std::vector<std::string> handled;
    InstanceServer server("_Test", {"raise", "settings"},
                          [&handled](const std::string& request) { handled.push_back(request); });
    QVERIFY(server.Listen(socket));

    QVERIFY(Send(socket, "settings"));
    QVERIFY(Send(socket, "unknown"));  // answered, but not acted on
    QVERIFY(Send(socket, "raise"));
    QTRY_COMPARE(handled.size(), std::size_t{2});
    QCOMPARE(handled, (std::vector<std::string>{"settings", "raise"}));

    QVERIFY(!SendInstanceRequest(dir / "nobody.socket", "raise", 500));
  }

  void messageBoxLookOfStyle() {
    using namespace zv::companion;
    const MessageBoxLook question = LookOfStyle(kMbYesNoCancel | kMbIconQuestion | kMbDefButton2 | kMbTopMost);
    QCOMPARE(question.icon, QMessageBox::Question);
    QCOMPARE(question.buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QCOMPARE(question.defaultButton, QMessageBox::No);
    QVERIFY(question.topMost);
    // A second default button where there is none stays on the first.
    const MessageBoxLook ok = LookOfStyle(kMbOk | kMbDefButton2);
    QCOMPARE(ok.icon, QMessageBox::NoIcon);
    QCOMPARE(ok.defaultButton, QMessageBox::Ok);
    QCOMPARE(ResultOfButton(QMessageBox::No), kIdNo);
    QCOMPARE(ResultOfButton(QMessageBox::Close), kIdOk);
  }

  // Runs last: the translation stays installed in the test's application.
  void qtOwnTextsFollowTheUsersLanguage() {
    auto* app = QCoreApplication::instance();
    zv::companion::ForceLanguage(zv::companion::Language::English);
    QVERIFY(!zv::ui::InstallQtTranslations(*app));
    zv::companion::ForceLanguage(zv::companion::Language::Japanese);
    if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_ja.qm"))
      QSKIP("Qt's Japanese translation is not installed (qt6-translations-l10n)");
    QVERIFY(zv::ui::InstallQtTranslations(*app));
    QVERIFY(QCoreApplication::translate("QPlatformTheme", "&Yes") != QStringLiteral("&Yes"));
    zv::companion::ResetLanguage();
  }
};

QTEST_MAIN(InstanceChannelTest)
#include "instance_channel_test.moc"
