// The send-file window end to end on the offscreen platform: drops of the
// drag-source stand-in's pages filed with their send keywords, the result
// record, the import list started once, a refusal that leaves the source its
// pages; the place and top-most state kept; the recipient editor.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <functional>

#include "binderlib/binderini.h"
#include "binderlib/format.h"
#include "companion/common.h"
#include "companion/strings.h"
#include "dravel/dravel.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/single_instance.h"
#include "sendfile/recipients.h"
#include "sendfile/ui/marloft.h"
#include "testing/files.h"
#include "testing/installation.h"
#include "workdesk/drag_data.h"

namespace zv::sendfile::ui {
namespace {

namespace bl = companion::binder;
namespace ini = platform::ini;
namespace test = zv::testing;
namespace fs = std::filesystem;

const std::string kSeven = "山田花子太郎丸";  // seven characters, 21 bytes

struct DragSource {
  platform::Process process;
  std::string log, payload;
  DragSource(const test::Installation& box, const std::string& name, std::vector<std::string> args) {
    log = box.Path(name + ".log");
    args.insert(args.end(), {"--folder", box.Path(name), "--log", log, "--payload-file", box.Path(name + ".bytes")});
    auto env = box.Environment();
    env.push_back("QT_QPA_PLATFORM=offscreen");
    process = platform::Process::Spawn(ZV_DRAGSOURCE_EXE, args, {}, env);
    for (int i = 0; i < 200 && test::ReadText(log).find("ready") == std::string::npos; ++i) QTest::qWait(50);
    payload = test::ReadText(box.Path(name + ".bytes"));
  }
  ~DragSource() { process.Terminate(500); }
};

class Marloft : public ::testing::Test {
 protected:
  void SetUp() override {
    box.WriteSettings();
    box.LinkIntoViewer("libPixmoor.so", ZV_PIXMOOR_LIB);
    box.LinkIntoViewer("A4Hollow.pdf", ZV_A4HOLLOW_PDF);
    fs::create_symlink(ZV_DRAVEL_LIB, box.Path("program/libDravel.so"));
    // The import list: notes each start and stays a while.
    ASSERT_TRUE(test::WriteText(box.Path("program/Quibbin"),
                                "#!/bin/sh\necho start >> \"$ZORVAN_PROGRAM_DIR/quibbin-starts\"\nsleep 15\n"));
    fs::permissions(box.Path("program/Quibbin"), fs::perms(0755));
    ini::WriteString(box.userSettings(), "Product", "User", "bob");
    binder = box.AddBinder(box.AddCabinet(box.AddLinkFolder("Local")), "Inbox");
    char path[DRAVEL_PATH_MAX] = {};
    ASSERT_EQ(GetAndCheckImpSendUserdat(path), 0);
    ASSERT_TRUE(SaveUserList(path, {"bob", kSeven}, 0));
    companion::SetMessageBoxHook([this](const std::string& text, const std::string&, int) {
      boxes.push_back(text);
      return companion::kIdOk;
    });
  }
  void TearDown() override { companion::SetMessageBoxHook(nullptr); }

  // Drops `payload` on the window; the choose dialog, when it opens, picks
  // the binder, ticks every recipient, is handed to `beforeOk` and OK is
  // pressed.
  std::pair<bool, Qt::DropAction> Drop(MarloftWindow& w, const std::string& payload, bool front,
                                       const std::function<void(ChooseDialog*)>& beforeOk = {}) {
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* d = qobject_cast<ChooseDialog*>(QApplication::activeModalWidget());
      if (d == nullptr) return;
      poll.stop();
      EXPECT_TRUE(d->SelectBinder(binder));
      for (int i = 0; i < d->recipients()->count(); ++i) d->recipients()->item(i)->setCheckState(Qt::Checked);
      (front ? d->frontButton() : d->backButton())->setChecked(true);
      if (beforeOk) beforeOk(d);
      d->okButton()->click();
    });
    poll.start();
    return DropEvents(w, payload);
  }
  // The events of a drop as the desktop delivers them: the drag enters,
  // then drops.
  static std::pair<bool, Qt::DropAction> DropEvents(MarloftWindow& w, const std::string& payload) {
    QMimeData mime;
    mime.setData(companion::workdesk::kDragMimeType,
                 QByteArray(payload.data(), static_cast<qsizetype>(payload.size())));
    QDragEnterEvent enter(QPoint(10, 10), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &enter);
    QDropEvent e(QPointF(10, 10), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &e);
    return {e.isAccepted(), e.dropAction()};
  }
  std::vector<std::string> Results() const {
    std::vector<std::string> out;
    for (const auto& n : test::Names(box.Path("program/Rslt")))
      if (n.starts_with("ImpRslt_")) out.push_back(box.Path("program/Rslt/" + n));
    return out;
  }
  int ViewerStarts() const {
    return static_cast<int>(test::Lines(test::ReadText(box.Path("program/quibbin-starts"))).size());
  }

