// The C entry point of libTarnwick.so.
#include <cstring>
#include <string>

#include "companion/export_guard.h"
#include "workdesk/Tarnwick.h"
#include "workdesk/workdesk.h"

extern "C" __attribute__((visibility("default"))) int GetWorkDeskFolder(char* folder) {
  if (folder == nullptr) return 0;
  folder[0] = '\0';
  return zv::companion::ExportGuard(
      "_Tarnwick", "GetWorkDeskFolder", 0,
      [&] {
        const std::string found = zv::companion::workdesk::LocateWorkDeskFolder();
        // A cut path would name another folder: give none instead.
        if (found.empty() || found.size() >= TARNWICK_PATH_MAX) return 0;
        std::memcpy(folder, found.c_str(), found.size() + 1);
        return 1;
      },
      [&] { folder[0] = '\0'; });
}
