// Printing a document to the virtual printer to get it as PDF.
//
// On this platform the printer is its writer program itself: the converter
// starts it with the document, and "the printer's queue holds the job" means
// "the writer is still running". There is no default printer to switch, no
// PDF reader window to close and no file association to change, so those
// steps (and their failures 310200/310300) do not arise here.
#include <exception>
#include <new>
#include <optional>
#include <string>

#include "companion/common.h"
#include "companion/trace.h"
#include "conversion/convert_pdf.h"
#include "pdfwriter/writer.h"
#include "platform/clock.h"
#include "platform/filelock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/text.h"

namespace zv::dravel {

namespace pf = zv::platform;
namespace ini = zv::platform::ini;
namespace co = zv::companion;

namespace {

constexpr const char* kTag = "_Dravel";
constexpr const char* kLibraryLockName = "~Write.Locked";

#define CONV_TRACE(text) ::zv::companion::Trace(kTag, __FILE__, __LINE__, (text))

// Engine results: 0 printed, 1 the writer reported failure, 2 anything else.
constexpr int kEngineOk = 0;
constexpr int kEngineReportedFailure = 1;
constexpr int kEngineOtherFailure = 2;

bool IsPresentationType(const std::string& ext) { return ext == "ppt" || ext == "pptx"; }

// The printer's device mode as the settings file holds it: the keys of
// [DevMode], nullopt where a key is missing.
struct DeviceMode {
  std::optional<std::string> printQuality, color;
};

DeviceMode ReadDeviceMode(const std::string& settings) {
  DeviceMode m;
  for (const auto& [key, value] : ini::SectionEntries(settings, co::kDevModeSection)) {
    if (pf::EqualsNoCase(key, co::kDevModePrintQuality)) m.printQuality = value;
    if (pf::EqualsNoCase(key, co::kDevModeColor)) m.color = value;
  }
  return m;
}

bool WriteDeviceMode(const std::string& settings, const DeviceMode& m) {
  bool ok = true;
  auto put = [&](const char* key, const std::optional<std::string>& value) {
    ok = (value ? ini::WriteString(settings, co::kDevModeSection, key, *value)
                : ini::DeleteKey(settings, co::kDevModeSection, key)) &&
         ok;
  };
  put(co::kDevModePrintQuality, m.printQuality);
  put(co::kDevModeColor, m.color);
  return ok;
}

// The viewer's printer settings ([EnvSetting] DPIValue and ColorMode of the
// product settings file) as the printer's device mode for this job; a value
// that is missing or not a positive number leaves the writer's default.
DeviceMode ViewerDeviceMode() {
  DeviceMode m;
  const std::string env = co::ComProductSettingsPath();
  if (env.empty()) return m;
  const int dpi = ini::GetInt(env, "EnvSetting", "DPIValue", 0);
  const int color = ini::GetInt(env, "EnvSetting", "ColorMode", 0);
  if (dpi > 0) m.printQuality = std::to_string(dpi);
  if (color > 0) m.color = std::to_string(color);
  return m;
}

// Every key of the request, committed as one replacement of the file.
bool WriteRequest(const std::string& settings, const std::string& source, const std::string& workFolder, int a3b4,
                  const DeviceMode& deviceMode) {
  ini::WriteGroup group(settings);
  bool modeOk = WriteDeviceMode(settings, deviceMode);
  const std::string outName = pf::StripExtension(pf::LastComponent(source));
  const std::string pageType = std::to_string(a3b4 == 0 ? 50 : a3b4);
  const std::string temp = pf::TempFolder();
  bool ok = ini::WriteString(settings, co::kDlgFlagSection, "DlgFlag", "1");
  const std::pair<const char*, std::string> direct[] = {
      {"increment", "1"},      {"keta", "4"},        {"OutFolder", workFolder}, {"overwrite", "1"},
      {"PgdTypeID", pageType}, {"save_seq", "0"},    {"start_num", "1"},        {"OutName", outName},
      {"MOPgnID", "0"},        {"TempFolder", temp}, {"Result", "-9"},
  };
  for (const auto& [key, value] : direct) {
    ok = ini::WriteString(settings, co::kDirectSection, key, value) && ok;
  }
  if (group.ok()) ok = group.Commit() && ok;
  return ok && modeOk;
}

// Makes sure the user's settings file exists: a copy of the template when it
// does not. Only a copy that fails because the file is already there (another
// process made it meanwhile) is no failure.
bool PrepareSettingsFile(const std::string& writerFolder, const std::string& settings) {
  if (pf::IsFile(settings)) return true;
  if (!pf::MakeFolders(pf::ParentFolder(settings))) {
    CONV_TRACE("Zorvan_ConvertPDF: cannot make the folder of " + settings);
    return false;
  }
  if (pf::CopyFile(co::WriterTemplatePath(writerFolder), settings, false)) return true;
  if (pf::IsFile(settings)) return true;
  CONV_TRACE("Zorvan_ConvertPDF: cannot copy " + co::WriterTemplatePath(writerFolder) + " to " + settings);
  return false;
}

// Starts the writer and waits for its result. Returns the engine result and
// the number of files the writer reported.
int PrintAndWait(const std::string& program, const std::string& source, const std::string& workFolder,
                 const std::string& settings, const std::string& ext, int& files) {
  auto writer = pf::Process::Spawn(program, {source}, workFolder);
  if (!writer.valid()) {
    CONV_TRACE("Zorvan_ConvertPDF: cannot start " + program);
    return kEngineOtherFailure;
  }
  const std::int64_t started = pf::SteadyMs();
  auto elapsed = [&] { return pf::SteadyMs() - started; };

  // The writer is the printing application: wait for it to end, within the
  // limit of the whole job.
  while (writer.IsRunning() && elapsed() < kResultLimitMs) pf::SleepMs(kWriterEndPollMs);

  int engine = kEngineOtherFailure;
  for (;;) {
    const int r = ini::GetInt(settings, co::kDirectSection, "Result", 0);
    if (r == 0 || r == -1) {
      CONV_TRACE("Zorvan_ConvertPDF: the printer reported failure (Result=" + std::to_string(r) + ")");
      engine = kEngineReportedFailure;
      break;
    }
    if (r > 0) {
      files = r;
      engine = kEngineOk;
      break;
    }
    if (r != co::kWriterResultPending) {
      CONV_TRACE("Zorvan_ConvertPDF: unknown printer result " + std::to_string(r));
      break;
    }
    if (elapsed() >= kResultLimitMs) {
      CONV_TRACE("Zorvan_ConvertPDF: no printer result within 600 s");
      break;
    }
    // The job left the queue without a result; a presentation program may
    // still hand it over late, so those keep waiting.
    if (!writer.IsRunning() && !IsPresentationType(ext)) {
      CONV_TRACE("Zorvan_ConvertPDF: the print job vanished without a result");
      break;
    }
    for (int i = 0; i < 10; ++i) pf::SleepMs(kResultPollStepMs);
  }

  // A writer that has reported lingers only for its last clean-up; one that
  // is late is stopped (it stops its office program with it).
  for (int i = 0; i < 50 && writer.IsRunning(); ++i) {
    if (engine != kEngineOk) break;
    pf::SleepMs(kWriterEndPollMs);
  }
  if (writer.IsRunning()) writer.Terminate(5000);
  return engine;
}

int Collect(const std::string& settings, const std::string& workFolder, int files, ConversionResult& result) {
  if (files > kMaxOutputFiles) {
    CONV_TRACE("Zorvan_ConvertPDF: the printer reported " + std::to_string(files) + " files");
    return kEngineOtherFailure;
  }
  const co::WriterRequest request = co::ReadWriterRequest(settings);
  try {
    result.outputs.clear();
    result.outputs.reserve(static_cast<std::size_t>(files));
    for (int n = 0; n < files; ++n) result.outputs.push_back(co::WriterOutputPath(workFolder, request, n));
  } catch (const std::bad_alloc&) {
    CONV_TRACE("GlobalAlloc() fialed");
    return kEngineOtherFailure;
  }
  // A result without its file is no success.
  if (!pf::IsFile(result.outputs.front())) {
    CONV_TRACE("Zorvan_ConvertPDF: the printer reported success but " + result.outputs.front() + " does not exist");
    result.outputs.clear();
    return kEngineOtherFailure;
  }
  result.outputPdf = result.outputs.front();
  return kEngineOk;
}

std::int16_t Fail(ConversionResult& result, int code) {
  result.errorCode = code;
  result.outputPdf.clear();
  result.outputs.clear();
  CONV_TRACE("Zorvan_ConvertPDF: failed (Error Code=" + std::to_string(code) + ")");
  return -1;
}

std::int16_t Convert(const std::string& source, const std::string& workFolder, int a3b4, ConversionResult& result) {
  result = ConversionResult{};
  const std::string ext = pf::ToLowerAscii(pf::Extension(source));

  // Print command: a type the writer can print.
  if (!co::WriterCanPrint(ext)) {
    CONV_TRACE("Zorvan_ConvertPDF: no print command for \"" + ext + "\" (" + source + ")");
    return Fail(result, kConvertNoPrintCommand);
  }
  const std::string writerFolder = co::WriterFolder();
  const std::string program = co::WriterProgram();
  if (writerFolder.empty() || program.empty() || !pf::IsFile(program)) {
    CONV_TRACE("Zorvan_ConvertPDF: the printer's writer is not installed (" + std::string(co::kWriterAppPathsKey) +
               ")");
    return Fail(result, kConvertEngineError);
  }
  if (workFolder.empty() || !pf::IsFolder(workFolder)) {
    CONV_TRACE("Zorvan_ConvertPDF: the work folder " + workFolder + " does not exist");
    return Fail(result, kConvertEngineError);
  }

  CONV_TRACE("  Call Plumetta start");

  // Exclusive use of the printer.
  const std::string busyLock = co::WriterBusyLockPath(writerFolder);
  const std::int64_t waitStart = pf::SteadyMs();
  while (pf::IsLockHeld(busyLock)) {
    if (pf::SteadyMs() - waitStart >= kPrinterBusyLimitMs) {
      CONV_TRACE("Zorvan_ConvertPDF: the printer stayed busy for 600 s");
      return Fail(result, kConvertEngineError);
    }
    pf::SleepMs(kPrinterBusyPollMs);
  }
  const std::string lockFolder = ConversionLockFolder();
  pf::HeldLock lock = pf::AcquireLockFile(lockFolder, kLibraryLockName, kLibraryLockTimeoutSeconds);
  if (!lock.valid()) {
    // Going on would let two jobs share the one settings file.
    CONV_TRACE("Zorvan_ConvertPDF: cannot lock " + pf::JoinPath(lockFolder, kLibraryLockName));
    return Fail(result, kConvertEngineError);
  }

  int engine = kEngineOtherFailure;
  const std::string settings = co::WriterSettingsPath(writerFolder);
  if (!PrepareSettingsFile(writerFolder, settings)) {
    engine = kEngineOtherFailure;
  } else {
    // The printer's settings are the user's: the job's device mode is set
    // for the job and the previous one put back afterwards.
    const DeviceMode previous = ReadDeviceMode(settings);
    if (!WriteRequest(settings, source, workFolder, a3b4, ViewerDeviceMode())) {
      CONV_TRACE("Zorvan_ConvertPDF: cannot write " + settings);
      engine = kEngineOtherFailure;
    } else {
      int files = 0;
      engine = PrintAndWait(program, source, workFolder, settings, ext, files);
      if (engine == kEngineOk) engine = Collect(settings, workFolder, files, result);
    }
    if (!WriteDeviceMode(settings, previous)) CONV_TRACE("Fail to Set default printer back.");
  }

  pf::ReleaseLockFile(lock, lockFolder, kLibraryLockName);
  if (engine != kEngineOk) {
    return Fail(result, engine == kEngineReportedFailure ? kConvertEngineFailed : kConvertEngineError);
  }
  CONV_TRACE("  Call Plumetta OK");
  return 0;
}

}  // namespace

std::string ConversionLockFolder() { return pf::ProgramFolder(); }

int ConversionMessageId(int errorCode) {
  switch (errorCode) {
    case kConvertNoPrintCommand: return 39;
    case kConvertReaderBefore:
    case kConvertReaderAfter: return 40;
    case kConvertEngineFailed:
    case kConvertEngineError: return 41;
    default: return 38;
  }
}

std::int16_t ConvertToPdf(const std::string& source, const std::string& workFolder, int a3b4,
                          ConversionResult& result) {
  try {
    return Convert(source, workFolder, a3b4, result);
  } catch (const std::exception& e) {
    CONV_TRACE(std::string("Zorvan_ConvertPDF: ") + e.what());
  } catch (...) {
    CONV_TRACE("Zorvan_ConvertPDF: unexpected failure");
  }
  return Fail(result, kConvertEngineError);
}

}  // namespace zv::dravel
