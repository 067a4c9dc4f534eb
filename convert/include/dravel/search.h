/* Choosing the binder that takes an import: the configured binder, or one of
 * its "#n" overflow binders (created, with a new cabinet or library where the
 * old one is full).
 *
 * Exported C names (add to the library's export list):
 *   SearchInsertBinder
 *   GetSharpNum2
 *
 * Order in which existing overflow binders are tried
 * ---------------------------------------------------
 * The "family" of a binder B (base name: B without its "#n" suffix) in
 * cabinet C of library L is searched in this order:
 *   1. the configured binder itself;
 *   2. in cabinet C, every binder "B#n" (n >= 2) listed in C's NameList whose
 *      folder exists, by ascending n; missing numbers are simply passed over
 *      ("#2" deleted, "#3" present: "#3" is tried);
 *   3. the overflow cabinets "C#m" of L (ascending m), each with B's family
 *      in ascending n;
 *   4. the overflow libraries "L#k" of the link folder (ascending k), each
 *      with its cabinets C, C#2, C#3 ... as in 2 and 3.
 * The first binder whose page count plus the new pages fits its
 * MaxUploadPage (missing: 1000) is the target. Looking beyond the binder's
 * own cabinet keeps a full cabinet from getting a new overflow cabinet on
 * every import.
 *
 * When none fits, a new overflow binder B#n is made with n one above the
 * highest number seen in the whole family (at least 2), skipping numbers
 * whose folder exists in the receiving cabinet. It goes into the first
 * cabinet of the order above (C, C#2, ..., then the cabinets of the overflow
 * libraries) with fewer than 21 binders; when every one is full, a new
 * cabinet "C#m" goes into the first library of the family (L, L#2, ...) with
 * fewer than 20 cabinets; when those are full too, a new library "L#k" with
 * a cabinet "C" is made, unless the link folder already holds 6 libraries
 * (330700).
 *
 * Overflow names are "<base>#<n>", the base cut (never inside a character)
 * so that the whole name's display width stays within 40 (library), 32
 * (cabinet) or 48 (binder). The new binder's folder name and title are the
 * same text.
 *
 * Error codes (message of the library's table in brackets)
 *   330100 [63] binder ini missing            330200 [64] binder page count
 *   330300 [66] the short lock of a binder of the family was not had
 *   330400 [43/45/47] a Folder.ini of the family cannot be read (damaged
 *               lists, missing parent) -- [43] link folder, [45] library,
 *               [47] cabinet
 *   330500 [51] a new level would be needed but the caller's flag is 0
 *   330600 [67] the file alone exceeds MaxUploadPage
 *   330700 [68] (trace also gets [15]) 6 libraries already
 *   330801 [54] library limit   330802 [52/53] library folder or Folder.ini
 *   330803 [55] link folder's lists not updated (new library removed again)
 *   330901 [58] cabinet limit   330902 [56/57] cabinet folder or Folder.ini
 *   330903 [59] library's lists not updated (new cabinet removed again)
 *   331001 [61] binder name already in the cabinet / no free number
 *   331002 [62] binder creation failed (lock, limit, write)
 *   331011 [60] derivation from the full binder failed (the new binder is
 *               removed again before it is listed)
 */
#ifndef ZV_DRAVEL_SEARCH_H
#define ZV_DRAVEL_SEARCH_H

#include "dravel/dravel.h"

