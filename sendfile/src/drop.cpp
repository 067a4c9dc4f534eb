#include "sendfile/drop.h"

#include <cstring>

#include "platform/fs.h"
#include "platform/local_peer.h"
#include "platform/paths.h"
#include "workdesk/drag_data.h"

namespace zv::sendfile {

namespace wd = companion::workdesk;

const char* DropRefusalText(DropRefusal r) {
  switch (r) {
    case DropRefusal::None: return "accepted";
    case DropRefusal::Short: return "drag data shorter than its layout";
    case DropRefusal::FolderUnterminated: return "source folder without terminator";
    case DropRefusal::FolderRelative: return "source folder is not absolute";
    case DropRefusal::CountOutOfRange: return "page count outside 1 to 5000";
    case DropRefusal::UndoFolderNotOwned: return "undo folder missing, a link or not the user's";
    case DropRefusal::NotWorkDesk: return "source is not the work desk";
  }
  return "?";
}

std::string DropRequest::UndoFolder() const { return platform::JoinPath(folder, wd::kUndoFolderName); }
std::string DropRequest::UndoData() const { return platform::JoinPath(UndoFolder(), wd::kUndoDataName); }

ParsedDrop ParseDragPayload(const std::string& bytes) {
  ParsedDrop out;
  if (bytes.size() < wd::kDragDataSize) {
    out.refusal = DropRefusal::Short;
    return out;
  }
  DropRequest& r = out.request;
  r.sourcePid = wd::ReadDragInt(bytes, wd::kDragSourceOffset);
  r.fromCardOrEBinder = wd::ReadDragInt(bytes, wd::kDragCardOffset) != 0;
  r.wholeFiles = wd::ReadDragInt(bytes, wd::kDragWholeFileOffset) != 0;
  r.pageCount = wd::ReadDragInt(bytes, wd::kDragCountOffset);
  r.pageType = wd::ReadDragInt(bytes, wd::kDragPageTypeOffset);
  r.sourceKind = wd::ReadDragInt(bytes, wd::kDragSourceKindOffset);
  if (r.sourceKind != wd::kDragSourceWorkDesk) {
    out.refusal = DropRefusal::NotWorkDesk;
    return out;
  }
  const char* field = bytes.data() + wd::kDragFolderOffset;
  const void* end = std::memchr(field, '\0', wd::kDragFolderBytes);
  if (end == nullptr) {
    out.refusal = DropRefusal::FolderUnterminated;
    return out;
  }
  r.folder.assign(field, static_cast<const char*>(end));
  if (!platform::IsAbsolutePath(r.folder)) {
    out.refusal = DropRefusal::FolderRelative;
    return out;
  }
  if (r.pageCount < 1 || r.pageCount > kMaxDroppedPages) {
    out.refusal = DropRefusal::CountOutOfRange;
    return out;
  }
  // Pages are moved out of the undo folder: it must be this user's own,
  // never another user's folder or a link planted to one.
  const auto owner = platform::OwnerOf(r.UndoFolder());
  if (!owner || *owner != platform::EffectiveUser() || platform::IsSymlink(r.UndoFolder()) ||
      !platform::IsFolder(r.UndoFolder())) {
    out.refusal = DropRefusal::UndoFolderNotOwned;
    return out;
  }
  return out;
}

int AskPageRoom(int sourcePid, int room, int timeoutMs) {
  constexpr int kNoAnswer = -5;
  if (!platform::ProcessAlive(sourcePid)) return kNoAnswer;
  const auto answer = platform::RequestLine(wd::PageRoomSocketPath(sourcePid),
                                            std::string(wd::kPageRoomRequest) + " " + std::to_string(room), timeoutMs);
  if (!answer) return kNoAnswer;
  // One decimal integer, an optional sign, nothing else.
  const std::string& a = *answer;
  std::size_t i = (!a.empty() && (a[0] == '-' || a[0] == '+')) ? 1 : 0;
  if (i == a.size() || a.size() > 11) return kNoAnswer;
  for (std::size_t k = i; k < a.size(); ++k)
    if (a[k] < '0' || a[k] > '9') return kNoAnswer;
  const long long v = std::stoll(a);
  if (v < -2147483648LL || v > 2147483647LL) return kNoAnswer;
  return static_cast<int>(v);
}

bool TellSourceMoved(int sourcePid, int pages, int timeoutMs) {
  if (!platform::ProcessAlive(sourcePid)) return false;
  const auto answer = platform::RequestLine(wd::PageRoomSocketPath(sourcePid),
                                            std::string(wd::kMovedRequest) + " " + std::to_string(pages), timeoutMs);
  return answer && *answer == "ok";
}

}  // namespace zv::sendfile
