#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QVBoxLayout>

#include "companion/common.h"
#include "companion/trace.h"
#include "monitor/settings/safe_write.h"
#include "monitor/settings/status.h"
#include "monitor/settings/text_ids.h"
#include "monitor/ui/printer_setup.h"
#include "monitor/ui/sheet_dialogs.h"
#include "monitor/ui/sheet_pages.h"
#include "platform/fs.h"
#include "platform/text.h"
#include "setting_rows.h"

namespace zv::monitor::ui {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

std::vector<std::string> SplitUsers(const std::string& joined, int count) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (static_cast<int>(out.size()) < count && i <= joined.size()) {
    std::size_t j = joined.find(',', i);
    if (j == std::string::npos) j = joined.size();
    out.push_back(joined.substr(i, j - i));
    i = j + 1;
  }
  return out;
}

std::string JoinUsers(const std::vector<std::string>& users) {
  std::string out;
  for (const std::string& u : users) out += (out.empty() ? "" : ",") + u;
  return out;
}

QWidget* BrowseRow(QWidget* parent, QLineEdit*& edit, QPushButton*& button) {
  auto* w = new QWidget(parent);
  auto* h = new QHBoxLayout(w);
  h->setContentsMargins(0, 0, 0, 0);
  edit = new QLineEdit(w);
  button = new QPushButton(Tr(kLblBrowse), w);
  h->addWidget(edit, 1);
  h->addWidget(button);
  return w;
}

}  // namespace

