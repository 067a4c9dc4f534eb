// Send-file insertion: pages dropped from the work desk go into a binder as
// one transaction.
//
// All ini changes go to "<name>_tmp.ini", a copy of the binder ini; a single
// page file is rebuilt as "<name>_tmp.pdf" and swapped in while the old one
// waits as "<name>_backup.pdf"; new page files of a multi-file binder get ids
// above MaxPageID. The rename of _tmp.ini over the binder ini is the commit
// point: nothing can fail after it. A crash before it leaves _tmp.ini, which
// tells the next holder of the binder's lock to restore the page file from
// _backup.pdf and drop the new files (binderlib/recover.h).
//
// A send-file tool's send also names its keyword stamp and the binder
// version to record: both go into _tmp.ini, so the pages' "<stamp>_<i> "
// tokens are committed by the same rename as the pages themselves (a crash
// can never leave filed pages the import list cannot find).
//
// The undo data comes from another process and is checked before use: page
// and OCR file names are plain names of regular files inside the undo
// folder, page indexes lie within their files, the page count within 1 to
// 5000.
#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <set>

#include "binderlib/binderini.h"
#include "binderlib/binderlib.h"
#include "binderlib/format.h"
#include "binderlib/moswell.h"
#include "binderlib/recover.h"
#include "companion/export_guard.h"
#include "companion/services.h"
#include "dravel/core.h"
#include "dravel/dravel.h"
#include "dravel/send.h"
#include "image_library.h"
#include "imagelib/Pixmoor.h"
#include "platform/filelock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/library.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "store/iniimage.h"

namespace zv::dravel {

namespace bl = companion::binder;
namespace ini = platform::ini;

namespace {

SendStepHook g_sendHook = nullptr;
void Step(const char* s) {
  if (g_sendHook) g_sendHook(s);
}

#define SEND_LOG(msg) SendFileLog(__FILE__, __LINE__, (msg))

constexpr int kMaxDroppedPages = 5000;
constexpr const char* kHollowPdf = "A4Hollow.pdf";
constexpr const char* kOcrContent = "OCRTEXTCONTENT";
constexpr const char* kOcrLength = "OCRTEXTLENGTH";
constexpr const char* kSufEBookID = "EBookID";
constexpr const char* kSufEBookName = "EBookName";
// Page keys copied with a dropped page.
constexpr const char* kCopiedPageKeys[] = {bl::kSufInsProdFlg,  bl::kSufContent,       bl::kSufContentFlag,
                                           bl::kSufContentType, bl::kSufContentNoPage, bl::kSufContentText};

// The image library with the send-file log lines around its loading and
// its session.
class SendImageLibrary {
 public:
  int Load() {
    if (!lib_.Load()) {
      SEND_LOG("Load pixmoor.dll failed.");
      return -103;
    }
    SEND_LOG("Load pixmoor.dll succeed.");
    return 0;
  }
  int Initialize(void* owner) {
    if (!lib_.Initialize(owner, "Corvane")) {
      SEND_LOG("Initial pixmoor.dll failed.");
      return -102;
    }
    SEND_LOG("Initial pixmoor.dll succeed.");
    return 0;
  }
  // Pages of a file, or the image library's negative code.
  int PageCount(const std::string& path) const {
    ImageIOFileInfo info{};
    info.structSize = sizeof info;
    const int rc = lib_.getFileInfo(path.c_str(), 0, &info);
    return rc == IMAGEIO_OK ? info.pageCount : rc;
  }
  ~SendImageLibrary() {
    const bool initialised = lib_.initialised(), loaded = lib_.loaded();
    lib_.Unload();
    if (initialised) SEND_LOG("Uninitial pixmoor.dll.");
    if (loaded) SEND_LOG("Unload pixmoor.dll.");
  }

