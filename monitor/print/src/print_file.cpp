// PrintFile, the print verb and the output plug-in connection.
#include "monitor/print/print_file.h"

#include <algorithm>
#include <cstring>

#include "companion/trace.h"
#include "ferrule/Ferrule.h"
#include "ferrule/render.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace zv::monitor {

namespace print = platform::print;

namespace {

void Trace(const std::string& text) { ZV_TRACE("_Hopvale", text); }

void CopyText(char* target, std::size_t size, std::string_view text) {
  const std::size_t n = std::min(size - 1, text.size());
  std::memcpy(target, text.data(), n);
  target[n] = '\0';
}

bool SchedulerDown(print::Status status) {
  return status == print::Status::Unreachable || status == print::Status::TimedOut;
}

int CopiesOf(const print::Options& options) {
  const std::string text = print::OptionValue(options, "copies");
  int copies = 0;
  for (char c : text) {
    if (c < '0' || c > '9' || copies > 100000) return 1;
    copies = copies * 10 + (c - '0');
  }
  return copies >= 1 ? copies : 1;
}

int CollateOf(const print::Options& options) {
  const std::string collate = print::OptionValue(options, "collate");
  if (!collate.empty()) return platform::EqualsNoCase(collate, "false") ? 0 : 1;
  const std::string handling = print::OptionValue(options, "multiple-document-handling");
  return platform::EqualsNoCase(handling, "separate-documents-uncollated-copies") ? 0 : 1;
}

}  // namespace

// ---- OutputPlugin ----

std::unique_ptr<OutputPlugin> OutputPlugin::Open(const std::string& programFolder, const std::string& productName) {
  // The program folder, else beside the running program (an installation
  // may keep its binaries apart from the folder it writes in).
  std::string path = platform::JoinPath(programFolder, FERRULE_LIBRARY_NAME);
  if (!platform::IsFile(path)) {
    const std::string beside = platform::JoinPath(platform::ExecutableFolder(), FERRULE_LIBRARY_NAME);
    if (platform::IsFile(beside)) path = beside;
  }
  if (!platform::IsFile(path)) {
    Trace("PrintFile: the output plug-in is not installed: " + path);
    return nullptr;
  }
  auto plugin = std::make_unique<OutputPlugin>();
  plugin->library_ = platform::SharedLibrary::Open(path);
  if (!plugin->library_ || !plugin->library_.Bind(FERRULE_ENTRY_NAME, plugin->entry_)) {
    Trace("PrintFile: the output plug-in cannot be loaded: " + path + " " + plugin->library_.error());
    return nullptr;
  }
  FerruleOpenBlock open{};
  CopyText(open.product, sizeof open.product, productName);
  if (plugin->entry_(FERRULE_OP_OPEN, 0, &open) == 0 || open.connection == 0) {
    Trace("PrintFile: the output plug-in refused the connection");
    return nullptr;  // unloads it
  }
  plugin->connection_ = open.connection;
  plugin->outputs_ = open.outputs;
  for (int i = 1; i <= open.outputs && i <= 64; ++i) {
    FerruleOutputBlock output{};
    output.index = i;
    if (plugin->entry_(FERRULE_OP_OUTPUT, plugin->connection_, &output) == 0) {
      std::int32_t reset = 0;
      plugin->entry_(FERRULE_OP_RESET, plugin->connection_, &reset);
      break;
    }
    if (output.type == FERRULE_OUTPUT_PRINTER) plugin->printerOutput_ = i;
  }
  return plugin;
}

OutputPlugin::~OutputPlugin() {
  if (!valid()) return;
  if (entry_(FERRULE_OP_CLOSE, connection_, nullptr) == 0) {
    std::int32_t reset = 0;
    entry_(FERRULE_OP_RESET, connection_, &reset);
  }
}

int OutputPlugin::Call(int operation, void* parameter) {
  return valid() ? entry_(operation, connection_, parameter) : 0;
}

// ---- PrintFile ----