CFaxWatchProPage::CFaxWatchProPage(CZorvanProSheet& sheet) : SheetPage(sheet) {
  setObjectName("CFaxWatchProPage");
  const bool service = sheet_.context().options.serviceMode == 1;
  auto* layout = new QVBoxLayout(this);
  auto* top = new QFormLayout;
  enabled_ = new QCheckBox(Tr(kLblFaxEnabled), this);
  top->addRow(enabled_);
  QPushButton* folderBrowse = nullptr;
  top->addRow(Tr(kLblFaxFolder), BrowseRow(this, folder_, folderBrowse));
  recursive_ = new QCheckBox(Tr(kLblSubfolders), this);
  top->addRow(recursive_);
  interval_ = new QLineEdit(this);
  interval_->setMaxLength(3);
  top->addRow(Tr(kLblInterval), interval_);
  auto* topButtons = new QHBoxLayout;
  auto* input = new QPushButton(Tr(kLblInputFileSettings), this);
  auto* printer = new QPushButton(Tr(kLblPrinterSetup), this);
  topButtons->addWidget(input);
  topButtons->addWidget(printer);
  topButtons->addStretch();
  top->addRow(topButtons);
  layout->addLayout(top);

  list_ = new QTreeWidget(this);
  list_->setRootIsDecorated(false);
  list_->setHeaderLabels({Tr(kIdsColumnNo), Tr(kIdsColumnName), Tr(kLblImportedName), Tr(kIdsColumnMonitoring)});
  list_->header()->setStretchLastSection(false);
  list_->header()->setSectionResizeMode(2, QHeaderView::Stretch);
  list_->setUniformRowHeights(true);
  layout->addWidget(list_, 1);
  auto* row = new QHBoxLayout;
  const std::pair<int, std::function<void()>> actions[] = {{kLblAdd, [this] { AddSetting(); }},
                                                           {kLblDelete, [this] { DeleteSetting(); }},
                                                           {kLblUp, [this] { MoveSetting(-1); }},
                                                           {kLblDown, [this] { MoveSetting(1); }}};
  for (const auto& [label, fn] : actions) {
    auto* b = new QPushButton(Tr(label), this);
    connect(b, &QPushButton::clicked, this, fn);
    row->addWidget(b);
  }
  row->addStretch();
  layout->addLayout(row);

  form_ = new QWidget(this);
  auto* f = new QFormLayout(form_);
  check_ = new QCheckBox(Tr(kLblMonitorThis), form_);
  f->addRow(check_);
  name_ = new QLineEdit(form_);
  f->addRow(Tr(kLblSetName), name_);
  mask_ = new QLineEdit(form_);
  f->addRow(Tr(kLblImportedName), mask_);
  QPushButton* binderBrowse = nullptr;
  f->addRow(Tr(kLblTargetBinder), BrowseRow(form_, binder_, binderBrowse));
  binder_->setReadOnly(true);
  auto* pos = new QWidget(form_);
  auto* ph = new QHBoxLayout(pos);
  ph->setContentsMargins(0, 0, 0, 0);
  front_ = new QRadioButton(Tr(kLblFront), pos);
  back_ = new QRadioButton(Tr(kLblBack), pos);
  print_ = new QCheckBox(Tr(kLblPrint), pos);
  fitted_ = new QCheckBox(Tr(kLblPrintFitted), pos);
  for (QWidget* w : std::initializer_list<QWidget*>{front_, back_, print_, fitted_}) ph->addWidget(w);
  ph->addStretch();
  f->addRow(Tr(kLblInsertAt), pos);
  auto* att = new QWidget(form_);
  auto* ah = new QHBoxLayout(att);
  ah->setContentsMargins(0, 0, 0, 0);
  attach_ = new QLineEdit(att);
  attach_->setReadOnly(true);
  auto* attachButton = new QPushButton(Tr(kLblSetting), att);
  ah->addWidget(attach_, 1);
  ah->addWidget(attachButton);
  f->addRow(Tr(kLblAttachInfo), att);
  notice_ = new ResultNoticeBox(form_);
  f->addRow(notice_);
  layout->addWidget(form_);

  auto* other = new QGroupBox(Tr(kIdsOtherSettingName), this);
  auto* of = new QFormLayout(other);
  otherEnabled_ = new QCheckBox(Tr(kLblOtherEnabled), other);
  of->addRow(otherEnabled_);
  QPushButton* otherBrowse = nullptr;
  of->addRow(Tr(kLblTargetBinder), BrowseRow(other, otherBinder_, otherBrowse));
  otherBinder_->setReadOnly(true);
  otherNotice_ = new ResultNoticeBox(other);
  of->addRow(otherNotice_);
  layout->addWidget(other);

  auto general = [this] {
    if (filling_) return;
    fax_.enabled = enabled_->isChecked() ? 1 : 0;
    fax_.targetFolder = S(folder_->text());
    fax_.recursive = recursive_->isChecked() ? 1 : 0;
    fax_.checkTimer = interval_->text().toInt();
    SetModified();
  };
  connect(enabled_, &QCheckBox::toggled, this, general);
  connect(recursive_, &QCheckBox::toggled, this, general);
  connect(folder_, &QLineEdit::textChanged, this, general);
  connect(interval_, &QLineEdit::textEdited, this, general);
  connect(folderBrowse, &QPushButton::clicked, this, [this, service] {
    const std::string p = BrowseFolder(this, S(folder_->text()), service);
    if (!p.empty()) folder_->setText(Q(p));
  });
  auto edited = [this] {
    if (filling_) return;
    Store();
    SetModified();
  };
  for (QLineEdit* e : {name_, mask_}) connect(e, &QLineEdit::textEdited, this, edited);
  for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{check_, front_, print_, fitted_})
    connect(b, &QAbstractButton::toggled, this, edited);
  connect(notice_, &ResultNoticeBox::modeChanged, this, edited);
  connect(notice_, &ResultNoticeBox::selectClicked, this, [this] { EditRecipients(); });
  connect(attachButton, &QPushButton::clicked, this, [this] { EditTextInfo(); });
  connect(binderBrowse, &QPushButton::clicked, this, [this, service] {
    if (selected_ < 0) return;
    const std::string p = BrowseFolder(this, S(binder_->text()), service);
    if (p.empty()) return;
    FaxEntry& e = fax_.entries[static_cast<std::size_t>(selected_)];
    e.targetBinder = p;
    e.setDate = BinderCreationStamp(sheet_.context().env.settings, p);
    binder_->setText(Q(p));
    SetModified();
  });
  auto otherEdited = [this] {
    if (filling_) return;
    fax_.other.check = otherEnabled_->isChecked() ? 1 : 0;
    fax_.other.sendResult = otherNotice_->mode();
    otherEdited_ = true;
    SetModified();
  };
  connect(otherEnabled_, &QCheckBox::toggled, this, otherEdited);
  connect(otherNotice_, &ResultNoticeBox::modeChanged, this, otherEdited);
  connect(otherBrowse, &QPushButton::clicked, this, [this, service] {
    const std::string p = BrowseFolder(this, S(otherBinder_->text()), service);
    if (p.empty()) return;
    fax_.other.targetBinder = p;
    fax_.other.setDate = BinderCreationStamp(sheet_.context().env.settings, p);
    otherBinder_->setText(Q(p));
    otherEdited_ = true;
    SetModified();
  });
  connect(input, &QPushButton::clicked, this, [this] { EditInputFiles(); });
  connect(printer, &QPushButton::clicked, this, [this] { PrinterSetup(); });
  connect(list_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (filling_ || item == nullptr) return;
    Show(list_->indexOfTopLevelItem(item));
  });
}

