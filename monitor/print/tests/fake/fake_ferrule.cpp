// A recording output plug-in for the tests: one line per call in the file
// named by ZV_FAKE_FERRULE_LOG; the command (or "op<N>" operation) named by
// ZV_FAKE_FERRULE_FAIL fails, a failing print reporting the status in
// ZV_FAKE_FERRULE_STATUS.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ferrule/Ferrule.h"

namespace {

void Record(const std::string& line) {
  const char* log = std::getenv("ZV_FAKE_FERRULE_LOG");
  if (log == nullptr) return;
  if (std::FILE* f = std::fopen(log, "a")) {
    std::fputs((line + "\n").c_str(), f);
    std::fclose(f);
  }
}

bool Fails(const std::string& what) {
  const char* fail = std::getenv("ZV_FAKE_FERRULE_FAIL");
  return fail != nullptr && what == fail;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int ManOutputPlugin(int operation, int32_t connection,
                                                                      void* parameter) {
  Record("op " + std::to_string(operation) + " " + std::to_string(connection));
  if (Fails("op" + std::to_string(operation))) return 0;
  switch (operation) {
    case FERRULE_OP_OPEN: {
      auto* b = static_cast<FerruleOpenBlock*>(parameter);
      b->connection = 7;
      b->outputs = 2;
      return 1;
    }
    case FERRULE_OP_OUTPUT: {
      auto* b = static_cast<FerruleOutputBlock*>(parameter);
      b->type = b->index == 2 ? FERRULE_OUTPUT_PRINTER : 10;
      return 1;
    }
    case FERRULE_OP_COMMAND: break;
    default: return 1;
  }
  auto* c = static_cast<FerruleCommandBlock*>(parameter);
  std::string line = "cmd " + std::to_string(c->command) + " job " + std::to_string(c->job);
  switch (c->command) {
    case FERRULE_CMD_OPEN: static_cast<FerruleJobBlock*>(c->parameter)->job = 42; break;
    case FERRULE_CMD_SET_MODE: {
      const auto* m = static_cast<const FerruleModeBlock*>(c->parameter);
      line += " mode " + std::to_string(m->values[0]) + "," + std::to_string(m->values[1]);
      break;
    }
    case FERRULE_CMD_ADD_FILE: line += std::string(" file ") + static_cast<const char*>(c->parameter); break;
    case FERRULE_CMD_GET_PRINT_INFO: static_cast<FerrulePrintInfo*>(c->parameter)->pages = 1; break;
    case FERRULE_CMD_SET_PRINT_AREA: {
      const auto* a = static_cast<const FerruleAreaBlock*>(c->parameter);
      line += std::string(" printer=") + a->printer + " copies=" + std::to_string(a->copies) +
              " collate=" + std::to_string(a->collate) +
              " options=" + (a->options ? std::string(a->options, static_cast<std::size_t>(a->optionsLength)) : "");
      break;
    }
    default: break;
  }
  Record(line);
  if (Fails(std::to_string(c->command))) {
    const char* status = std::getenv("ZV_FAKE_FERRULE_STATUS");
    if (c->command == FERRULE_CMD_PRINT && c->parameter != nullptr)
      *static_cast<int32_t*>(c->parameter) = status ? std::atoi(status) : FERRULE_STATUS_REFUSED;
    return 0;
  }
  return 1;
}
