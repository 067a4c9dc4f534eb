// The watch engine's test installation: a testing::Installation with the
// viewer stand-ins and the image, secured-PDF and work-desk libraries linked
// into the viewer folder, one link folder "Local" with a library, a cabinet
// and a binder, and the target folder "scan" wired to that binder as
// setting 1; and a headless engine on it.
#pragma once

#include <string>
#include <vector>

#include "monitor/watch/engine.h"
#include "platform/clock.h"
#include "testing/installation.h"

namespace zv::monitor::test {

class Installation : public zv::testing::Installation {
 public:
  Installation();

  const std::string& link() const { return link_; }
  std::string target() const { return Path("scan"); }
  const std::string& binder() const { return binder_; }

  // [AutoFileRead] / [Option] keys of the settings file.
  void SetAuto(const std::string& key, const std::string& value) const;
  void SetOption(const std::string& key, const std::string& value) const;

 private:
  std::string link_;
  std::string binder_;
};

// Pages of a binder and their keywords.
std::vector<std::string> BinderKeywords(const std::string& binder);
// The single dated folder of a Success/Fail folder ("" when none or several).
std::string DatedFolder(const std::string& base);
// The bytes of every file in a folder tree whose name contains `part`.
std::string ReadTree(const std::string& folder, const std::string& part);

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
