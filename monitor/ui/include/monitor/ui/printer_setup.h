// The printer setup of the fax page: the desktop's print dialog over the
// print scheduler, with the stored printer and its options preselected. OK
// stores the chosen destination and its job options as the printer settings
// the prints use; no printer's own settings and no default printer change.
#pragma once

#include <QPrinter>
#include <QWidget>
#include <string>

namespace zv::monitor::ui {

// The job options of a configured printer: copies, collation, orientation,
// paper and duplex as the scheduler names them.
std::string PrinterJobOptions(const QPrinter& printer);
// Applies stored job options (PrinterJobOptions' form) to a printer.
void ApplyJobOptions(QPrinter& printer, const std::string& options);

// Shows the dialog; QDialog::Accepted when the choice was stored.
int RunPrinterSetup(QWidget* parent);

}  // namespace zv::monitor::ui
