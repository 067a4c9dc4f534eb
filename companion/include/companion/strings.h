// String tables: resource id -> text, per deliverable, by language.
// Japanese for a Japanese locale, else English; a text given in one language
// only serves both.
#pragma once

#include <string>
#include <string_view>

namespace zv::companion {

enum class StringTable { Monitor, Dravel, ImportList, KeywordPage, SortFolder, SendFile };
enum class Language { English, Japanese };

// The user's language from the locale.
Language UserLanguage();
// Test hook: force a language (nullptr-like reset with ResetLanguage()).
void ForceLanguage(Language language);
void ResetLanguage();

// The text of resource `id`, or "" when the table has none.
std::string LoadString(StringTable table, int id);
std::string LoadString(StringTable table, int id, Language language);
bool HasString(StringTable table, int id);

// Ids of the Dravel table that the monitor shows as well (the verdicts of
// the PDF security check, which both run).
inline constexpr int kDravelFunctionError = 6;  // "%s": the function
inline constexpr int kDravelFileMissing = 11;
inline constexpr int kDravelFileUnsupported = 12;
inline constexpr int kDravelFileTypeRefused = 22;
inline constexpr int kDravelParameterError = 32;  // "%d": the code
inline constexpr int kDravelPdfProtected = 71;

// Ids of the Dravel table that only the library shows.
inline constexpr int kDravelMemoryError = 5;
inline constexpr int kDravelRegistryError = 10;
inline constexpr int kDravelLibraryLimit = 15;
inline constexpr int kDravelFolderMissing = 17;
inline constexpr int kDravelSourceUnavailable = 23;
inline constexpr int kDravelServiceModeRefused = 26;
inline constexpr int kDravelPrintFileFailed = 27;
inline constexpr int kDravelPageCountUnknown = 29;
inline constexpr int kDravelTooManyPages = 30;
inline constexpr int kDravelBinderAccessFailed = 33;  // "%d": the code
inline constexpr int kDravelReadFailed = 36;
inline constexpr int kDravelSecuredBinder = 69;
inline constexpr int kDravelLoadError = 70;  // "%s": the library
inline constexpr int kDravelUnknownBinder = 72;
inline constexpr int kDravelTitleBreak = 73;         // shown for a two-line title's break
inline constexpr int kDravelCardBinderRefused = 74;  // "%d": the code
inline constexpr int kDravelNameTooLong = 80;
inline constexpr int kDravelBinderBusy = 81;
inline constexpr int kDravelSucceededFolder = 82;
inline constexpr int kDravelFailedFolder = 83;
inline constexpr int kDravelLabelLocation = 86;
inline constexpr int kDravelLabelFolderName = 87;
inline constexpr int kDravelLabelError = 88;

}  // namespace zv::companion
