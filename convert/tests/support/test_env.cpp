#include "support/test_env.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/QUtil.hh>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"

namespace zv::dravel::test {

Sandbox::Sandbox() {
  std::string base = std::string(ZV_TEST_BINARY_DIR) + "/dravel-test-XXXXXX";
  std::vector<char> buf(base.begin(), base.end());
  buf.push_back('\0');
  if (mkdtemp(buf.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  root_ = buf.data();
  for (const char* d : {"program", "tmp", "appdata", "viewer"}) platform::MakeFolders(Path(d));
  Set(platform::kProgramDirVar, programDir());
  Set("TMPDIR", tempDir());
  Set("XDG_CONFIG_HOME", appDataDir());
  Set("ZORVAN_VIEWER_DIR", viewerDir());
  Set("ZORVAN_REGISTRY_MACHINE", Path("registry-machine.ini"));
  Set("ZORVAN_REGISTRY_USER", Path("registry-user.ini"));
  platform::ini::ClearCache();
}

Sandbox::~Sandbox() {
  for (const auto& [name, value] : saved_) setenv(name.c_str(), value.c_str(), 1);
  for (const auto& name : unset_) unsetenv(name.c_str());
  platform::RemoveTree(root_);
  platform::ini::ClearCache();
}

void Sandbox::Set(const char* name, const std::string& value) {
  if (const char* old = getenv(name)) saved_[name] = old;
  else unset_.push_back(name);
  setenv(name, value.c_str(), 1);
}

void Sandbox::WriteEnvSetInfo(const std::map<std::string, std::string>& option) const {
  std::string text = "[option]\n";
  for (const auto& [k, v] : option) text += k + "=" + v + "\n";
  platform::WriteFileAtomic(platform::JoinPath(programDir(), "EnvSetInfo.ini"), text);
}

void MakePdf(const std::string& path, const std::vector<std::pair<double, double>>& boxes, int rotate) {
  QPDF pdf;
  pdf.emptyPDF();
  QPDFPageDocumentHelper doc(pdf);
  for (const auto& [w, h] : boxes) {
    QPDFObjectHandle contents = QPDFObjectHandle::newStream(&pdf, "0 0 m 10 10 l S\n");
    QPDFObjectHandle page = pdf.makeIndirectObject(QPDFObjectHandle::parse(
        "<< /Type /Page /MediaBox [0 0 " + QUtil::double_to_string(w, 3) + " " + QUtil::double_to_string(h, 3) +
        "] /Resources << >> >>"));
    page.replaceKey("/Contents", contents);
    if (rotate != 0) page.replaceKey("/Rotate", QPDFObjectHandle::newInteger(rotate));
    doc.addPage(QPDFPageObjectHelper(page), false);
  }
  QPDFWriter w(pdf, path.c_str());
  w.setDeterministicID(true);
  w.write();
}

void MakeBlankPdf(const std::string& path, int pages, bool mediaBox) {
  QPDF pdf;
  pdf.emptyPDF();
  QPDFPageDocumentHelper doc(pdf);
  for (int i = 0; i < pages; ++i) {
    doc.addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(QPDFObjectHandle::parse(
                    mediaBox ? "<< /Type /Page /MediaBox [0 0 595 842] >>" : "<< /Type /Page >>"))),
                false);
  }
  QPDFWriter w(pdf, path.c_str());
  w.setDeterministicID(true);
  w.write();
}

std::vector<std::string> KeysInOrder(const std::string& file, const std::string& section) {
  return platform::ini::KeyNames(file, section);
}

RunResult Run(const std::string& program, const std::vector<std::string>& args) {
  RunResult r;
  auto temp = [] {
    std::string name = platform::TempFolder() + "/dravel-run-XXXXXX";
    std::vector<char> buf(name.begin(), name.end());
    buf.push_back('\0');
    const int fd = mkstemp(buf.data());
    if (fd >= 0) close(fd);
    return std::string(buf.data());
  };
  const std::string out = temp(), err = temp();
  std::string cmd = "'" + program + "'";
  for (const auto& a : args) {
    std::string q;
    for (char c : a) q += (c == '\'') ? std::string("'\\''") : std::string(1, c);
    cmd += " '" + q + "'";
  }
  cmd += " >" + out + " 2>" + err;
  const int status = std::system(cmd.c_str());
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = platform::ReadFile(out).value_or("");
  r.err = platform::ReadFile(err).value_or("");
  platform::RemoveFile(out);
  platform::RemoveFile(err);
  return r;
}

}  // namespace zv::dravel::test
