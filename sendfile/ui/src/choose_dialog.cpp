#include <QButtonGroup>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <ctime>

#include "companion/common.h"
#include "companion/services.h"
#include "dravel/dravel.h"
#include "platform/library.h"
#include "platform/paths.h"
#include "sendfile/recipients.h"
#include "sendfile/ui/marloft.h"
#include "sendfile/window_state.h"

namespace zv::sendfile::ui {

namespace {

constexpr int kFolderRole = Qt::UserRole;       // binder folder, or link folder path
constexpr int kKindRole = Qt::UserRole + 1;     // 0 link folder, 1 library, 2 cabinet, 3 binder
constexpr int kSecuredRole = Qt::UserRole + 2;  // binder: secured
constexpr int kNameRole = Qt::UserRole + 3;     // recipient: the bare name
constexpr const char* kPlaceholder = "HideCabnet";

QString Q(const std::string& s) { return QString::fromStdString(s); }

int Show(const std::string& text, int icon) {
  return companion::ComShowMessageBox(text, TextOf(Text::Caption), icon | companion::kMbTopMost);
}

}  // namespace

ChooseDialog::ChooseDialog(DropRequest drop, QWidget* parent)
    : QDialog(parent), drop_(std::move(drop)), send_(&SendDroppedPages) {
  setWindowTitle(Q(TextOf(Text::ChooseTitle)));
  auto* layout = new QVBoxLayout(this);
  auto* middle = new QHBoxLayout;
  tree_ = new QTreeWidget(this);
  tree_->setHeaderHidden(true);
  tree_->setMinimumSize(260, 260);
  middle->addWidget(tree_, 2);
  auto* right = new QVBoxLayout;
  right->addWidget(new QLabel(Q(TextOf(Text::Recipients)), this));
  users_ = new QListWidget(this);
  right->addWidget(users_, 1);
  auto* position = new QGroupBox(this);
  auto* positionLayout = new QVBoxLayout(position);
  front_ = new QRadioButton(Q(TextOf(Text::Front)), position);
  back_ = new QRadioButton(Q(TextOf(Text::Back)), position);
  back_->setChecked(true);
  positionLayout->addWidget(front_);
  positionLayout->addWidget(back_);
  right->addWidget(position);
  middle->addLayout(right, 1);
  layout->addLayout(middle);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &ChooseDialog::Accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(front_, &QRadioButton::toggled, this,
          [](bool on) { ToolLog(__FILE__, __LINE__, on ? "Set insert to front" : "Set insert to back"); });
  connect(tree_, &QTreeWidget::itemExpanded, this, &ChooseDialog::Expand);
  // The library's send functions are loaded by name for each insertion;
  // a library that cannot be loaded at all is told before anything else.
  if (!platform::SharedLibrary::Open(platform::JoinPath(platform::ProgramFolder(), "libDravel.so"))) {
    ToolLog(__FILE__, __LINE__, "Load Dravel.dll failed.");
    Show(TextOf(Text::DllLoadFailed), companion::kMbIconWarning);
    return;
  }
  ready_ = LoadUsers() && LoadTree();
}

ChooseDialog::~ChooseDialog() {
  // Never left running: it may still ask this dialog a question.
  if (worker_ != nullptr) worker_->wait();
}

void ChooseDialog::reject() {
  if (sending()) return;  // the pages are being filed: the result must be handled
  QDialog::reject();
}

bool ChooseDialog::LoadUsers() {
  char path[DRAVEL_PATH_MAX] = {};
  if (GetAndCheckImpSendUserdat(path) != 0) {
    ToolLog(__FILE__, __LINE__, "Get user information list failed.");
    Show(TextOf(Text::UserReadFailed), companion::kMbIconWarning);
    return false;
  }
  const UserList list = ReadUserList(path, ReadToolSettings().maxUser);
  if (list.status == ListStatus::BadCount || list.status == ListStatus::Unreadable ||
      list.status == ListStatus::OverMax) {
    ToolLog(__FILE__, __LINE__,
            list.status == ListStatus::OverMax ? "User count is over max user count."
                                               : "Get user count error or max count error.");
    Show(TextOf(Text::UserReadFailed), companion::kMbIconWarning);
    return false;
  }
  if (list.status == ListStatus::BadName) ToolLog(__FILE__, __LINE__, "Error in name list.");
  const std::string me = companion::ThisUserName();
  for (const auto& name : list.names) {
    auto* item = new QListWidgetItem(Q(SameName(name, me) ? name + TextOf(Text::LocalSuffix) : name), users_);
    item->setData(kNameRole, Q(name));
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
  }
  ToolLog(__FILE__, __LINE__, "Get name list succeed.");
  return true;
}

bool ChooseDialog::LoadTree() {
  if (companion::ViewerFolderListPath().empty()) {
    ToolLog(__FILE__, __LINE__, "commmoninfo.ini get failed.");
    Show(TextOf(Text::LinkFolderInfoFailed), companion::kMbIconWarning);
    ToolLog(__FILE__, __LINE__, "Initial tree view failed.");
    return false;
  }
  for (const LinkFolderNode& link : ReadLinkFolderNodes()) {
    auto* item = new QTreeWidgetItem(tree_, QStringList(Q(link.name)));
    item->setData(0, kFolderRole, Q(link.path));
    item->setData(0, kKindRole, 0);
    new QTreeWidgetItem(item, QStringList(kPlaceholder));
    if (link.current) {
      Fill(item);
      if (item->childCount() > 0 && item->child(0)->text(0) != kPlaceholder) item->setExpanded(true);
    }
  }
  ToolLog(__FILE__, __LINE__, "Set tree view succeed.");
  return true;
}

void ChooseDialog::Fill(QTreeWidgetItem* linkItem) {
  std::vector<LibraryNode> libraries;
  if (!LoadLinkFolder(linkItem->data(0, kFolderRole).toString().toStdString(), libraries)) {
    ToolLog(__FILE__, __LINE__, "Linkfolder is not accessable and creat a fake chile item.");
    return;  // the placeholder stays: a later expansion tries again
  }
  qDeleteAll(linkItem->takeChildren());
  for (const LibraryNode& lib : libraries) {
    if (!lib.ok) ToolLog(__FILE__, __LINE__, "Library in this linkfolder information read error.");
    auto* libItem = new QTreeWidgetItem(linkItem, QStringList(Q(lib.name)));
    libItem->setData(0, kKindRole, 1);
    for (const CabinetNode& cab : lib.cabinets) {
      if (!cab.ok) ToolLog(__FILE__, __LINE__, "Cabnet in this library information read error.");
      auto* cabItem = new QTreeWidgetItem(libItem, QStringList(Q(cab.name)));
      cabItem->setData(0, kKindRole, 2);
      for (const BinderNode& b : cab.binders) {
        auto* bItem = new QTreeWidgetItem(cabItem, QStringList(Q(b.title)));
        bItem->setData(0, kKindRole, 3);
        bItem->setData(0, kFolderRole, Q(b.folder));
        bItem->setData(0, kSecuredRole, b.secured);
      }
    }
  }
  ToolLog(__FILE__, __LINE__, "Load linkfolder information succeed.");
}

void ChooseDialog::Expand(QTreeWidgetItem* item) {
  if (item->data(0, kKindRole).toInt() == 0 && item->childCount() == 1 && item->child(0)->text(0) == kPlaceholder)
    Fill(item);
}

bool ChooseDialog::SelectBinder(const std::string& folder) {
  for (int i = 0; i < tree_->topLevelItemCount(); ++i) Expand(tree_->topLevelItem(i));
  QTreeWidgetItemIterator it(tree_);
  for (; *it; ++it) {
    if ((*it)->data(0, kKindRole).toInt() == 3 && (*it)->data(0, kFolderRole).toString().toStdString() == folder) {
      tree_->setCurrentItem(*it);
      return true;
    }
  }
  return false;
}

void ChooseDialog::Accept() {
  QTreeWidgetItem* item = tree_->currentItem();
  if (item == nullptr || item->data(0, kKindRole).toInt() != 3) {
    ToolLog(
        __FILE__, __LINE__,
        item == nullptr ? "Binder item handle is null." : "Get selected tree view binder item set information error.");
    return;
  }
  SendTarget target;
  target.binderFolder = item->data(0, kFolderRole).toString().toStdString();
  target.binderTitle = item->text(0).toStdString();
  target.secured = item->data(0, kSecuredRole).toBool();
  QTreeWidgetItem* link = item;
  while (link->parent() != nullptr) link = link->parent();
  target.linkFolder = link->data(0, kFolderRole).toString().toStdString();
  target.linkName = link->text(0).toStdString();

  if (sending()) return;
  // The insertion runs on a worker thread; only the question about whole
  // files comes back to the window thread (the worker waits for the
  // answer). The page-room request and the move notice wait on the worker.
  SendHooks hooks;
  hooks.confirmWholeFiles = [this] {
    bool yes = false;
    QMetaObject::invokeMethod(
        this,
        [&yes] {
          yes = Show(TextOf(Text::ConfirmWholeFiles), companion::kMbOkCancel | companion::kMbIconWarning) ==
                companion::kIdOk;
        },
        Qt::BlockingQueuedConnection);
    return yes;
  };
  const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
  const int position = front_->isChecked() ? 0 : 1;
  auto result = std::make_shared<SendOutcome>();
  worker_ = QThread::create([send = send_, drop = drop_, target, position, now, hooks, result] {
    *result = send(drop, target, position, now, hooks);
  });
  connect(worker_, &QThread::finished, this, [this, target, now, result] {
    worker_->wait();
    worker_->deleteLater();
    worker_ = nullptr;
    outcome_ = *result;
    unsetCursor();
    setEnabled(true);
    Finish(target, now);
  });
  setEnabled(false);
  setCursor(Qt::BusyCursor);
  worker_->start();
}

void ChooseDialog::Finish(const SendTarget& target, std::int64_t now) {
  if (outcome_.cancelled) return;
  if (outcome_.code != 0) {
    const std::string text = OutcomeMessage(outcome_);
    const bool stop = text.find("エラーが発生しました") != std::string::npos;
    Show(text, stop ? companion::kMbIconStop : companion::kMbIconWarning);
    // A refusal before the work desk was asked leaves the choice open.
    if (!outcome_.askedSource) return;
  }
  if (outcome_.code == 0 || outcome_.fromCall) {
    std::vector<std::string> ticked;
    for (int i = 0; i < users_->count(); ++i)
      if (users_->item(i)->checkState() == Qt::Checked)
        ticked.push_back(users_->item(i)->data(kNameRole).toString().toStdString());
    WriteSendResult(target, outcome_, now, ticked);
  }
  ToolLog(__FILE__, __LINE__, "Close SendFileChoose Dialog.");
  if (outcome_.code == 0)
    accept();
  else
    reject();
}

}  // namespace zv::sendfile::ui
