// The output plug-in's connections and print jobs.
#include "ferrule/plugin.h"

#include <algorithm>
#include <cstring>

#include "companion/trace.h"
#include "ferrule/render.h"
#include "platform/fs.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace zv::companion::ferrule {

namespace print = platform::print;

namespace {

constexpr const char* kTag = "_Ferrule";

void Trace(const std::string& text) { ZV_TRACE(kTag, text); }

void CopyText(char* target, std::size_t size, std::string_view text) {
  const std::size_t n = std::min(size - 1, text.size());
  std::memcpy(target, text.data(), n);
  target[n] = '\0';
}

// The text of a fixed field, up to its first zero.
std::string FieldText(const char* field, std::size_t size) { return std::string(field, strnlen(field, size)); }

std::int32_t StatusCode(print::Status status) {
  switch (status) {
    case print::Status::Ok: return FERRULE_STATUS_OK;
    case print::Status::Unreachable:
    case print::Status::TimedOut: return FERRULE_STATUS_NO_SCHEDULER;
    case print::Status::NoDestination: return FERRULE_STATUS_NO_PRINTER;
    case print::Status::Refused: return FERRULE_STATUS_REFUSED;
    case print::Status::BadFile: return FERRULE_STATUS_NO_DOCUMENT;
  }
  return FERRULE_STATUS_REFUSED;
}

}  // namespace

Plugin::~Plugin() {
  for (auto& [id, connection] : connections_) {
    for (auto& [jobId, job] : connection.jobs) Discard(job);
  }
}

void Plugin::Discard(Job& job) {
  if (!job.workFolder.empty()) platform::RemoveTree(job.workFolder);
  job.workFolder.clear();
  job.documents.clear();
  job.rendered = false;
}

int Plugin::Call(int operation, std::int32_t connection, void* parameter) {
  std::lock_guard<std::mutex> lock(mutex_);
  switch (operation) {
    case FERRULE_OP_OPEN: {
      if (connection != 0 || parameter == nullptr) return 0;
      auto* block = static_cast<FerruleOpenBlock*>(parameter);
      const std::int32_t id = nextConnection_++;
      connections_[id];
      block->connection = id;
      block->outputs = 1;
      return 1;
    }
    case FERRULE_OP_CLOSE: {
      auto it = connections_.find(connection);
      if (it == connections_.end()) return 0;
      for (auto& [jobId, job] : it->second.jobs) Discard(job);
      connections_.erase(it);
      return 1;
    }
    case FERRULE_OP_RESET: {
      auto it = connections_.find(connection);
      if (parameter != nullptr) *static_cast<std::int32_t*>(parameter) = 0;
      if (it == connections_.end()) return 0;
      for (auto& [jobId, job] : it->second.jobs) Discard(job);
      it->second.jobs.clear();
      return 1;
    }
    case FERRULE_OP_OUTPUT: {
      if (parameter == nullptr || connections_.count(connection) == 0) return 0;
      auto* block = static_cast<FerruleOutputBlock*>(parameter);
      if (block->index != 1) return 0;
      const std::int32_t index = block->index;
      std::memset(block, 0, sizeof *block);
      block->index = index;
      CopyText(block->name, sizeof block->name, "Printer");
      block->type = FERRULE_OUTPUT_PRINTER;
      return 1;
    }
    case FERRULE_OP_COMMAND: {
      auto it = connections_.find(connection);
      if (it == connections_.end() || parameter == nullptr) return 0;
      auto* block = static_cast<FerruleCommandBlock*>(parameter);
      if (block->flag != 1) return 0;
      return Command(it->second, *block);
    }
    default: return 0;
  }
}

int Plugin::Command(Connection& connection, FerruleCommandBlock& block) {
  if (block.command == FERRULE_CMD_OPEN) {
    if (block.job != 0 || block.parameter == nullptr) return 0;
    const std::int32_t id = connection.nextJob++;
    connection.jobs[id];
    static_cast<FerruleJobBlock*>(block.parameter)->job = id;
    return 1;
  }
  auto it = connection.jobs.find(block.job);
  if (it == connection.jobs.end()) return 0;
  Job& job = it->second;
  switch (block.command) {
    case FERRULE_CMD_CLOSE:
      Discard(job);
      connection.jobs.erase(it);
      return 1;
    case FERRULE_CMD_CLEAR: {
      Discard(job);
      job = Job();
      return 1;
    }
    case FERRULE_CMD_SET_MODE: {
      const auto* mode = static_cast<const FerruleModeBlock*>(block.parameter);
      if (mode == nullptr) return 0;
      job.modeSet = true;
      return 1;
    }
    case FERRULE_CMD_ADD_FILE: {
      const char* path = static_cast<const char*>(block.parameter);
      if (!job.modeSet || path == nullptr || !platform::IsFile(path)) return 0;
      Document d;
      d.source = path;
      job.documents.push_back(std::move(d));
      job.rendered = false;
      return 1;
    }
    case FERRULE_CMD_GET_PRINT_INFO: {
      auto* info = static_cast<FerrulePrintInfo*>(block.parameter);
      if (info == nullptr || job.documents.empty() || !Render(job)) return 0;
      *info = job.info;
      return 1;
    }
    case FERRULE_CMD_SET_PRINT_AREA: {
      const auto* area = static_cast<const FerruleAreaBlock*>(block.parameter);
      if (area == nullptr || !job.rendered) return 0;
      job.printer = FieldText(area->printer, sizeof area->printer);
      job.options = area->options != nullptr && area->optionsLength > 0
                        ? std::string(area->options, static_cast<std::size_t>(area->optionsLength))
                        : std::string();
      job.areaSet = true;
      return 1;
    }
    case FERRULE_CMD_PRINT: return Print(job, static_cast<std::int32_t*>(block.parameter));
    default: return 0;
  }
}

// Makes every added document printable and fills the print information.
bool Plugin::Render(Job& job) {
  if (job.rendered) return true;
  job.info = FerrulePrintInfo{};
  std::string kind;
  for (Document& d : job.documents) {
    PrintableDocument printable;
    std::string why;
    if (RenderForPrint(d.source, job.workFolder, std::to_string(&d - job.documents.data()), printable, why) !=
        RenderResult::Ready) {
      Trace("Render: " + why);
      return false;
    }
    d.printed = printable.file;
    d.mimeType = printable.mimeType;
    d.pages = printable.pages;
    kind = printable.kind;
    job.info.pages += d.pages;
  }
  CopyText(job.info.kind, sizeof job.info.kind, job.documents.size() == 1 ? kind : "mixed");
  job.rendered = true;
  return true;
}

int Plugin::Print(Job& job, std::int32_t* status) {
  if (status != nullptr) *status = FERRULE_STATUS_NO_DOCUMENT;
  if (!job.rendered || !job.areaSet) return 0;
  for (const Document& d : job.documents) {
    print::Job request;
    request.destination = job.printer;
    request.file = d.printed;
    request.mimeType = d.mimeType;
    request.options = job.options;
    request.title = platform::LastComponent(d.source);
    const print::Submission s = backend_.Submit(request);
    if (status != nullptr) *status = StatusCode(s.status);
    if (s.status != print::Status::Ok) {
      Trace("Print: " + d.source + " to \"" + (job.printer.empty() ? "(default)" : job.printer) +
            "\" failed: " + print::StatusText(s.status) + ": " + s.error);
      return 0;
    }
    Trace("Print: " + d.source + " is job " + std::to_string(s.jobId) + " of " + s.destination);
  }
  return 1;
}

}  // namespace zv::companion::ferrule
