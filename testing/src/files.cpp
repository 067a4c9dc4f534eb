#include "testing/files.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/fs.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "testing/temp_dir.h"

namespace zv::testing {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool WriteText(const std::string& path, const std::string& text) {
  const std::string parent = platform::ParentFolder(path);
  if (!parent.empty() && !platform::IsFolder(parent) && !platform::MakeFolders(parent)) return false;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  return out.good();
}

unsigned ModeOf(const std::string& path) {
  std::error_code ec;
  const auto st = std::filesystem::status(path, ec);
  if (ec || !std::filesystem::exists(st)) return 0;
  return static_cast<unsigned>(st.permissions()) & 07777u;
}

bool SetAge(const std::string& path, std::int64_t secondsAgo) {
  const auto when = std::chrono::system_clock::now() - std::chrono::seconds(secondsAgo);
  std::error_code ec;
  std::filesystem::last_write_time(path, std::chrono::file_clock::from_sys(when), ec);
  return !ec;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t nl = text.find('\n', start);
    if (nl == std::string::npos) nl = text.size();
    out.push_back(text.substr(start, nl - start));
    start = nl + 1;
  }
  return out;
}

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> out;
  if (auto list = platform::ListFolder(folder))
    for (const auto& e : *list) out.push_back(e.name);
  return out;
}

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& environment, int timeoutMs) {
  TempDir dir;
  const std::string out = dir / "out", err = dir / "err";
  // The shell only places the output; the program gets its arguments as they are.
  std::vector<std::string> shellArgs = {"-c",   "o=$1; e=$2; shift 2; exec \"$@\" >\"$o\" 2>\"$e\"", "sh", out, err,
                                        program};
  shellArgs.insert(shellArgs.end(), args.begin(), args.end());
  RunResult r;
  platform::Process p =
      program.empty() ? platform::Process{} : platform::Process::Spawn("/bin/sh", shellArgs, {}, environment);
  // The time limit is real time: a test may have put a fake clock in place,
  // on which any limit would pass at once.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (p.IsRunning() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  if (p.IsRunning())
    p.Terminate(0);
  else
    r.exitCode = p.Wait();
  r.out = ReadText(out);
  r.err = ReadText(err);
  return r;
}

}  // namespace zv::testing
