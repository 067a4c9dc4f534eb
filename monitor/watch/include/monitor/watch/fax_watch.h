// The fax watch: the fax folder's documents staged, routed by the
// imported-file names of the fax settings (the first enabled setting whose
// mask matches a document owns it), handed to the folder check setting by
// setting, the rest to the other setting, leftovers put back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "monitor/watch/engine.h"

namespace zv::monitor {

// The fax settings whose change flag is raised (or that were never read)
// are read anew and the flag cleared; called at the start of every cycle,
// before the auto-file pass, so a start or a save never stalls a pass.
void TakeOverFaxSettings(WatchFrame& frame);

// The fax step of a watch cycle: due check, daily clean-up of the fax save
// folders, then FAXCheck on the fax folder and the wait after it.
void FaxWatchStep(WatchFrame& frame);

// One pass over a fax (sub)folder and, with bRecursive, its subfolders
// ("Success", "Fail" and "$FaxTmp" are never walked). `succeeded` and
// `failed` are the explicit save folders, "" for the defaults below each
// walked folder. False when monitoring was stopped (the rest of the pass is
// left).
bool FAXCheck(WatchFrame& frame, const std::string& folder, int depth, const std::string& succeeded,
              const std::string& failed);

// The enabled fax setting (1-based) owning a document name: the first whose
// imported-file name matches it; 0 when none does (the other setting's).
int FaxOwnerOf(const FaxSettings& fax, const std::string& name);
// The same, remembered for the frame's fax settings as last read (a pass
// asks for the same names once per setting it walks).
int FaxOwner(WatchFrame& frame, const std::string& name);

// Whether a folder check walk takes a file: a fax setting only the
// documents it owns, the other setting (`otherFax`) only those no enabled
// setting owns, anything else by the record's mask.
bool WalkTakesFile(WatchFrame& frame, int n, const AutoFileSetting& setting, int otherFax, const std::string& name);

// 1 when the folder holds a file, neither read-only, hidden, temporary nor
// a link, whose name matches `mask` ("*.*" when empty); adds its size to
// `total` and stops there. Subfolders: with `recursive` and depth below
// MaxRecursive - 1 each other than "Success" and "Fail" by CheckFileExists,
// otherwise only a "$FaxTmp" subfolder. 10 ms per entry.
int CheckFileExists2(WatchFrame& frame, const std::string& folder, int recursive, int depth, std::uint64_t& total,
                     const std::string& mask);

// Moves the files of `from` whose names match `mask` into `to` (created
// when missing), never replacing: a taken name becomes "<base>_<nnn>.<ext>"
// with the first free counter from 1 (at most 999, 50 ms between tries).
// Only regular, visible files, no links, and (with `probeInUse`) none that
// another process still holds open. A file with a lock-list entry takes
// its entry along. Returns the number of files that should have moved but
// did not (0: everything moved); -1 when `to` cannot be had.
int MoveFaxFiles(WatchFrame& frame, const std::string& mask, const std::string& from, const std::string& to,
                 bool probeInUse);

// Files the fax import mode 1 puts into a plain folder: the document copied
// under its own name or the first free "_002".."_999" one. 0 filed, -1
// failed (`message` says why).
int CopyIntoPlainFolder(const std::string& source, const std::string& folder, std::string& message);

}  // namespace zv::monitor
