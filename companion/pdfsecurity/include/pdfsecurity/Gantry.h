/* The secured-PDF check as the importer loads it by name (libGantry.so).
 *
 *   int SecurityCheckPDF(const char* path);
 *
 * Results:
 *    0  no security, or encrypted without any restriction (opens with the
 *       empty user password and every permission is granted)
 *    1  owner restrictions that still allow printing
 *    2  printing not allowed
 *    3  a user password is needed to open the file
 *   -1  not supported: a security handler or encryption method we cannot read
 *   -2  damaged: not a PDF, unreadable structure, broken page tree; also a file
 *       that reports a wrong password after damage was already found
 *   -3  missing: no file at the path
 *   -4  other: empty path, a folder, a file that cannot be read
 *
 * How the importer acts on them: 0 files the PDF unchanged; 1 is a secured
 * PDF whose secured flag stays 0; 2 and 3 set the secured flag; 1 to 3 are
 * refused (310205) unless secured PDFs are to be printed; -1 gives 310201,
 * -2 gives 310202, -3 gives 310203 and -4 gives 310204.
 */
#ifndef ZV_PDFSECURITY_GANTRY_H
#define ZV_PDFSECURITY_GANTRY_H

#ifdef __cplusplus
extern "C" {
#endif

#define GANTRY_NO_SECURITY 0
#define GANTRY_PRINT_ALLOWED 1
#define GANTRY_PRINT_DENIED 2
#define GANTRY_PASSWORD_NEEDED 3
#define GANTRY_E_UNSUPPORTED (-1)
#define GANTRY_E_DAMAGED (-2)
#define GANTRY_E_MISSING (-3)
#define GANTRY_E_OTHER (-4)

/* Name to look up with dlsym and the type of the function found. */
#define GANTRY_SECURITY_CHECK_NAME "SecurityCheckPDF"
typedef int (*SecurityCheckPDFFunc)(const char* path);

#ifdef __cplusplus
}
#endif

#endif
