// Changes of a binder that cannot be made by one atomic replacement (a page
// deletion, pages sent into the binder) leave work files beside the binder
// ini while they run. The binder ini's atomic replacement is their commit
// point: work files found later tell an interrupted change, and whether it
// was committed, so every writer puts the binder back into one consistent
// state (old or new, never a mix) before it reads the binder.
//
// Deletion (work files "<name>_old.ini", "<name>_old.pdf"/".pwb"):
//   _old.ini is a copy of the ini made before anything changes; the page
//   file, when rewritten, was first renamed to _old.pdf. The ini still equal
//   to _old.ini means not committed: _old.pdf goes back. A different ini
//   means committed: the page files (and OCR text files) that _old.ini names
//   and the ini no longer does are removed, then the work files.
// Send (work files "<name>_tmp.ini", "<name>_tmp.pdf", "<name>_backup.*"):
//   _tmp.ini is renamed over the ini to commit. _tmp.ini still there means
//   not committed: the page file comes back from _backup.pdf and the work
//   files go; new page files above MaxPageID are removed as orphans. No
//   _tmp.ini: committed (or nothing changed yet); the work files go.
// Send locks: "Locked" and "Conv_Locked" without a held "~Write.Lock" are
// left by a send that died; they are removed.
#pragma once

#include <string>

#include "binderlib/binderini.h"

namespace zv::companion::binder {

// "<folder>/<name><suffix>", name being the binder folder's name.
std::string BinderWorkFile(const std::string& binderFolder, const std::string& suffix);

enum class RecoverStatus {
  Clean,      // nothing was interrupted
  Recovered,  // an interrupted change was rolled back or finished
  Refused,    // work files this system cannot interpret (left as they are)
};
struct RecoverOutcome {
  RecoverStatus status = RecoverStatus::Clean;
  std::string what;  // what was found and done
};
// Call while holding the binder's ~Write.Locked, before reading the binder.
RecoverOutcome RecoverInterruptedChange(const std::string& binderFolder);

// Removes page files with ids above MaxPageID: no ini names them, so they
// are leftovers of an insertion that died before its ini was written.
void RemoveOrphanPageFiles(const BinderSummary& b);

}  // namespace zv::companion::binder
