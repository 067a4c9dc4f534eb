#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QVBoxLayout>

#include "companion/common.h"
#include "companion/trace.h"
#include "monitor/settings/text_ids.h"
#include "monitor/ui/sheet_dialogs.h"
#include "monitor/ui/sheet_pages.h"
#include "platform/text.h"
#include "setting_rows.h"

namespace zv::monitor::ui {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

std::vector<std::string> SplitUsers(const std::vector<std::string>& users) { return users; }

}  // namespace

// ---- result notice ---------------------------------------------------------------

ResultNoticeBox::ResultNoticeBox(QWidget* parent) : QWidget(parent) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(new QLabel(Tr(kLblResultNotify), this));
  const std::pair<int, int> buttons[] = {{kLblAll, 1}, {kLblSelf, 2}, {kLblSpecify, 3}, {kLblNotNotify, 0}};
  for (const auto& [label, value] : buttons) {
    auto* b = new QRadioButton(Tr(label), this);
    group_.addButton(b, value);
    row->addWidget(b);
  }
  select_ = new QPushButton(Tr(kLblSelect), this);
  row->addWidget(select_);
  row->addStretch();
  connect(&group_, &QButtonGroup::idToggled, this, [this](int, bool on) {
    if (!on) return;
    select_->setEnabled(mode() == 3);
    emit modeChanged();
  });
  connect(select_, &QPushButton::clicked, this, &ResultNoticeBox::selectClicked);
  SetMode(2);
}

void ResultNoticeBox::SetMode(int sendResult) {
  QAbstractButton* b = group_.button(sendResult >= 0 && sendResult <= 3 ? sendResult : 2);
  const QSignalBlocker block(&group_);
  held_ = -1;
  b->setChecked(true);
  select_->setEnabled(sendResult == 3);
}

void ResultNoticeBox::SetWideAllowed(bool allowed) {
  group_.button(1)->setEnabled(allowed);
  group_.button(3)->setEnabled(allowed);
  const QSignalBlocker block(&group_);
  if (!allowed && (mode() == 1 || mode() == 3)) {
    held_ = mode();
    group_.button(2)->setChecked(true);
  } else if (allowed && held_ >= 0) {
    if (mode() == 2) group_.button(held_)->setChecked(true);
    held_ = -1;
  }
  select_->setEnabled(allowed && mode() == 3);
}

int ResultNoticeBox::mode() const {
  const int id = group_.checkedId();
  return id < 0 ? 2 : id;
}

// ---- target folders --------------------------------------------------------------

CReadFileProPage::CReadFileProPage(CZorvanProSheet& sheet) : SheetPage(sheet) {
  setObjectName("CReadFileProPage");
  auto* layout = new QVBoxLayout(this);
  list_ = new QTreeWidget(this);
  list_->setRootIsDecorated(false);
  list_->setHeaderLabels({Tr(kIdsColumnNo), Tr(kIdsColumnName), Tr(kIdsColumnFolder), Tr(kIdsColumnMonitoring)});
  list_->header()->setStretchLastSection(false);
  list_->header()->setSectionResizeMode(2, QHeaderView::Stretch);
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
  BuildForm();
  layout->addWidget(form_);
  connect(list_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (filling_ || item == nullptr) return;
    Show(list_->indexOfTopLevelItem(item));
  });
}

QString CReadFileProPage::Title() const { return Tr(kLblTabTargets); }

