// Filing dropped pages into the chosen binder: the checks before the work
// desk is asked, the insertion through the library (loaded by name), the
// send keywords on the inserted pages and the result record.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sendfile/drop.h"

namespace zv::sendfile {

// The chosen binder and where it lies.
struct SendTarget {
  std::string binderFolder;
  std::string binderTitle;
  bool secured = false;
  std::string linkFolder, linkName;
};

struct SendHooks {
  // The selection holds part of an electronic file: true to go on.
  std::function<bool()> confirmWholeFiles;
  // The page-room request; AskPageRoom when empty.
  std::function<int(int sourcePid, int room)> askPageRoom;
  // Telling the source its pages moved; TellSourceMoved when empty.
  std::function<bool(int sourcePid, int pages)> tellMoved;
};

struct SendOutcome {
  int code = 0;              // 0 success, else a code of the table
  bool cancelled = false;    // the user cancelled: nothing to report
  bool askedSource = false;  // the failure came after the work desk agreed
  bool fromCall = false;     // the failure came from the library's insertion
  int maxUpload = 0;         // for the -4 message
  int pagesInserted = 0;     // entries added (an odd count padded to even)
  bool sourceTold = false;   // the source confirmed that its pages moved
  std::string log;           // the line that was logged for the failure
};

// Runs the insertion for a checked drop. `sendTime` is the time the send's
// keywords and result record carry.
SendOutcome SendDroppedPages(const DropRequest& drop, const SendTarget& target, int insertPosition,
                             std::int64_t sendTime, const SendHooks& hooks);

// "YYYYMMDDhhmmss" of a time, local time (the result record's Keyword).
std::string SendStamp(std::int64_t unixSeconds);

// The message shown for an outcome (empty for success and cancel).
std::string OutcomeMessage(const SendOutcome& o);

// Writes the result record of a send: ImpMode 1, the send time as Keyword,
// Page the entries inserted, the ticked recipients (valid names only). The
// recipients actually written.
std::vector<std::string> WriteSendResult(const SendTarget& target, const SendOutcome& outcome, std::int64_t sendTime,
                                         const std::vector<std::string>& recipients);

// The tool's texts.
enum class Text {
  Caption,
  DropHere,
  ConfirmWholeFiles,
  DllLoadFailed,
  LinkFolderInfoFailed,
  ViewerStartFailed,
  LocalSuffix,
  UserReadFailed,
  NameBlank,
  NameTooLong,
  NameForbidden,
  TooManyUsers,
  NameTaken,
  ConfirmAdd,
  ConfirmRename,
  ConfirmDelete,
  SelectUser,
  SaveFailed,
  RenameFailed,
  DeleteFailed,
  ConfirmImport,
  ImportRefused,
  CopyFailed,
  OverwriteQuestion,
  EditorTitle,
  MenuEditUsers,
  MenuTopMost,
  ChooseTitle,
  Front,
  Back,
  Recipients,
  Add,
  Rename,
  Delete,
  Import,
  Export,
  Close,
};
std::string TextOf(Text t);

// Trace lines of the tool (module "Marloft.exe"), switched by
// SendFileToolLog.
void ToolLog(const char* file, int line, const std::string& message, int code = 0);
#define ZV_MARLOFT_LOG(msg) ::zv::sendfile::ToolLog(__FILE__, __LINE__, (msg))

}  // namespace zv::sendfile
