/* The output plug-in's C interface (libFerrule.so in the program folder).
 *
 *   int ManOutputPlugin(int operation, int32_t connection, void* parameter);
 *
 * Non-zero on success. Operations:
 *   10 open:    connection 0, parameter FerruleOpenBlock; the plug-in fills
 *               `connection` and `outputs`.
 *   20 close:   the connection; parameter NULL.
 *   30 reset:   the connection; parameter int32_t* receiving 0 (after a failed
 *               close, or when listing the outputs failed).
 *   40 output:  the connection; parameter FerruleOutputBlock with `index`
 *               (1 to the count) set; the plug-in fills the rest.
 *   50 command: the connection; parameter FerruleCommandBlock (below).
 *
 * Commands (FerruleCommandBlock.command), in the order a print issues them:
 *   10 open (job 0, FerruleJobBlock: the plug-in fills `job`), 50 clear,
 *   1020 set operation mode (FerruleModeBlock: 0, then 1), 60 add file (the
 *   document's full path, const char*), 1110 get print information
 *   (FerrulePrintInfo, filled), 1120 set print area (FerruleAreaBlock), 30
 *   print (NULL, or int32_t* receiving a FERRULE_STATUS_* code), 20 close.
 *
 * Blocks are 32-bit fields at fixed offsets; the offsets are checked below.
 * Nothing of the plug-in changes a printer's own settings: the option string
 * of the print area travels with the one job it makes.
 */
#ifndef FERRULE_H
#define FERRULE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define FERRULE_LIBRARY_NAME "libFerrule.so"
#define FERRULE_ENTRY_NAME "ManOutputPlugin"

#define FERRULE_OP_OPEN 10
#define FERRULE_OP_CLOSE 20
#define FERRULE_OP_RESET 30
#define FERRULE_OP_OUTPUT 40
#define FERRULE_OP_COMMAND 50

#define FERRULE_CMD_OPEN 10
#define FERRULE_CMD_CLOSE 20
#define FERRULE_CMD_PRINT 30
#define FERRULE_CMD_CLEAR 50
#define FERRULE_CMD_ADD_FILE 60
#define FERRULE_CMD_SET_MODE 1020
#define FERRULE_CMD_GET_PRINT_INFO 1110
#define FERRULE_CMD_SET_PRINT_AREA 1120

/* The output type of the printer output. */
#define FERRULE_OUTPUT_PRINTER 20

/* What a print came to (command 30's optional result). */
#define FERRULE_STATUS_OK 0
#define FERRULE_STATUS_NO_SCHEDULER 1 /* the scheduler is gone or did not answer in time */
#define FERRULE_STATUS_NO_PRINTER 2   /* the printer (or a default) does not exist */
#define FERRULE_STATUS_REFUSED 3      /* the scheduler refused the job */
#define FERRULE_STATUS_NO_DOCUMENT 4  /* nothing to print, or it could not be rendered */

typedef int (*ManOutputPluginFunc)(int operation, int32_t connection, void* parameter);

typedef struct FerruleOpenBlock {
  int32_t window;     /* offset 0: 0 (no window) */
  char product[256];  /* offset 4 */
  int32_t zero;       /* offset 260 */
  int32_t connection; /* offset 264: out */
  int32_t outputs;    /* offset 268: out, the number of outputs */
} FerruleOpenBlock;

typedef struct FerruleOutputBlock {
  int32_t index;  /* offset 0: in, 1 to the count */
  char name[272]; /* offset 4 */
  int32_t type;   /* offset 276: FERRULE_OUTPUT_PRINTER for the printer */
  char reserved[524];
} FerruleOutputBlock;

typedef struct FerruleCommandBlock {
  int32_t flag;     /* offset 0: 1 */
  int32_t command;  /* offset 4 */
  int32_t job;      /* offset 8: the job handle (0 for open) */
  int32_t reserved; /* offset 12 */
  void* parameter;  /* offset 16: the command's block, text or result */
} FerruleCommandBlock;

typedef struct FerruleJobBlock {
  int32_t window;    /* offset 0: 0 (no window) */
  char product[256]; /* offset 4 */
  char reserved1[8]; /* offset 260 */
  int32_t job;       /* offset 268: out, the job handle */
  char reserved2[464];
} FerruleJobBlock;

typedef struct FerruleModeBlock {
  int32_t values[18]; /* 0, then 1, then zeros */
} FerruleModeBlock;

typedef struct FerrulePrintInfo {
  int32_t pages;       /* offset 0: pages of the document as it will print */
  int32_t orientation; /* offset 4: 1 portrait, 2 landscape, 0 unknown */
  char kind[16];       /* offset 8: "pdf", "image" or "office" */
  char reserved[48];
} FerrulePrintInfo;

typedef struct FerruleAreaBlock {
  FerrulePrintInfo info; /* offset 0: as command 1110 filled it */
  char printer[512];     /* offset 72: the destination; "" for the default one */
  int32_t copies;        /* offset 584: from the options (1 when not given) */
  int32_t collate;       /* offset 588: 1 collated, 0 not, from the options */
  int32_t optionsLength; /* offset 592: bytes of `options` */
  int32_t reserved;      /* offset 596 */
  const char* options;   /* offset 600: the job's option string ("copies=2 media=..."), may be NULL */
} FerruleAreaBlock;

#ifdef __cplusplus
} /* extern "C" */

#include <cstddef>
static_assert(offsetof(FerruleOpenBlock, product) == 4 && offsetof(FerruleOpenBlock, zero) == 260 &&
              offsetof(FerruleOpenBlock, connection) == 264 && offsetof(FerruleOpenBlock, outputs) == 268);
static_assert(sizeof(FerruleOutputBlock) == 804 && offsetof(FerruleOutputBlock, type) == 276);
static_assert(sizeof(FerruleJobBlock) == 736 && offsetof(FerruleJobBlock, job) == 268);
static_assert(sizeof(FerruleModeBlock) == 72 && sizeof(FerrulePrintInfo) == 72);
static_assert(offsetof(FerruleCommandBlock, parameter) == 16);
static_assert(offsetof(FerruleAreaBlock, printer) == 72 && offsetof(FerruleAreaBlock, copies) == 584 &&
              offsetof(FerruleAreaBlock, options) == 600);
#endif

#endif /* FERRULE_H */
