// The writer's office route (internal).
#pragma once

#include <functional>
#include <string>

namespace zv::companion {

// Converts an office or text document into the PDF file `target` with the
// office program run headless in a private profile below `tempBase`, under a
// time limit; with a print quality (dots per inch, 0: the office program's
// default) no image of the PDF is finer than that. False with a reason when
// no PDF with pages was made.
bool OfficeConvert(const std::string& document, const std::string& tempBase, const std::string& target,
                   int printQuality, int timeLimitSeconds, const std::function<bool()>& cancelled, std::string& why);

// The settings that make a fresh office profile refuse macros and untrusted
// links (the profile's registrymodifications.xcu).
std::string LockedDownProfileSettings();

}  // namespace zv::companion