std::string PaperOptions(short paperSize, int orientation) {
  const char* media = nullptr;
  switch (paperSize) {
    case 1: media = "na_letter_8.5x11in"; break;
    case 8: media = "iso_a3_297x420mm"; break;
    case 9: media = "iso_a4_210x297mm"; break;
    case 11: media = "iso_a5_148x210mm"; break;
    case 12: media = "jis_b4_257x364mm"; break;
    case 13: media = "jis_b5_182x257mm"; break;
    default: return {};
  }
  std::string options = std::string("media=") + media;
  if (orientation == 1 || orientation == 2)
    options += orientation == 1 ? " orientation-requested=3" : " orientation-requested=4";
  return options;
}

int PrintFile(PrintContext& context, const std::string& path, int mode, bool* schedulerDown) {
  if (schedulerDown != nullptr) *schedulerDown = false;
  OutputPlugin* plugin = context.plugin != nullptr && context.plugin->valid() ? context.plugin : nullptr;
  auto command = [&](int code, std::int32_t job, void* parameter) {
    if (plugin == nullptr) return false;
    FerruleCommandBlock block{1, code, job, 0, parameter};
    return plugin->Call(FERRULE_OP_COMMAND, &block) != 0;
  };

  int result = 0;
  bool opened = false;
  std::int32_t job = 0;
  do {
    FerruleJobBlock jobBlock{};
    CopyText(jobBlock.product, sizeof jobBlock.product, context.productName);
    if (!command(FERRULE_CMD_OPEN, 0, &jobBlock)) {
      Trace("PrintFile: Failed - Open Process");
      break;
    }
    opened = true;
    job = jobBlock.job;
    if (!command(FERRULE_CMD_CLEAR, job, nullptr)) {
      Trace("PrintFile: Failed - Clear Process");
      break;
    }
    if (!platform::IsFile(path)) {
      Trace("PrintFile: Failed - MyGetStatus()");
      break;
    }
    FerruleModeBlock modeBlock{};
    modeBlock.values[1] = 1;
    if (!command(FERRULE_CMD_SET_MODE, job, &modeBlock)) {
      Trace("PrintFile: Failed - Set operation mode");
      break;
    }
    if (!command(FERRULE_CMD_ADD_FILE, job, const_cast<char*>(path.c_str()))) {
      Trace("PrintFile: Failed - Add Process");
      break;
    }
    FerruleAreaBlock area{};
    if (!command(FERRULE_CMD_GET_PRINT_INFO, job, &area.info)) {
      Trace("PrintFile: Failed - Get Print Infomation Process");
      break;
    }

    // The stored printer and its options travel with this job only.
    std::string why;
    const StoredPrinter stored = ReadStoredPrinter(&why);
    if (!why.empty()) Trace("PrintFile: the stored printer settings are not used: " + why);
    std::string options;
    area.copies = 1;
    area.collate = 1;
    if (stored.stored) {
      print::Status status = print::Status::NoDestination;
      std::string error;
      if (context.backend != nullptr) {
        print::Destination destination;
        status = stored.name.empty() ? context.backend->DefaultDestination(destination.name, &error)
                                     : context.backend->GetDestination(stored.name, destination, &error);
      }
      if (status != print::Status::Ok) {
        if (schedulerDown != nullptr) *schedulerDown = SchedulerDown(status);
        Trace("PrintFile: Failed - SetPrinterParameter()");
        Trace("PrintFile: " + (stored.name.empty() ? std::string("the default printer") : stored.name) + ": " +
              print::StatusText(status) + (error.empty() ? "" : ": " + error));
        break;
      }
      options = stored.options;
      // Paper fitted to the document, when both its size and the printer's
      // matching paper are known; else the stored paper stays.
      int paperCode = 0, orientation = 0;
      short paperSize = 0;
      if (mode == 2 && context.targetPaperSize != nullptr && context.printerOutputSize != nullptr &&
          context.targetPaperSize(nullptr, path.c_str(), &paperCode, &orientation) == 1 && paperCode > 0 &&
          paperCode < 256 &&
          context.printerOutputSize(stored.name.empty() ? "default" : stored.name.c_str(), "cups",
                                    static_cast<unsigned char>(paperCode), &paperSize) == 0) {
        const std::string paper = PaperOptions(paperSize, orientation);
        if (!paper.empty()) options += (options.empty() ? "" : " ") + paper;
      }
      CopyText(area.printer, sizeof area.printer, stored.name);
      const print::Options parsed = print::ParseOptions(options);
      area.copies = CopiesOf(parsed);
      area.collate = CollateOf(parsed);
    }
    area.options = options.c_str();
    area.optionsLength = static_cast<std::int32_t>(options.size());
    if (!command(FERRULE_CMD_SET_PRINT_AREA, job, &area)) {
      Trace("PrintFile: Failed - Set Print Area Process");
      break;
    }
    std::int32_t status = FERRULE_STATUS_OK;
    if (!command(FERRULE_CMD_PRINT, job, &status)) {
      if (schedulerDown != nullptr) *schedulerDown = status == FERRULE_STATUS_NO_SCHEDULER;
      Trace("PrintFile: Failed - Print Process");
      break;
    }
    result = 1;
  } while (false);

  // End step: nothing of the printer was changed, so nothing is restored.
  if (opened && !command(FERRULE_CMD_CLOSE, job, nullptr)) {
    std::int32_t reset = 0;
    plugin->Call(FERRULE_OP_RESET, &reset);
  }
  return result;
}

