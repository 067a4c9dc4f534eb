// The writer's PDF route (internal).
#pragma once

#include <string>

namespace zv::companion {

// Writes `target` as an unencrypted copy of `source` when its owner allows
// printing. False with a reason otherwise.
bool PrintPdfCopy(const std::string& source, const std::string& target, std::string& why);

}  // namespace zv::companion
