// dravel: inspect and change a binder store from the command line.
//
// Exit status: 0 success; otherwise non-zero with a one-line reason on
// standard error. `insert` exits 0 filed, 1 skipped because the binder is
// busy, 2 refused or failed; `check` exits 1 when it lists problems.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "binderlib/binderlib.h"
#include "binderlib/format.h"
#include "binderlib/locks.h"
#include "companion/strings.h"
#include "dravel/core.h"
#include "dravel/pipeline.h"
#include "keywordpage/Fennet.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/library.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "store/store.h"

namespace {

namespace binder = zv::companion::binder;
namespace platform = zv::platform;
namespace store = zv::store;
namespace dravel = zv::dravel;

constexpr int kExitFailed = 2;

struct Command {
  const char* name;
  const char* usage;
  const char* help;
  int (*run)(const std::vector<std::string>& args);
};

int Fail(const std::string& command, const std::string& reason) {
  std::cerr << "dravel " << command << ": " << reason << "\n";
  return kExitFailed;
}

// A title as lists show it: the two line-break bytes as "..".
std::string ShownTitle(std::string title) {
  const std::string brk{binder::kTitleBreak1, binder::kTitleBreak2};
  return platform::ReplaceAll(std::move(title), brk, dravel::Message(zv::companion::kDravelTitleBreak));
}

std::string Clean(const std::string& path) { return platform::TrimTrailingSeparator(path); }

void PrintProblems(const std::vector<std::string>& problems, const std::string& indent) {
  for (const auto& p : problems) std::cout << indent << "! " << p << "\n";
}

int RunLs(const std::vector<std::string>& args) {
  const std::string link = Clean(args[0]);
  if (!platform::IsFolder(link)) return Fail("ls", "not a folder: " + link);
  std::cout << link << "\n";
  const store::Listing libraries = store::ListLibraries(link);
  PrintProblems(libraries.problems, "  ");
  for (const auto& lib : libraries.children) {
    std::cout << "  library " << lib.name << (lib.exists ? "" : "  (missing)") << "\n";
    if (!lib.exists) continue;
    const store::Listing cabinets = store::ListCabinets(lib.path);
    PrintProblems(cabinets.problems, "    ");
    for (const auto& cab : cabinets.children) {
      std::cout << "    cabinet " << cab.name << (cab.exists ? "" : "  (missing)") << "\n";
      if (!cab.exists) continue;
      for (const auto& b : store::ListBindersWithInfo(cab.path)) {
        std::cout << "      binder " << b.child.position << " \"" << ShownTitle(b.title) << "\" " << b.pageTotal
                  << (b.pageTotal == 1 ? " page" : " pages") << (b.secured ? " secured" : "")
                  << (b.child.exists ? "" : " (missing)") << "  " << b.child.path << "\n";
        PrintProblems(b.problems, "        ");
      }
    }
  }
  return 0;
}

int RunShow(const std::vector<std::string>& args) {
  const std::string folder = Clean(args[0]);
  const binder::BinderSummary s = binder::ReadBinder(folder, true);
  if (!s.exists) return Fail("show", "no binder ini in " + folder);
  std::cout << "binder " << s.folder << "\n"
            << "ini " << s.iniPath << "\n"
            << "title \"" << ShownTitle(s.title) << "\"\n"
            << "kind " << binder::BinderKind(folder) << "\n"
            << "mode " << (s.filePageMode != 0 ? "multi-file" : "single-file") << (s.secured() ? " secured" : "")
            << "\n";
  for (const char* section : {binder::kSecVersion, binder::kSecBinderInfo}) {
    std::cout << "[" << section << "]\n";
    for (const auto& [key, value] : platform::ini::SectionEntries(s.iniPath, section)) {
      // The stored password stays out of the listing.
      if (platform::EqualsNoCase(key, binder::kKeyPassword) && !value.empty()) {
        std::cout << "  " << key << "=(set)\n";
        continue;
      }
      std::cout << "  " << key << "=" << (platform::EqualsNoCase(key, binder::kKeyTitle) ? ShownTitle(value) : value)
                << "\n";
    }
  }
  std::cout << "pages " << s.pages.size() << "\n";
  for (const auto& p : s.pages) {
    std::cout << "  page " << p.number << " flag " << p.flag << " id " << p.fileId;
    if (!p.filePath.empty()) std::cout << " file " << platform::LastComponent(p.filePath);
    if (!p.keyword.empty()) std::cout << " keyword \"" << p.keyword << "\"";
    std::cout << "\n";
  }
  PrintProblems(s.problems, "");
  return 0;
}

int PrintCreated(const std::string& command, const store::CreateResult& r) {
  if (!r.ok()) return Fail(command, store::CreateStatusText(r.status));
  std::cout << r.path << "\n";
  return 0;
}

int RunMklib(const std::vector<std::string>& args) {
  return PrintCreated("mklib", store::CreateLibrary(Clean(args[0]), args[1]));
}

int RunMkcab(const std::vector<std::string>& args) {
  return PrintCreated("mkcab", store::CreateCabinet(Clean(args[0]), args[1]));
}

int RunMkbinder(const std::vector<std::string>& args) {
  binder::BinderDescription d;
  d.title = args[1];
  return PrintCreated("mkbinder", store::CreateBinder(Clean(args[0]), d));
}

int RunInsert(const std::vector<std::string>& args) {
  std::string keyword, extra;
  int pos = binder::kInsertBack;
  int service = 0, securePdf = 1, contents = 0;
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--front") {
      pos = binder::kInsertFront;
    } else if (args[i] == "--back") {
      pos = binder::kInsertBack;
    } else if (args[i] == "--keyword" || args[i] == "--extra") {
      if (i + 1 >= args.size()) return Fail("insert", args[i] + " needs a value");
      (args[i] == "--keyword" ? keyword : extra) = args[i + 1];
      ++i;
    } else if (args[i] == "--service") {
      service = 1;
    } else if (args[i] == "--refuse-secured") {
      securePdf = 0;
    } else if (args[i] == "--contents") {
      contents = 1;
    } else if (args[i].starts_with("--")) {
      return Fail("insert", "unknown option " + args[i]);
    } else {
      positional.push_back(args[i]);
    }
  }
  if (positional.size() != 2) return Fail("insert", "expected FILE BINDER");
  const std::string file = positional[0];
  const std::string configured = Clean(positional[1]);
  if (configured.size() >= DRAVEL_PATH_MAX || file.size() >= DRAVEL_PATH_MAX)
    return Fail("insert", dravel::Message(zv::companion::kDravelNameTooLong));

  char binderPath[DRAVEL_PATH_MAX] = {};
  std::memcpy(binderPath, configured.c_str(), configured.size() + 1);
  char printCopy[DRAVEL_PATH_MAX] = {};
  char message[DRAVEL_PATH_MAX] = {};
  char title[DRAVEL_PATH_MAX] = {};
  int pages = 0, reserved = 0, errorCode = 0, secured = 0;
  // As the monitor files: VLCode 2 (keywords per page), the exported search.
  const int result = InsertFileToBinder(nullptr, binderPath, file.c_str(), 0, 0, pos, 0, printCopy, 0, &pages,
                                        keyword.c_str(), service, message, &reserved, 2, title, &errorCode, contents,
                                        securePdf, &secured, extra.c_str(), 0);
  std::cout << "result " << result << "\n"
            << "error " << errorCode << "\n"
            << "message " << message << "\n";
  if (result == 0) {
    std::cout << "pages " << pages << "\n"
              << "binder " << binderPath << "\n"
              << "title " << title << "\n";
    return 0;
  }
  Fail("insert", message[0] != '\0' ? std::string(message) : "error " + std::to_string(errorCode));
  return result == 1 ? 1 : kExitFailed;
}

