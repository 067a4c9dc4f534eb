// A stand-in for the printer's writer program, for the converter's tests.
// Its behaviour comes from FAKE_WRITER_MODE:
//   silent     end without a result
//   hang       never end (until stopped)
//   fail       report failure (Result=-1)
//   lie        report one file without writing it
//   files:N    write N files numbered by a counter (save_seq=1, keta=4,
//              start_num=7) and report N
//   exclusive  like files:1, but report failure when another writer runs at
//              the same time
// At start it copies the settings file to <settings>.seen and writes its
// process id to <settings>.pid, so tests can check what it was given.
#include <cstdlib>
#include <fstream>
#include <string>

#include <unistd.h>

#include "pdfwriter/writer.h"
#include "platform/clock.h"
#include "platform/filelock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"

namespace co = zv::companion;
namespace pf = zv::platform;
namespace ini = zv::platform::ini;

namespace {

void WriteFiles(const std::string& settings, int n) {
  ini::WriteString(settings, co::kDirectSection, "extstring", "pdf");
  ini::WriteString(settings, co::kDirectSection, "save_seq", "1");
  ini::WriteString(settings, co::kDirectSection, "keta", "4");
  ini::WriteString(settings, co::kDirectSection, "start_num", "7");
  const co::WriterRequest request = co::ReadWriterRequest(settings);
  for (int i = 0; i < n; ++i) {
    pf::WriteFileAtomic(co::WriterOutputPath(request.outFolder, request, i), "%PDF-1.4\n%fake\n");
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const std::string settings = co::WriterSettingsPath(co::WriterFolder());
  const char* modeVar = std::getenv("FAKE_WRITER_MODE");
  const std::string mode = modeVar ? modeVar : "silent";
  pf::CopyFile(settings, settings + ".seen", true);
  pf::WriteFileAtomic(settings + ".pid", std::to_string(::getpid()));
  pf::WriteFileAtomic(settings + ".doc", argv[1]);

  if (mode == "silent") return 0;
  if (mode == "hang") {
    for (;;) pf::SleepMs(1000);
  }
  if (mode == "fail") {
    ini::WriteString(settings, co::kDirectSection, "Result", "-1");
    return 1;
  }
  if (mode == "lie") {
    ini::WriteString(settings, co::kDirectSection, "extstring", "pdf");
    ini::WriteString(settings, co::kDirectSection, "Result", "1");
    return 0;
  }
  if (mode.rfind("files:", 0) == 0) {
    const int n = std::atoi(mode.c_str() + 6);
    WriteFiles(settings, n);
    ini::WriteInt(settings, co::kDirectSection, "Result", n);
    return 0;
  }
  if (mode == "exclusive") {
    const std::string marker = pf::JoinPath(pf::ParentFolder(settings), "running.marker");
    if (!pf::CreateExclusive(marker)) {
      ini::WriteString(settings, co::kDirectSection, "Result", "-1");
      return 1;
    }
    pf::SleepMs(300);
    WriteFiles(settings, 1);
    pf::RemoveFile(marker);
    ini::WriteString(settings, co::kDirectSection, "Result", "1");
    return 0;
  }
  return 2;
}
