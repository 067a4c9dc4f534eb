#include "platform/local_peer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace zv::platform {

namespace {

constexpr std::size_t kMaxAnswerBytes = 256;

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Waits for `events` on fd until the deadline; false on time-out or error.
bool WaitFor(int fd, short events, std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) return false;
    pollfd p{fd, events, 0};
    const int rc = ::poll(&p, 1, static_cast<int>(left));
    if (rc < 0 && errno == EINTR) continue;
    if (rc <= 0) return false;
    return (p.revents & (events | POLLHUP | POLLERR)) != 0;
  }
}

}  // namespace

std::optional<std::string> RequestLine(const std::string& socketPath, std::string_view line, int timeoutMs) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (socketPath.empty() || socketPath.size() >= sizeof addr.sun_path) return std::nullopt;
  std::memcpy(addr.sun_path, socketPath.c_str(), socketPath.size() + 1);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0);
  Fd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (fd.get() < 0) return std::nullopt;
  if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
    if (errno != EINPROGRESS && errno != EAGAIN) return std::nullopt;
    if (!WaitFor(fd.get(), POLLOUT, deadline)) return std::nullopt;
    int err = 0;
    socklen_t len = sizeof err;
    if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0) return std::nullopt;
  }
  std::string out(line);
  out += '\n';
  std::size_t sent = 0;
  while (sent < out.size()) {
    const ssize_t n = ::send(fd.get(), out.data() + sent, out.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN && WaitFor(fd.get(), POLLOUT, deadline)) continue;
    return std::nullopt;
  }
  std::string answer;
  for (;;) {
    char buf[128];
    const ssize_t n = ::recv(fd.get(), buf, sizeof buf, 0);
    if (n > 0) {
      answer.append(buf, static_cast<std::size_t>(n));
      if (const auto eol = answer.find('\n'); eol != std::string::npos) {
        answer.resize(eol);
        if (!answer.empty() && answer.back() == '\r') answer.pop_back();
        return answer;
      }
      if (answer.size() > kMaxAnswerBytes) return std::nullopt;
      continue;
    }
    if (n == 0) return std::nullopt;  // closed before a whole line
    if (errno == EINTR) continue;
    if (errno != EAGAIN || !WaitFor(fd.get(), POLLIN, deadline)) return std::nullopt;
  }
}

bool ProcessAlive(int pid) {
  if (pid <= 0) return false;
  return ::kill(pid, 0) == 0 || errno == EPERM;
}

std::optional<unsigned> OwnerOf(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return std::nullopt;
  return static_cast<unsigned>(st.st_uid);
}

unsigned EffectiveUser() { return static_cast<unsigned>(::geteuid()); }

}  // namespace zv::platform
