/* The exported interface of the Dravel library: plain C functions and
 * records, so that programs and libraries built with any compiler can link it
 * or look the functions up by name (dlsym).
 *
 * Text is UTF-8; paths are POSIX paths of at most 259 bytes plus the
 * terminator. Buffers that the caller passes for output hold DRAVEL_PATH_MAX
 * bytes unless stated otherwise. */
#ifndef ZV_DRAVEL_DRAVEL_H
#define ZV_DRAVEL_DRAVEL_H

#include <stdint.h>

#if defined(DRAVEL_BUILD)
#define DRAVEL_API __attribute__((visibility("default")))
#else
#define DRAVEL_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

enum { DRAVEL_PATH_MAX = 260, DRAVEL_USERNAME_MAX = 24 };

/* Handle of a lock file taken with CreateImpLockFile. */
typedef intptr_t DravelHandle;
#define DRAVEL_INVALID_HANDLE ((DravelHandle)-1)

/* The import record handed to OutPutImpRsltFile, field by field in this
 * order. Text arrays are zero-terminated; an array without terminator is
 * read up to its size. The import time is 64-bit (seconds since 1970). */
typedef struct DravelImpRecord {
  int64_t impTime;                      /* Time, file name, Keyword, LastImpTime */
  char hostName[DRAVEL_PATH_MAX];       /* HostName (written when not empty) */
  char name[DRAVEL_PATH_MAX];           /* Name */
  char srcFolder[DRAVEL_PATH_MAX];      /* File: folder part */
  char srcFile[DRAVEL_PATH_MAX];        /* File: file name part */
  unsigned char result;                 /* nonzero: success */
  char binder[DRAVEL_PATH_MAX];         /* Binder ("<Unknown>" when empty) */
  char index[DRAVEL_PATH_MAX];          /* Index */
  char actualBinder[DRAVEL_PATH_MAX];   /* ActualBinder (not for the work desk) */
  char binderPath[DRAVEL_PATH_MAX];     /* BinderPath */
  char linkFolderPath[DRAVEL_PATH_MAX]; /* LinkFolderPath */
  char linkFolderName[DRAVEL_PATH_MAX]; /* LinkFolderName */
  unsigned char impMode;                /* ImpMode: 0 monitor import, else pages sent by a user */
  int setNumber;                        /* SetNumber */
  int pageCount;                        /* Page (when ImpMode is nonzero) */
  int spare;                            /* not written */
  int a3b4;                             /* A3B4 (its low byte is tested) */
  int workDesk;                         /* bWorkDesk */
  const char* userList;                 /* receivers, each name followed by ","; may be NULL */
  int userSetNoSelf;                    /* bUserSetNoSelf */
  char userName[DRAVEL_USERNAME_MAX];   /* UserName */
  const char* parentPCName;             /* ParentPCName source; may be NULL */
  char* message;                        /* Msg source; emptied once written; may be NULL */
} DravelImpRecord;

/* One binder of a cabinet as GetAllBinderInfo lists it. The title and the
 * path are separate zero-terminated fields; a title is cut (on a character
 * boundary) so that it never runs into the path. */
typedef struct DravelBinderInfo {
  int position;
  char title[DRAVEL_PATH_MAX];
  char path[DRAVEL_PATH_MAX];
} DravelBinderInfo;

/* ---- lock files and the send-user list ------------------------------- */

/* Takes <folder>/<name> as a held lock file, polling every 100 ms for up to
 * timeoutSeconds (below 1: 60). The handle, DRAVEL_INVALID_HANDLE on time-out,
 * 0 when the folder or the name is empty. */
DRAVEL_API DravelHandle CreateImpLockFile(const char* folder, const char* name, int timeoutSeconds);
/* Releases a lock of CreateImpLockFile: 1 released; 0 for an empty folder or
 * name, an invalid or unknown handle, or a folder that no longer exists. */
DRAVEL_API int DeleteImpLockFile(DravelHandle handle, const char* folder, const char* name);
/* Finds (creating when missing) the user's ImpSendUser.dat and copies its
 * path into `path` (DRAVEL_PATH_MAX bytes). 0 success, -106 a folder cannot
 * be created, -107 the file cannot be created. Also reads the send-file log
 * switch. */
DRAVEL_API int GetAndCheckImpSendUserdat(char* path);

/* ---- import result file ----------------------------------------------- */

/* Writes one import result file "Rslt/ImpRslt_<14 digits>.ini" in the
 * program folder and raises LastImpTime in EnvSetInfo.ini. Nothing is written
 * when the program folder has no EnvSetInfo.ini. */
