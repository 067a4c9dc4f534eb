// The pages of the settings dialog.
#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <optional>

#include "monitor/settings/fax_settings.h"
#include "monitor/settings/sort_links.h"
#include "monitor/ui/settings_sheet.h"

namespace zv::monitor::ui {

// The result-notice radio buttons ("All" 1, "Self" 2, "Specify" 3, "Not
// notify" 0) with "Select...".
class ResultNoticeBox : public QWidget {
  Q_OBJECT
 public:
  explicit ResultNoticeBox(QWidget* parent = nullptr);
  void SetMode(int sendResult);  // no button for other values: Self
  int mode() const;
  QPushButton* selectButton() { return select_; }
  // "All" and "Specify" need a target binder (the notice travels through
  // its link folder): without one they are disabled and a setting that had
  // one of them shows Self; the choice comes back with the binder.
  void SetWideAllowed(bool allowed);

 signals:
  void modeChanged();
  void selectClicked();

 private:
  QButtonGroup group_;
  QPushButton* select_;
  int held_ = -1;  // the choice put aside while All and Specify are disabled
};

// Target folders ([AutoFileRead]).
class CReadFileProPage : public SheetPage {
  Q_OBJECT
 public:
  explicit CReadFileProPage(CZorvanProSheet& sheet);
  QString Title() const override;
  bool Load() override;
  void Validate(SheetErrors& errors) override;
  bool BeforeSave() override;
  bool Write(const std::string& file) override;
  void Saved() override;
  std::vector<int> SavingLines() const override;
  void Contribute(WatchedPlaces& places) const override;

  TargetPageData& data() { return data_; }
  QTreeWidget* list() { return list_; }
  void Select(int index);
  int selected() const { return selected_; }
  // Editing buttons (also for the tests).
  void AddSetting();
  void DeleteSetting();
  void MoveSetting(int delta);
  void ChooseBinder(const std::string& binder);
  QLineEdit* folderEdit() { return folder_; }
  QLineEdit* nameEdit() { return name_; }
  QLineEdit* intervalEdit() { return interval_; }

 private:
  void BuildForm();
  void Show(int index);
  void Store();  // form -> selected entry
  void RefreshRow(int index);
  std::vector<TargetCheck> Checks() const;
  void EditTextInfo();
  void EditRecipients();
  void EditInputFiles();

  TargetPageData data_;
  int selected_ = -1;
  bool filling_ = false;
  QTreeWidget* list_;
  QWidget* form_;
  QCheckBox* check_;
  QLineEdit* name_;
  QLineEdit* folder_;
  QCheckBox* recursive_;
  QLineEdit* binder_;
  QCheckBox* workDesk_;
  QRadioButton* front_;
  QRadioButton* back_;
  QLineEdit* interval_;
  QLineEdit* attach_;
  ResultNoticeBox* notice_;
};

// Other settings ([Option]: balloons, list popup, contents page, logs).
class COtherProPage : public SheetPage {
  Q_OBJECT
 public:
  explicit COtherProPage(CZorvanProSheet& sheet);
  QString Title() const override;
  bool Load() override;
  void Validate(SheetErrors&) override {}
  bool Write(const std::string& file) override;
  void Saved() override;

  const OtherPageData& data() const { return data_; }
  QCheckBox* popupBox() { return popup_; }
  QCheckBox* contentsBox() { return contents_; }
  QRadioButton* balloonOn() { return balloonOn_; }
  QRadioButton* balloonOff() { return balloonOff_; }

 private:
  OtherPageData data_;
  QCheckBox* popup_;
  QCheckBox* contents_;
  QRadioButton* balloonOn_;
  QRadioButton* balloonOff_;
  QSpinBox* logTerm_;
  QLineEdit* logDir_;
};

// Sort folders ([FolderMonitorSet]): the top folder mirroring a link folder,
// its links to binders, and the creation of folders or binders through the
// sort-folder library.
class CSortFolderProPage : public SheetPage {
  Q_OBJECT
 public:
  explicit CSortFolderProPage(CZorvanProSheet& sheet);
  QString Title() const override;
  bool Load() override;
  void Validate(SheetErrors& errors) override;
  bool BeforeSave() override;
  bool Write(const std::string& file) override;
  void Saved() override;
  void Contribute(WatchedPlaces& places) const override;

  SortSettings& settings() { return settings_; }
  QCheckBox* enabledBox() { return enabled_; }
  QLineEdit* topEdit() { return top_; }
  QComboBox* linkCombo() { return link_; }
  QCheckBox* hideBox() { return hide_; }
  bool relink() const { return relink_; }
  // The two creation buttons; false when validation refused them.
  bool BinderToFolder();
  bool FolderToBinder();
  // Writes FolderMonitorSet.txt beside the settings file (when there is a
  // link) and returns its path ("" when nothing was written).
  std::string WriteSummary() const;

 private:
  void Store();
  std::string LinkPath() const;
  std::string LinkName() const;
  bool CheckForButtons();
  bool Link();  // the linking walk; false refuses the apply

  SortSettings settings_;
  bool relink_ = false;
  std::string readTop_, readLink_;
  QCheckBox* enabled_;
  QLineEdit* top_;
  QComboBox* link_;
  QLineEdit* interval_;
  QRadioButton* front_;
  QRadioButton* back_;
  QCheckBox* hide_;
};

// FAX ([FaxMonitor]): the fax folder, its settings in the order the fax
// watch tries them, and the setting for documents no other one takes.
class CFaxWatchProPage : public SheetPage {
  Q_OBJECT
 public:
  explicit CFaxWatchProPage(CZorvanProSheet& sheet);
  QString Title() const override;
  bool Load() override;
  void Validate(SheetErrors& errors) override;
  bool BeforeSave() override;
  bool Write(const std::string& file) override;
  void Saved() override;
  std::vector<int> SavingLines() const override;
  void Contribute(WatchedPlaces& places) const override;

  FaxSettings& settings() { return fax_; }
  QTreeWidget* list() { return list_; }
  void Select(int index);
  void AddSetting();
  void DeleteSetting();
  void MoveSetting(int delta);
  // The fax settings whose binder was deleted or recreated since they were
  // made (1-based; 0 for the other setting).
  std::vector<int> RecreatedBinders() const;

 private:
  void Show(int index);
  void Store();
  void RefreshRow(int index);
  void EditTextInfo();
  void EditRecipients();
  void EditInputFiles();
  void PrinterSetup();

  FaxSettings fax_;
  int selected_ = -1;
  bool filling_ = false;
  QCheckBox* enabled_;
  QLineEdit* folder_;
  QCheckBox* recursive_;
  QLineEdit* interval_;
  QTreeWidget* list_;
  QWidget* form_;
  QCheckBox* check_;
  QLineEdit* name_;
  QLineEdit* mask_;
  QLineEdit* binder_;
  QRadioButton* front_;
  QRadioButton* back_;
  QCheckBox* print_;
  QCheckBox* fitted_;
  QLineEdit* attach_;
  ResultNoticeBox* notice_;
  QCheckBox* otherEnabled_;
  QLineEdit* otherBinder_;
  ResultNoticeBox* otherNotice_;
  bool otherEdited_ = false;
};

// Whether balloons can be shown here: a notification area that shows
// messages (what ShowBalloon -1 stands for).
bool NotificationAreaShowsMessages();

}  // namespace zv::monitor::ui