 private:
  ImageLibrary lib_;
};

// A plain name of a regular file inside `folder` (no path, no link).
std::optional<std::string> FileInside(const std::string& folder, const std::string& name) {
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
      name.find('\\') != std::string::npos)
    return std::nullopt;
  const std::string path = platform::JoinPath(folder, name);
  if (platform::IsSymlink(path) || !platform::IsFile(path)) return std::nullopt;
  return path;
}

// One dropped page as checked.
struct DroppedPage {
  int flag = 0;
  std::string file;  // the page's PDF (empty for flag 2)
  int index = 0;     // 0-based page in it
  std::string password;
  std::map<std::string, std::string> keys;  // copied PageInfo suffix -> value
  std::string ocrFile, ocrLength;           // OCR text file in the undo folder
  std::string ebookId, ebookName;
  bool hasEBook = false;
};

// Lock files of a running send, released in reverse.
class SendLock {
 public:
  bool Take(const std::string& folder) {
    folder_ = folder;
    writeLock_ = platform::HeldLock::TryAcquire(bl::Join(folder, bl::kSendWriteLock));
    if (!writeLock_) return false;
    // Under ~Write.Lock any Locked / Conv_Locked is left by a send that died.
    for (const char* n : {bl::kSendLocked, bl::kConvLocked}) platform::RemoveFile(bl::Join(folder, n));
    locked_ = platform::CreateExclusive(bl::Join(folder, bl::kSendLocked));
    conv_ = locked_ && platform::CreateExclusive(bl::Join(folder, bl::kConvLocked));
    return conv_;
  }
  void Release() {
    if (conv_) platform::RemoveFile(bl::Join(folder_, bl::kConvLocked));
    if (locked_) platform::RemoveFile(bl::Join(folder_, bl::kSendLocked));
    conv_ = locked_ = false;
    if (writeLock_) writeLock_.Release();
  }
  ~SendLock() { Release(); }

 private:
  std::string folder_;
  platform::HeldLock writeLock_;
  bool locked_ = false, conv_ = false;
};

// Each image page's place in a single page file: FilePageNumber, or its
// place among the pages with a file.
std::map<int, int> FilePlaces(const store::IniImage& image, const bl::BinderSummary& b) {
  std::map<int, int> places;
  int place = 0;
  for (const auto& p : b.pages) {
    if (p.flag == bl::kPageFlagNoFile) continue;
    ++place;
    auto v = image.Get(bl::kSecPageInfo, bl::PageKey(p.number, bl::kSufFilePageNumber));
    auto n = v ? bl::ParseStrictInt(*v) : std::nullopt;
    places[p.number] = n && *n >= 1 ? *n : place;
  }
  return places;
}

class Send {
 public:
  Send(void* owner, std::string folder, std::string undo, int count, int position, bool secured, SendMarks marks)
      : owner_(owner),
        folder_(std::move(folder)),
        undoPath_(std::move(undo)),
        count_(count),
        front_(SendPositionToBinder(position) == bl::kInsertFront),
        secured_(secured),
        marks_(std::move(marks)) {}

  int Run();

 private:
  int Prepare();
  int CheckUndo(int current, int maxUpload);
  int Merge(const bl::BinderSummary& b);
  int WritePages(const bl::BinderSummary& b);
  int Commit();
  int RollBack(int code);

