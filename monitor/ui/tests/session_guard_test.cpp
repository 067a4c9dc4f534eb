// Log-off and shut-down while importing.
#include <QtTest>

#include "companion/common.h"
#include "monitor/ui/session_guard.h"
#include "monitor/ui/texts.h"
#include "support/ui_fakes.h"

using namespace zv::monitor::ui;
using zv::monitor::ui::test::ProgramFolder;

namespace {

class FakeInhibitor : public Inhibitor {
 public:
  std::vector<std::string> refused;  // modes that are refused
  std::vector<std::string> asked;
  int held = 0;
  bool Acquire(const std::string& what, const std::string& who, const std::string&, const std::string& mode) override {
    asked.push_back(what + "/" + who + "/" + mode);
    if (std::find(refused.begin(), refused.end(), mode) != refused.end()) return false;
    ++held;
    return true;
  }
  void Release() override { --held; }
};

}  // namespace

class SessionGuardTest : public QObject {
  Q_OBJECT
 private slots:
  void inhibitorHeldWhileImporting() {
    ProgramFolder folder;
    auto* inhibitor = new FakeInhibitor;
    inhibitor->refused = {"block"};
    SessionGuard guard(folder.env(), std::unique_ptr<Inhibitor>(inhibitor));
    guard.Update(true);
    guard.Update(true);
    QCOMPARE(inhibitor->held, 1);
    QCOMPARE(guard.heldMode(), std::string("delay"));
    QCOMPARE(inhibitor->asked,
             (std::vector<std::string>{"shutdown:sleep/Hopvale/block", "shutdown:sleep/Hopvale/delay"}));
    guard.Update(false);
    QCOMPARE(inhibitor->held, 0);
    QVERIFY(guard.heldMode().empty());

    // Refused both ways: not asked again until the next import.
    inhibitor->refused = {"block", "delay"};
    inhibitor->asked.clear();
    guard.Update(true);
    guard.Update(true);
    QCOMPARE(inhibitor->asked.size(), std::size_t{2});
    guard.Update(false);
    inhibitor->refused.clear();
    guard.Update(true);
    QCOMPARE(guard.heldMode(), std::string("block"));
  }

  void sessionEndRefusedWhileImporting() {
    ProgramFolder folder;
    std::vector<std::pair<std::string, int>> boxes;
    zv::companion::SetMessageBoxHook([&boxes](const std::string&, const std::string& caption, int style) {
      boxes.emplace_back(caption, style);
      return zv::companion::kIdOk;
    });
    SessionGuard guard(folder.env(), std::make_unique<FakeInhibitor>());
    QVERIFY(guard.AllowSessionEnd(true));
    folder.SetOption("MonitorStatus", 2);
    QVERIFY(!guard.AllowSessionEnd(false));
    QVERIFY(boxes.empty());  // no interaction allowed: refused silently
    QVERIFY(!guard.AllowSessionEnd(true));
    QCOMPARE(boxes.size(), std::size_t{1});
    QCOMPARE(boxes[0].first, std::string("Close Zorvan Folder Monitor Software"));
    QVERIFY(boxes[0].second & zv::companion::kMbIconWarning);
    QVERIFY(boxes[0].second & zv::companion::kMbTopMost);
    folder.SetOption("MonitorStatus", 1);  // stopped by the user: may end
    QVERIFY(guard.AllowSessionEnd(true));
    zv::companion::SetMessageBoxHook(nullptr);
  }
};

QTEST_MAIN(SessionGuardTest)
#include "session_guard_test.moc"
