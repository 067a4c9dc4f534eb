#include "monitor/ui/texts.h"

#include "companion/strings.h"

namespace zv::monitor::ui {

std::string UiString(int id) { return companion::LoadString(companion::StringTable::Monitor, id); }

}  // namespace zv::monitor::ui
