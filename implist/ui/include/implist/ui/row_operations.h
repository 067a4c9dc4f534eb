// What the list window's row buttons do with the selected rows: view,
// print, remove from the list or from the binder. The window owns no
// operation itself; the program hands it one implementation.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "implist/collate.h"
#include "implist/ui/texts.h"

class QWidget;

namespace zv::implist::ui {

enum class RowOperation { View, ViewEdit, Print, RemoveFromList, RemoveFromBinder };

struct SelectedRow {
  std::string section;  // section of the record in ImpListData.ini
  Record record;
};

class RowOperations {
 public:
  virtual ~RowOperations() = default;
  // Starts `operation` on `rows` (in list order) from the window thread and
  // returns at once: tool runs, lock waits and page removals run off the
  // window thread, which stays responsive. `done` is called on the window
  // thread when the operation has ended and its messages were shown, with
  // true when the local list file was changed and the window must be
  // refilled. False when nothing was started (refused, not confirmed, or
  // another operation still runs); `done` is then never called.
  virtual bool Start(RowOperation operation, const std::vector<SelectedRow>& rows, QWidget* parent,
                     std::function<void(bool listChanged)> done) = 0;
};

// The operations of this installation: the viewer's tools (Quillet,
// Dunmore, Ormley) and the keyword-page library, on the files of
// OpContext::Load(); questions and messages go through `ask`.
std::unique_ptr<RowOperations> MakeToolRowOperations(Asker ask);

}  // namespace zv::implist::ui
