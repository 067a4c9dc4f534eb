// End to end with the real writer program and office program: documents
// made at test time come out as PDF files with pages in the work folder.
#include <gtest/gtest.h>

#include <string>

#include "conversion/convert_pdf.h"
#include "pdfwriter/writer.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "testing/installation.h"

namespace co = zv::companion;
namespace pf = zv::platform;
namespace ini = zv::platform::ini;

namespace {

class ConversionOfficeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    office_ = co::OfficeProgram();
    if (office_.empty()) GTEST_SKIP() << "no office program installed";
    for (const char* f : {"writer", "work", "src"}) ASSERT_TRUE(pf::MakeFolders(inst_.Path(f)));
    ASSERT_TRUE(pf::CopyFile(ZV_WRITER_TEMPLATE, pf::JoinPath(writer_, co::kWriterTemplateName), false));
    ASSERT_TRUE(ini::WriteString(inst_.machineRegistry(), co::kWriterAppPathsKey, "@", ZV_ORRINDEL_EXE));
    ASSERT_TRUE(ini::WriteString(inst_.machineRegistry(), co::kWriterAppPathsKey, "Path", writer_));
  }

  std::string Write(const std::string& name, const std::string& text) {
    const std::string path = pf::JoinPath(pf::JoinPath(root_, "src"), name);
    EXPECT_TRUE(pf::WriteFileAtomic(path, text));
    return path;
  }

  void ExpectPdfWithPages(const std::string& source, const std::string& expectedName) {
    zv::dravel::ConversionResult r;
    ASSERT_EQ(zv::dravel::ConvertToPdf(source, work_, 0, r), 0) << "error code " << r.errorCode;
    EXPECT_EQ(r.outputPdf, pf::JoinPath(work_, expectedName));
    ASSERT_EQ(r.outputs.size(), 1u);
    EXPECT_GE(co::PdfPageCount(r.outputPdf), 1);
  }

  zv::testing::Installation inst_;
  std::string office_;
  const std::string root_ = inst_.root(), writer_ = inst_.Path("writer"), work_ = inst_.Path("work");
};

TEST_F(ConversionOfficeTest, TextAndSpreadsheetTextBecomePdf) {
  ExpectPdfWithPages(Write("Memo 1.txt", "Quarterly memo\nSecond line with ümlauts\n"), "Memo 1.pdf");
  ExpectPdfWithPages(Write("figures.csv", "name,amount\nalpha,1\nbeta,2\n"), "figures.pdf");
}

TEST_F(ConversionOfficeTest, WordDocumentMadeByTheOfficeProgramBecomesPdf) {
  const std::string txt = Write("letter.txt", "Dear reader,\nthis became a docx first.\n");
  const std::string made = pf::JoinPath(root_, "made");
  ASSERT_EQ(pf::RunAndWait(
                office_,
                {"--headless", "--norestore", "-env:UserInstallation=file://" + pf::JoinPath(root_, "maker-profile"),
                 "--convert-to", "docx:MS Word 2007 XML", "--outdir", made, txt},
                180'000),
            0);
  const std::string docx = pf::JoinPath(made, "letter.docx");
  ASSERT_TRUE(pf::IsFile(docx));
  ExpectPdfWithPages(docx, "letter.pdf");
  // The office program left nothing beside the document.
  auto beside = pf::ListFolder(made);
  ASSERT_TRUE(beside.has_value());
  EXPECT_EQ(beside->size(), 1u);
}

}  // namespace
