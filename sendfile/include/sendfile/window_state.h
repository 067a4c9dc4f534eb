// Where the send-file window goes, and what it keeps between runs
// (Marloft.dat in the program folder): its rectangle and whether it stays
// on top. The tool's settings come from EnvSetInfo.ini of the program folder.
#pragma once

#include <string>
#include <vector>

namespace zv::sendfile {

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
  bool operator==(const Rect&) const = default;
};

// The window's place. `own` is the window's own size; `workAreas` the
// screens' work areas, the first the primary one (none: `own` at 0,0).
// Without a saved place: the bottom-right corner of the primary work area.
// With one: a width or height of 0 takes the own size (at least 5 pixels);
// the saved rectangle goes to the work area it overlaps most, or the nearest
// one when it overlaps none (a screen that is gone), and is pushed inside.
Rect PlaceWindow(const Rect& own, const Rect* saved, const std::vector<Rect>& workAreas);

struct WindowState {
  bool hasPlace = false;  // ChangePose 1
  Rect place;
  bool topMost = false;  // ShowFrontAlway 1
};
std::string WindowStatePath();  // <program folder>/Marloft.dat
WindowState ReadWindowState();
bool WritePlace(const Rect& r);
bool WriteTopMost(bool on);

struct ToolSettings {
  int traceOn = 1;  // [option] SendFileToolLog
  int maxUser = 50;
};
std::string SettingsPath();  // <program folder>/EnvSetInfo.ini
ToolSettings ReadToolSettings();

}  // namespace zv::sendfile
