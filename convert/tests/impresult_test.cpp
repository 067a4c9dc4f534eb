// The import result file: keys, order and conditions, receivers, file names
// that never collide, LastImpTime.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "dravel/core.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "testing/installation.h"

namespace zv::dravel {
namespace {

namespace test = zv::testing;

namespace ini = platform::ini;

constexpr std::int64_t kTime = 1'700'000'000;  // a fixed moment

template <std::size_t N>
void Set(char (&field)[N], const std::string& text) {
  std::memset(field, 0, N);
  std::memcpy(field, text.data(), std::min(text.size(), N - 1));
}

DravelImpRecord Record() {
  DravelImpRecord r;
  std::memset(&r, 0, sizeof r);
  r.impTime = kTime;
  Set(r.hostName, "host-a");
  Set(r.name, "Setting 1");
  Set(r.srcFolder, "/scan/in");
  Set(r.srcFile, "doc.pdf");
  r.result = 1;
  Set(r.binder, "Binder A");
  Set(r.index, "3");
  Set(r.actualBinder, "Binder A#2");
  Set(r.binderPath, "/store/lib/cab/Binder A#2");
  Set(r.linkFolderPath, "/store");
  Set(r.linkFolderName, "Store");
  r.setNumber = 7;
  r.pageCount = 4;
  r.a3b4 = 1;
  r.userList = "alice,bob,carol,";
  r.userSetNoSelf = 1;
  Set(r.userName, "alice");
  return r;
}

std::vector<std::string> ResultFiles(const test::Installation& box) {
  std::vector<std::string> files;
  if (auto entries = platform::ListFolder(box.Path("program/Rslt")))
    for (const auto& e : *entries)
      if (e.name.starts_with("ImpRslt_")) files.push_back(e.name);
  return files;
}

TEST(ImpResult, SuccessfulImportWritesEveryKeyInOrder) {
  test::Installation box;
  box.WriteSettings();
  DravelImpRecord r = Record();
  const std::string path = WriteImpResult(r);
  ASSERT_FALSE(path.empty());
  const std::string stamp = FormatStamp(kTime);
  EXPECT_EQ(platform::LastComponent(path), "ImpRslt_" + stamp + ".ini");
  EXPECT_EQ(
      platform::ini::KeyNames(path, "Rslt"),
      (std::vector<std::string>{
          "Time",         "HostName",  "File",       "Name",           "Result",         "Binder",    "Index",
          "ActualBinder", "bWorkDesk", "BinderPath", "LinkFolderPath", "LinkFolderName", "SetNumber", "Keyword",
          "Page",         "ImpUser1",  "A3B4",       "ParentPCName",   "bUserSetNoSelf", "ImpMode",   "UserName"}));
  EXPECT_EQ(ini::GetString(path, "Rslt", "Time"), stamp);
  EXPECT_EQ(ini::GetString(path, "Rslt", "File"), "/scan/in/doc.pdf");
  EXPECT_EQ(ini::GetString(path, "Rslt", "Result"), "1");
  EXPECT_EQ(ini::GetString(path, "Rslt", "Keyword"), "0");  // monitor import
  EXPECT_EQ(ini::GetString(path, "Rslt", "Page"), "0");
  EXPECT_EQ(ini::GetString(path, "Rslt", "ImpUser1"), "alice,bob,carol,");
  EXPECT_EQ(ini::GetString(path, "Rslt", "ParentPCName"), platform::ComputerName());
  EXPECT_EQ(ini::GetString(path, "Rslt", "A3B4"), "1");
  EXPECT_EQ(ini::GetString(path, "Rslt", "UserName"), "alice");
  EXPECT_EQ(ini::GetString(box.Path("program/EnvSetInfo.ini"), "option", "LastImpTime"), stamp);
}

TEST(ImpResult, FailureWritesMessageAndEmptiesTheBuffer) {
  test::Installation box;
  box.WriteSettings();
  DravelImpRecord r = Record();
  r.result = 0;
  char message[260] = "Failed to read file";
  r.message = message;
  Set(r.binder, "");
  Set(r.hostName, "");
  Set(r.srcFolder, "");
  const std::string path = WriteImpResult(r);
  const auto keys = platform::ini::KeyNames(path, "Rslt");
  ASSERT_GE(keys.size(), 6u);
  EXPECT_EQ(keys[0], "Time");
  EXPECT_EQ(keys[1], "File");  // no HostName key for an empty host name
  EXPECT_EQ(keys[4], "Msg");
  EXPECT_EQ(ini::GetString(path, "Rslt", "Msg"), "Failed to read file");
  EXPECT_EQ(ini::GetString(path, "Rslt", "Result"), "0");
  EXPECT_EQ(ini::GetString(path, "Rslt", "Binder"), "<Unknown>");
  EXPECT_EQ(ini::GetString(path, "Rslt", "File"), "");
  EXPECT_EQ(message[0], '\0');
}

TEST(ImpResult, WorkDeskAndSentPagesConditions) {
  test::Installation box;
  box.WriteSettings();
  DravelImpRecord desk = Record();
  desk.workDesk = 1;
  desk.impMode = 1;
  desk.parentPCName = "sender-pc";
  const std::string deskPath = WriteImpResult(desk);
  const auto keys = platform::ini::KeyNames(deskPath, "Rslt");
  EXPECT_EQ(std::count(keys.begin(), keys.end(), "ActualBinder"), 0);
  EXPECT_EQ(ini::GetString(deskPath, "Rslt", "ParentPCName"), platform::ComputerName());

  DravelImpRecord sent = Record();
  sent.impTime = kTime + 100;
  sent.impMode = 2;
  sent.parentPCName = "sender-pc";
  sent.a3b4 = 0x100;  // only the low byte counts
  const std::string sentPath = WriteImpResult(sent);
  EXPECT_EQ(ini::GetString(sentPath, "Rslt", "ParentPCName"), "sender-pc");
  EXPECT_EQ(ini::GetString(sentPath, "Rslt", "Keyword"), FormatStamp(kTime + 100));
  EXPECT_EQ(ini::GetString(sentPath, "Rslt", "Page"), "4");
  EXPECT_EQ(ini::GetString(sentPath, "Rslt", "ImpMode"), "2");
  EXPECT_EQ(ini::GetString(sentPath, "Rslt", "A3B4"), "0");
}

TEST(ImpResult, ReceiversGoInKeysOfFiftyNames) {
  std::string list;
  for (int i = 1; i <= 120; ++i) list += "user" + std::to_string(i) + ",";
  const auto groups = GroupReceivers((list + "dangling").c_str());
  ASSERT_EQ(groups.size(), 3u);
  EXPECT_TRUE(groups[0].starts_with("user1,user2,"));
  EXPECT_TRUE(groups[0].ends_with("user50,"));
  EXPECT_TRUE(groups[1].starts_with("user51,"));
  EXPECT_TRUE(groups[1].ends_with("user100,"));
  EXPECT_EQ(groups[2], [] {
    std::string s;
    for (int i = 101; i <= 120; ++i) s += "user" + std::to_string(i) + ",";
    return s;
  }());
  EXPECT_EQ(GroupReceivers(nullptr), std::vector<std::string>{""});
  EXPECT_EQ(GroupReceivers("nobody-without-comma"), std::vector<std::string>{""});
  std::string fifty;
  for (int i = 0; i < 50; ++i) fifty += "u,";
  EXPECT_EQ(GroupReceivers(fifty.c_str()).size(), 1u);  // exactly 50: no empty second key
}

TEST(ImpResult, NothingWithoutEnvSetInfo) {
  test::Installation box;
  DravelImpRecord r = Record();
  OutPutImpRsltFile(r);
  EXPECT_TRUE(ResultFiles(box).empty());
  EXPECT_FALSE(platform::Exists(box.Path("program/Rslt")));
  platform::MakeFolders(box.Path("program/EnvSetInfo.ini"));  // a folder in its place
  OutPutImpRsltFile(r);
  EXPECT_TRUE(ResultFiles(box).empty());
}

TEST(ImpResult, ResultsInOneSecondAreAllKept) {
  test::Installation box;
  box.WriteSettings();
  DravelImpRecord r = Record();
  for (int i = 0; i < 3; ++i) {
    Set(r.name, "import " + std::to_string(i));
    OutPutImpRsltFile(r);
  }
  const auto files = ResultFiles(box);
  ASSERT_EQ(files.size(), 3u);
  std::vector<std::string> names;
  std::string highest;
  for (const auto& f : files) {
    const std::string path = box.Path("program/Rslt/" + f);
    names.push_back(ini::GetString(path, "Rslt", "Name"));
    // The file's stamp and its Time agree; the page keyword stays the import time.
    EXPECT_EQ("ImpRslt_" + ini::GetString(path, "Rslt", "Time") + ".ini", f);
    highest = std::max(highest, f.substr(8, 14));
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"import 0", "import 1", "import 2"}));
  EXPECT_EQ(ini::GetString(box.Path("program/EnvSetInfo.ini"), "option", "LastImpTime"), highest);
}

