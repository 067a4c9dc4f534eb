// A fresh folder for one test, removed with everything in it at the end.
#pragma once

#include <string>

namespace zv::testing {

// Created below the temporary folder (TMPDIR). The removal never follows a
// symbolic link out of the folder and takes read-only folders too. With
// ZV_KEEP_TEST_DIR set the folder is kept for a look afterwards.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

 private:
  std::string path_;
};

}  // namespace zv::testing
