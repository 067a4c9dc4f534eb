// Printing: destinations and jobs of the CUPS scheduler.
//
// Every call to the scheduler runs under a time limit: a scheduler that is
// gone answers "unreachable" at once, one that hangs costs the limit, never
// the caller's thread. Nothing here changes a destination's settings or the
// default destination: the options of a job travel with that job only.
//
// Callers hold a Backend, so that their tests can put a recording one in its
// place (testing/fake_print.h).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zv::platform::print {

struct Option {
  std::string name;
  std::string value;
  bool operator==(const Option&) const = default;
};
using Options = std::vector<Option>;

// Parses an option string ("copies=2 media=iso_a4_210x297mm sides=one-sided")
// as the scheduler's clients do: blank-separated name=value pairs, quotes and
// backslashes inside values, a bare name meaning "true" and "noname"
// meaning name=false. A later duplicate replaces the earlier one in place.
Options ParseOptions(std::string_view text);
// The value of `name` in `options`, "" when missing (ASCII case-insensitive).
std::string OptionValue(const Options& options, std::string_view name);

enum class Status {
  Ok,
  Unreachable,    // no scheduler answers (refused, not running, no socket)
  TimedOut,       // the scheduler did not answer within the limit
  NoDestination,  // the destination does not exist (or there is no default)
  Refused,        // the scheduler refused the request (says why in `error`)
  BadFile,        // the document cannot be read
};
const char* StatusText(Status status);

struct Destination {
  std::string name;
  bool isDefault = false;  // filled by ListDestinations
  // The destination's own defaults as the scheduler reports them
  // ("copies" for "copies-default", "media", "sides", ...), sorted by name.
  Options defaults;
};

struct Job {
  std::string destination;  // empty: the default destination
  std::string file;         // the document, sent as it is
  std::string mimeType;     // empty: the scheduler types the document
  std::string options;      // an option string as ParseOptions reads it
  std::string title;        // empty: the document's file name
};

struct Submission {
  Status status = Status::Unreachable;
  int jobId = 0;
  std::string destination;  // where the job went
  std::string error;        // the scheduler's text or ours, for traces
};

class Backend {
 public:
  virtual ~Backend() = default;
  // Every destination of the scheduler.
  virtual Status ListDestinations(std::vector<Destination>& out, std::string* error = nullptr) = 0;
  // One destination by name (ASCII case-insensitive, as the scheduler
  // names them); NoDestination when the scheduler does not know it.
  virtual Status GetDestination(const std::string& name, Destination& out, std::string* error = nullptr) = 0;
  // The name of the default destination: $LPDEST, then $PRINTER, then the
  // user's and the machine's lpoptions "Default", then the scheduler's.
  virtual Status DefaultDestination(std::string& name, std::string* error = nullptr) = 0;
  // Hands one document to the scheduler as one job. Returns once the
  // scheduler has accepted the job with all its data (the document may be
  // deleted then) or has refused it.
  virtual Submission Submit(const Job& job) = 0;
};

struct CupsSettings {
  // "": the scheduler the client is set up for ($CUPS_SERVER, client.conf,
  // else the local socket). Otherwise "/path/to/socket", "host" or
  // "host:port".
  std::string server;
  int connectMs = 3000;  // connecting
  int callMs = 10000;    // one whole call, the connection included
};

std::unique_ptr<Backend> MakeCupsBackend(const CupsSettings& settings = {});

// The process's scheduler with the default settings.
Backend& SystemBackend();

}  // namespace zv::platform::print
