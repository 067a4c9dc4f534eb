/* The exported interface of the sort-folder library Wimbrel: plain C
 * functions, for the library itself and for every caller (linked at load
 * time or looked up by name).
 *
 * Text is UTF-8; paths are POSIX paths of at most 259 bytes plus the
 * terminator. A null, empty or longer argument is refused with 0. */
#ifndef ZV_SORT_WIMBREL_H
#define ZV_SORT_WIMBREL_H

#include <stdint.h>

#if defined(WIMBREL_BUILD)
#define WIMBREL_API __attribute__((visibility("default")))
#else
#define WIMBREL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

enum { WIMBREL_PATH_MAX = 260 };

/* The owner window of the dialogs: the native window id of a top-level
 * window of the calling program, 0 for none. */
typedef uintptr_t WimbrelWindow;

/* Opens the binder selection dialog for the link folder and makes the
 * folders of the ticked binders in the sort folder. 1 when folders were
 * made; 0 when the user cancelled, nothing could be shown (no display) or
 * the creation failed. Nothing is ever made under the link folder. */
WIMBREL_API int FromBinderToFolder(const char* linkFolder, const char* sortFolder, const char* linkName);

/* After the user's confirmation, makes a library, cabinet or binder for
 * every folder of the sort folder that has none yet. 1 when anything was
 * made; 0 otherwise (also when there was nothing to make). Without a
 * display the questions take their default answers. */
WIMBREL_API int FromFolderToBinder(const char* linkFolder, const char* sortFolder, const char* linkName,
                                   WimbrelWindow owner);

/* 1 when there is no folder-name error list; otherwise shows the folder-name
 * error dialog and returns 0. */
WIMBREL_API int OpneFolderErrorTxt(void);

/* The trace-log settings of EnvSetInfo.ini in the program folder: the folder
 * (WIMBREL_PATH_MAX bytes) and the days to keep. 1 when tracing is on and
 * the folder is an absolute local path that exists or was made; else 0. */
WIMBREL_API int ReadTraceLogInfoForSort(char* folder, int* keepDays);

#ifdef __cplusplus
}
#endif

#endif /* ZV_SORT_WIMBREL_H */