int RunFind(const std::vector<std::string>& args) {
  const std::string folder = Clean(args[0]);
  const binder::BinderSummary s = binder::ReadBinder(folder, false);
  if (!s.exists) return Fail("find", "no binder ini in " + folder);
  for (const auto& p : s.pages)
    if (!args[1].empty() && p.keyword.find(args[1]) != std::string::npos) std::cout << p.number << "\n";
  return 0;
}

// The keyword-page library of the program folder, as the import list loads it.
struct Fennet {
  zv::platform::SharedLibrary lib;
  FindPageWithKeyword3Func find = nullptr;
  DelPageFromBinderFunc del = nullptr;
  std::string error;
};
Fennet LoadFennet() {
  Fennet f;
  const std::string path = platform::JoinPath(platform::ProgramFolder(), "libFennet.so");
  f.lib = zv::platform::SharedLibrary::Open(path);
  if (!f.lib) {
    f.error = "cannot load " + path + ": " + f.lib.error();
  } else if (!f.lib.Bind(FENNET_FINDPAGE_NAME, f.find) || !f.lib.Bind(FENNET_DELPAGE_NAME, f.del)) {
    f.error = path + " lacks its exports";
  }
  return f;
}

// Options and positional arguments; false (with a message) on an unknown
// option or a missing value.
bool SplitArgs(const std::string& command, const std::vector<std::string>& args, const std::vector<std::string>& valued,
               const std::vector<std::string>& flags, std::map<std::string, std::string>& options,
               std::vector<std::string>& positional) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!a.starts_with("--")) {
      positional.push_back(a);
    } else if (std::find(valued.begin(), valued.end(), a) != valued.end()) {
      if (i + 1 >= args.size()) return Fail(command, a + " needs a value"), false;
      options[a] = args[++i];
    } else if (std::find(flags.begin(), flags.end(), a) != flags.end()) {
      options[a] = "1";
    } else {
      return Fail(command, "unknown option " + a), false;
    }
  }
  return true;
}

