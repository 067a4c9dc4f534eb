#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "companion/common.h"
#include "companion/services.h"
#include "companion/trace.h"
#include "monitor/settings/text_ids.h"
#include "monitor/ui/sheet_dialogs.h"
#include "monitor/ui/sheet_pages.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "sort/Wimbrel.h"
#include "sort/sort.h"

namespace zv::monitor::ui {

namespace {

void Trace(const std::string& text) { ZV_TRACE("_Hopvale", text); }
QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

std::string SummaryPath(const EnvFiles& env) { return platform::JoinPath(env.folder, "FolderMonitorSet.txt"); }

}  // namespace

CSortFolderProPage::CSortFolderProPage(CZorvanProSheet& sheet) : SheetPage(sheet) {
  setObjectName("CSortFolderProPage");
  auto* layout = new QVBoxLayout(this);
  enabled_ = new QCheckBox(Tr(kLblSortEnabled), this);
  layout->addWidget(enabled_);
  auto* f = new QFormLayout;
  auto* topRow = new QHBoxLayout;
  top_ = new QLineEdit(this);
  top_->setMaxLength(255);
  auto* browse = new QPushButton(Tr(kLblBrowse), this);
  topRow->addWidget(top_, 1);
  topRow->addWidget(browse);
  f->addRow(Tr(kLblTopFolder), topRow);
  link_ = new QComboBox(this);
  f->addRow(Tr(kLblLinkFolder), link_);
  auto* buttons = new QHBoxLayout;
  auto* toFolder = new QPushButton(Tr(kLblBinderToFolder), this);
  auto* toBinder = new QPushButton(Tr(kLblFolderToBinder), this);
  buttons->addWidget(toFolder);
  buttons->addWidget(toBinder);
  buttons->addStretch();
  f->addRow(buttons);
  interval_ = new QLineEdit(this);
  interval_->setMaxLength(3);
  f->addRow(Tr(kLblInterval), interval_);
  auto* pos = new QHBoxLayout;
  front_ = new QRadioButton(Tr(kLblFront), this);
  back_ = new QRadioButton(Tr(kLblBack), this);
  pos->addWidget(front_);
  pos->addWidget(back_);
  pos->addStretch();
  f->addRow(Tr(kLblInsertAt), pos);
  hide_ = new QCheckBox(Tr(kLblHideSaveFolders), this);
  f->addRow(hide_);
  auto* show = new QPushButton(Tr(kLblShowLinks), this);
  f->addRow(show);
  layout->addLayout(f);
  layout->addStretch();

  auto edited = [this] {
    Store();
    SetModified();
  };
  connect(enabled_, &QCheckBox::toggled, this, edited);
  connect(top_, &QLineEdit::textEdited, this, edited);
  connect(interval_, &QLineEdit::textEdited, this, edited);
  connect(link_, &QComboBox::activated, this, edited);
  connect(front_, &QRadioButton::toggled, this, edited);
  connect(hide_, &QCheckBox::toggled, this, edited);
  connect(browse, &QPushButton::clicked, this, [this, edited] {
    const std::string chosen = BrowseFolder(this, S(top_->text()), sheet_.context().options.serviceMode == 1);
    if (chosen.empty()) return;
    top_->setText(Q(chosen));
    edited();
  });
  connect(toFolder, &QPushButton::clicked, this, [this] { BinderToFolder(); });
  connect(toBinder, &QPushButton::clicked, this, [this] { FolderToBinder(); });
  connect(show, &QPushButton::clicked, this, [this] {
    const std::string path = WriteSummary();
    if (!path.empty()) platform::ShellOpen(path);
  });
}

QString CSortFolderProPage::Title() const { return Tr(kLblTabSort); }

bool CSortFolderProPage::Load() {
  SortSettings read;
  if (!ReadSortSettings(sheet_.context().env.settings, read)) {
    companion::ComShowMessage(MonitorText(kIdsOtherLoadFailed), companion::kMbOk | companion::kMbIconWarning);
    return false;
  }
  settings_ = std::move(read);
  readTop_ = settings_.sortFolder;
  readLink_ = settings_.linkFolder;
  relink_ = false;
  const QSignalBlocker b1(enabled_), b2(top_), b3(link_), b4(interval_), b5(front_), b6(hide_), b7(back_);
  enabled_->setChecked(settings_.enabled == 1);
  top_->setText(Q(settings_.sortFolder));
  link_->clear();
  const companion::ViewerFolders viewer = companion::ReadViewerFolders();
  for (int k = 0; k < 3; ++k)
    if (!viewer.link[k].empty())
      link_->addItem(Q(viewer.name[k].empty() ? viewer.link[k] : viewer.name[k]), Q(viewer.link[k]));
  int at = -1;
  for (int i = 0; i < link_->count(); ++i)
    if (!settings_.linkFolder.empty() && SameFolder(S(link_->itemData(i).toString()), settings_.linkFolder)) at = i;
  if (at < 0 && !settings_.linkFolder.empty()) {
    link_->addItem(Q(settings_.linkFolder), Q(settings_.linkFolder));
    at = link_->count() - 1;
  }
  link_->setCurrentIndex(at);
  interval_->setText(QString::number(settings_.checkTimer));
  (settings_.insertPos == 2 ? back_ : front_)->setChecked(true);
  hide_->setChecked(settings_.hideSaveFolders());
  return true;
}

std::string CSortFolderProPage::LinkPath() const {
  return link_->currentIndex() < 0 ? "" : S(link_->currentData().toString());
}

std::string CSortFolderProPage::LinkName() const {
  if (link_->currentIndex() < 0) return "";
  const std::string path = LinkPath();
  const companion::ViewerFolders viewer = companion::ReadViewerFolders();
  for (int k = 0; k < 3; ++k)
    if (!viewer.link[k].empty() && SameFolder(viewer.link[k], path) && !viewer.name[k].empty()) return viewer.name[k];
  return platform::LastComponent(platform::TrimTrailingSeparator(path));
}

void CSortFolderProPage::Store() {
  settings_.enabled = enabled_->isChecked() ? 1 : 0;
  settings_.sortFolder = S(top_->text());
  settings_.linkFolder = LinkPath();
  settings_.checkTimer = interval_->text().toInt();
  settings_.insertPos = back_->isChecked() ? 2 : 1;
  settings_.showSaveFolder = hide_->isChecked() ? 0 : 1;
  if (!SameFolder(settings_.sortFolder, readTop_) || !SameFolder(settings_.linkFolder, readLink_)) relink_ = true;
}

void CSortFolderProPage::Validate(SheetErrors& errors) {
  if (settings_.enabled != 1) return;
  CheckSortPage(settings_.sortFolder, settings_.linkFolder, sheet_.Places(), errors);
  CheckInterval(S(interval_->text()), errors);
}

void CSortFolderProPage::Contribute(WatchedPlaces& places) const {
  if (settings_.enabled == 1) places.sortTop = settings_.sortFolder;
}

bool CSortFolderProPage::CheckForButtons() {
  Store();
  SheetErrors errors;
  CheckSortPage(settings_.sortFolder, settings_.linkFolder, sheet_.Places(), errors);
  if (errors.empty()) return true;
  companion::ComShowMessage(errors.BoxText(), companion::kMbOk | companion::kMbIconWarning);
  return false;
}

bool CSortFolderProPage::BinderToFolder() {
  if (!CheckForButtons()) return false;
  // The link folder is where binders are read, the top folder where folders
  // are made.
  if (::FromBinderToFolder(settings_.linkFolder.c_str(), settings_.sortFolder.c_str(), LinkName().c_str()) != 0) {
    relink_ = true;
    SetModified();
  }
  return true;
}

bool CSortFolderProPage::FolderToBinder() {
  if (!CheckForButtons()) return false;
  const WimbrelWindow owner = static_cast<WimbrelWindow>(window()->winId());
  if (::FromFolderToBinder(settings_.linkFolder.c_str(), settings_.sortFolder.c_str(), LinkName().c_str(), owner) !=
      0) {
    relink_ = true;
    SetModified();
  }
  return true;
}

bool CSortFolderProPage::Link() {
  ProgressWindow progress(Tr(kLblTabSort), Tr(kIdsPleaseWait), Tr(kIdsBlank), this);
  progress.ShowNow();
  platform::RemoveFile(UnmatchedListPath());
  platform::RemoveFile(SummaryPath(sheet_.context().env));
  platform::RemoveFile(sort::FolderErrorListPath());
  sort::LinkOptions options;
  options.maxLinks = settings_.setTotalMax;
  options.hideSaveFolders = settings_.hideSaveFolders() ? 1 : 0;
  const sort::LinkResult result = sort::LinkSortFolder(settings_.sortFolder, settings_.linkFolder, options);
  if (result.folderErrors || platform::IsFile(sort::FolderErrorListPath())) {
    Trace("%temp%\\Zorvan\\AutoImp_FolderError.txt exsit");
    progress.close();
    OpneFolderErrorTxt();
    return false;
  }
  progress.close();
  if (!result.unmatched.empty()) {
    CUnmatchedFoldersDlg dlg(this);
    if (dlg.exec() == QDialog::Accepted) return false;
  }
  settings_.links.clear();
  for (const sort::Link& l : result.links) {
    SortLink link;
    link.folder = l.folder;
    link.binder = l.binder;
    link.setNumber = l.setNumber;
    link.deleteDate = l.deleteFolderDate;
    link.searchBinder = l.searchBinderFlag;
    settings_.links.push_back(std::move(link));
  }
  return true;
}

bool CSortFolderProPage::BeforeSave() {
  Store();
  const bool mustLink = settings_.enabled == 1 && relink_;
  const std::string question =
      mustLink ? MonitorText(kIdsSortLinkAsk) + MonitorText(kIdsSortLinkAskMore) : MonitorText(kIdsSortSaveWithoutLink);
  const int answer = companion::ComShowMessage(question, companion::kMbYesNoCancel | companion::kMbIconQuestion);
  if (answer == companion::kIdCancel) return false;
  if (answer == companion::kIdNo) {
    Load();
    SetModified(false);
    return true;
  }
  return mustLink ? Link() : true;
}

bool CSortFolderProPage::Write(const std::string& file) {
  // Each link keeps its binder's own creation stamp, the one the
  // recreated-binder test compares with.
  for (SortLink& l : settings_.links) l.setDate = BinderCreationStamp(sheet_.context().env.settings, l.binder);
  return WriteSortSettings(file, settings_);
}

void CSortFolderProPage::Saved() {
  readTop_ = settings_.sortFolder;
  readLink_ = settings_.linkFolder;
  relink_ = false;
}

std::string CSortFolderProPage::WriteSummary() const {
  if (settings_.links.empty()) return "";
  std::vector<sort::Link> links;
  for (const SortLink& l : settings_.links) {
    sort::Link k;
    k.folder = l.folder;
    k.binder = l.binder;
    links.push_back(std::move(k));
  }
  const std::string path = SummaryPath(sheet_.context().env);
  if (!platform::WriteFileAtomic(path,
                                 sort::LinksSummary(settings_.enabled == 1, settings_.sortFolder, LinkName(), links)))
    return "";
  return path;
}

}  // namespace zv::monitor::ui
