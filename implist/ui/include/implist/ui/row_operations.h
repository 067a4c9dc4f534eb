// What the list window's row buttons do with the selected rows: view,
// print, remove from the list or from the binder. The window owns no
// operation itself; the program hands it one implementation.
#pragma once

#include <string>
#include <vector>

#include "implist/collate.h"

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
  // Runs `operation` on `rows` (in list order) from the window thread; the
  // collation pass is held off meanwhile. True when the local list file was
  // changed and the window must be refilled.
  virtual bool Run(RowOperation operation, const std::vector<SelectedRow>& rows, QWidget* parent) = 0;
};

// Until the operations exist: every button says plainly that the operation
// is not available yet and changes nothing.
class UnavailableRowOperations : public RowOperations {
 public:
  bool Run(RowOperation operation, const std::vector<SelectedRow>& rows, QWidget* parent) override;
};

}  // namespace zv::implist::ui
