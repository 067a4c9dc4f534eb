// The settings dialog as a window: Cancel, Apply, a no-op OK, the one box of
// errors, a recreated binder kept, the wait for an import, PropertyFlag, the
// balloon switch reaching the running tray at once, and its labels in the
// user's language.
#include <QGroupBox>
#include <QtTest>

#include "companion/common.h"
#include "companion/strings.h"
#include "monitor/settings/fax_settings.h"
#include "monitor/settings/profile.h"
#include "monitor/settings/sort_links.h"
#include "monitor/ui/main_frame.h"
#include "monitor/ui/printer_setup.h"
#include "monitor/ui/settings_sheet.h"
#include "monitor/ui/sheet_dialogs.h"
#include "monitor/ui/sheet_pages.h"
#include "platform/fs.h"
#include "support/ui_fakes.h"
#include "testing/files.h"
#include "testing/installation.h"

using namespace zv::monitor;
using namespace zv::monitor::ui;
using zv::monitor::ui::test::FakeTrayBackend;
using zv::monitor::ui::test::ProgramFolder;

namespace {

// Boxes answered with their default button and remembered.
struct Boxes {
  std::vector<std::string> texts;
  Boxes() {
    zv::companion::SetMessageBoxHook([this](const std::string& text, const std::string&, int style) {
      texts.push_back(text);
      return zv::companion::DefaultButton(style);
    });
  }
  ~Boxes() { zv::companion::SetMessageBoxHook(nullptr); }
};

struct Setup {
  ProgramFolder folder;
  std::string scan, binder;
  Setup() {
    const std::string root = folder.env().folder;
    scan = root + "/scan";
    binder = root + "/link/lib/cab/bnd";
    zv::platform::MakeFolders(scan);
    zv::platform::MakeFolders(binder);
    zv::testing::WriteText(binder + "/bnd.ini", "[BinderInfo]\nTitle=b\nCreated=300\n");
    zv::testing::WriteText(
        folder.env().settings,
        "[Option]\nMonitorStatus=0\nLinkFolder1=" + root +
            "/link\nBinderINISetDateSec=BinderInfo\n"
            "BinderINISetDateKey=Created\nShowBalloon=1\n[AutoFileRead]\nSetTotal=1\nSetTotalMax=30\n"
            "bCheck1=1\nSetName1=\"first\"\nTarFolder1=" +
            scan + "\nTarBinder1=" + binder + "\ncheckTimer1=0\nSetDate1=300\n");
  }
  std::string Settings() const { return zv::testing::ReadText(folder.env().settings); }
  SheetContext Context() const {
    SheetContext c;
    c.env = folder.env();
    c.options = ReadMonitorOptions(c.env.settings, "user");
    return c;
  }
};

// Every path below a folder.
std::vector<std::string> Tree(const std::string& folder) {
  std::vector<std::string> out;
  for (const std::string& name : zv::testing::Names(folder)) {
    out.push_back(folder + "/" + name);
    if (zv::platform::IsFolder(folder + "/" + name))
      for (const std::string& sub : Tree(folder + "/" + name)) out.push_back(sub);
  }
  return out;
}

// Every text a window shows: its title, labels, buttons, group boxes, tab
// titles and list headers.
QStringList ShownTexts(QWidget& w) {
  QStringList out{w.windowTitle()};
  for (auto* l : w.findChildren<QLabel*>()) out << l->text();
  for (auto* b : w.findChildren<QAbstractButton*>()) out << b->text();
  for (auto* g : w.findChildren<QGroupBox*>()) out << g->title();
  for (auto* t : w.findChildren<QTabWidget*>())
    for (int i = 0; i < t->count(); ++i) out << t->tabText(i);
  for (auto* t : w.findChildren<QTreeWidget*>())
    for (int i = 0; i < t->columnCount(); ++i) out << t->headerItem()->text(i);
  return out;
}

struct LanguageScope {
  explicit LanguageScope(zv::companion::Language l) { zv::companion::ForceLanguage(l); }
  ~LanguageScope() { zv::companion::ResetLanguage(); }
};

}  // namespace

