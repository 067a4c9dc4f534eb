// The writer program with the real office program on documents it must
// refuse: a damaged .docx and a password-protected .xlsx. Each case costs an
// office start, so they are few.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "pdfwriter/writer.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "testing/temp_dir.h"

namespace co = zv::companion;
namespace pf = zv::platform;
namespace ini = zv::platform::ini;

namespace {

std::uint32_t Crc32(const std::string& data) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char c : data) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void Put16(std::string& s, unsigned v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, std::uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}

// A well-formed zip archive (stored entries) whose members are garbage.
std::string GarbageZip() {
  const std::vector<std::pair<std::string, std::string>> members = {
      {"[Content_Types].xml", std::string("\x01\x02<Types garbage", 17)},
      {"word/document.xml", std::string(3000, '\x9c')},
  };
  std::string zip, central;
  for (const auto& [name, data] : members) {
    const std::uint32_t offset = static_cast<std::uint32_t>(zip.size());
    const std::uint32_t crc = Crc32(data);
    std::string header;
    Put32(header, 0x04034b50);
    Put16(header, 20), Put16(header, 0), Put16(header, 0), Put16(header, 0), Put16(header, 0);
    Put32(header, crc), Put32(header, data.size()), Put32(header, data.size());
    Put16(header, name.size()), Put16(header, 0);
    zip += header + name + data;
    Put32(central, 0x02014b50);
    Put16(central, 20), Put16(central, 20), Put16(central, 0), Put16(central, 0), Put16(central, 0), Put16(central, 0);
    Put32(central, crc), Put32(central, data.size()), Put32(central, data.size());
    Put16(central, name.size()), Put16(central, 0), Put16(central, 0), Put16(central, 0), Put16(central, 0);
    Put32(central, 0), Put32(central, offset);
    central += name;
  }
  const std::uint32_t centralOffset = static_cast<std::uint32_t>(zip.size());
  zip += central;
  Put32(zip, 0x06054b50);
  Put16(zip, 0), Put16(zip, 0), Put16(zip, members.size()), Put16(zip, members.size());
  Put32(zip, central.size()), Put32(zip, centralOffset), Put16(zip, 0);
  return zip;
}

