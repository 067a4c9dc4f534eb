// Page counts are remembered per file; a file that changes is read again.
#include <gtest/gtest.h>

#include "binderlib/binderlib.h"
#include "platform/fs.h"
#include "testing/pdf.h"
#include "testing/temp_dir.h"

namespace bl = zv::companion::binder;

TEST(PdfRecount, AChangedFileIsReadAgain) {
  const zv::testing::TempDir dir;
  const std::string& root = dir.path();
  const std::string pdf = root + "/scan.pdf";
  zv::testing::MakePdf(pdf, 2);
  EXPECT_EQ(bl::PdfPageCount(pdf), 2);
  EXPECT_EQ(bl::PdfPageCount(pdf), 2);
  // Replaced by a longer document, then rewritten in place as a damaged one.
  zv::testing::MakePdf(root + "/other.pdf", 3);
  ASSERT_TRUE(zv::platform::RenamePath(root + "/other.pdf", pdf, true));
  EXPECT_EQ(bl::PdfPageCount(pdf), 3);
  const auto bytes = zv::platform::ReadFile(pdf);
  ASSERT_TRUE(bytes);
  ASSERT_TRUE(zv::platform::WriteFileAtomic(pdf, "%PDF-1.4\ngarbage\n"));
  EXPECT_EQ(bl::PdfPageCount(pdf), -1);
  ASSERT_TRUE(zv::platform::WriteFileAtomic(pdf, *bytes));
  EXPECT_EQ(bl::PdfPageCount(pdf), 3);
}
