#include "sort/ui/dialogs.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "companion/common.h"
#include "companion/strings.h"
#include "platform/process.h"

namespace zv::sort::ui {

namespace c = companion;

namespace {

QString Q(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
std::string Text(int id) { return c::LoadString(c::StringTable::SortFolder, id); }
QString QText(int id) { return Q(Text(id)); }
QString Filled(int id, const std::string& s) { return QText(id).replace("%s", Q(s)); }

// Item data: the level (0 link folder, 1 library, 2 cabinet, 3 binder) and
// the indexes of the item in the model.
enum Role { kLevel = Qt::UserRole, kLib, kCab, kBinder };

}  // namespace

bool DisplayAvailable() {
  if (QApplication::instance() != nullptr) return true;
  for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* s = std::getenv(v);
    if (s != nullptr && *s != '\0') return true;
  }
  return false;
}

// ---- QtUi ---------------------------------------------------------------------
QtUi::~QtUi() = default;

int QtUi::Message(const std::string& text, const std::string& caption, int style) {
  QMessageBox box(parent_);
  box.setWindowTitle(Q(caption.empty() ? std::string("Wimbrel") : caption));
  box.setText(Q(text).replace("\r\n", "\n"));
  const int icon = style & 0xF0;
  box.setIcon(icon == c::kMbIconStop       ? QMessageBox::Critical
              : icon == c::kMbIconQuestion ? QMessageBox::Question
              : icon == c::kMbIconWarning  ? QMessageBox::Warning
                                           : QMessageBox::Information);
  switch (style & 0xF) {
    case c::kMbOkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case c::kMbYesNoCancel: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel); break;
    case c::kMbYesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    default: box.setStandardButtons(QMessageBox::Ok); break;
  }
  switch (box.exec()) {
    case QMessageBox::Ok: return c::kIdOk;
    case QMessageBox::Yes: return c::kIdYes;
    case QMessageBox::No: return c::kIdNo;
    default: return c::kIdCancel;
  }
}

void QtUi::ProgressOpen(const std::string& title, int total) {
  progress_ = std::make_unique<QDialog>(parent_);
  progress_->setWindowTitle(Q(title));
  auto* layout = new QVBoxLayout(progress_.get());
  item_ = new QLabel(progress_.get());
  bar_ = new QProgressBar(progress_.get());
  bar_->setRange(0, std::max(total, 1));
  count_ = new QLabel(progress_.get());
  layout->addWidget(item_);
  layout->addWidget(bar_);
  layout->addWidget(count_);
  progress_->resize(420, progress_->sizeHint().height());
  progress_->show();
  QApplication::processEvents();
}

void QtUi::ProgressStep(const std::string& item, int done, int total) {
  if (!progress_) return;
  item_->setText(Q(item));
  bar_->setValue(done);
  QString n = QText(29);
  for (int v : {done, total}) {
    const qsizetype at = n.indexOf("%d");
    if (at >= 0) n.replace(at, 2, QString::number(v));
  }
  count_->setText(n);
  QApplication::processEvents();
}

void QtUi::ProgressClose() {
  progress_.reset();
  QApplication::processEvents();
}

void QtUi::ShowFolderErrors(const std::string& text, const std::string& listPath) {
  QMessageBox box(parent_);
  box.setWindowTitle("Wimbrel");
  box.setIcon(QMessageBox::Warning);
  box.setText(Q(text));
  QPushButton* open = box.addButton(QText(27), QMessageBox::AcceptRole);
  box.addButton(QMessageBox::Close);
  box.exec();
  if (box.clickedButton() == open) platform::ShellOpen(listPath);
}

