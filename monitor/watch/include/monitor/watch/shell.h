// What the watch engine shows to the user goes through this interface: the
// tray program implements it (with queued signals into its window thread),
// the headless program traces it. The engine never talks to a window itself.
//
// Calls come from the watch thread; the marks (menu open, settings open) are
// read from it as well, so an implementation keeps them in atomics.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace zv::monitor {

// Icon ids of the monitor statuses, of the blinking and of the program.
inline constexpr int kIconOnlineService = 20003;  // online in service mode
inline constexpr int kIconBlink = 20008;          // the blink's other image
inline constexpr int kIconOffline = 20120;
inline constexpr int kIconImporting = 20121;
inline constexpr int kIconOnline = 20122;
inline constexpr int kIconError = 20123;
inline constexpr int kIconUser = 20001;  // the program's own icon (balloons)

class WatchShell {
 public:
  virtual ~WatchShell() = default;

  // Tooltip and icon for a monitor status (0..4; other values: "Error").
  virtual void SetStatusIcon(int status) = 0;
  // Free tooltip text (cut to 127 bytes by the implementation).
  virtual void SetTooltip(const std::string& text) = 0;
  // Blinking while a file is imported. StartBlink returns false when the
  // blink timer cannot be set (the engine then blinks by hand).
  virtual bool StartBlink() = 0;
  virtual void StopBlink() = 0;
  // One hand-made blink step: kIconBlink or kIconImporting.
  virtual void SetIcon(int iconId) = 0;
  // Balloon with text and title, hidden after `seconds`.
  virtual void ShowBalloon(const std::string& text, const std::string& title, int seconds) = 0;
  // Keep-alive: modify the icon with its current data; false when the icon
  // is gone (the shell restarted).
  virtual bool KeepIconAlive() = 0;
  // Add the icon again; true when it is shown afterwards.
  virtual bool RestoreIcon() = 0;

  // Marks the engine reads: the tray menu is open / the settings dialog is
  // open in this process.
  virtual bool MenuOpen() const = 0;
  virtual bool SettingsOpen() const = 0;
};

// The shell of a monitor without a desktop: every call becomes a trace line
// ("Shell: ...") and is kept in memory for whoever wants to look (tests).
// It pretends an icon is shown, so everything a tray would show is traced.
class HeadlessShell : public WatchShell {
 public:
  void SetStatusIcon(int status) override;
  void SetTooltip(const std::string& text) override;
  bool StartBlink() override;
  void StopBlink() override;
  void SetIcon(int iconId) override;
  void ShowBalloon(const std::string& text, const std::string& title, int seconds) override;
  bool KeepIconAlive() override;
  bool RestoreIcon() override;
  bool MenuOpen() const override { return false; }
  bool SettingsOpen() const override { return false; }

  // Everything shown so far, one entry per call.
  std::vector<std::string> Events() const;

 private:
  void Note(std::string text);
  mutable std::mutex mutex_;
  std::vector<std::string> events_;
};

// The tooltip word of a monitor status ("Online", "Offline", "Importing",
// "Monitoring FAX", "Monitoring Sort Folder"; "Error" otherwise).
std::string StatusWord(int status);

}  // namespace zv::monitor
