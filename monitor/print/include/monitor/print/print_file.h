// Printing of imported documents: the output plug-in connection, the
// printer settings the user chose, `PrintFile` and the print verb that
// stands in when it fails.
//
// The chosen printer and its settings travel with each job as its options;
// no printer's own settings and no default printer are ever changed. Every
// call to the scheduler has a time limit, so a dead scheduler costs the
// watch thread seconds.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/library.h"
#include "platform/print.h"

namespace zv::monitor {

// ---- the printer settings: user registry, key kPrintSetKey ----
// `devname` the destination, `devmode` its job options as hex text of the
// option string, `devsize` the option string's length in bytes.
inline constexpr const char* kPrintSetKey = "software\\Brennic\\Hopvale\\printset";
inline constexpr const char* kDevNameValue = "devname";
inline constexpr const char* kDevModeValue = "devmode";
inline constexpr const char* kDevSizeValue = "devsize";
inline constexpr std::size_t kMaxPrinterSettingsBytes = 64 * 1024;

struct StoredPrinter {
  bool stored = false;  // false: the default destination with its own settings
  std::string name;     // the destination; "" for the default one
  std::string options;  // the job options ("copies=2 media=iso_a4_210x297mm")
};
// What the store holds. A block whose size disagrees with `devsize`, is
// larger than kMaxPrinterSettingsBytes or is not hex text counts as nothing
// stored; `why` then says what was wrong.
StoredPrinter ReadStoredPrinter(std::string* why = nullptr);
// Writes all three values (the printer setup's OK).
bool StorePrinter(const std::string& name, const std::string& options);

// ---- the output plug-in connection ----
class OutputPlugin {
 public:
  OutputPlugin() = default;
  ~OutputPlugin();
  OutputPlugin(const OutputPlugin&) = delete;
  OutputPlugin& operator=(const OutputPlugin&) = delete;

  // Loads <programFolder>/libFerrule.so (else the one beside the running
  // program), opens a connection (operation 10)
  // and lists the outputs (40), remembering the printer output. Without the
  // plug-in file or its entry point, or when it refuses, the result is not
  // valid and the library is unloaded again.
  static std::unique_ptr<OutputPlugin> Open(const std::string& programFolder, const std::string& productName);

  bool valid() const { return entry_ != nullptr && connection_ != 0; }
  std::int32_t connection() const { return connection_; }
  int outputs() const { return outputs_; }
  int printerOutput() const { return printerOutput_; }
  // One operation on this connection; the plug-in's result (0 when invalid).
  int Call(int operation, void* parameter);

 private:
  platform::SharedLibrary library_;
  int (*entry_)(int, std::int32_t, void*) = nullptr;
  std::int32_t connection_ = 0;
  int outputs_ = 0;
  int printerOutput_ = 0;
};

// What a print needs. The paper functions are the library's
// GetTargetPaperSize and GetPrinterOutputSize (seams for the tests).
struct PrintContext {
  OutputPlugin* plugin = nullptr;  // nullptr: printing through the plug-in is unavailable
  platform::print::Backend* backend = nullptr;
  std::string productName;
  int (*targetPaperSize)(void* owner, const char* path, int* paperCode, int* orientation) = nullptr;
  int (*printerOutputSize)(const char* printer, const char* port, unsigned char paperCode, short* paperSize) = nullptr;
};

// Prints one document through the plug-in with the stored printer settings.
// `mode` 1 prints, 2 prints with the paper fitted to the document. Returns 1
// when the scheduler took the job, else 0 (traced). `schedulerDown` (may be
// null) is set when the scheduler did not answer.
int PrintFile(PrintContext& context, const std::string& path, int mode, bool* schedulerDown = nullptr);

// The print verb: the document to the default destination with that
// destination's own settings; an image or office document rendered to a PDF
// first, as the plug-in renders it (one that cannot be rendered is not
// printed). True when the scheduler took it.
bool ShellPrint(platform::print::Backend& backend, const std::string& path);

// The print step after an import: PrintFile, and when it fails the print
// verb (not when the scheduler is down: it would only wait again). True when
// the document was handed over; the caller may delete it then.
bool PrintImportedFile(PrintContext& context, const std::string& path, int mode);

// The watch thread's printer: the plug-in connection is opened on the first
// print and closed with this object; the system's scheduler unless the
// context names a backend. A plug-in that could not be opened is tried again
// at a later print, at most once every kPluginRetryMs of the process's clock
// (installed meanwhile, or its connection refused only for a while).
class ImportPrinter {
 public:
  static constexpr std::int64_t kPluginRetryMs = 60'000;
  ImportPrinter(std::string programFolder, PrintContext context);
  bool Print(const std::string& path, int mode);

 private:
  std::mutex mutex_;
  std::string programFolder_;
  PrintContext context_;
  std::unique_ptr<OutputPlugin> plugin_;
  bool tried_ = false;
  std::int64_t triedAtMs_ = 0;
};

// The paper of a document as job options ("media=iso_a4_210x297mm
// orientation-requested=3"): the paper size the library reports (Windows
// paper numbers) and the orientation (1 portrait, 2 landscape); "" for a
// paper without a name here.
std::string PaperOptions(short paperSize, int orientation);

}  // namespace zv::monitor
