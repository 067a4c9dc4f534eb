// The pages the work desk offers on a drag: the MIME type, the byte layout
// of its data and the page-room request the target sends back.
//
// Layout (32-bit little-endian integers, 288 bytes in all):
//   0   source process id (answers the page-room request)
//   4   source folder, 260 bytes, zero-terminated; its
//       UndoFolder/UndoData.ini describes the dragged pages
//   264 nonzero: the pages come from a card or electronic-document binder
//   268 zero: the selection holds only part of an electronic file
//   272 not used
//   276 number of dragged pages
//   280 page type (1: PDF pages)
//   284 source kind (2: the work desk)
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

namespace zv::companion::workdesk {

inline constexpr const char* kDragMimeType = "application/x-brennic-lorrimac-pages";

inline constexpr std::size_t kDragSourceOffset = 0;
inline constexpr std::size_t kDragFolderOffset = 4;
inline constexpr std::size_t kDragFolderBytes = 260;
inline constexpr std::size_t kDragCardOffset = 264;
inline constexpr std::size_t kDragWholeFileOffset = 268;
inline constexpr std::size_t kDragCountOffset = 276;
inline constexpr std::size_t kDragPageTypeOffset = 280;
inline constexpr std::size_t kDragSourceKindOffset = 284;
inline constexpr std::size_t kDragDataSize = 288;

inline constexpr std::int32_t kDragPageTypePdf = 1;
inline constexpr std::int32_t kDragSourceWorkDesk = 2;

inline constexpr const char* kUndoFolderName = "UndoFolder";
inline constexpr const char* kUndoDataName = "UndoData.ini";

// After the pages are filed the target tells the source on the same socket
// with "moved <n>" (answered "ok"): only then does the source remove its
// pages. The drag's own result cannot say it: a drag source on X11 learns
// the action the target accepted while the pages hovered, before the drop
// was handled.
inline constexpr const char* kPageRoomRequest = "pageroom";
inline constexpr const char* kMovedRequest = "moved";

// The page-room answers that refuse: the binder would hold too many pages,
// the pages are of a newer binder version.
inline constexpr int kPageRoomMaxPageOver = -21;
inline constexpr int kPageRoomBinderVersion = -34;

struct DragData {
  std::int32_t sourcePid = 0;
  std::string folder;
  std::int32_t fromCardOrEBinder = 0;
  std::int32_t wholeFiles = 1;
  std::int32_t pageCount = 0;
  std::int32_t pageType = kDragPageTypePdf;
  std::int32_t sourceKind = kDragSourceWorkDesk;
};

// The bytes of the layout; a folder of 260 bytes or more is cut to 259.
std::string EncodeDragData(const DragData& data);

// The little-endian integer at `offset` (the caller checked the size).
std::int32_t ReadDragInt(const std::string& bytes, std::size_t offset);

// The local socket on which the source with process id `pid` answers
// "pageroom <n>": in the user's runtime folder, named from the user and
// the id.
std::string PageRoomSocketPath(int pid);

}  // namespace zv::companion::workdesk
