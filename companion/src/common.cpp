#include "companion/common.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <mutex>

#include "companion/services.h"
#include "companion/trace.h"
#include "platform/filelock.h"
#include "platform/fs.h"
#include "platform/paths.h"

namespace zv::companion {

namespace {

std::mutex gBoxMutex;
MessageBoxHook gHook;
std::string gCaption;

constexpr int kIdAbort = 3, kIdRetry = 4, kIdIgnore = 5, kIdTryAgain = 10, kIdContinue = 11;

// "/" and "\" both end a path component here: values typed on the other
// platform may still carry backslashes.
bool IsSeparator(char c) { return c == '/' || c == '\\'; }

std::string TrimmedPath(std::string_view path) {
  std::string p(path);
  while (p.size() > 1 && IsSeparator(p.back())) p.pop_back();
  return p;
}

}  // namespace

int DefaultButton(int style) {
  static const int kButtons[][3] = {
      {kIdOk, 0, 0},                          // OK
      {kIdOk, kIdCancel, 0},                  // OK, Cancel
      {kIdAbort, kIdRetry, kIdIgnore},        // Abort, Retry, Ignore
      {kIdYes, kIdNo, kIdCancel},             // Yes, No, Cancel
      {kIdYes, kIdNo, 0},                     // Yes, No
      {kIdRetry, kIdCancel, 0},               // Retry, Cancel
      {kIdCancel, kIdTryAgain, kIdContinue},  // Cancel, Try again, Continue
  };
  int type = style & 0xF;
  if (type > 6) type = 0;
  int index = (style & 0xF00) >> 8;
  if (index > 2 || kButtons[type][index] == 0) index = 0;
  return kButtons[type][index];
}

void SetMessageBoxHook(MessageBoxHook hook) {
  std::lock_guard lock(gBoxMutex);
  gHook = std::move(hook);
}

void SetApplicationCaption(std::string caption) {
  std::lock_guard lock(gBoxMutex);
  gCaption = std::move(caption);
}

int ComShowMessage(std::string_view text, int style) {
  std::string caption;
  {
    std::lock_guard lock(gBoxMutex);
    caption = gCaption;
  }
  if (caption.empty()) caption = program_invocation_short_name;
  return ComShowMessageBox(text, caption, style);
}

int ComShowMessageBox(std::string_view text, std::string_view caption, int style) {
  MessageBoxHook hook;
  {
    std::lock_guard lock(gBoxMutex);
    hook = gHook;
  }
  std::string t(text), c(caption);
  if (hook) return hook(t, c, style);
  // Nobody to ask: record the message and take the box's default button.
  int button = DefaultButton(style);
  Trace("_Message", __FILE__, __LINE__,
        "ComShowMessageBox: [" + c + "] " + t + " (answered " + std::to_string(button) + ")");
  std::fprintf(stderr, "%s: %s\n", c.c_str(), t.c_str());
  return button;
}

bool ComRemoveTree(const std::string& path) {
  std::string p = TrimmedPath(path);
  // Never the root, never nothing.
  if (p.empty() || p == "/") return false;
  return platform::RemoveTree(p);
}

std::string ComLastComponent(std::string_view path) {
  std::string p = TrimmedPath(path);
  if (p.empty() || p == "/") return {};
  std::size_t pos = p.find_last_of("/\\");
  return pos == std::string::npos ? p : p.substr(pos + 1);
}

std::string ComFileExtension(std::string_view path) {
  std::string name = ComLastComponent(path);
  std::size_t dot = name.rfind('.');
  // A leading dot marks a hidden name, not an extension.
  if (dot == std::string::npos || dot == 0) return {};
  return name.substr(dot + 1);
}

std::string ComStripExtension(std::string_view name) {
  std::string n(name);
  std::size_t sep = n.find_last_of("/\\");
  std::size_t start = sep == std::string::npos ? 0 : sep + 1;
  std::size_t dot = n.rfind('.');
  if (dot == std::string::npos || dot <= start) return n;
  n.resize(dot);
  return n;
}

void ComParentFolder(std::string& path) {
  std::string p = TrimmedPath(path);
  std::size_t pos = p.find_last_of("/\\");
  if (pos == std::string::npos) {
    path.clear();
  } else if (pos == 0) {
    path = p.size() > 1 ? "/" : "";
  } else {
    path = p.substr(0, pos);
  }
}

void ComTrimBackslash(std::string& path) { path = TrimmedPath(path); }

int ComIsUnreachable(const std::string& path) {
  if (path.empty()) return 1;
  if (!platform::PathAnswers(path, platform::NetworkProbeLimitMs())) return 1;
  if (platform::Exists(path)) return 0;
  // Missing: the mount behind it is gone when nothing of the path but the
  // root is left (an unmounted share or medium); otherwise the volume answers
  // and only the folder is missing.
  std::string p = TrimmedPath(path);
  if (!platform::IsAbsolutePath(p)) return 0;
  std::size_t second = p.find('/', 1);
  std::string top = second == std::string::npos ? p : p.substr(0, second);
  return platform::Exists(top) ? 0 : 1;
}

int ComUserRights() {
  std::string folder = platform::ProgramFolder();
  if (folder.empty() || !platform::IsFolder(folder)) return 2;
  static std::atomic<int> counter{0};
  // Probe by creating and removing a file: the permission bits alone do not
  // tell (ACLs, read-only mounts).
  for (int attempt = 0; attempt < 5; ++attempt) {
    std::string probe =
        platform::JoinPath(folder, ".~rights_" + std::to_string(::getpid()) + "_" + std::to_string(counter++) + ".tmp");
    if (platform::Exists(probe)) continue;
    if (!platform::CreateExclusive(probe)) return 2;
    platform::RemoveFile(probe);
    return 1;
  }
  return 2;
}

int ComCommonInfoPath(std::string& out) {
  out = ViewerFolderListPath();
  return out.empty() ? 1 : 0;
}

std::string ComProductSettingsPath() { return ViewerEnvironmentPath(); }

int ComPlatformVersion() { return 11; }

int ComPaperSize(int widthPixels, int heightPixels, int xDpi, int yDpi) {
  if (widthPixels <= 0 || heightPixels <= 0 || xDpi <= 0 || yDpi <= 0) return 0;
  struct Paper {
    int code;
    double shortMm, longMm;
  };
  static const Paper kPapers[] = {
      {1, 297.0, 420.0},   // A3
      {2, 210.0, 297.0},   // A4
      {3, 148.0, 210.0},   // A5
      {5, 257.0, 364.0},   // B4 (JIS)
      {6, 182.0, 257.0},   // B5 (JIS)
      {96, 215.9, 279.4},  // Letter
  };
  // Scanners crop and pad a little: a side may be off by this much.
  constexpr double kToleranceMm = 10.0;
  double w = widthPixels * 25.4 / xDpi;
  double h = heightPixels * 25.4 / yDpi;
  double shortSide = std::min(w, h), longSide = std::max(w, h);
  int best = 0;
  double bestDistance = 0;
  for (const Paper& p : kPapers) {
    double ds = std::fabs(shortSide - p.shortMm), dl = std::fabs(longSide - p.longMm);
    if (ds > kToleranceMm || dl > kToleranceMm) continue;
    double distance = ds + dl;
    if (best == 0 || distance < bestDistance) {
      best = p.code;
      bestDistance = distance;
    }
  }
  return best;
}

}  // namespace zv::companion
