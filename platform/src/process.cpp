// Child processes through posix_spawn.
#include "platform/process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string_view>
#include <thread>

#include "platform/clock.h"

extern char** environ;

namespace zv::platform {

namespace {

int DecodeStatus(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

constexpr std::int64_t kWaitPollMs = 10;

std::string_view NameOf(std::string_view entry) { return entry.substr(0, entry.find('=')); }

// This process's environment with the overrides applied; nullopt when an
// override has no name.
std::optional<std::vector<std::string>> ChildEnvironment(const std::vector<std::string>& overrides) {
  for (const auto& o : overrides)
    if (NameOf(o).empty()) return std::nullopt;
  std::vector<std::string> env;
  for (char** e = environ; e && *e; ++e) {
    const std::string_view entry(*e);
    bool replaced = false;
    for (const auto& o : overrides) replaced = replaced || NameOf(o) == NameOf(entry);
    if (!replaced) env.emplace_back(entry);
  }
  for (const auto& o : overrides)
    if (o.find('=') != std::string::npos) env.push_back(o);
  return env;
}

}  // namespace

Process::Process(Process&& other) noexcept : pid_(other.pid_), exitCode_(other.exitCode_), reaped_(other.reaped_) {
  other.pid_ = -1;
  other.reaped_ = false;
  other.exitCode_ = -1;
}

Process& Process::operator=(Process&& other) noexcept {
  if (this != &other) {
    if (valid() && !reaped_) IsRunning();  // reap a finished child we drop
    pid_ = other.pid_;
    exitCode_ = other.exitCode_;
    reaped_ = other.reaped_;
    other.pid_ = -1;
    other.reaped_ = false;
    other.exitCode_ = -1;
  }
  return *this;
}

Process::~Process() {
  if (valid() && !reaped_) IsRunning();
}

Process Process::Spawn(const std::string& program, const std::vector<std::string>& args,
                       const std::string& workingFolder, const std::vector<std::string>& environment) {
  if (program.empty()) return {};
  // Built before the fork: nothing is allocated in the child.
  std::vector<std::string> childEnv;
  std::vector<char*> envp;
  if (!environment.empty()) {
    auto built = ChildEnvironment(environment);
    if (!built) return {};
    childEnv = std::move(*built);
    envp.reserve(childEnv.size() + 1);
    for (auto& e : childEnv) envp.push_back(e.data());
    envp.push_back(nullptr);
  }
  char** const env = environment.empty() ? environ : envp.data();
  std::vector<char*> argv;
  argv.reserve(args.size() + 2);
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return {};
  if (!workingFolder.empty() && posix_spawn_file_actions_addchdir_np(&actions, workingFolder.c_str()) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return {};
  }
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  // The child starts with default signal handling and an empty mask, whatever
  // this process has blocked or ignored.
  sigset_t all, none;
  sigfillset(&all);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

  pid_t pid = -1;
  bool searchPath = program.find('/') == std::string::npos;
  int rc = searchPath ? posix_spawnp(&pid, program.c_str(), &actions, &attr, argv.data(), env)
                      : posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), env);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0 || pid <= 0) return {};
  return Process(pid);
}

bool Process::IsRunning() {
  if (!valid() || reaped_) return false;
  int status = 0;
  for (;;) {
    pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == 0) return true;
    if (r == pid_) {
      exitCode_ = DecodeStatus(status);
      reaped_ = true;
      return false;
    }
    if (errno == EINTR) continue;
    reaped_ = true;  // not our child any more (reaped elsewhere)
    return false;
  }
}

int Process::Wait(int timeoutMs) {
  if (!valid()) return -1;
  if (reaped_) return exitCode_;
  if (timeoutMs < 0) {
    int status = 0;
    for (;;) {
      pid_t r = ::waitpid(pid_, &status, 0);
      if (r == pid_) {
        exitCode_ = DecodeStatus(status);
        reaped_ = true;
        return exitCode_;
      }
      if (r < 0 && errno == EINTR) continue;
      reaped_ = true;
      return exitCode_;
    }
  }
  Clock& clock = GetClock();
  const std::int64_t start = clock.SteadyMs();
  for (;;) {
    if (!IsRunning()) return exitCode_;
    if (clock.SteadyMs() - start >= timeoutMs) return -1;
    clock.SleepMs(kWaitPollMs);
  }
}

void Process::Terminate(int graceMs) {
  if (!IsRunning()) return;
  ::kill(pid_, SIGTERM);
  if (graceMs > 0 && Wait(graceMs) != -1) return;
  if (!IsRunning()) return;
  ::kill(pid_, SIGKILL);
  Wait(-1);
}

int RunAndWait(const std::string& program, const std::vector<std::string>& args, int timeoutMs,
               const std::vector<std::string>& environment) {
  Process p = Process::Spawn(program, args, {}, environment);
  if (!p.valid()) return -1;
  int code = p.Wait(timeoutMs);
  if (p.IsRunning()) {
    p.Terminate(0);
    return -1;
  }
  return code;
}

bool ShellOpen(const std::string& path) {
  if (path.empty()) return false;
  Process p = Process::Spawn("xdg-open", {path});
  if (!p.valid()) return false;
  // Reap it in the background so no zombie is left behind.
  try {
    std::thread([child = std::move(p)]() mutable { child.Wait(-1); }).detach();
  } catch (...) {
    // Without a thread the child is reaped when this Process is dropped, if done.
  }
  return true;
}

}  // namespace zv::platform
