#include "platform/text.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "testing/scoped_env.h"

namespace zv::platform {
namespace {

// "日本語" (3 bytes each), "ｱ" half-width katakana (3 bytes, width 1),
// "Ａ" full-width A (3 bytes, width 2), "한" Hangul, "😀" (4 bytes, wide).
const std::string kNihongo = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E";
const std::string kHalfKana = "\xEF\xBD\xB1";
const std::string kFullA = "\xEF\xBC\xA1";
const std::string kHangul = "\xED\x95\x9C";
const std::string kEmoji = "\xF0\x9F\x98\x80";
const std::string kEAcute = "\xC3\xA9";

TEST(Utf8, SequenceLengthValidatesSequences) {
  EXPECT_EQ(Utf8SequenceLength("a", 0), 1u);
  EXPECT_EQ(Utf8SequenceLength(kEAcute, 0), 2u);
  EXPECT_EQ(Utf8SequenceLength(kNihongo, 0), 3u);
  EXPECT_EQ(Utf8SequenceLength(kEmoji, 0), 4u);
  EXPECT_EQ(Utf8SequenceLength(kNihongo, 1), 1u) << "inside a character";
  EXPECT_EQ(Utf8SequenceLength("\xE6\x97", 0), 1u) << "truncated";
  EXPECT_EQ(Utf8SequenceLength("\xC0\xAF", 0), 1u) << "overlong";
  EXPECT_EQ(Utf8SequenceLength("\xED\xA0\x80", 0), 1u) << "surrogate";
  EXPECT_EQ(Utf8SequenceLength("\xF4\x90\x80\x80", 0), 1u) << "beyond U+10FFFF";
  EXPECT_EQ(Utf8SequenceLength("\xE6\x41\x41", 0), 1u) << "bad continuation";
  EXPECT_EQ(Utf8SequenceLength("abc", 7), 1u) << "past the end still advances";
}

TEST(Utf8, CutBytesNeverSplitsACharacter) {
  const std::string s = "ab" + kNihongo;  // 2 + 9 bytes
  EXPECT_EQ(Utf8CutBytes(s, 100), s);
  EXPECT_EQ(Utf8CutBytes(s, 11), s);
  EXPECT_EQ(Utf8CutBytes(s, 10), "ab" + kNihongo.substr(0, 6));
  EXPECT_EQ(Utf8CutBytes(s, 4), "ab");
  EXPECT_EQ(Utf8CutBytes(s, 5), "ab" + kNihongo.substr(0, 3));
  EXPECT_EQ(Utf8CutBytes(s, 0), "");
  EXPECT_EQ(Utf8CutBytes(kEmoji + "x", 3), "");
  // Invalid bytes are single units and may be cut anywhere.
  EXPECT_EQ(Utf8CutBytes("a\xFF\xFE", 2), "a\xFF");
}

TEST(DisplayWidth, WideAndFullWidthCountTwo) {
  EXPECT_EQ(DisplayWidth(""), 0u);
  EXPECT_EQ(DisplayWidth("Binder 1"), 8u);
  EXPECT_EQ(DisplayWidth(kNihongo), 6u);
  EXPECT_EQ(DisplayWidth(kHalfKana), 1u) << "half-width katakana is narrow";
  EXPECT_EQ(DisplayWidth(kFullA), 2u);
  EXPECT_EQ(DisplayWidth(kHangul), 2u);
  EXPECT_EQ(DisplayWidth(kEmoji), 2u);
  EXPECT_EQ(DisplayWidth(kEAcute), 1u);
  EXPECT_EQ(DisplayWidth("\xE3\x80\x80"), 2u) << "ideographic space";
  EXPECT_EQ(DisplayWidth("\xE2\x94\x80"), 1u) << "box drawing is ambiguous, not wide";
  EXPECT_EQ(DisplayWidth("\xF0\xA0\x80\x8B"), 2u) << "CJK extension B";
  EXPECT_EQ(DisplayWidth("\xFF\xFE"), 2u) << "each invalid byte counts one";
  EXPECT_EQ(DisplayWidth("a" + kNihongo + kHalfKana), 8u);
}

TEST(DisplayWidth, CutKeepsWholeCharactersWithinWidth) {
  const std::string s = "ab" + kNihongo;  // widths 1 1 2 2 2
  EXPECT_EQ(CutDisplayWidth(s, 8), s);
  EXPECT_EQ(CutDisplayWidth(s, 7), "ab" + kNihongo.substr(0, 6));
  EXPECT_EQ(CutDisplayWidth(s, 3), "ab") << "a wide character must not overflow";
  EXPECT_EQ(CutDisplayWidth(s, 4), "ab" + kNihongo.substr(0, 3));
  EXPECT_EQ(CutDisplayWidth(kNihongo, 1), "");
  EXPECT_EQ(CutDisplayWidth(kHalfKana + kHalfKana, 1), kHalfKana);
}

TEST(CaseFolding, AsciiOnly) {
  EXPECT_TRUE(EqualsNoCase("FolderMonitorSet", "foldermonitorset"));
  EXPECT_FALSE(EqualsNoCase("abc", "abcd"));
  EXPECT_FALSE(EqualsNoCase(kEAcute, "\xC3\x89")) << "non-ASCII is not folded";
  EXPECT_EQ(CompareNoCase("abc", "ABD"), -1);
  EXPECT_EQ(CompareNoCase("B", "a"), 1);
  EXPECT_EQ(CompareNoCase("ab", "AB"), 0);
  EXPECT_LT(CompareNoCase("ab", "abc"), 0);
  EXPECT_GT(CompareNoCase("\xC3\xA9", "z"), 0) << "high bytes compare unsigned";
  EXPECT_LT(CompareNoCase("_", "a"), 0) << "folds to lower case, like the profile functions";
}

TEST(Placeholders, ValuesAreNeverSearchedAgain) {
  EXPECT_EQ(ReplaceFirst("Error (%d) at %d", "%d", "7"), "Error (7) at %d");
  EXPECT_EQ(ReplaceFirst("Function Error.", "%s", "x"), "Function Error.");
  EXPECT_EQ(ReplaceFirst("Folder(%s)", "%s", "/in/%s%d"), "Folder(/in/%s%d)");
  EXPECT_EQ(ReplaceFirst("a", "", "x"), "a");
  // A title's line break shown as "..": every one, also when the value holds
  // the marker again (no endless loop, no double replacement).
  EXPECT_EQ(ReplaceAll("a\r\nb\r\n", "\r\n", ".."), "a..b..");
  EXPECT_EQ(ReplaceAll("aba", "a", "aa"), "aabaa");
  EXPECT_EQ(ReplaceAll("none", "\r\n", ".."), "none");
  EXPECT_EQ(ReplaceAll("a", "", "x"), "a");
}

TEST(Placeholders, FillInOrderTakesValuesInTurn) {
  EXPECT_EQ(FillInOrder("%03d: %s - Start Monitor <%s>\n", {"007", "2026/01/02 03:04:05", "/in/%s%d"}),
            "007: 2026/01/02 03:04:05 - Start Monitor </in/%s%d>\n");
  EXPECT_EQ(FillInOrder("%s - (%ds) %s", {"a"}), "a - (s) ") << "missing values are empty";
  EXPECT_EQ(FillInOrder("100%% %x %", {"unused"}), "100% %x %");
}

TEST(FindLastOfCodePoint, IgnoresBytesInsideCharacters) {
  // 0x5C ("\") is the second byte of some double-byte characters in other
  // encodings; in UTF-8 continuation bytes are >= 0x80, but a search for a
  // high byte must still not match inside a character.
  EXPECT_EQ(FindLastOfCodePoint("a/b/c", "/"), 3u);
  EXPECT_EQ(FindLastOfCodePoint("abc", "/"), std::string_view::npos);
  const std::string s = "x" + kNihongo;
  EXPECT_EQ(FindLastOfCodePoint(s, "\x97"), std::string_view::npos);
  EXPECT_EQ(FindLastOfCodePoint(kNihongo + ".pdf", "."), 9u);
}

class Locale : public ::testing::Test {
 protected:
  // No locale at all to start with; the variables come back afterwards.
  zv::testing::ScopedEnv all_{"LC_ALL", nullptr}, messages_{"LC_MESSAGES", nullptr}, lang_{"LANG", nullptr};
};

TEST_F(Locale, MapsToWindowsLanguageIds) {
  EXPECT_EQ(UserLanguageId(), 1033) << "no locale at all";
  lang_.Set("ja_JP.UTF-8");
  EXPECT_EQ(UserLanguageId(), 1041);
  EXPECT_TRUE(UserLocaleIsJapanese());
  messages_.Set("de_DE.UTF-8");
  EXPECT_EQ(UserLanguageId(), 1031) << "LC_MESSAGES wins over LANG";
  all_.Set("pt_BR.UTF-8@euro");
  EXPECT_EQ(UserLanguageId(), 1046) << "LC_ALL wins; region matters for Portuguese";
  all_.Set("C");
  EXPECT_EQ(UserLanguageId(), 1033);
  all_.Set("POSIX");
  EXPECT_EQ(UserLanguageId(), 1033);
  all_.Set("ru_RU");
  EXPECT_EQ(UserLanguageId(), 1049);
  all_.Set("xx_YY");
  EXPECT_EQ(UserLanguageId(), 1033);
  EXPECT_FALSE(UserLocaleIsJapanese());
}

}  // namespace
}  // namespace zv::platform
