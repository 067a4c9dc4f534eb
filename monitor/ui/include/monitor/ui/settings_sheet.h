// The settings dialog: one modal sheet of pages (target folders, sort
// folders, fax when offered, other) with OK, Cancel and Apply. Each page
// loads its section when the sheet opens, checks its input when it is left
// and before it saves, and saves through the safe write raising its change
// flag; the running watch thread takes the changes over from the flags. The
// sheet never touches the watch thread's own setting arrays.
#pragma once

#include <QDialog>
#include <QPushButton>
#include <QTabWidget>
#include <functional>
#include <string>
#include <vector>

#include "monitor/settings/catalogue.h"
#include "monitor/settings/env_files.h"
#include "monitor/settings/sheet_checks.h"
#include "monitor/settings/sheet_store.h"

namespace zv::monitor::ui {

class CZorvanProSheet;

// What every page shares.
struct SheetContext {
  EnvFiles env;
  MonitorOptions options;  // as the monitor uses them now
  std::string workDeskFolder;
};

// One page of the sheet.
class SheetPage : public QWidget {
  Q_OBJECT
 public:
  explicit SheetPage(CZorvanProSheet& sheet);
  virtual QString Title() const = 0;
  // Reads the page's section; false when the page cannot open (its message
  // was shown).
  virtual bool Load() = 0;
  // Adds the page's input errors.
  virtual void Validate(SheetErrors& errors) = 0;
  // Questions asked before a save (a recreated binder, linking); false keeps
  // the sheet open on this page.
  virtual bool BeforeSave() { return true; }
  // Writes the page's keys into `file`, the ".new" copy of the one safe
  // write that saves every modified page (only called when it is modified);
  // false when a write failed.
  virtual bool Write(const std::string& file) = 0;
  // After the saved file is in place.
  virtual void Saved() {}
  // Lines of the progress window while the page saves (empty: none).
  virtual std::vector<int> SavingLines() const { return {}; }
  // The folders this page watches, for the other pages' checks.
  virtual void Contribute(WatchedPlaces&) const {}

  bool modified() const { return modified_; }
  void SetModified(bool on = true);

 protected:
  CZorvanProSheet& sheet_;

 private:
  bool modified_ = false;
};

class CZorvanProSheet : public QDialog {
  Q_OBJECT
 public:
  explicit CZorvanProSheet(SheetContext context, QWidget* parent = nullptr);
  // Builds and loads the pages; false when a page could not be loaded.
  bool Init();
  // Checks every modified page (one box with every error), asks each page's
  // questions, saves the modified pages. False when anything stopped it.
  bool Apply();
  void accept() override;

  const SheetContext& context() const { return context_; }
  // What the pages watch as entered now.
  WatchedPlaces Places() const;
  QTabWidget* tabs() { return tabs_; }
  QPushButton* applyButton() { return apply_; }
  // The page of a kind, or nullptr.
  template <typename Page>
  Page* page() const {
    for (SheetPage* p : pages_)
      if (auto* t = qobject_cast<Page*>(p)) return t;
    return nullptr;
  }
  void ShowPage(SheetPage* page);
  void PageChanged();
  // The folder last chosen in the folder browser ([Option] CurrentFolder,
  // which the target-folder and fax pages save).
  void NoteFolder(const std::string& folder) { currentFolder_ = folder; }
  const std::string& currentFolder() const { return currentFolder_; }

 signals:
  // After OK or Apply saved something.
  void applied();

 private:
  bool LeavePage(int index);
  void AddOptionalPages();
  SheetContext context_;
  QTabWidget* tabs_;
  QPushButton* apply_;
  std::vector<SheetPage*> pages_;
  int current_ = 0;
  std::string currentFolder_;
};

// Ways to run the sheet and what to tell its owner (replaced in the tests).
struct SheetHooks {
  std::function<int(CZorvanProSheet&)> run;         // default: exec()
  std::function<void(bool open)> settingsOpen;      // the process-wide mark
  std::function<void(const OtherPageData&)> other;  // the other page was saved
  int importWaitMs = 30000;                         // the bound of the wait for an import
};

// Which page to open on.
enum class SheetStart { First, Other };

// Sets PropertyFlag 1 (wait cursor), waits for an import in progress to end
// (at the bound: traced, kIdsSettingsBusy shown, nothing opened, -1), runs
// the sheet modally and sets PropertyFlag 0 however it ends. The sheet's
// result otherwise (QDialog::Accepted or Rejected; -1 when a page could not
// be loaded).
int ShowSettingsSheet(QWidget* parent, const SheetContext& context, SheetStart start = SheetStart::First,
                      const SheetHooks& hooks = {});

}  // namespace zv::monitor::ui
