// UTF-8 text helpers: code-point stepping and cutting, display width,
// ASCII case-insensitive comparison. All text of the system is UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zv::platform {

// Byte length of the UTF-8 sequence that starts at s[i] (1 for an invalid
// or truncated sequence, so stepping always advances).
std::size_t Utf8SequenceLength(std::string_view s, std::size_t i);

// The longest prefix of s of at most maxBytes bytes that ends on a code-point
// boundary ("a cut never splits a character").
std::string_view Utf8CutBytes(std::string_view s, std::size_t maxBytes);

// Display width of a name a person typed: East Asian Width W or F counts 2,
// every other code point 1.
std::size_t DisplayWidth(std::string_view s);

// The longest prefix whose display width is at most maxWidth.
std::string_view CutDisplayWidth(std::string_view s, std::size_t maxWidth);

// ASCII case folding; bytes >= 0x80 compare as they are.
int CompareNoCase(std::string_view a, std::string_view b);
bool EqualsNoCase(std::string_view a, std::string_view b);
std::string ToLowerAscii(std::string_view s);
std::string ToUpperAscii(std::string_view s);

// Blanks (space, tab, CR, LF) removed from both ends / one end.
std::string_view Trim(std::string_view s);
std::string_view TrimRight(std::string_view s);

// Position of the last byte equal to one of `chars` that starts a code point
// (never a byte inside a multi-byte sequence), or npos.
std::size_t FindLastOfCodePoint(std::string_view s, std::string_view chars);

// Placeholders of table texts ("%s", "%d", a title's line break). A value
// is inserted as it is: it is never read as a format, and a marker inside a
// value is never replaced.
//
// `text` with its first `marker` replaced by `value`; `text` unchanged when
// the marker does not occur or is empty.
std::string ReplaceFirst(std::string text, std::string_view marker, std::string_view value);
// `text` with every `marker` replaced by `value`, left to right; `text`
// unchanged when the marker does not occur or is empty.
std::string ReplaceAll(std::string text, std::string_view marker, std::string_view value);
// A printf-style text filled in order: each conversion ("%s", "%d", or
// either with a width such as "%03d") takes the next of `values` as it is
// (the caller formats numbers, width included), "" once they run out;
// "%%" gives "%"; any other "%" stays as it is. The text is never handed to
// printf, so a changed translation cannot read stray arguments.
std::string FillInOrder(std::string_view format, const std::vector<std::string>& values);

// Language id of the user's locale (LC_ALL, LC_MESSAGES, LANG): ja 1041,
// en 1033, de 1031, ... ; "C"/POSIX and unknown give 1033.
int UserLanguageId();
bool UserLocaleIsJapanese();

}  // namespace zv::platform
