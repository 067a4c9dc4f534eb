#include "monitor/ui/texts.h"

#include "companion/strings.h"

namespace zv::monitor::ui {

std::string UiString(int id) {
  using companion::StringTable;
  if (companion::HasString(StringTable::Monitor, id)) return companion::LoadString(StringTable::Monitor, id);
  switch (id) {
    case kIdsProductName: return "Zorvan Folder Monitor Software";
    case kIdsVersionDefault: return "V4.0L22";
    case kIdsImportStarted: return "File import started.";
    case kIdsImportSucceeded: return "File was imported successfully.";
    case kIdsBalloonText: return "Click here to disable the notification setting.";
    case kIdsImportFailed: return "Failed to import the file.";
    default: return {};
  }
}

}  // namespace zv::monitor::ui
