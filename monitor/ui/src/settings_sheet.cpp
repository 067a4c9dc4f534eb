#include "monitor/ui/settings_sheet.h"

#include <QApplication>
#include <QCursor>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QVBoxLayout>
#include <memory>

#include "companion/common.h"
#include "companion/trace.h"
#include "monitor/settings/profile.h"
#include "monitor/settings/safe_write.h"
#include "monitor/settings/status.h"
#include "monitor/settings/text_ids.h"
#include "monitor/ui/sheet_dialogs.h"
#include "monitor/ui/sheet_pages.h"
#include "platform/clock.h"

namespace zv::monitor::ui {

namespace {

void Trace(const std::string& text) { ZV_TRACE("_Hopvale", text); }

// PropertyFlag 1 for the lifetime of the object, 0 however the sheet ends.
class PropertyFlagScope {
 public:
  PropertyFlagScope(const EnvFiles& env, const std::function<void(bool)>& mark) : env_(env), mark_(mark) {
    SetWorkFlag(env_, kPropertyFlag, true);
    if (mark_) mark_(true);
  }
  ~PropertyFlagScope() {
    if (mark_) mark_(false);
    SetWorkFlag(env_, kPropertyFlag, false);
  }

 private:
  EnvFiles env_;
  std::function<void(bool)> mark_;
};

class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

}  // namespace

SheetPage::SheetPage(CZorvanProSheet& sheet) : QWidget(nullptr), sheet_(sheet) {}

void SheetPage::SetModified(bool on) {
  modified_ = on;
  if (on) sheet_.PageChanged();
}

CZorvanProSheet::CZorvanProSheet(SheetContext context, QWidget* parent)
    : QDialog(parent), context_(std::move(context)), currentFolder_(context_.options.currentFolder) {
  setObjectName("CZorvanProSheet");
  const std::string product =
      context_.options.productName.empty() ? MonitorText(kIdsProductName) : context_.options.productName;
  setWindowTitle(QString::fromStdString(product + " " + MonitorText(kIdsSheetCaption)));
  auto* layout = new QVBoxLayout(this);
  tabs_ = new QTabWidget(this);
  layout->addWidget(tabs_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
  NameButtons(buttons);
  apply_ = buttons->button(QDialogButtonBox::Apply);
  apply_->setEnabled(false);
  connect(buttons, &QDialogButtonBox::accepted, this, &CZorvanProSheet::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(apply_, &QPushButton::clicked, this, [this] { Apply(); });
  layout->addWidget(buttons);
  connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
    if (index == current_) return;
    if (!LeavePage(current_)) {
      const QSignalBlocker block(tabs_);
      tabs_->setCurrentIndex(current_);
      return;
    }
    current_ = index;
  });
}

bool CZorvanProSheet::Init() {
  pages_.push_back(new CReadFileProPage(*this));
  AddOptionalPages();
  pages_.push_back(new COtherProPage(*this));
  for (SheetPage* p : pages_) {
    if (!p->Load()) return false;
    tabs_->addTab(p, p->Title());
  }
  current_ = 0;
  return true;
}

void CZorvanProSheet::AddOptionalPages() {
  pages_.push_back(new CSortFolderProPage(*this));
  if (context_.options.faxMonitorSet != 0) pages_.push_back(new CFaxWatchProPage(*this));
}

void CZorvanProSheet::PageChanged() { apply_->setEnabled(true); }

bool CZorvanProSheet::LeavePage(int index) {
  if (index < 0 || index >= static_cast<int>(pages_.size())) return true;
  SheetPage* p = pages_[static_cast<std::size_t>(index)];
  if (!p->modified()) return true;
  SheetErrors errors;
  p->Validate(errors);
  if (errors.empty()) return true;
  companion::ComShowMessage(errors.BoxText(), companion::kMbOk | companion::kMbIconWarning);
  return false;
}

WatchedPlaces CZorvanProSheet::Places() const {
  WatchedPlaces places;
  for (int k = 0; k < 3; ++k) places.linkFolders.push_back(context_.options.linkFolder[k]);
  for (const std::string& l : companion::ReadViewerFolders().link) places.linkFolders.push_back(l);
  for (SheetPage* p : pages_) p->Contribute(places);
  return places;
}

void CZorvanProSheet::ShowPage(SheetPage* page) {
  const int index = tabs_->indexOf(page);
  if (index < 0) return;
  const QSignalBlocker block(tabs_);
  tabs_->setCurrentIndex(index);
  current_ = index;
}

bool CZorvanProSheet::Apply() {
  SheetErrors errors;
  SheetPage* first = nullptr;
  for (SheetPage* p : pages_) {
    if (!p->modified()) continue;
    const std::size_t before = errors.ids().size();
    p->Validate(errors);
    if (errors.ids().size() != before && first == nullptr) first = p;
  }
  if (!errors.empty()) {
    ShowPage(first);
    companion::ComShowMessage(errors.BoxText(), companion::kMbOk | companion::kMbIconWarning);
    return false;
  }
  std::vector<SheetPage*> saving;
  for (SheetPage* p : pages_) {
    if (!p->modified()) continue;
    if (!p->BeforeSave()) {
      ShowPage(p);
      return false;
    }
    if (p->modified()) saving.push_back(p);  // No to a question discards the page's changes
  }
  std::vector<int> lines;
  for (SheetPage* p : saving)
    if (lines.empty()) lines = p->SavingLines();
  std::unique_ptr<ProgressWindow> progress;
  if (lines.size() == 3) {
    progress = std::make_unique<ProgressWindow>(Tr(lines[0]), Tr(lines[1]), Tr(lines[2]), this);
    progress->ShowNow();
  }
  // Every modified page goes into one replacement of the settings file.
  if (!saving.empty() && !SafeWriteSettings(context_.env.settings, [&saving](const std::string& file) {
        for (SheetPage* p : saving)
          if (!p->Write(file)) return false;
        return true;
      })) {
    ShowPage(saving.front());
    return false;
  }
  for (SheetPage* p : saving) {
    p->Saved();
    p->SetModified(false);
  }
  if (progress) {
    // The window stays a moment so that it can be read.
    for (int i = 0; i < 6; ++i) {
      QApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
      platform::SleepMs(50);
    }
  }
  const bool saved = !saving.empty();
  apply_->setEnabled(false);
  if (saved) emit applied();
  return true;
}

void CZorvanProSheet::accept() {
  if (Apply()) QDialog::accept();
}

int ShowSettingsSheet(QWidget* parent, const SheetContext& context, SheetStart start, const SheetHooks& hooks) {
  PropertyFlagScope flag(context.env, hooks.settingsOpen);
  WaitCursor cursor;
  // An import under way ends before the sheet opens: the libraries are
  // called from one thread at a time, and the sheet may call them.
  {
    QElapsedTimer waited;
    waited.start();
    while (GetMonitorState(context.env) == 1) {
      if (waited.elapsed() >= hooks.importWaitMs) {
        Trace("ShowSettingsSheet: an import did not finish within " + std::to_string(hooks.importWaitMs) +
              " ms; the settings dialog was not opened");
        companion::ComShowMessage(MonitorText(kIdsSettingsBusy), companion::kMbOk | companion::kMbIconInfo);
        return -1;
      }
      QApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 50);
      platform::SleepMs(100);
    }
  }
  CZorvanProSheet sheet(context, parent);
  if (!sheet.Init()) return -1;
  if (start == SheetStart::Other) sheet.ShowPage(sheet.page<COtherProPage>());
  if (hooks.other) {
    QObject::connect(&sheet, &CZorvanProSheet::applied, &sheet, [&sheet, &hooks] {
      if (auto* other = sheet.page<COtherProPage>()) hooks.other(other->data());
    });
  }
  QApplication::restoreOverrideCursor();
  const int result = hooks.run ? hooks.run(sheet) : sheet.exec();
  QApplication::setOverrideCursor(Qt::ArrowCursor);
  return result;
}

}  // namespace zv::monitor::ui