  void* owner_;
  std::string folder_, undoPath_;
  int count_;
  bool front_, secured_;
  SendMarks marks_;
  std::string password_;
  SendImageLibrary image_;
  SendLock lock_;
  bool locked_ = false;
  std::string iniPath_, mainPdf_, tmpIni_, tmpPdf_, backupPdf_, hollow_;
  bool multi_ = true;
  std::vector<DroppedPage> dropped_;
  std::vector<int> newIds_;             // per dropped page, 0 for flag 2
  std::vector<std::string> copiedOcr_;  // OCR files written into the binder
  std::vector<std::string> emptied_;    // EditInfo sections whose keys moved on
  std::map<int, int> oldPlaces_;        // single file: entry -> place
  int oldFilePages_ = 0;                // single file: pages in it
};

int Send::Prepare() {
  iniPath_ = bl::BinderIniPath(folder_);
  const std::string ext = secured_ ? ".pwb" : ".pdf";
  mainPdf_ = bl::BinderWorkFile(folder_, ext);
  tmpIni_ = bl::BinderWorkFile(folder_, "_tmp.ini");
  tmpPdf_ = bl::BinderWorkFile(folder_, "_tmp" + ext);
  backupPdf_ = bl::BinderWorkFile(folder_, "_backup" + ext);
  const std::string viewer = platform::TrimTrailingSeparator(companion::ViewerProgramFolder());
  hollow_ = viewer.empty() ? std::string() : platform::JoinPath(viewer, kHollowPdf);
  if (hollow_.empty() || !platform::IsFile(hollow_)) {
    SEND_LOG("Can not get Hollow PDF file.");
    return -5;
  }
  if (!platform::IsFile(undoPath_)) {
    SEND_LOG("undodata.ini is not exist.");
    return -2;
  }
  multi_ = store::IniImage(iniPath_).GetInt(bl::kSecBinderInfo, bl::kKeyFilePageMode, bl::kDefaultFilePageMode) != 0;
  if (!platform::IsFile(iniPath_) || (!multi_ && !platform::IsFile(mainPdf_))) {
    SEND_LOG("Binder.ini or Binder.pdf is not exist.");
    return -3;
  }
  return 0;
}

int Send::CheckUndo(int current, int maxUpload) {
  store::IniImage undo;
  if (!undo.Load(undoPath_)) {
    SEND_LOG("Open undodata.ini file failed.");
    return -2;
  }
  const auto listedText = undo.Get(bl::kSecBinderInfo, bl::kKeyPageTotal);
  const auto listed = listedText ? bl::ParseStrictInt(*listedText) : std::nullopt;
  if (count_ <= 0 || !listed || *listed < 1 || *listed > kMaxDroppedPages) {
    SEND_LOG("D&D page total number error.");
    return -2;
  }
  // An odd count travels with one blank page: added here when the undo data
  // lists the odd count, taken as listed when it lists the even one.
  const bool pad = count_ % 2 == 1 && *listed == count_;
  if (*listed != count_ && !(count_ % 2 == 1 && *listed == count_ + 1)) {
    SEND_LOG("D&D page total number error.");
    return -3;
  }
  const int entries = *listed + (pad ? 1 : 0);
  if (current + entries > maxUpload) {
    SEND_LOG("Page over max page number.");
    return -4;
  }
  const std::string undoFolder = platform::ParentFolder(undoPath_);
  std::map<std::string, int> pagesOf;  // page count per file, read once
  auto bad = [&](int page, const std::string& why) {
    SEND_LOG("Undo data page " + std::to_string(page) + " refused: " + why + ".");
    return -2;
  };
  for (int i = 1; i <= *listed; ++i) {
    DroppedPage d;
    auto get = [&](const char* section, const char* suffix) { return undo.Get(section, bl::PageKey(i, suffix)); };
    if (auto f = get(bl::kSecPageInfo, bl::kSufFlag)) {
      auto n = bl::ParseStrictInt(*f);
      if (!n) return bad(i, "flag is not a number");
      d.flag = *n;
    }
    if (d.flag != bl::kPageFlagNoFile) {
      auto name = get(bl::kSecPageInfo, bl::kSufFilePageName);
      auto file = name ? FileInside(undoFolder, *name) : std::nullopt;
      if (!file) return bad(i, "page file is not a file of the undo folder");
      auto numberText = get(bl::kSecPageInfo, bl::kSufFilePageNumber);
      auto number = numberText ? bl::ParseStrictInt(*numberText) : std::optional<int>(1);
      if (!number) return bad(i, "page number is not a number");
      auto known = pagesOf.find(*file);
      if (known == pagesOf.end()) known = pagesOf.emplace(*file, image_.PageCount(*file)).first;
      if (known->second < 1) return bad(i, "page file cannot be read");
      if (*number < 1 || *number > known->second) return bad(i, "page number outside its file");
      d.file = *file;
      d.index = *number - 1;
    }
    for (const char* suffix : kCopiedPageKeys)
      if (auto v = get(bl::kSecPageInfo, suffix)) d.keys[suffix] = *v;
    if (auto ocr = get(bl::kSecOcrText, kOcrContent); ocr && !ocr->empty()) {
      auto file = FileInside(undoFolder, *ocr);
      if (!file) return bad(i, "OCR text file is not a file of the undo folder");
      d.ocrFile = *file;
      d.ocrLength = get(bl::kSecOcrText, kOcrLength).value_or("");
    }
    if (auto id = get(bl::kSecEBookInfo, kSufEBookID)) {
      d.hasEBook = true;
      d.ebookId = *id;
      d.ebookName = get(bl::kSecEBookInfo, kSufEBookName).value_or("");
    }
    dropped_.push_back(std::move(d));
  }
  if (pad) {
    DroppedPage blank;
    blank.flag = 1;
    blank.file = hollow_;
    dropped_.push_back(std::move(blank));
  }
  if (std::none_of(dropped_.begin(), dropped_.end(), [](const auto& d) { return d.flag != bl::kPageFlagNoFile; })) {
    SEND_LOG("Can not get first image page ID in D&D pages.");
    return -2;
  }
  return 0;
}

int Send::Merge(const bl::BinderSummary& b) {
  store::IniImage tmp;
  if (!tmp.Load(tmpIni_)) {
    SEND_LOG("Open temp ini file failed.");
    return -3;
  }
  const int n = static_cast<int>(dropped_.size());
  const int listed = static_cast<int>(b.pages.size());
  const int first = front_ ? 1 : listed + 1;
  int imagePages = 0;
  for (const auto& d : dropped_)
    if (d.flag != bl::kPageFlagNoFile) ++imagePages;
  if (!multi_) oldPlaces_ = FilePlaces(tmp, b);

  // Every key set here, and the old keys that may be left over.
  std::set<std::string> written;
  std::vector<std::pair<std::string, std::string>> stale;
  auto set = [&](const char* section, const std::string& key, const std::string& value) {
    tmp.Set(section, key, value);
    written.insert(platform::ToLowerAscii(std::string(section) + "/" + key));
  };
  // Old pages move behind the new ones; their page-numbered keys with them.
  if (front_ && listed > 0) {
    for (const char* section : {bl::kSecPageInfo, bl::kSecOcrText, bl::kSecEBookInfo}) {
      struct Move {
        std::string oldKey, newKey, value;
      };
      std::vector<Move> moves;
      for (const auto& [k, v] : tmp.Entries(section)) {
        auto p = bl::ParsePageKey(k);
        if (!p) continue;
        std::string value = v;
        if (platform::EqualsNoCase(p->suffix, bl::kSufContentNoPage))
          if (auto c = bl::ParseStrictInt(v); c && *c >= 1) value = std::to_string(*c + n);
        moves.push_back({k, bl::PageKey(p->page + n, p->suffix), value});
      }
      // Values move onto the keys in place; keys nothing takes over are
      // deleted at the end (a deletion costs more than a value replaced).
      for (const auto& m : moves) {
        tmp.Set(section, m.newKey, m.value);
        written.insert(platform::ToLowerAscii(std::string(section) + "/" + m.newKey));
        stale.emplace_back(section, m.oldKey);
      }
    }
    // The per-page EditInfo<n> sections follow their pages, highest first.
    std::map<int, std::string, std::greater<>> edits;
    for (const auto& name : tmp.Sections())
      if (auto page = bl::ParseEditInfoSection(name)) edits.emplace(*page, name);
    for (const auto& [page, name] : edits) {
      const std::string target = bl::EditInfoSection(page + n);
      for (const auto& [k, v] : tmp.Entries(name)) {
        tmp.Set(target, k, v);
        written.insert(platform::ToLowerAscii(target + "/" + k));
        stale.emplace_back(name, k);
      }
      if (page <= n) emptied_.push_back(name);
    }
  }
  if (!multi_) {
    // Old pages' places in the rebuilt page file.
    std::set<int> places;
    for (const auto& [entry, place] : oldPlaces_) places.insert(place);
    oldFilePages_ = places.empty() ? 0 : *places.rbegin();
    int implicit = 0;
    for (const auto& [entry, place] : oldPlaces_) {
      ++implicit;
      const int now = place + (front_ ? imagePages : 0);
      const std::string key = bl::PageKey(front_ ? entry + n : entry, bl::kSufFilePageNumber);
      if (now != implicit || tmp.Get(bl::kSecPageInfo, key)) set(bl::kSecPageInfo, key, std::to_string(now));
    }
  }

  // The dropped pages at the insertion point.
  std::set<std::string> ocrNames;
  for (const auto& [k, v] : tmp.Entries(bl::kSecOcrText)) {
    auto p = bl::ParsePageKey(k);
    if (p && platform::EqualsNoCase(p->suffix, kOcrContent)) ocrNames.insert(platform::ToLowerAscii(v));
  }
  int maxId = b.maxPageId, image = 0, contents = 0, ebooks = 0;
  for (int i = 0; i < n; ++i) {
    const DroppedPage& d = dropped_[static_cast<std::size_t>(i)];
    const int page = first + i;
    set(bl::kSecPageInfo, bl::PageKey(page, bl::kSufFlag), std::to_string(d.flag));
    std::map<std::string, std::string> keys = d.keys;
    if (!marks_.keywordStamp.empty()) {
      // The send's token in front of the page's own keyword.
      const std::string token = marks_.keywordStamp + "_" + std::to_string(i + 1) + " ";
      std::string& keyword = keys[bl::kSufContent];
      if (!keyword.starts_with(token)) keyword = token + keyword;
    }
    for (const auto& [suffix, value] : keys) {
      std::string v = value;
      if (suffix == bl::kSufContentNoPage)
        if (auto c = bl::ParseStrictInt(value); c && *c >= 1) v = std::to_string(*c - 1 + first);
      set(bl::kSecPageInfo, bl::PageKey(page, suffix), v);
    }
    if (auto it = d.keys.find(bl::kSufContentFlag); it != d.keys.end() && bl::ParseStrictInt(it->second).value_or(0))
      ++contents;
    int id = 0;
    if (d.flag != bl::kPageFlagNoFile) {
      ++image;
      if (multi_) {
        id = ++maxId;
        set(bl::kSecPageInfo, bl::PageKey(page, bl::kSufFilePageID), std::to_string(id));
        set(bl::kSecPageInfo, bl::PageKey(page, bl::kSufFilePageName),
            platform::LastComponent(bl::PageFilePath(folder_, id, secured_)));
        set(bl::kSecPageInfo, bl::PageKey(page, bl::kSufFilePageNumber), "1");
      } else {
        set(bl::kSecPageInfo, bl::PageKey(page, bl::kSufFilePageName), platform::LastComponent(mainPdf_));
        set(bl::kSecPageInfo, bl::PageKey(page, bl::kSufFilePageNumber),
            std::to_string(front_ ? image : oldFilePages_ + image));
      }
    }
    newIds_.push_back(id);
    if (!d.ocrFile.empty()) {
      // Named from the page number, but never over a file or a name the
      // binder already has (a front insertion reuses low page numbers).
      const std::string ext = "." + platform::Extension(d.ocrFile);
      std::string name;
      for (int k = page;; ++k) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "_%04d", k);
        name = bl::FolderName(folder_) + buf + (ext == "." ? "" : ext);
        if (!ocrNames.count(platform::ToLowerAscii(name)) && !platform::Exists(bl::Join(folder_, name))) break;
      }
      ocrNames.insert(platform::ToLowerAscii(name));
      if (!platform::CopyFile(d.ocrFile, bl::Join(folder_, name), false)) {
        SEND_LOG("Ini file process error.");
        return -3;
      }
      copiedOcr_.push_back(bl::Join(folder_, name));
      set(bl::kSecOcrText, bl::PageKey(page, kOcrContent), name);
      if (!d.ocrLength.empty()) set(bl::kSecOcrText, bl::PageKey(page, kOcrLength), d.ocrLength);
    }
    if (d.hasEBook) {
      ++ebooks;
      set(bl::kSecEBookInfo, bl::PageKey(page, kSufEBookID), d.ebookId);
      set(bl::kSecEBookInfo, bl::PageKey(page, kSufEBookName), d.ebookName);
    }
  }
  for (const auto& [section, key] : stale)
    if (!written.count(platform::ToLowerAscii(section + "/" + key))) tmp.Delete(section, key);
  if (multi_) tmp.SetInt(bl::kSecPageInfo, bl::kKeyMaxPageID, maxId);
  if (contents > 0) tmp.SetInt(bl::kSecPageInfo, bl::kKeyContentTotal, b.contentTotal + contents);
  tmp.SetInt(bl::kSecBinderInfo, bl::kKeyPageTotal, b.CountedPages() + image);
  if (marks_.binderVersion > b.version) tmp.SetInt(bl::kSecVersion, bl::kKeyVersion, marks_.binderVersion);
  SEND_LOG("Tmp ini file process succeed.");
  if (ebooks > 0) {
    tmp.SetInt(bl::kSecEBookInfo, bl::kKeyEBookTotalNum,
               std::max(0, tmp.GetInt(bl::kSecEBookInfo, bl::kKeyEBookTotalNum, 0)) + ebooks);
  }
  if (!tmp.Save()) {
    SEND_LOG("Save temp ini file failed.");
    return -3;
  }
  // Sections whose keys all moved on (no page takes their number now).
  for (const auto& name : emptied_)
    if (ini::KeyNames(tmpIni_, name).empty()) ini::DeleteSection(tmpIni_, name);
  SEND_LOG("Save tmp ini file successfully.");
  SEND_LOG("Ebook process successfully.");
  return 0;
}

