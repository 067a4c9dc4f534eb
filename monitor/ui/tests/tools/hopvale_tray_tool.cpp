// A tray program for the tests: "first <program folder> <socket> <trace folder>"
// runs the first instance, "second <socket> [-p]" a later one.
#include <string>

#include "companion/trace.h"
#include "monitor/ui/tray_app.h"

int main(int argc, char** argv) {
  using namespace zv::monitor::ui;
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "first" && argc == 5) {
    zv::companion::TraceSettings trace;
    trace.path = argv[4];
    trace.enabled = 1;
    zv::companion::SetProcessTraceSettings(trace);
    TrayStartup startup;
    startup.programFolder = argv[2];
    startup.socketName = argv[3];
    return RunTrayApplication(argc, argv, startup);
  }
  if (mode == "second" && argc >= 3)
    return RunSecondInstance(argc, argv, argv[2], argc > 3 && std::string(argv[3]) == "-p");
  return 2;
}