void CReadFileProPage::BuildForm() {
  form_ = new QWidget(this);
  auto* f = new QFormLayout(form_);
  const bool service = sheet_.context().options.serviceMode == 1;
  check_ = new QCheckBox(Tr(kLblMonitorThis), form_);
  f->addRow(check_);
  name_ = new QLineEdit(form_);
  f->addRow(Tr(kLblSetName), name_);
  auto browseRow = [&](QLineEdit*& edit, std::function<void(const std::string&)> chosen) {
    auto* w = new QWidget(form_);
    auto* h = new QHBoxLayout(w);
    h->setContentsMargins(0, 0, 0, 0);
    edit = new QLineEdit(w);
    auto* b = new QPushButton(Tr(kLblBrowse), w);
    h->addWidget(edit, 1);
    h->addWidget(b);
    QLineEdit* e = edit;
    connect(b, &QPushButton::clicked, this, [this, e, chosen, service] {
      const std::string path = BrowseFolder(this, S(e->text()), service);
      if (!path.empty()) chosen(path);
    });
    return w;
  };
  f->addRow(Tr(kLblMonitoredFolder), browseRow(folder_, [this](const std::string& p) { folder_->setText(Q(p)); }));
  recursive_ = new QCheckBox(Tr(kLblSubfolders), form_);
  f->addRow(recursive_);
  f->addRow(Tr(kLblTargetBinder), browseRow(binder_, [this](const std::string& p) { ChooseBinder(p); }));
  binder_->setReadOnly(true);
  workDesk_ = new QCheckBox(Tr(kLblWorkDesk), form_);
  workDesk_->setEnabled(!sheet_.context().workDeskFolder.empty());
  f->addRow(workDesk_);
  auto* pos = new QWidget(form_);
  auto* ph = new QHBoxLayout(pos);
  ph->setContentsMargins(0, 0, 0, 0);
  front_ = new QRadioButton(Tr(kLblFront), pos);
  back_ = new QRadioButton(Tr(kLblBack), pos);
  ph->addWidget(front_);
  ph->addWidget(back_);
  ph->addStretch();
  f->addRow(Tr(kLblInsertAt), pos);
  interval_ = new QLineEdit(form_);
  interval_->setMaxLength(3);
  f->addRow(Tr(kLblInterval), interval_);
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
  auto* input = new QPushButton(Tr(kLblInputFileSettings), form_);
  f->addRow(input);

  auto edited = [this] {
    if (filling_) return;
    Store();
    SetModified();
  };
  for (QLineEdit* e : {name_, folder_, interval_}) connect(e, &QLineEdit::textEdited, this, edited);
  connect(folder_, &QLineEdit::textChanged, this, edited);
  for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{check_, recursive_, workDesk_, front_, back_})
    connect(b, &QAbstractButton::toggled, this, edited);
  connect(notice_, &ResultNoticeBox::modeChanged, this, edited);
  connect(notice_, &ResultNoticeBox::selectClicked, this, [this] { EditRecipients(); });
  connect(attachButton, &QPushButton::clicked, this, [this] { EditTextInfo(); });
  connect(input, &QPushButton::clicked, this, [this] { EditInputFiles(); });
}

bool CReadFileProPage::Load() {
  int failId = 0;
  auto page = LoadTargetPage(sheet_.context().env.settings, &failId);
  if (!page) {
    companion::ComShowMessage(MonitorText(failId), companion::kMbOk | companion::kMbIconWarning);
    return false;
  }
  data_ = std::move(*page);
  filling_ = true;
  list_->clear();
  for (std::size_t i = 0; i < data_.entries.size(); ++i) {
    new QTreeWidgetItem(list_);
    RefreshRow(static_cast<int>(i));
  }
  filling_ = false;
  for (int column : {0, 1, 3}) list_->resizeColumnToContents(column);  // names are not cut
  Select(data_.entries.empty() ? -1 : 0);
  return true;
}

void CReadFileProPage::RefreshRow(int index) {
  QTreeWidgetItem* item = list_->topLevelItem(index);
  if (item == nullptr) return;
  const RawSetting& r = data_.entries[static_cast<std::size_t>(index)].raw;
  item->setText(0, QString::number(index + 1));
  item->setText(1, Q(r.Text("SetName")));
  item->setText(2, Q(r.Text("TarFolder")));
  item->setText(3, r.Int("bCheck", 0) == 1 ? QStringLiteral("*") : QString());
}

void CReadFileProPage::Select(int index) {
  if (index >= 0 && index < list_->topLevelItemCount()) {
    const QSignalBlocker block(list_);
    list_->setCurrentItem(list_->topLevelItem(index));
  }
  Show(index);
}

void CReadFileProPage::Show(int index) {
  selected_ = index;
  form_->setEnabled(index >= 0);
  if (index < 0) return;
  const RawSetting& r = data_.entries[static_cast<std::size_t>(index)].raw;
  filling_ = true;
  check_->setChecked(r.Int("bCheck", 0) == 1);
  name_->setText(Q(r.Text("SetName")));
  folder_->setText(Q(r.Text("TarFolder")));
  recursive_->setChecked(r.Int("bRecursive", 0) == 1);
  binder_->setText(Q(r.Text("TarBinder")));
  workDesk_->setChecked(r.Int("bWorkDesk", 0) == 1);
  (r.Int("InsertPos", 1) == 2 ? back_ : front_)->setChecked(true);
  interval_->setText(Q(r.Text("checkTimer", "0")));
  int flag = r.Int("TextInfoFlag", 0);
  if (flag < 0 || flag > 7) flag = 0;
  attach_->setText(Q(TextInfoSummary(flag, CutTextInfo(r.Text("TextInfo")), r.Text("SetName"), false)));
  notice_->SetMode(r.Int("SendResult", 2));
  notice_->SetWideAllowed(r.Int("bWorkDesk", 0) != 1 && !r.Text("TarBinder").empty());
  filling_ = false;
}

