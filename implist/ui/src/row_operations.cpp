#include "implist/ui/row_operations.h"

#include <QMessageBox>

#include "companion/trace.h"
#include "implist/ui/texts.h"

namespace zv::implist::ui {

bool UnavailableRowOperations::Run(RowOperation operation, const std::vector<SelectedRow>& rows, QWidget* parent) {
  ZV_TRACE("_ImpList", "Row operation " + std::to_string(static_cast<int>(operation)) + " on " +
                           std::to_string(rows.size()) + " rows: not available");
  QMessageBox::information(parent, Text(kTxtWindowTitle), Text(kTxtNotAvailable));
  return false;
}

}  // namespace zv::implist::ui
