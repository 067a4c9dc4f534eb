// The auto-import common services: where the viewer's folder list, the
// viewer's environment file and the user settings file live, the viewer
// check, the message-pumping wait, folder creation.
//
// Locations (written by the installer):
//   viewer program folder   $ZORVAN_VIEWER_DIR, else the folder of the
//                           registered viewer (App Paths\Zorvan.exe)
//   folder list file        <viewer program folder>/FolderList.ini
//   environment file        <viewer program folder>/ZorvanEnv.ini
//   user settings file      <application-data folder>/zorvan/UserSettings.ini
#pragma once

#include <string>
#include <string_view>

namespace zv::companion {

inline constexpr const char* kViewerDirVar = "ZORVAN_VIEWER_DIR";

std::string ViewerProgramFolder();
std::string
ViewerFolderListPath();  // [Folder] LinkFolder1..3, LinkName1..3, FolderNum, CurrentFolder, CurrentNum, CurrentName
std::string
ViewerEnvironmentPath();  // [EnvSetting] InsertIndex, A3B4, SecurityPDF, DataChange, PDFMode, DPIValue, ColorMode
std::string UserSettingsPath();  // [Product] User; [AutoFileRead] TarBinder<N>

// The viewer's link folders 1 to 3 (empty entries for unset ones) and its
// current folder.
struct ViewerFolders {
  std::string link[3];
  std::string name[3];
  int folderNum = 0;
  std::string currentFolder;
  int currentNum = 0;
  std::string currentName;
};
ViewerFolders ReadViewerFolders();

// The viewer check: 0 the viewer version cannot be used, -1 or -9 no usable
// viewer, anything else usable.
int CheckViewer(const std::string& viewerPath);

// A user name that may become part of a file name ("ImpListData_<user>.ini"):
// 1 to 20 display columns, no control character, none of \ / : , ' ? " < > | *,
// and not "." or "..". Every path built from a user name is checked first.
bool IsValidUserName(std::string_view name);

// Whose name "this user" is: [Product] User of the user settings file (one
// program folder serves every user of a computer), else [Product] User of
// EnvSetInfo.ini in the program folder. Empty when neither holds a valid
// name (blanks around it removed).
std::string ThisUserName();

// The message-pumping wait of the lock protocols: a plain sleep here.
void ServicesWait(int ms);

// Creates a folder and its parents; true when it exists afterwards.
bool ServicesCreateFolder(const std::string& path);

}  // namespace zv::companion
