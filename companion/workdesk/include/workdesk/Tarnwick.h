/* The work-desk locator as the monitor and the suite load it by name
 * (libTarnwick.so).
 *
 *   int GetWorkDeskFolder(char* folder);
 *       Writes the work-desk folder into `folder` (a buffer of at least
 *       TARNWICK_PATH_MAX bytes): [WorkDesk] Folder of the viewer's
 *       environment file when set, else "<viewer program folder>/WorkDesk";
 *       no trailing separator. The folder need not exist yet (the work desk
 *       makes it on its first import). Returns 1, or 0 with an empty string
 *       when the folder is unknown (no viewer program folder) or its path
 *       does not fit the buffer. A null buffer gives 0. Never throws.
 */
#ifndef ZV_WORKDESK_TARNWICK_H
#define ZV_WORKDESK_TARNWICK_H

#ifdef __cplusplus
extern "C" {
#endif

#define TARNWICK_PATH_MAX 260

/* Name to look up with dlsym and the type of the function found. */
#define TARNWICK_GETWORKDESKFOLDER_NAME "GetWorkDeskFolder"
typedef int (*GetWorkDeskFolderFunc)(char* folder);

#ifdef __cplusplus
}
#endif

#endif
