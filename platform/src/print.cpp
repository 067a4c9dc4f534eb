// Printing through the CUPS scheduler, every request under a time limit.
//
// The requests are made here on one connection of our own: the library's
// convenience calls open connections of their own with their own (long)
// time-outs and browse the network for destinations they do not find, which
// would put the caller's thread at the mercy of a dead scheduler.
#include "platform/print.h"

#include <cups/cups.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "platform/text.h"

namespace zv::platform::print {

namespace {

using Clock = std::chrono::steady_clock;

std::string EnvText(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr ? std::string(v) : std::string();
}

// Never asks anybody for a password: a prompt on a terminal would block.
const char* NoPassword(const char*, http_t*, const char*, const char*, void*) { return nullptr; }

struct Deadline {
  Clock::time_point end;
  explicit Deadline(int ms) : end(Clock::now() + std::chrono::milliseconds(std::max(ms, 1))) {}
  bool Passed() const { return Clock::now() >= end; }
  int RemainingMs() const {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
  }
};

// Called by the library each time a wait on the connection runs out: go on
// waiting while the call's time is not up.
int KeepWaiting(http_t*, void* data) { return static_cast<const Deadline*>(data)->Passed() ? 0 : 1; }

struct HttpCloser {
  void operator()(http_t* http) const { httpClose(http); }
};
struct IppDeleter {
  void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};
using HttpPtr = std::unique_ptr<http_t, HttpCloser>;
using IppPtr = std::unique_ptr<ipp_t, IppDeleter>;

bool ValidName(const std::string& name) {
  if (name.empty() || name.size() > 127) return false;
  for (unsigned char c : name) {
    if (c <= ' ' || c == 127 || c == '/' || c == '#' || c == '\\' || c == '\'' || c == '"') return false;
  }
  return true;
}

std::string DefaultSuffixStripped(const char* attrName) {
  std::string n = attrName;
  const std::string suffix = "-default";
  if (n.size() > suffix.size() && n.compare(n.size() - suffix.size(), suffix.size(), suffix) == 0)
    n.resize(n.size() - suffix.size());
  return n;
}

// "Default NAME[/instance] ..." of an lpoptions file.
std::string LpoptionsDefault(const std::string& file) {
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    std::size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (line.size() - i < 8 || !EqualsNoCase(std::string_view(line).substr(i, 7), "default") ||
        (line[i + 7] != ' ' && line[i + 7] != '\t'))
      continue;
    i += 8;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    std::size_t end = i;
    while (end < line.size() && line[end] != ' ' && line[end] != '\t' && line[end] != '/' && line[end] != '\r') ++end;
    if (end > i) return line.substr(i, end - i);
  }
  return {};
}

class CupsBackend final : public Backend {
 public:
  explicit CupsBackend(const CupsSettings& settings) : settings_(settings) {}

  Status ListDestinations(std::vector<Destination>& out, std::string* error) override {
    out.clear();
    Deadline deadline(settings_.callMs);
    Session s(*this, deadline);
    if (s.status != Status::Ok) return Fail(s.status, s.error, error);
    std::string defaultName = ClientDefault();
    if (defaultName.empty()) {
      const Status st = ServerDefault(s, defaultName, error);
      if (st != Status::Ok && st != Status::NoDestination) return st;
    }
    ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
    AskDefaults(request);
    IppPtr response = s.Request(request, "/");
    if (!response) {
      // A scheduler without any destination answers "not found".
      if (s.status == Status::NoDestination) return Status::Ok;
      return Fail(s.status, s.error, error);
    }
    Destination current;
    bool open = false;
    for (ipp_attribute_t* a = ippFirstAttribute(response.get()); a != nullptr; a = ippNextAttribute(response.get())) {
      if (ippGetName(a) == nullptr) {  // the end of one destination's group
        if (open && !current.name.empty()) out.push_back(Finish(current, defaultName));
        current = Destination();
        open = false;
        continue;
      }
      open = true;
      Take(current, a);
    }
    if (open && !current.name.empty()) out.push_back(Finish(current, defaultName));
    return Status::Ok;
  }

