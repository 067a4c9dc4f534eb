// Pages filed by the send-file tool's own insertion, then removed through
// the list: the send at the back of an even binder goes whole (its blank pad
// with it); one appended after an odd page total starts on an even page and
// is refused with Fennet's -6, the binder unchanged.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "binderlib/binderini.h"
#include "binderlib/binderlib.h"
#include "implist/operations.h"
#include "platform/ini.h"
#include "sendfile/send.h"
#include "testing/files.h"
#include "testing/installation.h"
#include "testing/pdf.h"
#include "testing/undo_data.h"

namespace zv::implist {
namespace {

namespace bl = companion::binder;

std::map<std::string, std::string> Snapshot(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& name : testing::Names(folder)) files[name] = testing::ReadText(folder + "/" + name);
  return files;
}

TEST(SendThenRemove, WholeSendGoesAndAnEvenStartIsRefusedWithItsCode) {
  testing::Installation box;
  box.WriteSettings();
  box.LinkIntoViewer("libPixmoor.so", ZV_PIXMOOR_LIB);
  box.LinkIntoViewer("A4Hollow.pdf", ZV_A4HOLLOW_PDF);
  std::filesystem::create_symlink(ZV_DRAVEL_LIB, box.Path("program/libDravel.so"));
  const std::string binder = box.AddBinder(box.AddCabinet(box.AddLinkFolder("Local")), "Inbox");
  const std::string pdf = box.Path("one.pdf");
  testing::MakePdf(pdf, 1, "own");
  ASSERT_EQ(bl::AddInfoToBinder(binder, pdf, pdf, 0, bl::kInsertBack, 0), 0);

  OpContext ctx;
  ctx.programFolder = box.program();
  ctx.listFile = box.program() + "/Rslt/ImpListData.ini";
  ctx.settingsFile = box.program() + "/Quibbin.ini";
  sendfile::SendHooks hooks;
  hooks.askPageRoom = [](int, int) { return 0; };
  hooks.tellMoved = [](int, int) { return true; };
  const sendfile::SendTarget target{binder, "Inbox", false, box.Path("links/Local"), "Local"};
  // Sends three pages (four entries with the blank) at the back; the row
  // the list gets for it.
  auto send = [&](const std::string& desk, std::int64_t time) {
    testing::WriteUndoData(box.Path(desk + "/UndoFolder"), {{"s1"}, {"s2"}, {"s3"}});
    sendfile::DropRequest drop;
    drop.sourcePid = static_cast<int>(::getpid());
    drop.folder = box.Path(desk);
    drop.pageCount = 3;
    drop.pageType = 1;
    const sendfile::SendOutcome o = sendfile::SendDroppedPages(drop, target, 1, time, hooks);  // at the back
    EXPECT_EQ(o.code, 0) << o.log;
    Record r;
    for (const auto& [k, v] :
         std::vector<std::pair<std::string, std::string>>{{"Time", sendfile::SendStamp(time)},
                                                          {"Name", desk},
                                                          {"Result", "1"},
                                                          {"BinderPath", binder},
                                                          {"Keyword", sendfile::SendStamp(time)},
                                                          {"Page", std::to_string(o.pagesInserted)},
                                                          {"ImpMode", "1"}})
      r.Set(k, v);
    return Row{AppendRecord(ctx.listFile, r, 0), r};
  };
  const std::int64_t t = 1'796'724'900;
  // One own page: the send starts on page 2 and is refused.
  const Row odd = send("desk1", t);
  ASSERT_EQ(bl::ReadBinder(binder).CountedPages(), 5);
  const auto before = Snapshot(binder);
  OpResult r = RemoveRowsFromBinder(ctx, {odd});
  ASSERT_EQ(r.messages.size(), 1u);
  EXPECT_EQ(r.messages[0].text, OpsText(kTxtRemoveFailed, {"2", "5", "-6"}));
  EXPECT_EQ(Snapshot(binder), before);
  // Five pages now: one more own page makes the next send start odd, and
  // it goes whole, pad included.
  ASSERT_EQ(bl::AddInfoToBinder(binder, pdf, pdf, 0, bl::kInsertBack, 0), 0);
  const Row even = send("desk2", t + 1);
  r = RemoveRowsFromBinder(ctx, {even});
  EXPECT_EQ(r.removedSections, std::vector<std::string>{even.section});
  EXPECT_EQ(bl::ReadBinder(binder).CountedPages(), 6);
}

}  // namespace
}  // namespace zv::implist
