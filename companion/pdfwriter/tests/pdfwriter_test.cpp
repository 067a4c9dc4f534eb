// The writer without an office program: output names, the types it takes,
// its registration, the PDF route with encrypted documents, and the time
// limit that stops a hung office program with everything it started.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include <qpdf/QPDF.hh>

#include "pdfwriter/writer.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "testing/pdf.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace co = zv::companion;
namespace pf = zv::platform;
namespace ini = zv::platform::ini;

namespace {

using zv::testing::MakePdf;
using zv::testing::PdfLock;
using zv::testing::PdfPages;
using zv::testing::ScopedEnv;

const PdfLock kOwnerNoPrint{"", "owner", false};
const PdfLock kOwnerPrintAllowed{"", "owner", true};
const PdfLock kUserPassword{"user", "owner", true};

bool IsEncrypted(const std::string& path) {
  QPDF pdf;
  pdf.processFile(path.c_str(), "");
  return pdf.isEncrypted();
}

class WriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = dir_.path();
    out_ = pf::JoinPath(root_, "out");
    ASSERT_TRUE(pf::MakeFolders(out_));
    ASSERT_TRUE(pf::MakeFolders(pf::JoinPath(root_, "tmp")));
    settings_ = pf::JoinPath(root_, "Tessaly.ini");
    ASSERT_TRUE(pf::CopyFile(ZV_WRITER_TEMPLATE, settings_, false));
    Set("OutFolder", out_);
    Set("OutName", "doc");
    Set("TempFolder", pf::JoinPath(root_, "tmp"));
    Set("Result", "-9");
  }
  void Set(const char* key, const std::string& value) {
    ASSERT_TRUE(ini::WriteString(settings_, co::kDirectSection, key, value));
  }
  int Result() { return ini::GetInt(settings_, co::kDirectSection, "Result", 0); }
  std::string Out() { return pf::JoinPath(out_, "doc.pdf"); }

  zv::testing::TempDir dir_;
  ScopedEnv office_{co::kOfficeProgramVar};  // tests set the office program
  std::string root_, out_, settings_;
};

TEST(WriterNames, OutputPathFollowsTheCounterRules) {
  co::WriterRequest r;
  r.outName = "scan";
  r.extString = "pdf";
  EXPECT_EQ(co::WriterOutputPath("/w", r, 0), "/w/scan.pdf");
  EXPECT_EQ(co::WriterOutputPath("/w", r, 5), "/w/scan.pdf");  // no counter unless save_seq is 1
  r.saveSeq = 1;
  r.keta = 4;
  r.startNum = 1;
  EXPECT_EQ(co::WriterOutputPath("/w", r, 0), "/w/scan_0001.pdf");
  EXPECT_EQ(co::WriterOutputPath("/w", r, 11), "/w/scan_0012.pdf");
  r.keta = 2;
  EXPECT_EQ(co::WriterOutputPath("/w", r, 150), "/w/scan_151.pdf");  // wider than keta: not cut
  r.keta = 100000;  // a damaged file must not make a name of 100000 digits
  EXPECT_LT(co::WriterOutputPath("/w", r, 0).size(), 64u);

  co::WriterRequest defaults;
  EXPECT_EQ(co::WriterOutputPath("/w", defaults, 0), "/w/out.bmp");
}

TEST(WriterTypes, OfficeTypesAndTheOfficeProgram) {
  for (const char* ext :
       {"doc", "docx", "xls", "xlsx", "ppt", "pptx", "odt", "ods", "odp", "rtf", "txt", "csv", "DOCX"}) {
    EXPECT_FALSE(co::OfficeImportFilter(ext).empty()) << ext;
  }
  for (const char* ext : {"", "pdf", "exe", "html", "docm", "jpg"}) {
    EXPECT_TRUE(co::OfficeImportFilter(ext).empty()) << ext;
  }
  ScopedEnv office(co::kOfficeProgramVar, "/nonexistent/soffice");
  EXPECT_EQ(co::OfficeProgram(), "");
  EXPECT_FALSE(co::WriterCanPrint("docx"));
  EXPECT_TRUE(co::WriterCanPrint("PDF"));
  office.Set("sh");  // a name searched in PATH
  EXPECT_FALSE(co::OfficeProgram().empty());
  EXPECT_TRUE(co::WriterCanPrint("csv"));
  EXPECT_FALSE(co::WriterCanPrint("zip"));
}

TEST_F(WriterTest, RegistrationNamesFolderProgramAndSettings) {
  const std::string reg = pf::JoinPath(root_, "registry.ini");
  ScopedEnv machine(pf::registry::kMachineFileVar, reg);
  EXPECT_EQ(co::WriterFolder(), "");
  EXPECT_EQ(co::WriterProgram(), "");
  ASSERT_TRUE(ini::WriteString(reg, co::kWriterAppPathsKey, "@", "/opt/v/Orrindel"));
  EXPECT_EQ(co::WriterFolder(), "/opt/v");
  ASSERT_TRUE(ini::WriteString(reg, co::kWriterAppPathsKey, "Path", "/srv/writer/"));
  EXPECT_EQ(co::WriterFolder(), "/srv/writer");
  EXPECT_EQ(co::WriterProgram(), "/opt/v/Orrindel");
  EXPECT_EQ(co::WriterSettingsPath("/srv/writer"), "/srv/writer/UserProfile/" + pf::UserName() + "/Tessaly.ini");
  EXPECT_EQ(co::WriterTemplatePath("/srv/writer"), "/srv/writer/TESSALY.INI");
}

