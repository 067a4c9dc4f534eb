// Starting and watching child processes.
#pragma once

#include <string>
#include <vector>

namespace zv::platform {

class Process {
 public:
  Process() = default;
  Process(Process&& other) noexcept;
  Process& operator=(Process&& other) noexcept;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  ~Process();  // neither waits nor kills; reaps if already finished

  // posix_spawn of program (a path, or a name searched in this process's
  // PATH) with arguments (argv[1...]). The child gets this process's
  // environment with `environment` applied on top: "NAME=VALUE" sets a
  // variable, a bare "NAME" removes it; this process's own environment is
  // never changed. Invalid result on failure (also for an entry without a
  // name).
  static Process Spawn(const std::string& program, const std::vector<std::string>& args,
                       const std::string& workingFolder = {}, const std::vector<std::string>& environment = {});

  bool valid() const { return pid_ > 0; }
  int pid() const { return pid_; }
  // True while the child has not been reaped.
  bool IsRunning();
  // Waits up to timeoutMs (negative: forever); the exit code, or -1 while it
  // still runs, or 128+signal when killed by a signal.
  int Wait(int timeoutMs = -1);
  // SIGTERM, then SIGKILL after graceMs when still running; reaps.
  void Terminate(int graceMs = 2000);

 private:
  explicit Process(int pid) : pid_(pid) {}
  int pid_ = -1;
  int exitCode_ = -1;
  bool reaped_ = false;
};

// Runs a program to its end; its exit code, or -1 when it cannot start or
// does not end within timeoutMs (it is then killed). `environment` as for
// Process::Spawn.
int RunAndWait(const std::string& program, const std::vector<std::string>& args, int timeoutMs,
               const std::vector<std::string>& environment = {});

// The shell verb "open": xdg-open with the path, detached. True when started.
bool ShellOpen(const std::string& path);

}  // namespace zv::platform