std::string PageFileOf(const std::string& folder) {
  const binder::BinderSummary s = binder::ReadBinder(folder, false);
  return binder::MainPageFilePath(folder, s.secured());
}

int RunPages(const std::vector<std::string>& args) {
  std::map<std::string, std::string> options;
  std::vector<std::string> positional;
  if (!SplitArgs("pages", args, {"--keyword"}, {}, options, positional)) return kExitFailed;
  if (positional.size() != 1 || !options.count("--keyword")) return Fail("pages", "expected BINDER --keyword TEXT");
  Fennet f = LoadFennet();
  if (!f.error.empty()) return Fail("pages", f.error);
  const std::string folder = Clean(positional[0]);
  const int page = f.find(PageFileOf(folder).c_str(), options["--keyword"].c_str());
  if (page < 0) return Fail("pages", "no binder with a readable ini in " + folder);
  std::cout << page << "\n";
  return page > 0 ? 0 : 1;
}

int RunDelete(const std::vector<std::string>& args) {
  std::map<std::string, std::string> options;
  std::vector<std::string> positional;
  if (!SplitArgs("delete", args, {}, {"--pair"}, options, positional)) return kExitFailed;
  if (positional.size() != 3) return Fail("delete", "expected BINDER FIRST LAST");
  int first = 0, last = 0;
  auto a = binder::ParseStrictInt(positional[1]), b = binder::ParseStrictInt(positional[2]);
  if (!a || !b) return Fail("delete", "FIRST and LAST must be page numbers");
  first = *a;
  last = *b;
  Fennet f = LoadFennet();
  if (!f.error.empty()) return Fail("delete", f.error);
  const std::string folder = Clean(positional[0]);
  // The deletion takes no lock of its own: the binder's short lock is held
  // around it, as every writer of a binder does.
  binder::ShortLock lock(folder, 60);
  if (!lock) return Fail("delete", "the binder is locked by another process: " + folder);
  const int rc = f.del(PageFileOf(folder).c_str(), first, last, options.count("--pair") ? 1 : 0);
  std::cout << "result " << rc << "\n";
  if (rc == 0) return 0;
  static const std::map<int, const char*> reasons = {
      {FENNET_DEL_FILES, "the binder's files could not be changed, or an interrupted change needs a look"},
      {FENNET_DEL_EBOOK, "a page carries electronic-document data"},
      {FENNET_DEL_RENAME, "the page file could not be renamed"},
      {FENNET_DEL_PATH, "not a binder, or its page file or ini is missing"},
      {FENNET_DEL_CARD, "card binder"},
      {FENNET_DEL_RANGE, "bad range: FIRST odd, LAST even, 1 <= FIRST <= LAST <= pages"},
      {FENNET_DEL_MEMORY, "out of memory"},
      {FENNET_DEL_UNARRANGED, "the temporary binder"}};
  auto it = reasons.find(rc);
  return Fail("delete", it != reasons.end() ? it->second : "error " + std::to_string(rc));
}

int RunCheck(const std::vector<std::string>& args) {
  const std::string path = Clean(args[0]);
  if (!platform::IsFolder(path)) return Fail("check", "not a folder: " + path);
  if (store::DetectLevel(path) < 0) return Fail("check", "not a binder, cabinet, library or link folder: " + path);
  const std::vector<std::string> problems = store::CheckStore(path);
  for (const auto& p : problems) std::cout << p << "\n";
  if (problems.empty()) {
    std::cout << "ok\n";
    return 0;
  }
  std::cerr << "dravel check: " << problems.size() << " problem" << (problems.size() == 1 ? "" : "s") << "\n";
  return 1;
}

