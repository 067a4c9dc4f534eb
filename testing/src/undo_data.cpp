#include "testing/undo_data.h"

#include "platform/fs.h"
#include "platform/ini.h"
#include "testing/files.h"
#include "testing/pdf.h"

namespace zv::testing {

namespace ini = platform::ini;

std::string WriteUndoData(const std::string& folder, const std::vector<UndoPage>& pages, int version,
                          std::optional<int> listedCount) {
  platform::MakeFolders(folder);
  const std::string path = folder + "/UndoData.ini";
  platform::RemoveFile(path);
  ini::WriteGroup group(path);
  ini::WriteInt(path, "Version", "Version", version);
  ini::WriteInt(path, "BinderInfo", "PageTotal", listedCount.value_or(static_cast<int>(pages.size())));
  for (std::size_t k = 0; k < pages.size(); ++k) {
    const UndoPage& p = pages[k];
    const std::string n = std::to_string(k + 1);
    ini::WriteInt(path, "PageInfo", "Page" + n + "Flag", p.flag);
    if (p.flag != 2) {
      MakePdf(folder + "/Page" + n + ".pdf", {PdfPage{.text = p.text}});
      ini::WriteString(path, "PageInfo", "Page" + n + "FilePageName", "Page" + n + ".pdf");
      ini::WriteInt(path, "PageInfo", "Page" + n + "FilePageNumber", 1);
    }
    if (!p.keyword.empty()) ini::WriteString(path, "PageInfo", "Page" + n + "Content", p.keyword);
    if (!p.ocr.empty()) {
      WriteText(folder + "/Ocr" + n + ".txt", p.ocr);
      ini::WriteString(path, "OCRText", "Page" + n + "OCRTEXTCONTENT", "Ocr" + n + ".txt");
      ini::WriteInt(path, "OCRText", "Page" + n + "OCRTEXTLENGTH", static_cast<int>(p.ocr.size()));
    }
  }
  group.Commit();
  return path;
}

}  // namespace zv::testing
