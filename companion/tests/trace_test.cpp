#include "companion/trace.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "testing/files.h"
#include "testing/temp_dir.h"

namespace zv::companion {
namespace {

using testing::Lines;
using testing::ReadText;
using testing::SetAge;
using testing::TempDir;
using testing::WriteText;

std::string Today() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[16];
  std::strftime(buf, sizeof buf, "%Y%m%d", &tm);
  return buf;
}

TEST(TraceLogWrite, LineCarriesStampLevelTagBaseNameAndMessage) {
  TempDir dir;
  std::string folder = dir / "trace";
  TraceLogWrite(folder, 1, "_ImpList", "/src/monitor/watch/MainFrm.cpp", 1234, "CheckFolder: one");
  TraceLogWrite(folder, 1, "_ImpList", "C:\\work\\MainFrm.cpp", 7, "Stopped ========\n");
  TraceLogWrite(folder, 1, "_ImpList", "x.cpp", 8, "CheckFolder: two\r\n %s\nthree");

  std::string file = folder + "/ImpList_trace_" + Today() + ".log";
  auto lines = Lines(ReadText(file));
  ASSERT_EQ(lines.size(), 3u);
  std::regex layout(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[1\] _ImpList MainFrm\.cpp:1234 CheckFolder: one$)");
  EXPECT_TRUE(std::regex_match(lines[0], layout)) << lines[0];
  EXPECT_NE(lines[1].find(" MainFrm.cpp:7 Stopped ========"), std::string::npos) << lines[1];
  EXPECT_EQ(lines[1].back(), '=');
  // Inner line breaks never split a record.
  EXPECT_NE(lines[2].find("x.cpp:8 CheckFolder: two\\n %s\\nthree"), std::string::npos) << lines[2];
}

TEST(TraceLogWrite, DisabledWritesNothingAtAll) {
  TempDir dir;
  std::string folder = dir / "trace";
  TraceLogWrite(folder, 0, "_Tag", "a.cpp", 1, "nothing");
  TraceLogger logger;
  logger.settings = {folder, 0, 7};
  logger.tag = "_Tag";
  TraceLogLine(logger, "nothing either", 1);
  EXPECT_FALSE(std::filesystem::exists(folder));
  EXPECT_EQ(TraceLogAppend(dir / "base", "_skip", "1: x", 0), -1);
  EXPECT_FALSE(std::filesystem::exists(dir / "base"));
}

TEST(TraceLogWrite, ThreadsAndAProcessAppendWholeLines) {
  TempDir dir;
  std::string folder = dir / "trace";
  constexpr int kPerWriter = 400;
  const std::string padding(300, 'p');
  auto writeMany = [&](int writer) {
    for (int i = 0; i < kPerWriter; ++i) {
      TraceLogWrite(folder, 1, "_Shared", "w.cpp", writer,
                    "w" + std::to_string(writer) + "-" + std::to_string(i) + "-" + padding + "-end");
    }
  };
  // The child starts before any thread exists, so it may use the logger freely.
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    writeMany(9);
    ::_exit(0);
  }
  std::vector<std::thread> threads;
  for (int w = 0; w < 4; ++w) threads.emplace_back(writeMany, w);
  for (auto& t : threads) t.join();
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  auto lines = Lines(ReadText(folder + "/Shared_trace_" + Today() + ".log"));
  ASSERT_EQ(lines.size(), 5u * kPerWriter);
  std::regex layout("^\\S+ \\S+ \\[1\\] _Shared w\\.cpp:(\\d) w(\\d)-(\\d+)-" + padding + "-end$");
  std::map<int, std::vector<bool>> seen;
  for (const auto& line : lines) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, layout)) << line.substr(0, 120);
    int writer = std::stoi(m[2]);
    ASSERT_EQ(std::stoi(m[1]), writer);
    auto& marks = seen[writer];
    marks.resize(kPerWriter);
    int seq = std::stoi(m[3]);
    ASSERT_FALSE(marks[seq]) << "duplicate " << line.substr(0, 60);
    marks[seq] = true;
  }
  EXPECT_EQ(seen.size(), 5u);
}

