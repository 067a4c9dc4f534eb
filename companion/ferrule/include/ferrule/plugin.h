// The output plug-in behind libFerrule.so: connections, print jobs and their
// commands, and the rendering of a document into what the scheduler takes.
//
// A PDF is printed as it is; an image is made a PDF by the image library; an
// office or text document by the office program (as the PDF writer does).
// Each added document becomes one job of the print layer, with the option
// string of the print area as its job options and nothing else.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "ferrule/Ferrule.h"
#include "platform/print.h"

namespace zv::companion::ferrule {

class Plugin {
 public:
  explicit Plugin(platform::print::Backend& backend) : backend_(backend) {}
  ~Plugin();
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  // ManOutputPlugin's contract (Ferrule.h). Never throws.
  int Call(int operation, std::int32_t connection, void* parameter);

 private:
  struct Document {
    std::string source;    // as added
    std::string printed;   // what goes to the scheduler (the source or a rendered PDF)
    std::string mimeType;  // of `printed`
    int pages = 0;
  };
  struct Job {
    bool modeSet = false;
    bool areaSet = false;
    bool rendered = false;
    std::vector<Document> documents;
    FerrulePrintInfo info{};
    std::string printer;
    std::string options;
    std::string workFolder;  // rendered PDFs; removed with the job
  };
  struct Connection {
    std::map<std::int32_t, Job> jobs;
    std::int32_t nextJob = 1;
  };

  int Command(Connection& connection, FerruleCommandBlock& block);
  bool Render(Job& job);
  int Print(Job& job, std::int32_t* status);
  static void Discard(Job& job);

  platform::print::Backend& backend_;
  std::mutex mutex_;
  std::map<std::int32_t, Connection> connections_;
  std::int32_t nextConnection_ = 1;
};

}  // namespace zv::companion::ferrule
