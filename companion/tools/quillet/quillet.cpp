// Stand-in for the viewer's page tool: shows a binder's pages at a page.
//
//   Quillet PAGEFILE START MODE OPFILE
//
// PAGEFILE is the binder's page file "<binder>/<name>.pdf"; START the page
// to show first (1-based); MODE 1 asks for editing (shown like 0 here);
// OPFILE the operation file, whose [Quillet_Output] Result receives 0 or a
// negative code (-2 no binder, -3 no pages, -4 the password cannot be
// decoded, -5 the pages cannot be assembled, -6 no application could be
// started, -7 bad arguments).
//
// The pages are assembled into one temporary PDF in this user's private
// folder; a secured binder's copy is encrypted with the binder's password
// (decoded here from the binder ini: it never travels through the operation
// file), so no page lies on disk in clear. The PDF opens in the desktop's
// application: the program of ZORVAN_PDF_VIEWER or [Quillet] PdfProgram of
// the viewer's environment file (a command with %f for the file and %p for
// the page), else the desktop's default PDF application with its page
// argument where one is known, else xdg-open at page 1. Copies of earlier
// views older than an hour are removed.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "binderlib/binderini.h"
#include "binderlib/binderlib.h"
#include "binderlib/format.h"
#include "binderlib/moswell.h"
#include "companion/services.h"
#include "platform/clock.h"
#include "platform/filelock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/text.h"
#include "viewertools/binder_pages.h"

namespace platform = zv::platform;
namespace bl = zv::companion::binder;
namespace ini = platform::ini;

namespace {

constexpr const char* kOutput = "Quillet_Output";
constexpr std::int64_t kKeepCopiesSeconds = 3600;

int Answer(const std::string& opFile, int result) {
  if (!opFile.empty()) ini::WriteInt(opFile, kOutput, "Result", result);
  return result == 0 ? 0 : 1;
}

void RemoveOldCopies(const std::string& folder) {
  const auto entries = platform::ListFolder(folder);
  if (!entries) return;
  for (const auto& e : *entries) {
    const std::string path = platform::JoinPath(folder, e.name);
    const auto stamp = platform::Stamp(path);
    if (stamp && platform::UnixSeconds() - stamp->mtimeNs / 1'000'000'000 > kKeepCopiesSeconds)
      platform::RemoveFile(path);
  }
}

// Splits a command at blanks; %f and %p are replaced inside the words.
std::vector<std::string> Command(const std::string& templ, const std::string& file, int page) {
  std::vector<std::string> words;
  std::string cur;
  auto flush = [&] {
    if (cur.empty()) return;
    cur = platform::ReplaceAll(platform::ReplaceAll(cur, "%p", std::to_string(page)), "%f", file);
    words.push_back(cur);
    cur.clear();
  };
  for (char c : templ) {
    if (c == ' ' || c == '\t') {
      flush();
    } else {
      cur += c;
    }
  }
  flush();
  return words;
}

// The command of the desktop's default PDF application where it takes a
// page argument; empty otherwise.
std::string DefaultApplicationCommand() {
  const std::string tmp = platform::PrivateFolder("Quillet");
  if (tmp.empty()) return {};
  const std::string out = platform::JoinPath(tmp, "default-app.txt");
  // xdg-mime answers with the desktop file of the default application.
  const int rc = platform::RunAndWait("/bin/sh", {"-c", "xdg-mime query default application/pdf > \"$0\"", out}, 5000);
  const std::string id = rc == 0 ? std::string(platform::Trim(platform::ReadFile(out).value_or(""))) : std::string();
  platform::RemoveFile(out);
  static const std::vector<std::pair<std::string, std::string>> known = {
      {"org.gnome.Evince", "evince --page-index=%p %f"},
      {"evince", "evince --page-index=%p %f"},
      {"atril", "atril --page-index=%p %f"},
      {"xreader", "xreader --page-index=%p %f"},
      {"org.kde.okular", "okular --page %p %f"},
      {"okularApplication_pdf", "okular --page %p %f"},
      {"org.pwmt.zathura", "zathura --page=%p %f"},
      {"zathura", "zathura --page=%p %f"},
      {"mupdf", "mupdf %f %p"},
      {"qpdfview", "qpdfview %f#%p"},
  };
  for (const auto& [name, command] : known)
    if (id == name + ".desktop") return command;
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fputs("Usage: Quillet PAGEFILE START MODE OPFILE\n", stderr);
    return Answer(argc > 4 ? argv[4] : "", -7);
  }
  const std::string pageFile = argv[1];
  const std::string opFile = argv[4];
  const auto start = bl::ParseStrictInt(argv[2]);
  if (!start) return Answer(opFile, -7);
  const std::string folder = platform::ParentFolder(pageFile);
  const bl::BinderSummary b = bl::ReadBinder(folder, true);
  if (!b.exists) return Answer(opFile, -2);
  std::string password;
  if (b.secured()) {
    const auto decoded = zv::companion::moswell::DecodePassword(b.password);
    if (!decoded || decoded->empty()) return Answer(opFile, -4);
    password = *decoded;
  }
  const std::vector<bl::PageOfFile> pages = zv::companion::viewertools::BinderPages(b, password);
  if (pages.empty()) return Answer(opFile, -3);

  const std::string tmp = platform::PrivateFolder("Quillet");
  if (tmp.empty()) return Answer(opFile, -5);
  RemoveOldCopies(tmp);
  // A name of this view's own; the assembled pages then replace the empty file.
  std::string copy;
  for (int n = 1; n < 1000 && copy.empty(); ++n) {
    const std::string candidate = platform::JoinPath(
        tmp, b.name + "-" + std::to_string(platform::UnixSeconds()) + "-" + std::to_string(n) + ".pdf");
    if (platform::CreateExclusive(candidate)) copy = candidate;
  }
  if (copy.empty()) return Answer(opFile, -5);
  std::string error;
  if (!bl::WriteDocumentFromPages(pages, password, copy, &error)) {
    std::fprintf(stderr, "Quillet: %s\n", error.c_str());
    return Answer(opFile, -5);
  }
  const int page = std::max(1, std::min(*start, static_cast<int>(pages.size())));

  std::string command;
  if (const char* v = std::getenv("ZORVAN_PDF_VIEWER"); v != nullptr && *v != '\0') command = v;
  if (command.empty()) command = ini::GetString(zv::companion::ViewerEnvironmentPath(), "Quillet", "PdfProgram");
  if (command.empty()) command = DefaultApplicationCommand();
  std::vector<std::string> words =
      command.empty() ? std::vector<std::string>{"xdg-open", copy} : Command(command, copy, page);
  if (words.empty()) return Answer(opFile, -6);
  const std::string program = words.front();
  words.erase(words.begin());
  // The application outlives this tool; init reaps it.
  platform::Process app = platform::Process::Spawn(program, words);
  if (!app.valid()) return Answer(opFile, -6);
  return Answer(opFile, 0);
}
