// The send-file core: drag data refused before anything is read, the
// page-room request against the drag-source stand-in, recipient names by
// display width, saves killed at each step, the window's place, and the
// room checks before the work desk is asked.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "binderlib/binderini.h"
#include "binderlib/format.h"
#include "companion/strings.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/process.h"
#include "sendfile/drop.h"
#include "sendfile/recipients.h"
#include "sendfile/send.h"
#include "sendfile/window_state.h"
#include "testing/files.h"
#include "testing/installation.h"
#include "workdesk/drag_data.h"

namespace sf = zv::sendfile;
namespace wd = zv::companion::workdesk;
namespace ini = zv::platform::ini;
namespace test = zv::testing;

namespace {

// The drag-source stand-in, running until the end of the test.
struct DragSource {
  zv::platform::Process process;
  std::string folder, log, payload;
  DragSource(const test::Installation& box, const std::string& name, std::vector<std::string> args) {
    folder = box.Path(name);
    log = box.Path(name + ".log");
    const std::string payloadFile = box.Path(name + ".payload");
    args.insert(args.end(), {"--folder", folder, "--log", log, "--payload-file", payloadFile});
    auto env = box.Environment();
    env.push_back("QT_QPA_PLATFORM=offscreen");
    process = zv::platform::Process::Spawn(ZV_DRAGSOURCE_EXE, args, {}, env);
    for (int i = 0; i < 200 && test::ReadText(log).find("ready") == std::string::npos; ++i) ::usleep(50'000);
    payload = test::ReadText(payloadFile);
  }
  ~DragSource() { process.Terminate(500); }
};

std::string Payload(const std::string& folder, int count, int kind = wd::kDragSourceWorkDesk) {
  wd::DragData d;
  d.sourcePid = ::getpid();
  d.folder = folder;
  d.pageCount = count;
  d.sourceKind = kind;
  return wd::EncodeDragData(d);
}

}  // namespace

TEST(DragData, RefusedBeforeAnythingIsRead) {
  test::Installation box;
  const std::string folder = box.Path("desk");
  ASSERT_TRUE(zv::platform::MakeFolders(folder + "/UndoFolder"));
  std::string unterminated = Payload(folder, 2);
  std::fill(unterminated.begin() + 4, unterminated.begin() + 264, 'a');
  struct Case {
    std::string name, bytes;
    sf::DropRefusal expected;
  };
  const std::vector<Case> cases = {
      {"short", Payload(folder, 2).substr(0, 287), sf::DropRefusal::Short},
      {"unterminated", unterminated, sf::DropRefusal::FolderUnterminated},
      {"relative", Payload("desk", 2), sf::DropRefusal::FolderRelative},
      {"no pages", Payload(folder, 0), sf::DropRefusal::CountOutOfRange},
      {"5001 pages", Payload(folder, 5001), sf::DropRefusal::CountOutOfRange},
      {"negative", Payload(folder, -3), sf::DropRefusal::CountOutOfRange},
      {"no undo folder", Payload(box.Path("elsewhere"), 2), sf::DropRefusal::UndoFolderNotOwned},
      {"other source", Payload(folder, 2, 1), sf::DropRefusal::NotWorkDesk},
      {"5000 pages", Payload(folder, 5000), sf::DropRefusal::None},
  };
  for (const Case& c : cases) EXPECT_EQ(sf::ParseDragPayload(c.bytes).refusal, c.expected) << c.name;
  const auto ok = sf::ParseDragPayload(Payload(folder, 3));
  ASSERT_TRUE(ok.ok());
  EXPECT_EQ(ok.request.UndoData(), folder + "/UndoFolder/UndoData.ini");

  // An undo folder that is a link, or another user's folder.
  const std::string linked = box.Path("linked");
  ASSERT_TRUE(zv::platform::MakeFolders(linked));
  std::filesystem::create_directory_symlink(folder + "/UndoFolder", linked + "/UndoFolder");
  EXPECT_EQ(sf::ParseDragPayload(Payload(linked, 2)).refusal, sf::DropRefusal::UndoFolderNotOwned);
  if (const passwd* other = ::getpwnam("zvtest"); other != nullptr && ::geteuid() == 0) {
    ASSERT_EQ(::chown((folder + "/UndoFolder").c_str(), other->pw_uid, other->pw_gid), 0);
    EXPECT_EQ(sf::ParseDragPayload(Payload(folder, 2)).refusal, sf::DropRefusal::UndoFolderNotOwned);
  }
}

TEST(PageRoom, AnswersSilenceAndGoneSources) {
  test::Installation box;
  {
    DragSource agrees(box, "a", {"--answer", "7"});
    EXPECT_EQ(sf::AskPageRoom(agrees.process.pid(), 12), 7);
    EXPECT_NE(test::ReadText(agrees.log).find("pageroom 12\n"), std::string::npos);
    DragSource refuses(box, "b", {"--answer", "-21"});
    EXPECT_EQ(sf::AskPageRoom(refuses.process.pid(), 3), -21);
    DragSource silent(box, "c", {"--silent"});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(sf::AskPageRoom(silent.process.pid(), 3, 700), -5);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  }
  // A process id whose process is gone, and one that serves no socket.
  zv::platform::Process gone = zv::platform::Process::Spawn("/bin/true", {});
  const int pid = gone.pid();
  gone.Wait(5000);
  EXPECT_EQ(sf::AskPageRoom(pid, 3), -5);
  EXPECT_EQ(sf::AskPageRoom(::getpid(), 3, 300), -5);
}

TEST(Recipients, NamesByDisplayWidth) {
  std::string seven = "山田花子太郎丸";  // 7 characters, 14 columns, 21 bytes
  EXPECT_EQ(sf::CheckName(seven), sf::NameCheck::Ok);
  std::string eleven = "山田花子太郎丸山田花子";  // 22 columns
  EXPECT_EQ(sf::CheckName(eleven), sf::NameCheck::TooLong);
  std::string padded = "  bob  ";
  EXPECT_EQ(sf::CheckName(padded), sf::NameCheck::Ok);
  EXPECT_EQ(padded, "bob");
  for (std::string bad : {"a,b", "a:b", "a/b", "a*b", "a\tb"})
    EXPECT_EQ(sf::CheckName(bad), sf::NameCheck::Forbidden) << bad;
  std::string blank = "   ";
  EXPECT_EQ(sf::CheckName(blank), sf::NameCheck::Blank);
  EXPECT_TRUE(sf::SameName("Bob", "bOB"));

  test::Installation box;
  const std::string list = box.Path("ImpSendUser.dat");
  ASSERT_TRUE(sf::SaveUserList(list, {"bob", seven}, 0));
  const sf::UserList read = sf::ReadUserList(list, 0);
  EXPECT_EQ(read.status, sf::ListStatus::Ok);
  EXPECT_EQ(read.names, (std::vector<std::string>{"bob", seven}));
  EXPECT_EQ(sf::ReadUserList(list, 1).status, sf::ListStatus::OverMax);
  EXPECT_FALSE(sf::SaveUserList(list, {"a,b"}, 0));
  EXPECT_EQ(sf::ReadUserList(list, 0).names.size(), 2u);
  // A bad name written by hand is left out; the names after it are kept.
  ASSERT_TRUE(test::WriteText(list, "[users]\ncount=3\nusername1=a\nusername2=b,c\nusername3=d\n"));
  const sf::UserList partly = sf::ReadUserList(list, 0);
  EXPECT_EQ(partly.status, sf::ListStatus::BadName);
  EXPECT_EQ(partly.names, (std::vector<std::string>{"a", "d"}));
}

TEST(Recipients, ImportChecksEverythingBeforeReplacing) {
  test::Installation box;
  const std::string list = box.Path("ImpSendUser.dat");
  ASSERT_TRUE(sf::SaveUserList(list, {"old"}, 0));
  const std::string exported = box.Path("export.dat");
  ASSERT_TRUE(sf::ExportUserList(list, exported));
  EXPECT_EQ(ini::GetString(exported, "general", "MarloftID"), "1");

  // Not exported by the tool; a bad name; too many names: nothing changes.
  ASSERT_TRUE(test::WriteText(box.Path("plain.dat"), "[users]\ncount=1\nusername1=x\n"));
  EXPECT_EQ(sf::ImportUserList(list, box.Path("plain.dat"), 0), sf::ImportStatus::NotExported);
  ASSERT_TRUE(
      test::WriteText(box.Path("bad.dat"), "[general]\nMarloftID=1\n[users]\ncount=2\nusername1=a\nusername2=b,c\n"));
  EXPECT_EQ(sf::ImportUserList(list, box.Path("bad.dat"), 0), sf::ImportStatus::BadList);
  ASSERT_TRUE(test::WriteText(box.Path("many.dat"),
                              "[general]\nMarloftID=1\n[users]\ncount=3\nusername1=a\nusername2=b\nusername3=c\n"));
  EXPECT_EQ(sf::ImportUserList(list, box.Path("many.dat"), 2), sf::ImportStatus::BadList);
  EXPECT_EQ(sf::ReadUserList(list, 0).names, std::vector<std::string>{"old"});

  ASSERT_TRUE(sf::SaveUserList(list, {"other"}, 0));
  EXPECT_EQ(sf::ImportUserList(list, exported, 0), sf::ImportStatus::Ok);
  EXPECT_EQ(sf::ReadUserList(list, 0).names, std::vector<std::string>{"old"});
}

// A save killed at any step leaves the old or the new list; a list that is
// gone comes back from its back-up.
TEST(Recipients, SaveKilledAtEachStep) {
  test::Installation box;
  const std::string helper = std::string(ZV_TEST_TOOLS_DIR) + "/sendfile_save_helper";
  const std::vector<std::string> oldNames = {"alice", "bob"}, newNames = {"alice", "bob", "carol"};
  for (const std::string step : {"begin", "replaced", "backed-up", "none"}) {
    const std::string list = box.Path(step + "/ImpSendUser.dat");
    ASSERT_TRUE(zv::platform::MakeFolders(box.Path(step)));
    ASSERT_TRUE(sf::SaveUserList(list, oldNames, 0));
    std::vector<std::string> args = {list, step};
    args.insert(args.end(), newNames.begin(), newNames.end());
    const auto run = test::RunProgram(helper, args);
    EXPECT_EQ(run.exitCode, step == "none" ? 0 : 128 + SIGKILL) << step;
    ini::ClearCache();
    const sf::UserList read = sf::ReadUserList(list, 0);
    EXPECT_EQ(read.status, sf::ListStatus::Ok) << step;
    EXPECT_TRUE(read.names == oldNames || read.names == newNames) << step;
    EXPECT_EQ(read.names == newNames, step != "begin") << step;
    // The list removed: its back-up brings back a whole list.
    ASSERT_TRUE(zv::platform::RemoveFile(list));
    ASSERT_TRUE(sf::RestoreUserListFromBackup(list));
    const auto restored = sf::ReadUserList(list, 0).names;
    EXPECT_TRUE(restored == oldNames || restored == newNames) << step;
  }
}

TEST(Placement, CornerAndScreensThatAreGone) {
  const std::vector<sf::Rect> areas = {{0, 0, 1920, 1040}, {1920, 0, 1280, 1024}};
  const sf::Rect own{0, 0, 300, 110};
  EXPECT_EQ(sf::PlaceWindow(own, nullptr, areas), (sf::Rect{1620, 930, 300, 110}));
  // Saved on a third screen that is gone: pulled into the nearest one.
  const sf::Rect gone{4000, 200, 300, 110};
  EXPECT_EQ(sf::PlaceWindow(own, &gone, areas), (sf::Rect{2900, 200, 300, 110}));
  // Sticking out at the bottom of the second screen; no size saved.
  const sf::Rect low{2000, 1000, 0, 0};
  EXPECT_EQ(sf::PlaceWindow(own, &low, areas), (sf::Rect{2000, 914, 300, 110}));
  // Larger than the screen: cut to it.
  const sf::Rect huge{-50, -50, 5000, 5000};
  EXPECT_EQ(sf::PlaceWindow(own, &huge, areas), (sf::Rect{0, 0, 1920, 1040}));
}

// Three pages count as four: 96 + 4 fits 100, 97 + 4 does not; a binder
// that takes no page is refused before the work desk is asked.
TEST(SendChecks, RoomIsCheckedBeforeTheWorkDeskIsAsked) {
  test::Installation box;
  box.WriteSettings();
  std::filesystem::create_symlink(ZV_DRAVEL_LIB, box.Path("program/libDravel.so"));
  const std::string binder = box.AddBinder(box.AddCabinet(box.AddLinkFolder()));
  const std::string binderIni = zv::companion::binder::BinderIniPath(binder);
  ASSERT_TRUE(zv::platform::MakeFolders(box.Path("desk/UndoFolder")));
  sf::DropRequest drop;
  drop.sourcePid = ::getpid();
  drop.folder = box.Path("desk");
  drop.pageCount = 3;
  drop.pageType = 1;
  int asked = -1;
  sf::SendHooks hooks;
  hooks.askPageRoom = [&](int, int room) {
    asked = room;
    return -21;  // stop there: the checks before are what is tested
  };
  const sf::SendTarget target{binder, "Inbox", false, box.Path("links/Local"), "Local"};
  auto send = [&](int total, int max) {
    asked = -1;
    ini::WriteInt(binderIni, "BinderInfo", "PageTotal", total);
    ini::WriteInt(binderIni, "BinderInfo", "MaxUploadPage", max);
    return sf::SendDroppedPages(drop, target, 1, 0, hooks);
  };
  const auto fits = send(96, 100);
  EXPECT_EQ(asked, 4);
  EXPECT_EQ(fits.code, -21);
  EXPECT_TRUE(fits.askedSource);
  const auto over = send(97, 100);
  EXPECT_EQ(over.code, -4);
  EXPECT_EQ(over.maxUpload, 100);
  EXPECT_EQ(asked, -1);
  EXPECT_NE(sf::OutcomeMessage(over).find("(100)"), std::string::npos);
  EXPECT_EQ(send(0, 0).code, -4);
  EXPECT_EQ(asked, -1);
  // Undo data of a newer format is refused once the work desk agreed, with
  // its own message, before the library is called.
  ASSERT_TRUE(test::WriteText(box.Path("desk/UndoFolder/UndoData.ini"), "[Version]\nVersion=9\n"));
  hooks.askPageRoom = [&](int, int room) { return asked = room, 0; };
  const auto newer = send(0, 100);
  EXPECT_EQ(newer.code, -12);
  EXPECT_FALSE(newer.fromCall);
  zv::companion::ForceLanguage(zv::companion::Language::Japanese);
  EXPECT_NE(sf::OutcomeMessage(newer).find("新しいバージョン"), std::string::npos);
  zv::companion::ForceLanguage(zv::companion::Language::English);
  EXPECT_NE(sf::OutcomeMessage(newer).find("newer version"), std::string::npos);
  zv::companion::ResetLanguage();
  EXPECT_TRUE(zv::companion::binder::ReadBinder(binder, false).pages.empty());
  // A binder of a newer format is refused before the work desk is asked.
  ini::WriteInt(binderIni, "Version", "Version", zv::companion::binder::kSupportedBinderVersion + 1);
  EXPECT_EQ(send(0, 100).code, -14);
  EXPECT_EQ(asked, -1);
}
