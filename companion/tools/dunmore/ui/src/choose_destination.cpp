#include "dunmore/choose_destination.h"

#include <QApplication>
#include <QInputDialog>
#include <QStringList>

namespace zv::companion::dunmore {

bool ChooseDestinationDialog(const std::vector<std::string>& names, std::string& chosen) {
  if (names.empty()) return false;
  int argc = 1;
  char name[] = "Dunmore";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  QStringList items;
  for (const auto& n : names) items << QString::fromStdString(n);
  bool ok = false;
  const QString item = QInputDialog::getItem(nullptr, "Print", "Printer:", items, 0, false, &ok);
  if (!ok) return false;
  chosen = item.toStdString();
  return true;
}

}  // namespace zv::companion::dunmore