// Makes a password-protected workbook with the office program itself: a
// scratch profile holds a macro of the user's own that stores a new sheet
// with a password.
bool MakeLockedWorkbook(const std::string& office, const std::string& scratch, const std::string& target) {
  const std::string basic = pf::JoinPath(scratch, "profile/user/basic");
  const std::string libs =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE library:libraries PUBLIC \"-//OpenOffice.org//DTD OfficeDocument 1.0//EN\" \"libraries.dtd\">\n"
      "<library:libraries xmlns:library=\"http://openoffice.org/2000/library\" "
      "xmlns:xlink=\"http://www.w3.org/1999/xlink\">\n"
      " <library:library library:name=\"Standard\" library:link=\"false\"/>\n</library:libraries>\n";
  const std::string lib =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE library:library PUBLIC \"-//OpenOffice.org//DTD OfficeDocument 1.0//EN\" \"library.dtd\">\n"
      "<library:library xmlns:library=\"http://openoffice.org/2000/library\" library:name=\"Standard\" "
      "library:readonly=\"false\" library:passwordprotected=\"false\">\n";
  const std::string module =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE script:module PUBLIC \"-//OpenOffice.org//DTD OfficeDocument 1.0//EN\" \"module.dtd\">\n"
      "<script:module xmlns:script=\"http://openoffice.org/2000/script\" script:name=\"Module1\" "
      "script:language=\"StarBasic\">\n"
      "Sub MakeLocked(dst As String)\n"
      "  Dim a(0) As New com.sun.star.beans.PropertyValue\n"
      "  a(0).Name = &quot;Hidden&quot; : a(0).Value = True\n"
      "  doc = StarDesktop.loadComponentFromURL(&quot;private:factory/scalc&quot;, &quot;_blank&quot;, 0, a())\n"
      "  doc.Sheets.getByIndex(0).getCellByPosition(0, 0).String = &quot;locked&quot;\n"
      "  Dim e(1) As New com.sun.star.beans.NamedValue\n"
      "  e(0).Name = &quot;OOXPassword&quot; : e(0).Value = &quot;secret&quot;\n"
      "  e(1).Name = &quot;CryptoType&quot; : e(1).Value = &quot;Standard&quot;\n"
      "  Dim p(1) As New com.sun.star.beans.PropertyValue\n"
      "  p(0).Name = &quot;FilterName&quot; : p(0).Value = &quot;Calc MS Excel 2007 XML&quot;\n"
      "  p(1).Name = &quot;EncryptionData&quot; : p(1).Value = e()\n"
      "  doc.storeToURL(ConvertToURL(dst), p())\n"
      "  doc.close(True)\n"
      "  StarDesktop.terminate()\n"
      "End Sub\n"
      "</script:module>\n";
  // The first start lays out the profile (and its own macro library), which
  // the module then replaces.
  const std::string profileUrl = "-env:UserInstallation=file://" + pf::JoinPath(scratch, "profile");
  pf::RunAndWait(office, {"--headless", "--norestore", "--terminate_after_init", profileUrl}, 180'000);
  if (!pf::MakeFolders(pf::JoinPath(basic, "Standard"))) return false;
  bool ok = pf::WriteFileAtomic(pf::JoinPath(basic, "script.xlc"), libs) &&
            pf::WriteFileAtomic(pf::JoinPath(basic, "dialog.xlc"), libs) &&
            pf::WriteFileAtomic(pf::JoinPath(basic, "Standard/script.xlb"),
                                lib + " <library:element library:name=\"Module1\"/>\n</library:library>\n") &&
            pf::WriteFileAtomic(pf::JoinPath(basic, "Standard/dialog.xlb"), lib + "</library:library>\n") &&
            pf::WriteFileAtomic(pf::JoinPath(basic, "Standard/Module1.xba"), module);
  if (!ok) return false;
  pf::RunAndWait(office,
                 {"--headless", "--norestore", profileUrl, "macro:///Standard.Module1.MakeLocked(\"" + target + "\")"},
                 180'000);
  // An encrypted workbook is a compound file, not a zip.
  auto bytes = pf::ReadFile(target);
  return bytes && bytes->size() > 8 && bytes->compare(0, 4, "\xD0\xCF\x11\xE0") == 0;
}

class WriterOfficeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    office_ = co::OfficeProgram();
    if (office_.empty()) GTEST_SKIP() << "no office program installed";
    root_ = dir_.path();
    writer_ = pf::JoinPath(root_, "writer");
    out_ = pf::JoinPath(root_, "out");
    ASSERT_TRUE(pf::MakeFolders(out_));
    ASSERT_TRUE(pf::MakeFolders(pf::JoinPath(root_, "tmp")));
    registry_ = pf::JoinPath(root_, "registry.ini");
    ASSERT_TRUE(ini::WriteString(registry_, co::kWriterAppPathsKey, "@", ZV_ORRINDEL_EXE));
    ASSERT_TRUE(ini::WriteString(registry_, co::kWriterAppPathsKey, "Path", writer_));
    // The writer program finds itself through this registry and works in this
    // temporary folder.
    writerEnv_ = {std::string(pf::registry::kMachineFileVar) + "=" + registry_, "TMPDIR=" + pf::JoinPath(root_, "tmp")};
    settings_ = co::WriterSettingsPath(writer_);
    ASSERT_TRUE(pf::MakeFolders(pf::ParentFolder(settings_)));
    ASSERT_TRUE(pf::CopyFile(ZV_WRITER_TEMPLATE, settings_, false));
    ini::WriteString(settings_, co::kDirectSection, "OutFolder", out_);
    ini::WriteString(settings_, co::kDirectSection, "OutName", "doc");
    ini::WriteString(settings_, co::kDirectSection, "Result", "-9");
  }

  // Runs the writer program as the converter does.
  int Print(const std::string& document) { return pf::RunAndWait(ZV_ORRINDEL_EXE, {document}, 300'000, writerEnv_); }

  zv::testing::TempDir dir_;
  std::string office_, root_, writer_, out_, registry_, settings_;
  std::vector<std::string> writerEnv_;
};

TEST_F(WriterOfficeTest, DamagedDocxIsRefusedNotGuessedIntoText) {
  const std::string doc = pf::JoinPath(root_, "damaged.docx");
  ASSERT_TRUE(pf::WriteFileAtomic(doc, GarbageZip()));
  EXPECT_EQ(Print(doc), 1);
  EXPECT_EQ(ini::GetInt(settings_, co::kDirectSection, "Result", 0), -1);
  EXPECT_EQ(ini::GetString(settings_, co::kDirectSection, "extstring", ""), "pdf");
  EXPECT_FALSE(pf::Exists(pf::JoinPath(out_, "doc.pdf")));
  // Nothing is left beside the document (no office lock files) or in the
  // temporary folder.
  auto beside = pf::ListFolder(root_);
  ASSERT_TRUE(beside.has_value());
  for (const auto& e : *beside) EXPECT_EQ(e.name.find(".~lock"), std::string::npos) << e.name;
  auto temp = pf::ListFolder(pf::JoinPath(root_, "tmp"));
  ASSERT_TRUE(temp.has_value());
  EXPECT_TRUE(temp->empty());
}

TEST_F(WriterOfficeTest, PasswordProtectedWorkbookIsRefused) {
  const std::string doc = pf::JoinPath(root_, "locked.xlsx");
  if (!MakeLockedWorkbook(office_, pf::JoinPath(root_, "scratch"), doc)) {
    GTEST_SKIP() << "the office program could not make a password-protected workbook";
  }
  EXPECT_EQ(Print(doc), 1);
  EXPECT_EQ(ini::GetInt(settings_, co::kDirectSection, "Result", 0), -1);
  EXPECT_FALSE(pf::Exists(pf::JoinPath(out_, "doc.pdf")));
}

}  // namespace