class SheetDialogTest : public QObject {
  Q_OBJECT
 private slots:
  void cancelAndNoOpOkWriteNothing() {
    Setup s;
    const std::string before = s.Settings();
    int flagWhileOpen = -1;
    SheetHooks hooks;
    hooks.run = [&](CZorvanProSheet& sheet) {
      flagWhileOpen = s.folder.Work("PropertyFlag");
      sheet.page<CReadFileProPage>()->nameEdit()->setText("changed");
      emit sheet.page<CReadFileProPage>()->nameEdit()->textEdited("changed");
      sheet.page<COtherProPage>()->balloonOff()->setChecked(true);
      sheet.reject();
      return sheet.result();
    };
    QCOMPARE(ShowSettingsSheet(nullptr, s.Context(), SheetStart::First, hooks), int(QDialog::Rejected));
    QCOMPARE(flagWhileOpen, 1);
    QCOMPARE(s.folder.Work("PropertyFlag"), 0);
    QCOMPARE(s.Settings(), before);
    QVERIFY(!zv::platform::Exists(s.folder.env().settings + ".bak"));

    hooks.run = [](CZorvanProSheet& sheet) {
      sheet.accept();
      return sheet.result();
    };
    QCOMPARE(ShowSettingsSheet(nullptr, s.Context(), SheetStart::First, hooks), int(QDialog::Accepted));
    QCOMPARE(s.Settings(), before);  // no default switched on, no flag raised
  }

  void applyThenCancelKeepsTheAppliedPage() {
    Setup s;
    SheetHooks hooks;
    hooks.run = [](CZorvanProSheet& sheet) {
      sheet.page<COtherProPage>()->balloonOff()->setChecked(true);
      sheet.applyButton()->click();
      auto* target = sheet.page<CReadFileProPage>();
      target->nameEdit()->setText("later");
      emit target->nameEdit()->textEdited("later");
      sheet.reject();
      return sheet.result();
    };
    ShowSettingsSheet(nullptr, s.Context(), SheetStart::First, hooks);
    QCOMPARE(ProfileRead("Option", "ShowBalloon", 9, s.folder.env().settings), 0);
    QCOMPARE(ProfileRead("Option", "Modified", 0, s.folder.env().settings), 1);
    QCOMPARE(ProfileRead("AutoFileRead", "SetName1", "", s.folder.env().settings), std::string("first"));
  }

  void errorsInOneBoxAndTheSheetStaysOpen() {
    Setup s;
    Boxes boxes;
    const std::string before = s.Settings();
    SheetHooks hooks;
    hooks.run = [&](CZorvanProSheet& sheet) {
      auto* target = sheet.page<CReadFileProPage>();
      target->folderEdit()->setText(QString::fromStdString(s.scan + "-missing"));
      target->intervalEdit()->setText("x");
      emit target->intervalEdit()->textEdited("x");
      sheet.accept();
      return sheet.result();
    };
    QCOMPARE(ShowSettingsSheet(nullptr, s.Context(), SheetStart::First, hooks), int(QDialog::Rejected));
    QCOMPARE(boxes.texts.size(), std::size_t(1));
    QVERIFY(boxes.texts[0].starts_with("Check the input content"));
    QVERIFY(boxes.texts[0].find("does not exist") != std::string::npos);
    QVERIFY(boxes.texts[0].find("non-numeric") != std::string::npos);
    QCOMPARE(s.Settings(), before);
  }

  void keepingARecreatedBinderStoresItsStamp() {
    Setup s;
    Boxes boxes;  // OK is the default button of the question
    zv::testing::WriteText(s.binder + "/bnd.ini", "[BinderInfo]\nTitle=b\nCreated=900\n");
    SheetHooks hooks;
    hooks.run = [](CZorvanProSheet& sheet) {
      auto* target = sheet.page<CReadFileProPage>();
      target->nameEdit()->setText("renamed");
      emit target->nameEdit()->textEdited("renamed");
      sheet.accept();
      return sheet.result();
    };
    QCOMPARE(ShowSettingsSheet(nullptr, s.Context(), SheetStart::First, hooks), int(QDialog::Accepted));
    QCOMPARE(boxes.texts.size(), std::size_t(1));
    QCOMPARE(ProfileRead("AutoFileRead", "SetDate1", "", s.folder.env().settings), std::string("900"));
  }

