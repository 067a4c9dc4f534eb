// The recording print stand-in and the integration tests' PDF queue.
#include "testing/fake_print.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/fs.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "testing/files.h"

namespace zv::testing {

namespace print = platform::print;

void RecordingPrintBackend::AddDestination(const std::string& name, const std::string& defaults) {
  print::Destination d;
  d.name = name;
  d.defaults = print::ParseOptions(defaults);
  std::lock_guard<std::mutex> lock(mutex_);
  destinations.push_back(std::move(d));
}

std::vector<RecordingPrintBackend::Recorded> RecordingPrintBackend::jobs() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return jobs_;
}

int RecordingPrintBackend::calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

const print::Destination* RecordingPrintBackend::Find(const std::string& name) const {
  for (const print::Destination& d : destinations) {
    if (platform::EqualsNoCase(d.name, name)) return &d;
  }
  return nullptr;
}

print::Status RecordingPrintBackend::ListDestinations(std::vector<print::Destination>& out, std::string* error) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++calls_;
  out.clear();
  if (failure != print::Status::Ok) {
    if (error) *error = print::StatusText(failure);
    return failure;
  }
  for (print::Destination d : destinations) {
    d.isDefault = platform::EqualsNoCase(d.name, defaultName);
    out.push_back(std::move(d));
  }
  return print::Status::Ok;
}

print::Status RecordingPrintBackend::GetDestination(const std::string& name, print::Destination& out,
                                                    std::string* error) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++calls_;
  if (failure != print::Status::Ok) {
    if (error) *error = print::StatusText(failure);
    return failure;
  }
  const print::Destination* d = Find(name);
  if (d == nullptr) {
    if (error) *error = "no destination " + name;
    return print::Status::NoDestination;
  }
  out = *d;
  return print::Status::Ok;
}

print::Status RecordingPrintBackend::DefaultDestination(std::string& name, std::string* error) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++calls_;
  name.clear();
  if (failure != print::Status::Ok) {
    if (error) *error = print::StatusText(failure);
    return failure;
  }
  if (defaultName.empty()) return print::Status::NoDestination;
  name = defaultName;
  return print::Status::Ok;
}

print::Submission RecordingPrintBackend::Submit(const print::Job& job) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++calls_;
  print::Submission s;
  if (failure != print::Status::Ok) {
    s.status = failure;
    s.error = print::StatusText(failure);
    return s;
  }
  if (!platform::IsFile(job.file)) {
    s.status = print::Status::BadFile;
    return s;
  }
  const std::string name = job.destination.empty() ? defaultName : job.destination;
  const print::Destination* d = Find(name);
  if (d == nullptr) {
    s.status = print::Status::NoDestination;
    return s;
  }
  Recorded r{job, ReadText(job.file)};
  r.job.destination = d->name;
  jobs_.push_back(std::move(r));
  s.status = print::Status::Ok;
  s.jobId = static_cast<int>(jobs_.size());
  s.destination = d->name;
  return s;
}

SilentScheduler::SilentScheduler() {
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd_, 64) != 0 ||
      getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
    return;
  port_ = ntohs(a.sin_port);
}

SilentScheduler::~SilentScheduler() { Close(); }

int SilentScheduler::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  return port_;
}

namespace {

// The "Out" folder of the PDF printer's settings, its variables expanded.
std::string PdfOutFolder() {
  const char* conf = std::getenv("ZV_PRINT_TEST_CONF");
  std::string out = "${HOME}/PDF";
  for (const std::string& line : Lines(ReadText(conf && *conf ? conf : "/etc/cups/cups-pdf.conf"))) {
    if (line.rfind("Out ", 0) == 0 || line.rfind("Out\t", 0) == 0) out = std::string(platform::Trim(line.substr(4)));
  }
  const char* home = std::getenv("HOME");
  for (auto [var, value] : {std::pair<std::string, std::string>{"${USER}", platform::UserName()},
                            std::pair<std::string, std::string>{"${HOME}", home ? home : ""}}) {
    for (std::size_t at; (at = out.find(var)) != std::string::npos;) out.replace(at, var.size(), value);
  }
  return out;
}

}  // namespace

std::optional<PdfQueue> FindPdfQueue(std::string& whyNot) {
  const char* named = std::getenv("ZV_PRINT_TEST_QUEUE");
  PdfQueue queue{named && *named ? named : "zv-pdf", PdfOutFolder()};
  print::Destination d;
  std::string error;
  const print::Status status = print::SystemBackend().GetDestination(queue.name, d, &error);
  if (status != print::Status::Ok) {
    whyNot = "no PDF print queue \"" + queue.name + "\" (" + print::StatusText(status) + ": " + error +
             "); tools/print-scheduler sets one up as root";
    return std::nullopt;
  }
  return queue;
}

std::string WaitForPdfOutput(const PdfQueue& queue, const std::string& fragment, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::string seen;
  std::uint64_t lastSize = 0;
  while (std::chrono::steady_clock::now() < end) {
    std::string found;
    for (const std::string& name : Names(queue.outFolder)) {
      if (name.find(fragment) != std::string::npos && platform::EqualsNoCase(platform::Extension(name), "pdf"))
        found = queue.outFolder + "/" + name;
    }
    if (!found.empty()) {
      const std::uint64_t size = platform::FileSize(found).value_or(0);
      if (found == seen && size == lastSize && size > 0) return found;
      seen = found;
      lastSize = size;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  return {};
}

}  // namespace zv::testing
