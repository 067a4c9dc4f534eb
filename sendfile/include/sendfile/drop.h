// The work desk's drag data as the send-file window receives it, and the
// page-room request to its source.
#pragma once

#include <string>

namespace zv::sendfile {

// Why drag data is refused before anything it names is read.
enum class DropRefusal {
  None,
  Short,               // fewer bytes than the layout
  FolderUnterminated,  // the folder field has no terminator
  FolderRelative,      // the folder is not an absolute path
  CountOutOfRange,     // the page count is outside 1 to 5,000
  UndoFolderNotOwned,  // the undo folder is missing, a link or someone else's
  NotWorkDesk,         // the source kind is not the work desk
};
const char* DropRefusalText(DropRefusal r);

inline constexpr int kMaxDroppedPages = 5000;

struct DropRequest {
  int sourcePid = 0;
  std::string folder;
  bool fromCardOrEBinder = false;
  bool wholeFiles = true;
  int pageCount = 0;
  int pageType = 0;
  int sourceKind = 0;
  std::string UndoFolder() const;
  std::string UndoData() const;  // <folder>/UndoFolder/UndoData.ini
};

struct ParsedDrop {
  DropRefusal refusal = DropRefusal::None;
  DropRequest request;
  bool ok() const { return refusal == DropRefusal::None; }
};

// Checks the bytes offered under the work desk's MIME type.
ParsedDrop ParseDragPayload(const std::string& bytes);

// The page-room request: "pageroom <room>" to the source's socket; its
// decimal answer (0 or more agrees). No answer within `timeoutMs`, an answer
// that is not a number, or a source that no longer runs give -5.
inline constexpr int kPageRoomTimeoutMs = 5000;
int AskPageRoom(int sourcePid, int room, int timeoutMs = kPageRoomTimeoutMs);

// Tells the source that its pages were filed ("moved <n>"); true when it
// confirmed. Until then the source keeps its pages.
bool TellSourceMoved(int sourcePid, int pages, int timeoutMs = kPageRoomTimeoutMs);

}  // namespace zv::sendfile
