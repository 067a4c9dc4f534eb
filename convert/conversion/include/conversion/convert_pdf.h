// Conversion of a document into PDF by printing it to the virtual printer.
//
// The printer's writer program is started with the document; it takes its
// orders from the per-user settings file (every [DlgFlag]/[Direct] key is
// written before each job, [Direct] Result is -9 until the writer reports the
// number of files it wrote, or 0/-1 on failure). One conversion runs at a
// time on a machine: callers wait while the printer is busy and then hold the
// short write lock of the library's folder for the whole job.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zv::dravel {

// Error codes of a failed conversion.
inline constexpr int kConvertNoPrintCommand = 310100;  // message 39
inline constexpr int kConvertReaderBefore = 310200;    // message 40 (no PDF readers to close here)
inline constexpr int kConvertReaderAfter = 310300;     // message 40 (no PDF readers to close here)
inline constexpr int kConvertEngineFailed = 310400;    // message 41: the writer reported failure
inline constexpr int kConvertEngineError = 310500;     // message 41: any other failure

// Limits and polls (milliseconds).
inline constexpr std::int64_t kPrinterBusyLimitMs = 600'000;
inline constexpr std::int64_t kPrinterBusyPollMs = 1'000;
inline constexpr int kLibraryLockTimeoutSeconds = 600;
inline constexpr std::int64_t kResultLimitMs = 600'000;
inline constexpr std::int64_t kWriterEndPollMs = 100;
inline constexpr std::int64_t kResultPollStepMs = 300;  // ten steps: one 3 s poll
// More output files than this is a damaged settings file, not a result.
inline constexpr int kMaxOutputFiles = 100'000;

struct ConversionResult {
  int errorCode = 0;                 // 0 on success
  std::string outputPdf;             // the first file the printer wrote
  std::vector<std::string> outputs;  // every file the printer wrote
};

// The work of Zorvan_ConvertPDF: prints `source` so that the output lands in
// `workFolder`. `a3b4` is the page-size option of the request (0 asks for the
// default page type 50). Returns 0 on success, -1 on failure with
// result.errorCode set.
std::int16_t ConvertToPdf(const std::string& source, const std::string& workFolder, int a3b4, ConversionResult& result);

// The message id of the library's string table for a conversion error code:
// 310100 39; 310200, 310300 40; 310400, 310500 41; anything else 38.
int ConversionMessageId(int errorCode);

// The lock folder of the conversion ("the library's folder"): the program
// folder.
std::string ConversionLockFolder();

}  // namespace zv::dravel