QString CFaxWatchProPage::Title() const { return Tr(kLblTabFax); }

bool CFaxWatchProPage::Load() {
  const SheetContext& c = sheet_.context();
  if (c.options.faxSetTotalMax <= 0) {
    companion::ComShowMessage(MonitorText(kIdsFaxSetTotalMaxInvalid), companion::kMbOk | companion::kMbIconWarning);
    return false;
  }
  SettingContext context = DefaultSettingContext(c.workDeskFolder);
  context.detectNetwork = false;
  FaxSettings read;
  ReadFaxSettingsFrom(c.env.settings, c.options, context, read);
  const int count = static_cast<int>(read.entries.size());
  ProgressWindow progress(Tr(kIdsFaxReading), Tr(kIdsPleaseWait), Tr(count >= 100 ? kIdsFaxReadingLong : kIdsBlank),
                          this);
  if (isVisible()) progress.ShowNow();
  fax_ = std::move(read);
  otherEdited_ = false;
  filling_ = true;
  enabled_->setChecked(fax_.enabled == 1);
  folder_->setText(Q(fax_.targetFolder));
  recursive_->setChecked(fax_.recursive == 1);
  interval_->setText(QString::number(fax_.checkTimer));
  list_->clear();
  QList<QTreeWidgetItem*> items;
  for (int i = 0; i < count; ++i) items.push_back(new QTreeWidgetItem);
  list_->addTopLevelItems(items);
  for (int i = 0; i < count; ++i) RefreshRow(i);
  otherEnabled_->setChecked(fax_.other.check == 1);
  otherBinder_->setText(Q(fax_.other.targetBinder));
  otherNotice_->SetMode(fax_.other.sendResult);
  filling_ = false;
  for (int column : {0, 1, 3}) list_->resizeColumnToContents(column);  // names are not cut
  Select(count > 0 ? 0 : -1);

  // Settings whose binder went away or was made anew since: one warning.
  const std::vector<int> recreated = RecreatedBinders();
  if (!recreated.empty()) {
    std::string text = MonitorText(kIdsBinderRecreatedList);
    for (int n : recreated)
      text += n == 0 ? MonitorText(kIdsBinderRecreatedOther)
                     : platform::FillInOrder(MonitorText(kIdsBinderRecreatedLine), {std::to_string(n)});
    companion::ComShowMessageBox(text, MonitorText(kIdsWarningCaption), companion::kMbOk | companion::kMbIconWarning);
  }
  return true;
}

std::vector<int> CFaxWatchProPage::RecreatedBinders() const {
  // Stamps are read without the binder's write lock and without pausing:
  // a thousand settings open in a moment.
  const std::string& file = sheet_.context().env.settings;
  auto gone = [&file](const FaxEntry& e) {
    if (e.check != 1 || e.workDesk == 1 || e.importMode == 1 || e.targetBinder.empty()) return false;
    if (!platform::IsFolder(e.targetBinder)) return true;
    return BinderNewerThan(e.setDate, BinderCreationStamp(file, e.targetBinder));
  };
  std::vector<int> out;
  for (std::size_t i = 0; i < fax_.entries.size(); ++i)
    if (gone(fax_.entries[i])) out.push_back(static_cast<int>(i) + 1);
  if (gone(fax_.other)) out.push_back(0);
  return out;
}

