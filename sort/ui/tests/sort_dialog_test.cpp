// The binder selection dialog on the offscreen platform: ticking, the OK
// button, the confirmation, and the folders it makes found again by the
// linking walk.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <deque>

#include "binderlib/format.h"
#include "platform/fs.h"
#include "sort/sort.h"
#include "sort/ui/dialogs.h"
#include "store/store.h"
#include "testing/files.h"
#include "testing/installation.h"

namespace zv::sort::ui {
namespace {

namespace bl = companion::binder;

// Answers the message boxes as they come up, in order; records their texts.
class BoxAnswers {
 public:
  explicit BoxAnswers(std::deque<QMessageBox::StandardButton> answers) : answers_(std::move(answers)) {
    timer_.setInterval(20);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr || answers_.empty()) return;
      texts.push_back(box->text().toStdString());
      box->button(answers_.front())->click();
      answers_.pop_front();
    });
    timer_.start();
  }
  std::vector<std::string> texts;

 private:
  std::deque<QMessageBox::StandardButton> answers_;
  QTimer timer_;
};

QTreeWidgetItem* Find(QTreeWidget* tree, const QString& text) {
  auto items = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
  return items.isEmpty() ? nullptr : items.front();
}

class SortDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    link = inst.AddLinkFolder("Local");
    cab = inst.AddCabinet(link, "Lib", "Cab");
    inst.AddBinder(cab, "Inbox");
    inst.AddBinder(cab, std::string("Q1") + bl::kTitleBreak1 + bl::kTitleBreak2 + "Sales");
    const std::string locked = inst.AddCabinet(link, "Lib", "Locked");
    bl::BinderDescription secured;
    secured.title = "Secret";
    secured.password = "pw";
    ASSERT_TRUE(store::CreateBinder(locked, secured).ok());
    inst.AddBinder(inst.AddCabinet(link, "Other", "Box"), "Mail");
    run.linkFolder = link;
    run.sortFolder = inst.Path("sort");
    run.linkName = "Local";
  }
  zv::testing::Installation inst;
  std::string link, cab;
  sort::Run run;
};

TEST_F(SortDialog, TickingFollowsTheTreeAndEnablesOkOnlyWithABinder) {
  BinderSelectionDialog dialog(run, LoadBinderTree(link, "Local"));
  QTreeWidget* tree = dialog.tree();
  EXPECT_FALSE(dialog.okButton()->isEnabled());
  QTreeWidgetItem* locked = Find(tree, "Locked");
  ASSERT_NE(locked, nullptr);
  EXPECT_EQ(locked->childCount(), 0);  // its only binder is secured

  Find(tree, "Lib")->setCheckState(0, Qt::Checked);
  EXPECT_EQ(Find(tree, "Inbox")->checkState(0), Qt::Checked);
  EXPECT_EQ(Find(tree, "Q1..Sales")->checkState(0), Qt::Checked);
  EXPECT_EQ(Find(tree, "Mail")->checkState(0), Qt::Unchecked);
  EXPECT_TRUE(dialog.okButton()->isEnabled());
  Find(tree, "Inbox")->setCheckState(0, Qt::Unchecked);
  EXPECT_TRUE(dialog.okButton()->isEnabled());
  Find(tree, "Q1..Sales")->setCheckState(0, Qt::Unchecked);
  EXPECT_FALSE(dialog.okButton()->isEnabled());

  QTest::mouseClick(dialog.selectAllButton(), Qt::LeftButton);
  EXPECT_EQ(Find(tree, "Mail")->checkState(0), Qt::Checked);
  EXPECT_TRUE(dialog.okButton()->isEnabled());
  QTest::mouseClick(dialog.clearAllButton(), Qt::LeftButton);
  EXPECT_FALSE(dialog.okButton()->isEnabled());

  if (const char* shot = std::getenv("ZV_SORT_SCREENSHOT")) {
    Find(tree, "Cab")->setCheckState(0, Qt::Checked);
    Find(tree, "Other")->setExpanded(true);
    Find(tree, "Box")->setExpanded(true);
    dialog.show();
    QTest::qWait(300);
    dialog.grab().save(shot);
  }
}

TEST_F(SortDialog, CancelInTheConfirmationKeepsTheDialogAndOkMakesFoldersThatLinkBack) {
  BinderSelectionDialog dialog(run, LoadBinderTree(link, "Local"));
  dialog.show();
  Find(dialog.tree(), "Cab")->setCheckState(0, Qt::Checked);
  {
    BoxAnswers answers({QMessageBox::Cancel});
    QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
    ASSERT_EQ(answers.texts.size(), 1u);
  }
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.made(), 0);
  EXPECT_FALSE(platform::Exists(run.sortFolder));

  BoxAnswers answers({QMessageBox::Ok, QMessageBox::Ok});
  QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
  EXPECT_EQ(answers.texts.size(), 2u);  // the question and the success
  EXPECT_EQ(dialog.made(), 1);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(zv::testing::Names(run.sortFolder + "/Lib/Cab"), (std::vector<std::string>{"Inbox", "Q1$$Sales"}));
  EXPECT_FALSE(platform::Exists(run.sortFolder + "/Other"));
  const LinkResult links = LinkSortFolder(run.sortFolder, link);
  ASSERT_EQ(links.links.size(), 2u);
  EXPECT_EQ(links.links[1].binder, cab + "/Q1Sales");
}

}  // namespace
}  // namespace zv::sort::ui

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
