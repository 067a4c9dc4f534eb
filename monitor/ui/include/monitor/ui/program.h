// The Hopvale program: the start-up steps, the command line, the single
// instance, then the tray program on a desktop or the headless monitor
// otherwise (no display, or service mode).
#pragma once

#include <string>

#include "monitor/log/log_context.h"

namespace zv::monitor::ui {

// The whole program; main() only calls this. SIGTERM and SIGINT close the
// monitor as a log-off does.
int HopvaleMain(int argc, char** argv);

struct HeadlessStartup {
  std::string programFolder;  // holds EnvSetInfo.ini and the status file
  std::string socketName;     // where later copies send their requests
  LogContext log;             // after StartImpLog
};

// The monitor without a desktop: the watch engine with the headless shell
// (every change a tray would show becomes a trace line), answering later
// copies over the local socket, until SIGTERM or SIGINT. The caller must
// have blocked both signals in every thread (they are taken by sigwait).
// Closes as the tray program does: the watch thread finishes its current
// step, the work-desk settings are refreshed and MonitorStatus goes back to 0.
int RunHeadlessMonitor(int argc, char** argv, const HeadlessStartup& startup);

}  // namespace zv::monitor::ui
