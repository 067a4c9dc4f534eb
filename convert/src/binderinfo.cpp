// The binders of a cabinet with their titles.
#include <algorithm>
#include <cstring>

#include "binderlib/folderlist.h"
#include "binderlib/format.h"
#include "companion/export_guard.h"
#include "companion/strings.h"
#include "dravel/core.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace zv::dravel {
namespace binder = companion::binder;

namespace {

// The two line-break bytes of a two-line title shown as ".." (message 73).
std::string DisplayTitle(std::string title) {
  const std::string brk{binder::kTitleBreak1, binder::kTitleBreak2};
  return platform::ReplaceAll(std::move(title), brk, Message(companion::kDravelTitleBreak));
}

}  // namespace

int ListCabinetBinders(const std::string& cabinetIn, int capacity, std::vector<BinderListing>& out) {
  out.clear();
  const std::string cabinet = platform::TrimTrailingSeparator(cabinetIn);
  const std::string folderIni = binder::Join(cabinet, binder::kFolderIni);
  if (cabinet.empty() || folderIni.size() >= DRAVEL_PATH_MAX || !platform::IsFile(folderIni)) return 0;
  // The lists must be readable and agree; a listing built from lists of
  // different length would pair titles with the wrong positions.
  if (!platform::ReadFile(folderIni)) return -1;
  const binder::FolderList list = binder::ReadFolderList(cabinet, binder::Level::Cabinet, false);
  if (!list.ok()) {
    std::string why;
    for (const auto& p : list.problems) why += (why.empty() ? "" : "; ") + p;
    ZV_DRAVEL_TRACE("GetAllBinderInfo: " + folderIni + ": " + why);
    return -1;
  }
  const std::size_t n = std::min<std::size_t>(list.names.size(), capacity > 0 ? capacity : 0);
  for (std::size_t i = 0; i < n; ++i) {
    BinderListing b;
    b.position = i < list.positions.size() ? list.positions[i] : static_cast<int>(i + 1);
    b.path = binder::Join(cabinet, list.names[i]);
    b.title = DisplayTitle(
        platform::ini::GetString(binder::BinderIniPath(b.path), binder::kSecBinderInfo, binder::kKeyTitle));
    out.push_back(std::move(b));
  }
  return static_cast<int>(out.size());
}

}  // namespace zv::dravel

using namespace zv;

static int GetAllBinderInfoBody(const char* cabinet, DravelBinderInfo* records, int capacity) {
  if (cabinet == nullptr) return 0;
  if (records == nullptr) capacity = 0;
  std::vector<dravel::BinderListing> list;
  const int n = dravel::ListCabinetBinders(cabinet, capacity, list);
  if (n <= 0) return n;
  int filled = 0;
  for (const auto& b : list) {
    // A path that does not fit its field would name another folder: leave
    // that binder out rather than cut it.
    if (b.path.size() >= DRAVEL_PATH_MAX) {
      ZV_DRAVEL_TRACE("GetAllBinderInfo: path too long: " + b.path);
      continue;
    }
    DravelBinderInfo& rec = records[filled++];
    std::memset(&rec, 0, sizeof rec);
    rec.position = b.position;
    const std::string_view title = platform::Utf8CutBytes(b.title, DRAVEL_PATH_MAX - 1);
    std::memcpy(rec.title, title.data(), title.size());
    std::memcpy(rec.path, b.path.c_str(), b.path.size());
  }
  return filled;
}

extern "C" DRAVEL_API int GetAllBinderInfo(const char* cabinet, DravelBinderInfo* records, int capacity) {
  return zv::companion::ExportGuard("_Dravel", "GetAllBinderInfo", -1,
                                    [&] { return GetAllBinderInfoBody(cabinet, records, capacity); });
}
