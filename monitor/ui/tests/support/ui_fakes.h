// Test doubles of the tray program: a scripted notification area and a
// temporary program folder with its settings and status files.
#pragma once

#include <QThread>
#include <string>

#include "monitor/settings/env_files.h"
#include "monitor/settings/profile.h"
#include "monitor/ui/tray_icon.h"
#include "testing/temp_dir.h"

namespace zv::monitor::ui::test {

class FakeTrayBackend : public TrayBackend {
 public:
  bool available = true, present = false;
  int failingAdds = 0;               // adds that fail before one succeeds; -1: every add
  bool failByTimeout = false;        // failed adds report a time-out...
  bool presentAfterTimeout = false;  // ...and registered the icon anyway
  int adds = 0, modifies = 0, messages = 0, messageMs = 0;
  QString tooltip, messageTitle, messageText;
  QThread* lastThread = nullptr;

  bool Available() const override { return available; }
  bool Add(const QIcon&, const QString& tip) override {
    ++adds;
    if (!available || failingAdds < 0 || failingAdds >= adds) {
      present = present || (failByTimeout && presentAfterTimeout);
      return false;
    }
    present = true;
    tooltip = tip;
    return true;
  }
  bool Modify(const QIcon&, const QString& tip) override {
    ++modifies;
    lastThread = QThread::currentThread();
    if (present) tooltip = tip;
    return present;
  }
  bool LastErrorWasTimeout() const override { return failByTimeout; }
  void Remove() override { present = false; }
  void ShowMessage(const QString& title, const QString& text, const QIcon&, int ms) override {
    ++messages;
    messageTitle = title;
    messageText = text;
    messageMs = ms;
  }
  void HideMessage() override {}
  void Click(TrayEvent e) { emit notified(e); }
};

// A program folder with EnvSetInfo.ini and ~HopvaleStatus.ini.
class ProgramFolder {
 public:
  ProgramFolder() : env_(EnvFiles::ForFolder(dir_.path())) { SetOption("MonitorStatus", 0); }
  const EnvFiles& env() const { return env_; }
  void SetOption(const std::string& key, int v) const { ProfileWrite("Option", key, v, env_.settings); }
  void SetProduct(const std::string& key, const std::string& v) const {
    ProfileWrite("Product", key, v, env_.settings);
  }
  void SetWork(const std::string& key, int v) const { ProfileWrite("work", key, v, env_.status); }
  int Option(const std::string& key) const { return ProfileRead("Option", key, -99, env_.settings); }
  int Work(const std::string& key) const { return ProfileRead("work", key, 0, env_.status); }

 private:
  zv::testing::TempDir dir_;
  EnvFiles env_;
};

}  // namespace zv::monitor::ui::test
