// Helper program for the ini tests, run as a separate process.
//   ini_writer keys <file> <prefix> <count>   sets <prefix><i>=<i> one write at a time
//   ini_writer group <file> <prefix> <count>  the same inside one write group
//   ini_writer rewrite <file> <bytes>         rewrites the file in place, keeping its times
//   ini_writer replace <file> <bytes>         replaces the file by rename, keeping its times
// Exit status 0 on success.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/ini.h"

namespace ini = zv::platform::ini;

namespace {

bool WriteBytes(const std::string& path, const std::string& bytes, int flags) {
  int fd = ::open(path.c_str(), flags, 0644);
  if (fd < 0) return false;
  bool ok = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  return ::close(fd) == 0 && ok;
}

bool KeepTimes(const std::string& path, const struct stat& old) {
  struct timespec times[2] = {old.st_atim, old.st_mtim};
  return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: ini_writer keys|group|rewrite|replace <file> ...\n");
    return 2;
  }
  const std::string mode = argv[1], file = argv[2];
  if (mode == "keys" || mode == "group") {
    if (argc < 5) return 2;
    const std::string prefix = argv[3];
    const int count = std::atoi(argv[4]);
    const bool grouped = mode == "group";
    if (grouped && !ini::BeginGroup(file, 60'000)) return 3;
    for (int i = 0; i < count; ++i) {
      if (!ini::WriteString(file, "Shared", prefix + std::to_string(i), std::to_string(i))) return 4;
    }
    if (grouped && !ini::Flush(file)) return 5;
    return 0;
  }
  struct stat old {};
  if (::stat(file.c_str(), &old) != 0) return 6;
  const std::string bytes = argv[3];
  if (mode == "rewrite") {
    if (!WriteBytes(file, bytes, O_WRONLY | O_TRUNC)) return 7;
    return KeepTimes(file, old) ? 0 : 8;
  }
  if (mode == "replace") {
    const std::string work = file + ".new";
    if (!WriteBytes(work, bytes, O_WRONLY | O_CREAT | O_TRUNC)) return 7;
    if (!KeepTimes(work, old)) return 8;
    return ::rename(work.c_str(), file.c_str()) == 0 ? 0 : 9;
  }
  return 2;
}
