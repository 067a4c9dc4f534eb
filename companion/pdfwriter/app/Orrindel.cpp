// The virtual printer's writer program: "prints" one document into the PDF
// file that the per-user settings file asks for.
//
//   Orrindel [--settings FILE] DOCUMENT
//
// Exit code 0 when the PDF was written, 1 when the job failed (the settings
// file then says Result=-1), 2 when there was no job to run.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "pdfwriter/writer.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnStopSignal(int) { g_stop = 1; }

int Usage() {
  std::fprintf(stderr, "usage: Orrindel [--settings FILE] DOCUMENT\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string settings;
  std::string document;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--settings") == 0 && i + 1 < argc) {
      settings = argv[++i];
    } else if (std::strcmp(argv[i], "--help") == 0) {
      Usage();
      return 0;
    } else if (document.empty()) {
      document = argv[i];
    } else {
      return Usage();
    }
  }
  if (document.empty()) return Usage();

  // A stopped job must stop its office program too (the caller's time limit).
  std::signal(SIGTERM, OnStopSignal);
  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGHUP, OnStopSignal);

  const std::string folder = zv::companion::WriterFolder();
  if (settings.empty()) settings = zv::companion::WriterSettingsPath(folder);
  if (settings.empty()) {
    std::fprintf(stderr, "Orrindel: the writer is not registered (%s)\n", zv::companion::kWriterAppPathsKey);
    return 2;
  }
  const int result = zv::companion::RunWriterJob(document, settings, zv::companion::WriterBusyLockPath(folder),
                                                 [] { return g_stop != 0; });
  if (result > 0) return 0;
  std::fprintf(stderr, "Orrindel: %s was not printed\n", document.c_str());
  return result == zv::companion::kWriterResultFailed && !settings.empty() ? 1 : 2;
}
