// A private installation of the suite for one test.
#pragma once

#include <list>
#include <map>
#include <string>
#include <vector>

#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace zv::testing {

// A fresh folder holding a program folder ("program"), the viewer's program
// folder ("viewer"), a temporary folder ("tmp"), an application-data folder
// ("appdata") and the two registry files. This process's variables point
// into it until destruction (the ini cache is cleared both ways);
// Environment() hands the same variables to a child. The Add* calls build
// more of an installation as the tests need it.
class Installation {
 public:
  Installation();
  ~Installation();
  Installation(const Installation&) = delete;
  Installation& operator=(const Installation&) = delete;

  const std::string& root() const { return dir_.path(); }
  std::string Path(const std::string& relative) const { return dir_ / relative; }
  std::string program() const { return Path("program"); }
  std::string viewer() const { return Path("viewer"); }
  std::string temp() const { return Path("tmp"); }
  std::string appData() const { return Path("appdata"); }
  std::string machineRegistry() const { return Path("registry-machine.ini"); }
  std::string userRegistry() const { return Path("registry-user.ini"); }
  std::string settings() const { return Path("program/EnvSetInfo.ini"); }      // monitor and library settings
  std::string viewerSettings() const { return Path("viewer/ZorvanEnv.ini"); }  // the viewer's environment
  std::string folderList() const { return Path("viewer/FolderList.ini"); }     // the link folders
  std::string userSettings() const { return Path("appdata/zorvan/UserSettings.ini"); }

  // Writes settings() anew, holding only the [option] keys given.
  void WriteSettings(const std::map<std::string, std::string>& option = {}) const;
  // The viewer stand-in (viewer/zorvan-viewer, a script answering the
  // version query with "Zorvan Reader 4.0") and the suite's main program
  // (viewer/zorvan-suite), registered under App Paths as an installer does.
  void AddViewer() const;
  // viewer/<name> as a symbolic link to `target` (a library of the build).
  void LinkIntoViewer(const std::string& name, const std::string& target) const;
  // A link folder links/<name>, listed in FolderList.ini and made current;
  // its path.
  std::string AddLinkFolder(const std::string& name = "Local");
  // A cabinet in a library of a link folder, each made through the store
  // when missing; the cabinet's folder.
  std::string AddCabinet(const std::string& linkFolder, const std::string& library = "Lib",
                         const std::string& cabinet = "Cab") const;
  // A new binder in a cabinet, made through the store; its folder.
  std::string AddBinder(const std::string& cabinetFolder, const std::string& title = "Inbox") const;

  // NAME=VALUE of every variable a child needs to use this installation.
  std::vector<std::string> Environment() const;

 private:
  TempDir dir_;
  std::list<ScopedEnv> env_;
  std::vector<std::pair<std::string, std::string>> vars_;
  int links_ = 0;
};

}  // namespace zv::testing
