// The desktop's notification area as a program's tray icon uses it:
// QSystemTrayIcon on a desktop, a scripted one in the tests. Without a
// notification area nothing is shown and the program's windows still work.
#pragma once

#include <QIcon>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>

namespace zv::ui {

// What the user did with the icon.
enum class TrayEvent { RightClick, LeftClick, LeftDoubleClick, BalloonClick, Other };

class TrayBackend : public QObject {
  Q_OBJECT
 public:
  // A notification area exists at all.
  virtual bool Available() const = 0;
  virtual bool Add(const QIcon& icon, const QString& tooltip) = 0;
  virtual bool Modify(const QIcon& icon, const QString& tooltip) = 0;
  // The last failed Add or Modify failed by a time-out of the shell.
  virtual bool LastErrorWasTimeout() const { return false; }
  virtual void Remove() = 0;
  virtual void ShowMessage(const QString& title, const QString& text, const QIcon& icon, int ms) = 0;
  virtual void HideMessage() = 0;

 signals:
  void notified(zv::ui::TrayEvent event);
};

// QSystemTrayIcon as the backend.
class QtTrayBackend : public TrayBackend {
  Q_OBJECT
 public:
  QtTrayBackend();
  bool Available() const override;
  bool Add(const QIcon& icon, const QString& tooltip) override;
  bool Modify(const QIcon& icon, const QString& tooltip) override;
  void Remove() override;
  void ShowMessage(const QString& title, const QString& text, const QIcon& icon, int ms) override;
  void HideMessage() override {}  // notifications expire by themselves

 private:
  QSystemTrayIcon icon_;
};

}  // namespace zv::ui
