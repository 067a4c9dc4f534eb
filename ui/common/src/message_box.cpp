#include "ui/common/message_box.h"

#include <QApplication>
#include <QThread>

#include "companion/common.h"
#include "companion/trace.h"

namespace zv::ui {

using namespace companion;

MessageBoxLook LookOfStyle(int style) {
  MessageBoxLook look;
  switch (style & 0xF0) {
    case kMbIconStop: look.icon = QMessageBox::Critical; break;
    case kMbIconQuestion: look.icon = QMessageBox::Question; break;
    case kMbIconWarning: look.icon = QMessageBox::Warning; break;
    case kMbIconInfo: look.icon = QMessageBox::Information; break;
    default: break;
  }
  QMessageBox::StandardButton first = QMessageBox::Ok, second = QMessageBox::NoButton;
  switch (style & 0x0F) {
    case kMbOkCancel:
      look.buttons = QMessageBox::Ok | QMessageBox::Cancel;
      second = QMessageBox::Cancel;
      break;
    case kMbYesNoCancel:
      look.buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
      first = QMessageBox::Yes;
      second = QMessageBox::No;
      break;
    case kMbYesNo:
      look.buttons = QMessageBox::Yes | QMessageBox::No;
      first = QMessageBox::Yes;
      second = QMessageBox::No;
      break;
    default: look.buttons = QMessageBox::Ok; break;
  }
  look.defaultButton = (style & kMbDefButton2) && second != QMessageBox::NoButton ? second : first;
  look.topMost = (style & kMbTopMost) != 0;
  return look;
}

int ResultOfButton(QMessageBox::StandardButton button) {
  switch (button) {
    case QMessageBox::Cancel: return kIdCancel;
    case QMessageBox::Yes: return kIdYes;
    case QMessageBox::No: return kIdNo;
    default: return kIdOk;
  }
}

namespace {

QMessageBox* MakeBox(const std::string& text, const std::string& caption, int style) {
  const MessageBoxLook look = LookOfStyle(style);
  auto* box = new QMessageBox(look.icon, QString::fromStdString(caption), QString::fromStdString(text), look.buttons);
  box->setDefaultButton(look.defaultButton);
  if (look.topMost) box->setWindowFlag(Qt::WindowStaysOnTopHint);
  return box;
}

}  // namespace

void InstallQtMessageBoxHook(const std::string& traceTag) {
  SetMessageBoxHook([traceTag](const std::string& text, const std::string& caption, int style) -> int {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) return DefaultButton(style);
    if (QThread::currentThread() == app->thread()) {
      QMessageBox* box = MakeBox(text, caption, style);
      const auto pressed = static_cast<QMessageBox::StandardButton>(box->exec());
      delete box;
      return ResultOfButton(pressed);
    }
    ZV_TRACE(traceTag, "Message (not waited for): " + text);
    QMetaObject::invokeMethod(
        app,
        [text, caption, style] {
          QMessageBox* box = MakeBox(text, caption, style);
          box->setAttribute(Qt::WA_DeleteOnClose);
          box->show();
        },
        Qt::QueuedConnection);
    return DefaultButton(style);
  });
}

}  // namespace zv::ui