int Send::WritePages(const bl::BinderSummary& b) {
  if (multi_) {
    std::vector<std::string> bytes;
    std::vector<platform::NewFile> files;
    for (std::size_t i = 0; i < dropped_.size(); ++i) {
      const DroppedPage& d = dropped_[i];
      if (d.flag == bl::kPageFlagNoFile) continue;
      auto page = bl::MakeDocumentFromPages({{d.file, d.index, d.password}}, password_);
      if (!page) {
        SEND_LOG("Add page to MultiFile binder failed.");
        return -3;
      }
      bytes.push_back(std::move(*page));
    }
    std::size_t k = 0;
    for (std::size_t i = 0; i < dropped_.size(); ++i) {
      if (newIds_[i] == 0) continue;
      files.push_back({bl::PageFilePath(folder_, newIds_[i], secured_), bytes[k++], newIds_[i] == 1});
    }
    if (!platform::WriteNewFilesSynced(files)) {
      SEND_LOG("Add page to MultiFile binder failed.");
      return -3;
    }
    SEND_LOG("Add page to MultiFile binder successfully.");
    return 0;
  }
  std::vector<bl::PageOfFile> pages, added;
  for (const auto& d : dropped_)
    if (d.flag != bl::kPageFlagNoFile) added.push_back({d.file, d.index, d.password});
  if (front_) pages = added;
  for (int place = 1; place <= oldFilePages_; ++place) pages.push_back({mainPdf_, place - 1, password_});
  if (!front_) pages.insert(pages.end(), added.begin(), added.end());
  (void)b;
  std::string why;
  if (!bl::WriteDocumentFromPages(pages, password_, tmpPdf_, &why)) {
    SEND_LOG("Add page to SingleFile binder failed.");
    ZV_DRAVEL_TRACE("AddPagesToBinderForSendFile: " + why);
    return -3;
  }
  SEND_LOG("Add page to SingleFile binder successfully.");
  return 0;
}

