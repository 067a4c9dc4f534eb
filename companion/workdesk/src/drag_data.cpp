#include "workdesk/drag_data.h"

#include "platform/local_peer.h"
#include "platform/paths.h"

namespace zv::companion::workdesk {

namespace {

void PutInt(std::string& bytes, std::size_t offset, std::int32_t value) {
  const auto u = static_cast<std::uint32_t>(value);
  for (std::size_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>((u >> (8 * i)) & 0xFFu);
}

}  // namespace

std::string EncodeDragData(const DragData& data) {
  std::string bytes(kDragDataSize, '\0');
  PutInt(bytes, kDragSourceOffset, data.sourcePid);
  const std::size_t n = std::min(data.folder.size(), kDragFolderBytes - 1);
  bytes.replace(kDragFolderOffset, n, data.folder.substr(0, n));
  PutInt(bytes, kDragCardOffset, data.fromCardOrEBinder);
  PutInt(bytes, kDragWholeFileOffset, data.wholeFiles);
  PutInt(bytes, kDragCountOffset, data.pageCount);
  PutInt(bytes, kDragPageTypeOffset, data.pageType);
  PutInt(bytes, kDragSourceKindOffset, data.sourceKind);
  return bytes;
}

std::int32_t ReadDragInt(const std::string& bytes, std::size_t offset) {
  std::uint32_t u = 0;
  for (std::size_t i = 0; i < 4; ++i)
    u |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
  return static_cast<std::int32_t>(u);
}

std::string PageRoomSocketPath(int pid) {
  const std::string folder = platform::RuntimeFolder();
  if (folder.empty()) return {};
  return platform::JoinPath(
      folder, "workdesk-pageroom-" + std::to_string(platform::EffectiveUser()) + "-" + std::to_string(pid) + ".socket");
}

}  // namespace zv::companion::workdesk
