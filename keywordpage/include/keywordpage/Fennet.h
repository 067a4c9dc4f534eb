/* The keyword-page library as the import list loads it (libFennet.so in the
 * program folder): plain C functions that never throw.
 *
 * A binder is named by the path of its page file, "<binder folder>/<name>.pdf"
 * (".pwb" for a secured binder), name being the binder folder's name; its ini
 * is "<binder folder>/<name>.ini". Pages are numbered from 1 in page-list
 * order counting every page but those with Page<n>Flag 2 (pages without a
 * page file), the numbering behind PageTotal.
 *
 *   int FindPageWithKeyword3(const char* pageFile, const char* text);
 *       The number of the first page whose keyword (its first Page<n>Content
 *       value) contains `text` as a byte string; 0 when none does; -1 for an
 *       empty argument, a page file that is missing or a folder, or a binder
 *       ini that cannot be read.
 *   int DelPageFromBinder(const char* pageFile, int first, int last, int pair);
 *       Removes pages first..last (first odd, last even). With `pair`
 *       nonzero and page `first` marked as the back of a double-sided sheet
 *       (Page<n>Flag 1), the two pages before it go too. The caller holds
 *       the binder's ~Write.Locked. 0 or a FENNET_DEL_* code; on every code
 *       but 0 the binder is as before.
 */
#ifndef ZV_KEYWORDPAGE_FENNET_H
#define ZV_KEYWORDPAGE_FENNET_H

#ifdef __cplusplus
extern "C" {
#endif

#define FENNET_DEL_OK 0
#define FENNET_DEL_FILES                                                                              \
  (-1)                             /* page files or the ini could not be written, or work files of an \
                                      interrupted change that cannot be interpreted (nothing changed) */
#define FENNET_DEL_EBOOK (-2)      /* a page carries electronic-document data */
#define FENNET_DEL_RENAME (-3)     /* the single page file could not be renamed (100 tries, 50 ms apart) */
#define FENNET_DEL_PATH (-4)       /* path longer than 250 bytes, not a binder's page file, file or ini missing */
#define FENNET_DEL_CARD (-5)       /* card binder */
#define FENNET_DEL_RANGE (-6)      /* bad range */
#define FENNET_DEL_MEMORY (-7)     /* out of memory */
#define FENNET_DEL_UNARRANGED (-8) /* the temporary (unarranged) binder */

#define FENNET_FINDPAGE_NAME "FindPageWithKeyword3"
#define FENNET_DELPAGE_NAME "DelPageFromBinder"
typedef int (*FindPageWithKeyword3Func)(const char* pageFile, const char* text);
typedef int (*DelPageFromBinderFunc)(const char* pageFile, int first, int last, int pair);

/* For programs linked against the library at load time (the import list). */
int FindPageWithKeyword3(const char* pageFile, const char* text);
int DelPageFromBinder(const char* pageFile, int first, int last, int pair);

#ifdef __cplusplus
}
#endif

#endif
