// Marloft: the send-file window.
#include "sendfile/ui/marloft.h"

int main(int argc, char** argv) { return zv::sendfile::ui::RunMarloft(argc, argv); }
