// A document made into what a print scheduler takes: a PDF as it is, an
// image made a PDF by the image library, an office or text document by the
// office program (as the PDF writer does). Shared by the output plug-in and
// the monitor's print verb, so both print the same thing.
#pragma once

#include <string>

namespace zv::companion::ferrule {

struct PrintableDocument {
  std::string file;      // what goes to the scheduler: the source or a rendered PDF
  std::string mimeType;  // of `file`
  std::string kind;      // "pdf", "image" or "office"
  int pages = 0;
};

enum class RenderResult {
  Ready,    // `out` says what to print
  Unknown,  // not a type rendered here
  Failed,   // a type rendered here that could not be rendered
};

// Makes `source` printable. A rendered PDF is written as `name`.pdf into
// `workFolder`, which is made below the temporary folder on first need (when
// empty) and is the caller's to remove. `why` tells what went wrong.
RenderResult RenderForPrint(const std::string& source, std::string& workFolder, const std::string& name,
                            PrintableDocument& out, std::string& why);

}  // namespace zv::companion::ferrule
