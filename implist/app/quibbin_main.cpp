// Quibbin: the import-list viewer.
#include "implist/ui/program.h"

int main(int argc, char** argv) { return zv::implist::ui::QuibbinMain(argc, argv); }
