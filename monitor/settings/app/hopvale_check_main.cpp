#include <iostream>

#include "monitor/settings/tools.h"

int main(int argc, char** argv) {
  return zv::monitor::RunInstallationCheck(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
