// The work desk the monitor imports into: a folder that receives each page
// of a document as a PDF file of its own.
#include "monitor/watch/workdesk.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include "companion/common.h"
#include "companion/services.h"
#include "monitor/settings/profile.h"
#include "platform/filelock.h"
#include "platform/fs.h"
#include "platform/paths.h"

namespace zv::monitor {

std::string GetWorkDeskFolder() {
  const std::string configured = ProfileRead("WorkDesk", "Folder", "", companion::ViewerEnvironmentPath());
  if (!configured.empty()) return platform::TrimTrailingSeparator(configured);
  const std::string viewer = companion::ViewerProgramFolder();
  return viewer.empty() ? std::string() : platform::JoinPath(viewer, "WorkDesk");
}

int WorkDeskImportFile(const std::string& workDeskFolder, const std::string& source,
                       const std::string& stamp, int* pageCount) {
  if (pageCount) *pageCount = 0;
  if (workDeskFolder.empty() || !platform::MakeFolders(workDeskFolder)) return -2;
  // The work desk itself holds this lock while it rearranges its folder.
  platform::HeldLock working =
      platform::HeldLock::TryAcquire(platform::JoinPath(workDeskFolder, kWorkingLockName));
  if (!working) return kWorkDeskBusy;
  int written = 0;
  try {
    QPDF in;
    in.setSuppressWarnings(true);
    in.processFile(source.c_str());
    std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(in).getAllPages();
    if (pages.empty()) {
      working.Release();
      return -1;
    }
    const std::string stem = companion::ComStripExtension(platform::LastComponent(source));
    for (std::size_t i = 0; i < pages.size(); ++i) {
      QPDF out;
      out.emptyPDF();
      QPDFPageDocumentHelper(out).addPage(pages[i], false);
      QPDFWriter w(out);
      w.setOutputMemory();
      w.setDeterministicID(true);
      w.write();
      std::unique_ptr<Buffer> buf(w.getBuffer());
      const std::string name = stem + "_" + stamp + "_" + std::to_string(i + 1) + ".pdf";
      if (!platform::WriteFileAtomic(platform::JoinPath(workDeskFolder, name),
                                     std::string_view(reinterpret_cast<const char*>(buf->getBuffer()),
                                                      buf->getSize()))) {
        working.Release();
        return -2;
      }
      ++written;
    }
  } catch (const std::exception&) {
    working.Release();
    return -1;
  }
  working.Release();
  if (pageCount) *pageCount = written;
  return written;
}

}  // namespace zv::monitor
