// The insertion of dropped pages, in the order the checks must run: nothing
// in the binder changes before every check passed and the work desk agreed.
#include "sendfile/send.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>

#include "binderlib/binderini.h"
#include "binderlib/format.h"
#include "binderlib/locks.h"
#include "companion/services.h"
#include "companion/trace.h"
#include "dravel/dravel.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/library.h"
#include "platform/local_peer.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "sendfile/recipients.h"
#include "sendfile/window_state.h"

namespace zv::sendfile {

namespace bl = companion::binder;
namespace ini = platform::ini;

namespace {

// The insertion that writes the send's keyword tokens and the binder's
// version in the same binder ini replacement as the pages.
using AddPagesFn = int (*)(void*, int, const char*, const char*, int, int, int, int, int, const char*, int);
using TotalPageFn = int (*)(const char*, int);

constexpr int kLockSeconds = 10;

SendOutcome Fail(int code, const std::string& line) {
  ToolLog(__FILE__, __LINE__, line, code);
  SendOutcome o;
  o.code = code;
  o.log = line;
  return o;
}

}  // namespace

void ToolLog(const char* file, int line, const std::string& message, int code) {
  static const int on = ReadToolSettings().traceOn;
  if (on <= 0) return;
  companion::TraceLogWriteCode(1, "Marloft.exe", platform::LastComponent(file), line, nullptr, code, 0, message);
}

std::string SendStamp(std::int64_t unixSeconds) { return platform::LocalTimeText(unixSeconds, "%Y%m%d%H%M%S"); }

namespace {

// The library of the program folder, loaded at the first send and kept for
// the life of the process: unloading it after each send would orphan what
// it keeps for its own lifetime (the ini layer's parse cache) once per send.
// nullptr when it cannot be loaded; a later send tries again.
const platform::SharedLibrary* DravelLibrary() {
  static std::mutex mutex;
  static auto* loaded = new std::map<std::string, platform::SharedLibrary>;  // never destroyed
  const std::string path = platform::JoinPath(platform::ProgramFolder(), "libDravel.so");
  const std::lock_guard<std::mutex> guard(mutex);
  auto it = loaded->find(path);
  if (it == loaded->end()) {
    platform::SharedLibrary library = platform::SharedLibrary::Open(path);
    if (!library) return nullptr;
    it = loaded->emplace(path, std::move(library)).first;
  }
  return &it->second;
}

}  // namespace

SendOutcome SendDroppedPages(const DropRequest& drop, const SendTarget& target, int insertPosition,
                             std::int64_t sendTime, const SendHooks& hooks) {
  // 1. The library's two functions, loaded by name from the program folder.
  const platform::SharedLibrary* dravel = DravelLibrary();
  AddPagesFn addPages = nullptr;
  TotalPageFn totalPage = nullptr;
  if (dravel == nullptr || !dravel->Bind("AddPagesToBinderForSendFile2", addPages))
    return Fail(-101, "Load Dravel.dll AddPagesToBinderForSendFile function failed.");
  if (!dravel->Bind("GetFileTotalPageForSendFile", totalPage))
    return Fail(-101, "Load Dravel.dll GetFileTotalPageForSendFile function failed.");
  const std::string& folder = target.binderFolder;
  if (folder.empty()) return Fail(-100, "pBinderInfo pointer is null.");

  // 3. What the drag data says of the pages.
  if (drop.fromCardOrEBinder) return Fail(-13, "名刺バインダ、E-文書バインダから普通バインダへD&D.");
  if (drop.pageType != 1) return Fail(-5, "D&D pdf type is error.");

  // 4. The binder.
  ToolLog(__FILE__, __LINE__, target.secured ? "Insert to password binder." : "Insert to normal binder.");
  if (!platform::IsFolder(folder)) return Fail(-100, "Binder path is not exist.");
  if (!platform::IsFile(bl::BinderIniPath(folder))) return Fail(-100, "Binder ini file is not exist.");

  // 5. In use, then the binder's short lock for the whole insertion.
  if (bl::TestBinderOpen(folder) == bl::OpenState::Open) return Fail(-6, "Binder is in using.");
  bl::ShortLock lock(folder, kLockSeconds);
  if (!lock) return Fail(-6, "Creat ~write.locked failed.");

  // 6.-7. Version, page file and kind.
  const bl::BinderSummary b = bl::ReadBinder(folder, false);
  const std::string pageFile = bl::MainPageFilePath(folder, target.secured);
  if (!platform::IsFile(pageFile)) return Fail(-100, "DST Binder pdf file is not exist.");
  switch (bl::BinderKind(folder)) {
    case 0: break;
    case 2: return Fail(-15, "DST Binder is hagaki binder.");
    case 3: return Fail(-16, "DST Binder is hagaki binder.");
    default: return Fail(-8, "DST Binder is card binder.");
  }
  if (b.unarranged != 0) return Fail(-10, "DST Binder is unarrange binder.");
  if (b.version > bl::kSupportedBinderVersion) return Fail(-14, "DST Binder version is newer than supported.");

  // 8.-9. Room in the binder: an odd count travels with a blank page.
  int total = b.pageTotal;
  if (b.filePageMode == 0) {
    total = platform::FileSize(pageFile).value_or(0) == 0 ? 0 : totalPage(pageFile.c_str(), 0);
    if (total < 0) return Fail(-100, "Binder total page get error.");
  }
  const int maxUpload = b.UploadLimit(bl::kDefaultMaxUploadPageSend);
  const int entries = drop.pageCount + drop.pageCount % 2;
  if (maxUpload < 1 || maxUpload < total || total + entries > maxUpload) {
    SendOutcome o =
        Fail(-4, maxUpload < 1 || maxUpload < total ? "MaxUploadPage key is less than 0 or PageTotal." : "Page over.");
    o.maxUpload = maxUpload;
    return o;
  }

  // 10.-12. The source, the user's word on whole files, the source's word.
  if (!platform::ProcessAlive(drop.sourcePid)) return Fail(-5, "移動元のウィンドウハンドルを取り込み失敗.");
  if (!drop.wholeFiles && hooks.confirmWholeFiles && !hooks.confirmWholeFiles()) {
    SendOutcome o;
    o.cancelled = true;
    return o;
  }
  ToolLog(__FILE__, __LINE__, "Begin to send message to work desk.");
  const int room = maxUpload - total;
  const int answer = hooks.askPageRoom ? hooks.askPageRoom(drop.sourcePid, room) : AskPageRoom(drop.sourcePid, room);
  if (answer < 0) {
    SendOutcome o = Fail(answer, answer == -21   ? "Work desk give an error : PLOV_ERROR_MAXPAGEOVER."
                                 : answer == -34 ? "Work desk give an error : PLOV_ERROR_BINDERVERSION."
                                                 : "Work desk give an unknow error.");
    o.askedSource = true;
    return o;
  }

  // 13. The undo data.
  const std::string undo = drop.UndoData();
  auto afterAsk = [](int code, const std::string& line) {
    SendOutcome o = Fail(code, line);
    o.askedSource = true;
    return o;
  };
  if (!platform::IsFile(undo) || platform::IsSymlink(undo)) return afterAsk(-2, "UndoData.ini is not exist.");
  if (ini::GetInt(undo, bl::kSecBinderInfo, bl::kKeyCardBinder, 0) != 0) return afterAsk(-13, "D&D page is card page.");
  const int undoVersion = ini::GetInt(undo, bl::kSecVersion, bl::kKeyVersion, bl::kDefaultVersion);
  if (undoVersion > bl::kSupportedBinderVersion) return afterAsk(-12, "Undo data version is newer than supported.");

  // 14.-15. The insertion; the send's keywords on the inserted pages (so
  // the import list can find them again) and the binder's version go into
  // the same binder ini replacement. Both versions were checked: the
  // largest is never above what this installation writes.
  ToolLog(__FILE__, __LINE__, "Begin to call AddPagesToBinderForSendFile function to insert page to binder.");
  const int version = std::max({b.version, undoVersion, bl::kSupportedBinderVersion});
  const std::string stamp = SendStamp(sendTime);
  const int rc = addPages(nullptr, 0, folder.c_str(), undo.c_str(), drop.pageCount, insertPosition, 0,
                          target.secured ? 1 : 0, 0, stamp.c_str(), version);
  if (rc != 0) {
    SendOutcome o = afterAsk(rc, "AddPagesToBinderForSendFile failed.");
    o.fromCall = true;
    return o;
  }
  ToolLog(__FILE__, __LINE__, "Update binder version.");
  SendOutcome ok;
  ok.pagesInserted = entries;
  lock.Release();
  // The source removes its pages only now: before, a failure would have
  // lost them.
  ok.sourceTold = hooks.tellMoved ? hooks.tellMoved(drop.sourcePid, drop.pageCount)
                                  : TellSourceMoved(drop.sourcePid, drop.pageCount);
  if (!ok.sourceTold) ToolLog(__FILE__, __LINE__, "The work desk did not confirm the move; it keeps its pages.");
  return ok;
}

std::vector<std::string> WriteSendResult(const SendTarget& target, const SendOutcome& outcome, std::int64_t sendTime,
                                         const std::vector<std::string>& recipients) {
  // Fields are cut on a character boundary, never inside one.
  auto copy = [](char* to, const std::string& from, std::size_t size = DRAVEL_PATH_MAX) {
    const std::string_view cut = platform::Utf8CutBytes(from, size - 1);
    std::memcpy(to, cut.data(), cut.size());
    to[cut.size()] = '\0';
  };
  std::vector<std::string> written;
  std::string users;
  for (const auto& r : recipients) {
    std::string n = r;
    if (CheckName(n) != NameCheck::Ok || n != r) {
      ToolLog(__FILE__, __LINE__, "Get user list failed when logon.");
      continue;
    }
    users += r + ",";
    written.push_back(r);
  }
  DravelImpRecord rec{};
  rec.impTime = sendTime;
  copy(rec.hostName, platform::ComputerName());
  copy(rec.name, target.binderTitle);
  rec.result = outcome.code == 0 ? 1 : 0;
  copy(rec.binder, target.binderTitle);
  copy(rec.binderPath, target.binderFolder);
  copy(rec.linkFolderPath, target.linkFolder);
  copy(rec.linkFolderName, target.linkName);
  rec.impMode = 1;
  rec.pageCount = outcome.pagesInserted;
  rec.workDesk = 1;
  rec.userList = users.c_str();
  copy(rec.userName, companion::ThisUserName(), sizeof rec.userName);
  std::string message = outcome.fromCall ? OutcomeMessage(outcome) : std::string();
  for (std::size_t at; (at = message.find("\r\n")) != std::string::npos;) message.erase(at, 2);
  std::vector<char> msg(message.begin(), message.end());
  msg.push_back('\0');
  rec.message = msg.data();
  OutPutImpRsltFile(rec);
  ToolLog(__FILE__, __LINE__, "Write ini file.");
  return written;
}

}  // namespace zv::sendfile
