// Runs one conversion and prints its error code (0 on success): a caller in
// a process of its own, for the cross-process tests.
#include <cstdio>

#include "conversion/convert_pdf.h"

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  zv::dravel::ConversionResult result;
  const int r = zv::dravel::ConvertToPdf(argv[1], argv[2], 0, result);
  std::printf("%d %s\n", result.errorCode, result.outputPdf.c_str());
  return r == 0 ? 0 : 1;
}