TEST_F(WriterTest, PdfIsPrintedWithoutEncryptionOnlyWhenTheOwnerAllowsIt) {
  const std::string plain = pf::JoinPath(root_, "plain.pdf");
  const std::string printable = pf::JoinPath(root_, "printable.pdf");
  const std::string noPrint = pf::JoinPath(root_, "noprint.pdf");
  const std::string user = pf::JoinPath(root_, "user.pdf");
  MakePdf(plain, 3);
  MakePdf(printable, PdfPages(2), kOwnerPrintAllowed);
  MakePdf(noPrint, PdfPages(2), kOwnerNoPrint);
  MakePdf(user, PdfPages(1), kUserPassword);
  EXPECT_EQ(co::ClassifyPdfForPrinting(printable), co::PdfPrintClass::Printable);
  EXPECT_EQ(co::ClassifyPdfForPrinting(noPrint), co::PdfPrintClass::PrintingNotAllowed);
  EXPECT_EQ(co::ClassifyPdfForPrinting(user), co::PdfPrintClass::PasswordNeeded);

  EXPECT_EQ(co::RunWriterJob(printable, settings_, ""), 1);
  EXPECT_EQ(Result(), 1);
  EXPECT_EQ(ini::GetString(settings_, "Direct", "extstring", ""), "pdf");
  EXPECT_EQ(co::PdfPageCount(Out()), 2);
  EXPECT_FALSE(IsEncrypted(Out()));

  for (const auto& refused : {noPrint, user}) {
    ASSERT_TRUE(pf::RemoveFile(Out()));
    Set("Result", "-9");
    EXPECT_EQ(co::RunWriterJob(refused, settings_, ""), -1) << refused;
    EXPECT_EQ(Result(), -1);
    EXPECT_FALSE(pf::Exists(Out())) << refused;
  }

  // A work copy that is itself the expected output is read before it is
  // replaced.
  const std::string self = Out();
  ASSERT_TRUE(pf::CopyFile(plain, self, true));
  EXPECT_EQ(co::RunWriterJob(self, settings_, ""), 1);
  EXPECT_EQ(co::PdfPageCount(self), 3);
}

TEST_F(WriterTest, JobsThatCannotRunReportFailure) {
  const std::string pdf = pf::JoinPath(root_, "a.pdf");
  MakePdf(pdf, 1);
  // No settings file: nothing to report into.
  EXPECT_EQ(co::RunWriterJob(pdf, pf::JoinPath(root_, "missing.ini"), ""), -1);
  EXPECT_FALSE(pf::Exists(pf::JoinPath(root_, "missing.ini")));

  // An existing output is kept when overwriting is off.
  ASSERT_TRUE(pf::WriteFileAtomic(Out(), "keep"));
  Set("overwrite", "0");
  EXPECT_EQ(co::RunWriterJob(pdf, settings_, ""), -1);
  EXPECT_EQ(pf::ReadFile(Out()).value_or(""), "keep");

  Set("overwrite", "1");
  Set("OutName", "../escape");
  EXPECT_EQ(co::RunWriterJob(pdf, settings_, ""), -1);
  Set("OutName", "doc");
  Set("OutFolder", pf::JoinPath(root_, "gone"));
  EXPECT_EQ(co::RunWriterJob(pdf, settings_, ""), -1);
  Set("OutFolder", out_);

  // A damaged PDF and a type the writer cannot print.
  const std::string damaged = pf::JoinPath(root_, "damaged.pdf");
  ASSERT_TRUE(pf::WriteFileAtomic(damaged, "%PDF-1.4\nnot really\n"));
  EXPECT_EQ(co::RunWriterJob(damaged, settings_, ""), -1);
  const std::string exe = pf::JoinPath(root_, "tool.exe");
  ASSERT_TRUE(pf::WriteFileAtomic(exe, "MZ"));
  EXPECT_EQ(co::RunWriterJob(exe, settings_, ""), -1);
  EXPECT_EQ(Result(), -1);
  EXPECT_EQ(co::RunWriterJob(pdf, settings_, ""), 1);
}

TEST_F(WriterTest, HungOfficeProgramIsStoppedWithEverythingItStarted) {
  // An "office program" that starts a helper and then never ends.
  const std::string script = pf::JoinPath(root_, "hang-office");
  const std::string pidFile = pf::JoinPath(root_, "helper.pid");
  ASSERT_TRUE(
      pf::WriteFileAtomic(script, "#!/bin/sh\nsleep 300 &\necho $! > '" + pidFile + "'\nwhile :; do sleep 1; done\n"));
  ASSERT_EQ(std::system(("chmod +x '" + script + "'").c_str()), 0);
  office_.Set(script);
  ASSERT_TRUE(ini::WriteString(settings_, co::kWriterOwnSection, "TimeLimit", "2"));
  const std::string doc = pf::JoinPath(root_, "a.txt");
  ASSERT_TRUE(pf::WriteFileAtomic(doc, "text"));

  const std::int64_t started = pf::SteadyMs();
  EXPECT_EQ(co::RunWriterJob(doc, settings_, ""), -1);
  EXPECT_LT(pf::SteadyMs() - started, 30'000);
  EXPECT_EQ(Result(), -1);
  const auto pid = pf::ReadFile(pidFile);
  ASSERT_TRUE(pid.has_value());
  pf::SleepMs(300);
  const auto stat = pf::ReadFile("/proc/" + std::string(pf::Trim(*pid)) + "/stat");
  const bool gone = !stat || stat->find(") Z") != std::string::npos;
  EXPECT_TRUE(gone) << "the office program's helper outlived the time limit";
  // The job folder with the private profile is removed.
  auto left = pf::ListFolder(pf::JoinPath(root_, "tmp"));
  ASSERT_TRUE(left.has_value());
  EXPECT_TRUE(left->empty());
}

}  // namespace
