// The common utilities every deliverable uses: message boxes, path
// operations and environment queries.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace zv::companion {

// Message box style flags and results as the callers pass and read them.
inline constexpr int kMbOk = 0, kMbOkCancel = 1, kMbYesNoCancel = 3, kMbYesNo = 4;
inline constexpr int kMbIconStop = 16, kMbIconQuestion = 32, kMbIconWarning = 48, kMbIconInfo = 64;
inline constexpr int kMbDefButton2 = 0x100, kMbTopMost = 0x40000;
inline constexpr int kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7;

// The button a box without a user would take: its default button.
int DefaultButton(int style);

// The hook that actually shows a box (installed by the Qt programs). Arguments:
// text, caption, style. Returns the pressed button.
using MessageBoxHook = std::function<int(const std::string& text, const std::string& caption, int style)>;
void SetMessageBoxHook(MessageBoxHook hook);
// Caption of ComShowMessage (the application's name).
void SetApplicationCaption(std::string caption);

// Without a hook the text goes to the trace log and standard error and the
// default button is returned.
int ComShowMessage(std::string_view text, int style);
int ComShowMessageBox(std::string_view text, std::string_view caption, int style);

// Path operations; they never fail, an empty input gives an empty output.
bool ComRemoveTree(const std::string& path);          // never follows symbolic links
std::string ComFileExtension(std::string_view path);  // without the dot
std::string ComLastComponent(std::string_view path);
std::string ComStripExtension(std::string_view name);
void ComParentFolder(std::string& path);   // in place
void ComTrimBackslash(std::string& path);  // in place; trims "/" too

// Non-zero when the path's file system does not answer within a few seconds
// (a dead network mount) or the path's mount is gone.
int ComIsUnreachable(const std::string& path);
// 2 for a restricted user (one who cannot write the program folder), else 1.
int ComUserRights();
// Paths of the viewer's folder list file and the product settings file.
// ComCommonInfoPath returns 0 on success, non-zero on failure.
int ComCommonInfoPath(std::string& out);
std::string ComProductSettingsPath();
// Platform version code; 11 and above selects the per-user file associations.
int ComPlatformVersion();
// Paper size code for an image of the given pixel size and resolution
// (see the paper table of the library exports).
int ComPaperSize(int widthPixels, int heightPixels, int xDpi, int yDpi);

}  // namespace zv::companion
