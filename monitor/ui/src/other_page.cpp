#include <QFormLayout>
#include <QGroupBox>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

#include "companion/common.h"
#include "companion/services.h"
#include "monitor/settings/status.h"
#include "monitor/settings/text_ids.h"
#include "monitor/ui/sheet_dialogs.h"
#include "monitor/ui/sheet_pages.h"
#include "platform/paths.h"

namespace zv::monitor::ui {

bool NotificationAreaShowsMessages() {
  return QSystemTrayIcon::isSystemTrayAvailable() && QSystemTrayIcon::supportsMessages();
}

COtherProPage::COtherProPage(CZorvanProSheet& sheet) : SheetPage(sheet) {
  setObjectName("COtherProPage");
  auto* layout = new QVBoxLayout(this);
  popup_ = new QCheckBox(Tr(kLblListPopup), this);
  contents_ = new QCheckBox(Tr(kLblAddContents), this);
  balloonOn_ = new QRadioButton(Tr(kLblBalloonOn), this);
  balloonOff_ = new QRadioButton(Tr(kLblBalloonOff), this);
  layout->addWidget(popup_);
  layout->addWidget(contents_);
  layout->addWidget(balloonOn_);
  layout->addWidget(balloonOff_);
  // The log settings are kept as read; their controls exist but are hidden.
  auto* logs = new QGroupBox(this);
  auto* f = new QFormLayout(logs);
  logTerm_ = new QSpinBox(logs);
  logTerm_->setRange(0, 999);
  logDir_ = new QLineEdit(logs);
  f->addRow(Tr(kLblLogTerm), logTerm_);
  f->addRow(Tr(kLblLogFolder), logDir_);
  logs->hide();
  layout->addWidget(logs);
  layout->addStretch();
  connect(popup_, &QCheckBox::toggled, this, [this](bool on) {
    data_.Change("ImpListPopup", on ? "1" : "0");
    SetModified();
  });
  connect(contents_, &QCheckBox::toggled, this, [this](bool on) {
    data_.Change("bAddContents", on ? "1" : "0");
    SetModified();
  });
  connect(balloonOn_, &QRadioButton::toggled, this, [this](bool on) {
    data_.Change("ShowBalloon", on ? "1" : "0");
    SetModified();
  });
}

QString COtherProPage::Title() const { return Tr(kLblTabOther); }

bool COtherProPage::Load() {
  auto page = LoadOtherPage(sheet_.context().env.settings);
  if (!page) {
    companion::ComShowMessage(MonitorText(kIdsOtherLoadFailed), companion::kMbOk | companion::kMbIconWarning);
    return false;
  }
  data_ = std::move(*page);
  const QSignalBlocker b1(popup_), b2(contents_), b3(balloonOn_), b4(balloonOff_);
  popup_->setChecked(data_.IntValue("ImpListPopup") == 1);
  popup_->setVisible(data_.impListEnabled != 0);
  contents_->setChecked(data_.IntValue("bAddContents") == 1);
  const int balloon = data_.IntValue("ShowBalloon");
  const bool on = balloon == -1 ? NotificationAreaShowsMessages() : balloon >= 1;
  (on ? balloonOn_ : balloonOff_)->setChecked(true);
  logTerm_->setValue(data_.IntValue("ImpLogTerm"));
  logDir_->setText(QString::fromStdString(data_.Value("ImpLogDir")));
  return true;
}

bool COtherProPage::Write(const std::string& file) { return WriteOtherPage(file, data_); }

void COtherProPage::Saved() {
  RefreshResultAreaCopies(sheet_.context().env, platform::ComputerName(), companion::ReadViewerFolders());
  for (const auto& [key, value] : data_.changed) data_.read[key] = value;
  data_.changed.clear();
}

}  // namespace zv::monitor::ui
