// Where the writer lives, its settings file and the names of its output.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "pdfwriter/writer.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace zv::companion {

namespace reg = zv::platform::registry;
using zv::platform::JoinPath;

std::string WriterFolder() {
  if (auto path = reg::GetValue(reg::Hive::LocalMachine, kWriterAppPathsKey, "Path");
      path && !zv::platform::Trim(*path).empty()) {
    return zv::platform::TrimTrailingSeparator(zv::platform::Trim(*path));
  }
  if (auto program = reg::AppPath(kWriterExeName); program && !program->empty()) {
    return zv::platform::ParentFolder(*program);
  }
  return {};
}

std::string WriterProgram() {
  if (auto program = reg::AppPath(kWriterExeName); program && !zv::platform::Trim(*program).empty()) {
    return std::string(zv::platform::Trim(*program));
  }
  const std::string folder = WriterFolder();
  if (folder.empty()) return {};
  return JoinPath(folder, kWriterProgramName);
}

std::string WriterSettingsPath(const std::string& writerFolder) {
  if (writerFolder.empty()) return {};
  return JoinPath(JoinPath(JoinPath(writerFolder, "UserProfile"), zv::platform::UserName()), kWriterSettingsName);
}

std::string WriterTemplatePath(const std::string& writerFolder) {
  if (writerFolder.empty()) return {};
  return JoinPath(writerFolder, kWriterTemplateName);
}

std::string WriterBusyLockPath(const std::string& writerFolder) {
  if (writerFolder.empty()) return {};
  return JoinPath(writerFolder, kWriterBusyLockName);
}

WriterRequest ReadWriterRequest(const std::string& settingsFile) {
  namespace ini = zv::platform::ini;
  WriterRequest r;
  r.increment = ini::GetInt(settingsFile, kDirectSection, "increment", 0);
  r.keta = ini::GetInt(settingsFile, kDirectSection, "keta", 6);
  r.saveSeq = ini::GetInt(settingsFile, kDirectSection, "save_seq", 0);
  r.startNum = ini::GetInt(settingsFile, kDirectSection, "start_num", 1);
  r.outName = ini::GetString(settingsFile, kDirectSection, "OutName", "out");
  r.extString = ini::GetString(settingsFile, kDirectSection, "extstring", "bmp");
  r.outFolder = ini::GetString(settingsFile, kDirectSection, "OutFolder", "");
  r.tempFolder = ini::GetString(settingsFile, kDirectSection, "TempFolder", "");
  r.overwrite = ini::GetInt(settingsFile, kDirectSection, "overwrite", 0);
  r.pageType = ini::GetInt(settingsFile, kDirectSection, "PgdTypeID", 0);
  const int quality = ini::GetInt(settingsFile, kDevModeSection, kDevModePrintQuality, 0);
  r.printQuality = quality >= kMinPrintQuality && quality <= kMaxPrintQuality ? quality : 0;
  r.monochrome = ini::GetInt(settingsFile, kDevModeSection, kDevModeColor, kColorColour) == kColorMonochrome;
  return r;
}

std::string WriterOutputPath(const std::string& folder, const WriterRequest& request, int n) {
  std::string name = request.outName;
  if (request.saveSeq == 1) {
    // A counter wider than any file name could hold is a damaged settings file.
    const int digits = request.keta < 0 ? 0 : (request.keta > 32 ? 32 : request.keta);
    char counter[64];
    std::snprintf(counter, sizeof counter, "%0*lld", digits, static_cast<long long>(request.startNum) + n);
    name += "_";
    name += counter;
  }
  name += ".";
  name += request.extString;
  return JoinPath(folder, name);
}

std::string OfficeImportFilter(std::string_view extension) {
  // Every type names its filter, so a file is never guessed into another
  // format (a damaged document must fail, not come out as a page of bytes).
  struct Entry {
    const char* ext;
    const char* filter;
  };
  static const Entry kFilters[] = {
      {"doc", "MS Word 97"},
      {"docx", "MS Word 2007 XML"},
      {"rtf", "Rich Text Format"},
      {"odt", "writer8"},
      {"txt", "Text (encoded):UTF8,LF,,,"},
      {"xls", "MS Excel 97"},
      {"xlsx", "Calc MS Excel 2007 XML"},
      {"ods", "calc8"},
      {"csv", "Text - txt - csv (StarCalc):44,34,76,1"},
      {"ppt", "MS PowerPoint 97"},
      {"pptx", "Impress MS PowerPoint 2007 XML"},
      {"odp", "impress8"},
  };
  const std::string ext = zv::platform::ToLowerAscii(extension);
  for (const auto& e : kFilters) {
    if (ext == e.ext) return e.filter;
  }
  return {};
}

std::string OfficePdfExportFilter(std::string_view extension) {
  const std::string ext = zv::platform::ToLowerAscii(extension);
  if (OfficeImportFilter(ext).empty()) return {};
  for (const char* e : {"xls", "xlsx", "ods", "csv"}) {
    if (ext == e) return "calc_pdf_Export";
  }
  for (const char* e : {"ppt", "pptx", "odp"}) {
    if (ext == e) return "impress_pdf_Export";
  }
  return "writer_pdf_Export";
}

std::string OfficePdfTarget(std::string_view extension, int printQuality) {
  const std::string filter = OfficePdfExportFilter(extension);
  if (printQuality <= 0 || filter.empty()) return "pdf";
  return "pdf:" + filter +
         ":{\"ReduceImageResolution\":{\"type\":\"boolean\",\"value\":\"true\"},"
         "\"MaxImageResolution\":{\"type\":\"long\",\"value\":\"" +
         std::to_string(printQuality) + "\"}}";
}

std::string FindProgramInPath(std::string_view name) {
  if (name.empty()) return {};
  if (name.find('/') != std::string_view::npos) {
    return zv::platform::IsFile(std::string(name)) ? std::string(name) : std::string();
  }
  const char* path = std::getenv("PATH");
  std::string_view dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
  while (!dirs.empty()) {
    const auto colon = dirs.find(':');
    std::string_view dir = dirs.substr(0, colon);
    dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
    if (dir.empty()) continue;
    std::string candidate = JoinPath(dir, name);
    if (zv::platform::IsFile(candidate)) return candidate;
  }
  return {};
}

std::string OfficeProgram() {
  if (const char* chosen = std::getenv(kOfficeProgramVar)) {
    return FindProgramInPath(zv::platform::Trim(chosen));
  }
  for (const char* name : {"soffice", "libreoffice"}) {
    if (std::string found = FindProgramInPath(name); !found.empty()) return found;
  }
  const std::string bundled = "/usr/lib/libreoffice/program/soffice";
  return zv::platform::IsFile(bundled) ? bundled : std::string();
}

bool WriterCanPrint(std::string_view extension) {
  if (zv::platform::EqualsNoCase(extension, "pdf")) return true;
  if (OfficeImportFilter(extension).empty()) return false;
  return !OfficeProgram().empty();
}

}  // namespace zv::companion