int Send::Commit() {
  auto failed = [] {
    SEND_LOG("Update binder information failed in AddPagesToBinder_UpdateBinder function.");
    return -3;
  };
  if (!multi_) {
    // The old page file waits as the backup until the ini is replaced.
    if (!platform::RenamePath(mainPdf_, backupPdf_, true)) return failed();
    if (!platform::RenamePath(tmpPdf_, mainPdf_, false)) return failed();
    Step("pdf-replaced");
  }
  if (!platform::RenamePath(tmpIni_, iniPath_, true)) return failed();
  // Committed: from here on nothing fails the send.
  Step("committed");
  const std::string dat = bl::BinderWorkFile(folder_, ".dat");
  if (platform::IsFile(dat)) platform::CopyFile(iniPath_, dat, true);
  bl::RecoverInterruptedChange(folder_);  // drops the backup
  SEND_LOG("Update binder successfully.");
  return 0;
}

int Send::RollBack(int code) {
  SEND_LOG("Roll back process start.");
  // _tmp.ini still names the change as uncommitted: the page file comes
  // back from its backup, new page files and work files go.
  if (platform::Exists(tmpIni_)) bl::RecoverInterruptedChange(folder_);
  SEND_LOG("Roll back pdf file.");
  for (const auto& f : copiedOcr_) platform::RemoveFile(f);
  SEND_LOG("Roll back Ebook file.");
  SEND_LOG("Delete temp ini file");
  SEND_LOG("Close undodata.ini.");
  SEND_LOG("Close temp ini file.");
  SEND_LOG("Close binder ini file.");
  return code;
}

