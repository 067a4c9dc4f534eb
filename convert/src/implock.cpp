// Lock files of the store and the user's send-user list.
#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>

#include "companion/export_guard.h"
#include "companion/trace.h"
#include "dravel/core.h"
#include "platform/filelock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"

namespace zv::dravel {
namespace {

// Open lock files by handle. A handle is a small positive number of this
// table, never a descriptor, so a stale or foreign handle can never close
// somebody else's file.
struct LockTable {
  std::mutex mutex;
  std::map<DravelHandle, platform::HeldLock> locks;
  DravelHandle next = 1;
};
LockTable& Locks() {
  static LockTable table;
  return table;
}

std::atomic<bool> g_sendFileLog{true};

bool Empty(const char* s) { return s == nullptr || *s == '\0'; }

}  // namespace

void ReadSendFileLogSwitch() {
  if (platform::ini::GetInt(EnvSetInfoPath(), "option", "SendFileToolLog", 1) <= 0) g_sendFileLog = false;
}
bool SendFileLogEnabled() { return g_sendFileLog; }
void ResetSendFileLogSwitch() { g_sendFileLog = true; }

void SendFileLog(std::string_view file, int line, std::string_view message, int systemError) {
  if (!g_sendFileLog) return;
  std::string text(message);
  if (systemError != 0) text += " (" + std::to_string(systemError) + ": " + std::strerror(systemError) + ")";
  companion::TraceLogWriteCode(1, "Dravel", file, line, nullptr, 0, systemError, text);
}

}  // namespace zv::dravel

using namespace zv;

static DravelHandle CreateImpLockFileBody(const char* folder, const char* name, int timeoutSeconds) {
  if (folder == nullptr || name == nullptr || *folder == '\0' || *name == '\0') return 0;
  platform::HeldLock lock = platform::AcquireShortLockFile(folder, name, timeoutSeconds);
  if (!lock.valid()) return DRAVEL_INVALID_HANDLE;
  auto& table = dravel::Locks();
  std::lock_guard<std::mutex> guard(table.mutex);
  const DravelHandle handle = table.next++;
  table.locks.emplace(handle, std::move(lock));
  return handle;
}

extern "C" DRAVEL_API DravelHandle CreateImpLockFile(const char* folder, const char* name, int timeoutSeconds) {
  return zv::companion::ExportGuard("_Dravel", "CreateImpLockFile", DRAVEL_INVALID_HANDLE,
                                    [&] { return CreateImpLockFileBody(folder, name, timeoutSeconds); });
}

static int DeleteImpLockFileBody(DravelHandle handle, const char* folder, const char* name) {
  if (dravel::Empty(folder) || dravel::Empty(name) || handle == DRAVEL_INVALID_HANDLE) return 0;
  platform::HeldLock lock;
  {
    auto& table = dravel::Locks();
    std::lock_guard<std::mutex> guard(table.mutex);
    auto it = table.locks.find(handle);
    // Not ours: deleting the file would take the lock away from its holder.
    if (it == table.locks.end()) return 0;
    lock = std::move(it->second);
    table.locks.erase(it);
  }
  if (!platform::IsFolder(folder)) {
    lock.CloseOnly();
    return 0;
  }
  const int released = platform::ReleaseLockFile(lock, folder, name);
  if (lock.valid()) lock.CloseOnly();
  return released == 1 ? 1 : 0;
}

extern "C" DRAVEL_API int DeleteImpLockFile(DravelHandle handle, const char* folder, const char* name) {
  return zv::companion::ExportGuard("_Dravel", "DeleteImpLockFile", 0,
                                    [&] { return DeleteImpLockFileBody(handle, folder, name); });
}

static int GetAndCheckImpSendUserdatBody(char* path) {
  dravel::ReadSendFileLogSwitch();
  std::string folder = platform::AppDataFolder();
  for (const char* level : {"Brennic", "ZorvanPersonal"}) {
    folder = platform::JoinPath(folder, level);
    if (!platform::IsFolder(folder) && !platform::MakeFolders(folder)) {
      dravel::SendFileLog(__FILE__, __LINE__, "Creat folder failed.", errno);
      return -106;
    }
  }
  const std::string file = platform::JoinPath(folder, "ImpSendUser.dat");
  if (file.size() >= DRAVEL_PATH_MAX || path == nullptr) {
    dravel::SendFileLog(__FILE__, __LINE__, "Creat ImpSendUser.dat file failed.", ENAMETOOLONG);
    return -107;
  }
  // A list lost by an interrupted save comes back from its back-up
  // ("ImpSendUser.bak", written after every save) before a fresh, empty
  // one would hide the loss.
  const std::string backup = platform::JoinPath(folder, "ImpSendUser.bak");
  if (!platform::Exists(file) && platform::IsFile(backup) && platform::ini::GetInt(backup, "users", "count", -1) >= 0) {
    if (auto bytes = platform::ReadFile(backup)) platform::WriteFileAtomic(file, *bytes);
  }
  if (!platform::IsFile(file)) {
    if (platform::Exists(file) || !platform::ini::WriteString(file, "users", "count", "0")) {
      dravel::SendFileLog(__FILE__, __LINE__, "Creat ImpSendUser.dat file failed.", errno);
      return -107;
    }
  }
  std::memcpy(path, file.c_str(), file.size() + 1);
  dravel::SendFileLog(__FILE__, __LINE__, "Get ImpSendUser.dat path succeed.");
  return 0;
}

extern "C" DRAVEL_API int GetAndCheckImpSendUserdat(char* path) {
  return zv::companion::ExportGuard("_Dravel", "GetAndCheckImpSendUserdat", -107,
                                    [&] { return GetAndCheckImpSendUserdatBody(path); });
}
