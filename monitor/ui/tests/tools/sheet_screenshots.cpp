// Pictures of the settings dialog's pages and dialogs for the documentation:
// "sheet_screenshots <output folder> [en]", run on a desktop (or a virtual
// one); in Japanese unless "en" is given.
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>
#include <string>

#include "companion/common.h"
#include "companion/strings.h"
#include "dravel/dravel.h"
#include "monitor/settings/profile.h"
#include "monitor/settings/sheet_checks.h"
#include "monitor/settings/text_ids.h"
#include "monitor/ui/settings_sheet.h"
#include "monitor/ui/sheet_dialogs.h"
#include "monitor/ui/sheet_pages.h"
#include "platform/fs.h"
#include "testing/files.h"
#include "testing/installation.h"

using namespace zv::monitor;
using namespace zv::monitor::ui;

namespace {

std::string gOut;

void Save(QWidget& w, const char* name) {
  w.show();
  w.resize(w.sizeHint().expandedTo(w.size()));
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  w.grab().save(QString::fromStdString(gOut + "/sheet-" + name + ".png"));
  w.hide();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) return 2;
  gOut = argv[1];
  const bool japanese = argc == 2 || std::string(argv[2]) != "en";
  zv::companion::ForceLanguage(japanese ? zv::companion::Language::Japanese : zv::companion::Language::English);
  zv::platform::MakeFolders(gOut);
  zv::testing::Installation inst;
  inst.WriteSettings();
  const std::string link = inst.AddLinkFolder();
  const std::string cab = inst.AddCabinet(link, "Sales", "Orders");
  const std::string binder = inst.AddBinder(cab, "Inbox");
  inst.AddBinder(cab, "Invoices");
  QApplication app(argc, argv);
  zv::companion::SetMessageBoxHook(
      [](const std::string&, const std::string&, int style) { return zv::companion::DefaultButton(style); });

  const std::string s = inst.settings();
  const std::string root = inst.root();
  for (const char* f : {"scan/front", "scan/back", "mail", "fax", "sort/Sales/Orders/Inbox"})
    zv::platform::MakeFolders(root + "/" + f);
  const char* names[] = {"Front desk scanner", "Back office scanner", "Mail room"};
  const char* namesJa[] = {"受付スキャナー", "事務所スキャナー", "郵便室"};
  const char* folders[] = {"scan/front", "scan/back", "mail"};
  ProfileWrite("AutoFileRead", "SetTotal", 3, s);
  ProfileWrite("AutoFileRead", "SetTotalMax", 30, s);
  for (int n = 1; n <= 3; ++n) {
    const std::string N = std::to_string(n);
    ProfileWrite("AutoFileRead", "bCheck" + N, n == 3 ? 0 : 1, s);
    ProfileWrite("AutoFileRead", "SetName" + N, std::string("\"") + (japanese ? namesJa : names)[n - 1] + "\"", s);
    ProfileWrite("AutoFileRead", "TarFolder" + N, root + "/" + folders[n - 1], s);
    ProfileWrite("AutoFileRead", "TarBinder" + N, binder, s);
    ProfileWrite("AutoFileRead", "checkTimer" + N, 5 * n, s);
    ProfileWrite("AutoFileRead", "TextInfoFlag" + N, 5, s);
    ProfileWrite("AutoFileRead", "TextInfo" + N, japanese ? "スキャン" : "Scanned", s);
  }
  ProfileWrite("Option", "FaxMonitorSet", 1, s);
  ProfileWrite("FaxMonitor", "Enabled", 1, s);
  ProfileWrite("FaxMonitor", "TarFolder", root + "/fax", s);
  ProfileWrite("FaxMonitor", "SetTotal", 2, s);
  const char* masks[] = {"ORDER_*.pdf", "INV*.tif"};
  for (int n = 1; n <= 2; ++n) {
    const std::string N = std::to_string(n);
    ProfileWrite("FaxMonitor", "bCheck" + N, 1, s);
    ProfileWrite("FaxMonitor", "SetName" + N,
                 n == 1 ? (japanese ? "\"注文書\"" : "\"Orders\"") : (japanese ? "\"請求書\"" : "\"Invoices\""), s);
    ProfileWrite("FaxMonitor", "TargetName" + N, masks[n - 1], s);
    ProfileWrite("FaxMonitor", "TarBinder" + N, binder, s);
  }
  ProfileWrite("FolderMonitorSet", "bEnabled", 1, s);
  ProfileWrite("FolderMonitorSet", "SortFolder", root + "/sort", s);
  ProfileWrite("FolderMonitorSet", "LinkFoder", link, s);
  char users[DRAVEL_PATH_MAX] = {0};
  if (GetAndCheckImpSendUserdat(users) == 0) {
    ProfileWrite("users", "count", 3, users);
    ProfileWrite("users", "username1", "ann", users);
    ProfileWrite("users", "username2", "bob", users);
    ProfileWrite("users", "username3", "carol", users);
  }

  SheetContext context;
  context.env = EnvFiles::ForFolder(inst.program());
  context.options = ReadMonitorOptions(context.env.settings, "user");
  CZorvanProSheet sheet(context);
  if (!sheet.Init()) return 1;
  sheet.resize(720, 640);
  const char* pages[] = {"targets", "sort", "fax", "other"};
  for (int i = 0; i < sheet.tabs()->count(); ++i) {
    sheet.tabs()->setCurrentIndex(i);
    Save(sheet, pages[i]);
  }

  CTextInfoDlg text;
  text.SetTextInfoParam(5, japanese ? "受付でスキャン" : "Scanned at the front desk");
  Save(text, "attach-info");
  CSendResult recipients(50);
  recipients.SetSendResultParam(1, {"bob"});
  Save(recipients, "recipients");
  CInputFileDlg input(MonitorText(kIdsKindAutoFile), {"0", "", "30"}, {"0", root + "/failed", "60"}, 0, 0, 30,
                      sheet.Places(), false);
  Save(input, "input-files");
  CUnmatchedFoldersDlg unmatched;
  Save(unmatched, "unmatched");
  ProgressWindow progress(Tr(kIdsFaxSaving), Tr(kIdsSavingWait), Tr(kIdsSavingLong));
  Save(progress, "progress");
  SheetErrors errors;
  errors.Add(kIdsChkFolderMissing);
  errors.Add(kIdsChkIntervalRange);
  errors.Add(kIdsChkBinderWrong, {MonitorText(kIdsKindAutoFile), "2"});
  QMessageBox box(QMessageBox::Warning, Tr(kIdsProductName), QString::fromStdString(errors.BoxText()), QMessageBox::Ok);
  Save(box, "errors");
  QFileDialog browser;
  PrepareFolderDialog(browser);
  browser.setDirectory(QString::fromStdString(root));
  Save(browser, "folder-browser");
  QPrinter printer;
  QPrintDialog print(&printer);
  print.setOption(QAbstractPrintDialog::PrintToFile, false);
  print.setOption(QAbstractPrintDialog::PrintSelection, false);
  print.setOption(QAbstractPrintDialog::PrintPageRange, false);
  Save(print, "printer-setup");
  zv::companion::SetMessageBoxHook(nullptr);
  return 0;
}
