#include "companion/services.h"

#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cstdlib>

#include "companion/trace.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace zv::companion {

namespace {

std::string CleanFolder(std::string_view value) {
  std::string v(platform::Trim(value));
  while (v.size() > 1 && v.back() == '/') v.pop_back();
  return v;
}

// The version the viewer reports: "Zorvan Reader <major>.<minor>...".
// -1 when the text carries none.
int ParseViewerMajor(std::string_view text) {
  static constexpr std::string_view kName = "Zorvan Reader ";
  std::size_t pos = text.find(kName);
  if (pos == std::string_view::npos) return -1;
  std::size_t i = pos + kName.size();
  std::size_t start = i;
  long major = 0;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && i - start < 6) {
    major = major * 10 + (text[i] - '0');
    ++i;
  }
  if (i == start || i >= text.size() || text[i] != '.') return -1;
  if (i + 1 >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i + 1]))) return -1;
  return static_cast<int>(major);
}

}  // namespace

std::string ViewerProgramFolder() {
  if (const char* dir = std::getenv(kViewerDirVar); dir != nullptr && *dir != '\0') {
    return CleanFolder(dir);
  }
  auto app = platform::registry::AppPath("Zorvan.exe");
  if (!app || platform::Trim(*app).empty()) return {};
  return CleanFolder(platform::ParentFolder(platform::Trim(*app)));
}

std::string ViewerFolderListPath() {
  std::string folder = ViewerProgramFolder();
  return folder.empty() ? std::string() : platform::JoinPath(folder, "FolderList.ini");
}

std::string ViewerEnvironmentPath() {
  std::string folder = ViewerProgramFolder();
  return folder.empty() ? std::string() : platform::JoinPath(folder, "ZorvanEnv.ini");
}

std::string UserSettingsPath() {
  std::string appData = platform::AppDataFolder();
  if (appData.empty()) return {};
  return platform::JoinPath(platform::JoinPath(appData, "zorvan"), "UserSettings.ini");
}

bool IsValidUserName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7f) return false;
    if (std::string_view("\\/:,'?\"<>|*").find(static_cast<char>(c)) != std::string_view::npos) return false;
  }
  const std::size_t width = platform::DisplayWidth(name);
  return width >= 1 && width <= 20;
}

std::string ThisUserName() {
  const std::string userFile = UserSettingsPath();
  if (!userFile.empty()) {
    std::string user(platform::Trim(platform::ini::GetString(userFile, "Product", "User")));
    if (!user.empty()) return IsValidUserName(user) ? user : std::string();
  }
  const std::string program = platform::ProgramFolder();
  if (program.empty()) return {};
  std::string user(
      platform::Trim(platform::ini::GetString(platform::JoinPath(program, "EnvSetInfo.ini"), "Product", "User")));
  return IsValidUserName(user) ? user : std::string();
}

ViewerFolders ReadViewerFolders() {
  ViewerFolders f;
  std::string file = ViewerFolderListPath();
  if (file.empty()) return f;
  for (int i = 0; i < 3; ++i) {
    std::string n = std::to_string(i + 1);
    f.link[i] = CleanFolder(platform::ini::GetString(file, "Folder", "LinkFolder" + n));
    f.name[i] = platform::ini::GetString(file, "Folder", "LinkName" + n);
  }
  f.folderNum = platform::ini::GetInt(file, "Folder", "FolderNum", 0);
  f.currentFolder = CleanFolder(platform::ini::GetString(file, "Folder", "CurrentFolder"));
  f.currentNum = platform::ini::GetInt(file, "Folder", "CurrentNum", 0);
  f.currentName = platform::ini::GetString(file, "Folder", "CurrentName");
  return f;
}

int CheckViewer(const std::string& viewerPath) {
  if (viewerPath.empty() || !platform::IsFile(viewerPath)) return -1;
  std::string tmp = platform::TempFolder();
  if (tmp.empty()) return -9;
  static std::atomic<int> counter{0};
  std::string out = platform::JoinPath(
      tmp, "zv-viewer-version-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".txt");
  // The process layer has no output pipe: a shell sends the viewer's
  // answer to a file. The paths travel as arguments, never as shell text.
  platform::Process p = platform::Process::Spawn(
      "/bin/sh", {"-c", "exec \"$0\" --version >\"$1\" 2>/dev/null </dev/null", viewerPath, out});
  if (!p.valid()) {
    platform::RemoveFile(out);
    return -9;
  }
  int code = p.Wait(10'000);
  if (code == -1 && p.IsRunning()) {
    p.Terminate(1000);
    platform::RemoveFile(out);
    Trace("_Services", __FILE__, __LINE__, "CheckViewer: no answer in time - " + viewerPath);
    return -9;
  }
  auto text = platform::ReadFile(out);
  platform::RemoveFile(out);
  // 126 and 127: the shell could not run the file at all.
  if (code == 126 || code == 127) return -1;
  int major = text ? ParseViewerMajor(*text) : -1;
  if (major < 0) {
    Trace("_Services", __FILE__, __LINE__, "CheckViewer: unknown version answer - " + viewerPath);
    return -9;
  }
  return major >= 4 ? 1 : 0;
}

void ServicesWait(int ms) { platform::SleepMs(ms > 0 ? ms : 0); }

bool ServicesCreateFolder(const std::string& path) {
  if (path.empty()) return false;
  return platform::MakeFolders(path);
}

}  // namespace zv::companion
