// Small file helpers for preparing and checking test material.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zv::testing {

// The file's bytes; "" when it cannot be read.
std::string ReadText(const std::string& path);
// Replaces the file's bytes (through a symbolic link, like any program
// writing it), making missing parent folders first. False on failure.
bool WriteText(const std::string& path, const std::string& text);
// The permission bits (07777) of what the path names, through links; 0 when
// it is missing.
unsigned ModeOf(const std::string& path);
// Sets the modification time to `secondsAgo` before now.
bool SetAge(const std::string& path, std::int64_t secondsAgo);
// The lines of a text without their '\n' (a last line needs none).
std::vector<std::string> Lines(const std::string& text);
// The names in a folder in name order; none when it is missing.
std::vector<std::string> Names(const std::string& folder);

// A program run to its end with its output captured.
struct RunResult {
  int exitCode = -1;  // -1 when it did not end in time; 126/127 when it cannot start
  std::string out, err;
};
// `environment` as for platform::Process::Spawn ("NAME=VALUE" or "NAME").
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& environment = {}, int timeoutMs = 120'000);

}  // namespace zv::testing