bool ShellPrint(print::Backend& backend, const std::string& path) {
  // The scheduler cannot read an office document: whatever the plug-in
  // renders goes rendered the same way, anything else as it is, for the
  // scheduler's own filters.
  namespace ferrule = companion::ferrule;
  print::Job job;
  job.file = path;
  job.title = platform::LastComponent(path);
  std::string workFolder, why;
  ferrule::PrintableDocument printable;
  const ferrule::RenderResult rendered = ferrule::RenderForPrint(path, workFolder, "print", printable, why);
  bool taken = false;
  if (rendered == ferrule::RenderResult::Failed) {
    Trace("PrintFile: the print verb failed: " + why);
  } else {
    if (rendered == ferrule::RenderResult::Ready) {
      job.file = printable.file;
      job.mimeType = printable.mimeType;
    } else {
      Trace("PrintFile: the print verb hands the document over as it is: " + why);
    }
    const print::Submission s = backend.Submit(job);
    taken = s.status == print::Status::Ok;
    if (!taken)
      Trace("PrintFile: the print verb failed: " + path + ": " + print::StatusText(s.status) + ": " + s.error);
    else
      Trace("PrintFile: printed by the print verb on " + s.destination + ": " + path);
  }
  if (!workFolder.empty()) platform::RemoveTree(workFolder);
  return taken;
}

bool PrintImportedFile(PrintContext& context, const std::string& path, int mode) {
  bool down = false;
  if (PrintFile(context, path, mode, &down) == 1) return true;
  if (down) {
    Trace("PrintFile: Failed - the scheduler does not answer, not printed: " + path);
    return false;
  }
  if (context.backend == nullptr || !ShellPrint(*context.backend, path)) {
    Trace("PrintFile: Failed");
    return false;
  }
  return true;
}

// ---- ImportPrinter ----

ImportPrinter::ImportPrinter(std::string programFolder, PrintContext context)
    : programFolder_(std::move(programFolder)), context_(std::move(context)) {
  if (context_.backend == nullptr) context_.backend = &print::SystemBackend();
}

bool ImportPrinter::Print(const std::string& path, int mode) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (plugin_ == nullptr && (!tried_ || platform::SteadyMs() - triedAtMs_ >= kPluginRetryMs)) {
    tried_ = true;
    triedAtMs_ = platform::SteadyMs();
    plugin_ = OutputPlugin::Open(programFolder_, context_.productName);
  }
  context_.plugin = plugin_.get();
  return PrintImportedFile(context_, path, mode);
}

}  // namespace zv::monitor
