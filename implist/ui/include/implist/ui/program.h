// The Quibbin program: start-up, the single instance, the window, the end.
#pragma once

namespace zv::implist::ui {

// The whole program; main() only calls this. A later copy asks the running
// one to come forward and collect now, then ends.
int QuibbinMain(int argc, char** argv);

}  // namespace zv::implist::ui
