#include <ostream>

#include "companion/services.h"
#include "monitor/settings/catalogue.h"
#include "monitor/settings/env_files.h"
#include "monitor/settings/profile.h"
#include "monitor/settings/status.h"
#include "monitor/settings/text_ids.h"
#include "monitor/settings/tools.h"
#include "platform/filelock.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace zv::monitor {

namespace {

// The write-permission probe: "~.tmp" held with no sharing, then removed.
bool FolderWritable(const std::string& folder) {
  platform::HeldLock probe = platform::HeldLock::TryAcquire(platform::JoinPath(folder, "~.tmp"), true);
  if (!probe) return false;
  probe.Release();
  return true;
}

const char* StateWord(int state) {
  switch (state) {
    case 0: return "online";
    case 1: return "importing";
    case 2: return "settings dialog open";
    case 3: return "watching the fax folder";
    case 4: return "watching sort folders";
  }
  return "unknown";
}

int InitFolder(const std::string& folder, std::ostream& out, std::ostream& err) {
  const EnvFiles env = EnvFiles::ForFolder(folder);
  if (platform::Exists(env.settings)) {
    out << "Settings file already present: " << env.settings << '\n';
    return 0;
  }
  if (!platform::MakeFolders(env.folder) || !WriteDefaultSettings(env.settings)) {
    err << "hopvale-check: cannot write " << env.settings << '\n';
    return 1;
  }
  out << "Wrote default settings: " << env.settings << '\n';
  return 0;
}

}  // namespace

int RunInstallationCheck(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() == 2 && args[0] == "--init") return InitFolder(args[1], out, err);
  if (!args.empty()) {
    err << "usage: hopvale-check [--init FOLDER]\n";
    return 2;
  }

  std::vector<std::string> problems;
  const EnvFiles env = EnvFiles::Default();
  const bool writable = platform::IsFolder(env.folder) && FolderWritable(env.folder);
  out << "Program folder: " << env.folder << (writable ? " (writable)" : " (NOT writable)") << '\n';
  if (!writable) problems.push_back("the program folder is missing or not writable: " + env.folder);

  bool settingsOk = false;
  if (!platform::IsFile(env.settings)) {
    out << "Settings file: " << env.settings << " missing\n";
    problems.push_back("settings file missing: " + env.settings);
  } else if (!platform::ReadFile(env.settings)) {
    out << "Settings file: " << env.settings << " unreadable\n";
    problems.push_back("settings file unreadable: " + env.settings);
  } else {
    const auto sections = ProfileSections(env.settings);
    bool hasAuto = false;
    for (const auto& s : sections) hasAuto = hasAuto || platform::EqualsNoCase(s, "AutoFileRead");
    out << "Settings file: " << env.settings << " present, " << sections.size() << " sections"
        << (hasAuto ? "" : ", no [AutoFileRead] section") << '\n';
    settingsOk = true;
  }

  if (settingsOk) {
    const MonitorOptions o = ReadMonitorOptions(env.settings, platform::UserName());
    out << "Product: " << o.productName << ' ' << o.version << ", host " << o.hostName << '\n';
    out << "SetTotal: " << o.setTotal << ", SetTotalMax: " << o.setTotalMax
        << ", FaxMonitor SetTotalMax: " << o.faxSetTotalMax << '\n';
    if (const int msg = ValidateSettingCounts(o); msg != 0) problems.push_back(MonitorText(msg));
    const int state = GetMonitorState(env);
    out << "Monitor state: " << state << " (" << StateWord(state) << "), MonitorStatus " << o.monitorStatus << '\n';

    SettingContext context = DefaultSettingContext({});
    const int count = std::min(std::max(o.setTotal, 0), std::max(o.setTotalMax, 0));
    for (int n = 1; n <= count; ++n) {
      AutoFileSetting s;
      if (!ReadAutoFileSetting(env.settings, n, o, context, s)) {
        out << "Setting " << n << ": " << MonitorText(kIdsRecipientsUnreadable) << '\n';
        continue;
      }
      out << "Setting " << n << ": " << (s.check == 1 ? "enabled" : "disabled") << ", name \"" << s.setName
          << "\", number " << s.setNumber << "\n  target folder: " << s.targetFolder
          << (s.targetOnNetwork ? " (network)" : "") << "\n  target binder: " << s.targetBinder
          << (s.workDesk ? " (work desk)" : "") << "\n  link folder: " << s.linkFolder
          << (s.linkOnNetwork ? " (network)" : "") << "\n  succeeded: " << s.succeededFolder
          << ", failed: " << s.failedFolder << (s.resultFoldersOnNetwork ? " (network)" : "") << "\n  terms "
          << s.succeededTerm << '/' << s.failedTerm << " days, insert " << (s.insertPos == 2 ? "back" : "front")
          << ", recipients " << s.userCount << " [" << s.users << "]\n";
    }
  }

  for (const char* exe : {"ZorvanPersonalBrennic.exe", "Zorvan.exe"}) {
    const auto path = platform::registry::AppPath(exe);
    const bool present = path && !path->empty() && platform::IsFile(*path);
    out << "Registration " << exe << ": " << (path ? *path : std::string("(none)")) << (present ? "" : " (missing)")
        << '\n';
    if (!present) {
      problems.push_back(std::string(exe) == "Zorvan.exe" ? MonitorText(kIdsViewerNotInstalled)
                                                          : MonitorText(kIdsSuiteNotInstalled));
    }
  }

  const std::string listPath = companion::ViewerFolderListPath();
  out << "Viewer folder list: " << listPath << (platform::IsFile(listPath) ? "" : " (missing)") << '\n';
  const companion::ViewerFolders folders = companion::ReadViewerFolders();
  for (int i = 0; i < 3; ++i) {
    if (folders.link[i].empty()) continue;
    const bool exists = platform::IsFolder(folders.link[i]);
    const std::string copy = ResultAreaCopyPath(folders.link[i]);
    out << "Link folder " << i + 1 << ": " << folders.link[i] << (exists ? "" : " (missing)");
    if (platform::IsFile(copy)) {
      out << ", result area owned by \"" << ProfileRead("Product", "HostName", "", copy) << '"';
    }
    out << '\n';
  }
  out << "Current folder: " << folders.currentFolder << '\n';

  if (problems.empty()) {
    out << "Installation usable.\n";
    return 0;
  }
  out << "Installation NOT usable:\n";
  for (const std::string& p : problems) out << "  - " << p << '\n';
  return 1;
}

}  // namespace zv::monitor
