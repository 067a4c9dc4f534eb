/* The image library as the importer loads it by name (libPixmoor.so).
 *
 * Every function is extern "C", never throws, and may be called from one
 * thread at a time per process. Paths are byte strings (UTF-8 on Linux).
 *
 *   int ImageIO_Initialize(void* ownerWindow, const char* callerName, int flags);
 *       Opens a session: the owner window is kept for callers that show
 *       progress (may be null), the caller name (e.g. "Corvane ") prefixes the
 *       library's trace lines; flags are reserved (pass 0). Sessions nest.
 *       Returns 1, or 0 when callerName is null or flags is not 0.
 *   int ImageIO_UnInitialize(void);
 *       Closes the innermost session. Returns 1, or 0 when none is open.
 *   int ImageIO_GetFileInfo(const char* path, int page, ImageIOFileInfo* info);
 *       Reads the headers of the file (no pixel data) and fills *info for the
 *       0-based page: format, page count, pixel size, resolution, bits per
 *       pixel. info->structSize must be set to sizeof(ImageIOFileInfo) by the
 *       caller. Also answers for PDF files (format IMAGEIO_FORMAT_PDF, page
 *       size in points at 72 dpi), so callers can count a PDF's pages.
 *       Returns IMAGEIO_OK or a negative IMAGEIO_E_* code.
 *   int ImageIO_CheckSupport(const char* path);
 *       The IMAGEIO_FORMAT_* code (> 0) of an image file this library reads
 *       and converts: JPEG, PNG, TIFF, BMP or GIF recognised by content (not
 *       by name) whose headers are sound and whose size is within the limits.
 *       0 for anything else, PDF included (a PDF is filed as it is).
 *   int ImageIO_GetSaveFuncInfo(int format, ImageIOSaveInfo* info);
 *       Describes the save operation for a format: only IMAGEIO_FORMAT_PDF (50)
 *       is written. info->structSize must be set by the caller. Returns
 *       IMAGEIO_OK, IMAGEIO_E_UNSUPPORTED for other formats, or
 *       IMAGEIO_E_PARAM.
 *   int ImageIO_SaveFileName(const char* source, const char* target, int format, int flags);
 *       Converts every page of the image file `source` into the PDF `target`
 *       (one page per image page, page size from the resolution, 72 dpi when
 *       none). JPEG data and CCITT fax data are embedded unchanged; other
 *       images are compressed losslessly. The target is replaced atomically;
 *       on failure it is left as it was. format must be IMAGEIO_FORMAT_PDF;
 *       flags are reserved (pass 0). Returns the number of pages written
 *       (>= 1) or a negative IMAGEIO_E_* code.
 */
#ifndef ZV_IMAGELIB_PIXMOOR_H
#define ZV_IMAGELIB_PIXMOOR_H

#ifdef __cplusplus
extern "C" {
#endif

/* Formats. */
#define IMAGEIO_FORMAT_UNKNOWN 0
#define IMAGEIO_FORMAT_BMP 1
#define IMAGEIO_FORMAT_JPEG 2
#define IMAGEIO_FORMAT_PNG 3
#define IMAGEIO_FORMAT_TIFF 4
#define IMAGEIO_FORMAT_GIF 5
#define IMAGEIO_FORMAT_PDF 50

/* Results. */
#define IMAGEIO_OK 1
#define IMAGEIO_E_PARAM (-1)       /* null or empty argument, bad page index type */
#define IMAGEIO_E_NOFILE (-2)      /* missing, a folder, unreadable, or too large a file */
#define IMAGEIO_E_UNSUPPORTED (-3) /* not a format (or a variant) this library reads */
#define IMAGEIO_E_CORRUPT (-4)     /* damaged or truncated data */
#define IMAGEIO_E_SIZE (-5)        /* zero or absurd pixel size (refused before allocating) */
#define IMAGEIO_E_WRITE (-6)       /* the target cannot be written */
#define IMAGEIO_E_MEMORY (-7)      /* out of memory */
#define IMAGEIO_E_PAGE (-8)        /* page index outside the file's pages */
#define IMAGEIO_E_INTERNAL (-9)    /* anything else */

typedef struct ImageIOFileInfo {
  int structSize; /* in: sizeof(ImageIOFileInfo) */
  int format;     /* IMAGEIO_FORMAT_* */
  int pageCount;  /* pages in the file (>= 1) */
  int width;      /* pixels of the page asked for */
  int height;
  int xDpi; /* resolution in dots per inch, rounded; 0 when the file gives none */
  int yDpi;
  int bitsPerPixel; /* bits per pixel as stored (1 for fax pages) */
} ImageIOFileInfo;

typedef struct ImageIOSaveInfo {
  int structSize;    /* in: sizeof(ImageIOSaveInfo) */
  int format;        /* the format described */
  int multiPage;     /* 1: one file holds every page */
  int defaultDpi;    /* resolution assumed for images that give none */
  char extension[8]; /* file extension without the dot, e.g. "pdf" */
} ImageIOSaveInfo;

/* Names to look up with dlsym and the types of the functions found. */
#define IMAGEIO_INITIALIZE_NAME "ImageIO_Initialize"
#define IMAGEIO_UNINITIALIZE_NAME "ImageIO_UnInitialize"
#define IMAGEIO_GETFILEINFO_NAME "ImageIO_GetFileInfo"
#define IMAGEIO_CHECKSUPPORT_NAME "ImageIO_CheckSupport"
#define IMAGEIO_GETSAVEFUNCINFO_NAME "ImageIO_GetSaveFuncInfo"
#define IMAGEIO_SAVEFILENAME_NAME "ImageIO_SaveFileName"

typedef int (*ImageIO_InitializeFunc)(void* ownerWindow, const char* callerName, int flags);
typedef int (*ImageIO_UnInitializeFunc)(void);
typedef int (*ImageIO_GetFileInfoFunc)(const char* path, int page, ImageIOFileInfo* info);
typedef int (*ImageIO_CheckSupportFunc)(const char* path);
typedef int (*ImageIO_GetSaveFuncInfoFunc)(int format, ImageIOSaveInfo* info);
typedef int (*ImageIO_SaveFileNameFunc)(const char* source, const char* target, int format, int flags);

#ifdef __cplusplus
}
#endif

#endif
