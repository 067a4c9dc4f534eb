// The print tool's work: a binder's page range to a print destination.
//
// Operation file [Dunmore_Input]: Action (2 print), OpeFilePath (the
// binder's page file "<binder>/<name>.pdf"), PrintStartPage, PrintEndPage,
// PrintDlgDsp (1: the destination is chosen by the user), and the location
// keys LinkFolderPath, LibraryName, CabinetName (not needed: the page file
// names the binder). The answer goes into [Dunmore_Output] Result.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/print.h"

namespace zv::companion::dunmore {

enum Result : int {
  kOk = 0,
  kPrintFailed = -1,     // the scheduler refused the job or did not answer
  kNoBinder = -2,        // the binder is gone
  kRangeOutside = -3,    // the pages are not in the binder (it was edited)
  kCancelled = -4,       // the user cancelled the choice of destination
  kBadInput = -5,        // the operation file is incomplete, or an action other than printing
  kPagesUnreadable = -6  // the pages cannot be assembled (damaged page file, undecodable password)
};

// Asks the user for a destination among `names` (the default first when
// there is one); false when cancelled.
using ChooseDestination = std::function<bool(const std::vector<std::string>& names, std::string& chosen)>;

// Reads the operation file, prints, writes Result and returns it. The pages
// are assembled in this user's private folder and the copy is removed as
// soon as the scheduler has taken it.
int Run(const std::string& opFile, platform::print::Backend& backend, const ChooseDestination& choose);

}  // namespace zv::companion::dunmore
