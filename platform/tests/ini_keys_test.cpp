// Key lookups in big sections: names matched without regard to ASCII case,
// never merged with other names that merely hash alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/fs.h"
#include "platform/ini.h"
#include "testing/files.h"
#include "testing/temp_dir.h"

namespace ini = zv::platform::ini;

namespace {

using zv::testing::WriteText;

TEST(IniKeys, NamesOfEveryLengthCaseFoldedButNotConfused) {
  zv::testing::TempDir scratch;
  const std::string file = scratch / "keys.ini";
  ini::ClearCache();
  // Pairs that differ only in bytes one bit apart from a letter's case
  // ("@" and "`", "[" and "{", "^" and "~", "\\" and "|") in the last byte
  // of names 2 to 17 bytes long, plus a repeat in other case that must lose
  // to the first.
  std::vector<std::pair<std::string, std::string>> keys;
  const std::pair<char, char> twins[] = {{'@', '`'}, {'[', '{'}, {'^', '~'}, {'\\', '|'}};
  int n = 0;
  for (std::size_t len = 2; len <= 17; ++len)
    for (const auto& [a, b] : twins) {
      std::string one(len, 'k'), two(len, 'k');
      one[len - 1] = a;
      two[len - 1] = b;
      keys.emplace_back(one, "v" + std::to_string(n++));
      keys.emplace_back(two, "v" + std::to_string(n++));
    }
  keys.emplace_back("\xC3\x84rger", "umlaut");  // bytes above ASCII compare exactly
  keys.emplace_back("\xC3\xA4rger", "lower umlaut");
  std::string text = "[Big]\n";
  for (const auto& [k, v] : keys) text += k + "=" + v + "\n";
  text += "KKKKKKKKKKKKKKKK@=repeat\n";  // a repeat of a 17-byte name, other case
  WriteText(file, text);

  const auto entries = ini::SectionEntries(file, "big");
  ASSERT_EQ(entries.size(), keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i) EXPECT_EQ(entries[i], keys[i]) << i;
  // The index the whole-section read left behind serves single lookups.
  for (auto [k, v] : keys) {
    EXPECT_EQ(ini::GetString(file, "Big", k), v) << k;
    for (char& c : k) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    EXPECT_EQ(ini::GetString(file, "Big", k), v) << k;
  }
  const std::string first17 = std::string(16, 'k') + "@";
  const auto at = std::find_if(keys.begin(), keys.end(), [&](const auto& kv) { return kv.first == first17; });
  ASSERT_NE(at, keys.end());
  EXPECT_EQ(ini::GetString(file, "BIG", "KKKKKKKKKKKKKKKK@"), at->second);
  EXPECT_EQ(ini::GetString(file, "big", "missing", "none"), "none");

  // A fresh read looking up single keys first (index built on its own).
  ini::ClearCache();
  EXPECT_EQ(ini::GetString(file, "big", "KKKKKKKK`"), ini::GetString(file, "big", "kkkkkkkk`"));
  EXPECT_NE(ini::GetString(file, "big", "kkkkkkkk`"), ini::GetString(file, "big", "kkkkkkkk@"));
  EXPECT_EQ(ini::SectionEntries(file, "big").size(), keys.size());
}

}  // namespace

namespace {

// Keys removed one by one from a big section inside a group (where the
// index is kept up to date rather than built again): every lookup, the
// place of a new key and the bytes written agree with a fresh parse.
TEST(IniKeys, RemovalsKeepEveryLookupRight) {
  zv::testing::TempDir scratch;
  const std::string file = scratch / "remove.ini";
  ini::ClearCache();
  std::string text = "[S]\n";
  for (int i = 0; i < 300; ++i) text += "k" + std::to_string(i) + "=" + std::to_string(i) + "\n";
  text += "; trailing comment\n[T]\nrep=first\nx=1\nREP=second\n";
  WriteText(file, text);
  {
    ini::WriteGroup group(file);
    ASSERT_TRUE(group.ok());
    for (int i = 0; i < 300; i += 3) ASSERT_TRUE(ini::DeleteKey(file, "S", "k" + std::to_string(i)));
    ASSERT_TRUE(ini::DeleteKey(file, "S", "k299"));  // the last key line: new keys go after k298
    ASSERT_TRUE(ini::WriteString(file, "S", "new", "n"));
    ASSERT_TRUE(ini::DeleteKey(file, "T", "rep"));  // the repeat comes into view
    EXPECT_EQ(ini::GetString(file, "T", "rep"), "second");
    for (int i = 0; i < 300; ++i) {
      const bool gone = i % 3 == 0 || i == 299;
      EXPECT_EQ(ini::GetString(file, "S", "K" + std::to_string(i), "gone"), gone ? "gone" : std::to_string(i)) << i;
    }
    ASSERT_TRUE(group.Commit());
  }
  std::string expected = "[S]\n";
  for (int i = 0; i < 299; ++i)
    if (i % 3 != 0) expected += "k" + std::to_string(i) + "=" + std::to_string(i) + "\n";
  expected += "new=n\n; trailing comment\n[T]\nx=1\nREP=second\n";
  EXPECT_EQ(zv::testing::ReadText(file), expected);
  ini::ClearCache();
  EXPECT_EQ(ini::KeyNames(file, "S").size(), 199u + 1u);
}

}  // namespace
