// Printing in tests: a recording stand-in for the scheduler, and the PDF
// queue of the machine's own scheduler for the integration tests.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/print.h"

namespace zv::testing {

// Records every job instead of printing it. Destinations and the default are
// what the test puts in; `failure` (when not Ok) is what every call answers.
class RecordingPrintBackend : public platform::print::Backend {
 public:
  struct Recorded {
    platform::print::Job job;  // destination resolved to the one used
    std::string data;          // the document's bytes when it was handed over
  };

  std::vector<platform::print::Destination> destinations;
  std::string defaultName;
  platform::print::Status failure = platform::print::Status::Ok;

  // Adds a destination with its defaults ("copies=1 media=iso_a4_210x297mm").
  void AddDestination(const std::string& name, const std::string& defaults = {});
  std::vector<Recorded> jobs() const;
  int calls() const;

  platform::print::Status ListDestinations(std::vector<platform::print::Destination>& out,
                                           std::string* error = nullptr) override;
  platform::print::Status GetDestination(const std::string& name, platform::print::Destination& out,
                                         std::string* error = nullptr) override;
  platform::print::Status DefaultDestination(std::string& name, std::string* error = nullptr) override;
  platform::print::Submission Submit(const platform::print::Job& job) override;

 private:
  const platform::print::Destination* Find(const std::string& name) const;
  mutable std::mutex mutex_;
  std::vector<Recorded> jobs_;
  int calls_ = 0;
};

// A scheduler that takes connections on 127.0.0.1 and never answers: the
// picture of a hung scheduler. `server()` is "127.0.0.1:<port>".
class SilentScheduler {
 public:
  SilentScheduler();
  ~SilentScheduler();
  SilentScheduler(const SilentScheduler&) = delete;
  SilentScheduler& operator=(const SilentScheduler&) = delete;
  int port() const { return port_; }
  std::string server() const { return "127.0.0.1:" + std::to_string(port_); }
  // Stops listening: the port then refuses connections. Returns the port.
  int Close();

 private:
  int fd_ = -1;
  int port_ = 0;
};

// The PDF queue that tools/print-scheduler sets up (name from
// $ZV_PRINT_TEST_QUEUE, default "zv-pdf") and the folder where its output
// for this user lands. nullopt, with the reason in `whyNot`, when the
// scheduler or the queue is not there: the caller skips.
struct PdfQueue {
  std::string name;
  std::string outFolder;
};
std::optional<PdfQueue> FindPdfQueue(std::string& whyNot);
// Waits up to timeoutMs for a PDF in the queue's output folder whose name
// holds `fragment` (the job's title is in the name) and whose size has
// stayed put; its path, "" when none came.
std::string WaitForPdfOutput(const PdfQueue& queue, const std::string& fragment, int timeoutMs = 60'000);

}  // namespace zv::testing