// ---- the binder selection dialog -------------------------------------------------
BinderSelectionDialog::BinderSelectionDialog(const sort::Run& run, sort::BinderTree tree, QWidget* parent)
    : QDialog(parent), run_(run), model_(std::move(tree)) {
  setWindowTitle(QText(16));
  view_ = new QTreeWidget(this);
  view_->setHeaderHidden(true);
  const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
  const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
  const QIcon binder = style()->standardIcon(QStyle::SP_FileIcon);
  auto item = [&](QTreeWidgetItem* parentItem, const std::string& label, int level, int l, int c, int b) {
    auto* it = parentItem ? new QTreeWidgetItem(parentItem) : new QTreeWidgetItem(view_);
    it->setText(0, Q(label));
    it->setData(0, kLevel, level);
    it->setData(0, kLib, l);
    it->setData(0, kCab, c);
    it->setData(0, kBinder, b);
    it->setIcon(0, level == 3 ? binder : closed);
    if (level > 0) {
      it->setFlags(it->flags() | Qt::ItemIsUserCheckable);
      it->setCheckState(0, Qt::Unchecked);
    }
    return it;
  };
  QTreeWidgetItem* root = item(nullptr, Filled(17, model_.linkName).toStdString(), 0, -1, -1, -1);
  root->setIcon(0, open);
  for (int l = 0; l < static_cast<int>(model_.libraries.size()); ++l) {
    const auto& lib = model_.libraries[l];
    QTreeWidgetItem* li = item(root, lib.name, 1, l, -1, -1);
    for (int ci = 0; ci < static_cast<int>(lib.cabinets.size()); ++ci) {
      const auto& cab = lib.cabinets[ci];
      QTreeWidgetItem* cabItem = item(li, cab.name, 2, l, ci, -1);
      for (int b = 0; b < static_cast<int>(cab.binders.size()); ++b) {
        item(cabItem, cab.binders[b].display, 3, l, ci, b);
      }
    }
  }
  root->setExpanded(true);
  connect(view_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* it, int) { Changed(it); });
  // A click on the label or the icon opens or closes the item; a click on
  // the check box only ticks it.
  connect(view_, &QTreeWidget::itemPressed, this,
          [this](QTreeWidgetItem* it, int) { pressedState_ = it->checkState(0); });
  connect(view_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* it, int) {
    if (it->checkState(0) == pressedState_ && it->childCount() > 0) it->setExpanded(!it->isExpanded());
  });
  connect(view_, &QTreeWidget::itemExpanded, this,
          [open](QTreeWidgetItem* it) { it->setIcon(0, it->data(0, kLevel).toInt() == 3 ? it->icon(0) : open); });
  connect(view_, &QTreeWidget::itemCollapsed, this, [closed](QTreeWidgetItem* it) {
    if (it->data(0, kLevel).toInt() != 3) it->setIcon(0, closed);
  });

  all_ = new QPushButton(QText(18), this);
  none_ = new QPushButton(QText(19), this);
  ok_ = new QPushButton(QText(20), this);
  auto* cancel = new QPushButton(QText(21), this);
  connect(all_, &QPushButton::clicked, this, [this] { SetAll(true); });
  connect(none_, &QPushButton::clicked, this, [this] { SetAll(false); });
  connect(ok_, &QPushButton::clicked, this, [this] { Create(); });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(all_);
  buttons->addWidget(none_);
  buttons->addStretch();
  buttons->addWidget(ok_);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(view_);
  layout->addLayout(buttons);
  resize(440, 420);
  UpdateOk();
}

void BinderSelectionDialog::Changed(QTreeWidgetItem* it) {
  if (propagating_ || it->data(0, kLevel).toInt() == 0) return;
  // A ticked or cleared library or cabinet passes its state to everything
  // below it.
  propagating_ = true;
  const Qt::CheckState state = it->checkState(0);
  std::vector<QTreeWidgetItem*> stack{it};
  while (!stack.empty()) {
    QTreeWidgetItem* x = stack.back();
    stack.pop_back();
    x->setCheckState(0, state);
    for (int i = 0; i < x->childCount(); ++i) stack.push_back(x->child(i));
  }
  if (state == Qt::Checked) it->setExpanded(true);
  propagating_ = false;
  UpdateOk();
}

void BinderSelectionDialog::SetAll(bool ticked) {
  propagating_ = true;
  QTreeWidgetItemIterator it(view_);
  for (; *it; ++it) {
    if ((*it)->data(0, kLevel).toInt() > 0) (*it)->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
  }
  propagating_ = false;
  UpdateOk();
}

void BinderSelectionDialog::UpdateOk() {
  bool any = false;
  for (QTreeWidgetItemIterator it(view_); *it && !any; ++it) {
    any = (*it)->data(0, kLevel).toInt() == 3 && (*it)->checkState(0) == Qt::Checked;
  }
  ok_->setEnabled(any);
}

void BinderSelectionDialog::Create() {
  QtUi ui(this);
  if (ui.Message(Text(23), Text(22), c::kMbOkCancel | c::kMbIconQuestion) != c::kIdOk) return;
  model_.TickAll(false);
  for (QTreeWidgetItemIterator it(view_); *it; ++it) {
    if ((*it)->data(0, kLevel).toInt() != 3 || (*it)->checkState(0) != Qt::Checked) continue;
    model_.libraries[(*it)->data(0, kLib).toInt()]
        .cabinets[(*it)->data(0, kCab).toInt()]
        .binders[(*it)->data(0, kBinder).toInt()]
        .ticked = true;
  }
  sort::Run run = run_;
  run.ui = &ui;
  if (sort::BuildFoldersForBinders(run, model_).result == 1) {
    made_ = 1;
    accept();
  }
}

}  // namespace zv::sort::ui
