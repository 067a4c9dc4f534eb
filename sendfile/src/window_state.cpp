#include "sendfile/window_state.h"

#include <algorithm>
#include <climits>

#include "platform/ini.h"
#include "platform/paths.h"
#include "sendfile/recipients.h"

namespace zv::sendfile {

namespace ini = platform::ini;

namespace {

long long Overlap(const Rect& a, const Rect& b) {
  const long long w = std::min<long long>(a.x + a.w, b.x + b.w) - std::max(a.x, b.x);
  const long long h = std::min<long long>(a.y + a.h, b.y + b.h) - std::max(a.y, b.y);
  return w > 0 && h > 0 ? w * h : 0;
}

// Squared distance between the centres.
long long Distance(const Rect& a, const Rect& b) {
  const long long dx = (2LL * a.x + a.w) - (2LL * b.x + b.w);
  const long long dy = (2LL * a.y + a.h) - (2LL * b.y + b.h);
  return dx * dx + dy * dy;
}

Rect Inside(Rect r, const Rect& area) {
  r.w = std::min(r.w, area.w);
  r.h = std::min(r.h, area.h);
  r.x = std::clamp(r.x, area.x, area.x + area.w - r.w);
  r.y = std::clamp(r.y, area.y, area.y + area.h - r.h);
  return r;
}

constexpr const char* kGeneral = "general";

}  // namespace

Rect PlaceWindow(const Rect& own, const Rect* saved, const std::vector<Rect>& workAreas) {
  Rect size = own;
  size.w = std::max(size.w, 5);
  size.h = std::max(size.h, 5);
  if (workAreas.empty()) return {0, 0, size.w, size.h};
  if (saved == nullptr) {
    const Rect& a = workAreas.front();
    return Inside({a.x + a.w - size.w, a.y + a.h - size.h, size.w, size.h}, a);
  }
  Rect r = *saved;
  if (r.w <= 0) r.w = size.w;
  if (r.h <= 0) r.h = size.h;
  const Rect* best = nullptr;
  long long bestOverlap = 0, bestDistance = LLONG_MAX;
  for (const Rect& a : workAreas) {
    const long long o = Overlap(r, a);
    if (o > bestOverlap) {
      bestOverlap = o;
      best = &a;
    }
  }
  if (best == nullptr) {
    for (const Rect& a : workAreas) {
      const long long d = Distance(r, a);
      if (d < bestDistance) {
        bestDistance = d;
        best = &a;
      }
    }
  }
  return Inside(r, *best);
}

std::string WindowStatePath() { return platform::JoinPath(platform::ProgramFolder(), "Marloft.dat"); }

WindowState ReadWindowState() {
  const std::string f = WindowStatePath();
  WindowState s;
  s.hasPlace = ini::GetInt(f, kGeneral, "ChangePose", 0) == 1;
  s.place = {ini::GetInt(f, kGeneral, "posX", 0), ini::GetInt(f, kGeneral, "posY", 0),
             ini::GetInt(f, kGeneral, "width", 0), ini::GetInt(f, kGeneral, "height", 0)};
  s.topMost = ini::GetInt(f, kGeneral, "ShowFrontAlway", 0) == 1;
  return s;
}

bool WritePlace(const Rect& r) {
  const std::string f = WindowStatePath();
  ini::WriteGroup group(f);
  ini::WriteInt(f, kGeneral, "posX", r.x);
  ini::WriteInt(f, kGeneral, "posY", r.y);
  ini::WriteInt(f, kGeneral, "width", r.w);
  ini::WriteInt(f, kGeneral, "height", r.h);
  ini::WriteString(f, kGeneral, "ChangePose", "1");
  return group.Commit();
}

bool WriteTopMost(bool on) { return ini::WriteString(WindowStatePath(), kGeneral, "ShowFrontAlway", on ? "1" : "0"); }

std::string SettingsPath() { return platform::JoinPath(platform::ProgramFolder(), "EnvSetInfo.ini"); }

ToolSettings ReadToolSettings() {
  const std::string f = SettingsPath();
  ToolSettings s;
  s.traceOn = ini::GetInt(f, "option", "SendFileToolLog", 1);
  s.maxUser = MaxUserOf(ini::GetInt(f, "option", "MaxUser", kDefaultMaxUser));
  return s;
}

}  // namespace zv::sendfile
