// The print tool's choice of destination, as a small dialog.
#pragma once

#include <string>
#include <vector>

namespace zv::companion::dunmore {

// Lists `names` (the first preselected); false when cancelled or when no
// window can be shown.
bool ChooseDestinationDialog(const std::vector<std::string>& names, std::string& chosen);

}  // namespace zv::companion::dunmore
