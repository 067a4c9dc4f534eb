#include "support/watch_env.h"

#include <stdexcept>

#include "binderlib/binderini.h"
#include "companion/trace.h"
#include "monitor/settings/catalogue.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "testing/files.h"

namespace zv::monitor::test {

namespace {
void Ini(const std::string& file, const std::string& section, const std::string& key, const std::string& value) {
  if (!platform::ini::WriteString(file, section, key, value)) throw std::runtime_error("ini write " + file);
}
}  // namespace

Installation::Installation() {
  for (const char* d : {"program/Rslt", "scan"})
    if (!platform::MakeFolders(Path(d))) throw std::runtime_error("folder " + Path(d));
  LinkIntoViewer("libPixmoor.so", ZV_PIXMOOR_LIB);
  LinkIntoViewer("libGantry.so", ZV_GANTRY_LIB);
#if defined(ZV_TARNWICK_LIB) && defined(ZV_PINFOLD_LIB)
  // The work-desk locator and import libraries beside them.
  LinkIntoViewer("libTarnwick.so", ZV_TARNWICK_LIB);
  LinkIntoViewer("libPinfold.so", ZV_PINFOLD_LIB);
#endif
  AddViewer();
  link_ = AddLinkFolder("Local");
  for (const char* k : {"InsertIndex", "A3B4", "SecurityPDF", "DataChange"})
    Ini(viewerSettings(), "EnvSetting", k, "0");
  Ini(userSettings(), "Product", "User", "tester");
  binder_ = AddBinder(AddCabinet(link_));

  if (!WriteDefaultSettings(settings())) throw std::runtime_error("settings");
  SetAuto("SetTotal", "1");
  SetAuto("bCheck1", "1");
  SetAuto("TarFolder1", target());
  SetAuto("TarBinder1", binder_);
  SetAuto("checkTimer1", "0");
  SetAuto("SetName1", "Scans");
  SetOption("ImpResultLogEnabled", "1");
  SetOption("SkipLogEnabled", "1");
  SetOption("TraceLogEnabled", "1");
  SetOption("TraceLogPath", Path("trace"));
}

void Installation::SetAuto(const std::string& key, const std::string& value) const {
  Ini(settings(), "AutoFileRead", key, value);
}
void Installation::SetOption(const std::string& key, const std::string& value) const {
  Ini(settings(), "Option", key, value);
}

std::vector<std::string> BinderKeywords(const std::string& binder) {
  std::vector<std::string> out;
  for (const auto& p : companion::binder::ReadBinder(binder, false).pages) out.push_back(p.keyword);
  return out;
}

std::string DatedFolder(const std::string& base) {
  auto names = zv::testing::Names(base);
  return names.size() == 1 ? platform::JoinPath(base, names[0]) : std::string();
}

std::string ReadTree(const std::string& folder, const std::string& part) {
  std::string text;
  auto list = platform::ListFolder(folder);
  if (!list) return text;
  for (const auto& e : *list) {
    const std::string p = platform::JoinPath(folder, e.name);
    if (e.isFolder)
      text += ReadTree(p, part);
    else if (e.name.find(part) != std::string::npos)
      text += zv::testing::ReadText(p);
  }
  return text;
}

Engine::Engine(const Installation& inst) {
  companion::TraceSettings trace;
  trace.path = inst.Path("trace");
  trace.enabled = 1;
  companion::SetProcessTraceSettings(trace);
  platform::SetClock(&clock);
  InitWatchFrame(frame, inst.program(), &shell);
  frame.watching.store(true);
  WatchThreadStart(frame);
}

Engine::~Engine() { platform::SetClock(nullptr); }

void Engine::Cycle() { WatchCycle(frame); }

}  // namespace zv::monitor::test
