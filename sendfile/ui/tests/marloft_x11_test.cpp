// A real drag on an X server: the drag-source stand-in's pages dragged by
// the pointer onto the send-file window. A Qt drag source on X11 hears
// "move" as soon as the pages hovered over a window that accepts them, so
// only the "moved" line may make it remove them: a cancelled drop leaves the
// source its pages, a filed one takes them. Runs on a virtual display of its
// own; skipped where Xvfb or xdotool is missing.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>

#include "binderlib/binderini.h"
#include "companion/common.h"
#include "dravel/dravel.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/process.h"
#include "sendfile/recipients.h"
#include "sendfile/ui/marloft.h"
#include "testing/files.h"
#include "testing/installation.h"

namespace zv::sendfile::ui {

constexpr const char* kXvfb = "/usr/bin/Xvfb";
constexpr const char* kXdotool = "/usr/bin/xdotool";
std::string g_noDisplay;  // why the test cannot run, empty when it can

namespace {

namespace bl = companion::binder;
namespace test = zv::testing;
namespace fs = std::filesystem;

bool WaitFor(const std::function<bool()>& done, int ms) {
  for (int i = 0; i < ms / 50 && !done(); ++i) QTest::qWait(50);
  return done();
}

// xdotool's output.
std::string Xdotool(const std::vector<std::string>& args) { return test::RunProgram(kXdotool, args, {}, 20'000).out; }

TEST(MarloftX11, ADraggedPageLeavesTheSourceOnlyWhenFiled) {
  if (!g_noDisplay.empty()) GTEST_SKIP() << g_noDisplay;
  test::Installation box;
  box.WriteSettings();
  box.LinkIntoViewer("libPixmoor.so", ZV_PIXMOOR_LIB);
  box.LinkIntoViewer("A4Hollow.pdf", ZV_A4HOLLOW_PDF);
  fs::create_symlink(ZV_DRAVEL_LIB, box.Path("program/libDravel.so"));
  ASSERT_TRUE(test::WriteText(box.Path("program/Quibbin"), "#!/bin/sh\nexit 0\n"));
  fs::permissions(box.Path("program/Quibbin"), fs::perms(0755));
  const std::string binder = box.AddBinder(box.AddCabinet(box.AddLinkFolder("Local")), "Inbox");
  char users[DRAVEL_PATH_MAX] = {};
  ASSERT_EQ(GetAndCheckImpSendUserdat(users), 0);
  companion::SetMessageBoxHook([](const std::string&, const std::string&, int) { return companion::kIdOk; });

  MarloftWindow w;
  w.setGeometry(600, 400, 300, 110);
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));

  const std::string log = box.Path("desk.log");
  platform::Process source = platform::Process::Spawn(
      ZV_DRAGSOURCE_EXE, {"--folder", box.Path("desk"), "--pages", "2", "--log", log}, {}, box.Environment());
  ASSERT_TRUE(WaitFor([&] { return test::ReadText(log).find("ready") != std::string::npos; }, 10'000));
  std::string id = Xdotool({"search", "--sync", "--onlyvisible", "--pid", std::to_string(source.pid())});
  id = id.substr(0, id.find('\n'));
  ASSERT_FALSE(id.empty());
  Xdotool({"windowmove", "--sync", id, "20", "20"});

  // Drags from the source's window onto the send-file window; `onDialog`
  // answers the choose dialog.
  auto drag = [&](const std::function<void(ChooseDialog*)>& onDialog) {
    bool seen = false;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* d = qobject_cast<ChooseDialog*>(QApplication::activeModalWidget());
      if (d == nullptr || seen) return;
      seen = true;
      onDialog(d);
    });
    poll.start();
    const std::size_t ended = test::ReadText(log).size();
    const QPoint to = w.mapToGlobal(w.rect().center());
    platform::Process xdo = platform::Process::Spawn(kXdotool, {"mousemove",
                                                                "100",
                                                                "50",
                                                                "sleep",
                                                                "0.3",
                                                                "mousedown",
                                                                "1",
                                                                "sleep",
                                                                "0.3",
                                                                "mousemove",
                                                                "140",
                                                                "70",
                                                                "sleep",
                                                                "0.3",
                                                                "mousemove",
                                                                std::to_string(to.x() - 5),
                                                                std::to_string(to.y()),
                                                                "sleep",
                                                                "0.3",
                                                                "mousemove",
                                                                std::to_string(to.x()),
                                                                std::to_string(to.y()),
                                                                "sleep",
                                                                "0.5",
                                                                "mouseup",
                                                                "1"});
    EXPECT_TRUE(WaitFor([&] { return !xdo.IsRunning(); }, 20'000));
    EXPECT_TRUE(WaitFor([&] { return test::ReadText(log).find("drag ended", ended) != std::string::npos; }, 20'000))
        << test::ReadText(log);
    // The source ends its drag as it sends the drop: the window may get it
    // a moment later.
    return WaitFor([&] { return seen; }, 20'000);
  };
  auto pagesAtSource = [&] { return platform::IsFile(box.Path("desk/UndoFolder/Page1.pdf")); };

  // Cancelled: whatever the drag reported to the source, it keeps its pages.
  ASSERT_TRUE(drag([](ChooseDialog* d) { d->reject(); }));
  EXPECT_TRUE(pagesAtSource()) << test::ReadText(log);
  EXPECT_TRUE(bl::ReadBinder(binder).pages.empty());

  // Filed: the pages are in the binder, and only then leave the source.
  ASSERT_TRUE(drag([&](ChooseDialog* d) {
    EXPECT_TRUE(d->SelectBinder(binder));
    d->okButton()->click();
  }));
  EXPECT_TRUE(WaitFor([&] { return !pagesAtSource(); }, 10'000)) << test::ReadText(log);
  EXPECT_EQ(bl::ReadBinder(binder).pages.size(), 2u);
  EXPECT_NE(test::ReadText(log).find("moved 2"), std::string::npos);
  companion::SetMessageBoxHook(nullptr);
  source.Terminate(500);
}

}  // namespace
}  // namespace zv::sendfile::ui

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  namespace pf = zv::platform;
  // A display of our own: a free number, the server's socket awaited.
  pf::Process server;
  if (!pf::IsFile(zv::sendfile::ui::kXvfb) || !pf::IsFile(zv::sendfile::ui::kXdotool)) {
    zv::sendfile::ui::g_noDisplay = "no X server (Xvfb) or no xdotool";
  } else {
    int n = 300 + static_cast<int>(::getpid() % 500);
    while (pf::Exists("/tmp/.X" + std::to_string(n) + "-lock")) ++n;
    const std::string display = ":" + std::to_string(n);
    server = pf::Process::Spawn(zv::sendfile::ui::kXvfb, {display, "-nolisten", "tcp", "-screen", "0", "1280x800x24"});
    for (int i = 0; i < 200 && !pf::Exists("/tmp/.X11-unix/X" + std::to_string(n)); ++i) ::usleep(50'000);
    if (!server.valid() || !pf::Exists("/tmp/.X11-unix/X" + std::to_string(n))) {
      zv::sendfile::ui::g_noDisplay = "the X server (Xvfb) did not start";
    } else {
      ::setenv("DISPLAY", display.c_str(), 1);
      ::setenv("QT_QPA_PLATFORM", "xcb", 1);
      ::unsetenv("WAYLAND_DISPLAY");
    }
  }
  int rc = 0;
  {
    QApplication app(argc, argv);
    rc = RUN_ALL_TESTS();
  }
  if (server.valid()) {
    ::kill(server.pid(), SIGTERM);
    server.Wait(10'000);
  }
  return rc;
}
