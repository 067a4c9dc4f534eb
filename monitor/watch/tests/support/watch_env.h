// Test installation for the watch engine: a private folder with a program
// folder, a viewer folder (image library, secured-PDF check and work-desk
// libraries linked in), one link folder with a library, a cabinet and a
// binder, and one target folder wired to that binder as setting 1.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "monitor/watch/engine.h"
#include "platform/clock.h"

namespace zv::monitor::test {

class Installation {
 public:
  Installation();
  ~Installation();
  Installation(const Installation&) = delete;
  Installation& operator=(const Installation&) = delete;

  std::string Path(const std::string& relative) const { return root_ + "/" + relative; }
  const std::string& root() const { return root_; }
  std::string program() const { return Path("program"); }
  std::string settings() const { return Path("program/EnvSetInfo.ini"); }
  std::string link() const { return Path("links/Local"); }
  std::string target() const { return Path("scan"); }
  const std::string& binder() const { return binder_; }

  // [AutoFileRead] / [Option] keys of the settings file.
  void SetAuto(const std::string& key, const std::string& value) const;
  void SetOption(const std::string& key, const std::string& value) const;

  // The variables a child process needs to use this installation.
  std::vector<std::string> Environment() const;

 private:
  std::string root_;
  std::string binder_;
  std::map<std::string, std::string> saved_;
  std::vector<std::string> unset_;
  void Set(const char* name, const std::string& value);
};

// A PDF with `pages` pages.
void MakePdf(const std::string& path, int pages = 1);
// Pages of a binder and their keywords.
std::vector<std::string> BinderKeywords(const std::string& binder);
// Names in a folder ([] when it is missing).
std::vector<std::string> Names(const std::string& folder);
// The single dated folder of a Success/Fail folder ("" when none or several).
std::string DatedFolder(const std::string& base);
// Lines of all files in a folder tree whose name contains `part`.
std::string ReadAll(const std::string& folder, const std::string& part);

// A frame on the installation with a fake clock, ready for cycles.
struct Engine {
  explicit Engine(const Installation& inst);
  ~Engine();
  void Cycle();  // one watch cycle
  platform::FakeClock clock;
  HeadlessShell shell;
  WatchFrame frame;
};

}  // namespace zv::monitor::test