int Send::Run() {
  ReadSendFileLogSwitch();
  if (int rc = image_.Load()) return rc;
  if (folder_.empty() || undoPath_.empty() || count_ < 0 || count_ > kMaxDroppedPages ||
      marks_.binderVersion > bl::kSupportedBinderVersion ||
      marks_.keywordStamp.find_first_of(" \t\r\n_") != std::string::npos) {
    SEND_LOG("Binder.ini path or undodata.ini path or undopagetotal error.");
    return -2;
  }
  SEND_LOG("Binder.ini path and undodata.ini path and undopagetotal are true.");
  if (int rc = Prepare()) return rc;
  if (int rc = image_.Initialize(owner_)) return rc;
  if (!lock_.Take(folder_)) {
    SEND_LOG("Binder is in used.");
    return -6;
  }
  SEND_LOG("Lock binder.");
  auto unlock = [&](int rc) {
    lock_.Release();
    SEND_LOG("Unlock binder.");
    return rc;
  };
  Step("locked");
  // A change that died half-way is rolled back or finished first.
  const auto recovered = bl::RecoverInterruptedChange(folder_);
  if (recovered.status == bl::RecoverStatus::Refused) {
    SEND_LOG("Binder has work files of an interrupted change: " + recovered.what);
    return unlock(-3);
  }
  const bl::BinderSummary b = bl::ReadBinder(folder_, false);
  switch (bl::BinderKind(folder_)) {
    case 0: break;
    case 2: SEND_LOG("Binder is hagaki binders."); return unlock(-15);
    default: SEND_LOG("Binder is card binder."); return unlock(-8);
  }
  if (b.unarranged != 0) {
    SEND_LOG("Binder is unarranged binder.");
    return unlock(-10);
  }
  if (b.version > bl::kSupportedBinderVersion) {
    SEND_LOG("Binder version is newer than supported.");
    return unlock(-14);
  }
  if (store::IniImage(undoPath_).GetInt(bl::kSecVersion, bl::kKeyVersion, bl::kDefaultVersion) >
      bl::kSupportedBinderVersion) {
    SEND_LOG("Undo data version is newer than supported.");
    return unlock(-12);
  }
  if (b.secured() != secured_) {
    // The caller's flag names the other kind of page files.
    SEND_LOG("Binder.ini or Binder.pdf is not exist.");
    return unlock(-3);
  }
  if (b.secured()) {
    auto pw = companion::moswell::DecodePassword(b.password);
    if (!pw || pw->empty()) {
      SEND_LOG("Binder.ini or Binder.pdf is not exist.");
      return unlock(-3);
    }
    password_ = *pw;
  }
  int current = b.CountedPages();
  if (!multi_) {
    // The page file's own count (opened with the binder's password).
    current = platform::FileSize(mainPdf_).value_or(0) == 0 ? 0 : bl::PdfPageCountOpened(mainPdf_, password_);
  }
  if (current < 0) {
    SEND_LOG("Binder page number is less than 0.");
    return unlock(-3);
  }
  const int maxUpload = b.UploadLimit(bl::kDefaultMaxUploadPageSend);
  if (maxUpload <= 0 || maxUpload < current) {
    SEND_LOG("D&D page number is less than 0 or more than max page number.");
    return unlock(-3);
  }
  if (int rc = CheckUndo(current, maxUpload)) return unlock(rc);
  if (!b.problems.empty() || current != b.CountedPages()) {
    SEND_LOG("Binder page total number error.");
    return unlock(-3);
  }
  // From here on the binder changes: the temporary ini first.
  if (!platform::CopyFile(iniPath_, tmpIni_, true)) {
    SEND_LOG("Open temp ini file failed.");
    return unlock(-3);
  }
  Step("tmp-ini");
  int rc = Merge(b);
  if (rc == 0) rc = WritePages(b);
  if (rc == 0) Step("page-files");
  if (rc == 0) rc = Commit();
  if (rc != 0) return unlock(RollBack(rc));
  SEND_LOG("Close ini files.");
  return unlock(0);
}

}  // namespace