#ifdef __cplusplus
extern "C" {
#endif

enum { DRAVEL_SEARCH_NAME_MAX = 64 };

/* The search request. Every text field left empty is given its default
 * before the search ("@NONE" for the six names, "@FRONT", the three colour
 * codes). The name fields are informational: the configured binder is the
 * path handed to SearchInsertBinder. */
typedef struct DravelSearchRequest {
  char linkFolder[DRAVEL_PATH_MAX];      /* "@NONE" */
  char library[DRAVEL_PATH_MAX];         /* "@NONE" */
  char cabinet[DRAVEL_PATH_MAX];         /* "@NONE" */
  char binder[DRAVEL_PATH_MAX];          /* "@NONE" */
  char name5[DRAVEL_PATH_MAX];           /* "@NONE" */
  char name6[DRAVEL_PATH_MAX];           /* "@NONE" */
  char position[DRAVEL_SEARCH_NAME_MAX]; /* "@FRONT"; new binders are appended
                                            to the cabinet's NameList in any case */
  char colour1[16];                      /* "000000999" */
  char colour2[16];                      /* "255255151" */
  char colour3[16];                      /* "255255128" */
  /* Folder.ini templates for a new library / cabinet; empty: an empty list
   * section is written. */
  char libraryTemplate[DRAVEL_PATH_MAX];
  char cabinetTemplate[DRAVEL_PATH_MAX];
  int markUnread; /* nonzero: a new binder gets UnreadList "1" */
} DravelSearchRequest;

/* Resolves the binder that takes the pages of `workFile`.
 * binderPath: in the configured binder folder, out the binder to use
 *             (DRAVEL_PATH_MAX bytes).
 * flag:       nonzero (the import passes 1) lets the search create overflow
 *             binders, cabinets and libraries; 0 only picks existing ones.
 * request:    may be NULL (all defaults); empty fields are filled in.
 * Returns 0 on success, nonzero on failure; the error code and message are
 * kept for LastSearchErrorCode / LastSearchMessageId (C++ side below). */
DRAVEL_API int SearchInsertBinder(char* binderPath, const char* workFile, int flag, DravelSearchRequest* request);

/* Splits an overflow name in place. Trailing "#" are removed; a name made
 * only of "#" is emptied (-1). A "#<digits>" suffix is cut off and the rest
 * checked again, so the returned value is 0 for every name that keeps a
 * base and -1 for an emptied one; the buffer holds the base name. */
DRAVEL_API int GetSharpNum2(char* name);

#ifdef __cplusplus
}

#include <string>
#include <string_view>

namespace zv::dravel {

// Error codes of the search.
enum SearchError : int {
  kSearchBinderMissing = 330100,
  kSearchBinderCount = 330200,
  kSearchBinderLock = 330300,
  kSearchListRead = 330400,
  kSearchNoCreate = 330500,
  kSearchFileTooLarge = 330600,
  kSearchLibraryMax = 330700,
  kSearchLibraryLimit = 330801,
  kSearchLibraryCreate = 330802,
  kSearchLibraryUpdate = 330803,
  kSearchCabinetLimit = 330901,
  kSearchCabinetCreate = 330902,
  kSearchCabinetUpdate = 330903,
  kSearchBinderExists = 331001,
  kSearchBinderCreate = 331002,
  kSearchBinderDerive = 331011,
};

// Display-width limits of overflow names.
inline constexpr int kLibraryNameWidth = 40;
inline constexpr int kCabinetNameWidth = 32;
inline constexpr int kBinderNameWidth = 48;

struct SearchOutcome {
  int result = -1;        // 0 found or created, -1 failed
  int errorCode = 0;      // SearchError, 0 on success
  int messageId = 0;      // message of the library's table, 0 on success
  std::string message;    // its text
  std::string binder;     // the binder to use (success)
  int maxUploadPage = 0;  // that binder's page limit (missing key: 1000)
  int pageCount = 0;      // that binder's pages before the insertion
  bool createdBinder = false;
  bool createdCabinet = false;
  bool createdLibrary = false;
};

struct SearchOptions {
  bool allowCreate = true;       // the flag of SearchInsertBinder
  int lockTimeoutSeconds = 600;  // short locks of binder folders
  std::string libraryTemplate;   // Folder.ini templates for new levels
  std::string cabinetTemplate;
  bool markUnread = false;
};

// The search with the pages already counted (the internal variant; the
// export counts the work file and calls this). With `pages` below 1 (a work
// file that is no usable PDF) the configured binder is checked and returned
// as it is: the caller's own page check then reports the file.
SearchOutcome SearchBinderForPages(const std::string& binder, int pages, const SearchOptions& options = {});
// The export's rules on the C++ side: counts the work file's pages first.
SearchOutcome SearchBinderForFile(const std::string& binder, const std::string& workFile,
                                  const SearchOptions& options = {});

// The error code and message id of the last search in this process (0 when
// it succeeded); what SearchInsertBinder leaves behind.
int LastSearchErrorCode();
int LastSearchMessageId();

// Fills the empty fields of a request with their defaults.
void FillSearchDefaults(DravelSearchRequest& request);

// "<base>#<n>" whose display width stays within maxWidth: the base is cut on
// a character boundary (never half a wide character).
std::string OverflowName(std::string_view base, int n, int maxWidth);

// One split of "<base>#<digits>": the base (trailing "#" removed) and the
// number; number 0 when the name has no such suffix, -1 (and an empty base)
// when nothing but "#" remains.
struct SharpSplit {
  std::string base;
  int number = 0;
};
SharpSplit SplitSharpNumber(std::string_view name);

}  // namespace zv::dravel
#endif

#endif /* ZV_DRAVEL_SEARCH_H */
