#include "monitor/settings/safe_write.h"

#include <exception>

#include "companion/common.h"
#include "companion/trace.h"
#include "monitor/settings/env_lock.h"
#include "monitor/settings/text_ids.h"
#include "platform/attributes.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"

namespace zv::monitor {

namespace {

// Copies `from` to `to` (overwriting) and confirms the copy: up to 3 tries 1 s
// apart, then after 100 ms up to 3 checks 1 s apart that the copy is there.
// A missing source fails at once.
bool CopyConfirmed(const std::string& from, const std::string& to) {
  if (!platform::IsFile(from)) return false;
  bool copied = false;
  for (int attempt = 0; attempt < 3 && !copied; ++attempt) {
    copied = platform::CopyFile(from, to, true);
    if (!copied) platform::SleepMs(1000);
  }
  if (!copied) return false;
  platform::SleepMs(100);
  for (int check = 0; check < 3; ++check) {
    if (platform::IsFile(to)) {
      // The copies are this program's work files: a read-only settings file
      // must not leave read-only copies that would block every later save.
      if (platform::IsReadOnly(to)) platform::SetReadOnly(to, false);
      return true;
    }
    if (check < 2) platform::SleepMs(1000);
  }
  return false;
}

void ReportFailure(const std::string& file, const std::string& why) {
  ZV_TRACE("_Hopvale", "SafeWriteSettings: " + why + " (" + file + ")");
  companion::ComShowMessage(MonitorText(kIdsCannotSave), companion::kMbIconWarning);
}

}  // namespace

bool SafeWriteSettings(const std::string& file, const std::function<bool(const std::string& newFile)>& writeSection) {
  const std::string folder = platform::ParentFolder(file);
  const std::string bakFile = file + ".bak";
  const std::string newFile = file + ".new";

  EnvLockHandle lock = AcquireEnvLock(folder, kEnvLockName, kEnvLockTimeoutSeconds);
  bool ok = true;
  std::string why;

  if (!CopyConfirmed(file, bakFile) || !CopyConfirmed(file, newFile)) {
    ok = false;
    why = "cannot copy the settings file";
  }

  if (ok) {
    bool written = false;
    {
      platform::ini::WriteGroup group(newFile);
      try {
        written = writeSection && writeSection(newFile);
      } catch (const std::exception& e) {
        ZV_TRACE("_Hopvale", std::string("SafeWriteSettings: writer failed: ") + e.what());
        written = false;
      } catch (...) {
        written = false;
      }
      // Without a group (its lock was not to be had) each write committed
      // on its own; the result of the writer then stands alone.
      const bool grouped = group.ok();
      written = (grouped ? group.Commit() : true) && written;
    }
    if (!written) {
      ok = false;
      why = "cannot write the new settings";
    }
  }

  if (ok) {
    // The live file is replaced in one rename: at every moment it holds
    // either the state before the save or the saved one. A read-only file is
    // never replaced.
    // The file's own ini lock is held across the rename, so a writer that
    // skips the environment lock cannot replace it with what it read before.
    const bool iniLocked = !platform::ini::InGroup(file) && platform::ini::BeginGroup(file);
    if (platform::IsReadOnly(file)) {
      ok = false;
      why = "the settings file is read-only";
    } else if (!platform::RenamePath(newFile, file, true)) {
      ok = false;
      why = "cannot replace the settings file";
    }
    if (iniLocked) platform::ini::Flush(file);  // nothing written: only releases
  }

  if (!ok) {
    platform::RemoveFile(newFile);
    ReportFailure(file, why);
  }
  ReleaseEnvLock(lock, folder, kEnvLockName);
  return ok;
}

}  // namespace zv::monitor
