// The command-line front ends of the settings layer: the profile tool for
// administrators and scripts, and the installation check.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace zv::monitor {

// iniprofile [--env-lock FOLDER] get FILE SECTION KEY [DEFAULT]
//                                getint FILE SECTION KEY DEFAULT
//                                set FILE SECTION KEY VALUE
//                                delete FILE SECTION [KEY]
//                                sections FILE
//                                keys FILE SECTION
// `args` excludes the program name. Exit code: 0 success, 1 failure,
// 2 usage error.
int RunIniProfile(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// hopvale-check [--init FOLDER]: prints the installation's state; 0 when it
// is usable, 1 with the reasons otherwise; 2 for a usage error. With --init a
// fresh default settings file is written into FOLDER when it has none.
int RunInstallationCheck(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace zv::monitor
