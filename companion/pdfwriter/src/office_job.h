// The writer's office route (internal).
#pragma once

#include <functional>
#include <string>

#include "pdfwriter/writer.h"

namespace zv::companion {

// The settings that make a fresh office profile refuse macros and untrusted
// links (the profile's registrymodifications.xcu).
std::string LockedDownProfileSettings();

}  // namespace zv::companion
