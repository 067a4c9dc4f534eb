// One job of the PDF writer: read the request from the settings file, write
// the output file(s), report the result.
#include <algorithm>
#include <string>

#include "companion/trace.h"
#include "office_job.h"
#include "pdf_print.h"
#include "pdfwriter/writer.h"
#include "platform/clock.h"
#include "platform/filelock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace zv::companion {

namespace fs = zv::platform;
namespace ini = zv::platform::ini;

namespace {

int TimeLimitSeconds(const std::string& settingsFile) {
  const int limit = ini::GetInt(settingsFile, kWriterOwnSection, "TimeLimit", kWriterDefaultTimeLimitSeconds);
  if (limit < 1) return 1;
  return limit > 3600 ? 3600 : limit;
}

// Waits (once a second) for a running job of another caller to end.
fs::HeldLock TakeBusyLock(const std::string& path, int limitSeconds) {
  const std::int64_t started = fs::SteadyMs();
  for (;;) {
    auto lock = fs::HeldLock::TryAcquire(path);
    if (lock.valid()) return lock;
    if (fs::SteadyMs() - started >= static_cast<std::int64_t>(limitSeconds) * 1000) return lock;
    fs::SleepMs(1000);
  }
}

bool ConvertDocument(const std::string& document, const std::string& settingsFile, const WriterRequest& request,
                     const std::function<bool()>& cancelled, std::string& why) {
  if (request.outFolder.empty() || !fs::IsFolder(request.outFolder)) {
    why = "the output folder \"" + request.outFolder + "\" does not exist";
    return false;
  }
  if (request.outName.empty() || request.outName == "." || request.outName == ".." ||
      request.outName.find('/') != std::string::npos) {
    why = "unusable output name \"" + request.outName + "\"";
    return false;
  }
  if (!fs::IsFile(document)) {
    why = "the document " + document + " does not exist";
    return false;
  }
  const std::string target = WriterOutputPath(request.outFolder, request, 0);
  // The output replaces an existing file only at the very end (by a rename),
  // so a document that is itself the expected output (a work copy printed
  // again) is read before it is replaced.
  if (fs::Exists(target) && request.overwrite != 1) {
    why = target + " exists and overwriting is off";
    return false;
  }

  const std::string ext = fs::ToLowerAscii(fs::Extension(document));
  if (ext == "pdf") {
    const std::string work = target + ".~tmp";
    const bool ok = PrintPdfCopy(document, work, why) && fs::RenamePath(work, target, true);
    if (!ok) {
      fs::RemoveFile(work);
      if (why.empty()) why = "cannot write " + target;
    }
    return ok;
  }
  std::string tempBase = request.tempFolder;
  if (tempBase.empty() || !fs::IsFolder(tempBase)) tempBase = fs::TempFolder();
  return OfficeConvert(document, tempBase, target, request.printQuality, TimeLimitSeconds(settingsFile), cancelled,
                       why);
}

// A monochrome printer prints grey pages. Without Ghostscript (or when it
// fails on the file) the pages stay in colour: the document is still
// printed, and the trace says why it is not grey.
void MakeGrey(const std::string& target, int timeLimitSeconds) {
  const std::string grey = target + ".~grey";
  std::string why;
  if (GreyPdf(target, grey, timeLimitSeconds, why) && fs::RenamePath(grey, target, true)) return;
  fs::RemoveFile(grey);
  ZV_TRACE("_Orrindel", "RunWriterJob: " + target + " stays in colour: " + (why.empty() ? "cannot replace it" : why));
}

}  // namespace

int RunWriterJob(const std::string& document, const std::string& settingsFile, const std::string& busyLockPath,
                 const std::function<bool()>& cancelled) {
  if (settingsFile.empty() || !fs::IsFile(settingsFile)) {
    ZV_TRACE("_Orrindel", "RunWriterJob: no settings file " + settingsFile);
    return kWriterResultFailed;
  }
  fs::HeldLock busy;
  if (!busyLockPath.empty()) busy = TakeBusyLock(busyLockPath, TimeLimitSeconds(settingsFile));

  std::string why;
  bool ok = false;
  if (!busyLockPath.empty() && !busy.valid()) {
    why = "the printer stayed busy";
  } else if (!ini::WriteString(settingsFile, kDirectSection, "extstring", "pdf")) {
    why = "cannot write the settings file";
  } else {
    const WriterRequest request = ReadWriterRequest(settingsFile);
    ok = ConvertDocument(document, settingsFile, request, cancelled, why);
    if (ok && request.monochrome) {
      MakeGrey(WriterOutputPath(request.outFolder, request, 0), std::min(TimeLimitSeconds(settingsFile), 120));
    }
  }

  const int result = ok ? 1 : kWriterResultFailed;
  ZV_TRACE("_Orrindel", "RunWriterJob: " + document + (ok ? std::string(" printed") : " failed: " + why));
  // The result goes last: the converter takes it as the end of the job.
  if (!ini::WriteInt(settingsFile, kDirectSection, "Result", result)) {
    ZV_TRACE("_Orrindel", "RunWriterJob: cannot write the result into " + settingsFile);
  }
  if (busy.valid()) busy.Release();
  return result;
}

}  // namespace zv::companion
