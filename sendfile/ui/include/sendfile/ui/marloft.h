// The send-file window: a drop target for the work desk's pages, the choose
// dialog that files them, and the recipient editor.
#pragma once

#include <QDialog>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/process.h"
#include "sendfile/drop.h"
#include "sendfile/send.h"
#include "sendfile/tree.h"
#include "sendfile/window_state.h"

class QButtonGroup;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;
class QMenu;
class QAction;
class QMimeData;
class QThread;

namespace zv::sendfile::ui {

// The insertion of one drop (SendDroppedPages).
using SendFunction =
    std::function<SendOutcome(const DropRequest&, const SendTarget&, int, std::int64_t, const SendHooks&)>;

// The binder tree, the recipients and the insert position for one drop.
// OK runs the insertion on a worker thread: the dialog stays disabled and
// cannot be closed until it ends, the windows keep painting and moving, and
// the outcome is reported here on the window thread.
class ChooseDialog : public QDialog {
  Q_OBJECT
 public:
  ChooseDialog(DropRequest drop, QWidget* parent = nullptr);
  ~ChooseDialog() override;
  // Replaces the insertion (a test wraps it to watch it run).
  void SetSendFunction(SendFunction f) { send_ = std::move(f); }
  // An insertion is running.
  bool sending() const { return worker_ != nullptr; }
  void reject() override;
  // False when the recipient list or the tree could not be set up (the
  // message was shown).
  bool ready() const { return ready_; }
  // The drop's outcome once the dialog closed with OK.
  const SendOutcome& outcome() const { return outcome_; }

  QTreeWidget* tree() const { return tree_; }
  QListWidget* recipients() const { return users_; }
  QRadioButton* frontButton() const { return front_; }
  QRadioButton* backButton() const { return back_; }
  QPushButton* okButton() const { return ok_; }
  // Selects the binder item whose folder is `folder` (loading its link
  // folder); false when none is listed.
  bool SelectBinder(const std::string& folder);

 private:
  bool LoadUsers();
  bool LoadTree();
  void Expand(QTreeWidgetItem* item);
  void Fill(QTreeWidgetItem* linkItem);
  void Accept();
  void Finish(const SendTarget& target, std::int64_t sendTime);

  DropRequest drop_;
  SendFunction send_;
  QThread* worker_ = nullptr;
  bool ready_ = false;
  SendOutcome outcome_;
  QTreeWidget* tree_ = nullptr;
  QListWidget* users_ = nullptr;
  QRadioButton* front_ = nullptr;
  QRadioButton* back_ = nullptr;
  QPushButton* ok_ = nullptr;
};

// The recipient editor.
class UserEditor : public QDialog {
  Q_OBJECT
 public:
  explicit UserEditor(QWidget* parent = nullptr);
  bool loaded() const { return loaded_; }
  QListWidget* list() const { return list_; }
  QLineEdit* nameEdit() const { return edit_; }
  // The actions behind the buttons; the file actions take the chosen path
  // (the buttons ask for it with a file dialog first).
  bool AddUser();
  bool RenameUser();
  bool DeleteUser();
  bool ImportFrom(const QString& path);
  bool ExportTo(const QString& path);
  const std::vector<std::string>& names() const { return names_; }

 private:
  bool Load();
  bool Save();
  void Refill(int select);
  std::optional<std::string> CheckedName(bool rename);

  std::string path_;
  int maxUser_ = 50;
  std::string me_;
  bool loaded_ = false;
  std::vector<std::string> names_;
  QListWidget* list_ = nullptr;
  QLineEdit* edit_ = nullptr;
};

// The window.
class MarloftWindow : public QWidget {
  Q_OBJECT
 public:
  explicit MarloftWindow(QWidget* parent = nullptr);
  // Restores the place and the top-most state of Marloft.dat.
  void Restore();
  void SetTopMost(bool on);
  bool topMost() const { return topMost_; }
  void OpenUserEditor();
  // Starts the import list unless the one started last still runs.
  void StartViewer();
  QMenu* contextMenu() const { return menu_; }
  // Drops whose outcome the test wants to see.
  int drops() const { return drops_; }

 protected:
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dragMoveEvent(QDragMoveEvent* e) override;
  void dropEvent(QDropEvent* e) override;
  void moveEvent(QMoveEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;

 private:
  bool Acceptable(const QMimeData* data) const;
  void SavePlace();

  bool busy_ = false;
  bool restoring_ = false;
  bool topMost_ = false;
  int drops_ = 0;
  QTimer placeTimer_;
  Rect lastPlace_;  // as restored or last written
  QMenu* menu_ = nullptr;
  QAction* topAction_ = nullptr;
  platform::Process viewer_;
};

// The program: single instance, the window, "u" opens the editor.
int RunMarloft(int argc, char** argv);

}  // namespace zv::sendfile::ui
