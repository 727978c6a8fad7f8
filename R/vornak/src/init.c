/* Registers the one native routine, so R finds it by name without a dynamic symbol search. */
#include <R.h>
#include <R_ext/Rdynload.h>
#include <Rinternals.h>

void vornak_R_main(char** dataFileCh, int* dataFileLen, char** labelCh, int* labelLen,
                   char** initialZCh, int* initialZLen, char** heuristicsCh, int* heuristicsLen,
                   char** priorCh, int* priorLen, char** modelCh, int* modelLen, int* kPtr,
                   int* BPtr, int* minuteAllowedPtr);

static R_NativePrimitiveArgType vornakArgTypes[15] = {
    STRSXP, INTSXP, STRSXP, INTSXP, STRSXP, INTSXP, STRSXP, INTSXP,
    STRSXP, INTSXP, STRSXP, INTSXP, INTSXP, INTSXP, INTSXP};

/* The detour through void (*)(void), the generic function pointer, keeps -Wextra quiet. */
static const R_CMethodDef cMethods[] = {
    {"vornak_R_main", (DL_FUNC)(void (*)(void))&vornak_R_main, 15, vornakArgTypes},
    {NULL, NULL, 0, NULL}};

void R_init_vornak(DllInfo* dll) {
  R_registerRoutines(dll, cMethods, NULL, NULL, NULL);
  R_useDynamicSymbols(dll, FALSE);
}
