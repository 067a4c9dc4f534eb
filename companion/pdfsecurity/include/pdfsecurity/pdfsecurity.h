// Classification of a PDF's security settings (see Gantry.h for the values).
#pragma once

#include <string>

namespace zv::companion {

enum class PdfSecurity : int {
  kNone = 0,
  kPrintAllowed = 1,
  kPrintDenied = 2,
  kPasswordNeeded = 3,
  kUnsupported = -1,
  kDamaged = -2,
  kMissing = -3,
  kOther = -4,
};

// Opens the file with the empty user password, reads its permissions and walks
// its page tree (damage often shows only there). Never throws.
PdfSecurity CheckPdfSecurity(const std::string& path);

}  // namespace zv::companion