void CFaxWatchProPage::RefreshRow(int index) {
  QTreeWidgetItem* item = list_->topLevelItem(index);
  if (item == nullptr) return;
  const FaxEntry& e = fax_.entries[static_cast<std::size_t>(index)];
  item->setText(0, QString::number(index + 1));
  item->setText(1, Q(e.setName));
  item->setText(2, Q(e.targetName));
  item->setText(3, e.check == 1 ? QStringLiteral("*") : QString());
}

void CFaxWatchProPage::Select(int index) {
  if (index >= 0 && index < list_->topLevelItemCount()) {
    const QSignalBlocker block(list_);
    list_->setCurrentItem(list_->topLevelItem(index));
  }
  Show(index);
}

void CFaxWatchProPage::Show(int index) {
  selected_ = index;
  form_->setEnabled(index >= 0);
  if (index < 0) return;
  const FaxEntry& e = fax_.entries[static_cast<std::size_t>(index)];
  filling_ = true;
  check_->setChecked(e.check == 1);
  name_->setText(Q(e.setName));
  mask_->setText(Q(e.targetName));
  binder_->setText(Q(e.targetBinder));
  (e.insertPos == 2 ? back_ : front_)->setChecked(true);
  print_->setChecked(e.print >= 1);
  fitted_->setChecked(e.print == 2);
  attach_->setText(Q(TextInfoSummary(e.textInfoFlag, e.textInfo, e.setName, false)));
  notice_->SetMode(e.sendResult);
  notice_->SetWideAllowed(e.workDesk != 1 && !e.targetBinder.empty());
  filling_ = false;
}

void CFaxWatchProPage::Store() {
  if (selected_ < 0) return;
  FaxEntry& e = fax_.entries[static_cast<std::size_t>(selected_)];
  e.check = check_->isChecked() ? 1 : 0;
  e.setName = S(name_->text());
  e.targetName = S(mask_->text());
  e.insertPos = back_->isChecked() ? 2 : 1;
  e.print = print_->isChecked() ? (fitted_->isChecked() ? 2 : 1) : 0;
  e.sendResult = notice_->mode();
  RefreshRow(selected_);
}

void CFaxWatchProPage::AddSetting() {
  if (static_cast<int>(fax_.entries.size()) >= fax_.setTotalMax) return;
  FaxEntry e;
  e.check = 1;
  int number = 1;
  for (const FaxEntry& o : fax_.entries) number = std::max(number, o.setNumber + 1);
  e.setNumber = number;
  fax_.entries.push_back(e);
  new QTreeWidgetItem(list_);
  RefreshRow(static_cast<int>(fax_.entries.size()) - 1);
  Select(static_cast<int>(fax_.entries.size()) - 1);
  SetModified();
}

void CFaxWatchProPage::DeleteSetting() {
  const std::optional<int> next = DeleteSettingRow(fax_.entries, list_, selected_);
  if (!next) return;
  for (int i = 0; i < list_->topLevelItemCount(); ++i) RefreshRow(i);
  Select(*next);
  SetModified();
}

void CFaxWatchProPage::MoveSetting(int delta) {
  const int from = selected_;
  const std::optional<int> to = MoveSettingRow(fax_.entries, selected_, delta);
  if (!to) return;
  RefreshRow(from);
  RefreshRow(*to);
  Select(*to);
  SetModified();
}

