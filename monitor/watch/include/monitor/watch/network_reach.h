// Looks at the network paths of a setting before the watch loop touches
// them: a dead hard mount skips the setting for one cycle instead of hanging
// the watch thread (and with it the monitor's close, which waits for it).
#pragma once

#include <string>

#include "companion/services.h"
#include "monitor/settings/catalogue.h"

namespace zv::monitor {

// Which of a setting's paths did not answer.
enum class UnreachablePart { None, Target, Binder, Succeeded, Failed };

struct Unreachable {
  UnreachablePart part = UnreachablePart::None;
  std::string path;  // the path that did not answer
  explicit operator bool() const { return part != UnreachablePart::None; }
};

// The first path of the setting that lies on a network drive (as the settings
// reader noted) and does not answer within the probe limit: the target
// folder, the link folder and the target binder, then the folders the
// setting moves its sources to (the defaults below the target folder when
// none is set).
Unreachable FirstUnreachablePath(const AutoFileSetting& setting);

// The viewer's link folders with every one that does not answer emptied, so
// that the result-area copies at thread start skip a dead share.
companion::ViewerFolders AnsweringLinkFolders(companion::ViewerFolders folders);

}  // namespace zv::monitor