  test::Installation box;
  std::string binder;
  std::vector<std::string> boxes;
};

// The stamp of the send that wrote `keyword` ("<stamp>_<i> ...").
std::string StampOf(const std::string& keyword) { return keyword.substr(0, keyword.find('_')); }
// The page keyword starts with the token "<stamp>_<i> " (a reader drops the
// blank at the end of a keyword that holds nothing else).
bool HasToken(const std::string& keyword, const std::string& stamp, int i) {
  return (keyword + " ").starts_with(stamp + "_" + std::to_string(i) + " ");
}

TEST_F(Marloft, DropsAreFiledWithKeywordsAndAnnounced) {
  MarloftWindow w;
  w.show();
  DragSource source(box, "desk", {"--pages", "3"});
  ASSERT_EQ(source.payload.size(), companion::workdesk::kDragDataSize);

  // Three pages at the back of the empty binder: four entries (a blank pad).
  auto [accepted, action] = Drop(w, source.payload, false);
  EXPECT_TRUE(accepted);
  EXPECT_EQ(action, Qt::MoveAction);
  auto pages = bl::ReadBinder(binder).pages;
  ASSERT_EQ(pages.size(), 4u);
  const std::string stamp = StampOf(pages[0].keyword);
  EXPECT_EQ(stamp.size(), 14u);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(HasToken(pages[static_cast<std::size_t>(i)].keyword, stamp, i + 1));
  // The source was asked for room, then told its pages moved: they left
  // its undo folder.
  EXPECT_NE(test::ReadText(source.log).find("pageroom "), std::string::npos);
  EXPECT_NE(test::ReadText(source.log).find("moved 3\n"), std::string::npos);
  EXPECT_FALSE(platform::Exists(box.Path("desk/UndoFolder/Page1.pdf")));
  auto results = Results();
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(ini::GetString(results[0], "Rslt", "ImpMode"), "1");
  EXPECT_EQ(ini::GetString(results[0], "Rslt", "Keyword"), stamp);
  EXPECT_EQ(ini::GetString(results[0], "Rslt", "Page"), "4");
  EXPECT_EQ(ini::GetString(results[0], "Rslt", "Result"), "1");
  EXPECT_EQ(ini::GetString(results[0], "Rslt", "BinderPath"), binder);
  const std::string users = ini::GetString(results[0], "Rslt", "ImpUser1");
  EXPECT_NE(users.find("bob"), std::string::npos);
  EXPECT_NE(users.find(kSeven), std::string::npos);
  for (int i = 0; i < 50 && ViewerStarts() == 0; ++i) QTest::qWait(50);
  EXPECT_EQ(ViewerStarts(), 1);

  // Again in front: the new pages carry their own tokens; the import list
  // still runs and is not started twice.
  QTest::qWait(1100);  // a send of another second
  DragSource next(box, "desk2", {"--pages", "2"});
  std::tie(accepted, action) = Drop(w, next.payload, true);
  EXPECT_EQ(action, Qt::MoveAction);
  pages = bl::ReadBinder(binder).pages;
  ASSERT_EQ(pages.size(), 6u);
  const std::string second = StampOf(pages[0].keyword);
  EXPECT_NE(second, stamp);
  EXPECT_TRUE(HasToken(pages[1].keyword, second, 2));
  EXPECT_TRUE(HasToken(pages[2].keyword, stamp, 1));
  EXPECT_EQ(Results().size(), 2u);
  QTest::qWait(300);
  EXPECT_EQ(ViewerStarts(), 1);

  // The work desk refuses: the drop is not a move, the binder stays, the
  // user is told.
  DragSource refusing(box, "full", {"--pages", "2", "--answer", "-21"});
  const std::string before = test::ReadText(bl::BinderIniPath(binder));
  std::tie(accepted, action) = Drop(w, refusing.payload, false);
  EXPECT_FALSE(accepted);
  EXPECT_NE(action, Qt::MoveAction);
  EXPECT_EQ(test::ReadText(bl::BinderIniPath(binder)), before);
  ASSERT_FALSE(boxes.empty());
  EXPECT_NE(boxes.back().find("エラーが発生しました"), std::string::npos);
  EXPECT_EQ(test::ReadText(refusing.log).find("moved"), std::string::npos);
  EXPECT_TRUE(platform::IsFile(box.Path("full/UndoFolder/Page1.pdf")));
  EXPECT_EQ(Results().size(), 2u);

  // Drag data naming a relative folder never opens the dialog.
  companion::workdesk::DragData bad;
  bad.sourcePid = refusing.process.pid();
  bad.folder = "full";
  bad.pageCount = 2;
  const int drops = w.drops();
  std::tie(accepted, action) = Drop(w, companion::workdesk::EncodeDragData(bad), false);
  EXPECT_FALSE(accepted);
  EXPECT_EQ(w.drops(), drops);
}