const Command kCommands[] = {
    {"ls", "dravel ls LINKFOLDER",
     "Shows the libraries, cabinets and binders of a link folder with titles and page counts.", RunLs},
    {"show", "dravel show BINDER", "Shows a binder's keys, pages, page files and keywords.", RunShow},
    {"mklib", "dravel mklib LINKFOLDER NAME", "Creates a library; prints its folder as the last line.", RunMklib},
    {"mkcab", "dravel mkcab LIBRARY NAME", "Creates a cabinet; prints its folder as the last line.", RunMkcab},
    {"mkbinder", "dravel mkbinder CABINET TITLE",
     "Creates a binder titled TITLE (also its folder name); prints its folder as the last line.", RunMkbinder},
    {"insert",
     "dravel insert FILE BINDER [--front|--back] [--keyword K] [--extra X] [--contents] [--service] "
     "[--refuse-secured]",
     "Files a document into a binder as the monitor does: PDF and image files as they are, other documents\n"
     "printed to PDF first; a full binder continues in its \"#n\" overflow binders. At the back unless\n"
     "--front; with --keyword every page n gets the keyword \"K_n \" (followed by X with --extra);\n"
     "--contents adds a table-of-contents entry; --service refuses documents that need printing;\n"
     "--refuse-secured refuses secured PDF files instead of printing them. Prints the result, the error\n"
     "code and the message (and the pages, the binder used and its title when filed). Exit 0 filed,\n"
     "1 skipped because the binder is busy, 2 refused or failed.",
     RunInsert},
    {"find", "dravel find BINDER TEXT", "Prints the numbers of the pages whose keyword contains TEXT.", RunFind},
    {"pages", "dravel pages BINDER --keyword TEXT",
     "Prints the number of the first page whose keyword contains TEXT (pages with a page file counted).\n"
     "Exit 0 found, 1 no page matches, 2 failed.",
     RunPages},
    {"delete", "dravel delete BINDER FIRST LAST [--pair]",
     "Removes pages FIRST to LAST (FIRST odd, LAST even) under the binder's lock. With --pair a range\n"
     "starting at the back of a double-sided sheet (page flag 1) takes the sheet's two pages before it\n"
     "too. Prints the result code; exit 0 removed, 2 refused or failed (nothing changed).",
     RunDelete},
    {"check", "dravel check BINDER|CABINET|LIBRARY|LINKFOLDER",
     "Checks that every ini names files that exist, counts and lists agree and no lock is held.\n"
     "Exit 0 when sound; otherwise lists what is wrong and exits 1.",
     RunCheck},
};

void PrintUsage(std::ostream& out) {
  out << "usage:\n";
  for (const Command& c : kCommands) out << "  " << c.usage << "\n";
  out << "Each command takes --help.\n";
}

// Number of positional arguments a command takes (insert parses its own).
std::size_t Arity(const Command& c) {
  std::size_t n = 0;
  std::string_view u(c.usage);
  for (std::size_t at = 0; (at = u.find(' ', at)) != std::string_view::npos; ++at) {
    if (at + 1 < u.size() && u[at + 1] >= 'A' && u[at + 1] <= 'Z') ++n;
  }
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    PrintUsage(std::cerr);
    std::cerr << "dravel: no command given\n";
    return kExitFailed;
  }
  const std::string name = argv[1];
  if (name == "--help" || name == "-h" || name == "help") {
    PrintUsage(std::cout);
    return 0;
  }
  std::vector<std::string> args(argv + 2, argv + argc);
  for (const Command& c : kCommands) {
    if (name != c.name) continue;
    for (const auto& a : args) {
      if (a == "--help" || a == "-h") {
        std::cout << "usage: " << c.usage << "\n" << c.help << "\n";
        return 0;
      }
    }
    const bool ownArgs =
        std::strcmp(c.name, "insert") == 0 || std::strcmp(c.name, "pages") == 0 || std::strcmp(c.name, "delete") == 0;
    if (!ownArgs && args.size() != Arity(c)) return Fail(name, std::string("usage: ") + c.usage);
    try {
      return c.run(args);
    } catch (const std::exception& e) {
      return Fail(name, e.what());
    }
  }
  PrintUsage(std::cerr);
  std::cerr << "dravel: unknown command " << name << "\n";
  return kExitFailed;
}
