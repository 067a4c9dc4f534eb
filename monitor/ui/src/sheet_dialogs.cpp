#include "monitor/ui/sheet_dialogs.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QStyle>
#include <QVBoxLayout>

#include "companion/common.h"
#include "companion/services.h"
#include "companion/trace.h"
#include "dravel/dravel.h"
#include "monitor/settings/profile.h"
#include "monitor/settings/text_ids.h"
#include "monitor/ui/settings_sheet.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/text.h"

namespace zv::monitor::ui {

namespace {

void Trace(const std::string& text) { ZV_TRACE("_Hopvale", text); }
QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

int Warn(const std::string& text, int style = companion::kMbOk | companion::kMbIconWarning) {
  return companion::ComShowMessage(text, style);
}

}  // namespace

QString Tr(int id) { return Q(MonitorText(id)); }

void NameButtons(QDialogButtonBox* box) {
  const std::pair<QDialogButtonBox::StandardButton, int> names[] = {
      {QDialogButtonBox::Ok, kLblOk}, {QDialogButtonBox::Cancel, kLblCancel}, {QDialogButtonBox::Apply, kLblApply}};
  for (const auto& [which, id] : names)
    if (QPushButton* b = box->button(which)) b->setText(Tr(id));
}

void PrepareFolderDialog(QFileDialog& dlg) {
  dlg.setWindowTitle(Tr(kLblSelectFolder));
  dlg.setFileMode(QFileDialog::Directory);
  dlg.setOption(QFileDialog::ShowDirsOnly, true);
  dlg.setOption(QFileDialog::DontUseNativeDialog, true);
  dlg.setLabelText(QFileDialog::LookIn, Tr(kLblLookIn));
  dlg.setLabelText(QFileDialog::FileName, Tr(kLblFolderName));
  dlg.setLabelText(QFileDialog::FileType, Tr(kLblFileType));
  dlg.setLabelText(QFileDialog::Accept, Tr(kLblChoose));
  dlg.setLabelText(QFileDialog::Reject, Tr(kLblCancel));
}

std::string BrowseFolder(QWidget* parent, const std::string& current, bool serviceMode) {
  QFileDialog dlg(parent);
  PrepareFolderDialog(dlg);
  std::string start = current;
  if (start.empty() || !platform::IsFolder(start)) start = serviceMode ? "/" : S(QDir::homePath());
  dlg.setDirectory(Q(start));
  // A folder that may not be written (read-only, a read-only medium) cannot
  // be chosen.
  auto gate = [&dlg](const QString& path) {
    if (auto* box = dlg.findChild<QDialogButtonBox*>()) {
      for (QAbstractButton* b : box->buttons())
        if (box->buttonRole(b) == QDialogButtonBox::AcceptRole)
          b->setEnabled(platform::MayWriteFolder(S(path.isEmpty() ? dlg.directory().absolutePath() : path)));
    }
  };
  QObject::connect(&dlg, &QFileDialog::currentChanged, &dlg, gate);
  QObject::connect(&dlg, &QFileDialog::directoryEntered, &dlg, gate);
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return "";
  const std::string chosen = S(dlg.selectedFiles().first());
  if (!platform::MayWriteFolder(chosen)) return "";
  for (QWidget* w = parent; w != nullptr; w = w->parentWidget())
    if (auto* sheet = qobject_cast<CZorvanProSheet*>(w)) sheet->NoteFolder(chosen);
  return chosen;
}

// ---- attach information ----------------------------------------------------------

CTextInfoDlg::CTextInfoDlg(QWidget* parent) : QDialog(parent) {
  setObjectName("CTextInfoDlg");
  setWindowTitle(Tr(kLblTextInfoTitle));
  auto* layout = new QVBoxLayout(this);
  name_ = new QCheckBox(Tr(kLblTextInfoName), this);
  file_ = new QCheckBox(Tr(kLblTextInfoFile), this);
  fixed_ = new QCheckBox(Tr(kLblTextInfoFixed), this);
  text_ = new QLineEdit(this);
  bytes_ = new QLabel(this);
  layout->addWidget(name_);
  layout->addWidget(file_);
  layout->addWidget(fixed_);
  auto* row = new QHBoxLayout;
  row->addWidget(text_, 1);
  row->addWidget(bytes_);
  layout->addLayout(row);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  NameButtons(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  connect(text_, &QLineEdit::textChanged, this, [this] { OnEdited(); });
  connect(fixed_, &QCheckBox::toggled, text_, &QWidget::setEnabled);
  text_->setEnabled(false);
  OnEdited();
}

bool CTextInfoDlg::SetTextInfoParam(int flag, const std::string& text) {
  if (flag < 0 || flag > 7) {
    Trace("CTextInfoDlg::SetTextInfoParam() failed.");
    return false;
  }
  name_->setChecked((flag & 1) != 0);
  file_->setChecked((flag & 2) != 0);
  fixed_->setChecked((flag & 4) != 0);
  text_->setText(Q(CutTextInfo(text)));
  return true;
}

void CTextInfoDlg::OnEdited() {
  // The reader keeps 50 bytes cut on a character boundary: the field keeps
  // the same, so what is typed is what is stored.
  const std::string typed = S(text_->text());
  const std::string kept = CutTextInfo(typed);
  if (kept != typed) {
    const QSignalBlocker block(text_);
    text_->setText(Q(kept));
  }
  bytes_->setText(Q(platform::FillInOrder(MonitorText(kLblTextInfoBytes), {std::to_string(kept.size())})));
}

int CTextInfoDlg::flag() const {
  return (name_->isChecked() ? 1 : 0) | (file_->isChecked() ? 2 : 0) | (fixed_->isChecked() ? 4 : 0);
}

std::string CTextInfoDlg::text() const { return CutTextInfo(S(text_->text())); }

std::string TextInfoSummary(int flag, const std::string& text, const std::string& settingName, bool otherFaxSetting) {
  std::vector<std::string> parts;
  if ((flag & 1) != 0) parts.push_back(otherFaxSetting ? MonitorText(kIdsOtherSettingName) : settingName);
  if ((flag & 2) != 0) parts.push_back(MonitorText(kIdsReadFileName));
  if ((flag & 4) != 0) parts.push_back(text);
  std::string out;
  for (const std::string& p : parts) out += (out.empty() ? "" : " ") + p;
  return out;
}

// ---- recipients -----------------------------------------------------------------

CSendResult::CSendResult(int maxUser, QWidget* parent) : QDialog(parent), maxUser_(maxUser < 1 ? 50 : maxUser) {
  setObjectName("CSendResult");
  setWindowTitle(Tr(kLblSendResultTitle));
  auto* layout = new QVBoxLayout(this);
  list_ = new QListWidget(this);
  layout->addWidget(list_);
  auto* row = new QHBoxLayout;
  auto* all = new QPushButton(Tr(kLblCheckAll), this);
  auto* none = new QPushButton(Tr(kLblClearAll), this);
  row->addWidget(all);
  row->addWidget(none);
  row->addStretch();
  layout->addLayout(row);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  NameButtons(buttons);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  connect(buttons, &QDialogButtonBox::accepted, this, &CSendResult::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  auto setAll = [this](bool on) {
    for (int i = 0; i < list_->count(); ++i) list_->item(i)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
  };
  connect(all, &QPushButton::clicked, this, [setAll] { setAll(true); });
  connect(none, &QPushButton::clicked, this, [setAll] { setAll(false); });
}

bool CSendResult::SetSendResultParam(int count, const std::vector<std::string>& users) {
  auto fail = [this](const std::string& trace) {
    Trace(trace);
    ok_->setEnabled(false);
    const std::string text = MonitorText(kIdsRecipientsUnreadable);
    companion::ComShowMessageBox(text, MonitorText(kIdsProductName), companion::kMbOk | companion::kMbIconWarning);
    Trace(text);
    return false;
  };
  if (count < 0 || static_cast<std::size_t>(count) > users.size()) {
    Trace("CSendResult::SetSendResultParam() failed.");
    return false;
  }
  const std::string self = companion::ThisUserName();
  char path[DRAVEL_PATH_MAX] = {0};
  if (GetAndCheckImpSendUserdat(path) != 0) return fail("Function GetAndCheckImpSendUserdat() failed.");
  int n = ProfileRead("users", "count", 0, path);
  if (n < 0 || n > maxUser_) n = 0;
  std::vector<std::string> names;
  for (int m = 1; m <= n; ++m) {
    const std::string name = ProfileRead("users", "username" + std::to_string(m), "", path);
    if (!companion::IsValidUserName(name)) return fail("Username is valid, please check the enviroment.");
    names.push_back(name);
  }
  list_->clear();
  for (const std::string& name : names) {
    const bool own = platform::EqualsNoCase(name, self);
    auto* item = new QListWidgetItem(Q(own ? name + MonitorText(kIdsLocalUserMark) : name), list_);
    item->setData(Qt::UserRole, Q(name));
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    bool checked = false;
    for (int k = 0; k < count; ++k)
      checked = checked || platform::EqualsNoCase(users[static_cast<std::size_t>(k)], name);
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
  }
  ok_->setEnabled(true);
  return true;
}

std::vector<std::string> CSendResult::users() const {
  std::vector<std::string> out;
  for (int i = 0; i < list_->count(); ++i)
    if (list_->item(i)->checkState() == Qt::Checked) out.push_back(S(list_->item(i)->data(Qt::UserRole).toString()));
  return out;
}

void CSendResult::accept() {
  if (users().empty()) {
    companion::ComShowMessageBox(MonitorText(kIdsNoRecipientChecked), MonitorText(kIdsProductName),
                                 companion::kMbOk | companion::kMbIconInfo);
    return;
  }
  QDialog::accept();
}

// ---- save folders of imported files ----------------------------------------------

CInputFileDlg::CInputFileDlg(const std::string& kind, const SaveFolderValues& succeeded, const SaveFolderValues& failed,
                             int optionMoveSucceeded, int optionMoveFailed, int optionTerm, WatchedPlaces places,
                             bool serviceMode, QWidget* parent)
    : QDialog(parent),
      kind_(kind),
      places_(std::move(places)),
      read_{succeeded, failed},
      optionMove_{optionMoveSucceeded, optionMoveFailed} {
  setObjectName("CInputFileDlg");
  setWindowTitle(Tr(kLblInputFileTitle));
  auto* layout = new QVBoxLayout(this);
  for (int g = 0; g < 2; ++g) {
    const SaveFolderValues& v = read_[g];
    auto* box = new QGroupBox(Tr(g == 0 ? kLblSucceededFiles : kLblFailedFiles), this);
    auto* grid = new QGridLayout(box);
    move_[g] = new QRadioButton(Tr(kLblMove), box);
    del_[g] = new QRadioButton(Tr(kLblDeleteFiles), box);
    const int mode = std::atoi(v.move.c_str()) == -1 ? optionMove_[g] : std::atoi(v.move.c_str());
    (mode == 1 ? del_[g] : move_[g])->setChecked(true);
    default_[g] = new QCheckBox(Tr(kLblDefaultFolder), box);
    default_[g]->setChecked(v.folder.empty());
    folder_[g] = new QLineEdit(Q(v.folder), box);
    auto* browse = new QPushButton(Tr(kLblBrowse), box);
    term_[g] = new QSpinBox(box);
    term_[g]->setRange(0, 999);
    const int days = std::atoi(v.term.c_str());
    shownTerm_[g] = days < 0 ? optionTerm : days;
    term_[g]->setValue(shownTerm_[g]);
    all_[g] = new QCheckBox(Q(platform::FillInOrder(MonitorText(kLblApplyToAll), {kind})), box);
    grid->addWidget(move_[g], 0, 0);
    grid->addWidget(del_[g], 0, 1);
    grid->addWidget(default_[g], 1, 0, 1, 2);
    grid->addWidget(folder_[g], 2, 0, 1, 2);
    grid->addWidget(browse, 2, 2);
    grid->addWidget(new QLabel(Tr(kLblDeleteAfter), box), 3, 0);
    grid->addWidget(term_[g], 3, 1);
    grid->addWidget(new QLabel(Tr(kLblDays), box), 3, 2);
    grid->addWidget(all_[g], 4, 0, 1, 3);
    layout->addWidget(box);
    auto sync = [this, g, browse] {
      const bool moving = move_[g]->isChecked();
      default_[g]->setEnabled(moving);
      folder_[g]->setEnabled(moving && !default_[g]->isChecked());
      browse->setEnabled(folder_[g]->isEnabled());
      term_[g]->setEnabled(moving);
    };
    connect(move_[g], &QRadioButton::toggled, this, sync);
    connect(default_[g], &QCheckBox::toggled, this, sync);
    connect(browse, &QPushButton::clicked, this, [this, g, serviceMode] {
      const std::string chosen = BrowseFolder(this, S(folder_[g]->text()), serviceMode);
      if (!chosen.empty()) folder_[g]->setText(Q(chosen));
    });
    sync();
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  NameButtons(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &CInputFileDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

SaveFolderValues CInputFileDlg::Values(int g) const {
  SaveFolderValues v = read_[g];
  const int readMode = std::atoi(v.move.c_str());
  const int shownMode = readMode == -1 ? optionMove_[g] : readMode;
  const int mode = del_[g]->isChecked() ? 1 : 0;
  if (mode != (shownMode == 1 ? 1 : 0)) v.move = std::to_string(mode);
  v.folder = default_[g]->isChecked() ? "" : S(folder_[g]->text());
  if (term_[g]->value() != shownTerm_[g]) v.term = std::to_string(term_[g]->value());
  return v;
}

void CInputFileDlg::accept() {
  SheetErrors errors;
  for (int g = 0; g < 2; ++g) {
    if (!move_[g]->isChecked() || default_[g]->isChecked()) continue;
    const std::string folder = S(folder_[g]->text());
    const std::string which = MonitorText(g == 0 ? kIdsSuccessFolderName : kIdsFailFolderName);
    SheetErrors mine;
    const SaveFolderVerdict verdict = CheckSaveFolder(folder, kind_, which, places_, mine);
    if (verdict == SaveFolderVerdict::AskCreate) {
      const int answer =
          companion::ComShowMessageBox(MonitorText(kIdsChkSaveMissingAsk), MonitorText(kIdsInquiryCaption),
                                       companion::kMbYesNo | companion::kMbIconQuestion);
      if (answer != companion::kIdYes) return;
      if (!platform::MakeFolders(folder)) {
        Warn(MonitorText(kIdsChkSaveCreateFailed));
        return;
      }
    }
    errors.Append(mine);
  }
  if (!errors.empty()) {
    Warn(errors.BoxText());
    return;
  }
  QDialog::accept();
}

// ---- unmatched folders ------------------------------------------------------------

std::string UnmatchedListPath() {
  return platform::JoinPath(platform::JoinPath(platform::TempFolder(), "Zorvan"), "AutoImp_FolderList.txt");
}

CUnmatchedFoldersDlg::CUnmatchedFoldersDlg(QWidget* parent) : QDialog(parent) {
  setObjectName("CUnmatchedFoldersDlg");
  setWindowTitle(Tr(kIdsProductName));
  auto* layout = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  auto* icon = new QLabel(this);
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
  row->addWidget(icon, 0, Qt::AlignTop);
  row->addWidget(new QLabel(Tr(kLblUnmatchedText), this), 1);
  layout->addLayout(row);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  NameButtons(buttons);
  auto* list = buttons->addButton(Tr(kLblFolderList), QDialogButtonBox::ActionRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(list, &QPushButton::clicked, this, [] { OpenFolderList(); });
  layout->addWidget(buttons);
}

bool CUnmatchedFoldersDlg::OpenFolderList() {
  const std::string path = UnmatchedListPath();
  platform::MakeFolders(platform::ParentFolder(path));
  if (!platform::IsFile(path)) {
    Warn(MonitorText(kIdsUnmatchedListMissing));
    Trace(MonitorText(kIdsUnmatchedListMissing));
    Trace(path);
    return false;
  }
  return platform::ShellOpen(path);
}

// ---- progress -------------------------------------------------------------------

ProgressWindow::ProgressWindow(const QString& line1, const QString& line2, const QString& line3, QWidget* parent)
    : QDialog(parent) {
  setObjectName("ProgressWindow");
  setWindowTitle(Tr(kIdsProductName));
  setModal(false);
  auto* layout = new QVBoxLayout(this);
  for (const QString& l : {line1, line2, line3}) layout->addWidget(new QLabel(l, this));
}

void ProgressWindow::ShowNow() {
  show();
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace zv::monitor::ui
