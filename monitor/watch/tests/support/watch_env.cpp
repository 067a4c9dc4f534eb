#include "support/watch_env.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <stdexcept>

#include "binderlib/binderini.h"
#include "companion/trace.h"
#include "monitor/settings/catalogue.h"
#include "platform/attributes.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "store/store.h"

namespace zv::monitor::test {

namespace {
void Ini(const std::string& file, const std::string& section, const std::string& key, const std::string& value) {
  if (!platform::ini::WriteString(file, section, key, value)) throw std::runtime_error("ini write " + file);
}
}  // namespace

Installation::Installation() {
  std::string base = std::string(ZV_TEST_BINARY_DIR) + "/watch-test-XXXXXX";
  std::vector<char> buf(base.begin(), base.end());
  buf.push_back('\0');
  if (mkdtemp(buf.data()) == nullptr) throw std::runtime_error("mkdtemp");
  root_ = buf.data();
  for (const char* d : {"program/Rslt", "tmp", "appdata/zorvan", "viewer", "links/Local", "scan"})
    platform::MakeFolders(Path(d));
  Set(platform::kProgramDirVar, program());
  Set("TMPDIR", Path("tmp"));
  Set("XDG_CONFIG_HOME", Path("appdata"));
  Set("ZORVAN_VIEWER_DIR", Path("viewer"));
  Set("ZORVAN_REGISTRY_MACHINE", Path("registry-machine.ini"));
  Set("ZORVAN_REGISTRY_USER", Path("registry-user.ini"));
  platform::ini::ClearCache();
  if (symlink(ZV_PIXMOOR_LIB, Path("viewer/libPixmoor.so").c_str()) != 0 ||
      symlink(ZV_GANTRY_LIB, Path("viewer/libGantry.so").c_str()) != 0)
    throw std::runtime_error("symlink");
#if defined(ZV_TARNWICK_LIB) && defined(ZV_PINFOLD_LIB)
  // The work-desk locator and import libraries beside them.
  if (symlink(ZV_TARNWICK_LIB, Path("viewer/libTarnwick.so").c_str()) != 0 ||
      symlink(ZV_PINFOLD_LIB, Path("viewer/libPinfold.so").c_str()) != 0)
    throw std::runtime_error("symlink");
#endif
  // The suite's main program and the viewer as an installer registers them;
  // the viewer answers the version query.
  const std::string viewerExe = Path("viewer/zorvan-viewer");
  if (!platform::WriteFileAtomic(viewerExe, "#!/bin/sh\necho 'Zorvan Reader 4.0'\n") ||
      chmod(viewerExe.c_str(), 0755) != 0 || !platform::WriteFileAtomic(Path("viewer/zorvan-suite"), "suite\n"))
    throw std::runtime_error("viewer stand-ins");
  const std::string appPaths = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
  Ini(Path("registry-machine.ini"), appPaths + "ZorvanPersonalBrennic.exe", "@", Path("viewer/zorvan-suite"));
  Ini(Path("registry-machine.ini"), appPaths + "Zorvan.exe", "@", viewerExe);
  const std::string folders = Path("viewer/FolderList.ini");
  Ini(folders, "Folder", "FolderNum", "1");
  Ini(folders, "Folder", "LinkFolder1", link());
  Ini(folders, "Folder", "LinkName1", "Local");
  Ini(folders, "Folder", "CurrentFolder", link());
  Ini(folders, "Folder", "CurrentNum", "1");
  Ini(folders, "Folder", "CurrentName", "Local");
  for (const char* k : {"InsertIndex", "A3B4", "SecurityPDF", "DataChange"})
    Ini(Path("viewer/ZorvanEnv.ini"), "EnvSetting", k, "0");
  Ini(Path("appdata/zorvan/UserSettings.ini"), "Product", "User", "tester");

  const auto lib = store::CreateLibrary(link(), "Lib");
  const auto cab = store::CreateCabinet(lib.path, "Cab");
  companion::binder::BinderDescription d;
  d.title = "Inbox";
  const auto b = store::CreateBinder(cab.path, d);
  if (!b.ok()) throw std::runtime_error("binder");
  binder_ = b.path;

  if (!WriteDefaultSettings(settings())) throw std::runtime_error("settings");
  SetAuto("SetTotal", "1");
  SetAuto("bCheck1", "1");
  SetAuto("TarFolder1", target());
  SetAuto("TarBinder1", binder_);
  SetAuto("checkTimer1", "0");
  SetAuto("SetName1", "Scans");
  SetOption("ImpResultLogEnabled", "1");
  SetOption("SkipLogEnabled", "1");
  SetOption("TraceLogEnabled", "1");
  SetOption("TraceLogPath", Path("trace"));
}

Installation::~Installation() {
  for (const auto& [name, value] : saved_) setenv(name.c_str(), value.c_str(), 1);
  for (const auto& name : unset_) unsetenv(name.c_str());
  // Folders a test made read-only must be removable.
  for (const char* d : {"scan", "scan/Success"})
    if (platform::IsFolder(Path(d))) platform::SetReadOnly(Path(d), false);
  if (!getenv("ZV_KEEP_TEST_DIR")) platform::RemoveTree(root_);
  platform::ini::ClearCache();
}

void Installation::Set(const char* name, const std::string& value) {
  if (const char* old = getenv(name))
    saved_[name] = old;
  else
    unset_.push_back(name);
  setenv(name, value.c_str(), 1);
}

void Installation::SetAuto(const std::string& key, const std::string& value) const {
  Ini(settings(), "AutoFileRead", key, value);
}
void Installation::SetOption(const std::string& key, const std::string& value) const {
  Ini(settings(), "Option", key, value);
}

std::vector<std::string> Installation::Environment() const {
  std::vector<std::string> env;
  for (const char* v : {platform::kProgramDirVar, "TMPDIR", "XDG_CONFIG_HOME", "ZORVAN_VIEWER_DIR",
                        "ZORVAN_REGISTRY_MACHINE", "ZORVAN_REGISTRY_USER"})
    env.push_back(std::string(v) + "=" + getenv(v));
  return env;
}

void MakePdf(const std::string& path, int pages) {
  QPDF pdf;
  pdf.emptyPDF();
  QPDFPageDocumentHelper doc(pdf);
  for (int i = 0; i < pages; ++i) {
    QPDFObjectHandle page =
        pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 595 842] /Resources << >> >>"));
    doc.addPage(QPDFPageObjectHelper(page), false);
  }
  QPDFWriter w(pdf, path.c_str());
  w.write();
}

