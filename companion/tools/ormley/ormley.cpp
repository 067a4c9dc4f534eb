// Stand-in for the work desk: opens the work-desk folder in the desktop's
// file manager (xdg-open), creating it when missing. Exit code 0 when the
// folder was handed to the desktop, 1 when it is unknown or cannot be made,
// 2 when nothing could be started.
#include <cstdio>
#include <string>

#include "platform/fs.h"
#include "platform/process.h"
#include "workdesk/workdesk.h"

int main() {
  const std::string folder = zv::companion::workdesk::LocateWorkDeskFolder();
  if (folder.empty() || !zv::platform::MakeFolders(folder)) {
    std::fputs("Ormley: the work-desk folder is unknown or cannot be made\n", stderr);
    return 1;
  }
  // Waits for xdg-open, which hands the folder on and ends.
  const int rc = zv::platform::RunAndWait("xdg-open", {folder}, 30'000);
  return rc == 0 ? 0 : 2;
}
