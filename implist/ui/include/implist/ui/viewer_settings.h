// The viewer's settings file Quibbin.ini, the filter that decides which list
// records the window shows, and the program's own log Quibbin.log.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "implist/collate.h"
#include "platform/fs.h"

namespace zv::implist::ui {

inline constexpr const char* kSettingsSection = "ImpListSettings";
inline constexpr const char* kSortSection = "SaveData";
inline constexpr int kDisplayImpKeys = 10;         // DisplayImp1..DisplayImp10
inline constexpr int kDisplayImpKeyLength = 1000;  // characters read per key
inline constexpr int kDialogListMax = 1000;        // what the settings dialog offers
inline constexpr int kModelListMax = 1500;         // what the list data accepts

// One link folder entry ImpList<n>.
struct LinkEntry {
  std::string path, name, host;
  int enabled = 1;
  int maxSetNumber = 0;
  int usrNumber = 0;
  long long lastModified = 0;
  std::string displayImp;  // DisplayImp1..10 joined: "1,2,5,"
};

struct ViewerSettings {
  int logOutput = 0, performFlag = 0, viewerFailTime = 30, dispListMax = 50, popup = 1;
  int envSetInfoChanged = 0, keepList = 0, callUpdate = 1, dispWkFlag = 2, lockInterval = 60;
  int deleteFromBinder = 0, setFlag = 0, interval = 10, fileHoldPeriod = 60, viewerMode = 1;
  int periodCheck = 1, listDataPeriod = 30, dispFailedMessage = 0, userRsltDel = 0;
  int showBalloon = -1, timeBalloon = 5, soundEnabled = 0, wait = 5000;
  long long lastModified = 0;
  std::string lastGetImpData, lastDate, waveFile;
  int sortColumn = 0;      // 0..3
  int sortDescending = 0;  // sort_Direct: 0 ascending, 1 descending
  LinkEntry link[3];
  int filterMaxSetNumber = 1050;  // MaxSetNumber of ImpList1 as the filter reads it

  static ViewerSettings Read(const std::string& file);
  // Seconds a balloon stays: TimeBalloon, 5 when outside 1..99.
  int BalloonSeconds() const;
};

// <program folder>/Quibbin.ini, EnvSetInfo.ini, Quibbin.log.
std::string SettingsFile();
std::string MonitorSettingsFile();
std::string LogFile();

// Written at every start: HostName and DeleteLockFlag "0".
bool WriteStartKeys(const std::string& file, const std::string& computer);
// The sort choice (SaveData sort_col, sort_Direct).
bool WriteSort(const std::string& file, int column, int descending);
// What the settings dialog's OK writes, in one replacement of the file.
// False when the file could not be written.
bool WriteDialogKeys(const std::string& file, const ViewerSettings& s);
// DisplayImp text of up to 10 keys of 1000 characters: numbers are never
// cut between keys.
std::vector<std::string> SplitDisplayImp(const std::string& joined);

// Which records of the local list the window shows.
struct ListFilter {
  std::string computer;          // this computer's name
  bool ownComputerCheck = true;  // off until the user has saved settings (SetFlag 0)
  std::string monitorSettings;   // EnvSetInfo.ini
  int maxSetNumber = 1050;
  int dispWkFlag = 2;
  LinkEntry link[3];

  static ListFilter Make(const ViewerSettings& s, std::string computer, std::string monitorSettings);
  bool Shows(const Record& record) const;

 private:
  mutable std::map<int, int> states_;    // monitor setting -> MonitorSettingState, read once per filter
  std::set<std::string> displayImp_[3];  // each entry's DisplayImp numbers
};

// Whether the monitor's settings were saved (EnvSetInfo.ini [Product]
// LastModified) after this user last saved the viewer's settings
// (LastModified of ImpListSettings); false until the first save.
bool MonitorSettingsChanged(const std::string& settingsFile, const std::string& monitorSettings);

// The monitor's setting n: 0 usable, -2 switched off, -9 missing.
int MonitorSettingState(const std::string& monitorSettings, int n);

// Quibbin.log: "<time> <Info|Error> <text>" lines, written only with
// logoutput 1.
class ViewerLog {
 public:
  void Open(const std::string& path, bool enabled);
  void Info(const std::string& text) { Line("Info", text); }
  void Error(const std::string& text) { Line("Error", text); }

 private:
  void Line(const char* level, const std::string& text);
  platform::AppendFile file_;
};
ViewerLog& Log();

}  // namespace zv::implist::ui
