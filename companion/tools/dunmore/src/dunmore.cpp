#include "dunmore/dunmore.h"

#include <cstdio>

#include "binderlib/binderini.h"
#include "binderlib/binderlib.h"
#include "binderlib/format.h"
#include "binderlib/moswell.h"
#include "platform/clock.h"
#include "platform/filelock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "viewertools/binder_pages.h"

namespace zv::companion::dunmore {
namespace {

namespace bl = companion::binder;
namespace ini = platform::ini;
namespace print = platform::print;

constexpr const char* kInput = "Dunmore_Input";
constexpr const char* kOutput = "Dunmore_Output";

int Answer(const std::string& opFile, int result) {
  ini::WriteInt(opFile, kOutput, "Result", result);
  return result;
}

}  // namespace

int Run(const std::string& opFile, print::Backend& backend, const ChooseDestination& choose) {
  if (ini::GetInt(opFile, kInput, "Action", 0) != 2) return Answer(opFile, kBadInput);
  const std::string pageFile = ini::GetString(opFile, kInput, "OpeFilePath");
  const auto first = bl::ParseStrictInt(ini::GetString(opFile, kInput, "PrintStartPage"));
  const auto last = bl::ParseStrictInt(ini::GetString(opFile, kInput, "PrintEndPage"));
  if (pageFile.empty() || !first || !last) return Answer(opFile, kBadInput);
  const bl::BinderSummary b = bl::ReadBinder(platform::ParentFolder(pageFile), true);
  if (!b.exists) return Answer(opFile, kNoBinder);
  std::string password;
  if (b.secured()) {
    const auto decoded = companion::moswell::DecodePassword(b.password);
    if (!decoded || decoded->empty()) return Answer(opFile, kPagesUnreadable);
    password = *decoded;
  }
  const std::vector<bl::PageOfFile> all = viewertools::BinderPages(b, password);
  if (*first < 1 || *first > *last || *last > static_cast<int>(all.size())) return Answer(opFile, kRangeOutside);
  const std::vector<bl::PageOfFile> pages(all.begin() + (*first - 1), all.begin() + *last);

  std::string destination;  // empty: the default destination
  if (ini::GetInt(opFile, kInput, "PrintDlgDsp", 0) == 1 && choose) {
    std::vector<print::Destination> found;
    std::string def;
    backend.DefaultDestination(def);
    std::vector<std::string> names;
    if (!def.empty()) names.push_back(def);
    if (backend.ListDestinations(found) == print::Status::Ok)
      for (const auto& d : found)
        if (d.name != def) names.push_back(d.name);
    if (!choose(names, destination)) return Answer(opFile, kCancelled);
  }

  // The scheduler reads the document before Submit returns; the copy
  // lives only in this user's private folder until then.
  const std::string tmp = platform::PrivateFolder("Dunmore");
  if (tmp.empty()) return Answer(opFile, kPagesUnreadable);
  std::string copy;
  for (int n = 1; n < 1000 && copy.empty(); ++n) {
    const std::string candidate = platform::JoinPath(
        tmp, b.name + "-" + std::to_string(platform::UnixSeconds()) + "-" + std::to_string(n) + ".pdf");
    if (platform::CreateExclusive(candidate)) copy = candidate;
  }
  std::string error;
  if (copy.empty() || !bl::WriteDocumentFromPages(pages, {}, copy, &error)) {
    if (!copy.empty()) platform::RemoveFile(copy);
    std::fprintf(stderr, "Dunmore: %s\n", error.c_str());
    return Answer(opFile, kPagesUnreadable);
  }
  const std::string title = b.name + " " + std::to_string(*first) + "-" + std::to_string(*last);
  const print::Submission sub = backend.Submit({destination, copy, "application/pdf", "", title});
  platform::RemoveFile(copy);
  if (sub.status != print::Status::Ok) {
    std::fprintf(stderr, "Dunmore: %s: %s\n", print::StatusText(sub.status), sub.error.c_str());
    return Answer(opFile, kPrintFailed);
  }
  return Answer(opFile, kOk);
}

}  // namespace zv::companion::dunmore