  Status GetDestination(const std::string& name, Destination& out, std::string* error) override {
    out = Destination();
    if (!ValidName(name)) return Fail(Status::NoDestination, "not a destination name: " + name, error);
    Deadline deadline(settings_.callMs);
    Session s(*this, deadline);
    if (s.status != Status::Ok) return Fail(s.status, s.error, error);
    return Lookup(s, name, out, error);
  }

  Status DefaultDestination(std::string& name, std::string* error) override {
    name = ClientDefault();
    if (!name.empty()) return Status::Ok;
    Deadline deadline(settings_.callMs);
    Session s(*this, deadline);
    if (s.status != Status::Ok) return Fail(s.status, s.error, error);
    return ServerDefault(s, name, error);
  }

  Submission Submit(const Job& job) override {
    Submission result;
    std::FILE* file = std::fopen(job.file.c_str(), "rb");
    if (file == nullptr) {
      result.status = Status::BadFile;
      result.error = "cannot read " + job.file;
      return result;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(file, &std::fclose);
    cups_option_t* options = nullptr;
    const int count = cupsParseOptions(job.options.c_str(), 0, &options);
    struct OptionsFree {
      int n;
      cups_option_t* o;
      ~OptionsFree() { cupsFreeOptions(n, o); }
    } freeOptions{count, options};

    Deadline deadline(settings_.callMs);
    Session s(*this, deadline);
    if (s.status != Status::Ok) return Failed(result, s);
    std::string name = job.destination;
    if (name.empty()) {
      name = ClientDefault();
      if (name.empty() && ServerDefault(s, name, &result.error) != Status::Ok) {
        result.status = s.status == Status::Ok ? Status::NoDestination : s.status;
        return result;
      }
    }
    result.destination = name;
    if (!ValidName(name)) {
      result.status = Status::NoDestination;
      result.error = "not a destination name: " + name;
      return result;
    }
    const std::string resource = "/printers/" + name;
    std::string title = job.title;
    if (title.empty()) {
      const std::size_t slash = job.file.rfind('/');
      title = slash == std::string::npos ? job.file : job.file.substr(slash + 1);
    }

    ipp_t* create = ippNewRequest(IPP_OP_CREATE_JOB);
    AddPrinterUri(create, name);
    ippAddString(create, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    ippAddString(create, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, title.c_str());
    cupsEncodeOptions2(create, count, options, IPP_TAG_OPERATION);
    cupsEncodeOptions2(create, count, options, IPP_TAG_JOB);
    IppPtr created = s.Request(create, resource);
    if (!created) return Failed(result, s);
    if (ipp_attribute_t* a = ippFindAttribute(created.get(), "job-id", IPP_TAG_INTEGER))
      result.jobId = ippGetInteger(a, 0);
    if (result.jobId <= 0) {
      result.status = Status::Refused;
      result.error = "the scheduler gave no job number";
      return result;
    }

    const char* format = job.mimeType.empty() ? CUPS_FORMAT_AUTO : job.mimeType.c_str();
    bool sent =
        cupsStartDocument(s.http.get(), name.c_str(), result.jobId, title.c_str(), format, 1) == HTTP_STATUS_CONTINUE;
    std::vector<char> buffer(64 * 1024);
    bool readFailed = false;
    while (sent) {
      const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), file);
      if (n == 0) {
        readFailed = std::ferror(file) != 0;
        break;
      }
      sent = cupsWriteRequestData(s.http.get(), buffer.data(), n) == HTTP_STATUS_CONTINUE;
    }
    // Always ends the request, so the connection stays usable for a cancel.
    const ipp_status_t finished = cupsFinishDocument(s.http.get(), name.c_str());
    if (sent && !readFailed && finished <= IPP_STATUS_OK_CONFLICTING && !deadline.Passed()) {
      result.status = Status::Ok;
      return result;
    }
    s.Classify(finished);
    if (readFailed) {
      s.status = Status::BadFile;
      s.error = "cannot read " + job.file;
    }
    Failed(result, s);
    // The job must not wait for data that will never come.
    if (!deadline.Passed()) {
      ipp_t* cancel = ippNewRequest(IPP_OP_CANCEL_JOB);
      AddPrinterUri(cancel, name);
      ippAddInteger(cancel, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", result.jobId);
      ippAddString(cancel, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
      s.Request(cancel, "/jobs/");
    }
    return result;
  }

 private:
  // One connection to the scheduler for one call.
  struct Session {
    HttpPtr http;
    Status status = Status::Ok;
    std::string error;
    const Deadline& deadline;

    Session(const CupsBackend& owner, const Deadline& d) : deadline(d) {
      cupsSetPasswordCB2(&NoPassword, nullptr);
      std::string host = owner.settings_.server;
      if (host.empty()) host = EnvText("CUPS_SERVER");
      int port = ippPort();
      if (host.empty()) {
        host = cupsServer();
      } else if (host[0] != '/') {
        // "host:port"; an IPv6 address comes in brackets.
        const std::size_t colon = host.rfind(':');
        const std::size_t bracket = host.rfind(']');
        if (colon != std::string::npos && (bracket == std::string::npos || colon > bracket)) {
          port = std::atoi(host.c_str() + colon + 1);
          host.resize(colon);
        }
        if (host.size() > 1 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
      }
      const int connectMs = std::min(owner.settings_.connectMs, d.RemainingMs());
      http.reset(
          httpConnect2(host.c_str(), port, nullptr, AF_UNSPEC, cupsEncryption(), 1, std::max(connectMs, 1), nullptr));
      if (!http) {
        status = d.Passed() || connectMs < owner.settings_.connectMs ? Status::TimedOut : Status::Unreachable;
        error = "no scheduler answers at " + host + ": " + cupsLastErrorString();
        return;
      }
      // Short waits, so that the deadline is checked often.
      httpSetTimeout(http.get(), 0.25, &KeepWaiting, const_cast<Deadline*>(&deadline));
    }

    // Sends a request (taking it over); the response when the scheduler
    // took it, else nullptr with status and error set.
    IppPtr Request(ipp_t* request, const std::string& resource) {
      if (deadline.Passed()) {
        ippDelete(request);
        status = Status::TimedOut;
        error = "the scheduler did not answer in time";
        return nullptr;
      }
      IppPtr response(cupsDoRequest(http.get(), request, resource.c_str()));
      const ipp_status_t code = cupsLastError();
      if (response && code <= IPP_STATUS_OK_CONFLICTING && !deadline.Passed()) {
        status = Status::Ok;
        return response;
      }
      Classify(code);
      return nullptr;
    }

    void Classify(ipp_status_t code) {
      if (deadline.Passed()) {
        status = Status::TimedOut;
        error = "the scheduler did not answer in time";
        return;
      }
      error = cupsLastErrorString() != nullptr ? cupsLastErrorString() : ippErrorString(code);
      if (code == IPP_STATUS_ERROR_NOT_FOUND)
        status = Status::NoDestination;
      else if (code == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE || code == IPP_STATUS_ERROR_INTERNAL)
        status = Status::Unreachable;
      else
        status = Status::Refused;
    }
  };

  static Status Fail(Status status, const std::string& text, std::string* error) {
    if (error != nullptr) *error = text;
    return status;
  }
  static Submission& Failed(Submission& result, const Session& s) {
    result.status = s.status == Status::Ok ? Status::Refused : s.status;
    result.error = s.error;
    return result;
  }

  static void AddPrinterUri(ipp_t* request, const std::string& name) {
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(), "/printers/%s",
                     name.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
  }

  static void AskDefaults(ipp_t* request) {
    static const char* const kWanted[] = {"printer-name", "printer-defaults"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 2, nullptr, kWanted);
  }

  static void Take(Destination& d, ipp_attribute_t* a) {
    const char* attrName = ippGetName(a);
    if (std::string_view(attrName) == "printer-name" && ippGetValueTag(a) == IPP_TAG_NAME) {
      d.name = ippGetString(a, 0, nullptr);
      return;
    }
    const std::string_view n(attrName);
    if (n.size() <= 8 || n.substr(n.size() - 8) != "-default") return;
    std::vector<char> text(ippAttributeString(a, nullptr, 0) + 1);
    ippAttributeString(a, text.data(), text.size());
    d.defaults.push_back({DefaultSuffixStripped(attrName), text.data()});
  }

  static Destination Finish(Destination d, const std::string& defaultName) {
    std::sort(d.defaults.begin(), d.defaults.end(), [](const Option& a, const Option& b) { return a.name < b.name; });
    d.isDefault = !defaultName.empty() && EqualsNoCase(d.name, defaultName);
    return d;
  }

  Status Lookup(Session& s, const std::string& name, Destination& out, std::string* error) {
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    AddPrinterUri(request, name);
    AskDefaults(request);
    IppPtr response = s.Request(request, "/");
    if (!response) return Fail(s.status, s.error, error);
    for (ipp_attribute_t* a = ippFirstAttribute(response.get()); a != nullptr; a = ippNextAttribute(response.get())) {
      if (ippGetName(a) != nullptr && ippGetGroupTag(a) == IPP_TAG_PRINTER) Take(out, a);
    }
    if (out.name.empty()) out.name = name;
    out = Finish(std::move(out), {});
    return Status::Ok;
  }

  // The default that the client's own settings name, "" when none does.
  static std::string ClientDefault() {
    std::string name = EnvText("LPDEST");
    if (name.empty()) {
      name = EnvText("PRINTER");
      if (name == "lp") name.clear();  // the traditional placeholder
    }
    if (name.empty()) {
      const std::string home = EnvText("HOME");
      if (!home.empty()) name = LpoptionsDefault(home + "/.cups/lpoptions");
    }
    if (name.empty()) name = LpoptionsDefault("/etc/cups/lpoptions");
    return name.substr(0, name.find('/'));
  }

  static Status ServerDefault(Session& s, std::string& name, std::string* error) {
    name.clear();
    IppPtr response = s.Request(ippNewRequest(IPP_OP_CUPS_GET_DEFAULT), "/");
    if (!response) return Fail(s.status, s.status == Status::NoDestination ? "no default destination" : s.error, error);
    if (ipp_attribute_t* a = ippFindAttribute(response.get(), "printer-name", IPP_TAG_NAME))
      name = ippGetString(a, 0, nullptr);
    if (name.empty()) return Fail(Status::NoDestination, "no default destination", error);
    return Status::Ok;
  }

  CupsSettings settings_;
};

}  // namespace

Options ParseOptions(std::string_view text) {
  const std::string copy(text);
  cups_option_t* options = nullptr;
  const int count = cupsParseOptions(copy.c_str(), 0, &options);
  Options out;
  out.reserve(static_cast<std::size_t>(std::max(count, 0)));
  for (int i = 0; i < count; ++i) out.push_back({options[i].name, options[i].value});
  cupsFreeOptions(count, options);
  return out;
}

std::string OptionValue(const Options& options, std::string_view name) {
  for (const Option& o : options) {
    if (EqualsNoCase(o.name, name)) return o.value;
  }
  return {};
}

const char* StatusText(Status status) {
  switch (status) {
    case Status::Ok: return "ok";
    case Status::Unreachable: return "no scheduler";
    case Status::TimedOut: return "the scheduler did not answer in time";
    case Status::NoDestination: return "no such destination";
    case Status::Refused: return "refused by the scheduler";
    case Status::BadFile: return "the document cannot be read";
  }
  return "?";
}

std::unique_ptr<Backend> MakeCupsBackend(const CupsSettings& settings) {
  return std::make_unique<CupsBackend>(settings);
}

Backend& SystemBackend() {
  static CupsBackend backend{CupsSettings{}};
  return backend;
}

}  // namespace zv::platform::print
