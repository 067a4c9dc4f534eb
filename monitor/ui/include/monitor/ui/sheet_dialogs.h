// The dialogs of the settings sheet: folder browser, attach information,
// result-notice recipients, save folders of imported files, the unmatched
// folders of linking, and the progress window.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <string>
#include <vector>

#include "monitor/settings/sheet_checks.h"

namespace zv::monitor::ui {

QString Tr(int id);

// Names the standard buttons of a button box (OK, Cancel, Apply) in the
// user's language.
void NameButtons(QDialogButtonBox* box);

// The folder browser's look: folders only, its labels in the user's language.
void PrepareFolderDialog(QFileDialog& dlg);

// The folder browser: starts at `current` (else the home folder, or "/" in
// service mode); a folder that may not be written cannot be chosen. "" when
// cancelled.
std::string BrowseFolder(QWidget* parent, const std::string& current, bool serviceMode);

// Attach information: the three switches (1 setting name, 2 file name
// without extension, 4 fixed text) and the fixed text, at most 50 bytes cut
// on a character boundary; the dialog shows the bytes used.
class CTextInfoDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CTextInfoDlg(QWidget* parent = nullptr);
  // False (traced) for a flag outside 0-7.
  bool SetTextInfoParam(int flag, const std::string& text);
  int flag() const;
  std::string text() const;
  QLineEdit* textEdit() { return text_; }
  QLabel* bytesLabel() { return bytes_; }

 private:
  void OnEdited();
  QCheckBox* name_;
  QCheckBox* file_;
  QCheckBox* fixed_;
  QLineEdit* text_;
  QLabel* bytes_;
};

// What the page shows in its read-only attach field for a choice.
// `settingName` stands for the setting-name choice (the other fax setting
// shows "other").
std::string TextInfoSummary(int flag, const std::string& text, const std::string& settingName, bool otherFaxSetting);

// The recipients of the result notice: the send-user list with the own user
// marked; OK with nobody checked is refused (63247).
class CSendResult : public QDialog {
  Q_OBJECT
 public:
  explicit CSendResult(int maxUser, QWidget* parent = nullptr);
  // The setting's recipients; false (traced) when the list could not be
  // filled: OK is then disabled and 63246 was shown.
  bool SetSendResultParam(int count, const std::vector<std::string>& users);
  std::vector<std::string> users() const;
  QListWidget* list() { return list_; }
  QPushButton* okButton() { return ok_; }
  void accept() override;

 private:
  int maxUser_;
  QListWidget* list_;
  QPushButton* ok_;
};

// One save destination of imported files (move mode, folder, days) as the
// texts of its keys; "" for a folder means the default one.
struct SaveFolderValues {
  std::string move = "-1";  // -1 takes the [Option] value, 1 deletes, else moves
  std::string folder;
  std::string term = "-1";
};

// "Save Settings for Input Files".
class CInputFileDlg : public QDialog {
  Q_OBJECT
 public:
  // `kind` is the setting kind's text, `optionMove`/`optionTerm` the
  // [Option] defaults shown for -1.
  CInputFileDlg(const std::string& kind, const SaveFolderValues& succeeded, const SaveFolderValues& failed,
                int optionMoveSucceeded, int optionMoveFailed, int optionTerm, WatchedPlaces places, bool serviceMode,
                QWidget* parent = nullptr);
  SaveFolderValues succeeded() const { return Values(0); }
  SaveFolderValues failed() const { return Values(1); }
  bool applySucceededToAll() const { return all_[0]->isChecked(); }
  bool applyFailedToAll() const { return all_[1]->isChecked(); }
  void accept() override;

 private:
  SaveFolderValues Values(int g) const;
  std::string kind_;
  WatchedPlaces places_;
  SaveFolderValues read_[2];
  int optionMove_[2];
  int shownTerm_[2] = {0, 0};
  QRadioButton* move_[2];
  QRadioButton* del_[2];
  QCheckBox* default_[2];
  QLineEdit* folder_[2];
  QSpinBox* term_[2];
  QCheckBox* all_[2];
};

// Linking found folders without a binder: OK (the apply is refused) or the
// folder list (%TEMP%/Zorvan/AutoImp_FolderList.txt).
class CUnmatchedFoldersDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CUnmatchedFoldersDlg(QWidget* parent = nullptr);
  // Opens the list; false (63286 shown and traced) when it does not exist.
  static bool OpenFolderList();
};

// The path of the unmatched-folder list.
std::string UnmatchedListPath();

// A small window of three lines shown while a page loads or saves.
class ProgressWindow : public QDialog {
  Q_OBJECT
 public:
  ProgressWindow(const QString& line1, const QString& line2, const QString& line3, QWidget* parent = nullptr);
  // Shows the window and lets it paint.
  void ShowNow();
};

}  // namespace zv::monitor::ui
