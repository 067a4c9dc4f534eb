// Test helper: takes and releases a HeldLock on FOLDER/~hammer.Locked ITER
// times; inside the lock it claims a marker (an overlap shows as an existing
// marker), increments the shared counter file and checks the value stuck.
// Usage: lock_hammer FOLDER ITERATIONS. Exit 0 ok, 2 overlap, 3 I/O trouble.
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/filelock.h"

namespace {

long ReadCounter(int fd) {
  char buf[32] = {};
  ssize_t n = ::pread(fd, buf, sizeof buf - 1, 0);
  if (n < 0) return -1;
  return std::strtol(buf, nullptr, 10);
}

bool WriteCounter(int fd, long v) {
  char buf[32];
  int n = std::snprintf(buf, sizeof buf, "%020ld", v);
  return ::pwrite(fd, buf, static_cast<size_t>(n), 0) == n;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return 64;
  const std::string folder = argv[1];
  const long iterations = std::strtol(argv[2], nullptr, 10);
  const std::string lockPath = folder + "/~hammer.Locked";
  const std::string marker = folder + "/inside";
  int counter = ::open((folder + "/counter").c_str(), O_RDWR | O_CREAT, 0644);
  if (counter < 0) return 3;
  for (long i = 0; i < iterations; ++i) {
    zv::platform::HeldLock lock;
    while (!(lock = zv::platform::HeldLock::TryAcquire(lockPath))) sched_yield();
    int m = ::open(marker.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (m < 0) {
      std::fprintf(stderr, "overlap: marker present at iteration %ld\n", i);
      return 2;
    }
    ::close(m);
    long before = ReadCounter(counter);
    if (before < 0 || !WriteCounter(counter, before + 1)) return 3;
    sched_yield();  // widen the window a second holder would need
    if (ReadCounter(counter) != before + 1) {
      std::fprintf(stderr, "overlap: counter changed under the lock\n");
      return 2;
    }
    if (::unlink(marker.c_str()) != 0) return 3;
    if (!lock.Release()) return 3;
  }
  ::close(counter);
  return 0;
}
