/* Filing one document into one binder: InsertFileToBinder, and the
 * conversion of a document to PDF by printing it (Zorvan_ConvertPDF).
 *
 * Plain C exports of the Dravel library (see dravel.h for text and buffer
 * conventions: UTF-8 POSIX paths, DRAVEL_PATH_MAX = 260 byte buffers). */
#ifndef ZV_DRAVEL_PIPELINE_H
#define ZV_DRAVEL_PIPELINE_H

#include <stdint.h>

#include "dravel/dravel.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Results of InsertFileToBinder. */
enum {
  DRAVEL_INSERT_OK = 0,      /* filed */
  DRAVEL_INSERT_SKIPPED = 1, /* binder open or busy: try again later (error -100000, message 81) */
  DRAVEL_INSERT_FAILED = -1  /* refused or failed: error code and message set */
};
/* Error code of a skip because the binder is open or busy. */
#define DRAVEL_ERROR_BINDER_BUSY (-100000)

/* Files the document `source` into the binder folder `binder`.
 *
 *  1 owner          window handle handed to the image library and the
 *                   conversion; may be NULL (not used on this platform)
 *  2 binder         in/out, a DRAVEL_PATH_MAX byte buffer: in the target
 *                   binder folder (may name an overflow binder that does not
 *                   exist yet); out the binder actually used, once the
 *                   search has chosen it (unchanged when the call ends
 *                   before the search)
 *  3 source         the file to import; never moved or deleted by this call
 *  4 dataChange     passed unchanged to the insertion (monitor: 1 when
 *                   [EnvSetting] DataChange is nonzero, else 0)
 *  5 index          index of the import setting (logged, kept with the pages)
 *  6 insertPos      insertion position in the binder
 *  7 a3b4           page-size option for A3/B4 paper (conversion, insertion)
 *  8 printCopy      out, DRAVEL_PATH_MAX bytes (may be NULL): path of the
 *                   print copy made when printFlag > 0; emptied and the copy
 *                   deleted when the call fails; the caller prints and
 *                   deletes a copy returned on success
 *  9 printFlag      above 0: make a print copy of the imported file
 * 10 pageCount      out (may be NULL): number of pages inserted
 * 11 keyword        keyword for every inserted page (may be NULL = "")
 * 12 service        nonzero: running without a desktop; documents that would
 *                   need printing to PDF are refused (300400)
 * 13 message        out, at least DRAVEL_PATH_MAX bytes (may be NULL):
 *                   user-readable text of the failure or skip, "" on success
 * 14 reserved       not read (may be NULL)
 * 15 vlCode         passed to the search and the insertion; 2 selects the
 *                   per-page keyword insertion and accepts secured binders
 * 16 title          out, DRAVEL_PATH_MAX bytes (may be NULL): the target
 *                   binder's title without the bytes 0x18 and 0x19
 * 17 errorCode      out (may be NULL): six-digit error code, 0 on success,
 *                   DRAVEL_ERROR_BINDER_BUSY on a skip
 * 18 contentsAdd    1: add a table-of-contents entry for the inserted file
 * 19 securePdfMode  nonzero: a secured PDF is filed by printing it instead of
 *                   being refused (310205)
 * 20 securedFlag    out (may be NULL): 1 when the source is a PDF whose
 *                   security forbids printing or needs a user password, else 0
 * 21 extraKeyword   appended after each per-page keyword, separated by " "
 *                   (may be NULL = "")
 * 22 searchVariant  0: the exported SearchInsertBinder; nonzero: the
 *                   internal search variant
 *
 * Returns DRAVEL_INSERT_OK, DRAVEL_INSERT_SKIPPED or DRAVEL_INSERT_FAILED. */
DRAVEL_API int InsertFileToBinder(void* owner, char* binder, const char* source, int dataChange, int index,
                                  int insertPos, int a3b4, char* printCopy, int printFlag, int* pageCount,
                                  const char* keyword, int service, char* message, int* reserved, int vlCode,
                                  char* title, int* errorCode, int contentsAdd, int securePdfMode, int* securedFlag,
                                  const char* extraKeyword, int searchVariant);

/* Prints `source` to PDF into `workFolder`; `outputPdf` (DRAVEL_PATH_MAX
 * bytes) receives the path of the produced PDF. `owner` may be NULL.
 * 0 success, -1 failure with the library's error code set (310100-310500;
 * C++ callers read it with zv::dravel::LibraryErrorCode). */
DRAVEL_API int16_t Zorvan_ConvertPDF(const char* source, const char* workFolder, char* outputPdf, void* owner,
                                     int a3b4);

#ifdef __cplusplus
}

#include <string>
#include <vector>

namespace zv::dravel {

// The library-wide error code of the last failed call (one per process, as
// the library keeps it; calls from several threads would share it).
int LibraryErrorCode();
void SetLibraryErrorCode(int code);

// Keywords of the inserted pages: page i (from 1) gets "<keyword>_<i> ",
// followed by "<extra> " when `extra` is not empty. No keyword: no list.
std::vector<std::string> PageKeywords(const std::string& keyword, const std::string& extra, int pages);

// Table-of-contents text of an import: the keyword and the source's file
// name, cut on a character boundary to fit an entry.
std::string TocEntryText(const std::string& keyword, const std::string& sourcePath);
inline constexpr std::size_t kTocEntryMaxBytes = 255;

// The work folder of imports: <program folder>/AutoImpInfo/$Hopvale.
std::string ImportWorkFolder();

}  // namespace zv::dravel
#endif

#endif /* ZV_DRAVEL_PIPELINE_H */
