#include "testing/temp_dir.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <random>
#include <stdexcept>

#include "platform/fs.h"
#include "platform/paths.h"

namespace zv::testing {

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  const std::string parent = platform::TempFolder();
  std::random_device random;
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    const std::string candidate =
        platform::JoinPath(parent, "zv-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
                                       std::to_string(random() % 100000));
    // A name still there from an earlier run is left to its owner.
    if (!platform::Exists(candidate) && platform::MakeFolder(candidate)) path_ = candidate;
  }
  if (path_.empty()) throw std::runtime_error("no temporary folder in " + parent);
}

TempDir::~TempDir() {
  if (std::getenv("ZV_KEEP_TEST_DIR") == nullptr) platform::RemoveTree(path_);
}

}  // namespace zv::testing
