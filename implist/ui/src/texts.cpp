#include "implist/ui/texts.h"

#include "companion/strings.h"
#include "platform/text.h"

namespace zv::implist::ui {

std::string TextStd(int id) { return companion::LoadString(companion::StringTable::ImportList, id); }

QString Text(int id) { return QString::fromStdString(TextStd(id)); }

QString Text(int id, const std::vector<std::string>& values) {
  return QString::fromStdString(platform::FillInOrder(TextStd(id), values));
}

Asker BoxAsker() {
  return [](QWidget* parent, const QString& text, QMessageBox::StandardButtons buttons) {
    QMessageBox box(QMessageBox::Question, Text(kTxtWindowTitle), text, buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
  };
}

}  // namespace zv::implist::ui
