// Stand-in for the viewer's binder tool: prints a binder's page range.
//   Dunmore OPFILE
// Exit code 0 when the job was handed to the scheduler; the answer itself
// is [Dunmore_Output] Result of OPFILE (see dunmore.h).
#include <cstdio>
#include <cstdlib>

#include "dunmore/choose_destination.h"
#include "dunmore/dunmore.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("Usage: Dunmore OPFILE\n", stderr);
    return 2;
  }
  // The dialog needs a desktop; without one the default destination serves.
  const bool desktop = std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr;
  zv::companion::dunmore::ChooseDestination choose;
  if (desktop) choose = zv::companion::dunmore::ChooseDestinationDialog;
  return zv::companion::dunmore::Run(argv[1], zv::platform::print::SystemBackend(), choose) == 0 ? 0 : 1;
}
