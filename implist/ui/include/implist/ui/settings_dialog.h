// The viewer's settings dialog: collection, news and display settings and,
// per link folder, the monitor settings whose results this user sees.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "companion/services.h"
#include "implist/ui/texts.h"
#include "implist/ui/viewer_settings.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QSpinBox;

namespace zv::implist::ui {

// One monitor setting as the dialog lists it.
struct MonitorSetting {
  int number = 0;
  std::string name;
};
// The monitor's settings 1..SetTotal of EnvSetInfo.ini [AutoFileRead].
std::vector<MonitorSetting> ReadMonitorSettings(const std::string& monitorSettings);

class SettingsDialog : public QDialog {
  Q_OBJECT
 public:
  SettingsDialog(std::string settingsFile, const ViewerSettings& current, std::vector<MonitorSetting> monitorSettings,
                 const companion::ViewerFolders& folders, std::string computer, Asker ask, QWidget* parent = nullptr);

  // OK: checks the values, asks about a short interval, writes Quibbin.ini;
  // the dialog stays open when the user goes back or the file cannot be
  // written.
  void accept() override;
  const ViewerSettings& saved() const { return values_; }

  QSpinBox* interval = nullptr;
  QSpinBox* fileHoldPeriod = nullptr;
  QCheckBox* periodCheck = nullptr;
  QSpinBox* listDataPeriod = nullptr;
  QSpinBox* dispListMax = nullptr;
  QButtonGroup* popup = nullptr;
  QCheckBox* showBalloon = nullptr;
  QCheckBox* soundEnabled = nullptr;
  QLineEdit* waveFile = nullptr;
  QComboBox* dispWkFlag = nullptr;
  QCheckBox* userRsltDel = nullptr;
  QComboBox* linkFolder = nullptr;
  QListWidget* displayImp = nullptr;

 private:
  void ShowLink(int entry);
  void KeepLink();
  void SelectSound();

  std::string file_;
  ViewerSettings values_;
  std::vector<MonitorSetting> monitorSettings_;
  std::string computer_;
  Asker ask_;
  int shownLink_ = -1;
  std::vector<std::vector<int>> ticked_;  // per link entry
};

}  // namespace zv::implist::ui
