// The work desk's own side: where its folder is, and the import that leaves
// each page of a document there as a PDF file (see Pinfold.h for the rules
// and result codes).
#pragma once

#include <functional>
#include <string>

namespace zv::companion::workdesk {

inline constexpr const char* kWorkingLockName = "~Working.Locked";
inline constexpr const char* kDefaultFolderName = "WorkDesk";

// [WorkDesk] Folder of the viewer's environment file, else
// "<viewer program folder>/WorkDesk"; no trailing separator. Empty when the
// viewer program folder is unknown.
std::string LocateWorkDeskFolder();

// Turns the image `image` into the PDF `pdf` (one page per image page).
// Returns the pages written (> 0) or a PINFOLD_E_* code.
using ImageToPdf = std::function<int(const std::string& image, const std::string& pdf)>;

struct ImportOutcome {
  int result = 0;          // pages written (> 0) or a PINFOLD_E_* code
  bool converted = false;  // the source was an image
  std::string message;     // the reason of a failure
};

// True when the file's first KiB holds "%PDF-" (leading junk is allowed,
// as PDF readers allow it).
bool LooksLikePdf(const std::string& path);

// The import. `images` may be empty: image sources then fail with
// PINFOLD_E_IMAGELIB.
ImportOutcome ImportFile(const std::string& folder, const std::string& source, const ImageToPdf& images);

}  // namespace zv::companion::workdesk