void CFaxWatchProPage::Validate(SheetErrors& errors) {
  FaxCheck c;
  c.enabled = fax_.enabled == 1;
  c.folder = fax_.targetFolder;
  c.recursive = fax_.recursive == 1;
  c.checkTimer = S(interval_->text());
  for (const FaxEntry& e : fax_.entries) {
    if (e.check != 1) continue;
    FaxEntryCheck k;
    k.targetName = e.targetName;
    k.binder = e.targetBinder;
    k.workDesk = e.workDesk == 1 || e.importMode == 1;
    k.sendResult = e.sendResult;
    k.users = SplitUsers(e.users, e.userCount);
    c.entries.push_back(std::move(k));
  }
  c.otherEnabled = fax_.other.check == 1;
  c.otherBinder = fax_.other.targetBinder;
  c.otherWorkDesk = fax_.other.workDesk == 1;
  c.otherSendResult = fax_.other.sendResult;
  c.otherUsers = SplitUsers(fax_.other.users, fax_.other.userCount);
  CheckFaxPage(c, sheet_.Places(), errors);
}

void CFaxWatchProPage::Contribute(WatchedPlaces& places) const {
  if (fax_.enabled == 1) places.fax = {fax_.targetFolder, fax_.recursive == 1};
}

bool CFaxWatchProPage::BeforeSave() { return true; }

std::vector<int> CFaxWatchProPage::SavingLines() const {
  return {kIdsFaxSaving, kIdsSavingWait, fax_.entries.size() >= 100 ? kIdsSavingLong : kIdsBlank};
}

// The whole section is built in the ".new" copy and replaces the file in one
// step: no pause per setting, one commit for a thousand.
bool CFaxWatchProPage::Write(const std::string& file) {
  fax_.currentFolder = sheet_.currentFolder();
  return WriteFaxSettings(file, fax_, otherEdited_) && WriteChangeFlag(file, ChangeFlag::FaxModified);
}

void CFaxWatchProPage::Saved() { otherEdited_ = false; }

void CFaxWatchProPage::EditTextInfo() {
  if (selected_ < 0) return;
  FaxEntry& e = fax_.entries[static_cast<std::size_t>(selected_)];
  CTextInfoDlg dlg(this);
  if (!dlg.SetTextInfoParam(e.textInfoFlag, e.textInfo) || dlg.exec() != QDialog::Accepted) return;
  e.textInfoFlag = dlg.flag();
  e.textInfo = dlg.text();
  attach_->setText(Q(TextInfoSummary(e.textInfoFlag, e.textInfo, e.setName, false)));
  SetModified();
}

void CFaxWatchProPage::EditRecipients() {
  if (selected_ < 0) return;
  FaxEntry& e = fax_.entries[static_cast<std::size_t>(selected_)];
  CSendResult dlg(sheet_.context().options.maxUser, this);
  const auto users = SplitUsers(e.users, e.userCount);
  if (!dlg.SetSendResultParam(static_cast<int>(users.size()), users)) {
    dlg.exec();
    return;
  }
  if (dlg.exec() != QDialog::Accepted) return;
  e.users = JoinUsers(dlg.users());
  e.userCount = static_cast<int>(dlg.users().size());
  SetModified();
}

void CFaxWatchProPage::EditInputFiles() {
  const MonitorOptions& o = sheet_.context().options;
  SaveFolderValues ok{std::to_string(fax_.moveSucceeded), fax_.succeededFolder, std::to_string(fax_.succeededTerm)};
  SaveFolderValues ng{std::to_string(fax_.moveFailed), fax_.failedFolder, std::to_string(fax_.failedTerm)};
  CInputFileDlg dlg(MonitorText(kIdsKindFax), ok, ng, o.moveSucceeded, o.moveFailed, o.succeededTerm, sheet_.Places(),
                    o.serviceMode == 1, this);
  if (dlg.exec() != QDialog::Accepted) return;
  fax_.moveSucceeded = std::atoi(dlg.succeeded().move.c_str()) == 1 ? 1 : 0;
  fax_.succeededFolder = dlg.succeeded().folder;
  fax_.succeededTerm = std::atoi(dlg.succeeded().term.c_str());
  fax_.moveFailed = std::atoi(dlg.failed().move.c_str()) == 1 ? 1 : 0;
  fax_.failedFolder = dlg.failed().folder;
  fax_.failedTerm = std::atoi(dlg.failed().term.c_str());
  SetModified();
}

void CFaxWatchProPage::PrinterSetup() { RunPrinterSetup(this); }

}  // namespace zv::monitor::ui
