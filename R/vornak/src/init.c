/* Registers the native routines, so R finds them by name without a dynamic symbol search. */
#include <R.h>
#include <R_ext/Rdynload.h>
#include <Rinternals.h>

#include "driver/R_entry.h"

SEXP vornak_R_run(SEXP words, SEXP progress, SEXP title, SEXP total, SEXP parent);
SEXP vornak_R_plan(SEXP words);
SEXP vornak_R_summary(SEXP args);
SEXP vornak_R_parent(void);
SEXP vornak_R_agreement(SEXP files, SEXP burn);
SEXP vornak_R_recommend(SEXP file, SEXP given, SEXP without, SEXP recommend, SEXP chains);
SEXP vornak_R_table(SEXP file, SEXP id, SEXP separator, SEXP decimalComma);

static R_NativePrimitiveArgType vornakArgTypes[VORNAK_R_MAIN_ARGUMENT_COUNT] = {
    VORNAK_R_MAIN_ARGUMENT_TYPES};

/* The detour through void (*)(void), the generic function pointer, keeps -Wextra quiet. */
static const R_CMethodDef cMethods[] = {
    {"vornak_R_main", (DL_FUNC)(void (*)(void))&vornak_R_main, VORNAK_R_MAIN_ARGUMENT_COUNT,
     vornakArgTypes},
    {NULL, NULL, 0, NULL}};

static const R_CallMethodDef callMethods[] = {
    {"vornak_R_run", (DL_FUNC)(void (*)(void))&vornak_R_run, 5},
    {"vornak_R_plan", (DL_FUNC)(void (*)(void))&vornak_R_plan, 1},
    {"vornak_R_summary", (DL_FUNC)(void (*)(void))&vornak_R_summary, 1},
    {"vornak_R_parent", (DL_FUNC)(void (*)(void))&vornak_R_parent, 0},
    {"vornak_R_agreement", (DL_FUNC)(void (*)(void))&vornak_R_agreement, 2},
    {"vornak_R_recommend", (DL_FUNC)(void (*)(void))&vornak_R_recommend, 5},
    {"vornak_R_table", (DL_FUNC)(void (*)(void))&vornak_R_table, 4},
    {NULL, NULL, 0}};

void R_init_vornak(DllInfo* dll) {
  R_registerRoutines(dll, cMethods, callMethods, NULL, NULL);
  R_useDynamicSymbols(dll, FALSE);
}
