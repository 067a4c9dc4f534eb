#include <gtest/gtest.h>

#include "platform/file_mask.h"

namespace zv::platform {
namespace {

struct Case {
  const char* mask;
  const char* name;
  bool match;
};

TEST(FileMask, PathSpecRules) {
  const Case cases[] = {
      // Case, stars and question marks.
      {"INV*.PDF", "inv-0001.pdf", true},
      {"inv*.pdf", "INV.PDF", true},
      {"inv*.pdf", "xinv.pdf", false},
      {"a?c.tif", "abc.tif", true},
      {"a?c.tif", "ac.tif", false},
      {"a?c.tif",
       "a\xC3\xA9"
       "c.tif",
       true},
      {"*a*b*c", "xxaxxbxxbxc", true},
      {"*a*b*c", "xxaxxbxxbx", false},
      {"\xC3\x89*",
       "\xC3\xA9"
       "t\xC3\xA9",
       false},  // only ASCII folds
      // "*.*" takes every name; ".*" at the end may be left out.
      {"*.*", "README", true},
      {"*.*", "a.b.c", true},
      {"fax*.*", "fax01", true},
      {"fax*.*", "memo.txt", false},
      // A trailing "." asks for no extension.
      {"*.", "README", true},
      {"*.", "readme.txt", false},
      {"read*.", "readme", true},
      {"read*.", "readme.txt", false},
      // Brackets are plain characters.
      {"[0-9]*.pdf", "[0-9]x.pdf", true},
      {"[0-9]*.pdf", "5.pdf", false},
      // Paths, empty masks and names never match.
      {"*/a.pdf", "a.pdf", false},
      {"*", "dir/a.pdf", false},
      {"", "a.pdf", false},
      {"*", "", false},
  };
  for (const Case& c : cases) EXPECT_EQ(MatchesFileMask(c.mask, c.name), c.match) << c.mask << " ~ " << c.name;
}

}  // namespace
}  // namespace zv::platform
