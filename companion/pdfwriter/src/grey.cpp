// Monochrome printing: the pages of a PDF turned grey by Ghostscript.
#include <string>
#include <vector>

#include "pdfwriter/writer.h"
#include "platform/fs.h"
#include "platform/process.h"

namespace zv::companion {

bool GreyPdf(const std::string& source, const std::string& target, int timeLimitSeconds, std::string& why) {
  const std::string gs = FindProgramInPath("gs");
  if (gs.empty()) {
    why = "Ghostscript (gs) is not installed";
    return false;
  }
  // "%" in the output name would be taken as a page-number pattern.
  std::string output;
  for (char c : target) output += c == '%' ? std::string("%%") : std::string(1, c);
  const std::vector<std::string> args = {"-q",
                                         "-dSAFER",
                                         "-dBATCH",
                                         "-dNOPAUSE",
                                         "-sDEVICE=pdfwrite",
                                         "-sColorConversionStrategy=Gray",
                                         "-dProcessColorModel=/DeviceGray",
                                         "-dAutoRotatePages=/None",
                                         "-sOutputFile=" + output,
                                         "-f",
                                         source};
  const int code = zv::platform::RunAndWait(gs, args, timeLimitSeconds * 1000);
  if (code != 0 || PdfPageCount(target) < 1) {
    zv::platform::RemoveFile(target);
    why = code == -1 ? "Ghostscript did not finish within " + std::to_string(timeLimitSeconds) + " s"
                     : "Ghostscript failed (exit code " + std::to_string(code) + ")";
    return false;
  }
  return true;
}

}  // namespace zv::companion