// The insertion runs on a worker thread: meanwhile the window thread goes
// on handling events, the dialog waits disabled, and another drop is
// refused without a second dialog.
TEST_F(Marloft, TheInsertionRunsOffTheWindowThread) {
  MarloftWindow w;
  w.show();
  DragSource source(box, "desk", {"--pages", "2"});
  DragSource other(box, "other", {"--pages", "2"});
  QThread* ranOn = nullptr;
  bool waited = false, otherAccepted = true;
  int drops = -1;
  auto [accepted, action] = Drop(w, source.payload, false, [&](ChooseDialog* d) {
    d->SetSendFunction([&](const DropRequest& r, const SendTarget& t, int pos, std::int64_t at, const SendHooks& h) {
      ranOn = QThread::currentThread();
      QThread::msleep(800);
      return SendDroppedPages(r, t, pos, at, h);
    });
    QTimer::singleShot(300, &w, [&, dialog = QPointer<ChooseDialog>(d)] {
      waited = dialog && dialog->sending() && !dialog->isEnabled();
      drops = w.drops();
      otherAccepted = DropEvents(w, other.payload).first;
      drops = w.drops() - drops;
    });
  });
  EXPECT_TRUE(accepted);
  EXPECT_EQ(action, Qt::MoveAction);
  EXPECT_NE(ranOn, nullptr);
  EXPECT_NE(ranOn, QThread::currentThread());
  EXPECT_TRUE(waited);
  EXPECT_FALSE(otherAccepted);
  EXPECT_EQ(drops, 0);
  EXPECT_EQ(bl::ReadBinder(binder).pages.size(), 2u);
  EXPECT_EQ(test::ReadText(other.log).find("pageroom"), std::string::npos);
}

