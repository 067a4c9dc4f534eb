// The set-up of the watch frame from the program folder's settings.
#include "monitor/watch/engine.h"

#include <algorithm>

#include "dravel/dravel.h"
#include "dravel/pipeline.h"
#include "monitor/log/result_list.h"
#include "monitor/print/print_file.h"
#include "monitor/watch/workdesk.h"
#include "platform/attributes.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "platform/process.h"

namespace zv::monitor {

void InitWatchFrame(WatchFrame& frame, const std::string& programFolder, WatchShell* shell) {
  frame.env = EnvFiles::ForFolder(programFolder);
  frame.settingsFile = frame.env.settings;
  frame.log.programFolder = frame.env.folder;
  frame.shell = shell;
  frame.options = ReadMonitorOptions(frame.env.settings, platform::UserName());
  frame.published.Publish(frame.options);
  frame.productName = frame.options.productName;
  frame.workDeskFolder = GetWorkDeskFolder();
  frame.settingContext = DefaultSettingContext(frame.workDeskFolder);
  frame.impResultListOn = ImpResultListEnabled(frame.env.settings);
  frame.status.store(frame.options.monitorStatus);
  frame.settings.assign(static_cast<std::size_t>(std::max(frame.options.setTotalMax, 1)), {});
  ReadAutoFileSettings(frame.env, frame.options, frame.settingContext, frame.settings);
  if (frame.insert == nullptr) frame.insert = &InsertFileToBinder;
  if (!frame.freeSpace) frame.freeSpace = [](const std::string& p) { return platform::FreeSpace(p); };
  if (!frame.print) {
    auto printer = std::make_shared<ImportPrinter>(
        frame.env.folder,
        PrintContext{nullptr, nullptr, frame.productName, &GetTargetPaperSize, &GetPrinterOutputSize});
    frame.print = [printer](const std::string& copy, int mode) { return printer->Print(copy, mode); };
  }
  if (frame.computerName.empty()) frame.computerName = platform::ComputerName();
  frame.stagingFolder = platform::JoinPath(platform::JoinPath(frame.env.folder, "AutoImpInfo"), "$ImpTmp");
}

}  // namespace zv::monitor
