// The sort-folder library's windows: message boxes, the progress window, the
// folder-name error dialog and the binder selection dialog.
#pragma once

#include <QDialog>
#include <memory>

#include "sort/sort.h"

class QTreeWidget;
class QTreeWidgetItem;
class QPushButton;
class QProgressBar;
class QLabel;

namespace zv::sort::ui {

// The Ui of a run on the screen. `owner` is the native id of the owner
// window (0: none).
class QtUi : public sort::Ui {
 public:
  explicit QtUi(QWidget* parent = nullptr) : parent_(parent) {}
  ~QtUi() override;
  int Message(const std::string& text, const std::string& caption, int style) override;
  void ProgressOpen(const std::string& title, int total) override;
  void ProgressStep(const std::string& item, int done, int total) override;
  void ProgressClose() override;
  void ShowFolderErrors(const std::string& text, const std::string& listPath) override;

 private:
  QWidget* parent_;
  std::unique_ptr<QDialog> progress_;
  QProgressBar* bar_ = nullptr;
  QLabel* item_ = nullptr;
  QLabel* count_ = nullptr;
};

// The binder selection dialog of one link folder.
class BinderSelectionDialog : public QDialog {
  Q_OBJECT
 public:
  BinderSelectionDialog(const sort::Run& run, sort::BinderTree tree, QWidget* parent = nullptr);
  // 1 once the folders were made (the dialog then closes with OK).
  int made() const { return made_; }
  QTreeWidget* tree() const { return view_; }
  QPushButton* okButton() const { return ok_; }
  QPushButton* selectAllButton() const { return all_; }
  QPushButton* clearAllButton() const { return none_; }

 private:
  void Changed(QTreeWidgetItem* item);
  void SetAll(bool ticked);
  void UpdateOk();
  void Create();

  sort::Run run_;
  sort::BinderTree model_;
  QTreeWidget* view_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* all_ = nullptr;
  QPushButton* none_ = nullptr;
  bool propagating_ = false;
  Qt::CheckState pressedState_ = Qt::Unchecked;
  int made_ = 0;
};

// True when windows can be shown: an application object exists, or a
// display (or a chosen Qt platform) is there to make one.
bool DisplayAvailable();

}  // namespace zv::sort::ui
