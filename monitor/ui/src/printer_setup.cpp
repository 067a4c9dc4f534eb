#include "monitor/ui/printer_setup.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPrintDialog>

#include "companion/trace.h"
#include "monitor/print/print_file.h"
#include "platform/print.h"

namespace zv::monitor::ui {

namespace {

void Trace(const std::string& text) { ZV_TRACE("_Hopvale", text); }

}  // namespace

std::string PrinterJobOptions(const QPrinter& printer) {
  std::string out = "copies=" + std::to_string(std::max(1, printer.copyCount()));
  out += printer.collateCopies() ? " collate=true" : " collate=false";
  const bool landscape = printer.pageLayout().orientation() == QPageLayout::Landscape;
  out += landscape ? " orientation-requested=4" : " orientation-requested=3";
  const QString media = printer.pageLayout().pageSize().key();
  if (!media.isEmpty() && !media.contains(QLatin1Char(' '))) out += " media=" + media.toStdString();
  switch (printer.duplex()) {
    case QPrinter::DuplexLongSide: out += " sides=two-sided-long-edge"; break;
    case QPrinter::DuplexShortSide: out += " sides=two-sided-short-edge"; break;
    case QPrinter::DuplexNone: out += " sides=one-sided"; break;
    default: break;
  }
  return out;
}

void ApplyJobOptions(QPrinter& printer, const std::string& options) {
  using platform::print::OptionValue;
  const auto parsed = platform::print::ParseOptions(options);
  if (const std::string copies = OptionValue(parsed, "copies"); !copies.empty())
    printer.setCopyCount(std::max(1, std::atoi(copies.c_str())));
  if (const std::string collate = OptionValue(parsed, "collate"); !collate.empty())
    printer.setCollateCopies(collate == "true");
  if (const std::string o = OptionValue(parsed, "orientation-requested"); !o.empty())
    printer.setPageOrientation(o == "4" ? QPageLayout::Landscape : QPageLayout::Portrait);
  if (const std::string media = OptionValue(parsed, "media"); !media.empty()) {
    for (int id = 0; id < QPageSize::LastPageSize; ++id) {
      const auto size = static_cast<QPageSize::PageSizeId>(id);
      if (QPageSize::key(size).compare(QString::fromStdString(media), Qt::CaseInsensitive) == 0) {
        printer.setPageSize(QPageSize(size));
        break;
      }
    }
  }
  const std::string sides = OptionValue(parsed, "sides");
  if (sides == "two-sided-long-edge") printer.setDuplex(QPrinter::DuplexLongSide);
  if (sides == "two-sided-short-edge") printer.setDuplex(QPrinter::DuplexShortSide);
  if (sides == "one-sided") printer.setDuplex(QPrinter::DuplexNone);
}

int RunPrinterSetup(QWidget* parent) {
  QPrinter printer(QPrinter::HighResolution);
  const StoredPrinter stored = ReadStoredPrinter();
  if (stored.stored) {
    // The dialog opens on the stored printer; the desktop's default stays.
    if (!stored.name.empty()) printer.setPrinterName(QString::fromStdString(stored.name));
    ApplyJobOptions(printer, stored.options);
  }
  QPrintDialog dialog(&printer, parent);
  dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
  dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
  dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
  if (dialog.exec() != QDialog::Accepted) return QDialog::Rejected;
  const std::string name = printer.printerName().toStdString();
  const std::string options = PrinterJobOptions(printer);
  if (!StorePrinter(name, options)) {
    Trace("PrinterSetup: the printer settings could not be stored");
    return QDialog::Rejected;
  }
  Trace("PrinterSetup: stored " + name + " (" + options + ")");
  return QDialog::Accepted;
}

}  // namespace zv::monitor::ui