TEST(ImpResult, LastImpTimeIsNeverLowered) {
  test::Installation box;
  box.WriteSettings({{"LastImpTime", FormatStamp(kTime + 500)}, {"Other", "kept"}});
  DravelImpRecord r = Record();
  ASSERT_FALSE(WriteImpResult(r).empty());
  const std::string env = box.Path("program/EnvSetInfo.ini");
  EXPECT_EQ(ini::GetString(env, "option", "LastImpTime"), FormatStamp(kTime + 500));
  EXPECT_EQ(ini::GetString(env, "option", "Other"), "kept");
  r.impTime = kTime + 900;
  WriteImpResult(r);
  EXPECT_EQ(ini::GetString(env, "option", "LastImpTime"), FormatStamp(kTime + 900));
}

TEST(ImpResult, TwoProcessesWritingInTheSameSecondLoseNothing) {
  test::Installation box;
  box.WriteSettings();
  const std::string tool = std::string(ZV_TEST_TOOLS_DIR) + "/rslt_writer";
  constexpr int kEach = 15;
  std::vector<platform::Process> writers;
  for (const char* tag : {"A", "B"})
    writers.push_back(platform::Process::Spawn(tool, {tag, std::to_string(kTime), std::to_string(kEach)}));
  for (auto& w : writers) {
    ASSERT_TRUE(w.valid());
    EXPECT_EQ(w.Wait(60'000), 0);
  }
  const auto files = ResultFiles(box);
  ASSERT_EQ(files.size(), 2u * kEach);
  std::set<std::string> names;
  std::string highest;
  for (const auto& f : files) {
    names.insert(ini::GetString(box.Path("program/Rslt/" + f), "Rslt", "Name"));
    highest = std::max(highest, f.substr(8, 14));
  }
  EXPECT_EQ(names.size(), 2u * kEach);
  EXPECT_EQ(ini::GetString(box.Path("program/EnvSetInfo.ini"), "option", "LastImpTime"), highest);
}

}  // namespace
}  // namespace zv::dravel
