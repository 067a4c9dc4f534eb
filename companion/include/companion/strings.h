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

}  // namespace zv::companion
