/* The work-desk import as the monitor loads it by name (libPinfold.so).
 *
 *   int WorkDesk_ImportFile(const char* folder, const char* source, int a3b4,
 *                           int dataChange, int* converted, int* pageCount,
 *                           int reserved1, int reserved2, int reserved3,
 *                           int reserved4, char* message);
 *
 *       Puts every page of `source` into the work-desk folder `folder` as a
 *       PDF file of its own: "<name>_001.pdf", "<name>_002.pdf", ... where
 *       <name> is the source's name without its extension. When any of those
 *       names is taken, the whole set is named "<name>-2_001.pdf", ...
 *       ("-3", ... up to "-999"), so the pages of one import always share
 *       one name. The folder is created when missing.
 *
 *       The source is a PDF (recognised by its content, not its name) or an
 *       image that the image library (libPixmoor.so, loaded from the folder
 *       this library was loaded from) reads: JPEG, PNG, TIFF, BMP, GIF. An
 *       image becomes one PDF page per image page first. Anything else is
 *       refused with PINFOLD_E_UNSUPPORTED.
 *
 *       a3b4 and dataChange are the viewer's options of the same names;
 *       pages are always written whole, so neither changes the result.
 *       *converted (may be null; the caller clears it) becomes 1 when the
 *       source was an image, 0 for a PDF. *pageCount (may be null) receives
 *       the number of page files written, 0 on failure. The reserved
 *       arguments must be 0. `message` (may be null; at least
 *       PINFOLD_MESSAGE_SIZE bytes) receives a short English reason on
 *       failure and an empty string on success.
 *
 *       While it works the import holds "<folder>/~Working.Locked"; the work
 *       desk holds the same lock while it rearranges its folder. When the
 *       lock is held elsewhere nothing is done and PINFOLD_E_BUSY is
 *       returned: try again later.
 *
 *       On failure no page file of this call is left in the folder.
 *
 * Results: the number of pages written (> 0), or one of the codes below.
 * Callers treat PINFOLD_E_BUSY and PINFOLD_E_BUSY_ALT alike (the second is
 * never returned by this library, older work desks use it).
 */
#ifndef ZV_WORKDESK_PINFOLD_H
#define ZV_WORKDESK_PINFOLD_H

#ifdef __cplusplus
extern "C" {
#endif

#define PINFOLD_MESSAGE_SIZE 260

#define PINFOLD_E_PARAM (-1)       /* null or empty path, reserved argument not 0 */
#define PINFOLD_E_NOFILE (-2)      /* no readable file at the source path */
#define PINFOLD_E_UNSUPPORTED (-3) /* neither a PDF nor an image the image library reads */
#define PINFOLD_E_DAMAGED (-4)     /* damaged PDF or image, no pages, or a password is needed */
#define PINFOLD_E_FOLDER (-5)      /* the work-desk folder cannot be created or written */
#define PINFOLD_E_WRITE (-6)       /* a page file cannot be written, or no free name */
#define PINFOLD_E_IMAGELIB (-7)    /* not a PDF, and the image library cannot be loaded to read it */
#define PINFOLD_E_INTERNAL (-9)    /* anything else */
#define PINFOLD_E_BUSY (-10)       /* the work desk holds its working lock */
#define PINFOLD_E_BUSY_ALT (-228)  /* busy, as older work desks report it */

/* Name to look up with dlsym and the type of the function found. */
#define PINFOLD_IMPORTFILE_NAME "WorkDesk_ImportFile"
typedef int (*WorkDesk_ImportFileFunc)(const char* folder, const char* source, int a3b4, int dataChange, int* converted,
                                       int* pageCount, int reserved1, int reserved2, int reserved3, int reserved4,
                                       char* message);

#ifdef __cplusplus
}
#endif

#endif