std::vector<std::string> BinderKeywords(const std::string& binder) {
  std::vector<std::string> out;
  for (const auto& p : companion::binder::ReadBinder(binder, false).pages) out.push_back(p.keyword);
  return out;
}

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> out;
  if (auto list = platform::ListFolder(folder))
    for (const auto& e : *list) out.push_back(e.name);
  return out;
}

std::string DatedFolder(const std::string& base) {
  auto names = Names(base);
  return names.size() == 1 ? platform::JoinPath(base, names[0]) : std::string();
}

std::string ReadAll(const std::string& folder, const std::string& part) {
  std::string text;
  auto list = platform::ListFolder(folder);
  if (!list) return text;
  for (const auto& e : *list) {
    const std::string p = platform::JoinPath(folder, e.name);
    if (e.isFolder)
      text += ReadAll(p, part);
    else if (e.name.find(part) != std::string::npos)
      text += platform::ReadFile(p).value_or("");
  }
  return text;
}

Engine::Engine(const Installation& inst) {
  companion::TraceSettings trace;
  trace.path = inst.Path("trace");
  trace.enabled = 1;
  companion::SetProcessTraceSettings(trace);
  platform::SetClock(&clock);
  InitWatchFrame(frame, inst.program(), &shell);
  frame.watching.store(true);
  WatchThreadStart(frame);
}

Engine::~Engine() { platform::SetClock(nullptr); }

void Engine::Cycle() { WatchCycle(frame); }

}  // namespace zv::monitor::test