TEST_F(Marloft, PlaceAndTopMostAreKept) {
  {
    MarloftWindow w;
    w.Restore();
    w.show();
    QTest::qWait(600);  // the place given at start is not saved
    EXPECT_FALSE(platform::Exists(box.Path("program/Marloft.dat")));
    w.move(100, 120);
    for (int i = 0; i < 40 && ini::GetInt(box.Path("program/Marloft.dat"), "general", "ChangePose", 0) != 1; ++i)
      QTest::qWait(50);
    EXPECT_EQ(ini::GetInt(box.Path("program/Marloft.dat"), "general", "posX", -1), 100);
    EXPECT_EQ(ini::GetInt(box.Path("program/Marloft.dat"), "general", "posY", -1), 120);
    QStringList entries;
    for (QAction* a : w.contextMenu()->actions()) entries << a->text();
    EXPECT_EQ(entries, QStringList({"ユーザー編集", "常に最前面に表示"}));
    w.contextMenu()->actions().at(1)->trigger();
    EXPECT_TRUE(w.topMost());
  }
  MarloftWindow again;
  again.Restore();
  EXPECT_TRUE(again.topMost());
  EXPECT_TRUE(again.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(again.pos(), QPoint(100, 120));
}

TEST_F(Marloft, RecipientEditor) {
  UserEditor e;
  ASSERT_TRUE(e.loaded());
  EXPECT_EQ(e.list()->item(0)->text().toStdString(), "bob[ローカル]");
  e.nameEdit()->setText("  carol  ");
  EXPECT_TRUE(e.AddUser());
  e.nameEdit()->setText("CAROL");
  EXPECT_FALSE(e.AddUser());
  EXPECT_NE(boxes.back().find("すでに登録されています"), std::string::npos);
  e.nameEdit()->setText("a:b");
  EXPECT_FALSE(e.AddUser());
  char path[DRAVEL_PATH_MAX] = {};
  ASSERT_EQ(GetAndCheckImpSendUserdat(path), 0);
  EXPECT_EQ(ReadUserList(path, 0).names, (std::vector<std::string>{"bob", kSeven, "carol"}));
  // A file the tool did not export is refused and changes nothing.
  ASSERT_TRUE(test::WriteText(box.Path("other.dat"), "[users]\ncount=1\nusername1=x\n"));
  EXPECT_FALSE(e.ImportFrom(QString::fromStdString(box.Path("other.dat"))));
  EXPECT_EQ(ReadUserList(path, 0).names.size(), 3u);
  // Deleting every user leaves an empty list.
  for (int i = 0; i < 3; ++i) {
    e.list()->setCurrentRow(e.list()->count() - 1);
    EXPECT_TRUE(e.DeleteUser());
  }
  EXPECT_EQ(ini::GetString(path, "users", "count"), "0");
}

// The program itself: a second start hands over to the running window and
// ends.
TEST_F(Marloft, ASecondStartBringsTheFirstForward) {
  box.WriteSettings({{"TraceLogEnabled", "1"}, {"TraceLogPath", box.Path("trace")}});
  auto env = box.Environment();
  env.push_back("QT_QPA_PLATFORM=offscreen");
  platform::Process first = platform::Process::Spawn(ZV_MARLOFT_EXE, {}, {}, env);
  const std::string socket = platform::SingleInstance::SocketNameFor("Marloft");
  for (int i = 0; i < 200 && !platform::Exists(socket); ++i) QTest::qWait(50);
  ASSERT_TRUE(platform::Exists(socket));
  const auto second = test::RunProgram(ZV_MARLOFT_EXE, {"/u"}, env, 20'000);
  EXPECT_EQ(second.exitCode, 0);
  EXPECT_TRUE(first.IsRunning());
  std::string traces;
  for (const auto& n : test::Names(box.Path("trace"))) traces += test::ReadText(box.Path("trace/" + n));
  EXPECT_NE(traces.find("request \"show\""), std::string::npos) << traces;
  EXPECT_NE(traces.find("Marloft.exe has been started."), std::string::npos) << traces;
  first.Terminate();
}

// With ZV_SCREENSHOT_DIR set (under a real X server): pictures of the
// window, the choose dialog and the recipient editor for the documentation.
TEST_F(Marloft, Screenshots) {
  const char* dir = std::getenv("ZV_SCREENSHOT_DIR");
  if (dir == nullptr) GTEST_SKIP() << "ZV_SCREENSHOT_DIR not set";
  ini::WriteString(bl::BinderIniPath(box.AddBinder(box.AddCabinet(box.Path("links/Local"), "Lib", "Cab"), "Minutes")),
                   "BinderInfo", "Title", "Minutes");
  MarloftWindow w;
  w.show();
  QTest::qWait(300);
  w.grab().save(QString(dir) + "/marloft-window.png");
  DropRequest drop;
  ChooseDialog d(drop, &w);
  d.SelectBinder(binder);
  d.recipients()->item(1)->setCheckState(Qt::Checked);
  d.show();
  QTest::qWait(300);
  d.grab().save(QString(dir) + "/marloft-choose.png");
  UserEditor e(&w);
  e.show();
  QTest::qWait(300);
  e.grab().save(QString(dir) + "/marloft-users.png");
}

}  // namespace
}  // namespace zv::sendfile::ui

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // The window's texts are checked in Japanese whatever the machine's locale.
  zv::companion::ForceLanguage(zv::companion::Language::Japanese);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
