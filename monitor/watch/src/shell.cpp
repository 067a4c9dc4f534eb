// The headless shell (the monitor without a window traces what it would
// show) and the status words of the tray.
#include "monitor/watch/shell.h"

#include "monitor/settings/status.h"
#include "monitor/settings/text_ids.h"
#include "monitor/watch/checks.h"
#include "platform/text.h"

namespace zv::monitor {

std::string StatusWord(int status) {
  switch (status) {
    case kStatusOnline: return MonitorText(kIdsStatusOnline);
    case kStatusStopped: return MonitorText(kIdsStatusOffline);
    case kStatusImporting: return MonitorText(kIdsStatusImporting);
    case kStatusFaxWatch: return MonitorText(kIdsStatusFaxWatch);
    case kStatusSortWatch: return MonitorText(kIdsStatusSortWatch);
    default: return MonitorText(kIdsStatusError);
  }
}

void HeadlessShell::Note(std::string text) {
  ZV_WATCH_TRACE("Shell: " + text);
  std::lock_guard<std::mutex> lock(mutex_);
  events_.push_back(std::move(text));
}
void HeadlessShell::SetStatusIcon(int status) { Note("status " + std::to_string(status) + " " + StatusWord(status)); }
void HeadlessShell::SetTooltip(const std::string& text) {
  Note("tooltip " + std::string(platform::Utf8CutBytes(text, 127)));
}
bool HeadlessShell::StartBlink() {
  Note("blink start");
  return true;
}
void HeadlessShell::StopBlink() { Note("blink stop"); }
void HeadlessShell::SetIcon(int iconId) { Note("icon " + std::to_string(iconId)); }
void HeadlessShell::ShowBalloon(const std::string& text, const std::string& title, int seconds) {
  Note("balloon " + title + ": " + text + " (" + std::to_string(seconds) + "s)");
}
bool HeadlessShell::KeepIconAlive() { return true; }
bool HeadlessShell::RestoreIcon() {
  Note("icon restored");
  return true;
}
std::vector<std::string> HeadlessShell::Events() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return events_;
}

}  // namespace zv::monitor
