// The PDF writer of the virtual printer: where it is installed, its per-user
// settings file, the names of the files it writes, and the job that turns one
// document into PDF.
//
// Installation: the writer program and the settings template "TESSALY.INI"
// lie in the writer folder, the `Path` value of the machine key
// "Software\Microsoft\Windows\CurrentVersion\App Paths\Orrindel.exe" (its
// default value names the program). Each user's settings file is
// <writer folder>/UserProfile/<user name>/Tessaly.ini, made from the template
// on first use.
//
// Office and text documents are converted by LibreOffice run headless with a
// private profile (macros off, no network where unprivileged namespaces are
// allowed, under a time limit); PDF documents are rewritten without their
// encryption when their owner allows printing.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zv::companion {

inline constexpr const char* kWriterAppPathsKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Orrindel.exe";
inline constexpr const char* kWriterExeName = "Orrindel.exe";
inline constexpr const char* kWriterProgramName = "Orrindel";
inline constexpr const char* kWriterSettingsName = "Tessaly.ini";
inline constexpr const char* kWriterTemplateName = "TESSALY.INI";
// Held by a running writer job: the printer is busy while it is locked.
inline constexpr const char* kWriterBusyLockName = "~Plumetta.Locked";
// Names the office program (a path or a name searched in PATH) in place of
// the installed LibreOffice; set but empty or not found: no office program.
inline constexpr const char* kOfficeProgramVar = "ZORVAN_OFFICE_PROGRAM";

// Writer settings sections.
inline constexpr const char* kDlgFlagSection = "DlgFlag";
inline constexpr const char* kDirectSection = "Direct";
// Our own section of the settings file: [Orrindel] TimeLimit (seconds).
inline constexpr const char* kWriterOwnSection = "Orrindel";
inline constexpr int kWriterDefaultTimeLimitSeconds = 570;

// The printer's device mode, set by the converter for each job: section
// [DevMode], PrintQuality (dots per inch; missing or out of range: the
// writer's default) and Color (1 monochrome; missing or anything else:
// colour).
inline constexpr const char* kDevModeSection = "DevMode";
inline constexpr const char* kDevModePrintQuality = "PrintQuality";
inline constexpr const char* kDevModeColor = "Color";
inline constexpr int kColorMonochrome = 1;
inline constexpr int kColorColour = 2;
inline constexpr int kMinPrintQuality = 50;
inline constexpr int kMaxPrintQuality = 4800;

// Result values of [Direct] Result.
inline constexpr int kWriterResultPending = -9;
inline constexpr int kWriterResultFailed = -1;

// The writer folder: the registered `Path`, else the folder of the registered
// program; "" when the writer is not registered.
std::string WriterFolder();
// The registered writer program: the default value of the App Paths key, else
// <writer folder>/Orrindel; "" when not registered.
std::string WriterProgram();
// <writer folder>/UserProfile/<user>/Tessaly.ini for the given writer folder.
std::string WriterSettingsPath(const std::string& writerFolder);
std::string WriterTemplatePath(const std::string& writerFolder);
std::string WriterBusyLockPath(const std::string& writerFolder);

// The [Direct] keys that name the output files, as read back after a job.
struct WriterRequest {
  int increment = 0;
  int keta = 6;
  int saveSeq = 0;
  int startNum = 1;
  std::string outName = "out";
  std::string extString = "bmp";
  std::string outFolder;
  std::string tempFolder;
  int overwrite = 0;
  int pageType = 0;
  // [DevMode]: 0 for the writer's default resolution; monochrome or not.
  int printQuality = 0;
  bool monochrome = false;
};
WriterRequest ReadWriterRequest(const std::string& settingsFile);

// Path of the n-th output file (n from 0): folder "/" OutName, then only when
// save_seq is 1 "_" and start_num + n padded with "0" to keta digits, then
// "." extstring.
std::string WriterOutputPath(const std::string& folder, const WriterRequest& request, int n);

// Import filter of an office or text type (lower-case extension without the
// dot); empty for any other type.
std::string OfficeImportFilter(std::string_view extension);
// The office program's PDF export filter for such a type (text, spreadsheet
// or presentation); empty for any other type.
std::string OfficePdfExportFilter(std::string_view extension);
// The office program's conversion target: "pdf", or with a print quality
// the export filter with options that reduce every image to at most that
// many dots per inch.
std::string OfficePdfTarget(std::string_view extension, int printQuality);

// Converts an office or text document into the PDF file `target` with the
// office program run headless in a private profile below `tempBase`, under a
// time limit; with a print quality (dots per inch, 0: the office program's
// default) no image of the PDF is finer than that. False with a reason when
// no PDF with pages was made.
bool OfficeConvert(const std::string& document, const std::string& tempBase, const std::string& target,
                   int printQuality, int timeLimitSeconds, const std::function<bool()>& cancelled, std::string& why);

// Turns a PDF's pages grey (text, drawings and images) into `target` with
// Ghostscript under a time limit. False with a reason when Ghostscript is
// not installed or fails; `target` is then not made.
bool GreyPdf(const std::string& source, const std::string& target, int timeLimitSeconds, std::string& why);
// The office program to run, or "" when none is installed.
std::string OfficeProgram();
// True when the writer can print a document of this type: PDF always, office
// and text types when an office program is installed.
bool WriterCanPrint(std::string_view extension);

// Pages of a PDF file; -1 when it cannot be read.
int PdfPageCount(const std::string& path);

// What a PDF's owner allows the printer to do.
enum class PdfPrintClass { Printable, PrintingNotAllowed, PasswordNeeded, Unreadable };
PdfPrintClass ClassifyPdfForPrinting(const std::string& path);

// Runs one writer job on `document` with the settings file: holds the busy
// lock (when a path is given) for the whole job, writes [Direct] extstring
// "pdf", converts, and finally writes [Direct] Result (the number of files
// written, or -1). `cancelled` is polled while the office program runs; when
// it turns true the program is stopped and the job fails. Returns the Result
// written, or -1 when the settings file is missing (then nothing is written).
int RunWriterJob(const std::string& document, const std::string& settingsFile, const std::string& busyLockPath,
                 const std::function<bool()>& cancelled = {});

// Searches a program name in PATH (a name with "/" is taken as it is); ""
// when not found.
std::string FindProgramInPath(std::string_view name);

}  // namespace zv::companion