void CReadFileProPage::Store() {
  if (selected_ < 0) return;
  data_.entries[static_cast<std::size_t>(selected_)].edited = true;
  RawSetting& r = data_.entries[static_cast<std::size_t>(selected_)].raw;
  // Only what differs from the shown value is taken, so keys the user did
  // not touch keep the text they were read with.
  auto setInt = [&r](const char* key, int value, int fallback) {
    if (r.Int(key, fallback) != value) r.Set(key, value);
  };
  auto setText = [&r](const char* key, const std::string& value) {
    if (r.Text(key) != value) r.Set(key, value);
  };
  setInt("bCheck", check_->isChecked() ? 1 : 0, 0);
  setText("SetName", S(name_->text()));
  setText("TarFolder", S(folder_->text()));
  setInt("bRecursive", recursive_->isChecked() ? 1 : 0, 0);
  setInt("bWorkDesk", workDesk_->isChecked() ? 1 : 0, 0);
  if (workDesk_->isChecked() && r.Text("TarBinder") != sheet_.context().workDeskFolder)
    r.Set("TarBinder", sheet_.context().workDeskFolder);
  setInt("InsertPos", back_->isChecked() ? 2 : 1, 1);
  if (r.Text("checkTimer", "0") != S(interval_->text())) r.Set("checkTimer", S(interval_->text()));
  setInt("SendResult", notice_->mode(), 2);
  RefreshRow(selected_);
}

void CReadFileProPage::ChooseBinder(const std::string& binder) {
  if (selected_ < 0) return;
  data_.entries[static_cast<std::size_t>(selected_)].edited = true;
  RawSetting& r = data_.entries[static_cast<std::size_t>(selected_)].raw;
  r.Set("TarBinder", binder);
  // The setting is made for the binder as it is now.
  r.Set("SetDate", ReadBinderStamp(binder, data_.binderSetDateSection, data_.binderSetDateKey));
  binder_->setText(Q(binder));
  notice_->SetWideAllowed(!binder.empty());
  r.Set("SendResult", notice_->mode());
  SetModified();
}

void CReadFileProPage::AddSetting() {
  if (static_cast<int>(data_.entries.size()) >= data_.setTotalMax) return;
  data_.entries.push_back(NewTargetEntry(data_, sheet_.context().options.maxSetNumber));
  new QTreeWidgetItem(list_);
  RefreshRow(static_cast<int>(data_.entries.size()) - 1);
  Select(static_cast<int>(data_.entries.size()) - 1);
  SetModified();
}

void CReadFileProPage::DeleteSetting() {
  const std::optional<int> next = DeleteSettingRow(data_.entries, list_, selected_);
  if (!next) return;
  for (int i = 0; i < list_->topLevelItemCount(); ++i) RefreshRow(i);
  Select(*next);
  SetModified();
}

void CReadFileProPage::MoveSetting(int delta) {
  const int from = selected_;
  const std::optional<int> to = MoveSettingRow(data_.entries, selected_, delta);
  if (!to) return;
  RefreshRow(from);
  RefreshRow(*to);
  Select(*to);
  SetModified();
}

std::vector<TargetCheck> CReadFileProPage::Checks() const {
  std::vector<TargetCheck> out;
  for (const TargetEntry& e : data_.entries) {
    const RawSetting& r = e.raw;
    TargetCheck c;
    c.enabled = r.Int("bCheck", 0) == 1;
    c.folder = r.Text("TarFolder");
    c.recursive = r.Int("bRecursive", 0) == 1;
    c.checkTimer = r.Text("checkTimer", "0");
    c.binder = r.Text("TarBinder");
    c.workDesk = r.Int("bWorkDesk", 0) == 1;
    c.sendResult = r.Int("SendResult", 2);
    c.users = SplitUsers(r.users);
    c.succeededFolder = r.Text("SucceededFolder");
    c.failedFolder = r.Text("FailedFolder");
    out.push_back(std::move(c));
  }
  return out;
}

void CReadFileProPage::Validate(SheetErrors& errors) {
  const auto checks = Checks();
  const WatchedPlaces places = sheet_.Places();
  for (std::size_t i = 0; i < checks.size(); ++i)
    if (data_.entries[i].edited) CheckTargetSetting(checks, i, places, errors);
}

void CReadFileProPage::Contribute(WatchedPlaces& places) const {
  for (const TargetCheck& c : Checks())
    places.targets.push_back(c.enabled ? WatchedFolder{c.folder, c.recursive} : WatchedFolder{});
}

