// The settings dialog with 30 target-folder settings, 1,000 fax settings and
// 2,520 sort-folder links: opening (every page loads its section) and saving
// (every page saves), against reading and writing the same keys through the
// ini layer directly. The pauses of the safe write run on a fake clock and
// are reported apart from the work.
#include <QApplication>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <tuple>

#include "companion/common.h"
#include "monitor/settings/profile.h"
#include "monitor/settings/sort_links.h"
#include "monitor/ui/settings_sheet.h"
#include "monitor/ui/sheet_pages.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "testing/installation.h"
#include "testing/median.h"

using namespace zv::monitor;
using namespace zv::monitor::ui;

namespace {

double Ms(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

std::string Settings(const std::string& root, const std::string& binder, const std::string& link) {
  std::string t = "[Option]\nFaxMonitorSet=1\nBinderINISetDateSec=BinderInfo\nBinderINISetDateKey=CreateDate\n";
  t += "[AutoFileRead]\nSetTotal=30\nSetTotalMax=30\nDropFolder=0\n";
  for (int n = 1; n <= 30; ++n) {
    const std::string N = std::to_string(n);
    t += "bCheck" + N + "=1\nSetName" + N + "=\"setting " + N + "\"\nTarFolder" + N + "=" + root + "/scan/" + N +
         "\nTarBinder" + N + "=" + binder + "\nInsertPos" + N + "=1\ncheckTimer" + N + "=0\nbWorkDesk" + N +
         "=0\nTextInfoFlag" + N + "=0\nTextInfo" + N + "=\nSendResult" + N + "=2\nSendUser" + N +
         "count=0\nSearchBinder" + N + "=0\nSetNumber" + N + "=" + N + "\nSetDate" + N + "=\nDeleteFolderDate" + N +
         "=\nmove_succeeded" + N + "=-1\nmove_failed" + N + "=-1\nSucceededFolder" + N + "=\nFailedFolder" + N +
         "=\nSucceededTerm" + N + "=-1\nFailedTerm" + N + "=-1\nbRecursive" + N + "=0\n";
  }
  t += "[FaxMonitor]\nEnabled=1\nTarFolder=" + root + "/fax\nSetTotal=1000\nSetTotalMax=1000\n";
  for (int n = 1; n <= 1000; ++n) {
    const std::string N = std::to_string(n);
    t += "bCheck" + N + "=1\nSetNumber" + N + "=" + N + "\nSetName" + N + "=\"fax " + N + "\"\nTargetName" + N + "=F" +
         N + "_*.pdf\nImpMode" + N + "=0\nbWorkDesk" + N + "=0\nTarBinder" + N + "=" + binder + "\nInsertPos" + N +
         "=1\nPrint" + N + "=0\nSetDate" + N + "=\nTextInfoFlag" + N + "=0\nTextInfo" + N + "=\nSendResult" + N +
         "=2\nSendUser" + N + "count=0\nSearchBinder" + N + "=0\n";
  }
  t += "[FolderMonitorSet]\nbEnabled=1\nSortFolder=" + root + "/sort\nLinkFoder=" + link +
       "\nSetTotal=2520\nSetTotalMax=2520\n";
  for (int k = 1; k <= 2520; ++k) {
    const std::string K = std::to_string(k);
    t += "TarFolder" + K + "=" + root + "/sort/L/C/B" + K + "\nTarBinder" + K + "=" + binder + "\nSetNumber" + K +
         "=2\nDeleteFolderDate" + K + "=\nSetDate" + K + "=\nSearchBinderFlag" + K + "=1\n";
  }
  return t;
}

// A new file with the same bytes, old enough to be cached.
void Fresh(const std::string& file, const std::string& text) {
  zv::platform::WriteFileAtomic(file, text);
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  zv::testing::Installation inst;
  inst.WriteSettings();
  const std::string link = inst.AddLinkFolder();
  const std::string binder = inst.AddBinder(inst.AddCabinet(link, "Lib", "Cab"), "Inbox");
  for (int n = 1; n <= 30; ++n) zv::platform::MakeFolders(inst.root() + "/scan/" + std::to_string(n));
  zv::platform::MakeFolders(inst.root() + "/fax");
  zv::platform::MakeFolders(inst.root() + "/sort");
  QApplication app(argc, argv);
  std::string lastBox;
  zv::companion::SetMessageBoxHook([&lastBox](const std::string& box, const std::string&, int style) {
    lastBox = box;
    return zv::companion::DefaultButton(style);
  });
  const EnvFiles env = EnvFiles::ForFolder(inst.program());
  const std::string text = Settings(inst.root(), binder, link);
  zv::platform::FakeClock clock;
  zv::platform::ScopedClock scoped(clock);

  SheetContext context;
  Fresh(env.settings, text);
  context.env = env;
  context.options = ReadMonitorOptions(env.settings, "user");

  const int runs = 5;
  const double load = zv::testing::MedianOf(runs, [&] {
    Fresh(env.settings, text);
    const auto t0 = std::chrono::steady_clock::now();
    CZorvanProSheet sheet(context);
    if (!sheet.Init()) std::fprintf(stderr, "a page did not load\n");
    return Ms(t0);
  });
  double pauses = 0;
  const double save = zv::testing::MedianOf(runs, [&] {
    Fresh(env.settings, text);
    CZorvanProSheet sheet(context);
    sheet.Init();
    for (int i = 0; i < sheet.tabs()->count(); ++i) static_cast<SheetPage*>(sheet.tabs()->widget(i))->SetModified();
    const auto slept = clock.totalSleptMs();
    const auto t0 = std::chrono::steady_clock::now();
    if (!sheet.Apply()) std::fprintf(stderr, "the save failed: %s\n", lastBox.c_str());
    const double ms = Ms(t0);
    pauses = static_cast<double>(clock.totalSleptMs() - slept);
    return ms;
  });

  // The same keys through the ini layer directly.
  const char* sections[] = {"AutoFileRead", "FaxMonitor", "FolderMonitorSet", "Option"};
  const double read = zv::testing::MedianOf(runs, [&] {
    Fresh(env.settings, text);
    const auto t0 = std::chrono::steady_clock::now();
    std::size_t n = 0;
    for (const char* s : sections)
      for (const std::string& key : ProfileKeys(s, env.settings)) n += ProfileRead(s, key, "", env.settings).size();
    if (n == 0) std::fprintf(stderr, "nothing read\n");
    return Ms(t0);
  });
  const double write = zv::testing::MedianOf(runs, [&] {
    Fresh(env.settings, text);
    std::vector<std::tuple<std::string, std::string, std::string>> keys;
    for (const char* s : sections)
      for (const std::string& key : ProfileKeys(s, env.settings))
        keys.emplace_back(s, key, ProfileRead(s, key, "", env.settings));
    const std::string copy = env.settings + ".direct";
    const auto t0 = std::chrono::steady_clock::now();
    zv::platform::CopyFile(env.settings, copy, true);
    {
      zv::platform::ini::WriteGroup group(copy);
      for (const auto& [s, k, v] : keys) ProfileWrite(s, k, v, copy);
      group.Commit();
    }
    zv::platform::RenamePath(copy, env.settings, true);
    return Ms(t0);
  });
  std::printf("settings dialog, 30 target settings, 1000 fax settings, 2520 links (median of %d)\n", runs);
  std::printf("  open:  %8.1f ms   direct reads  %8.1f ms   ratio %.2f   (limit 3000 ms, 2x)\n", load, read,
              load / read);
  std::printf("  save:  %8.1f ms   direct writes %8.1f ms   ratio %.2f   (limit 2000 ms, 2x)\n", save, write,
              save / write);
  std::printf("  pauses of the safe writes (not slept here): %.0f ms\n", pauses);
  zv::companion::SetMessageBoxHook(nullptr);
  return 0;
}
