// Entry points of the tray program. The program's main() does the start-up
// steps that need no window (settings checks, command line, single-instance
// lock, status reset) and then calls one of these.
#pragma once

#include <string>

namespace zv::monitor::ui {

struct TrayStartup {
  std::string programFolder;  // holds EnvSetInfo.ini and the status file
  std::string socketName;     // platform::SingleInstance::socketName()
  bool openSettings = false;  // "-p" or "-ps" as the only argument
};

// True when a desktop session can be reached (X11 or Wayland display).
bool DisplayAvailable();

// The first instance: hidden frame, tray icon (or none where the desktop has
// no notification area), watch thread, second-instance requests, session
// end handling; returns when the monitor exits. SIGTERM and SIGINT close it
// as a log-off does (they must not be blocked in the calling thread).
int RunTrayApplication(int argc, char** argv, const TrayStartup& startup);

// A later instance: passes "settings" (when `settingsRequest`) or "raise" to
// the running one and returns 0; it never reports anything to the user.
int RunSecondInstance(int argc, char** argv, const std::string& socketName, bool settingsRequest);

// Makes the compiled-in icons available (idempotent).
void InitUiResources();

}  // namespace zv::monitor::ui