TEST(TraceLogWriteCode, FiltersByProcessLevelAndTagsTheModule) {
  TempDir dir;
  std::string folder = dir / "trace";
  SetProcessTraceSettings({folder, 1, 7});
  TraceLogWriteCode(2, "Dravel.dll", "Insert.cpp", 10, nullptr, -5, 3, "too detailed");
  EXPECT_FALSE(std::filesystem::exists(folder));
  TraceLogWriteCode(1, "Dravel.dll", "src/Insert.cpp", 11, nullptr, -5, 3, "InsertFileToBinder: failed");
  auto lines = Lines(ReadText(folder + "/Dravel_trace_" + Today() + ".log"));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("[1] Dravel Insert.cpp:11 InsertFileToBinder: failed code=-5 value=3"), std::string::npos)
      << lines[0];
  SetProcessTraceSettings({});
}

TEST(TraceLogAppend, WritesDailyFileThatItsPurgeFolderHolds) {
  TempDir dir;
  std::string base = dir / "AutoImpInfo";
  EXPECT_EQ(TraceLogAppend(base, "_skip", "61040: <3>Not Specify Monitored Folder or Target Binder", 1), 1);
  EXPECT_EQ(TraceLogAppend(base, "_skip", "63020: [File]Hidden File(/x/.a)", 1), 1);
  std::string folder = TraceLogAppendFolder(base, "_skip");
  EXPECT_EQ(folder, base + "/AutoImpLog_skip");
  std::string file = folder + "/" + Today() + "_skip.log";
  auto lines = Lines(ReadText(file));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(
      std::regex_match(lines[0], std::regex(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} 61040: <3>Not .*Binder$)")))
      << lines[0];

  // The skip log's purge (folder AutoImpLog_skip, "*.*", no suffix) removes it once old.
  SetAge(file, 11 * 86400);
  EXPECT_EQ(TraceLogPurge(folder, "*.*", 10, 1, ""), 1);
  EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(TraceLogAppend, FailureIsReportedNotHidden) {
  TempDir dir;
  WriteText(dir / "file", "x");
  EXPECT_EQ(TraceLogAppend(dir / "file", "_skip", "line", 1), 0);
  EXPECT_EQ(TraceLogAppend("", "_skip", "line", 1), 0);
}

TEST(TraceLogPurge, DeletesOnlyOldFilesTheLoggerWrote) {
  // A trace folder shared with other files: the program folder, or the
  // information folder with the import result list.
  TempDir dir;
  std::string f = dir.path();
  const std::int64_t day = 86400;
  const char* mine[] = {"Hopvale_trace_20200101.log", "DRAVEL_TRACE_20200102.LOG", "20200103_skip.log"};
  const char* others[] = {"ImpResult.csv", "EnvSetInfo.ini",       "Hopvale_20200101.log",
                          "old.log",       "notes_trace_2020.log", "20200103_skip.txt"};
  for (const char* n : mine) WriteText(f + "/" + n, "x");
  for (const char* n : others) WriteText(f + "/" + n, "x");
  for (const auto& e : std::filesystem::directory_iterator(f)) SetAge(e.path().string(), 11 * day);
  WriteText(f + "/Hopvale_trace_29990101.log", "x");  // new: kept
  std::filesystem::create_directory(f + "/dir_trace_20200101.log");
  SetAge(f + "/dir_trace_20200101.log", 11 * day);

  EXPECT_EQ(TraceLogPurge(f, "*.*", 10, 0, ""), 0);       // disabled
  EXPECT_EQ(TraceLogPurge(f, "*.*", 0, 1, ""), 0);        // no retention
  EXPECT_EQ(TraceLogPurge(f, "*.*", 10, 1, "_skip"), 1);  // only the append files of that suffix
  EXPECT_FALSE(std::filesystem::exists(f + "/20200103_skip.log"));
  EXPECT_EQ(TraceLogPurge(f, "*.*", 10, 1, ""), 2);
  for (const char* n : mine) EXPECT_FALSE(std::filesystem::exists(f + "/" + n)) << n;
  for (const char* n : others) EXPECT_TRUE(std::filesystem::exists(f + "/" + n)) << n;
  EXPECT_TRUE(std::filesystem::exists(f + "/Hopvale_trace_29990101.log"));
  EXPECT_TRUE(std::filesystem::is_directory(f + "/dir_trace_20200101.log"));
  EXPECT_EQ(TraceLogPurge(dir / "missing", "*.*", 10, 1, ""), 0);
}

}  // namespace
}  // namespace zv::companion
