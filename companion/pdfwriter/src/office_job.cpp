// Office and text documents through LibreOffice run headless.
//
// A document is untrusted input: every job gets a fresh private profile whose
// settings turn macros off, runs without network access where unprivileged
// namespaces are allowed, and is killed with its whole process group when it
// outlives its time limit. The document is copied into the job's own folder
// first, so the office program leaves no lock or backup files beside the
// original (which may lie in a watched folder).
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "companion/trace.h"
#include "office_job.h"
#include "pdfwriter/writer.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/text.h"

namespace zv::companion {

namespace fs = zv::platform;
using zv::platform::JoinPath;

namespace {

std::string RandomSuffix() {
  std::random_device rd;
  const std::uint64_t v = (static_cast<std::uint64_t>(rd()) << 32) ^ rd();
  static const char* kHex = "0123456789abcdef";
  std::string s;
  for (int i = 0; i < 16; ++i) s += kHex[(v >> (i * 4)) & 0xF];
  return s;
}

// file:// URL of an absolute path: every byte outside the unreserved set is
// percent-encoded.
std::string FileUrl(const std::string& path) {
  static const char* kHex = "0123456789ABCDEF";
  std::string url = "file://";
  for (unsigned char c : path) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '/' ||
                       c == '-' || c == '_' || c == '.' || c == '~';
    if (plain) {
      url += static_cast<char>(c);
    } else {
      url += '%';
      url += kHex[c >> 4];
      url += kHex[c & 0xF];
    }
  }
  return url;
}

// True when `unshare -rn` works for this user (probed once per process).
bool NetworkIsolationWorks() {
  static const bool works = [] {
    if (FindProgramInPath("unshare").empty()) return false;
    return zv::platform::RunAndWait("unshare", {"-rn", "true"}, 5000) == 0;
  }();
  return works;
}

// Removes the job folder on every way out.
struct FolderGuard {
  std::string path;
  ~FolderGuard() {
    if (!path.empty()) fs::RemoveTree(path);
  }
};

}  // namespace

std::string LockedDownProfileSettings() {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" "
         "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
         "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n"
         "<item oor:path=\"/org.openoffice.Office.Common/Security/Scripting\">"
         "<prop oor:name=\"MacroSecurityLevel\" oor:op=\"fuse\"><value>3</value></prop></item>\n"
         "<item oor:path=\"/org.openoffice.Office.Common/Security/Scripting\">"
         "<prop oor:name=\"DisableMacrosExecution\" oor:op=\"fuse\"><value>true</value></prop></item>\n"
         "<item oor:path=\"/org.openoffice.Office.Common/Security/Scripting\">"
         "<prop oor:name=\"BlockUntrustedRefererLinks\" oor:op=\"fuse\"><value>true</value></prop></item>\n"
         "</oor:items>\n";
}

bool OfficeConvert(const std::string& document, const std::string& tempBase, const std::string& target,
                   int printQuality, int timeLimitSeconds, const std::function<bool()>& cancelled, std::string& why) {
  const std::string ext = zv::platform::ToLowerAscii(zv::platform::Extension(document));
  const std::string filter = OfficeImportFilter(ext);
  if (filter.empty()) {
    why = "not an office or text document";
    return false;
  }
  const std::string program = OfficeProgram();
  if (program.empty()) {
    why = "no office program is installed";
    return false;
  }
  if (tempBase.empty() || !fs::IsFolder(tempBase)) {
    why = "no temporary folder";
    return false;
  }

  FolderGuard job{JoinPath(tempBase, "Orrindel-" + RandomSuffix())};
  const std::string profile = JoinPath(job.path, "profile");
  const std::string inFolder = JoinPath(job.path, "in");
  const std::string outFolder = JoinPath(job.path, "out");
  if (!fs::MakeFolders(JoinPath(profile, "user")) || !fs::MakeFolder(inFolder) || !fs::MakeFolder(outFolder)) {
    why = "cannot make the job folder " + job.path;
    return false;
  }
  if (!fs::WriteFileAtomic(JoinPath(JoinPath(profile, "user"), "registrymodifications.xcu"),
                           LockedDownProfileSettings())) {
    why = "cannot write the office profile";
    return false;
  }
  const std::string input = JoinPath(inFolder, "document." + ext);
  if (!fs::CopyFile(document, input, true)) {
    why = "cannot read the document " + document;
    return false;
  }

  std::vector<std::string> command;
  if (NetworkIsolationWorks()) command.insert(command.end(), {"unshare", "-rn"});
  // timeout(1) puts the office program into a process group of its own and
  // signals the whole group when the limit passes or when it is terminated.
  const bool haveTimeout = !FindProgramInPath("timeout").empty();
  if (haveTimeout) {
    command.insert(command.end(), {"timeout", "-k", "5", std::to_string(timeLimitSeconds)});
  }
  command.insert(command.end(),
                 {program, "--headless", "--invisible", "--norestore", "--nolockcheck", "--nodefault", "--nologo",
                  "--nofirststartwizard", "-env:UserInstallation=" + FileUrl(profile), "--infilter=" + filter,
                  "--convert-to", OfficePdfTarget(ext, printQuality), "--outdir", outFolder, input});

  const std::string first = command.front();
  command.erase(command.begin());
  auto child = zv::platform::Process::Spawn(first, command, job.path);
  if (!child.valid()) {
    why = "cannot start " + first;
    return false;
  }
  const std::int64_t started = zv::platform::SteadyMs();
  // Our own limit lies a little beyond timeout(1)'s, which should end the
  // program first.
  const std::int64_t limitMs = (static_cast<std::int64_t>(timeLimitSeconds) + (haveTimeout ? 15 : 0)) * 1000;
  while (child.IsRunning()) {
    if (cancelled && cancelled()) {
      child.Terminate(8000);
      why = "the job was cancelled";
      return false;
    }
    if (zv::platform::SteadyMs() - started > limitMs) {
      child.Terminate(3000);
      why = "the office program did not finish within " + std::to_string(timeLimitSeconds) + " s";
      return false;
    }
    zv::platform::SleepMs(100);
  }
  const int exitCode = child.Wait(0);
  if (haveTimeout && (exitCode == 124 || exitCode == 137)) {
    why = "the office program did not finish within " + std::to_string(timeLimitSeconds) + " s";
    return false;
  }

  // The office program reports a document it cannot load on its output but
  // still ends with 0: only a PDF with pages counts.
  const std::string produced = JoinPath(outFolder, "document.pdf");
  if (!fs::IsFile(produced)) {
    why = "the office program could not load the document (exit code " + std::to_string(exitCode) + ")";
    return false;
  }
  const int pages = PdfPageCount(produced);
  if (pages < 1) {
    why = "the office program made no readable page";
    return false;
  }
  if (!fs::RenamePath(produced, target, true) && !fs::CopyFile(produced, target, true)) {
    why = "cannot write " + target;
    return false;
  }
  ZV_TRACE("_Orrindel", "OfficeConvert: " + document + " -> " + target + " (" + std::to_string(pages) + " pages)");
  return true;
}

}  // namespace zv::companion