int SendPositionToBinder(int sendPosition) { return sendPosition == 0 ? bl::kInsertFront : bl::kInsertBack; }

void SetSendStepHook(SendStepHook hook) { g_sendHook = hook; }

int SendPages(void* owner, const std::string& binderFolder, const std::string& undoDataPath, int pageCount,
              int insertPosition, bool securedBinder, const SendMarks& marks) {
  Send send(owner, platform::TrimTrailingSeparator(binderFolder), undoDataPath, pageCount, insertPosition,
            securedBinder, marks);
  return send.Run();
}

int FileTotalPage(const std::string& path) {
  ReadSendFileLogSwitch();
  if (path.empty()) {
    SEND_LOG("FileName parameter input error.");
    return -2;
  }
  SendImageLibrary image;
  if (int rc = image.Load()) return rc;
  if (int rc = image.Initialize(nullptr)) return rc;
  const int pages = image.PageCount(path);
  if (pages == IMAGEIO_E_NOFILE) {
    SEND_LOG("Open pdf file failed.");
    return -1;
  }
  if (pages < 0) {
    SEND_LOG("Get file info failed.");
    return -1;
  }
  if (pages < 1) {
    SEND_LOG("File page total error.");
    return -1;
  }
  SEND_LOG("Get pdf file page succeed");
  return pages;
}

}  // namespace zv::dravel

