#include "implist/ui/settings_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/ini.h"

namespace zv::implist::ui {

namespace ini = platform::ini;

std::vector<MonitorSetting> ReadMonitorSettings(const std::string& monitorSettings) {
  std::vector<MonitorSetting> out;
  const int total = std::clamp(ini::GetInt(monitorSettings, "AutoFileRead", "SetTotal", 0), 0, 1031);
  for (int n = 1; n <= total; ++n) {
    const std::string name = ini::GetString(monitorSettings, "AutoFileRead", "SetName" + std::to_string(n), "");
    if (!ini::GetString(monitorSettings, "AutoFileRead", "TarFolder" + std::to_string(n), "").empty() || !name.empty())
      out.push_back({n, name});
  }
  return out;
}

namespace {

QSpinBox* Spin(int low, int high, int value, const char* name) {
  auto* s = new QSpinBox;
  s->setRange(low, high);
  s->setValue(std::clamp(value, low, high));
  s->setObjectName(QString::fromLatin1(name));
  return s;
}

std::vector<int> Numbers(const std::string& list) {
  std::vector<int> out;
  std::size_t start = 0;
  while (start < list.size()) {
    std::size_t end = list.find(',', start);
    if (end == std::string::npos) end = list.size();
    const std::string n = list.substr(start, end - start);
    if (!n.empty() && n.size() < 9 && std::all_of(n.begin(), n.end(), [](char c) { return c >= '0' && c <= '9'; }))
      out.push_back(std::stoi(n));
    start = end + 1;
  }
  return out;
}

}  // namespace

SettingsDialog::SettingsDialog(std::string settingsFile, const ViewerSettings& current,
                               std::vector<MonitorSetting> monitorSettings, const companion::ViewerFolders& folders,
                               std::string computer, Asker ask, QWidget* parent)
    : QDialog(parent),
      file_(std::move(settingsFile)),
      values_(current),
      monitorSettings_(std::move(monitorSettings)),
      computer_(std::move(computer)),
      ask_(std::move(ask)) {
  setWindowTitle(Text(kTxtSettingsTitle));
  // The link folder entries follow the viewer's folder list.
  for (int i = 0; i < 3; ++i) {
    LinkEntry& e = values_.link[i];
    if (!folders.link[i].empty() && folders.link[i] != e.path) {
      e.path = folders.link[i];
      e.displayImp.clear();
    }
    if (folders.link[i].empty()) e = LinkEntry{};
    e.name = folders.name[i];
    ticked_.push_back(Numbers(e.displayImp));
  }

  auto* collection = new QGroupBox(Text(kTxtGroupCollection));
  auto* form = new QFormLayout(collection);
  interval = Spin(0, 999, current.interval, "Interval");
  fileHoldPeriod = Spin(0, 999, current.fileHoldPeriod, "FileHoldPeriod");
  listDataPeriod = Spin(1, 99, current.listDataPeriod, "ListDataPeriod");
  dispListMax = Spin(1, kDialogListMax, current.dispListMax, "DispListMax");
  periodCheck = new QCheckBox(Text(kTxtLabelListPeriod));
  periodCheck->setChecked(current.periodCheck == 1);
  form->addRow(Text(kTxtLabelInterval), interval);
  form->addRow(Text(kTxtLabelFileHold), fileHoldPeriod);
  form->addRow(periodCheck, listDataPeriod);
  form->addRow(Text(kTxtLabelDispListMax), dispListMax);
  userRsltDel = new QCheckBox(Text(kTxtUserRsltDel));
  userRsltDel->setChecked(current.userRsltDel == 1);
  form->addRow(userRsltDel);

  auto* news = new QGroupBox(Text(kTxtGroupNews));
  auto* newsLayout = new QVBoxLayout(news);
  popup = new QButtonGroup(this);
  for (int mode = 0; mode < 3; ++mode) {
    auto* b = new QRadioButton(Text(kTxtPopup0 + mode));
    popup->addButton(b, mode);
    newsLayout->addWidget(b);
  }
  if (auto* b = popup->button(std::clamp(current.popup, 0, 2))) b->setChecked(true);
  showBalloon = new QCheckBox(Text(kTxtShowBalloon));
  showBalloon->setChecked(current.showBalloon == 1);
  newsLayout->addWidget(showBalloon);
  auto* soundRow = new QHBoxLayout;
  soundEnabled = new QCheckBox(Text(kTxtSoundEnabled));
  soundEnabled->setChecked(current.soundEnabled == 1);
  waveFile = new QLineEdit(QString::fromStdString(current.waveFile));
  auto* select = new QPushButton(Text(kTxtButtonSelect));
  connect(select, &QPushButton::clicked, this, &SettingsDialog::SelectSound);
  soundRow->addWidget(soundEnabled);
  soundRow->addWidget(waveFile, 1);
  soundRow->addWidget(select);
  newsLayout->addLayout(soundRow);

  auto* wk = new QGroupBox(Text(kTxtGroupWorkDesk));
  auto* wkLayout = new QVBoxLayout(wk);
  dispWkFlag = new QComboBox;
  for (int v = 0; v < 3; ++v) dispWkFlag->addItem(Text(kTxtWk0 + v), v);
  dispWkFlag->setCurrentIndex(std::clamp(current.dispWkFlag, 0, 2));
  wkLayout->addWidget(dispWkFlag);

  auto* shown = new QGroupBox(Text(kTxtGroupDisplayImp));
  auto* shownLayout = new QVBoxLayout(shown);
  linkFolder = new QComboBox;
  for (int i = 0; i < 3; ++i)
    if (!values_.link[i].path.empty())
      linkFolder->addItem(QString::fromStdString(values_.link[i].name + " (" + values_.link[i].path + ")"), i);
  displayImp = new QListWidget;
  shownLayout->addWidget(linkFolder);
  shownLayout->addWidget(displayImp);
  connect(linkFolder, &QComboBox::currentIndexChanged, this, [this](int index) {
    KeepLink();
    ShowLink(index < 0 ? -1 : linkFolder->itemData(index).toInt());
  });
  ShowLink(linkFolder->count() > 0 ? linkFolder->itemData(0).toInt() : -1);

  auto* buttons = new QDialogButtonBox;
  buttons->addButton(Text(kTxtOk), QDialogButtonBox::AcceptRole);
  buttons->addButton(Text(kTxtCancel), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &SettingsDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &SettingsDialog::reject);

  auto* top = new QVBoxLayout(this);
  auto* columns = new QHBoxLayout;
  auto* left = new QVBoxLayout;
  left->addWidget(collection);
  left->addWidget(news);
  left->addWidget(wk);
  columns->addLayout(left);
  columns->addWidget(shown, 1);
  top->addLayout(columns);
  top->addWidget(buttons);
}

void SettingsDialog::ShowLink(int entry) {
  shownLink_ = entry;
  displayImp->clear();
  if (entry < 0) return;
  const std::vector<int>& ticked = ticked_[static_cast<std::size_t>(entry)];
  for (const MonitorSetting& s : monitorSettings_) {
    auto* item = new QListWidgetItem(Text(kTxtSettingNumber, {std::to_string(s.number)}) + u' ' +
                                     QString::fromStdString(s.name));
    item->setData(Qt::UserRole, s.number);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(std::find(ticked.begin(), ticked.end(), s.number) != ticked.end() ? Qt::Checked
                                                                                          : Qt::Unchecked);
    displayImp->addItem(item);
  }
}

void SettingsDialog::KeepLink() {
  if (shownLink_ < 0) return;
  std::vector<int>& ticked = ticked_[static_cast<std::size_t>(shownLink_)];
  // Numbers of settings the dialog does not list stay as they were.
  std::vector<int> kept;
  for (int n : ticked)
    if (std::none_of(monitorSettings_.begin(), monitorSettings_.end(),
                     [n](const MonitorSetting& s) { return s.number == n; }))
      kept.push_back(n);
  for (int i = 0; i < displayImp->count(); ++i)
    if (displayImp->item(i)->checkState() == Qt::Checked)
      kept.push_back(displayImp->item(i)->data(Qt::UserRole).toInt());
  std::sort(kept.begin(), kept.end());
  ticked = kept;
}

void SettingsDialog::SelectSound() {
  const QString file =
      QFileDialog::getOpenFileName(this, Text(kTxtSelectSound), waveFile->text(), Text(kTxtSoundFilter));
  if (!file.isEmpty()) waveFile->setText(file);
}

void SettingsDialog::accept() {
  KeepLink();
  if (soundEnabled->isChecked()) {
    const std::string wave = waveFile->text().trimmed().toStdString();
    if (wave.empty()) {
      ask_(this, Text(kTxtSoundNotSet), QMessageBox::Ok);
      return;
    }
    if (!platform::IsFile(wave)) {
      ask_(this, Text(kTxtSoundMissing), QMessageBox::Ok);
      return;
    }
  }
  if (interval->value() < 10 &&
      ask_(this, Text(kTxtShortInterval), QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
    return;
  ViewerSettings v = values_;
  v.setFlag = 1;
  v.interval = interval->value();
  v.periodCheck = periodCheck->isChecked() ? 1 : 0;
  v.userRsltDel = userRsltDel->isChecked() ? 1 : 0;
  v.showBalloon = showBalloon->isChecked() ? 1 : 0;
  v.listDataPeriod = listDataPeriod->value();
  v.dispListMax = dispListMax->value();
  v.popup = std::max(popup->checkedId(), 0);
  v.soundEnabled = soundEnabled->isChecked() ? 1 : 0;
  v.waveFile = waveFile->text().trimmed().toStdString();
  v.dispWkFlag = dispWkFlag->currentData().toInt();
  v.fileHoldPeriod = fileHoldPeriod->value();
  v.lastModified = platform::UnixSeconds();
  const int maxSet = ini::GetInt(MonitorSettingsFile(), "Option", "MaxSetNumber", 1050);
  for (int i = 0; i < 3; ++i) {
    LinkEntry& e = v.link[i];
    if (e.path.empty()) continue;
    e.displayImp.clear();
    for (int n : ticked_[static_cast<std::size_t>(i)]) e.displayImp += std::to_string(n) + ",";
    e.usrNumber = static_cast<int>(ticked_[static_cast<std::size_t>(i)].size());
    e.maxSetNumber = maxSet;
    e.host = computer_;
    e.lastModified = v.lastModified;
  }
  if (!WriteDialogKeys(file_, v)) {
    ask_(this, Text(kTxtSettingsSaveFailed), QMessageBox::Ok);
    return;
  }
  values_ = v;
  QDialog::accept();
}

}  // namespace zv::implist::ui