  void waitsForAnImportAndGivesUpAtTheBound() {
    Setup s;
    Boxes boxes;
    s.folder.SetWork("ImportFlag", 1);
    SheetHooks hooks;
    hooks.importWaitMs = 300;
    bool ran = false;
    hooks.run = [&](CZorvanProSheet&) {
      ran = true;
      return 1;
    };
    QCOMPARE(ShowSettingsSheet(nullptr, s.Context(), SheetStart::First, hooks), -1);
    QVERIFY(!ran);
    QCOMPARE(boxes.texts.size(), std::size_t(1));
    QCOMPARE(s.folder.Work("PropertyFlag"), 0);
    s.folder.SetWork("ImportFlag", 0);
    QCOMPARE(ShowSettingsSheet(nullptr, s.Context(), SheetStart::First, hooks), 1);
    QVERIFY(ran);
  }

  void balloonsOffReachTheTrayAtOnce() {
    Setup s;
    auto* backend = new FakeTrayBackend;
    FrameHooks hooks;
    hooks.sheet.run = [](CZorvanProSheet& sheet) {
      sheet.page<COtherProPage>()->balloonOff()->setChecked(true);
      sheet.accept();
      return sheet.result();
    };
    CMainFrame frame(s.folder.env().folder, std::unique_ptr<TrayBackend>(backend), hooks);
    QVERIFY(frame.OnCreate(false));
    frame.shell().ShowBalloon("text", "title", 5);
    QCOMPARE(backend->messages, 1);
    frame.OnCommand(kCmdSetting);
    frame.shell().ShowBalloon("text", "title", 5);
    QCOMPARE(backend->messages, 1);
    QCOMPARE(s.folder.Work("PropertyFlag"), 0);
  }
  void sortPageLinksWithoutMakingAnythingInTheLinkFolder() {
    zv::testing::Installation inst;
    inst.WriteSettings();
    const std::string link = inst.AddLinkFolder();
    const std::string binder = inst.AddBinder(inst.AddCabinet(link, "Lib", "Cab"), "Inbox");
    const std::string top = inst.Path("sort");
    zv::platform::MakeFolders(top + "/Lib/Cab/Inbox");
    ProfileWrite("AutoFileRead", "SetTotal", 0, inst.settings());
    const auto linkBefore = Tree(link);
    Boxes boxes;  // "link now?": Yes, the default
    SheetContext context;
    context.env = EnvFiles::ForFolder(inst.program());
    context.options = ReadMonitorOptions(context.env.settings, "user");
    std::string summary;
    // A folder without a binder: OK on the dialog that lists it refuses the
    // save.
    zv::platform::MakeFolders(top + "/Lib/Cab/Nobinder");
    int unmatchedShown = 0;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&unmatchedShown] {
      if (auto* dlg = qobject_cast<CUnmatchedFoldersDlg*>(QApplication::activeModalWidget())) {
        ++unmatchedShown;
        dlg->accept();
      }
    });
    answer.start(20);
    SheetHooks hooks;
    hooks.run = [&](CZorvanProSheet& sheet) {
      auto* page = sheet.page<CSortFolderProPage>();
      page->enabledBox()->setChecked(true);
      page->topEdit()->setText(QString::fromStdString(top));
      emit page->topEdit()->textEdited(page->topEdit()->text());
      page->linkCombo()->setCurrentIndex(0);
      emit page->linkCombo()->activated(0);
      sheet.accept();
      if (unmatchedShown != 1 || sheet.result() == QDialog::Accepted ||
          ProfileRead("option", "SortModified", 0, inst.settings()) != 0)
        return -2;
      zv::platform::RemoveFolder(top + "/Lib/Cab/Nobinder");
      sheet.accept();
      summary = zv::testing::ReadText(page->WriteSummary());
      return sheet.result();
    };
    QCOMPARE(ShowSettingsSheet(nullptr, context, SheetStart::First, hooks), int(QDialog::Accepted));
    SortSettings saved;
    QVERIFY(ReadSortSettings(inst.settings(), saved));
    QCOMPARE(saved.links.size(), std::size_t(1));
    QCOMPARE(saved.links[0].folder, top + "/Lib/Cab/Inbox");
    QCOMPARE(saved.links[0].binder, binder);
    QCOMPARE(saved.linkFolder, link);
    QCOMPARE(ProfileRead("option", "SortModified", 0, inst.settings()), 1);
    QVERIFY(summary.find("\tLib\\Cab\\Inbox") != std::string::npos);
    QCOMPARE(Tree(link), linkBefore);  // the page made nothing in the store
  }

  void faxPageSavesInListOrder() {
    Setup s;
    ProfileWrite("Option", "FaxMonitorSet", 1, s.folder.env().settings);
    for (int n = 1; n <= 3; ++n) {
      const std::string N = std::to_string(n);
      ProfileWrite("FaxMonitor", "bCheck" + N, 1, s.folder.env().settings);
      ProfileWrite("FaxMonitor", "TargetName" + N, "mask" + N + "*", s.folder.env().settings);
      ProfileWrite("FaxMonitor", "bWorkDesk" + N, 0, s.folder.env().settings);
    }
    ProfileWrite("FaxMonitor", "SetTotal", 3, s.folder.env().settings);
    SheetHooks hooks;
    hooks.run = [](CZorvanProSheet& sheet) {
      auto* fax = sheet.page<CFaxWatchProPage>();
      if (fax == nullptr) return -5;
      fax->Select(2);
      fax->MoveSetting(-1);
      sheet.NoteFolder("/last/browsed");
      sheet.accept();
      return sheet.result();
    };
    QCOMPARE(ShowSettingsSheet(nullptr, s.Context(), SheetStart::First, hooks), int(QDialog::Accepted));
    FaxSettings read;
    ReadFaxSettingsFrom(s.folder.env().settings, s.Context().options, DefaultSettingContext(""), read);
    QCOMPARE(read.entries.size(), std::size_t(3));
    QCOMPARE(read.entries[1].targetName, std::string("mask3*"));
    QCOMPARE(read.entries[2].targetName, std::string("mask2*"));
    QCOMPARE(ProfileRead("Option", "FaxModified", 0, s.folder.env().settings), 1);
    QCOMPARE(ProfileRead("Option", "CurrentFolder", "", s.folder.env().settings), std::string("/last/browsed"));
  }
  void labelsFollowTheUsersLanguage() {
    Setup s;
    Boxes boxes;
    ProfileWrite("Option", "FaxMonitorSet", 1, s.folder.env().settings);
    {
      LanguageScope english(zv::companion::Language::English);
      CZorvanProSheet sheet(s.Context());
      QVERIFY(sheet.Init());
      QCOMPARE(sheet.tabs()->tabText(0), QString("Target Folders"));
      QCOMPARE(sheet.applyButton()->text(), QString("Apply"));
    }
    LanguageScope japanese(zv::companion::Language::Japanese);
    CZorvanProSheet sheet(s.Context());
    QVERIFY(sheet.Init());
    QCOMPARE(sheet.tabs()->tabText(0), QString("監視フォルダ"));
    QCOMPARE(sheet.tabs()->tabText(1), QString("仕分けフォルダ"));
    QCOMPARE(sheet.tabs()->tabText(3), QString("その他"));
    QCOMPARE(sheet.applyButton()->text(), QString("適用"));
    QVERIFY(ShownTexts(sheet).contains("通知しない"));
    // No label is left in English: a text without a Japanese character is
    // one that reads the same in both (or the product's name, a number, a
    // path).
    CTextInfoDlg text;
    CSendResult recipients(50);
    CInputFileDlg input(MonitorText(kIdsKindFax), {}, {}, 0, 0, 30, sheet.Places(), false);
    CUnmatchedFoldersDlg unmatched;
    QWidget* windows[] = {&sheet, &text, &recipients, &input, &unmatched};
    const QStringList same{"", "OK", "FAX", "No.", "*", Tr(kIdsProductName)};
    for (QWidget* w : windows) {
      for (const QString& t : ShownTexts(*w)) {
        bool ascii = true;
        for (QChar c : t) ascii = ascii && c.unicode() < 0x80;
        const bool neutral =
            same.contains(t) || t.startsWith('/') || QRegularExpression("^[0-9 ]*$").match(t).hasMatch();
        QVERIFY2(!ascii || neutral, qPrintable(w->objectName() + ": " + t));
      }
    }
  }

  void printerOptionsComeBackAsStored() {
    QPrinter printer;
    ApplyJobOptions(printer, "copies=3 collate=false orientation-requested=4 media=A5");
    const std::string options = PrinterJobOptions(printer);
    QVERIFY2(options.starts_with("copies=3 collate=false orientation-requested=4 media=A5"), options.c_str());
  }
};

QTEST_MAIN(SheetDialogTest)
#include "sheet_dialog_test.moc"