bool CReadFileProPage::BeforeSave() {
  for (std::size_t i = 0; i < data_.entries.size(); ++i) {
    RawSetting& r = data_.entries[i].raw;
    if (r.Int("bCheck", 0) != 1 || r.Int("bWorkDesk", 0) == 1) continue;
    const std::string stamp = ReadBinderStamp(r.Text("TarBinder"), data_.binderSetDateSection, data_.binderSetDateKey);
    if (!BinderNewerThan(r.Text("SetDate"), stamp)) continue;
    Select(static_cast<int>(i));
    if (companion::ComShowMessage(MonitorText(kIdsBinderRecreatedKeep),
                                  companion::kMbOkCancel | companion::kMbIconQuestion) != companion::kIdOk)
      return false;
    // Keeping the recreated binder: the setting now belongs to it, so the
    // watch no longer skips it as recreated.
    r.Set("SetDate", stamp);
  }
  return true;
}

std::vector<int> CReadFileProPage::SavingLines() const {
  return {kIdsTargetSaving, kIdsSavingWait, data_.entries.size() >= 100 ? kIdsSavingLong : kIdsBlank};
}

bool CReadFileProPage::Write(const std::string& file) {
  if (!sheet_.currentFolder().empty()) data_.option["CurrentFolder"] = sheet_.currentFolder();
  return WriteTargetPage(file, data_);
}

void CReadFileProPage::Saved() {
  CopyAfterTargetSave(sheet_.context().env, data_);
  for (TargetEntry& e : data_.entries) {
    if (!platform::EqualsNoCase(e.readFolder, e.raw.Text("TarFolder"))) e.raw.Set("DeleteFolderDate", "");
    e.edited = false;
    e.readFolder = e.raw.Text("TarFolder");
  }
  data_.readTotal = static_cast<int>(data_.entries.size());
}

void CReadFileProPage::EditTextInfo() {
  if (selected_ < 0) return;
  data_.entries[static_cast<std::size_t>(selected_)].edited = true;
  RawSetting& r = data_.entries[static_cast<std::size_t>(selected_)].raw;
  CTextInfoDlg dlg(this);
  if (!dlg.SetTextInfoParam(r.Int("TextInfoFlag", 0), r.Text("TextInfo"))) return;
  if (dlg.exec() != QDialog::Accepted) return;
  r.Set("TextInfoFlag", dlg.flag());
  r.Set("TextInfo", dlg.text());
  attach_->setText(Q(TextInfoSummary(dlg.flag(), dlg.text(), r.Text("SetName"), false)));
  SetModified();
}

void CReadFileProPage::EditRecipients() {
  if (selected_ < 0) return;
  data_.entries[static_cast<std::size_t>(selected_)].edited = true;
  RawSetting& r = data_.entries[static_cast<std::size_t>(selected_)].raw;
  CSendResult dlg(sheet_.context().options.maxUser, this);
  if (!dlg.SetSendResultParam(static_cast<int>(r.users.size()), r.users)) {
    dlg.exec();  // only Cancel is possible
    return;
  }
  if (dlg.exec() != QDialog::Accepted) return;
  r.SetUsers(dlg.users());
  SetModified();
}

void CReadFileProPage::EditInputFiles() {
  if (selected_ < 0) return;
  RawSetting& r = data_.entries[static_cast<std::size_t>(selected_)].raw;
  const MonitorOptions& o = sheet_.context().options;
  SaveFolderValues ok{r.Text("move_succeeded", "-1"), r.Text("SucceededFolder"), r.Text("SucceededTerm", "-1")};
  SaveFolderValues ng{r.Text("move_failed", "-1"), r.Text("FailedFolder"), r.Text("FailedTerm", "-1")};
  CInputFileDlg dlg(MonitorText(kIdsKindAutoFile), ok, ng, o.moveSucceeded, o.moveFailed, o.succeededTerm,
                    sheet_.Places(), o.serviceMode == 1, this);
  if (dlg.exec() != QDialog::Accepted) return;
  auto apply = [](RawSetting& to, const SaveFolderValues& v, const char* move, const char* folder, const char* term) {
    if (to.Text(move, "-1") != v.move) to.Set(move, v.move);
    if (to.Text(folder) != v.folder) to.Set(folder, v.folder);
    if (to.Text(term, "-1") != v.term) to.Set(term, v.term);
  };
  for (std::size_t i = 0; i < data_.entries.size(); ++i) {
    const bool own = static_cast<int>(i) == selected_;
    if (own || dlg.applySucceededToAll())
      apply(data_.entries[i].raw, dlg.succeeded(), "move_succeeded", "SucceededFolder", "SucceededTerm");
    if (own || dlg.applySucceededToAll() || dlg.applyFailedToAll()) data_.entries[i].edited = true;
    if (own || dlg.applyFailedToAll())
      apply(data_.entries[i].raw, dlg.failed(), "move_failed", "FailedFolder", "FailedTerm");
  }
  SetModified();
}

}  // namespace zv::monitor::ui
