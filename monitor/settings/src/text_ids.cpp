#include "monitor/settings/text_ids.h"

#include "companion/strings.h"

namespace zv::monitor {

std::string MonitorText(int id) { return companion::LoadString(companion::StringTable::Monitor, id); }

}  // namespace zv::monitor
