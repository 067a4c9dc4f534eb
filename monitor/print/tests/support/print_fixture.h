// A private installation with a plug-in in its program folder, the traces
// of this process in its folder, and the monitor's trace text.
#pragma once

#include <filesystem>
#include <string>

#include "companion/trace.h"
#include "testing/files.h"
#include "testing/installation.h"

namespace zv::monitor::test {

struct PrintFixture {
  testing::Installation inst;
  companion::TraceSettings traceBefore = companion::ProcessTraceSettings();

  explicit PrintFixture(const std::string& plugin) {
    if (!plugin.empty()) std::filesystem::create_symlink(plugin, inst.program() + "/libFerrule.so");
    companion::SetProcessTraceSettings({inst.Path("trace"), 1, 7});
  }
  ~PrintFixture() { companion::SetProcessTraceSettings(traceBefore); }

  // Every trace line written so far.
  std::string Traces() const {
    std::string all;
    for (const std::string& name : testing::Names(inst.Path("trace")))
      all += testing::ReadText(inst.Path("trace/" + name));
    return all;
  }
};

}  // namespace zv::monitor::test
