#ifndef KALTHORNE_NFD_H
#define KALTHORNE_NFD_H
/* Native file dialog layer, with the nativefiledialog-extended names and
   result values. On Linux the native character type is UTF-8 char. */

#ifdef __cplusplus
extern "C" {
#endif

typedef char nfdu8char_t;
typedef nfdu8char_t nfdnchar_t;
typedef unsigned int nfdfiltersize_t;

typedef enum {
  NFD_ERROR = 0,  /* see NFD_GetError() */
  NFD_OKAY = 1,   /* the user picked a path */
  NFD_CANCEL = 2, /* the user closed the dialog */
} nfdresult_t;

typedef struct {
  const nfdu8char_t *name; /* e.g. "Look file" */
  const nfdu8char_t *spec; /* comma-separated extensions without dots, e.g. "prm" */
} nfdu8filteritem_t;
typedef nfdu8filteritem_t nfdnfilteritem_t;

/* Must succeed before any dialog; works without a display (the dialog itself
   then reports an error when opened). */
nfdresult_t NFD_Init(void);
void NFD_Quit(void);
/* Text of the last error on this thread, or null when there is none. */
const char *NFD_GetError(void);
void NFD_ClearError(void);

/* Opens the native open-file dialog. On NFD_OKAY *outPath holds a path that
   the caller releases with NFD_FreePathN. */
nfdresult_t NFD_OpenDialogN(nfdnchar_t **outPath, const nfdnfilteritem_t *filterList, nfdfiltersize_t filterCount,
                            const nfdnchar_t *defaultPath);
void NFD_FreePathN(nfdnchar_t *filePath);

#ifdef __cplusplus
}
#endif
#endif
