// Hopvale: the folder monitor. On a desktop it is the tray program; without
// one (or in service mode) it runs the watch engine headless until SIGTERM or
// SIGINT.
#include "monitor/ui/program.h"

int main(int argc, char** argv) { return zv::monitor::ui::HopvaleMain(argc, argv); }
