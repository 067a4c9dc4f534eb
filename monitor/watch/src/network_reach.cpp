#include "monitor/watch/network_reach.h"

#include "companion/common.h"
#include "monitor/watch/checks.h"
#include "platform/paths.h"

namespace zv::monitor {

namespace {

bool Dead(const std::string& path) { return !path.empty() && companion::ComIsUnreachable(path) != 0; }

}  // namespace

Unreachable FirstUnreachablePath(const AutoFileSetting& s) {
  if (s.targetOnNetwork && Dead(s.targetFolder)) return {UnreachablePart::Target, s.targetFolder};
  if (s.linkOnNetwork) {
    if (Dead(s.linkFolder)) return {UnreachablePart::Binder, s.linkFolder};
    if (Dead(s.targetBinder)) return {UnreachablePart::Binder, s.targetBinder};
  }
  if (s.resultFoldersOnNetwork) {
    const std::string succ = s.succeededFolderSet ? s.succeededFolder : platform::JoinPath(s.targetFolder, "Success");
    const std::string fail = s.failedFolderSet ? s.failedFolder : platform::JoinPath(s.targetFolder, "Fail");
    // Both, whatever the move modes: the daily clean-up walks them too.
    if (Dead(succ)) return {UnreachablePart::Succeeded, succ};
    if (Dead(fail)) return {UnreachablePart::Failed, fail};
  }
  return {};
}

companion::ViewerFolders AnsweringLinkFolders(companion::ViewerFolders folders) {
  for (auto& link : folders.link) {
    if (Dead(link)) {
      ZV_WATCH_TRACE("Thread_FileCheck: the link folder does not answer - " + link);
      link.clear();
    }
  }
  return folders;
}

}  // namespace zv::monitor