using namespace zv;

extern "C" DRAVEL_API int AddPagesToBinderForSendFile(void* owner, int /*reserved2*/, const char* binderFolder,
                                                      const char* undoData, int pageCount, int insertPosition,
                                                      int /*reserved7*/, int securedBinder, int /*reserved9*/) {
  return companion::ExportGuard("_Dravel", "AddPagesToBinderForSendFile", -3, [&] {
    return dravel::SendPages(owner, binderFolder ? binderFolder : "", undoData ? undoData : "", pageCount,
                             insertPosition, securedBinder != 0);
  });
}

extern "C" DRAVEL_API int AddPagesToBinderForSendFile2(void* owner, int /*reserved2*/, const char* binderFolder,
                                                       const char* undoData, int pageCount, int insertPosition,
                                                       int /*reserved7*/, int securedBinder, int /*reserved9*/,
                                                       const char* keywordStamp, int binderVersion) {
  return companion::ExportGuard("_Dravel", "AddPagesToBinderForSendFile2", -3, [&] {
    return dravel::SendPages(owner, binderFolder ? binderFolder : "", undoData ? undoData : "", pageCount,
                             insertPosition, securedBinder != 0,
                             {keywordStamp ? keywordStamp : "", std::max(0, binderVersion)});
  });
}

extern "C" DRAVEL_API int GetFileTotalPageForSendFile(const char* path, int /*reserved*/) {
  return companion::ExportGuard("_Dravel", "GetFileTotalPageForSendFile", -1,
                                [&] { return dravel::FileTotalPage(path ? path : ""); });
}
