/* Registers the native routines, so R finds them by name without a dynamic symbol search. */
#include <R.h>
#include <R_ext/Rdynload.h>
#include <Rinternals.h>

void vornak_R_main(char** dataFileCh, int* dataFileLen, char** labelCh, int* labelLen,
                   char** initialZCh, int* initialZLen, char** heuristicsCh, int* heuristicsLen,
                   char** priorCh, int* priorLen, char** modelCh, int* modelLen, int* kPtr,
                   int* BPtr, int* minuteAllowedPtr);
SEXP vornak_R_run(SEXP words, SEXP progress, SEXP title, SEXP total);
SEXP vornak_R_summary(SEXP args);

static R_NativePrimitiveArgType vornakArgTypes[15] = {
    STRSXP, INTSXP, STRSXP, INTSXP, STRSXP, INTSXP, STRSXP, INTSXP,
    STRSXP, INTSXP, STRSXP, INTSXP, INTSXP, INTSXP, INTSXP};

/* The detour through void (*)(void), the generic function pointer, keeps -Wextra quiet. */
static const R_CMethodDef cMethods[] = {
    {"vornak_R_main", (DL_FUNC)(void (*)(void))&vornak_R_main, 15, vornakArgTypes},
    {NULL, NULL, 0, NULL}};

static const R_CallMethodDef callMethods[] = {
    {"vornak_R_run", (DL_FUNC)(void (*)(void))&vornak_R_run, 4},
    {"vornak_R_summary", (DL_FUNC)(void (*)(void))&vornak_R_summary, 1},
    {NULL, NULL, 0}};

void R_init_vornak(DllInfo* dll) {
  R_registerRoutines(dll, cMethods, callMethods, NULL, NULL);
  R_useDynamicSymbols(dll, FALSE);
}
