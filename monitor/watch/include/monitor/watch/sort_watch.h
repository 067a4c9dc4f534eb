// The sort-folder watch: every link of the sort folder (a binder-level folder
// joined to its binder) is turned into an auto-file setting and handed to the
// folder check, so a file dropped into the folder is filed into the binder.
#pragma once

#include "monitor/settings/catalogue.h"
#include "monitor/settings/sort_links.h"
#include "monitor/watch/engine.h"

namespace zv::monitor {

// Fills `record` from link `k` (0-based) of `sort`: enabled as bEnabled, the
// link's folder (no subfolders) and binder, the link folder LinkFoder (the
// binder's own when empty), set number and set date of the link, result
// notice to this user only, the binder search only when DisableSearchBinder
// is 1, the common insert position, move modes and terms, the default save
// folders (hidden unless ShowSaveFolder is 1), the name 63267. 0 when an
// argument is missing or `k` names no link, else 1.
int ConvertSortFolderInfoToReadFileInfo(const SortSettings* sort, int k, AutoFileSetting* record,
                                        const MonitorOptions& options);

// Reads the links when none were read yet or SortModified is raised (the
// flag is cleared), and makes the next pass due at once. Called at the start
// of every cycle, before the auto-file pass.
void TakeOverSortSettings(WatchFrame& frame);

// The link pass of one cycle: when the watch is on, due and the monitor is
// online, every link with something to import is checked as a target-folder
// setting and walked by CheckFolder under the monitor status 4. The clean-up
// dates of the pass are written in one write group at its end.
void SortFolderPass(WatchFrame& frame);

}  // namespace zv::monitor
