// The list's row operations from the window thread: they return at once,
// the thread keeps serving events while a tool runs, and the messages and
// the refill come when the operation ends.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <filesystem>

#include "binderlib/binderini.h"
#include "binderlib/binderlib.h"
#include "implist/operations.h"
#include "implist/ui/row_operations.h"
#include "platform/ini.h"
#include "testing/files.h"
#include "testing/installation.h"
#include "testing/pdf.h"

namespace zv::implist::ui {
namespace {

namespace bl = companion::binder;
using testing::Installation;

struct Fixture {
  Installation inst;
  std::string folder;
  std::vector<SelectedRow> rows;
  std::vector<QString> shown;
  std::unique_ptr<RowOperations> ops;

  Fixture() {
    EXPECT_EQ(bl::CreateBinder2(inst.AddCabinet(inst.AddLinkFolder()), {.title = "B"}, &folder), bl::kCreateOk);
    const std::string pdf = inst.root() + "/a.pdf";
    testing::MakePdf(pdf, 2, "a");
    EXPECT_EQ(bl::AddInfoToBinder4({.binderFolder = folder,
                                    .pdfPath = pdf,
                                    .sourcePath = pdf,
                                    .pageKeywords = {"20261208101500_1 ", "20261208101500_2 "}}),
              0);
    Record r;
    for (const auto& [k, v] : std::vector<std::pair<std::string, std::string>>{{"Time", "20261208101500"},
                                                                               {"Name", "a"},
                                                                               {"Result", "1"},
                                                                               {"bWorkDesk", "0"},
                                                                               {"BinderPath", folder},
                                                                               {"Keyword", "20261208101500"},
                                                                               {"Page", "2"}})
      r.Set(k, v);
    const std::string list = inst.program() + "/Rslt/ImpListData.ini";
    platform::MakeFolders(inst.program() + "/Rslt");
    rows.push_back({AppendRecord(list, r, 0), r});
    ops = MakeToolRowOperations([this](QWidget*, const QString& text, QMessageBox::StandardButtons) {
      shown.push_back(text);
      return QMessageBox::Yes;
    });
  }
  // Runs the operation; the number of timer ticks the window thread served
  // meanwhile and what `done` said (-1: not called).
  std::pair<int, int> Run(RowOperation op, qint64* startMs = nullptr) {
    int ticks = 0, changed = -1;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(20);
    QElapsedTimer clock;
    clock.start();
    const bool started = ops->Start(op, rows, nullptr, [&](bool c) { changed = c ? 1 : 0; });
    if (startMs) *startMs = clock.elapsed();
    EXPECT_TRUE(started);
    while (changed < 0 && clock.elapsed() < 30'000) QApplication::processEvents(QEventLoop::AllEvents, 20);
    return {ticks, changed};
  }
};

TEST(RowOperations, ViewRunsOffTheWindowThread) {
  Fixture f;
  const std::string tool = f.inst.viewer() + "/Quillet";
  testing::WriteText(tool, "#!/bin/sh\nsleep 1\nprintf '[Quillet_Output]\\nResult=0\\n' >> \"$4\"\n");
  std::filesystem::permissions(tool, std::filesystem::perms(0755));
  qint64 startMs = 0;
  const auto [ticks, changed] = f.Run(RowOperation::View, &startMs);
  EXPECT_LT(startMs, 500);
  EXPECT_GE(ticks, 20) << "the window thread was blocked";
  EXPECT_EQ(changed, 0);
  EXPECT_TRUE(f.shown.empty());
}

TEST(RowOperations, RemovalFromTheBinderRefillsTheList) {
  Fixture f;
  const auto [ticks, changed] = f.Run(RowOperation::RemoveFromBinder);
  EXPECT_EQ(changed, 1);
  ASSERT_EQ(f.shown.size(), 2u);  // the question, then the end
  EXPECT_EQ(f.shown[0].toStdString(), OpsText(kTxtConfirmRemoveBinder));
  EXPECT_EQ(f.shown[1].toStdString(), OpsText(kTxtRemoveDone));
  EXPECT_EQ(bl::ReadBinder(f.folder).CountedPages(), 0);
  platform::ini::ClearCache();
  EXPECT_FALSE(platform::ini::SectionExists(f.inst.program() + "/Rslt/ImpListData.ini", f.rows[0].section));
}

}  // namespace
}  // namespace zv::implist::ui

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