DRAVEL_API void OutPutImpRsltFile(DravelImpRecord record);

/* ---- other exports ----------------------------------------------------- */

/* Trace-log settings from EnvSetInfo.ini of the program folder: 1 tracing on
 * and the folder usable (created when missing), 0 otherwise. */
DRAVEL_API int ReadTraceLogInfo(char* folder, int* keepDays);
/* Loads a library of the viewer's program folder by its absolute path (the
 * working folder is never changed); see libname mapping in the
 * implementation: "Pixmoor.dll" loads "libPixmoor.so". The dlopen handle or
 * NULL. Release it with dlclose. */
DRAVEL_API void* MyLoadLibrary(const char* name);
/* Windows paper size of a paper code: 0 set, -1 bad arguments or code 0, 2
 * code not in the table (size unchanged). */
DRAVEL_API int GetPrinterOutputSize(const char* printer, const char* port, unsigned char paperCode, short* paperSize);
/* Paper code and orientation (1 portrait, 2 landscape) of a file's first
 * page: 1 found, 0 not found. `owner` is not used. */
DRAVEL_API int GetTargetPaperSize(void* owner, const char* path, int* paperCode, int* orientation);
/* Lists the binders of a cabinet: the number of records filled; 0 when
 * Folder.ini is missing or its path too long; -1 when the lists cannot be
 * read or disagree. */
DRAVEL_API int GetAllBinderInfo(const char* cabinet, DravelBinderInfo* records, int capacity);
/* Checks a sort-folder name for use as a library (1), cabinet (2) or binder
 * (3). title1/title2 (DRAVEL_PATH_MAX bytes each, may be NULL) receive the
 * title lines. 1 accepted; 0 refused (a report is appended to
 * Zorvan/AutoImp_FolderError.txt in the temporary folder); -1 not a name to
 * check. */
DRAVEL_API int CheckFolderName(const char* name, int level, char* title1, char* title2, const char* location);

/* ---- send-file insertion ----------------------------------------------- */

/* Inserts the pages a user dropped from the work desk, described by the
 * undo data file `undoData` (UndoData.ini in its undo folder: the pages'
 * PageInfo, OCRText and EBookInfo entries, their page files beside it), into
 * the binder `binderFolder`: at the front when `insertPosition` is 0, else at
 * the back. `pageCount` is the number of dropped pages; an odd count is made
 * even with one blank page (A4Hollow.pdf of the viewer's folder) unless the
 * undo data already lists the even count. `securedBinder` nonzero: the
 * binder keeps its pages in ".pwb" files. The caller holds the binder's
 * ~Write.Locked; this function takes ~Write.Lock and makes Locked and
 * Conv_Locked while it runs. `owner`, `reserved2`, `reserved7` and
 * `reserved9` are handed on by the send-file tool and not used.
 * 0 success; -2 bad arguments or unusable undo data, -3 binder files missing
 * or inconsistent, -4 over MaxUploadPage (500 when missing), -5 no
 * A4Hollow.pdf, -6 binder in use, -8 card binder, -10 temporary binder, -12
 * undo data of a newer binder version, -14 a binder of a newer version, -15
 * postcard binder, -102/-103 the image library cannot be initialised/loaded.
 * On every code but 0 the binder is as before. */
DRAVEL_API int AddPagesToBinderForSendFile(void* owner, int reserved2, const char* binderFolder, const char* undoData,
                                           int pageCount, int insertPosition, int reserved7, int securedBinder,
                                           int reserved9);
/* AddPagesToBinderForSendFile that also marks the inserted pages in the
 * same binder ini replacement: the i-th inserted entry (the blank pad
 * included) gets "<keywordStamp>_<i> " in front of its keyword
 * (`keywordStamp` NULL or empty: no token; a blank or "_" in it: -2), and
 * the binder's Version is raised to `binderVersion` when that is higher (0
 * leaves it; above what this installation writes: -2). A crash never
 * leaves the pages without their tokens. */
DRAVEL_API int AddPagesToBinderForSendFile2(void* owner, int reserved2, const char* binderFolder, const char* undoData,
                                            int pageCount, int insertPosition, int reserved7, int securedBinder,
                                            int reserved9, const char* keywordStamp, int binderVersion);
/* Pages of a PDF file (1 or more); -2 empty name or no page count, -1 the
 * file cannot be opened or read, -103/-102 the image library cannot be
 * loaded/initialised. `reserved` is handed on by the caller and not used. */
DRAVEL_API int GetFileTotalPageForSendFile(const char* path, int reserved);

#ifdef __cplusplus
}
#endif

#endif /* ZV_DRAVEL_DRAVEL_H */
