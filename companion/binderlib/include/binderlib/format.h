// The binder store's on-disk vocabulary: file names, ini sections and keys,
// page-file names and the comma lists of Folder.ini. Everything that names a
// stored thing is spelled here once; the readers and writers in binderlib and
// in the store use these names and codecs only.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zv::companion::binder {

// ---- files of the tree --------------------------------------------------
inline constexpr const char* kFolderIni = "Folder.ini";
inline constexpr const char* kFolderDat = "Folder.dat";
inline constexpr const char* kResultFolder = "Rslt";

// ---- lock files (see locks.h for the protocols) --------------------------
inline constexpr const char* kWriteLocked = "~Write.Locked";   // short exclusive access
inline constexpr const char* kOpenLocked = "~Open.Locked";     // viewer has the binder open
inline constexpr const char* kFolderLocked = "Folder.Locked";  // cabinet being appended to
inline constexpr const char* kSendWriteLock = "~Write.Lock";   // send operation (held open)
inline constexpr const char* kSendLocked = "Locked";           // send operation (created exclusively)
inline constexpr const char* kConvLocked = "Conv_Locked";      // send conversion (created exclusively)

// ---- Folder.ini sections and keys ----------------------------------------
inline constexpr const char* kSecFolderInfo = "FolderInfo";  // link folder and library
inline constexpr const char* kSecBinderInfo = "BinderInfo";  // cabinet (and binder ini)
inline constexpr const char* kKeyNameList = "NameList";
inline constexpr const char* kKeyPosList = "PosList";
inline constexpr const char* kKeyTypeList = "TypeList";
inline constexpr const char* kKeyEdocNameList = "EDOCNameList";
inline constexpr std::size_t kEdocNameListMaxBytes = 1024;

// Limits of the hierarchy.
inline constexpr int kMaxLibraries = 6;
inline constexpr int kMaxCabinets = 20;
inline constexpr int kMaxBinders = 21;

// ---- binder ini sections and keys ----------------------------------------
inline constexpr const char* kSecVersion = "Version";
inline constexpr const char* kKeyVersion = "Version";
inline constexpr const char* kSecBinderInfo2 = "BinderInfo2";
inline constexpr const char* kSecPageInfo = "PageInfo";
inline constexpr const char* kSecEBookInfo = "EBookInfo";
inline constexpr const char* kSecOcrText = "OCRText";

inline constexpr const char* kKeyTitle = "Title";
inline constexpr const char* kKeyMaxUploadPage = "MaxUploadPage";
inline constexpr const char* kKeyPageTotal = "PageTotal";
inline constexpr const char* kKeyUnreadList = "UnreadList";
inline constexpr const char* kKeyFilePageMode = "FilePageMode";
inline constexpr const char* kKeyCardBinder = "CardBinder";
inline constexpr const char* kKeyExtBinderType = "ExtBinderType";
inline constexpr const char* kKeyPassword = "Password";
inline constexpr const char* kKeyUnarranged = "Unarranged";
inline constexpr const char* kKeyEdocBinder = "EdocBinder";
inline constexpr const char* kKeyCreateTime = "CreateTime";
inline constexpr const char* kKeyAccessTime = "AccessTime";
inline constexpr const char* kKeyBackImageName = "BackImage_ImageName";
inline constexpr const char* kKeyMaxPageID = "MaxPageID";
inline constexpr const char* kKeyContentTotal = "ContentTotal";
inline constexpr const char* kKeyEBookTotalNum = "EBookTotalNum";

// Per-page suffixes of "Page%d%s".
inline constexpr const char* kSufFlag = "Flag";
inline constexpr const char* kSufFilePageID = "FilePageID";
inline constexpr const char* kSufFilePageName = "FilePageName";
inline constexpr const char* kSufFilePageNumber = "FilePageNumber";
inline constexpr const char* kSufInsProdFlg = "InsProdFlg";
inline constexpr const char* kSufContent = "Content";  // first value: the page keyword
inline constexpr const char* kSufContentFlag = "ContentFlag";
inline constexpr const char* kSufContentType = "ContentType";
inline constexpr const char* kSufContentNoPage = "ContentNoPage";
inline constexpr const char* kSufContentText = "ContentText";

// A page whose Flag is 2 has no page file of its own.
inline constexpr int kPageFlagNoFile = 2;

// Defaults when a key is missing.
inline constexpr int kDefaultVersion = 1;
inline constexpr int kDefaultFilePageMode = 1;
inline constexpr int kDefaultMaxUploadPageImport = 1000;
inline constexpr int kDefaultMaxUploadPageSend = 500;
// The binder format version this stand-in writes and reads.
inline constexpr int kSupportedBinderVersion = 3;

// Two-line titles separate the lines with these two bytes.
inline constexpr char kTitleBreak1 = '\x18';
inline constexpr char kTitleBreak2 = '\x19';
// The title with the two line-break bytes removed.
std::string TitleWithoutBreaks(std::string_view title);

// "Page<n><suffix>".
std::string PageKey(int page, std::string_view suffix);
struct ParsedPageKey {
  int page = 0;
  std::string suffix;
};
// Splits "Page<n><suffix>" (case-insensitive "Page", n >= 1 without sign or
// leading zero); nullopt for any other key, "PageTotal" included.
std::optional<ParsedPageKey> ParsePageKey(std::string_view key);

// Per-page sections "EditInfo<n>" of a binder ini: the page number of such a
// section name (case-insensitive, n >= 1 without sign or leading zero), or
// nullopt; and the name for a page.
std::optional<int> ParseEditInfoSection(std::string_view section);
std::string EditInfoSection(int page);

// ---- paths ----------------------------------------------------------------
// Joins with "/" after trimming trailing "/" of `folder`.
std::string Join(std::string_view folder, std::string_view name);
// Last component of a folder path (trailing "/" ignored).
std::string FolderName(std::string_view folder);
// <binder>/<name>.ini
std::string BinderIniPath(std::string_view binderFolder);
// Page file of a page with file id `id`: id 1 lives in <name>.pdf (".pwb"
// when secured), every other id in <name><id>.pdf.
std::string PageFilePath(std::string_view binderFolder, int id, bool secured);
// The binder's main page file <name>.pdf / <name>.pwb; a single-file binder
// keeps all its pages there, and every binder has it (empty while no page
// with id 1 exists).
std::string MainPageFilePath(std::string_view binderFolder, bool secured);
// The file id encoded in a page-file name of the binder named `binderName`
// ("<name>.pdf" -> 1, "<name>17.pdf" -> 17), or nullopt.
std::optional<int> PageFileIdFromName(std::string_view binderName, std::string_view fileName, bool secured);

// ---- comma lists ---------------------------------------------------------
// Entries split at every ","; an empty text gives no entries (a trailing
// comma gives no empty last entry).
std::vector<std::string> SplitList(std::string_view text);
std::string JoinList(const std::vector<std::string>& entries);
// A NameList entry may carry the prefix "Ex", which is not part of the
// folder name.
bool HasExPrefix(std::string_view entry);
std::string StripExPrefix(std::string_view entry);

// A strict decimal integer (optional sign, digits, surrounding blanks
// allowed); nullopt for garbage. Used where a stored number must be checked
// rather than read leniently.
std::optional<int> ParseStrictInt(std::string_view text);

}  // namespace zv::companion::binder
