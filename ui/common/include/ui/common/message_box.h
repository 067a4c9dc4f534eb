// Message boxes of the common library (ComShowMessageBox) shown as QMessageBox.
#pragma once

#include <QMessageBox>
#include <string>

namespace zv::ui {

// What a style word asks for.
struct MessageBoxLook {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons = QMessageBox::Ok;
  QMessageBox::StandardButton defaultButton = QMessageBox::Ok;
  bool topMost = false;
};
MessageBoxLook LookOfStyle(int style);
// The common library's result for a pressed button (kIdOk, kIdCancel, ...).
int ResultOfButton(QMessageBox::StandardButton button);

// Installs the hook. In the window thread a box is modal; from another
// thread it is shown without waiting (that thread must never wait for the
// window thread) and the style's default button is returned; its text is
// traced under `traceTag`.
void InstallQtMessageBoxHook(const std::string& traceTag);

}  // namespace zv::ui
