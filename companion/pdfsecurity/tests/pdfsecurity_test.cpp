#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "pdfsecurity/pdfsecurity.h"
#include "testing/files.h"
#include "testing/temp_dir.h"

using zv::companion::CheckPdfSecurity;
using zv::companion::PdfSecurity;

namespace {

std::string Corpus(const std::string& name) { return std::string(ZV_CORPUS_DIR) + "/" + name; }

// One folder for the whole run, removed at its end.
std::string Scratch() {
  static const zv::testing::TempDir dir;
  return dir.path();
}

// Encrypts a corpus file with the qpdf tool; empty when qpdf is missing.
std::string Encrypt(const std::string& name, const std::string& user, const std::string& extra) {
  const std::string out = Scratch() + "/" + name + ".pdf";
  std::vector<std::string> args = {"--encrypt", user, "owner", "256"};
  if (!extra.empty()) args.push_back(extra);
  args.insert(args.end(), {"--", Corpus("minimal-linearized.pdf"), out});
  return zv::testing::RunProgram("qpdf", args).exitCode == 0 ? out : std::string();
}

}  // namespace

TEST(PdfSecurity, CorpusClassified) {
  const std::pair<const char*, PdfSecurity> expected[] = {
      {"20-pages.pdf", PdfSecurity::kPasswordNeeded},
      {"append-xref-loop.pdf", PdfSecurity::kNone},
      {"bad1.pdf", PdfSecurity::kDamaged},
      {"bad2.pdf", PdfSecurity::kNone},
      {"bad22.pdf", PdfSecurity::kNone},
      {"c-empty.pdf", PdfSecurity::kNone},
      {"c-r6-in.pdf", PdfSecurity::kPasswordNeeded},
      {"duplicate-page-inherited.pdf", PdfSecurity::kNone},
      {"enc-R3,V2,O=master.pdf", PdfSecurity::kPrintDenied},
      {"encrypted-with-images.pdf", PdfSecurity::kNone},
      {"fax-decode-parms.pdf", PdfSecurity::kNone},
      {"form-fields-and-annotations-shared.pdf", PdfSecurity::kNone},
      {"issue-146.pdf", PdfSecurity::kDamaged},
      {"leading-junk.pdf", PdfSecurity::kNone},
      {"many-nulls.pdf", PdfSecurity::kNone},
      {"minimal-linearized.pdf", PdfSecurity::kNone},
      {"object-stream.pdf", PdfSecurity::kNone},
      {"pages-loop.pdf", PdfSecurity::kDamaged},
  };
  for (const auto& [name, result] : expected) EXPECT_EQ(CheckPdfSecurity(Corpus(name)), result) << name;
}

TEST(PdfSecurity, EncryptedWithQpdf) {
  const std::string printNone = Encrypt("print-none", "", "--print=none");
  if (printNone.empty()) GTEST_SKIP() << "qpdf tool not available";
  EXPECT_EQ(CheckPdfSecurity(printNone), PdfSecurity::kPrintDenied);
  EXPECT_EQ(CheckPdfSecurity(Encrypt("user-pw", "secret", "")), PdfSecurity::kPasswordNeeded);
  EXPECT_EQ(CheckPdfSecurity(Encrypt("no-modify", "", "--modify=none")), PdfSecurity::kPrintAllowed);
  EXPECT_EQ(CheckPdfSecurity(Encrypt("low-print", "", "--print=low")), PdfSecurity::kPrintAllowed);
  EXPECT_EQ(CheckPdfSecurity(Encrypt("open", "", "")), PdfSecurity::kNone);
}

TEST(PdfSecurity, DamagedPasswordFileIsDamaged) {
  // A password-protected file whose cross-reference table is destroyed: qpdf
  // repairs it (with warnings) and then fails on the password.
  std::string bytes = zv::testing::ReadText(Corpus("20-pages.pdf"));
  const std::size_t xref = bytes.rfind("startxref");
  ASSERT_NE(xref, std::string::npos);
  bytes.replace(xref, 9, "startxraf");
  const std::string path = Scratch() + "/damaged-pw.pdf";
  zv::testing::WriteText(path, bytes);
  EXPECT_EQ(CheckPdfSecurity(path), PdfSecurity::kDamaged);
}

TEST(PdfSecurity, MissingFolderAndUnreadable) {
  EXPECT_EQ(CheckPdfSecurity(Scratch() + "/nothing-here.pdf"), PdfSecurity::kMissing);
  EXPECT_EQ(CheckPdfSecurity(Scratch()), PdfSecurity::kOther);
  EXPECT_EQ(CheckPdfSecurity(""), PdfSecurity::kOther);
  if (::geteuid() == 0) GTEST_SKIP() << "root reads everything";
  const std::string path = Scratch() + "/locked.pdf";
  std::filesystem::copy_file(Corpus("minimal-linearized.pdf"), path, std::filesystem::copy_options::overwrite_existing);
  std::filesystem::permissions(path, std::filesystem::perms::none);
  EXPECT_EQ(CheckPdfSecurity(path), PdfSecurity::kOther);
}
